#include "plans/floor_plan.h"

#include <charconv>
#include <cmath>

namespace qm {

namespace {

constexpr double kMetresPerFoot = 0.3048;

// The lengths a marked line may be given in, in metres each.
struct LengthUnit {
    std::string_view name;
    double metres;
};
constexpr LengthUnit kLengthUnits[] = {
    {"ft", kMetresPerFoot},
    {"feet", kMetresPerFoot},
    {"foot", kMetresPerFoot},
    {"'", kMetresPerFoot},
    {"in", kMetresPerFoot / 12},
    {"\"", kMetresPerFoot / 12},
    {"m", 1.0},
    {"cm", 0.01},
    {"mm", 0.001},
};

double distance(SheetXY a, SheetXY b) {
    return std::hypot(b.x - a.x, b.y - a.y);
}

// Twice the signed area of an outline (shoelace).
double twice_area(const std::vector<SheetXY>& outline) {
    double sum = 0.0;
    for (std::size_t i = 0; i < outline.size(); ++i) {
        const SheetXY& a = outline[i];
        const SheetXY& b = outline[(i + 1) % outline.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum;
}

} // namespace

std::string_view plan_units_name(PlanUnits units) {
    return units == PlanUnits::Metres ? "m" : "ft";
}

std::optional<PlanUnits> parse_plan_units(std::string_view name) {
    if (name == "ft") {
        return PlanUnits::Feet;
    }
    if (name == "m") {
        return PlanUnits::Metres;
    }
    return std::nullopt;
}

double plan_units_per_sheet_unit(const FloorPlan& plan) {
    if (!plan.scale) {
        return 1.0;
    }
    const double marked = distance(plan.scale->from, plan.scale->to);
    return marked > 0.0 ? plan.scale->length / marked : 1.0;
}

SheetXY sheet_of(const FloorPlan& plan, SheetXY typed) {
    const double f = plan_units_per_sheet_unit(plan);
    return {typed.x / f, typed.y / f};
}

SheetXY typed_of(const FloorPlan& plan, SheetXY sheet) {
    const double f = plan_units_per_sheet_unit(plan);
    return {sheet.x * f, sheet.y * f};
}

RoomMeasures room_measures(const FloorPlan& plan, const PlanRoom& room) {
    const double f = plan_units_per_sheet_unit(plan);
    RoomMeasures m;
    m.area = std::fabs(twice_area(room.outline)) / 2.0 * f * f;
    for (std::size_t i = 0; i < room.outline.size(); ++i) {
        m.walls.push_back(distance(room.outline[i], room.outline[(i + 1) % room.outline.size()]) *
                          f);
        m.perimeter += m.walls.back();
    }
    if (room.height) {
        m.volume = m.area * *room.height;
    }
    return m;
}

std::vector<SheetXY> rectangle_outline(double x, double y, double width, double height) {
    return {{x, y}, {x + width, y}, {x + width, y + height}, {x, y + height}};
}

bool inside_outline(const std::vector<SheetXY>& outline, SheetXY p) {
    bool inside = false;
    for (std::size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
        const SheetXY& a = outline[i];
        const SheetXY& b = outline[j];
        // On the edge from a to b: collinear and between its ends.
        const double cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
        if (std::fabs(cross) <= 1e-9 * (1.0 + distance(a, b)) && std::min(a.x, b.x) <= p.x &&
            p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y && p.y <= std::max(a.y, b.y)) {
            return true;
        }
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) {
            inside = !inside;
        }
    }
    return inside;
}

std::optional<double> parse_plan_length(std::string_view text, PlanUnits units) {
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || !std::isfinite(value) || value <= 0.0) {
        return std::nullopt;
    }
    std::string_view unit = text.substr(static_cast<std::size_t>(end - text.data()));
    while (!unit.empty() && unit.front() == ' ') {
        unit.remove_prefix(1);
    }
    for (const LengthUnit& u : kLengthUnits) {
        if (unit == u.name) {
            const double metres = value * u.metres;
            return units == PlanUnits::Metres ? metres : metres / kMetresPerFoot;
        }
    }
    return std::nullopt;
}

std::optional<std::string> room_problem(const PlanRoom& room) {
    if (room.name.find_first_not_of(" \t\r\n") == std::string::npos) {
        return "a room needs a name";
    }
    if (room.outline.size() < 3) {
        return "the room \"" + room.name + "\" needs at least three corners";
    }
    for (const SheetXY& c : room.outline) {
        if (!std::isfinite(c.x) || !std::isfinite(c.y)) {
            return "a corner of the room \"" + room.name + "\" is not a number";
        }
    }
    if (std::fabs(twice_area(room.outline)) == 0.0) {
        return "the room \"" + room.name + "\" has no area";
    }
    if (room.height && !(std::isfinite(*room.height) && *room.height > 0.0)) {
        return "the ceiling height of the room \"" + room.name + "\" is not above zero";
    }
    return std::nullopt;
}

} // namespace qm
