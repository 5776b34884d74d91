#pragma once

// The floor plans of a drying project: a sheet (an image underlay, or an empty sheet), its rooms
// drawn as polygons, a scale from a marked length, and the monitoring points placed on it. Every
// function here is pure.
//
// Coordinates are kept on the sheet: pixels of the underlay image, or the plan's units on an empty
// sheet. The scale turns sheet coordinates into the plan's units (feet or metres).

#include "projects/monitoring_points.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

enum class PlanUnits { Feet, Metres };

// "ft", "m": as the archive and `qmtool project plan list` write them.
std::string_view plan_units_name(PlanUnits units);
std::optional<PlanUnits> parse_plan_units(std::string_view name);

struct SheetXY {
    double x = 0.0;
    double y = 0.0;
    friend bool operator==(const SheetXY&, const SheetXY&) = default;
};

// What lies under the plan: an image kept beside the archive by the SHA-256 of its bytes.
struct PlanUnderlay {
    std::string sha256;
    std::string media_type; // "image/png", "image/jpeg"
    int width = 0;          // pixels: the sheet's size
    int height = 0;
    friend bool operator==(const PlanUnderlay&, const PlanUnderlay&) = default;
};

// A known length marked on the sheet: the distance from `from` to `to` is `length` plan units.
struct PlanScale {
    SheetXY from;
    SheetXY to;
    double length = 0.0;
    friend bool operator==(const PlanScale&, const PlanScale&) = default;
};

struct PlanRoom {
    std::string name;             // UTF-8, unique on its plan
    std::vector<SheetXY> outline; // the corners in order; walls are the edges, the last closing
    std::optional<double> height; // the ceiling's, in plan units
    friend bool operator==(const PlanRoom&, const PlanRoom&) = default;
};

struct FloorPlan {
    std::string name; // UTF-8, unique in its project
    PlanUnits units = PlanUnits::Feet;
    std::optional<PlanUnderlay> underlay;
    std::optional<PlanScale> scale;
    std::vector<PlanRoom> rooms; // in the order drawn
    friend bool operator==(const FloorPlan&, const FloorPlan&) = default;
};

// A monitoring point's place on a plan.
struct PlacedPoint {
    MonitoringPoint point;
    std::string plan;
    SheetXY at;
    friend bool operator==(const PlacedPoint&, const PlacedPoint&) = default;
};

// Plan units per sheet unit: the scale's, or 1 without one (an empty sheet is drawn in units).
double plan_units_per_sheet_unit(const FloorPlan& plan);

// The sheet's coordinates of a place given in the plan's own coordinates (units once scaled,
// sheet units before), and back.
SheetXY sheet_of(const FloorPlan& plan, SheetXY typed);
SheetXY typed_of(const FloorPlan& plan, SheetXY sheet);

// A room's figures in plan units: floor area, each wall (edge i runs from corner i to the next),
// the perimeter, and the volume when the ceiling's height is known.
struct RoomMeasures {
    double area = 0.0;
    std::vector<double> walls;
    double perimeter = 0.0;
    std::optional<double> volume;
};
RoomMeasures room_measures(const FloorPlan& plan, const PlanRoom& room);

// The corners of a rectangle (x, y, width, height) in order.
std::vector<SheetXY> rectangle_outline(double x, double y, double width, double height);

// Whether a place lies inside a room's outline (even-odd rule; a place on an edge counts in).
bool inside_outline(const std::vector<SheetXY>& outline, SheetXY place);

// A length with its unit, "12ft", "12 ft", "3.5m", "350cm", "144in", in feet or metres as `units`
// asks; nothing for another text or a length that is not above zero.
std::optional<double> parse_plan_length(std::string_view text, PlanUnits units);

// Why a room cannot be kept (fewer than three corners, no area, a corner not a finite number),
// or nothing.
std::optional<std::string> room_problem(const PlanRoom& room);

} // namespace qm
