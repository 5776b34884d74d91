#include "summaries/qt_batch_print.h"

#include "analysis/histogram.h"
#include "analysis/reading_rows.h"
#include "analysis/readings_layout.h"
#include "store/job_index.h"
#include "summaries/job_annotations.h"
#include "summaries/qt_summary_printer.h"
#include "summaries/summary_model.h"
#include "ui/qt_histogram_painter.h"
#include "ui/qt_job_printer.h"

#include <QApplication>
#include <QMessageBox>
#include <QPrinter>
#include <QProgressDialog>

namespace qm {

namespace {

// Label height of the printed histogram per unit a, as the histogram dialog prints it.
constexpr int kHistogramLabelHeight = 11;

std::string entry_for(const AppState& app, const JobListLink& jobs, int position) {
    if (auto entry = jobs.entry_text(position)) {
        return *entry;
    }
    return "Job #" +
           std::to_string(job_at_position(app.store, app.wizard.management_type, position));
}

// The pages of one batch document. Before each page the progress hears the page's number in the
// batch and may cancel; then the page starts.
class BatchPages {
public:
    BatchPages(PrintDocument& document, const BatchProgress& progress, int total)
        : document_(document), progress_(progress), total_(total) {}

    // False when the user cancelled or the printer refused the page.
    bool next() {
        if (progress_ && !progress_(document_.pageCount() + 1, total_)) {
            cancelled_ = true;
            return false;
        }
        return document_.nextPage();
    }
    bool cancelled() const { return cancelled_; }
    QPainter& painter() { return document_.painter(); }
    QSize size() const { return document_.pageSize(); }

private:
    PrintDocument& document_;
    const BatchProgress& progress_;
    int total_;
    bool cancelled_ = false;
};

// One printout of a batch: the job at a position of the managed kind's job list.
struct BatchJob {
    const AppState& app;
    int position;
    std::string entry;

    // The job's readings in time order, as the job selection would fill the working set.
    std::vector<Reading> readings() const {
        const ManagedKind kind = app.wizard.management_type;
        return readings_in_time_order(app.store, job_at_slot(app.store, kind, position),
                                      kind == ManagedKind::Mc ? KindFilter::Mc : KindFilter::Rh);
    }
};

// The readings table of the job, page after page, as "Print Job" prints it.
bool print_table(BatchPages& pages, const BatchJob& job) {
    const AppState& app = job.app;
    return paint_job_table(
        pages.painter(), pages.size(), app,
        {job.position, app.settings.celsius, app.settings.international_date, job.entry},
        [&pages] { return pages.next(); });
}

// The summary page of the job: its first location and sub-location.
bool print_summary(BatchPages& pages, const BatchJob& job) {
    if (!pages.next()) {
        return false;
    }
    const AppState& app = job.app;
    const QSize area = pages.size();
    const std::vector<Reading> readings = job.readings();
    SummaryPage page;
    if (app.wizard.management_type == ManagedKind::Mc) {
        McSummaryModel model(app.store, job.position, readings);
        model.open(app.meter.active_materials, app.settings.international_date);
        page = model.page(area.width(), area.height(), app.meter.model(), job.entry,
                          app.store.annotations.notes(RecordKind::Mc, model.job()));
    } else {
        RhSummaryModel model(app.store, job.position, readings);
        model.open(app.settings.celsius, app.settings.international_date);
        page = model.page(area.width(), area.height(), app.meter.model(), job.entry,
                          app.store.annotations.notes(RecordKind::Rh, model.job()));
    }
    paint_summary_page(pages.painter(), page);
    return true;
}

// The histogram of the MC job, counted from its readings as "View Histogram" counts them. The
// bins are the batch's own: an open histogram dialog keeps showing its job.
bool print_histogram(BatchPages& pages, const BatchJob& job) {
    if (!pages.next()) {
        return false;
    }
    const AppState& app = job.app;
    HistogramBins bins{};
    const int scans = rebuild_histogram_bins(bins, job.readings());
    const std::int32_t job_id =
        job_id_of(app.store, job_at_position(app.store, ManagedKind::Mc, job.position));
    const HistogramChart chart = histogram_print_chart(
        bins, pages.size().width(),
        histogram_print_title(app.meter, job.entry, first_mc_slot(app.job_records, job.position),
                              job_id),
        scans);
    QFont label_font = QApplication::font();
    label_font.setPixelSize(kHistogramLabelHeight * chart.factor);
    paint_histogram(pages.painter(), chart, label_font);
    return true;
}

bool print_step(BatchPages& pages, const BatchStep& step, const BatchJob& job) {
    switch (step.part) {
    case BatchPart::Table:
        return print_table(pages, job);
    case BatchPart::Summary:
        return print_summary(pages, job);
    case BatchPart::Histogram:
        return print_histogram(pages, job);
    }
    return false;
}

// Pages the whole batch takes: a table as many as its job's readings need, the other parts one.
int batch_page_count(const AppState& app, const std::vector<BatchStep>& steps, QSize area) {
    int total = 0;
    for (const BatchStep& step : steps) {
        total += step.part == BatchPart::Table ? job_table_page_count(app, step.position, area) : 1;
    }
    return total;
}

std::vector<BatchStep> plan_for(const AppState& app) {
    return batch_print_plan(app.settings.print_parts, app.wizard.management_type, app.store,
                            selected_positions(app.selection));
}

} // namespace

BatchPrintResult print_batch(QPrinter& printer, const AppState& app, JobListLink& jobs,
                             const BatchProgress& progress) {
    const std::vector<BatchStep> steps = plan_for(app);
    if (steps.empty()) {
        return {BatchPrintStatus::NothingToPrint, 0};
    }
    PrintDocument document(printer);
    if (!document.begin()) {
        return {BatchPrintStatus::Failed, 0};
    }
    BatchPages pages(document, progress, batch_page_count(app, steps, document.pageSize()));
    for (const BatchStep& step : steps) {
        if (!print_step(pages, step, {app, step.position, entry_for(app, jobs, step.position)})) {
            document.abort();
            return {pages.cancelled() ? BatchPrintStatus::Cancelled : BatchPrintStatus::Failed, 0};
        }
    }
    const int page_count = document.pageCount();
    if (!document.end()) {
        document.abort();
        return {BatchPrintStatus::Failed, 0};
    }
    return {BatchPrintStatus::Printed, page_count};
}

BatchPrintResult print_selected_jobs(const AppState& app, JobListLink& jobs, QWidget* parent) {
    if (plan_for(app).empty()) {
        QMessageBox::information(
            parent, QStringLiteral("Print Selected Jobs"),
            QStringLiteral("There is nothing to print. Select one or more jobs, and choose what "
                           "to print for each job under Options > Batch Print."));
        return {BatchPrintStatus::NothingToPrint, 0};
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!ask_for_printer(printer, parent, QStringLiteral("Print Selected Jobs"))) {
        return {BatchPrintStatus::Cancelled, 0};
    }
    QProgressDialog dialog(QStringLiteral("Printing the selected jobs..."),
                           QStringLiteral("Cancel"), 0, 1, parent);
    dialog.setWindowTitle(QStringLiteral("Print Selected Jobs"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(300);
    const BatchPrintResult result = print_batch(printer, app, jobs, [&dialog](int page, int total) {
        dialog.setMaximum(total);
        dialog.setValue(page - 1);
        QApplication::processEvents();
        return !dialog.wasCanceled();
    });
    dialog.reset();
    if (result.status == BatchPrintStatus::Failed) {
        report_print_failure(parent);
    }
    return result;
}

} // namespace qm
