#include "analysis/qt_job_printer.h"

#include "analysis/qt_chart_painter.h"
#include "analysis/readings_layout.h"

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

JobPrintResult print_job(QPrinter& printer, AppState& app, const JobPrintRequest& request,
                         const JobPrintProgress& progress) {
    const std::int32_t management = app.wizard.management_type;
    const std::int32_t job_index = app.selection.current_job_index;
    const std::size_t total = count_job_readings(app.store, management, job_index);
    const std::int32_t job_id =
        job_id_of(app.store, managed_job_number(app.store, management, job_index));

    printer.setDocName(QString());
    JobPrintResult result;
    QPainter painter;
    if (!painter.begin(&printer)) {
        return result;
    }
    result.started = true;
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    const JobPageLayout layout = job_page_layout(area.width(), area.height());
    const QFont font = job_print_font(layout);
    const int page_count = job_page_count(total, layout.rows_per_page);

    std::size_t printed = 0;
    int page_number = 0;
    do {
        if (page_number > 0 && !printer.newPage()) {
            break;
        }
        ++page_number;
        if (progress && !progress(page_number, page_count)) {
            painter.end();
            printer.abort();
            result.cancelled = true;
            return result;
        }
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
    painter.end();
    result.pages = page_number;
    return result;
}

} // namespace qm
