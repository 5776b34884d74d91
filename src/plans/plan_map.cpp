#include "plans/plan_map.h"

#include "projects/project_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qm {

namespace {

// The longer side of a plan's drawing on the map: ten inches, a landscape page's width.
constexpr double kPlanSidePt = 720.0;
constexpr double kMarginPt = 24.0;
constexpr double kTitleBaselinePt = 18.0;
constexpr double kPlanTopPt = 32.0;
constexpr double kTitlePt = 11.0;
constexpr double kRoomNamePt = 9.0;
constexpr double kRoomAreaPt = 8.0;
constexpr double kPointTextPt = 7.5;
constexpr double kLegendRowPt = 28.0;
constexpr double kLegendStepPt = 90.0;
// An estimate of a text's advance per character of its size, to leave room for labels.
constexpr double kAdvancePerPt = 0.6;

constexpr MapState kStates[] = {MapState::Wet, MapState::Dry, MapState::Unjudged, MapState::Removed,
                                MapState::Unread};

std::string_view legend_text(MapState state) {
    switch (state) {
    case MapState::Wet:
        return "wet";
    case MapState::Dry:
        return "dry";
    case MapState::Unjudged:
        return "not judged";
    case MapState::Removed:
        return "removed";
    case MapState::Unread:
        return "not read";
    }
    return "";
}

MapState state_of(CellState state) {
    switch (state) {
    case CellState::NotRead:
        return MapState::Unread;
    case CellState::Unjudged:
        return MapState::Unjudged;
    case CellState::Wet:
        return MapState::Wet;
    case CellState::Dry:
        return MapState::Dry;
    case CellState::Removed:
        return MapState::Removed;
    }
    return MapState::Unread;
}

std::string format(const char* pattern, double value) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

// The part of the sheet the map shows: the image, or what the rooms and points cover.
MapRect sheet_extent(const FloorPlan& plan, std::span<const MarkedPoint> points) {
    if (plan.underlay) {
        return {0.0, 0.0, double(plan.underlay->width), double(plan.underlay->height)};
    }
    std::vector<SheetXY> all;
    for (const PlanRoom& r : plan.rooms) {
        all.insert(all.end(), r.outline.begin(), r.outline.end());
    }
    for (const MarkedPoint& p : points) {
        all.push_back(p.placed.at);
    }
    if (all.empty()) {
        return {0.0, 0.0, 1.0, 1.0};
    }
    const auto [left, right] =
        std::minmax_element(all.begin(), all.end(), [](SheetXY a, SheetXY b) { return a.x < b.x; });
    const auto [top, bottom] =
        std::minmax_element(all.begin(), all.end(), [](SheetXY a, SheetXY b) { return a.y < b.y; });
    return {left->x, top->y, std::max(right->x - left->x, 1e-9),
            std::max(bottom->y - top->y, 1e-9)};
}

// The area-weighted centre of an outline (its first corner for an outline without area).
SheetXY centre_of(const std::vector<SheetXY>& c) {
    double a = 0.0;
    double x = 0.0;
    double y = 0.0;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const SheetXY& p = c[i];
        const SheetXY& q = c[(i + 1) % c.size()];
        const double cross = p.x * q.y - q.x * p.y;
        a += cross;
        x += (p.x + q.x) * cross;
        y += (p.y + q.y) * cross;
    }
    return a == 0.0 ? c.front() : SheetXY{x / (3.0 * a), y / (3.0 * a)};
}

double text_right(const MapText& t) {
    const double width = double(t.text.size()) * t.size_pt * kAdvancePerPt;
    return t.middle ? t.x + width / 2 : t.x + width;
}

MapMarker marker(std::string point, MapState state, double x, double y, std::string label,
                 std::string value) {
    const double text_x = x + kMarkerRadiusPt + 2.0;
    return {std::move(point),
            state,
            x,
            y,
            {text_x, y - 1.0, kPointTextPt, std::move(label)},
            {text_x, y + kPointTextPt + 0.5, kPointTextPt, std::move(value)}};
}

} // namespace

std::string_view map_state_name(MapState state) {
    switch (state) {
    case MapState::Wet:
        return "wet";
    case MapState::Dry:
        return "dry";
    case MapState::Unjudged:
        return "unjudged";
    case MapState::Removed:
        return "removed";
    case MapState::Unread:
        return "unread";
    }
    return "";
}

std::vector<MarkedPoint> mark_points(std::span<const PlacedPoint> placed, std::string_view plan,
                                     const DryingLog& log, std::span<const PointHistory> air) {
    std::vector<MarkedPoint> out;
    for (const PlacedPoint& p : placed) {
        if (p.plan != plan) {
            continue;
        }
        MarkedPoint m{p, point_text(p.point), std::vector<MapCell>(log.days.size())};
        if (p.point.scale == PointScale::Air) {
            if (const PointHistory* h = find_history(air, p.point)) {
                for (std::size_t i = 0; i < log.days.size(); ++i) {
                    if (const Reading* r = reading_on(*h, log.days[i])) {
                        m.cells[i] = {MapState::Unjudged, r->rh};
                    }
                }
            }
        } else {
            const auto row = std::find_if(log.rows.begin(), log.rows.end(),
                                          [&](const DryingRow& r) { return r.point == p.point; });
            for (std::size_t i = 0; row != log.rows.end() && i < row->cells.size(); ++i) {
                const DryingCell& c = row->cells[i];
                m.cells[i].state = state_of(c.state);
                if (c.state != CellState::NotRead) {
                    m.cells[i].value = c.value;
                }
            }
        }
        out.push_back(std::move(m));
    }
    return out;
}

MapScene map_scene(const FloorPlan& plan, std::span<const MarkedPoint> points,
                   std::size_t day_index, std::string title) {
    MapScene scene;
    const MapRect extent = sheet_extent(plan, points);
    const double s = kPlanSidePt / std::max(extent.width, extent.height);
    const auto at = [&](SheetXY p) {
        return SheetXY{kMarginPt + (p.x - extent.x) * s, kPlanTopPt + (p.y - extent.y) * s};
    };
    if (plan.underlay) {
        scene.underlay = MapRect{kMarginPt, kPlanTopPt, extent.width * s, extent.height * s};
    }
    scene.title = {kMarginPt, kTitleBaselinePt, kTitlePt, std::move(title), false, true};
    std::vector<SheetXY> wet;
    for (const MarkedPoint& p : points) {
        const MapCell cell = day_index < p.cells.size() ? p.cells[day_index] : MapCell{};
        const SheetXY c = at(p.placed.at);
        scene.markers.push_back(marker(p.label, cell.state, c.x, c.y, p.label,
                                       cell.value ? format("%.1f", *cell.value) : "not read"));
        if (cell.state == MapState::Wet) {
            wet.push_back(p.placed.at);
        }
    }
    for (const PlanRoom& r : plan.rooms) {
        MapRoomShape shape;
        for (const SheetXY& corner : r.outline) {
            shape.corners.push_back(at(corner));
        }
        shape.affected = std::any_of(wet.begin(), wet.end(),
                                     [&](SheetXY p) { return inside_outline(r.outline, p); });
        const SheetXY c = at(centre_of(r.outline));
        const double area = room_measures(plan, r).area;
        shape.name = {c.x, c.y - 2.0, kRoomNamePt, r.name, true, true};
        shape.area = {c.x, c.y + kRoomAreaPt + 1.0, kRoomAreaPt,
                      plan.units == PlanUnits::Metres ? format("%.1f m\u00b2", area)
                                                      : format("%.0f sq ft", area),
                      true};
        scene.rooms.push_back(std::move(shape));
    }
    const double legend_y = kPlanTopPt + extent.height * s + kLegendRowPt;
    for (std::size_t i = 0; i < std::size(kStates); ++i) {
        const double x = kMarginPt + kMarkerRadiusPt + double(i) * kLegendStepPt;
        MapMarker m = marker({}, kStates[i], x, legend_y, std::string(legend_text(kStates[i])), {});
        m.label.y = legend_y + kPointTextPt / 3;
        scene.legend.push_back(std::move(m));
    }
    double right = kMarginPt + extent.width * s;
    for (const MapMarker& m : scene.markers) {
        right = std::max({right, text_right(m.label), text_right(m.value)});
    }
    for (const MapRoomShape& r : scene.rooms) {
        right = std::max({right, text_right(r.name), text_right(r.area)});
    }
    right = std::max({right, text_right(scene.title), text_right(scene.legend.back().label)});
    scene.width_pt = std::ceil(right + kMarginPt);
    scene.height_pt = std::ceil(legend_y + kMarginPt);
    return scene;
}

} // namespace qm
