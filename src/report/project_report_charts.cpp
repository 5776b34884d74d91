// The charts of a project's report: its points across the days of the drying log.
#include "report/project_report.h"

#include "projects/project_texts.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <tuple>

namespace qm {

namespace {

constexpr std::int64_t kMinutesPerDay = 1440;

// A day's place on a chart's time axis: its start, where the axis puts the day's date.
std::int64_t day_minute(std::int64_t day) {
    return day * kMinutesPerDay;
}

// The goals of a row by day, to the hundredth; nothing on a day without one.
std::vector<std::optional<std::int64_t>> goal_key(const DryingRow& row) {
    std::vector<std::optional<std::int64_t>> key;
    for (const DryingCell& cell : row.cells) {
        key.push_back(cell.goal ? std::optional<std::int64_t>(std::llround(*cell.goal * 100.0))
                                : std::nullopt);
    }
    return key;
}

struct ChartGroup {
    PointScale scale = PointScale::Pin;
    std::string material;
    std::vector<const DryingRow*> rows;
};

ChartPlan new_plan(const ChartGroup& g, const DryingLog& log, std::size_t part, std::size_t parts) {
    ChartPlan plan;
    const bool scan = g.scale == PointScale::Scan;
    plan.title = g.material + (scan ? ", scan readings" : ", pin readings (%MC)");
    if (parts > 1) {
        plan.title += " (" + std::to_string(part + 1) + " of " + std::to_string(parts) + ")";
    }
    plan.unit = scan ? "Scan" : "%MC";
    plan.measure = scan ? SeriesMeasure::Scan : SeriesMeasure::PinMc;
    plan.over_time = true;
    plan.from_zero = true;
    plan.first_minute = day_minute(log.days.front());
    plan.last_minute = day_minute(log.days.back());
    return plan;
}

void add_line(ChartPlan& plan, const DryingRow& row, const DryingLog& log,
              const ProjectSettings& settings) {
    LocationSeries s;
    s.location = row.point.location;
    s.sub_location = row.point.sub_location;
    for (std::size_t d = 0; d < row.cells.size(); ++d) {
        if (row.cells[d].state != CellState::NotRead) {
            s.points.push_back({day_minute(log.days[d]), row.cells[d].value});
            plan.values.add(row.cells[d].value);
        }
    }
    std::string name = point_text(row.point);
    const std::string label = cp1252_of_utf8(settings.label(row.point));
    if (!label.empty()) {
        name += " " + (label.size() > kLongestLabelCell
                           ? label.substr(0, kLongestLabelCell - 1) + '\x85'
                           : label);
    }
    plan.series.push_back(std::move(s));
    plan.names.push_back(std::move(name));
}

void add_goal(ChartPlan& plan, const DryingRow& row, const DryingLog& log) {
    LocationSeries s;
    for (std::size_t d = 0; d < row.cells.size(); ++d) {
        if (row.cells[d].goal) {
            s.points.push_back({day_minute(log.days[d]), *row.cells[d].goal});
            plan.values.add(*row.cells[d].goal);
        }
    }
    if (!s.points.empty()) {
        plan.series.push_back(std::move(s));
        plan.names.push_back("Goal");
    }
}

} // namespace

std::vector<ChartPlan> drying_charts(const DryingLog& log, const ProjectSettings& settings) {
    std::vector<ChartPlan> charts;
    if (log.days.empty()) {
        return charts;
    }
    // Points of one material and scale that share their goals on every day share a chart.
    using Key = std::tuple<std::string, PointScale, std::vector<std::optional<std::int64_t>>>;
    std::map<Key, ChartGroup> groups;
    std::vector<Key> order;
    for (const DryingRow& row : log.rows) {
        if (row.is_reference || row.readings == 0) { // a planned point not read yet draws nothing
            continue;
        }
        Key key{row.point.material, row.point.scale, goal_key(row)};
        auto [it, added] = groups.try_emplace(key);
        if (added) {
            it->second.scale = row.point.scale;
            it->second.material = row.point.material;
            order.push_back(key);
        }
        it->second.rows.push_back(&row);
    }
    for (const Key& key : order) {
        const ChartGroup& g = groups[key];
        const bool goal = std::any_of(std::get<2>(key).begin(), std::get<2>(key).end(),
                                      [](const auto& v) { return v.has_value(); });
        const std::size_t per_chart = kLinesPerChart - (goal ? 1 : 0);
        const std::size_t parts = (g.rows.size() + per_chart - 1) / per_chart;
        for (std::size_t part = 0; part < parts; ++part) {
            ChartPlan plan = new_plan(g, log, part, parts);
            // The lines shared out evenly over the charts of the group.
            const std::size_t from = part * g.rows.size() / parts;
            const std::size_t to = (part + 1) * g.rows.size() / parts;
            for (std::size_t i = from; i < to; ++i) {
                add_line(plan, *g.rows[i], log, settings);
            }
            if (goal) {
                add_goal(plan, *g.rows[from], log);
            }
            charts.push_back(std::move(plan));
        }
    }
    return charts;
}

} // namespace qm
