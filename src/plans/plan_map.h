#pragma once

// The moisture map of a plan on one day: each placed point's state and value of the day from the
// drying log, and the map laid out in points (1/72 in) for the SVG writer and for painting.
// Every function here is pure.

#include "plans/floor_plan.h"
#include "projects/drying_log.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// A placed point's state on a day, as the drying log judges it.
enum class MapState {
    Wet,
    Dry,
    Unjudged, // read, no standard that day (and every reference and RH/T point)
    Removed,  // the material was taken out: no longer judged
    Unread,   // not read that day
};

// "wet", "dry", "unjudged", "removed", "unread": the SVG's data-state.
std::string_view map_state_name(MapState state);

struct MapCell {
    MapState state = MapState::Unread;
    std::optional<double> value; // the day's reading (%MC, scale, or %RH)
};

// A placed point with its label ("KIT,W/Plaster", as the log names it) and one cell per day of
// the drying log.
struct MarkedPoint {
    PlacedPoint placed;
    std::string label;
    std::vector<MapCell> cells;
};

// The cells of every point placed on `plan`, in point order: an MC point's from its row of the
// log (a point the log does not hold is unread), an RH/T point's from its history (unjudged on
// the days it was read). `air` is the RH/T points' histories (point_histories with air true).
std::vector<MarkedPoint> mark_points(std::span<const PlacedPoint> placed, std::string_view plan,
                                     const DryingLog& log, std::span<const PointHistory> air);

// A text of the map: at (x, y) its baseline's start or middle, in points.
struct MapText {
    double x = 0.0;
    double y = 0.0;
    double size_pt = 0.0;
    std::string text; // UTF-8
    bool middle = false;
    bool bold = false;
};

struct MapRoomShape {
    std::vector<SheetXY> corners; // in points
    bool affected = false;        // it holds a wet point that day
    MapText name;
    MapText area;
};

struct MapMarker {
    std::string point; // data-point: the point as the user writes it
    MapState state = MapState::Unread;
    double x = 0.0;
    double y = 0.0;
    MapText label;
    MapText value;
};

struct MapRect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;
};

// One day's map laid out on its nominal size; no text is below kMinMapTextPt.
struct MapScene {
    double width_pt = 0.0;
    double height_pt = 0.0;
    std::optional<MapRect> underlay; // where the plan's image lies
    MapText title;
    std::vector<MapRoomShape> rooms;
    std::vector<MapMarker> markers;
    std::vector<MapMarker> legend; // one marker of each state, with its name
};

// The smallest text of a map, in points: what a reader reads on paper.
constexpr double kMinMapTextPt = 7.0;
// The radius of a point's marker, in points.
constexpr double kMarkerRadiusPt = 4.5;

// The map of day `day_index` (an index into the cells) with its title.
MapScene map_scene(const FloorPlan& plan, std::span<const MarkedPoint> points,
                   std::size_t day_index, std::string title);

} // namespace qm
