#pragma once

// The drying log of a project: one row per MC monitoring point, one column per day, each cell
// judged wet or dry against the point's goal, and the day from which each point is dry; a point
// whose material was removed is no longer judged from that day. Every function here is pure: it
// reads the spans it is given and nothing else.

#include "projects/monitoring_points.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qm {

// The tolerance a material's goal allows above its dry standard when the user sets none, in the
// unit of the readings (percentage points of %MC, or points of the meter's scan scale).
constexpr double kDefaultTolerance = 2.0;

// A dry standard: a value the user entered, or an unaffected reference point whose reading of a
// day is that day's standard. Neither: no standard.
struct DryStandard {
    std::optional<double> value;
    std::optional<MonitoringPoint> reference;
};

// The standard and tolerance of a material, for its pin or its scan readings (never both).
struct MaterialStandard {
    std::string material;
    PointScale scale = PointScale::Pin;
    DryStandard standard;
    double tolerance = kDefaultTolerance;
};

// A point's own standard, overriding its material's; its own tolerance when it has one.
struct PointStandard {
    MonitoringPoint point;
    DryStandard standard;
    std::optional<double> tolerance;
};

// Where a row's standard comes from.
enum class StandardSource {
    None,               // neither the point nor its material has one
    Value,              // a value entered
    Reference,          // a reference point's reading of each day
    ReferenceElsewhere, // a reference point of the other scale (pin for scan, scan for pin) or
                        // of an RH/T reading: not used, the row stays unjudged
};

enum class CellState {
    NotRead,  // the point was not read that day
    Unjudged, // read, but no standard that day (none set, or the reference not read that day)
    Wet,      // above the goal
    Dry,      // at or below the goal
    Removed,  // read on or after the day its material was removed: shown, never judged
};

// The material at a point was taken out (cut out, torn out) on a day, for a reason the user
// gives ("drywall cut 2 ft, Category 2 water").
struct PointRemoval {
    std::int64_t on = 0; // day number
    std::string reason;
    bool operator==(const PointRemoval&) const = default;
};

struct RemovedPoint {
    MonitoringPoint point;
    PointRemoval removal;
};

// One day of a point: its value (the day's last reading by the clock), the minute of the day
// that reading was taken and, when judged, the standard and goal it was judged by.
struct DryingCell {
    CellState state = CellState::NotRead;
    double value = 0.0;
    int minute_of_day = 0; // 0..1439 on the meter's clock
    std::optional<double> standard;
    std::optional<double> goal;
};

// One row of the log. A reference point (one that some standard takes its values from) is shown
// with its readings but never judged.
struct DryingRow {
    MonitoringPoint point;
    std::size_t readings = 0; // each reading once, however many visits hold it
    bool is_reference = false;
    StandardSource source = StandardSource::None;
    std::optional<double> standard_value;     // for StandardSource::Value
    std::optional<MonitoringPoint> reference; // for the reference sources
    double tolerance = kDefaultTolerance;
    std::vector<DryingCell> cells; // one per day of the log
    // The first day from which the point is dry on every day it was read, to the last: its last
    // day read is judged dry and no day between is wet or unjudged. Nothing otherwise, and
    // nothing for a removed point, which no longer holds back the project's dry date.
    std::optional<std::int64_t> dry_on;
    std::optional<PointRemoval> removed;
};

// The log: its days (the meter's dates on which any MC point was read, ascending) and its rows,
// the points not yet dry first (a point planned and not read yet among them, with no cell read),
// then the dry points, then the removed points, then the reference points, each group in point
// order.
struct DryingLog {
    std::vector<std::int64_t> days;
    std::vector<DryingRow> rows;
};

// What the user entered for a project's drying log: standards and tolerances, the points whose
// material was removed, and MC points planned before they are read (each shows as a row).
struct ProjectStandards {
    std::span<const MaterialStandard> materials;
    std::span<const PointStandard> points;
    std::span<const RemovedPoint> removed{};
    std::span<const MonitoringPoint> planned{};
};

// "09:05": a minute of the day on a 24-hour clock.
std::string clock_text(int minute_of_day);

// The drying log of the MC readings of the attached jobs (in the order their visits were
// received). Values are compared to the hundredth: a value equal to its goal is dry.
DryingLog drying_log(std::span<const AttachedJob> jobs, const ProjectStandards& standards);

// The same from histories that point_histories made (MC points).
DryingLog drying_log(std::span<const PointHistory> histories, const ProjectStandards& standards);

} // namespace qm
