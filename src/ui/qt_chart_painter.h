#pragma once

#include "analysis/chart_geometry.h"

#include <QColor>
#include <QFont>

#include <optional>
#include <string_view>

class QPainter;

namespace qm {

// Paints the core's drawing primitives with exact pixel coverage on any paint device: a screen
// widget, a QImage or a printer page. Lines use a one-pixel cosmetic pen and no antialiasing.

// Fills the rectangle and, when an outline colour is given, draws a one-pixel outline on its edge
// pixels (left .. right-1, top .. bottom-1). An empty rectangle draws nothing.
void paint_rect(QPainter& painter, const ChartRect& rect, const QColor& fill,
                std::optional<QColor> outline);

// Draws the line without its end point.
void paint_line(QPainter& painter, const ChartLine& line, const QColor& color);

// Draws Windows-1252 text in its box: top-aligned, aligned horizontally as asked, tabs expanded,
// one line per "\n" ("\r\n" counts as one break), never clipped.
void paint_text(QPainter& painter, const ChartRect& box, ChartAlign align, std::string_view text);

// A font given as a cell: the height is the cell height in device pixels (the
// character height), the width the average character width; 0 keeps the face's own width.
QFont cell_font(const QString& family, int cell_height, int average_width, bool bold);

} // namespace qm
