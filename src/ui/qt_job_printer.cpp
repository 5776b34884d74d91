#include "ui/qt_job_printer.h"

#include "analysis/readings_layout.h"
#include "store/job_index.h"
#include "ui/qt_chart_painter.h"

#include <QFile>
#include <QPainter>
#include <QPrinter>

namespace qm {

namespace {

// Text height in units: a row is 11 units high.
constexpr int kFontUnits = 9;

const QColor kInk(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kGrey(kStripeGrey, kStripeGrey, kStripeGrey);

} // namespace

QFont job_print_font(const JobPageLayout& layout) {
    return cell_font(QStringLiteral("Sans Serif"), kFontUnits * layout.unit, 0, false);
}

void paint_job_page(QPainter& painter, const JobPage& page, const QFont& font) {
    painter.save();
    painter.setFont(font);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(kInk);
    paint_text(painter, page.heading.box, page.heading.align, page.heading.text);
    for (const JobStripe& s : page.stripes) {
        paint_rect(painter, s.rect, s.grey ? kGrey : kWhite, std::nullopt);
    }
    painter.setPen(kInk);
    for (const ChartText& t : page.cells) {
        paint_text(painter, t.box, t.align, t.text);
    }
    for (const ChartText& t : page.headers) {
        paint_text(painter, t.box, t.align, t.text);
    }
    for (const ChartLine& l : page.rules) {
        paint_line(painter, l, kInk);
    }
    painter.restore();
}

bool paint_job_table(QPainter& painter, QSize area, const AppState& app,
                     const JobPrintRequest& request, const std::function<bool()>& next_page) {
    const ManagedKind management = app.wizard.management_type;
    const std::int32_t job_index = request.job_index;
    const std::size_t total = count_job_readings(app.store, management, job_index);
    const std::int32_t job_id =
        job_id_of(app.store, job_at_position(app.store, management, job_index));
    const JobPageLayout layout = job_page_layout(area.width(), area.height());
    const QFont font = job_print_font(layout);

    std::size_t printed = 0;
    int page_number = 0;
    do {
        if (!next_page()) {
            return false;
        }
        ++page_number;
        const std::vector<ReadingRow> rows = collect_reading_rows(
            app.store, app.meter.active_materials, management, job_index,
            static_cast<std::int32_t>(printed), static_cast<std::size_t>(layout.rows_per_page),
            request.celsius, request.international_date);
        const JobPage page = build_job_page(
            layout, job_page_heading(app.meter, request.job_entry, job_id, page_number), rows,
            management, request.celsius);
        paint_job_page(painter, page, font);
        if (rows.empty()) {
            break;
        }
        printed += rows.size();
    } while (printed < total);
    return true;
}

int job_table_page_count(const AppState& app, std::int32_t job_index, QSize area) {
    const std::size_t total = count_job_readings(app.store, app.wizard.management_type, job_index);
    return job_page_count(total, job_page_layout(area.width(), area.height()).rows_per_page);
}

JobPrintResult print_job(QPrinter& printer, const AppState& app, const JobPrintRequest& request,
                         const JobPrintProgress& progress) {
    printer.setDocName(QString());
    JobPrintResult result;
    QPainter painter;
    if (!painter.begin(&printer)) {
        return result;
    }
    result.started = true;
    const QSize area = printer.pageLayout().paintRectPixels(printer.resolution()).size();
    const int page_count = job_table_page_count(app, request.job_index, area);
    const bool painted = paint_job_table(painter, area, app, request, [&] {
        ++result.pages;
        if (progress && !progress(result.pages, page_count)) {
            result.cancelled = true;
            return false;
        }
        // The document starts with its first page.
        return result.pages == 1 || printer.newPage();
    });
    if (painted && painter.end()) {
        return result;
    }
    discard_printout(printer, painter);
    result.failed = !result.cancelled;
    result.pages = 0;
    return result;
}

void discard_printout(QPrinter& printer, QPainter& painter) {
    printer.abort();
    if (painter.isActive()) {
        painter.end();
    }
    if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()) {
        QFile::remove(printer.outputFileName());
    }
}

} // namespace qm
