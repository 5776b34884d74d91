#pragma once

// Paints the pages of a laid-out report through any painter: a QPdfWriter, a printer or a
// preview. Text is drawn as text and charts as vector paths.

#include "report/qt_report_layout.h"
#include "report/qt_table_text.h"

#include <QColor>
#include <QPointF>
#include <QRectF>

class QPainter;

namespace qm {

// The report's colours.
namespace report_colors {
inline const QColor kInk(0x1a, 0x1a, 0x1a);
inline const QColor kAccent(0x1f, 0x4e, 0x79);
inline const QColor kMuted(0x55, 0x55, 0x55);
inline const QColor kRule(0x99, 0x99, 0x99);
inline const QColor kGrid(0xd9, 0xd9, 0xd9);
inline const QColor kStripe(0xf2, 0xf2, 0xf2);
inline const QColor kHeader(0xe4, 0xea, 0xf1);
} // namespace report_colors

// Converts the layout's points to the painter's device pixels.
class PointMapper {
public:
    explicit PointMapper(double scale) : k_(scale) {}
    double operator()(double points) const { return points * k_; }
    QPointF operator()(QPointF p) const { return p * k_; }
    QRectF operator()(const QRectF& r) const {
        return {r.x() * k_, r.y() * k_, r.width() * k_, r.height() * k_};
    }

private:
    double k_;
};

class ReportPagePainter {
public:
    ReportPagePainter(QPainter& painter, const ReportLayout& layout);

    // Paints page `index` (from 0) with its footer, "Page index+1 of <all pages>".
    void paint_page(std::size_t index);

private:
    void text(const QFont& font, const QRectF& box, int flags, const QString& text,
              const QColor& color = report_colors::kInk);
    void wrapped(const QFont& font, const QRectF& box, const QString& text,
                 const QColor& color = report_colors::kInk);
    void rule(double x1, double x2, double y, double width, const QColor& color);
    void paint_footer(std::size_t index);
    void paint_block(const ReportBlock& block);
    void paint_running_head(const ReportBlock& block);
    void paint_heading(const ReportBlock& block);
    void paint_section(const ReportBlock& block);
    void paint_table(const ReportBlock& block, const std::vector<TableColumn>& columns,
                     const TableGeometry& geometry);
    void paint_table_header(double top, const std::vector<TableColumn>& columns,
                            const TableGeometry& geometry);
    std::vector<std::string> row_cells(const ReportBlock& block, std::size_t row) const;
    bool shaded(const ReportBlock& block, std::size_t row) const;

    QPainter& painter_;
    const ReportLayout& layout_;
    PointMapper px_;
    TableTextPainter cells_;
};

// A chart over time in the box of its block (points).
void paint_time_chart(QPainter& painter, const ReportLayout& layout, const PreparedJob& job,
                      const ChartPlan& chart, const QRectF& box);

// The distribution of an MC job's pin readings in the box of its block (points).
void paint_distribution(QPainter& painter, const ReportLayout& layout, const PreparedJob& job,
                        const QRectF& box);

// A photo of the project, scaled to print at most kPhotoDpi, with its caption and facts under it,
// in the box of its block (points).
void paint_report_photo(QPainter& painter, const ReportLayout& layout, const ReportPhoto& photo,
                        const QRectF& box);

} // namespace qm
