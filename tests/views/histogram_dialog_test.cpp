#include "views/histogram_dialog.h"

#include "support/pdf_reader.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace qm {
namespace {

const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kGrey = qRgb(200, 200, 200);

QImage paint_screen_chart(const HistogramBins& bins) {
    QImage image(600, 520, QImage::Format_RGB32);
    image.fill(kGrey);
    QPainter painter(&image);
    paint_histogram(painter, histogram_screen_chart(bins), QFont());
    painter.end();
    return image;
}

int dark_pixels(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            n += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    return n;
}

TEST(HistogramPainting, BarsSitAtTheirPixelPositions) {
    HistogramBins bins{};
    bins[10] = 150; // scale 2
    bins[20] = 7;
    bins[31] = 1;
    bins[100] = 50;
    const QImage image = paint_screen_chart(bins);

    // Bin 20: x 150..155, top outline at 410 - 4 * (7 / 2) = 398, filled green inside.
    EXPECT_EQ(image.pixel(152, 398), kBlack);
    EXPECT_EQ(image.pixel(150, 404), kBlack);
    EXPECT_EQ(image.pixel(155, 404), kBlack);
    EXPECT_EQ(image.pixel(152, 399), kGreen);
    EXPECT_EQ(image.pixel(153, 408), kGreen);
    EXPECT_EQ(image.pixel(152, 397), kWhite);
    EXPECT_EQ(image.pixel(156, 404), kWhite);

    // Bin 31 holds less than the scale: the 5-pixel stub from 406.
    EXPECT_EQ(image.pixel(207, 406), kBlack);
    EXPECT_EQ(image.pixel(207, 408), kGreen);
    EXPECT_EQ(image.pixel(207, 405), kWhite);

    // Bin 10 reaches 410 - 4 * 75 = 110.
    EXPECT_EQ(image.pixel(102, 110), kBlack);
    EXPECT_EQ(image.pixel(102, 111), kGreen);

    // Empty bins: a one-pixel line on the base; bin 100 is not drawn.
    EXPECT_EQ(image.pixel(57, 410), kBlack);
    EXPECT_EQ(image.pixel(57, 409), kWhite);
    EXPECT_EQ(image.pixel(552, 409), kGrey);
    EXPECT_EQ(image.pixel(553, 405), kGrey);
}

TEST(HistogramPainting, FrameTicksGridAndTexts) {
    const QImage image = paint_screen_chart(HistogramBins{});
    // Frame 50,10 .. 551,411: outline on 50 and 550, white inside.
    EXPECT_EQ(image.pixel(50, 200), kBlack);
    EXPECT_EQ(image.pixel(550, 200), kBlack);
    EXPECT_EQ(image.pixel(551, 200), kGrey);
    EXPECT_EQ(image.pixel(300, 10), kBlack);
    EXPECT_EQ(image.pixel(300, 100), kWhite);
    // Grid line at y = 50 from 43 to 550, short ticks from 45, middle ticks from 43 to 56.
    EXPECT_EQ(image.pixel(43, 50), kBlack);
    EXPECT_EQ(image.pixel(300, 50), kBlack);
    EXPECT_EQ(image.pixel(42, 50), kGrey);
    EXPECT_EQ(image.pixel(45, 14), kBlack);
    EXPECT_EQ(image.pixel(44, 14), kGrey);
    EXPECT_EQ(image.pixel(56, 30), kBlack);
    EXPECT_EQ(image.pixel(57, 30), kWhite);
    // X ticks: long ones run 403..416, short ones are drawn upwards from 415 to 406.
    EXPECT_EQ(image.pixel(75, 403), kBlack);
    EXPECT_EQ(image.pixel(75, 416), kBlack);
    EXPECT_EQ(image.pixel(75, 417), kGrey);
    EXPECT_EQ(image.pixel(55, 415), kBlack);
    EXPECT_EQ(image.pixel(55, 416), kGrey);
    EXPECT_EQ(image.pixel(55, 406), kBlack);
    EXPECT_EQ(image.pixel(55, 405), kWhite);
    // Texts: the rotated y title left of the labels, "%MC" under the axis, labels on both axes.
    EXPECT_GT(dark_pixels(image, QRect(5, 120, 16, 155)), 40);
    EXPECT_EQ(dark_pixels(image, QRect(5, 276, 16, 30)), 0);
    EXPECT_GT(dark_pixels(image, QRect(285, 430, 40, 16)), 10);
    EXPECT_GT(dark_pixels(image, QRect(5, 5, 35, 14)), 5);     // "100"
    EXPECT_GT(dark_pixels(image, QRect(540, 417, 25, 14)), 5); // "100" under x = 550
}

class HistogramDialogTest : public ::testing::Test {
protected:
    std::unique_ptr<AppState> app = std::make_unique<AppState>();
    LayoutMetrics metrics;
};

TEST_F(HistogramDialogTest, ShowsTheBinsOfTheAppState) {
    app->histogram_bins[40] = 3;
    auto* dialog = new HistogramDialog(*app, metrics, [] { return std::string("Job #1"); });
    EXPECT_EQ(dialog->windowTitle(), "Histogram");
    EXPECT_EQ(dialog->printButton()->text(), "&Print");
    EXPECT_EQ(dialog->doneButton()->text(), "&Done");
    const QImage shot = dialog->grab().toImage();
    EXPECT_EQ(shot.pixel(252, 398), kBlack); // top of the bar of bin 40: 410 - 4 * 3
    EXPECT_EQ(shot.pixel(252, 400), kGreen);
    QPointer<HistogramDialog> alive(dialog);
    dialog->show();
    dialog->doneButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull()) << "Done closes and frees the dialog";
}

TEST_F(HistogramDialogTest, PrintsOnePageWithTitle) {
    app->meter.set_model("TRK 500");
    mc_slot(app->job_records.mc(0), 0).species = 1;
    app->histogram_bins[12] = 4;
    HistogramDialog dialog(*app, metrics, [] { return std::string("Job #3"); });
    QTemporaryDir dir;
    const QString path = dir.filePath("histogram.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    ASSERT_TRUE(dialog.printChart(printer));
    EXPECT_EQ(test::pdf_page_count(path.toStdString()), 1);
    const std::string text = test::pdf_text(path.toStdString());
    EXPECT_NE(text.find("Histogram for TRK 500 Job #3 - Douglas Fir"), std::string::npos) << text;
    EXPECT_NE(text.find("%MC"), std::string::npos);
    EXPECT_NE(text.find("100"), std::string::npos);
}

} // namespace
} // namespace qm
