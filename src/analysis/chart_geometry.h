#pragma once

#include <string>

namespace qm {

// Drawing primitives in device pixels, computed by the core and painted by the Qt layer. They
// follow the classic desktop conventions (exclusive right and bottom edges, text cells) so that the
// layout positions carry over unchanged.

// A filled rectangle with a one-pixel outline. right and bottom are exclusive: the outline runs
// on left .. right-1 and top .. bottom-1.
struct ChartRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const ChartRect&) const = default;
};

// A line from (x1, y1) towards (x2, y2); the end point itself is not drawn.
struct ChartLine {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    bool operator==(const ChartLine&) const = default;
};

enum class ChartAlign {
    Left,
    Center,
    Right,
};

// A text laid out in a box: aligned horizontally, top of the text at the top of the box, never
// clipped to the box.
struct ChartText {
    std::string text; // Windows-1252; "\n" separates lines
    ChartRect box;
    ChartAlign align = ChartAlign::Center;
};

} // namespace qm
