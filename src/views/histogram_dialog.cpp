#include "views/histogram_dialog.h"

#include "analysis/readings_layout.h"
#include "store/job_index.h"
#include "ui/qt_histogram_painter.h"
#include "ui/qt_text.h"

#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include <algorithm>

namespace qm {

namespace {

// The histogram window, in dialog units.
constexpr int kDialogWidthDu = 388;
constexpr int kDialogHeightDu = 295;
constexpr int kButtonTopDu = 277;
constexpr int kPrintLeftDu = 147;
constexpr int kDoneLeftDu = 200;
constexpr int kButtonWidthDu = 50;
constexpr int kButtonHeightDu = 14;
// The chart needs these client pixels whatever the dialog font is.
constexpr int kChartRightPx = 560;
constexpr int kChartBottomPx = 500; // the note on readings not shown included
// Label font of the printed page: about the size of a printer's default font at a = 1 per 600
// dots.
constexpr int kPrintLabelHeight = 11;

} // namespace

HistogramDialog::HistogramDialog(AppState& app, const LayoutMetrics& metrics,
                                 std::function<std::string()> job_entry, QWidget* parent)
    : QDialog(parent), app_(app), jobEntry_(std::move(job_entry)) {
    setWindowTitle(QStringLiteral("Histogram"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    const int button_top = std::max(metrics.y(kButtonTopDu), kChartBottomPx);
    const int button_height = metrics.y(kButtonTopDu + kButtonHeightDu) - metrics.y(kButtonTopDu);
    setFixedSize(std::max(metrics.x(kDialogWidthDu), kChartRightPx),
                 std::max(metrics.y(kDialogHeightDu), button_top + button_height + 8));

    auto place = [&](QPushButton* b, int left_du) {
        b->setGeometry(metrics.x(left_du), button_top,
                       metrics.x(left_du + kButtonWidthDu) - metrics.x(left_du), button_height);
    };
    printButton_ = new QPushButton(QStringLiteral("&Print"), this);
    place(printButton_, kPrintLeftDu);
    doneButton_ = new QPushButton(QStringLiteral("&Done"), this);
    place(doneButton_, kDoneLeftDu);
    doneButton_->setDefault(true);
    connect(printButton_, &QPushButton::clicked, this, &HistogramDialog::printWithDialog);
    connect(doneButton_, &QPushButton::clicked, this, &QDialog::close);
}

void HistogramDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint_histogram(
        painter, histogram_screen_chart(app_.histogram_bins, app_.histogram_scan_readings), font());
}

std::string HistogramDialog::printedTitle() const {
    const std::int32_t job_index = app_.selection.current_job_index;
    return histogram_print_title(
        app_.meter, jobEntry_ ? jobEntry_() : std::string(),
        first_mc_slot(app_.job_records, job_index),
        job_id_of(app_.store, job_at_position(app_.store, ManagedKind::Mc, job_index)));
}

bool HistogramDialog::printChart(QPrinter& printer) {
    printer.setDocName(QString());
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const int width = printer.pageLayout().paintRectPixels(printer.resolution()).width();
    const HistogramChart chart = histogram_print_chart(app_.histogram_bins, width, printedTitle(),
                                                       app_.histogram_scan_readings);
    QFont label_font = font();
    label_font.setPixelSize(kPrintLabelHeight * chart.factor);
    paint_histogram(painter, chart, label_font);
    return painter.end();
}

void HistogramDialog::printWithDialog() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Histogram"));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (!printChart(printer)) {
        QMessageBox::warning(this, QStringLiteral("Error"),
                             QStringLiteral("The histogram could not be printed."));
    }
}

} // namespace qm
