// The report's charts, drawn with QPainter as vector paths: the readings over time and the
// distribution of the pin readings.
#include "report/qt_report_painter.h"

#include "report/report_axes.h"
#include "ui/qt_text.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

namespace qm {

using namespace report_geometry;
using namespace report_colors;

namespace {

// Eight colours that stay apart for colour-blind readers; each line has its dash pattern and
// marker too (line_style), so that the lines can be told apart on a grey printout.
const std::array<QColor, kLinesPerChart> kLineColors = {
    QColor(0x00, 0x72, 0xb2), QColor(0xd5, 0x5e, 0x00), QColor(0x00, 0x9e, 0x73),
    QColor(0xcc, 0x79, 0xa7), QColor(0xe6, 0x9f, 0x00), QColor(0x56, 0xb4, 0xe9),
    QColor(0x00, 0x00, 0x00), QColor(0x99, 0x99, 0x99)};
constexpr double kLineWidth = 1.2;
constexpr double kMarkerSize = 2.2;
constexpr double kGridWidth = 0.5;
constexpr double kFrameWidth = 0.7;
constexpr double kTickLabelGap = 3.0;
constexpr double kTimeLabelSpacing = 58.0; // room per x label
constexpr int kValueTicks = 6;
// At most this many markers on a line: more would hide it.
constexpr std::size_t kMostMarkedPoints = 24;
constexpr double kBarFill = 0.8;
constexpr double kDistributionLabelRoom = 22.0;

// The part of a chart box that holds the plot, with room for the axis texts around it.
struct PlotFrame {
    QRectF plot;
};

PlotFrame plot_frame(const ReportLayout& layout, const QRectF& box, double plot_height,
                     const std::vector<AxisTick>& y_ticks) {
    const QFont& font = layout.fonts().chart;
    double label_width = 0.0;
    for (const AxisTick& t : y_ticks) {
        label_width = std::max(label_width, layout.text_width(font, from_cp1252(t.label)));
    }
    const double left = box.left() + label_width + kTickLabelGap + 2;
    const double top = box.top() + layout.chart_metrics().title;
    return {QRectF(left, top, box.right() - left - 4, plot_height)};
}

void draw_text(QPainter& p, const PointMapper& px, const QFont& font, const QRectF& box, int flags,
               const QString& text, const QColor& color = kInk) {
    p.setFont(font);
    p.setPen(color);
    p.drawText(px(box), flags, text);
}

void draw_line(QPainter& p, const PointMapper& px, QPointF a, QPointF b, double width,
               const QColor& color) {
    QPen pen(color);
    pen.setWidthF(px(width));
    p.setPen(pen);
    p.drawLine(px(a), px(b));
}

// The title above the plot.
void draw_title(QPainter& p, const ReportLayout& layout, const QRectF& box, const QString& title) {
    const PointMapper px(layout.scale());
    const QFont& font = layout.fonts().chart_title;
    draw_text(p, px, font, QRectF(box.left(), box.top(), box.width(), layout.line_height(font)),
              Qt::AlignLeft | Qt::AlignVCenter, title, kAccent);
}

// The value axis: grid lines with their labels at the left, the unit above the plot's right end.
void draw_value_axis(QPainter& p, const ReportLayout& layout, const PlotFrame& f,
                     const ValueAxis& axis, const QString& unit) {
    const PointMapper px(layout.scale());
    const QFont& font = layout.fonts().chart;
    const double line = layout.line_height(font);
    for (const AxisTick& t : axis.ticks) {
        const double y =
            f.plot.bottom() - (t.value - axis.low) / (axis.high - axis.low) * f.plot.height();
        draw_line(p, px, {f.plot.left(), y}, {f.plot.right(), y}, kGridWidth, kGrid);
        draw_text(p, px, font, QRectF(f.plot.left() - 80 - kTickLabelGap, y - line / 2, 80, line),
                  Qt::AlignRight | Qt::AlignVCenter, from_cp1252(t.label), kMuted);
    }
    // The unit at the top right, level with the title: upright, as every text of the report.
    const double title = layout.chart_metrics().title;
    draw_text(p, px, font, QRectF(f.plot.left(), f.plot.top() - title, f.plot.width(), title),
              Qt::AlignRight | Qt::AlignVCenter, unit, kMuted);
}

void draw_frame(QPainter& p, const PointMapper& px, const QRectF& plot) {
    QPen pen(kRule);
    pen.setWidthF(px(kFrameWidth));
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(px(plot));
}

void draw_marker(QPainter& p, QPointF at, double size, MarkerShape shape) {
    const auto polygon = [&](std::initializer_list<QPointF> corners) {
        std::vector<QPointF> points;
        for (const QPointF& c : corners) {
            points.push_back(at + c * size);
        }
        p.drawPolygon(points.data(), static_cast<int>(points.size()));
    };
    switch (shape) {
    case MarkerShape::Circle:
        p.drawEllipse(at, size, size);
        break;
    case MarkerShape::Square:
        p.drawRect(QRectF(at.x() - size, at.y() - size, 2 * size, 2 * size));
        break;
    case MarkerShape::TriangleUp:
        polygon({{0, -1.3}, {1.2, 0.9}, {-1.2, 0.9}});
        break;
    case MarkerShape::Diamond:
        polygon({{0, -1.4}, {1.4, 0}, {0, 1.4}, {-1.4, 0}});
        break;
    case MarkerShape::TriangleDown:
        polygon({{0, 1.3}, {1.2, -0.9}, {-1.2, -0.9}});
        break;
    case MarkerShape::Cross:
        p.drawLine(at + QPointF(-size, -size), at + QPointF(size, size));
        p.drawLine(at + QPointF(-size, size), at + QPointF(size, -size));
        break;
    case MarkerShape::Plus:
        p.drawLine(at + QPointF(-1.3 * size, 0), at + QPointF(1.3 * size, 0));
        p.drawLine(at + QPointF(0, -1.3 * size), at + QPointF(0, 1.3 * size));
        break;
    case MarkerShape::Star:
        polygon({{0, -1.5},
                 {0.4, -0.5},
                 {1.45, -0.45},
                 {0.6, 0.2},
                 {0.9, 1.2},
                 {0, 0.6},
                 {-0.9, 1.2},
                 {-0.6, 0.2},
                 {-1.45, -0.45},
                 {-0.4, -0.5}});
        break;
    }
}

// The pen of a line in its dash pattern; the pen of its markers is solid.
QPen line_pen(const PointMapper& px, const QColor& color, const LineStyle& style, bool dashed) {
    QPen pen(color);
    pen.setWidthF(px(kLineWidth));
    pen.setJoinStyle(Qt::RoundJoin);
    if (dashed && !style.dashes.empty()) {
        pen.setDashPattern(QList<qreal>(style.dashes.begin(), style.dashes.end()));
    }
    return pen;
}

void draw_styled_marker(QPainter& p, const PointMapper& px, QPointF at, std::size_t line) {
    const LineStyle style = line_style(line);
    const QColor& color = kLineColors[line % kLineColors.size()];
    p.setPen(line_pen(px, color, style, false));
    p.setBrush(style.filled ? QBrush(color) : QBrush(Qt::white));
    draw_marker(p, at, px(kMarkerSize), style.marker);
}

void draw_series(QPainter& p, const PointMapper& px, const QRectF& plot, const TimeAxis& time,
                 const ValueAxis& values, const LocationSeries& series, std::size_t index) {
    const std::vector<SeriesPoint> points =
        thin_series(series.points, time.low, time.high, static_cast<int>(plot.width()));
    const auto at = [&](const SeriesPoint& s) {
        const double x = plot.left() + static_cast<double>(s.minute - time.low) /
                                           static_cast<double>(time.high - time.low) * plot.width();
        const double y =
            plot.bottom() - (s.value - values.low) / (values.high - values.low) * plot.height();
        return px(QPointF(x, y));
    };
    const LineStyle style = line_style(index);
    p.setPen(line_pen(px, kLineColors[index % kLineColors.size()], style, true));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    for (std::size_t i = 0; i < points.size(); ++i) {
        i == 0 ? path.moveTo(at(points[i])) : path.lineTo(at(points[i]));
    }
    p.drawPath(path);
    // A dense line keeps markers on every n-th point, so that it is still known in grey.
    for (const std::size_t i : marked_points(points.size(), index, kMostMarkedPoints)) {
        draw_styled_marker(p, px, at(points[i]), index);
    }
}

void draw_time_labels(QPainter& p, const ReportLayout& layout, const QRectF& plot,
                      const TimeAxis& time) {
    const PointMapper px(layout.scale());
    const QFont& font = layout.fonts().chart;
    const double height = layout.chart_metrics().x_labels;
    for (const AxisTick& t : time.ticks) {
        const double x = plot.left() + (t.value - static_cast<double>(time.low)) /
                                           static_cast<double>(time.high - time.low) * plot.width();
        draw_line(p, px, {x, plot.bottom()}, {x, plot.bottom() + 3}, kFrameWidth, kRule);
        draw_text(p, px, font,
                  QRectF(x - kTimeLabelSpacing / 2, plot.bottom() + 4, kTimeLabelSpacing, height),
                  Qt::AlignHCenter | Qt::AlignTop, from_cp1252(t.label), kMuted);
    }
}

void draw_legend(QPainter& p, const ReportLayout& layout, const ChartPlan& chart,
                 const MaterialList& materials, double top) {
    const PointMapper px(layout.scale());
    const QFont& font = layout.fonts().chart;
    const double entry = layout.legend_entry_width(chart, materials);
    const double row_height = layout.chart_metrics().legend_row;
    const QRectF c = layout.content();
    const int per_row = std::max(1, static_cast<int>(c.width() / entry));
    for (std::size_t i = 0; i < chart.series.size(); ++i) {
        const double x = c.left() + static_cast<double>(static_cast<int>(i) % per_row) * entry;
        const double y = top + static_cast<double>(static_cast<int>(i) / per_row) * row_height;
        const double mid = y + row_height / 2;
        p.setPen(line_pen(px, kLineColors[i % kLineColors.size()], line_style(i), true));
        p.drawLine(px(QPointF(x, mid)), px(QPointF(x + kLegendSwatch - 6, mid)));
        draw_styled_marker(p, px, px(QPointF(x + (kLegendSwatch - 6) / 2, mid)), i);
        draw_text(p, px, font, QRectF(x + kLegendSwatch, y, entry - kLegendSwatch, row_height),
                  Qt::AlignLeft | Qt::AlignVCenter, from_cp1252(line_name(chart, i, materials)));
    }
}

// A chart by location: a column per point, its readings side by side in time order as dots,
// a rule between locations, the point's code and material under its column.
void draw_by_location(QPainter& p, const ReportLayout& layout, const ChartPlan& chart,
                      const MaterialList& materials, const PlotFrame& f, const ValueAxis& values) {
    const PointMapper px(layout.scale());
    const QFont& font = layout.fonts().chart;
    const double line = layout.line_height(font);
    const double slot = f.plot.width() / static_cast<double>(chart.series.size());
    for (std::size_t i = 0; i < chart.series.size(); ++i) {
        const LocationSeries& s = chart.series[i];
        const double left = f.plot.left() + slot * static_cast<double>(i);
        if (i > 0 && chart.series[i - 1].location != s.location) {
            draw_line(p, px, {left, f.plot.top()}, {left, f.plot.bottom()}, kFrameWidth, kRule);
        }
        const auto n = static_cast<double>(s.points.size());
        for (std::size_t k = 0; k < s.points.size(); ++k) {
            const double x = left + slot * (0.15 + 0.7 * (static_cast<double>(k) + 0.5) / n);
            const double y = f.plot.bottom() - (s.points[k].value - values.low) /
                                                   (values.high - values.low) * f.plot.height();
            draw_styled_marker(p, px, px(QPointF(x, y)), 0);
        }
        const QRectF code(left, f.plot.bottom() + 4, slot, line);
        draw_text(p, px, font, code, Qt::AlignHCenter | Qt::AlignTop, from_cp1252(series_code(s)),
                  kMuted);
        // The material (or what the chart says of the point) on up to two lines under the code.
        const std::string under = s.material >= 0
                                      ? std::string(material_name(materials, s.material))
                                  : i < chart.below.size() ? chart.below[i]
                                                           : std::string();
        if (!under.empty()) {
            const QRectF below(left + 1, code.bottom(), slot - 2, 2 * line);
            p.setPen(kMuted);
            draw_wrapped_text(p, font, px(below), from_cp1252(under), Qt::AlignHCenter);
        }
    }
}

} // namespace

void paint_time_chart(QPainter& p, const ReportLayout& layout, const PreparedJob& job,
                      const ChartPlan& chart, const QRectF& box) {
    const PointMapper px(layout.scale());
    const ValueAxis value =
        value_axis(chart.values.min, chart.values.max, kValueTicks, chart.from_zero);
    const ChartMetrics& m = layout.chart_metrics();
    const PlotFrame f = plot_frame(layout, box, m.plot, value.ticks);
    const MaterialList& materials = job.job != nullptr ? job.job->materials : kFirstMaterials;
    if (!chart.over_time) {
        draw_title(p, layout, box, from_cp1252(chart.title));
        draw_value_axis(p, layout, f, value, from_cp1252(chart.unit));
        draw_by_location(p, layout, chart, materials, f, value);
        draw_frame(p, px, f.plot);
        return;
    }
    // The charts of a project run over days, whose labels are dates.
    const bool twelve_hour = job.job != nullptr && hour_is_12h(job.job->readings.front().hour_code);
    int ticks = std::max(2, static_cast<int>(f.plot.width() / kTimeLabelSpacing));
    if (job.job == nullptr) {
        // A chart across days has no tick between two days.
        const auto days = static_cast<int>((chart.last_minute - chart.first_minute) / 1440);
        ticks = std::clamp(days + 2, 2, ticks);
    }
    const TimeAxis time = time_axis(chart.first_minute, chart.last_minute, ticks,
                                    layout.request().units.international_date, twelve_hour);
    draw_title(p, layout, box, from_cp1252(chart.title));
    draw_value_axis(p, layout, f, value, from_cp1252(chart.unit));
    p.save();
    p.setClipRect(
        px(f.plot.adjusted(-kMarkerSize * 2, -kMarkerSize * 2, kMarkerSize * 2, kMarkerSize * 2)));
    for (std::size_t i = 0; i < chart.series.size(); ++i) {
        draw_series(p, px, f.plot, time, value, chart.series[i], i);
    }
    p.restore();
    draw_frame(p, px, f.plot);
    draw_time_labels(p, layout, f.plot, time);
    draw_legend(p, layout, chart, materials, f.plot.bottom() + m.x_labels);
}

void paint_distribution(QPainter& p, const ReportLayout& layout, const PreparedJob& job,
                        const QRectF& box) {
    const PointMapper px(layout.scale());
    const McDistribution& d = job.distribution;
    const int from = std::max(0, d.low_bin - 1);
    const int to = std::min(kHistogramBinCount - 1, d.high_bin + 1);
    const ValueAxis counts = value_axis(0, std::max(d.largest, 5), 5, true);
    const PlotFrame f = plot_frame(layout, box, kDistributionPlot, counts.ticks);
    draw_title(p, layout, box, QStringLiteral("Pin readings by moisture content"));
    draw_value_axis(p, layout, f, counts, QStringLiteral("Readings"));
    const int bins = to - from + 1;
    const double slot = f.plot.width() / bins;
    int label_step = 1;
    for (const int step : {1, 2, 5, 10, 20}) {
        label_step = step;
        if (slot * step >= kDistributionLabelRoom) {
            break;
        }
    }
    const QFont& font = layout.fonts().chart;
    const double line = layout.line_height(font);
    for (int bin = from; bin <= to; ++bin) {
        const double x = f.plot.left() + (bin - from) * slot;
        const std::int32_t count = d.bins[static_cast<std::size_t>(bin)];
        const double h = count / counts.high * f.plot.height();
        if (count > 0) {
            p.fillRect(
                px(QRectF(x + slot * (1 - kBarFill) / 2, f.plot.bottom() - h, slot * kBarFill, h)),
                kLineColors[0]);
        }
        if (bin % label_step == 0) {
            draw_text(p, px, font, QRectF(x - 10, f.plot.bottom() + 4, slot + 20, line),
                      Qt::AlignHCenter | Qt::AlignTop, QString::number(bin), kMuted);
        }
    }
    draw_frame(p, px, f.plot);
    const double below = f.plot.bottom() + 4 + line;
    draw_text(p, px, font, QRectF(f.plot.left(), below, f.plot.width(), line),
              Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("%MC (whole percent)"), kMuted);
    draw_text(p, px, font,
              QRectF(box.left(), f.plot.bottom() + layout.chart_metrics().x_labels, box.width(),
                     layout.chart_metrics().legend_row),
              Qt::AlignLeft | Qt::AlignVCenter, from_cp1252(distribution_note(d)));
}

} // namespace qm
