#include "report/qt_report_layout.h"

#include "ui/qt_text.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace qm {

using namespace report_geometry;

namespace {

constexpr double kPointsPerInch = 72.0;
constexpr double kSideMargin = 48.0;
constexpr double kTopMargin = 44.0;
constexpr double kBottomMargin = 58.0;
constexpr double kChartPlot = 140.0;
constexpr double kChartGap = 14.0;
// The fewest rows of a table that start it at the foot of a page.
constexpr std::size_t kFewestRows = 4;
// Rows sampled across a long readings table to size its columns.
constexpr std::size_t kWidthSamples = 600;

QFont report_font(double points, bool bold) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    // Without shaping, Latin text keeps its letters: "fl" stays two letters, not the ligature
    // that text extraction and searching in some readers do not match.
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

ReportFonts make_fonts() {
    return {report_font(17, true),   report_font(10, false),  report_font(8.5, true),
            report_font(8.5, false), report_font(11.5, true), report_font(9, true),
            report_font(7.5, false), report_font(7.5, true),  report_font(7, false),
            report_font(7.5, false)};
}

QString q(const std::string& text) {
    return from_cp1252(text);
}

std::vector<std::vector<std::string>> reading_samples(const ReportJob& job,
                                                      const ReportUnits& units, ScanColumn scans) {
    std::vector<std::vector<std::string>> samples;
    const std::size_t n = job.readings.size();
    const std::size_t step = std::max<std::size_t>(1, n / kWidthSamples);
    for (std::size_t i = 0; i < n; i += step) {
        samples.push_back(readings_row(job.readings[i], i + 1, job.materials, units, scans));
    }
    if (n > 0) {
        samples.push_back(readings_row(job.readings[n - 1], n, job.materials, units, scans));
    }
    return samples;
}

// Breaks the text of `layout` into lines of `width`, one under the other; returns their height.
double break_lines(QTextLayout& layout, double width, Qt::Alignment align) {
    QTextOption option(align);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    double y = 0.0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

} // namespace

double wrapped_text_height(QPaintDevice* device, const QFont& font, const QString& text,
                           double width) {
    QTextLayout layout(text, font, device);
    return break_lines(layout, width, Qt::AlignLeft);
}

void draw_wrapped_text(QPainter& painter, const QFont& font, const QRectF& box, const QString& text,
                       Qt::Alignment align) {
    QTextLayout layout(text, font, painter.device());
    break_lines(layout, box.width(), align);
    layout.draw(&painter, box.topLeft());
}

ReportLayout::ReportLayout(QPaintDevice& device, QSizeF page_points, const ReportRequest& request,
                           std::span<const ReportJob> jobs)
    : device_(device), request_(request), page_(page_points),
      content_(kSideMargin, kTopMargin, page_points.width() - 2 * kSideMargin,
               page_points.height() - kTopMargin - kBottomMargin),
      scale_(device.logicalDpiX() / kPointsPerInch), fonts_(make_fonts()) {
    chart_ = {line_height(fonts_.chart_title) + 4, kChartPlot, 2 * line_height(fonts_.chart) + 6,
              line_height(fonts_.chart) + 3, kChartGap};
    if (request_.project) {
        prepare_project(*request_.project);
    }
    prepare(jobs);
    for (std::size_t i = 0; i < jobs_.size(); ++i) {
        if (jobs_[i].project != nullptr) {
            lay_out_project(i);
        } else {
            lay_out_job(i);
        }
    }
}

void ReportLayout::prepare_project(const ProjectReport& project) {
    PreparedJob p;
    p.project = &project;
    p.title = q(request_.fields.title.empty() ? project.title : request_.fields.title);
    for (const std::string& line : prepared_lines(request_.fields)) {
        p.prepared.push_back(q(line));
    }
    for (const auto& [label, value] : project.facts) {
        p.facts.emplace_back(q(label), q(value));
    }
    for (const std::string& line : project.notes) {
        p.notes.push_back(q(line));
    }
    for (const TitledTable& t : project.tables) {
        p.table_geometries.push_back(table_geometry(t.table.columns, t.table.rows));
    }
    p.charts = project.charts;
    jobs_.push_back(std::move(p));
}

void ReportLayout::lay_out_project(std::size_t index) {
    const PreparedJob& p = jobs_[index];
    new_page(index, true);
    place({BlockKind::Heading, index, 0, heading_height(p), 0, 0, {}});
    lay_out_notes(index);
    for (std::size_t t = 0; t <= p.project->tables.size(); ++t) {
        if (t == p.project->charts_after) {
            lay_out_charts(index, QStringLiteral("Charts of the points across days"));
        }
        if (t == p.project->tables.size()) {
            break;
        }
        const TitledTable& table = p.project->tables[t];
        lay_out_rows(index, BlockKind::ProjectRows, q(table.title), table.table.rows.size(),
                     table.table.row_group, p.table_geometries[t], t, q(table.note));
    }
    lay_out_photos(index);
}

void ReportLayout::lay_out_charts(std::size_t index, const QString& section) {
    const PreparedJob& p = jobs_[index];
    const MaterialList& materials = p.job != nullptr ? p.job->materials : kFirstMaterials;
    for (std::size_t c = 0; c < p.charts.size(); ++c) {
        const double h = chart_height(p.charts[c], materials);
        const bool titled = c == 0;
        if (!fits(h + (titled ? section_height() : 0.0))) {
            new_page(index, false);
        }
        if (titled) {
            place({BlockKind::Section, index, 0, section_height(), 0, 0, section});
        }
        place({BlockKind::Chart, index, 0, h, c, c + 1, {}});
    }
}

double ReportLayout::text_width(const QFont& font, const QString& text) const {
    return QFontMetricsF(font, &device_).horizontalAdvance(text) / scale_;
}

double ReportLayout::line_height(const QFont& font) const {
    return QFontMetricsF(font, &device_).lineSpacing() / scale_;
}

double ReportLayout::wrapped_height(const QFont& font, const QString& text, double width) const {
    return wrapped_text_height(&device_, font, text, width * scale_) / scale_;
}

QFont ReportLayout::scaled(const QFont& font, double scale) {
    QFont f = font;
    f.setPointSizeF(font.pointSizeF() * scale);
    return f;
}

void ReportLayout::prepare(std::span<const ReportJob> jobs) {
    for (const ReportJob& job : jobs) {
        PreparedJob p;
        p.job = &job;
        p.title = q(report_title(request_.fields, job));
        for (const std::string& line : prepared_lines(request_.fields)) {
            p.prepared.push_back(q(line));
        }
        for (const auto& [label, value] : heading_facts(job, request_.units, request_.codes)) {
            p.facts.emplace_back(q(label), q(value));
        }
        for (const std::string& line : notes_lines(job)) {
            p.notes.push_back(q(line));
        }
        const std::span<const Reading> readings(job.readings);
        p.summary =
            job.kind == RecordKind::Mc
                ? mc_summary_table(mc_location_figures(readings), job.materials, request_.units)
                : rh_summary_table(rh_location_figures(readings, request_.units.celsius),
                                   request_.units);
        p.summary_geometry = table_geometry(p.summary.columns, p.summary.rows);
        p.charts = chart_plans(readings, job.kind, request_.units);
        if (job.kind == RecordKind::Mc) {
            p.distribution = mc_distribution(readings);
            p.has_distribution = p.distribution.pin_readings > 0;
        }
        p.scans = scan_column(job.kind, readings);
        p.reading_columns = readings_columns(job.kind, request_.units, p.scans);
        p.readings_geometry =
            table_geometry(p.reading_columns, reading_samples(job, request_.units, p.scans));
        jobs_.push_back(std::move(p));
    }
    std::vector<ChartPlan*> charts;
    for (PreparedJob& p : jobs_) {
        for (ChartPlan& chart : p.charts) {
            charts.push_back(&chart);
        }
    }
    share_value_ranges(charts);
}

TableGeometry
ReportLayout::table_geometry(const std::vector<TableColumn>& columns,
                             const std::vector<std::vector<std::string>>& samples) const {
    TableGeometry g;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        double w = text_width(fonts_.table_heading, q(columns[c].heading));
        for (const std::vector<std::string>& row : samples) {
            if (c < row.size()) {
                w = std::max(w, text_width(fonts_.table, q(row[c])));
            }
        }
        g.widths.push_back(w + 2 * kCellPadding);
        g.grouped = g.grouped || !columns[c].group.empty();
    }
    // A group heading needs the room of its columns together; the last of them takes the rest.
    for (std::size_t c = 0; c < columns.size();) {
        std::size_t end = c + 1;
        while (end < columns.size() && columns[end].group == columns[c].group) {
            ++end;
        }
        double sum = 0.0;
        for (std::size_t k = c; k < end; ++k) {
            sum += g.widths[k];
        }
        const double need =
            text_width(fonts_.table_heading, q(columns[c].group)) + 2 * kCellPadding;
        if (!columns[c].group.empty() && need > sum) {
            g.widths[end - 1] += need - sum;
        }
        c = end;
    }
    double total = 0.0;
    for (const double w : g.widths) {
        total += w;
    }
    const double room = content_.width();
    // A table too wide shrinks its texts as far as it must to stay on the page; the padding of
    // its cells stays, or the texts would be cut.
    const double padding = 2 * kCellPadding * static_cast<double>(g.widths.size());
    g.scale = total > room ? std::max((room - padding) / std::max(total - padding, 1.0), 0.1) : 1.0;
    // Spare room goes to every column alike, so a narrow table still spans the page.
    const double spare = total < room ? (room - total) / static_cast<double>(g.widths.size()) : 0.0;
    for (double& w : g.widths) {
        w = (w - 2 * kCellPadding) * g.scale + 2 * kCellPadding + spare;
    }
    const double line = line_height(scaled(fonts_.table, g.scale));
    g.row_height = line + kRowPadding;
    g.header_height = (g.grouped ? 2 * line : line) + 2 * kRowPadding;
    return g;
}

double ReportLayout::section_height() const {
    return kSectionGap + line_height(fonts_.section) + 4;
}

double ReportLayout::heading_height(const PreparedJob& job) const {
    const double width = content_.width();
    double h = wrapped_height(fonts_.title, job.title, width) + kHeadingGap;
    for (const QString& line : job.prepared) {
        h += wrapped_height(fonts_.subtitle, line, width);
    }
    h += 2 * kHeadingGap;
    double label_width = 0.0;
    for (const auto& fact : job.facts) {
        label_width = std::max(label_width, text_width(fonts_.label, fact.first));
    }
    const double value_width = width - label_width - kFactLabelGap;
    for (const auto& fact : job.facts) {
        h += wrapped_height(fonts_.body, fact.second, value_width) + 1;
    }
    return h + kHeadingGap;
}

double ReportLayout::legend_entry_width(const ChartPlan& chart,
                                        const MaterialList& materials) const {
    double widest = 0.0;
    for (std::size_t i = 0; i < chart.series.size(); ++i) {
        widest = std::max(widest, text_width(fonts_.chart, q(line_name(chart, i, materials))));
    }
    return widest + kLegendSwatch + 12;
}

int ReportLayout::legend_rows(const ChartPlan& chart, const MaterialList& materials) const {
    if (!chart.over_time) {
        return 0;
    }
    const int per_row =
        std::max(1, static_cast<int>(content_.width() / legend_entry_width(chart, materials)));
    const int n = static_cast<int>(chart.series.size());
    return (n + per_row - 1) / per_row;
}

double ReportLayout::chart_height(const ChartPlan& chart, const MaterialList& materials) const {
    // A chart by location has no legend; its labels take a line more (a material on two).
    const int rows = chart.over_time ? legend_rows(chart, materials) : 1;
    return chart_.title + chart_.plot + chart_.x_labels + rows * chart_.legend_row + chart_.gap;
}

double ReportLayout::distribution_height() const {
    return chart_.title + kDistributionPlot + chart_.x_labels + chart_.legend_row + chart_.gap;
}

void ReportLayout::new_page(std::size_t job, bool first) {
    pages_.emplace_back();
    y_ = content_.top();
    if (!first) {
        const PreparedJob& p = jobs_[job];
        // The title gives way, shortened with an ellipsis; the job stays named.
        const QString job_text = p.job != nullptr ? q(continued_job(*p.job))
                                                  : QStringLiteral("Drying project (continued)");
        QString title = p.job != nullptr ? q(continued_title(request_.fields, *p.job)) : p.title;
        if (!title.isEmpty()) {
            const QString gap = QStringLiteral("  -  ");
            const double room = content_.width() - text_width(fonts_.footer, gap + job_text) - 2;
            const QFontMetricsF metrics(fonts_.footer, &device_);
            title = metrics.elidedText(title, Qt::ElideRight, std::max(0.0, room) * scale_) + gap;
        }
        place({BlockKind::RunningHead, job, 0, line_height(fonts_.footer) + 8, 0, 0,
               title + job_text});
    }
}

void ReportLayout::place(ReportBlock block) {
    block.top = y_;
    y_ += block.height;
    pages_.back().push_back(std::move(block));
}

bool ReportLayout::fits(double height) const {
    return y_ + height <= content_.bottom() + 1e-6;
}

void ReportLayout::lay_out_job(std::size_t index) {
    const PreparedJob& p = jobs_[index];
    const ReportSections& s = request_.sections;
    new_page(index, true);
    place({BlockKind::Heading, index, 0, heading_height(p), 0, 0, {}});
    lay_out_notes(index);
    if (p.job->readings.empty()) {
        place({BlockKind::NoReadings, index, 0, section_height(), 0, 0,
               QStringLiteral("This job has no readings.")});
        return;
    }
    if (s.summary) {
        lay_out_rows(index, BlockKind::SummaryRows, QStringLiteral("Summary by location"),
                     p.summary.rows.size(), p.summary.row_group, p.summary_geometry);
    }
    if (s.charts) {
        lay_out_charts(index, QStringLiteral("Charts"));
    }
    if (s.distribution && p.has_distribution) {
        if (!fits(section_height() + distribution_height())) {
            new_page(index, false);
        }
        place({BlockKind::Section, index, 0, section_height(), 0, 0,
               QStringLiteral("Distribution of pin readings")});
        place({BlockKind::Distribution, index, 0, distribution_height(), 0, 0, {}});
    }
    if (s.readings) {
        lay_out_rows(index, BlockKind::ReadingRows, QStringLiteral("All readings, in time order"),
                     p.job->readings.size(), {}, p.readings_geometry);
    }
}

// The notes under the heading, line by line, so that long notes run on to the next page.
void ReportLayout::lay_out_notes(std::size_t job) {
    const PreparedJob& p = jobs_[job];
    const double width = content_.width();
    for (std::size_t i = 0; i < p.notes.size(); ++i) {
        const QString& line = p.notes[i];
        const double h =
            line.isEmpty() ? line_height(fonts_.body) : wrapped_height(fonts_.body, line, width);
        const double label = i == 0 ? kHeadingGap + line_height(fonts_.label) : 0.0;
        if (!fits(label + h)) {
            new_page(job, false);
        }
        if (i == 0) {
            place({BlockKind::NotesLabel, job, 0, label, 0, 0, QStringLiteral("Notes")});
        }
        place({BlockKind::NotesLine, job, 0, h, 0, 0, line});
    }
}

// Places a table's rows page after page under its section title and column headings, which
// are repeated on every page. Rows of one group (one location) stay together.
void ReportLayout::lay_out_rows(std::size_t job, BlockKind kind, const QString& section,
                                std::size_t rows, const std::vector<int>& groups,
                                const TableGeometry& g, std::size_t table, const QString& note) {
    const double width = content_.width();
    const double note_height = note.isEmpty() ? 0.0 : wrapped_height(fonts_.body, note, width) + 2;
    if (rows == 0) {
        // A table without rows still says that nothing was recorded.
        const QString none = QStringLiteral("None recorded.");
        if (!fits(section_height() + line_height(fonts_.body))) {
            new_page(job, false);
        }
        place({BlockKind::Section, job, 0, section_height(), 0, 0, section});
        place({BlockKind::NotesLine, job, 0, line_height(fonts_.body) + 2, 0, 0, none});
        return;
    }
    const auto group_end = [&](std::size_t row) {
        std::size_t end = row + 1;
        while (!groups.empty() && end < rows && groups[end] == groups[row]) {
            ++end;
        }
        return end;
    };
    QString title = section;
    std::size_t row = 0;
    while (row < rows) {
        // A table starts on a page only with a few rows (or its first group) under its headings.
        const std::size_t first = std::max(group_end(row), std::min(rows, row + kFewestRows));
        const double first_rows = static_cast<double>(first - row) * g.row_height;
        const double above = row == 0 ? note_height : 0.0;
        if (!fits(section_height() + above + g.header_height + first_rows)) {
            new_page(job, false);
        }
        place({BlockKind::Section, job, 0, section_height(), 0, 0, title});
        if (above > 0.0) {
            place({BlockKind::NotesLine, job, 0, above, 0, 0, note});
        }
        const double room = content_.bottom() - y_ - g.header_height;
        std::size_t end = row;
        if (groups.empty()) {
            const auto fit = static_cast<std::size_t>(std::floor(room / g.row_height + 1e-6));
            end = std::min(rows, row + std::max<std::size_t>(fit, 1));
        } else {
            do {
                end = group_end(end);
            } while (end < rows &&
                     static_cast<double>(group_end(end) - row) * g.row_height <= room);
        }
        place({kind,
               job,
               0,
               g.header_height + static_cast<double>(end - row) * g.row_height,
               row,
               end,
               {},
               table});
        row = end;
        title = section + QStringLiteral(" (continued)");
    }
}

} // namespace qm
