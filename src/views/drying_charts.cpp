#include "views/drying_charts.h"

#include "projects/drying_days.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace qm {
namespace {

constexpr int kChartWidth = 300;
constexpr int kChartHeight = 190;
// At most this many steps on a value axis.
constexpr int kValueTicks = 5;
constexpr int kLabelGap = 8; // between two day labels, in pixels

// The day as the axis writes it: "03-03".
QString day_text(std::int64_t day) {
    return QString::fromStdString(iso_date(day).substr(5));
}

} // namespace

DryingCharts::DryingCharts(QWidget* parent) : QWidget(parent) {
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void DryingCharts::setLog(const DryingLog& log, std::vector<QString> headings) {
    days_ = log.days;
    rows_.clear();
    headings_.clear();
    double pin = 0.0;
    double scan = 0.0;
    for (std::size_t i = 0; i < log.rows.size(); ++i) {
        const DryingRow& row = log.rows[i];
        if (row.is_reference || row.readings == 0) { // a planned point not read yet draws nothing
            continue;
        }
        double& top = row.point.scale == PointScale::Scan ? scan : pin;
        for (const DryingCell& c : row.cells) {
            if (c.state != CellState::NotRead) {
                top = std::max({top, c.value, c.goal.value_or(0.0)});
            }
        }
        rows_.push_back(row);
        headings_.push_back(i < headings.size() ? headings[i] : QString());
    }
    pinAxis_ = value_axis(0.0, std::max(pin, 1.0), kValueTicks, true);
    scanAxis_ = value_axis(0.0, std::max(scan, 1.0), kValueTicks, true);
    setMinimumHeight(((charts() + columns() - 1) / columns()) * kChartHeight);
    updateGeometry();
    update();
}

double DryingCharts::scaleTop(PointScale scale) const {
    return valueAxis(scale).high;
}

const ValueAxis& DryingCharts::valueAxis(PointScale scale) const {
    return scale == PointScale::Scan ? scanAxis_ : pinAxis_;
}

std::vector<std::int64_t> DryingCharts::labelledDays(int plotWidth, int labelWidth) const {
    std::vector<std::int64_t> days;
    if (days_.empty()) {
        return days;
    }
    const std::int64_t span = days_.back() - days_.front();
    // Every n-th day from the first, n the fewest that leaves each label its room.
    const std::int64_t room = std::max(1, plotWidth / std::max(1, labelWidth + kLabelGap));
    const std::int64_t every = std::max<std::int64_t>(1, (span + room) / room);
    for (std::int64_t day = days_.front(); day <= days_.back(); day += every) {
        days.push_back(day);
    }
    return days;
}

int DryingCharts::columns() const {
    return std::max(1, width() / kChartWidth);
}

QSize DryingCharts::sizeHint() const {
    return {2 * kChartWidth, 2 * kChartHeight};
}

void DryingCharts::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setMinimumHeight(((charts() + columns() - 1) / columns()) * kChartHeight);
}

void DryingCharts::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int width = this->width() / columns();
    for (int i = 0; i < charts(); ++i) {
        const QRect box((i % columns()) * width, (i / columns()) * kChartHeight, width,
                        kChartHeight);
        paintChart(painter, box.adjusted(6, 6, -6, -6), rows_[static_cast<std::size_t>(i)],
                   headings_[static_cast<std::size_t>(i)]);
    }
    if (charts() == 0) {
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No points to chart."));
    }
}

void DryingCharts::paintChart(QPainter& painter, const QRect& box, const DryingRow& row,
                              const QString& heading) const {
    const QFontMetrics metrics = painter.fontMetrics();
    const int line = metrics.height();
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(box.left(), box.top(), box.width(), line, Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(heading, Qt::ElideRight, box.width()));
    const ValueAxis& axis = valueAxis(row.point.scale);
    const int axisWidth = metrics.horizontalAdvance(QStringLiteral("000.0")) + 4;
    const QRect plot(box.left() + axisWidth, box.top() + line + 4, box.width() - axisWidth - 8,
                     box.height() - 2 * line - 8);
    painter.drawRect(plot);
    // Days by their date: a day without readings keeps its room on the axis.
    const std::int64_t first = days_.empty() ? 0 : days_.front();
    const std::int64_t span = days_.empty() ? 0 : days_.back() - first;
    const auto xDay = [&](std::int64_t day) {
        return plot.left() + (span == 0 ? plot.width() / 2
                                        : static_cast<int>((day - first) * plot.width() / span));
    };
    const auto x = [&](std::size_t d) { return xDay(days_[d]); };
    const auto y = [&](double v) {
        return plot.bottom() - static_cast<int>(std::lround(
                                   (v - axis.low) / (axis.high - axis.low) * plot.height()));
    };
    for (const AxisTick& tick : axis.ticks) {
        painter.drawText(box.left(), y(tick.value) - line / 2, axisWidth - 4, line,
                         Qt::AlignRight | Qt::AlignVCenter, QString::fromStdString(tick.label));
    }
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("00-00"));
    for (const std::int64_t day : labelledDays(plot.width(), labelWidth)) {
        const int at = xDay(day);
        painter.drawLine(at, plot.bottom(), at, plot.bottom() + 3);
        painter.drawText(at - labelWidth, plot.bottom() + 3, 2 * labelWidth, line,
                         Qt::AlignHCenter | Qt::AlignTop, day_text(day));
    }
    QPainterPath values;
    QPainterPath goals;
    for (std::size_t d = 0; d < row.cells.size() && d < days_.size(); ++d) {
        const DryingCell& c = row.cells[d];
        if (c.state == CellState::NotRead) {
            continue;
        }
        const QPointF at(x(d), y(c.value));
        values.elementCount() == 0 ? values.moveTo(at) : values.lineTo(at);
        if (c.goal) {
            const QPointF goal(x(d), y(*c.goal));
            goals.elementCount() == 0 ? goals.moveTo(goal) : goals.lineTo(goal);
        }
    }
    painter.setPen(QPen(QColor(0, 110, 0), 1, Qt::DashLine));
    painter.drawPath(goals);
    painter.setPen(QPen(QColor(20, 60, 160), 2));
    painter.drawPath(values);
    for (std::size_t d = 0; d < row.cells.size() && d < days_.size(); ++d) {
        const DryingCell& c = row.cells[d];
        if (c.state != CellState::NotRead) {
            painter.setBrush(c.state == CellState::Dry ? QBrush(QColor(20, 60, 160)) : Qt::white);
            painter.drawEllipse(QPointF(x(d), y(c.value)), 3.5, 3.5);
        }
    }
    painter.setBrush(Qt::NoBrush);
}

} // namespace qm
