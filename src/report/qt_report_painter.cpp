#include "report/qt_report_painter.h"

#include "ui/qt_text.h"

#include <QPainter>

#include <algorithm>

namespace qm {

using namespace report_geometry;
using namespace report_colors;

namespace {

constexpr double kHeadingRule = 1.2;
constexpr double kThinRule = 0.5;
constexpr double kTableRule = 0.8;
constexpr int kLeft = Qt::AlignLeft | Qt::AlignVCenter;
constexpr int kRight = Qt::AlignRight | Qt::AlignVCenter;

} // namespace

ReportPagePainter::ReportPagePainter(QPainter& painter, const ReportLayout& layout)
    : painter_(painter), layout_(layout), px_(layout.scale()), cells_(painter) {}

void ReportPagePainter::text(const QFont& font, const QRectF& box, int flags, const QString& text,
                             const QColor& color) {
    painter_.setFont(font);
    painter_.setPen(color);
    painter_.drawText(px_(box), flags, text);
}

void ReportPagePainter::wrapped(const QFont& font, const QRectF& box, const QString& text,
                                const QColor& color) {
    painter_.setPen(color);
    draw_wrapped_text(painter_, font, px_(box), text);
}

void ReportPagePainter::rule(double x1, double x2, double y, double width, const QColor& color) {
    QPen pen(color);
    pen.setWidthF(px_(width));
    painter_.setPen(pen);
    painter_.drawLine(px_(QPointF(x1, y)), px_(QPointF(x2, y)));
}

void ReportPagePainter::paint_page(std::size_t index) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setRenderHint(QPainter::TextAntialiasing, true);
    for (const ReportBlock& block : layout_.pages()[index]) {
        paint_block(block);
    }
    paint_footer(index);
    painter_.restore();
}

void ReportPagePainter::paint_footer(std::size_t index) {
    const QRectF c = layout_.content();
    const double top = c.bottom() + kFooterGap;
    rule(c.left(), c.right(), top, kThinRule, kRule);
    const QFont& font = layout_.fonts().footer;
    const QRectF box(c.left(), top + 3, c.width(), layout_.line_height(font));
    const ReportRequest& r = layout_.request();
    text(font, box, kLeft, from_cp1252(printed_text(r.printed, r.units.international_date)),
         kMuted);
    text(font, box, Qt::AlignHCenter | Qt::AlignVCenter, from_cp1252(program_text()), kMuted);
    const int pages = static_cast<int>(layout_.pages().size());
    text(font, box, kRight, from_cp1252(page_text(static_cast<int>(index) + 1, pages)), kMuted);
}

void ReportPagePainter::paint_block(const ReportBlock& block) {
    const PreparedJob& job = layout_.jobs()[block.job];
    const QRectF c = layout_.content();
    const QRectF box(c.left(), block.top, c.width(), block.height);
    switch (block.kind) {
    case BlockKind::RunningHead:
        paint_running_head(block);
        break;
    case BlockKind::Heading:
        paint_heading(block);
        break;
    case BlockKind::NoReadings:
    case BlockKind::Section:
        paint_section(block);
        break;
    case BlockKind::NotesLabel:
        text(layout_.fonts().label, box.adjusted(0, kHeadingGap, 0, 0),
             Qt::AlignLeft | Qt::AlignTop, block.text);
        break;
    case BlockKind::NotesLine:
        wrapped(layout_.fonts().body, box, block.text);
        break;
    case BlockKind::SummaryRows:
        paint_table(block, job.summary.columns, job.summary_geometry);
        break;
    case BlockKind::ReadingRows:
        paint_table(block, job.reading_columns, job.readings_geometry);
        break;
    case BlockKind::ProjectRows:
        paint_table(block, job.project_tables[block.table].table.columns,
                    job.table_geometries[block.table]);
        break;
    case BlockKind::Chart:
        paint_time_chart(painter_, layout_, job, job.charts[block.from], box);
        break;
    case BlockKind::Distribution:
        paint_distribution(painter_, layout_, job, box);
        break;
    case BlockKind::Photo:
        paint_report_photo(painter_, layout_, job.project->photos[block.from], box);
        break;
    }
}

void ReportPagePainter::paint_running_head(const ReportBlock& block) {
    const QRectF c = layout_.content();
    const QFont& font = layout_.fonts().footer;
    const double h = layout_.line_height(font);
    text(font, QRectF(c.left(), block.top, c.width(), h), kLeft, block.text, kMuted);
    rule(c.left(), c.right(), block.top + h + 3, kThinRule, kRule);
}

void ReportPagePainter::paint_heading(const ReportBlock& block) {
    const PreparedJob& job = layout_.jobs()[block.job];
    const ReportFonts& f = layout_.fonts();
    const QRectF c = layout_.content();
    const double width = c.width();
    double y = block.top;
    double h = layout_.wrapped_height(f.title, job.title, width);
    wrapped(f.title, QRectF(c.left(), y, width, h), job.title, kAccent);
    y += h + kHeadingGap;
    for (const QString& line : job.prepared) {
        h = layout_.wrapped_height(f.subtitle, line, width);
        wrapped(f.subtitle, QRectF(c.left(), y, width, h), line);
        y += h;
    }
    y += kHeadingGap;
    rule(c.left(), c.right(), y, kHeadingRule, kAccent);
    y += kHeadingGap;
    double label_width = 0.0;
    for (const auto& fact : job.facts) {
        label_width = std::max(label_width, layout_.text_width(f.label, fact.first));
    }
    const double value_left = c.left() + label_width + kFactLabelGap;
    const double value_width = width - label_width - kFactLabelGap;
    for (const auto& [label, value] : job.facts) {
        h = layout_.wrapped_height(f.body, value, value_width);
        text(f.label, QRectF(c.left(), y, label_width, h), Qt::AlignLeft | Qt::AlignTop, label);
        wrapped(f.body, QRectF(value_left, y, value_width, h), value);
        y += h + 1;
    }
}

void ReportPagePainter::paint_section(const ReportBlock& block) {
    const QRectF c = layout_.content();
    const bool section = block.kind == BlockKind::Section;
    const QFont& font = section ? layout_.fonts().section : layout_.fonts().body;
    const double h = layout_.line_height(font);
    text(font, QRectF(c.left(), block.top + kSectionGap, c.width(), h), kLeft, block.text,
         section ? kAccent : kInk);
}

std::vector<std::string> ReportPagePainter::row_cells(const ReportBlock& block,
                                                      std::size_t row) const {
    const PreparedJob& job = layout_.jobs()[block.job];
    if (block.kind == BlockKind::SummaryRows) {
        return job.summary.rows[row];
    }
    if (block.kind == BlockKind::ProjectRows) {
        return job.project_tables[block.table].table.rows[row];
    }
    return readings_row(job.job->readings[row], row + 1, job.job->materials,
                        layout_.request().units, job.scans);
}

bool ReportPagePainter::shaded(const ReportBlock& block, std::size_t row) const {
    const PreparedJob& job = layout_.jobs()[block.job];
    if (block.kind == BlockKind::SummaryRows) {
        return job.summary.row_group[row] % 2 == 1;
    }
    if (block.kind == BlockKind::ProjectRows) {
        return job.project_tables[block.table].table.row_group[row] % 2 == 1;
    }
    return row % 2 == 1;
}

void ReportPagePainter::paint_table_header(double top, const std::vector<TableColumn>& columns,
                                           const TableGeometry& g) {
    const QRectF c = layout_.content();
    const QFont font = ReportLayout::scaled(layout_.fonts().table_heading, g.scale);
    const double line = layout_.line_height(font);
    painter_.fillRect(px_(QRectF(c.left(), top, c.width(), g.header_height)), kHeader);
    double x = c.left();
    const double bottom_line = top + g.header_height - kRowPadding - line;
    for (std::size_t i = 0; i < columns.size();) {
        // A group heading spans its columns, with a rule under it.
        std::size_t end = i + 1;
        double span = g.widths[i];
        while (end < columns.size() && columns[end].group == columns[i].group) {
            span += g.widths[end++];
        }
        if (!columns[i].group.empty()) {
            text(font, QRectF(x, top + kRowPadding, span, line),
                 Qt::AlignHCenter | Qt::AlignVCenter, from_cp1252(columns[i].group));
            rule(x + kCellPadding, x + span - kCellPadding, top + kRowPadding + line, kThinRule,
                 kRule);
        }
        for (std::size_t k = i; k < end; ++k) {
            const int flags = columns[k].align == CellAlign::Left ? kLeft : kRight;
            text(font, QRectF(x + kCellPadding, bottom_line, g.widths[k] - 2 * kCellPadding, line),
                 flags, from_cp1252(columns[k].heading));
            x += g.widths[k];
        }
        i = end;
    }
    rule(c.left(), c.right(), top + g.header_height, kTableRule, kAccent);
}

void ReportPagePainter::paint_table(const ReportBlock& block,
                                    const std::vector<TableColumn>& columns,
                                    const TableGeometry& g) {
    const QRectF c = layout_.content();
    paint_table_header(block.top, columns, g);
    const QFont font = ReportLayout::scaled(layout_.fonts().table, g.scale);
    painter_.setFont(font);
    painter_.setPen(kInk);
    cells_.set_font(painter_.font());
    double y = block.top + g.header_height;
    for (std::size_t row = block.from; row < block.to; ++row) {
        if (shaded(block, row)) {
            painter_.fillRect(px_(QRectF(c.left(), y, c.width(), g.row_height)), kStripe);
        }
        const std::vector<std::string> cells = row_cells(block, row);
        double x = c.left();
        for (std::size_t k = 0; k < columns.size() && k < cells.size(); ++k) {
            const int flags = columns[k].align == CellAlign::Left ? kLeft : kRight;
            cells_.cell(
                px_(QRectF(x + kCellPadding, y, g.widths[k] - 2 * kCellPadding, g.row_height)),
                flags, cells[k]);
            x += g.widths[k];
        }
        cells_.flush(); // before the next row's stripe
        y += g.row_height;
    }
    rule(c.left(), c.right(), y, kThinRule, kRule);
}

} // namespace qm
