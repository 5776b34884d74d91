#include "summaries/qt_batch_print.h"

#include "analysis/histogram.h"
#include "analysis/histogram_dialog.h"
#include "analysis/qt_job_printer.h"
#include "analysis/reading_rows.h"
#include "analysis/readings_layout.h"
#include "summaries/job_annotations.h"
#include "summaries/qt_summary_printer.h"
#include "summaries/summary_groups.h"
#include "summaries/summary_model.h"

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

// The readings table of the current job, page after page, as "Print Job" prints it.
bool print_table(PrintDocument& document, AppState& app, const std::string& entry) {
    const std::int32_t management = app.wizard.management_type;
    const std::int32_t job_index = app.selection.current_job_index;
    const std::size_t total = count_job_readings(app.store, management, job_index);
    const std::int32_t job_id =
        job_id_of(app.store, managed_job_number(app.store, management, job_index));
    const QSize area = document.pageSize();
    const JobPageLayout layout = job_page_layout(area.width(), area.height());
    const QFont font = job_print_font(layout);
    std::size_t printed = 0;
    int page_number = 0;
    do {
        if (!document.nextPage()) {
            return false;
        }
        ++page_number;
        const std::vector<ReadingRow> rows = collect_reading_rows(
            app.store, app.meter.active_materials, management, job_index,
            static_cast<std::int32_t>(printed), static_cast<std::size_t>(layout.rows_per_page),
            app.settings.celsius, app.settings.international_date);
        paint_job_page(document.painter(),
                       build_job_page(layout,
                                      job_page_heading(app.meter, entry, job_id, page_number), rows,
                                      management, app.settings.celsius),
                       font);
        if (rows.empty()) {
            break;
        }
        printed += rows.size();
    } while (printed < total);
    return true;
}

// The summary page of the current job: its first location and sub-location.
bool print_summary(PrintDocument& document, AppState& app, const std::string& entry) {
    if (!document.nextPage()) {
        return false;
    }
    const QSize area = document.pageSize();
    const int position = app.selection.current_job_index;
    SummaryPage page;
    if (app.wizard.management_type == 1) {
        McSummaryModel model(app.store, position);
        model.open(app.meter.active_materials, app.settings.international_date);
        page = model.page(area.width(), area.height(), app.meter.model(), entry,
                          app.store.annotations.notes(RecordKind::Mc, model.job()));
    } else {
        RhSummaryModel model(app.store, position);
        model.open(app.settings.celsius, app.settings.international_date);
        page = model.page(area.width(), area.height(), app.meter.model(), entry,
                          app.store.annotations.notes(RecordKind::Rh, model.job()));
    }
    paint_summary_page(document.painter(), page);
    return true;
}

// The histogram of the current MC job, counted from its record as "View Histogram" counts it.
// The bins are the batch's own: an open histogram dialog keeps showing its job.
bool print_histogram(PrintDocument& document, AppState& app, const std::string& entry) {
    const int position = app.selection.current_job_index;
    if (position < 0 || position >= kJobRecordCount || !document.nextPage()) {
        return false;
    }
    fill_mc_slots_from_working_set(app.job_records.mc(position), app.store.working_set);
    HistogramBins bins{};
    rebuild_histogram_bins(bins, app.job_records, HistogramSource::Mc, position);
    const HistogramChart chart = histogram_print_chart(
        bins, document.pageSize().width(),
        histogram_print_title(app.meter, entry, first_mc_slot(app.job_records, position)));
    QFont label_font = QApplication::font();
    label_font.setPixelSize(kHistogramLabelHeight * chart.factor);
    paint_histogram(document.painter(), chart, label_font);
    return true;
}

bool print_step(PrintDocument& document, AppState& app, const BatchStep& step,
                const std::string& entry) {
    switch (step.part) {
    case BatchPart::Table:
        return print_table(document, app, entry);
    case BatchPart::Summary:
        return print_summary(document, app, entry);
    case BatchPart::Histogram:
        return print_histogram(document, app, entry);
    }
    return false;
}

std::vector<BatchStep> plan_for(const AppState& app) {
    return batch_print_plan(app.settings.print_parts, app.wizard.management_type, app.store,
                            selected_positions(app.selection));
}

} // namespace

BatchPrintResult print_batch(QPrinter& printer, AppState& app, JobListLink& jobs,
                             const BatchProgress& progress) {
    const std::vector<BatchStep> steps = plan_for(app);
    if (steps.empty()) {
        return {BatchPrintStatus::NothingToPrint, 0};
    }
    PrintDocument document(printer);
    if (!document.begin()) {
        return {BatchPrintStatus::Failed, 0};
    }
    BatchJobScope scope(app.store, app.selection, app.wizard.management_type);
    int selected = -1;
    const int total = static_cast<int>(steps.size());
    for (int i = 0; i < total; ++i) {
        const BatchStep& step = steps[static_cast<std::size_t>(i)];
        if (step.position != selected) {
            scope.select(step.position);
            selected = step.position;
        }
        if (!print_step(document, app, step, entry_for(app, jobs, step.position))) {
            document.abort();
            return {BatchPrintStatus::Failed, 0};
        }
        if (progress && !progress(i + 1, total)) {
            document.abort();
            return {BatchPrintStatus::Cancelled, 0};
        }
    }
    const int pages = document.pageCount();
    if (!document.end()) {
        return {BatchPrintStatus::Failed, 0};
    }
    return {BatchPrintStatus::Printed, pages};
}

BatchPrintResult print_selected_jobs(AppState& app, JobListLink& jobs, QWidget* parent) {
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
    const BatchPrintResult result = print_batch(printer, app, jobs, [&dialog](int done, int total) {
        dialog.setMaximum(total);
        dialog.setValue(done);
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
