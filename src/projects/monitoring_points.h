#pragma once

// The monitoring points of a drying project and each point's readings, one per day, gathered from
// the attached jobs of several visits. Every function here is pure: it reads the spans it is
// given and nothing else.

#include "store/reading.h"

#include <compare>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace qm {

// The readings of one job of one visit that is attached to the project, with the visit's meter
// model (which names the materials) and the job's ID from the meter.
struct AttachedJob {
    std::string meter_model;
    std::int32_t job_id = 0;
    std::span<const Reading> readings;
};

// What a point's readings are: pin readings (%MC, both pin kinds), scan readings (the meter's own
// scale: Scan and any unnamed moisture kind) or RH/T readings. Pin and scan readings of one place
// are two points and are never compared.
enum class PointScale { Pin, Scan, Air };

// A place read day after day: for MC a location, sub-location and material; for RH/T a location
// alone (sub_location -1, material empty).
struct MonitoringPoint {
    PointScale scale = PointScale::Pin;
    int location = 0;
    int sub_location = -1;
    std::string material;

    // Ordered by location, sub-location, material, then pin before scan.
    friend std::strong_ordering operator<=>(const MonitoringPoint& a, const MonitoringPoint& b) {
        if (const auto c = std::tie(a.location, a.sub_location, a.material) <=>
                           std::tie(b.location, b.sub_location, b.material);
            c != 0) {
            return c;
        }
        return a.scale <=> b.scale;
    }
    friend bool operator==(const MonitoringPoint&, const MonitoringPoint&) = default;
};

// "KIT,W/Plaster" for an MC point, "KIT" for an RH/T point: as the readings table writes them.
std::string point_name(const MonitoringPoint& point);

// The reading that stands for a point on one day: the last of that day by the clock.
struct PointDay {
    std::int64_t day = 0; // reading_day
    Reading reading;
};

// One point, how many readings it holds (a reading found in several visits counted once) and its
// days in ascending order.
struct PointHistory {
    MonitoringPoint point;
    std::size_t readings = 0;
    std::vector<PointDay> days;
};

// The MC points (air false) or the RH/T points (air true) of the attached jobs, ordered as
// MonitoringPoint orders them. A reading is counted once however many visits hold it (same meter
// model, job ID, kind, point, date, time, value and temperature). A day's reading is the latest
// by clock time; of readings of the same minute, the one that comes last in the jobs' order (the
// jobs in the order their visits were received, the readings in their order). Readings no table
// names (location, sub-location or material out of range) are left out.
std::vector<PointHistory> point_histories(std::span<const AttachedJob> jobs, bool air);

// The history of a point in a list point_histories made, or nullptr.
const PointHistory* find_history(std::span<const PointHistory> histories,
                                 const MonitoringPoint& point);

// The day's reading of a history, or nullptr on a day the point was not read.
const Reading* reading_on(const PointHistory& history, std::int64_t day);

} // namespace qm
