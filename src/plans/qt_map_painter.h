#pragma once

// A day's moisture map painted with Qt Gui, shape for shape as its SVG draws it: for the PNG of
// qmtool and the Plan tab of the desktop program.

#include "plans/plan_map.h"

class QImage;
class QPainter;

namespace qm {

// Paints the map with one unit of the painter's coordinates a point (the scene's size), the
// underlay image (null for none) in its place.
void paint_map(QPainter& painter, const MapScene& scene, const QImage& underlay);

} // namespace qm
