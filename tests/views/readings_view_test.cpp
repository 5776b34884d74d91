#include "views/readings_view.h"

#include "store/job_index.h"
#include "support/pdf_reader.h"
#include "ui/qt_job_printer.h"

#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace qm {
namespace {

Reading pin_reading(std::int32_t job, int n) {
    Reading r;
    r.kind = PinWithTemperature;
    r.job = job;
    r.location = 2; // "KIT"
    r.sub_location = 1;
    r.year = 3;
    r.month = 8;
    r.day = 28;
    r.hour_code = 0x13; // 13:xx
    r.minute = n % 60;
    r.pin_temperature = 70;
    r.mc = 10.0 + (n % 50) * 0.5;
    return r;
}

Reading rh_reading(std::int32_t job, double rh, double t_f) {
    Reading r;
    r.kind = RhTemperature;
    r.job = job;
    r.location = 40; // "9"
    r.year = 4;
    r.month = 1;
    r.day = 2;
    r.hour_code = 0x09;
    r.minute = 30;
    r.rh = rh;
    r.temperature = t_f;
    return r;
}

class ReadingsViewTest : public ::testing::Test {
protected:
    // Job 1 holds `pins` moisture readings and job 3 two RH/T readings; manages MC job 1.
    void load(int pins, ManagedKind management = ManagedKind::Mc) {
        app->store.all_readings.clear();
        for (int n = 0; n < pins; ++n) {
            app->store.all_readings.push_back(pin_reading(1, n));
        }
        app->store.all_readings.push_back(rh_reading(3, 50.0, 68.0));
        app->store.all_readings.push_back(rh_reading(3, 65.0, 176.5));
        app->store.job_ids = {17, 0, 33, 0, 0};
        rebuild_job_lists(app->store);
        app->meter.set_model("TRK 500");
        app->wizard.management_type = management;
        app->selection.current_job_index = 0;
        fill_working_set(app->store, 0, management);
    }

    ReadingsView* open_view() {
        hooks.job_entry = [] { return std::string("Job #1"); };
        hooks.save_job = [this] { ++saves; };
        hooks.view_summary = [this] { ++summaries; };
        view = new ReadingsView(*app, metrics, hooks);
        return view;
    }

    void TearDown() override { delete view.data(); }

    std::unique_ptr<AppState> app = std::make_unique<AppState>();
    LayoutMetrics metrics = LayoutMetrics::measure(window_font(), dialog_font());
    ReadingsViewHooks hooks;
    QPointer<ReadingsView> view;
    int saves = 0;
    int summaries = 0;
};

TEST_F(ReadingsViewTest, ScrollRequestsOfTheScrollBarAndTheKeys) {
    load(20);
    ReadingsView* v = open_view();
    EXPECT_EQ(v->windowTitle(), "Readings");
    EXPECT_EQ(v->scrollMaximum(), 19);
    EXPECT_EQ(v->scrollBar()->maximum(), 19);

    v->scroll(ScrollRequest::ThumbPosition, 19);
    EXPECT_EQ(v->scrollPosition(), 19);
    v->scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(v->scrollPosition(), 19);
    v->scroll(ScrollRequest::ThumbPosition, 10);
    v->scrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(v->scrollPosition(), 19);
    EXPECT_EQ(v->scrollBar()->value(), 19);
    v->scroll(ScrollRequest::ThumbPosition, 7);
    v->scrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(v->scrollPosition(), 0);
    v->scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(v->scrollPosition(), 1);
    // Top and bottom requests leave the view where it is.
    v->scrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(v->scrollPosition(), 1);
    EXPECT_EQ(v->scrollBar()->sliderPosition(), 1);

    auto key = [&](int k, QWidget* to) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QCoreApplication::sendEvent(to, &press);
    };
    // The arrows reach the table also while a button has the focus.
    key(Qt::Key_Down, v->doneButton());
    EXPECT_EQ(v->scrollPosition(), 2);
    key(Qt::Key_Up, v->doneButton());
    key(Qt::Key_Down, v);
    EXPECT_EQ(v->scrollPosition(), 2);
    key(Qt::Key_End, v);
    EXPECT_EQ(v->scrollPosition(), 19);
    key(Qt::Key_PageUp, v);
    EXPECT_EQ(v->scrollPosition(), 4);
    key(Qt::Key_Home, v);
    EXPECT_EQ(v->scrollPosition(), 0);

    // "View" again starts from the first reading.
    v->scroll(ScrollRequest::ThumbPosition, 12);
    v->restart();
    EXPECT_EQ(v->scrollPosition(), 0);
    EXPECT_EQ(v->scrollBar()->value(), 0);
}

TEST_F(ReadingsViewTest, EmptyJobShowsTheTableAndStaysAtTheTop) {
    load(0, ManagedKind::Rh);
    app->store.working_set.clear();
    ReadingsView* v = open_view();
    v->scroll(ScrollRequest::PageDown);
    v->scroll(ScrollRequest::LineDown);
    EXPECT_EQ(v->scrollPosition(), 0);
    const QImage shot = v->grab().toImage();
    const int ch = metrics.charHeight;
    EXPECT_EQ(shot.pixel(52, 66), qRgb(223, 223, 223));
    EXPECT_EQ(shot.pixel(52, 65 + ch + 2), qRgb(255, 255, 255));
    EXPECT_EQ(shot.pixel(50, 70), qRgb(0, 0, 0)); // the first rule
    EXPECT_EQ(shot.pixel(50 + 6 * metrics.charWidth, 65 + 10 * ch), qRgb(0, 0, 0));
}

TEST_F(ReadingsViewTest, ButtonsFollowTheManagedKindAndTheFile) {
    load(3);
    app->wizard.fromFile = true;
    ReadingsView* v = open_view();
    EXPECT_FALSE(v->saveButton()->isEnabled());
    EXPECT_FALSE(v->histogramButton()->isHidden());
    app->wizard.fromFile = false;
    v->restart();
    ASSERT_TRUE(v->saveButton()->isEnabled());
    app->selection.save_mode = SaveMode::All;
    v->saveButton()->click();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(app->selection.save_mode, SaveMode::OneJob);
    v->summaryButton()->click();
    EXPECT_EQ(summaries, 1);

    load(3, ManagedKind::Rh);
    v->restart();
    EXPECT_TRUE(v->histogramButton()->isHidden());
    EXPECT_GT(v->width(), 0);
}

TEST_F(ReadingsViewTest, ViewHistogramCountsTheJobsPinValues) {
    load(3); // mc 10.0, 10.5, 11.0
    ReadingsView* v = open_view();
    v->histogramButton()->click();
    ASSERT_NE(v->histogram(), nullptr);
    EXPECT_TRUE(v->histogram()->isVisible());
    EXPECT_EQ(app->histogram_bins[10], 1);
    EXPECT_EQ(app->histogram_bins[11], 2); // 10.5 rounds up
    EXPECT_EQ(app->histogram_bins[0], 0);
    EXPECT_EQ(app->histogram_scan_readings, 0);
    HistogramDialog* first = v->histogram();
    v->histogramButton()->click();
    EXPECT_EQ(v->histogram(), first) << "one histogram window at a time";
}

// A PDF printer whose printable area is exactly width x height pixels.
class PdfPage {
public:
    PdfPage(int dpi, int width, int height) : printer(QPrinter::HighResolution) {
        path = dir.filePath("job.pdf");
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        printer.setResolution(dpi);
        printer.setPageSize(
            QPageSize(QSizeF(double(width) / dpi, double(height) / dpi), QPageSize::Inch));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    }
    std::string file() const { return path.toStdString(); }

    QTemporaryDir dir;
    QString path;
    QPrinter printer;
};

TEST_F(ReadingsViewTest, HistogramOfTwoThousandReadingsTellsWhatItLeavesOut) {
    load(0);
    for (int n = 0; n < 2000; ++n) {
        app->store.all_readings.push_back(pin_reading(1, 4)); // 12.0 %
    }
    Reading scan = pin_reading(1, 0);
    scan.kind = Scan;
    app->store.all_readings.insert(app->store.all_readings.end(), 12, scan);
    app->store.job_ids = {734, 0, 33, 0, 0};
    rebuild_job_lists(app->store);
    fill_working_set(app->store, 0, ManagedKind::Mc);
    app->meter.set_model("VKM2 SCAN");
    app->meter.apply_model_rules();
    ReadingsView* v = open_view();
    v->viewHistogram();
    EXPECT_EQ(app->histogram_bins[12], 2000);
    EXPECT_EQ(app->histogram_scan_readings, 12);

    PdfPage page(600, 4800, 6400);
    ASSERT_TRUE(v->histogram()->printChart(page.printer));
    const std::string text = test::pdf_text(page.file());
    EXPECT_NE(text.find("3200"), std::string::npos) << text; // scale 32 above 1600
    EXPECT_NE(text.find("12 scan readings are not shown"), std::string::npos) << text;
    // The scanner's slot holds no ID value: the title names the job's ID.
    EXPECT_NE(text.find("734 - "), std::string::npos) << text;
}

TEST_F(ReadingsViewTest, HostKeepsOneViewAndYieldsToAnOpenHistogram) {
    load(20);
    QWidget owner;
    ReadingsViewHost host(*app);
    host.open(&owner, metrics, {});
    ReadingsView* first = host.view();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    first->scroll(ScrollRequest::ThumbPosition, 9);
    host.open(&owner, metrics, {});
    EXPECT_EQ(host.view(), first);
    EXPECT_EQ(first->scrollPosition(), 0);

    first->viewHistogram(); // the histogram belongs to the owner and outlives the view
    first->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(host.view(), nullptr);
    host.open(&owner, metrics, {});
    EXPECT_EQ(host.view(), nullptr) << "no view while the histogram is open";

    // Printing the histogram after its view has gone still names the job.
    PdfPage page(600, 4800, 6400);
    ASSERT_TRUE(owner.findChild<HistogramDialog*>()->printChart(page.printer));
    EXPECT_NE(test::pdf_text(page.file()).find("Job #1"), std::string::npos);

    owner.findChild<HistogramDialog*>()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    host.open(&owner, metrics, {});
    EXPECT_NE(host.view(), nullptr);
}

// Lines of a page's text whose first word is the given ordinal.
bool has_row(const std::string& text, int ordinal) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first;
        if (words >> first && first == std::to_string(ordinal)) {
            return true;
        }
    }
    return false;
}

TEST_F(ReadingsViewTest, PrintsRowsPerPageForThePrintersSize) {
    struct Case {
        int dpi, width, height, rows;
    };
    for (const Case c : {Case{600, 4800, 6400, 54}, Case{300, 2400, 3200, 62}}) {
        PdfPage page(c.dpi, c.width, c.height);
        ASSERT_EQ(page.printer.pageLayout().paintRectPixels(c.dpi).size(),
                  QSize(c.width, c.height));
        load(c.rows + 1);
        ReadingsView* v = open_view();
        v->scroll(ScrollRequest::ThumbPosition, 5);
        EXPECT_EQ(v->printJobTo(page.printer).pages, 2);
        EXPECT_EQ(v->scrollPosition(), 0);
        EXPECT_EQ(v->scrollBar()->value(), 0);
        ASSERT_EQ(test::pdf_page_count(page.file()), 2);
        const std::string first = test::pdf_text(page.file(), 1);
        const std::string second = test::pdf_text(page.file(), 2);
        EXPECT_TRUE(has_row(first, 1)) << first;
        EXPECT_TRUE(has_row(first, c.rows)) << first;
        EXPECT_FALSE(has_row(first, c.rows + 1));
        EXPECT_TRUE(has_row(second, c.rows + 1)) << second;
        EXPECT_FALSE(has_row(second, c.rows));
        EXPECT_NE(first.find("TRK 500"), std::string::npos);
        EXPECT_NE(first.find("ID# 17"), std::string::npos);
        EXPECT_NE(first.find("Page 1"), std::string::npos);
        EXPECT_NE(second.find("Page 2"), std::string::npos);
        EXPECT_NE(first.find("KIT,W"), std::string::npos);
        EXPECT_NE(first.find("70\u00b0F"), std::string::npos);
        delete view.data();
    }
}

TEST_F(ReadingsViewTest, EmptyJobPrintsOnePageAndNumbersRestart) {
    load(0);
    app->store.mc_job_count = 1; // a listed job without moisture readings left
    app->store.mc_jobs[0] = 1;
    ReadingsView* v = open_view();
    for (int run = 0; run < 2; ++run) {
        PdfPage page(600, 4800, 6400);
        EXPECT_EQ(v->printJobTo(page.printer).pages, 1);
        EXPECT_EQ(test::pdf_page_count(page.file()), 1);
        const std::string text = test::pdf_text(page.file());
        EXPECT_NE(text.find("Page 1"), std::string::npos) << text;
        EXPECT_NE(text.find("Rec"), std::string::npos);
        EXPECT_NE(text.find("Material"), std::string::npos);
        EXPECT_FALSE(has_row(text, 1));
    }
}

TEST_F(ReadingsViewTest, RhPrintoutUnderCelsiusShowsGpkAndTheEmc) {
    load(0, ManagedKind::Rh);
    app->settings.celsius = 1;
    ReadingsView* v = open_view();
    PdfPage page(600, 4800, 6400);
    EXPECT_EQ(v->printJobTo(page.printer).pages, 1);
    const std::string text = test::pdf_text(page.file());
    EXPECT_NE(text.find("GPK"), std::string::npos) << text;
    EXPECT_EQ(text.find("GPP"), std::string::npos);
    EXPECT_NE(text.find("EMC"), std::string::npos);
    EXPECT_NE(text.find("ID# 33"), std::string::npos);
    EXPECT_NE(text.find("7.26"), std::string::npos); // 50 % at 68 F in grams per kilogram
    EXPECT_NE(text.find("9.2\u00b0C"), std::string::npos);
    EXPECT_NE(text.find("9.3%"), std::string::npos);      // its EMC
    EXPECT_NE(text.find("OR\u00b0C"), std::string::npos); // 176.5 F is out of range
}

TEST(JobPrinterSizes, CoarsePrinterStillPrintsEveryRow) {
    // A 100-dpi page: u = 1 and the table keeps its proportions at the top left.
    auto app = std::make_unique<AppState>();
    for (int n = 0; n < 5; ++n) {
        app->store.all_readings.push_back(pin_reading(2, n));
    }
    rebuild_job_lists(app->store);
    app->wizard.management_type = ManagedKind::Mc;
    PdfPage page(100, 850, 1100);
    EXPECT_EQ(print_job(page.printer, *app, {0, 0, 0, "Job #2"}).pages, 1);
    const std::string text = test::pdf_text(page.file());
    EXPECT_TRUE(has_row(text, 5)) << text;
}

TEST(JobPrinterSizes, CancelledPrintoutStopsAtThePageAsked) {
    auto app = std::make_unique<AppState>();
    for (int n = 0; n < 200; ++n) {
        app->store.all_readings.push_back(pin_reading(1, n));
    }
    rebuild_job_lists(app->store);
    app->wizard.management_type = ManagedKind::Mc;
    PdfPage page(600, 4800, 6400); // 54 rows: 4 pages
    std::vector<std::pair<int, int>> calls;
    const JobPrintResult result =
        print_job(page.printer, *app, {0, 0, 0, "Job #1"}, [&](int p, int count) {
            calls.emplace_back(p, count);
            return p < 3;
        });
    EXPECT_TRUE(result.started);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.failed);
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {3, 4}}));
    // The unfinished PDF file does not stay behind looking like the whole job.
    EXPECT_FALSE(QFile::exists(page.path));
}

} // namespace
} // namespace qm
