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

// The day as the axis writes it: "03-03".
QString day_text(std::int64_t day) {
    return QString::fromStdString(iso_date(day).substr(5));
}

// A round top above every value: the next multiple of 5.
double round_top(double value) {
    return std::max(5.0, std::ceil(value / 5.0) * 5.0);
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
    pinTop_ = round_top(pin);
    scanTop_ = round_top(scan);
    setMinimumHeight(((charts() + columns() - 1) / columns()) * kChartHeight);
    updateGeometry();
    update();
}

double DryingCharts::scaleTop(PointScale scale) const {
    return scale == PointScale::Scan ? scanTop_ : pinTop_;
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
    const double top = scaleTop(row.point.scale);
    const int axis = metrics.horizontalAdvance(QStringLiteral("000.0")) + 4;
    const QRect plot(box.left() + axis, box.top() + line + 4, box.width() - axis - 8,
                     box.height() - 2 * line - 8);
    painter.drawRect(plot);
    const int days = std::max<int>(1, static_cast<int>(days_.size()) - 1);
    const auto x = [&](std::size_t day) {
        return plot.left() +
               (days_.size() < 2 ? plot.width() / 2 : static_cast<int>(day) * plot.width() / days);
    };
    const auto y = [&](double v) {
        return plot.bottom() - static_cast<int>(std::lround(v / top * plot.height()));
    };
    for (const double tick : {0.0, top / 2, top}) {
        painter.drawText(box.left(), y(tick) - line / 2, axis - 4, line,
                         Qt::AlignRight | Qt::AlignVCenter, QString::number(tick, 'g', 4));
    }
    if (!days_.empty()) {
        painter.drawText(plot.left(), plot.bottom() + 2, plot.width(), line, Qt::AlignLeft,
                         day_text(days_.front()));
        painter.drawText(plot.left(), plot.bottom() + 2, plot.width(), line, Qt::AlignRight,
                         day_text(days_.back()));
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
