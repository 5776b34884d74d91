#pragma once

#include "analysis/histogram.h"

#include <QFont>

class QPainter;

namespace qm {

// Paints a histogram chart (screen or printed form) through any painter. Labels use label_font;
// the axis titles and the printed title use bold Arial at the chart's title size.
void paint_histogram(QPainter& painter, const HistogramChart& chart, const QFont& label_font);

} // namespace qm
