#include "views/readings_view.h"

#include "analysis/reading_rows.h"
#include "store/job_index.h"
#include "ui/qt_chart_painter.h"
#include "ui/qt_job_printer.h"
#include "ui/qt_text.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

// The readings window, in dialog units.
constexpr int kDialogWidthDu = 406;
constexpr int kDialogHeightDu = 263;
constexpr int kButtonTopDu = 225;
constexpr int kButtonWidthDu = 60;
constexpr int kButtonHeightDu = 25;
constexpr int kPrintLeftDu = 59;
constexpr int kSaveLeftDu = 135;
constexpr int kDoneLeftDu = 211;
constexpr int kSummaryLeftDu = 287;
constexpr int kPreviewLeftDu = 351;
constexpr int kPreviewWidthDu = 50;
constexpr int kHistogramLeftDu = 339;
constexpr int kHistogramTopDu = 7;
constexpr int kScrollWidthDu = 12;
constexpr int kScrollHeightDu = 179;
constexpr int kMarginPx = 8;
constexpr int kWheelLines = 3;
// A printout that takes longer than this shows its progress.
constexpr int kProgressDelayMs = 1000;

const QColor kInk(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kGrey(kStripeGrey, kStripeGrey, kStripeGrey);

} // namespace

ReadingsView::ReadingsView(AppState& app, const LayoutMetrics& metrics, ReadingsViewHooks hooks,
                           QWidget* parent)
    : QDialog(parent), app_(app), metrics_(metrics), hooks_(std::move(hooks)) {
    setWindowTitle(QStringLiteral("Readings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    buildControls();
    restart();
}

void ReadingsView::buildControls() {
    auto button = [this](const char* text, int id) {
        auto* b = new QPushButton(QString::fromLatin1(text), this);
        b->setProperty("controlId", id);
        // Return presses the button that has the focus.
        b->setAutoDefault(true);
        b->installEventFilter(this);
        return b;
    };
    print_ = button("&Print Job", kReadingsPrintId);
    save_ = button("&Save Job", kReadingsSaveId);
    done_ = button("&Done", kReadingsDoneId);
    summary_ = button("&View Summary", kReadingsSummaryId);
    preview_ = button("P&rint Preview", 0);
    histogramButton_ = button("View &Histogram", kReadingsHistogramId);
    done_->setDefault(true);

    scrollBar_ = new QScrollBar(Qt::Vertical, this);
    scrollBar_->setProperty("controlId", kReadingsScrollBarId);
    scrollBar_->setTracking(false);
    scrollBar_->setSingleStep(1);
    scrollBar_->setPageStep(kScrollPageRows);
    // Requests are carried out by the view itself, so that each follows the view's own rules.
    connect(scrollBar_, &QAbstractSlider::actionTriggered, this, &ReadingsView::onScrollAction);
    connect(scrollBar_, &QAbstractSlider::sliderReleased, this, &ReadingsView::onSliderReleased);

    connect(done_, &QPushButton::clicked, this, &QDialog::close);
    connect(print_, &QPushButton::clicked, this, &ReadingsView::printWithDialog);
    connect(preview_, &QPushButton::clicked, this, &ReadingsView::printPreview);
    connect(save_, &QPushButton::clicked, this, &ReadingsView::saveJob);
    connect(histogramButton_, &QPushButton::clicked, this, &ReadingsView::viewHistogram);
    connect(summary_, &QPushButton::clicked, this, [this] {
        if (hooks_.view_summary) {
            hooks_.view_summary();
        }
    });
}

bool ReadingsView::rhManagement() const {
    return app_.wizard.management_type == ManagedKind::Rh;
}

void ReadingsView::restart() {
    scrollPosition_ = 0;
    layout_ = readings_view_layout(metrics_.charWidth, metrics_.charHeight, rhManagement());
    updateControls();
    update();
}

void ReadingsView::updateControls() {
    const int extra = layout_.table_right - 80 * metrics_.charWidth;
    const int table_bottom = layout_.stripes.back().bottom;
    const int button_top = std::max(metrics_.y(kButtonTopDu), table_bottom + kMarginPx);
    const int button_height = metrics_.y(kButtonTopDu + kButtonHeightDu) - metrics_.y(kButtonTopDu);
    auto place = [&](QPushButton* b, int left_du, int width_du) {
        b->setGeometry(metrics_.x(left_du), button_top,
                       metrics_.x(left_du + width_du) - metrics_.x(left_du), button_height);
    };
    place(print_, kPrintLeftDu, kButtonWidthDu);
    place(save_, kSaveLeftDu, kButtonWidthDu);
    place(done_, kDoneLeftDu, kButtonWidthDu);
    place(summary_, kSummaryLeftDu, kButtonWidthDu);
    place(preview_, kPreviewLeftDu, kPreviewWidthDu);
    histogramButton_->setGeometry(
        metrics_.rect(kHistogramLeftDu, kHistogramTopDu, kButtonWidthDu, kButtonHeightDu)
            .translated(extra, 0));
    const int scroll_width = metrics_.x(kScrollWidthDu);
    scrollBar_->setGeometry(layout_.scroll_bar_x, layout_.scroll_bar_y, scroll_width,
                            metrics_.y(kScrollHeightDu));
    setFixedSize(std::max(metrics_.x(kDialogWidthDu) + extra,
                          layout_.scroll_bar_x + scroll_width + kMarginPx),
                 std::max(metrics_.y(kDialogHeightDu), button_top + button_height + kMarginPx));

    // Saving is offered unless the readings are those of the opened file, unchanged.
    save_->setEnabled(!app_.wizard.fromFile);
    // The histogram belongs to moisture jobs.
    const bool mc = app_.wizard.management_type == ManagedKind::Mc;
    histogramButton_->setEnabled(mc);
    histogramButton_->setVisible(mc);

    const QSignalBlocker block(scrollBar_);
    scrollBar_->setRange(0, std::max(0, scrollMaximum()));
    scrollBar_->setValue(scrollPosition_);
}

int ReadingsView::scrollMaximum() const {
    return static_cast<int>(app_.store.working_set.size()) - 1;
}

void ReadingsView::setPosition(int position) {
    scrollPosition_ = position;
    const QSignalBlocker block(scrollBar_);
    scrollBar_->setRange(0, std::max(0, scrollMaximum()));
    scrollBar_->setSliderPosition(position);
    scrollBar_->setValue(position);
    update();
}

void ReadingsView::scroll(ScrollRequest request, int thumb) {
    if (const auto target = scroll_target(request, scrollPosition_, scrollMaximum(), thumb)) {
        setPosition(*target);
    }
}

void ReadingsView::onScrollAction(int action) {
    ScrollRequest request = ScrollRequest::Other;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        request = ScrollRequest::LineUp;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        request = ScrollRequest::LineDown;
        break;
    case QAbstractSlider::SliderPageStepSub:
        request = ScrollRequest::PageUp;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        request = ScrollRequest::PageDown;
        break;
    case QAbstractSlider::SliderMove:
        // Dragging the thumb changes nothing until it is released.
        return;
    default:
        break;
    }
    // The slider would apply the action itself after this; pin it to the view's answer.
    scroll(request);
    scrollBar_->setSliderPosition(scrollPosition_);
}

void ReadingsView::onSliderReleased() {
    scroll(ScrollRequest::ThumbPosition, scrollBar_->sliderPosition());
}

void ReadingsView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
        scroll(ScrollRequest::LineUp);
        return;
    case Qt::Key_Down:
        scroll(ScrollRequest::LineDown);
        return;
    case Qt::Key_PageUp:
        scroll(ScrollRequest::PageUp);
        return;
    case Qt::Key_PageDown:
        scroll(ScrollRequest::PageDown);
        return;
    case Qt::Key_Home:
        scroll(ScrollRequest::ThumbPosition, 0);
        return;
    case Qt::Key_End:
        scroll(ScrollRequest::ThumbPosition, std::max(0, scrollMaximum()));
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

bool ReadingsView::eventFilter(QObject* watched, QEvent* event) {
    // A focused button would take Up and Down to move the focus; here they scroll the table.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            keyPressEvent(key);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ReadingsView::wheelEvent(QWheelEvent* event) {
    const int dy = event->angleDelta().y();
    if (dy == 0) {
        return;
    }
    for (int i = 0; i < kWheelLines; ++i) {
        scroll(dy > 0 ? ScrollRequest::LineUp : ScrollRequest::LineDown);
    }
    event->accept();
}

std::string ReadingsView::jobEntry() const {
    return jobEntryText(app_, hooks_.job_entry);
}

std::string ReadingsView::jobEntryText(const AppState& app,
                                       const std::function<std::string()>& entry_hook) {
    std::string entry = entry_hook ? entry_hook() : std::string();
    if (entry.empty()) {
        const std::int32_t job =
            job_at_position(app.store, app.wizard.management_type, app.selection.current_job_index);
        char text[32];
        std::snprintf(text, sizeof text, "Job #%i", job);
        entry = text;
    }
    return entry;
}

void ReadingsView::paintEvent(QPaintEvent*) {
    const ManagedKind management = app_.wizard.management_type;
    const std::int32_t job_index = app_.selection.current_job_index;
    const std::int32_t celsius = app_.settings.celsius;
    QPainter painter(this);
    // The table is painted in the main window's font, whose line height is charHeight.
    painter.setFont(window_font());
    painter.setPen(kInk);
    painter.setBackgroundMode(Qt::TransparentMode);

    const std::int32_t job_id =
        job_id_of(app_.store, job_at_position(app_.store, management, job_index));
    paint_text(painter, layout_.heading, ChartAlign::Center,
               readings_view_heading(management, app_.meter.not_scanner, jobEntry(), job_id,
                                     first_mc_slot(app_.job_records, job_index)));
    for (std::size_t j = 0; j < layout_.stripes.size(); ++j) {
        paint_rect(painter, layout_.stripes[j], j % 2 == 0 ? kGrey : kWhite, std::nullopt);
    }

    const std::vector<ReadingRow> rows =
        collect_reading_rows(app_.store, app_.meter.active_materials, management, job_index,
                             scrollPosition_, kViewRows, celsius, app_.settings.international_date);
    const auto headings = reading_column_headings(management, celsius);
    painter.setPen(kInk);
    for (std::size_t c = 0; c < layout_.columns.size(); ++c) {
        paint_line(painter, layout_.rules[c], kInk);
        for (std::size_t k = 0; k < rows.size(); ++k) {
            paint_text(painter, layout_.cell_box(c, k), ChartAlign::Center,
                       c < kReadingColumns ? rows[k].cells[c] : rows[k].emc);
        }
        paint_text(painter, layout_.header_box(c), ChartAlign::Center,
                   c < kReadingColumns ? headings[c] : kEmcHeading);
    }
    paint_line(painter, layout_.rules.back(), kInk);
}

void ReadingsView::saveJob() {
    app_.selection.save_mode = SaveMode::OneJob;
    if (hooks_.save_job) {
        hooks_.save_job();
    }
}

void ReadingsView::viewHistogram() {
    // Every pin reading of the job, however many; the RH/T working set has none.
    app_.histogram_scan_readings =
        rebuild_histogram_bins(app_.histogram_bins, app_.store.working_set);
    if (!histogram_) {
        QWidget* owner = parentWidget() ? parentWidget() : this;
        // The histogram may outlive the view: it keeps its own copy of the entry hook.
        histogram_ = new HistogramDialog(
            app_, metrics_,
            [&app = app_, hook = hooks_.job_entry] { return jobEntryText(app, hook); }, owner);
    }
    histogram_->show();
    histogram_->raise();
    histogram_->update();
}

JobPrintResult ReadingsView::printJobTo(QPrinter& printer) {
    QProgressDialog progress(QStringLiteral("Printing the job..."), QStringLiteral("Cancel"), 0, 1,
                             this);
    progress.setWindowTitle(QStringLiteral("Print Job"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressDelayMs);
    const JobPrintResult result =
        print_job(printer, app_,
                  {app_.selection.current_job_index, app_.settings.celsius,
                   app_.settings.international_date, jobEntry()},
                  [&progress](int page, int page_count) {
                      progress.setMaximum(page_count);
                      progress.setValue(page - 1);
                      return !progress.wasCanceled();
                  });
    progress.reset();
    afterPrinting();
    return result;
}

void ReadingsView::afterPrinting() {
    // Printing starts from the job's first reading and leaves the view there, thumb included.
    setPosition(0);
}

void ReadingsView::printWithDialog() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Job"));
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const JobPrintResult result = printJobTo(printer);
    if (!result.started || result.failed) {
        QMessageBox::warning(this, QStringLiteral("Error"),
                             QStringLiteral("The job could not be printed."));
    }
}

void ReadingsView::printPreview() {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    preview.setWindowTitle(QStringLiteral("Print Preview"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* p) { printJobTo(*p); });
    preview.exec();
}

ReadingsViewHost::ReadingsViewHost(AppState& app) : app_(app) {}

void ReadingsViewHost::open(QWidget* owner, const LayoutMetrics& metrics, ReadingsViewHooks hooks) {
    if (view_) {
        view_->setHooks(std::move(hooks));
        view_->restart();
    } else {
        if (other_windows_open ? other_windows_open() : histogramOpen(owner)) {
            return;
        }
        view_ = new ReadingsView(app_, metrics, std::move(hooks), owner);
    }
    view_->show();
    view_->raise();
    view_->activateWindow();
}

bool ReadingsViewHost::histogramOpen(QWidget* owner) {
    if (!owner) {
        return false;
    }
    const auto dialogs = owner->findChildren<HistogramDialog*>();
    return std::any_of(dialogs.begin(), dialogs.end(),
                       [](const HistogramDialog* d) { return d->isVisible(); });
}

} // namespace qm
