// The report's charts, drawn with QPainter as vector paths: the readings over time and the
// distribution of the pin readings.
#include "report/qt_report_painter.h"

#include "report/report_axes.h"
#include "ui/qt_text.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>

namespace qm {

using namespace report_geometry;
using namespace report_colors;

namespace {

// Eight colours that stay apart for colour-blind readers, with a marker shape each, so that the
// lines can be told apart on a black-and-white printout too.
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
// Beyond this many points a line carries no markers: they would hide it.
constexpr std::size_t kMostMarkedPoints = 24;
constexpr double kBarFill = 0.8;
constexpr double kDistributionLabelRoom = 22.0;

// The part of a chart box that holds the plot, with room for the axis texts around it.
struct PlotFrame {
    QRectF plot;
    double unit_x = 0.0; // centre of the rotated unit text
};

PlotFrame plot_frame(const ReportLayout& layout, const QRectF& box, double plot_height,
                     const std::vector<AxisTick>& y_ticks) {
    const QFont& font = layout.fonts().chart;
    double label_width = 0.0;
    for (const AxisTick& t : y_ticks) {
        label_width = std::max(label_width, layout.text_width(font, from_cp1252(t.label)));
    }
    const double unit_room = layout.line_height(font) + 2;
    const double left = box.left() + unit_room + label_width + kTickLabelGap + 2;
    const double top = box.top() + layout.chart_metrics().title;
    return {QRectF(left, top, box.right() - left - 4, plot_height), box.left() + unit_room / 2};
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

// The value axis: grid lines with their labels at the left, the unit rotated beside them.
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
    p.save();
    p.translate(px(QPointF(f.unit_x, f.plot.center().y())));
    p.rotate(-90);
    p.setFont(font);
    p.setPen(kMuted);
    p.drawText(px(QRectF(-f.plot.height() / 2, -line / 2, f.plot.height(), line)), Qt::AlignCenter,
               unit);
    p.restore();
}

void draw_frame(QPainter& p, const PointMapper& px, const QRectF& plot) {
    QPen pen(kRule);
    pen.setWidthF(px(kFrameWidth));
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(px(plot));
}

void draw_marker(QPainter& p, QPointF at, double size, std::size_t shape) {
    switch (shape % 4) {
    case 0:
        p.drawEllipse(at, size, size);
        break;
    case 1:
        p.drawRect(QRectF(at.x() - size, at.y() - size, 2 * size, 2 * size));
        break;
    case 2: {
        const QPointF tri[3] = {at + QPointF(0, -size * 1.2), at + QPointF(size * 1.1, size * 0.8),
                                at + QPointF(-size * 1.1, size * 0.8)};
        p.drawPolygon(tri, 3);
        break;
    }
    default: {
        const QPointF diamond[4] = {at + QPointF(0, -size * 1.3), at + QPointF(size * 1.3, 0),
                                    at + QPointF(0, size * 1.3), at + QPointF(-size * 1.3, 0)};
        p.drawPolygon(diamond, 4);
        break;
    }
    }
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
    const QColor& color = kLineColors[index % kLineColors.size()];
    QPen pen(color);
    pen.setWidthF(px(kLineWidth));
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    for (std::size_t i = 0; i < points.size(); ++i) {
        i == 0 ? path.moveTo(at(points[i])) : path.lineTo(at(points[i]));
    }
    p.drawPath(path);
    if (points.size() <= kMostMarkedPoints) {
        p.setBrush(color);
        for (const SeriesPoint& s : points) {
            draw_marker(p, at(s), px(kMarkerSize), index);
        }
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

void draw_legend(QPainter& p, const ReportLayout& layout, const ChartPlan& chart, double top) {
    const PointMapper px(layout.scale());
    const QFont& font = layout.fonts().chart;
    const double entry = layout.legend_entry_width(chart);
    const double row_height = layout.chart_metrics().legend_row;
    const QRectF c = layout.content();
    const int per_row = std::max(1, static_cast<int>(c.width() / entry));
    for (std::size_t i = 0; i < chart.series.size(); ++i) {
        const double x = c.left() + static_cast<double>(static_cast<int>(i) % per_row) * entry;
        const double y = top + static_cast<double>(static_cast<int>(i) / per_row) * row_height;
        const double mid = y + row_height / 2;
        const QColor& color = kLineColors[i % kLineColors.size()];
        draw_line(p, px, {x, mid}, {x + kLegendSwatch - 6, mid}, kLineWidth, color);
        p.setBrush(color);
        draw_marker(p, px(QPointF(x + (kLegendSwatch - 6) / 2, mid)), px(kMarkerSize), i);
        draw_text(p, px, font, QRectF(x + kLegendSwatch, y, entry - kLegendSwatch, row_height),
                  Qt::AlignLeft | Qt::AlignVCenter, from_cp1252(series_name(chart.series[i])));
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
    const bool twelve_hour = hour_is_12h(job.job->readings.front().hour_code);
    const TimeAxis time =
        time_axis(chart.first_minute, chart.last_minute,
                  std::max(2, static_cast<int>(f.plot.width() / kTimeLabelSpacing)),
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
    draw_legend(p, layout, chart, f.plot.bottom() + m.x_labels);
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
