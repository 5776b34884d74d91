#pragma once

#include "projects/drying_log.h"
#include "report/report_axes.h"

#include <QString>
#include <QWidget>

#include <vector>

namespace qm {

// A chart per point of the drying log, over the log's days: the day values joined by a line (a
// filled dot for a dry day, a hollow one for a wet or unjudged day, so the chart reads in grey),
// the goal as a dashed line, one vertical scale for the pin points and one for the scan points
// and the same days across, so the charts compare at a glance. Reference points are left out.
// The days stand on a time axis (a day without readings is a gap, not a neighbour), labelled
// each day or every n-th where the chart is narrow; the values on round ticks (0, 10, 20, 30).
class DryingCharts : public QWidget {
public:
    explicit DryingCharts(QWidget* parent = nullptr);
    // The rows to chart and each one's heading (the point and its label).
    void setLog(const DryingLog& log, std::vector<QString> headings);
    int charts() const { return static_cast<int>(rows_.size()); }
    // The top of the scale of a point's kind and its ticks.
    double scaleTop(PointScale scale) const;
    const ValueAxis& valueAxis(PointScale scale) const;
    // The days that get a label on a plot `plotWidth` pixels wide, `labelWidth` a label's room.
    std::vector<std::int64_t> labelledDays(int plotWidth, int labelWidth) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int columns() const;
    void paintChart(QPainter& painter, const QRect& box, const DryingRow& row,
                    const QString& heading) const;

    std::vector<std::int64_t> days_;
    std::vector<DryingRow> rows_;
    std::vector<QString> headings_;
    ValueAxis pinAxis_;
    ValueAxis scanAxis_;
};

} // namespace qm
