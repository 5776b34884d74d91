#pragma once

// The equipment log of a drying project: what ran where and for how long, and how many units of
// each type were on site on each day read.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qm {

enum class EquipmentType { Dehumidifier, AirMover, Heater, Other };
constexpr std::size_t kEquipmentTypeCount = 4;

// One entry the user made: how many units of a type were placed where, when, and when they were
// removed (nothing while they still run). Days are day numbers (drying_day_number). An entry of
// one unit may name it: its ID or serial, its model and its rated capacity (a dehumidifier's
// pints per day under AHAM, an air mover's CFM); empty and nothing when not given.
struct EquipmentEntry {
    EquipmentType type = EquipmentType::Other;
    int count = 1;
    std::string place;
    std::int64_t placed = 0;
    std::optional<std::int64_t> removed;
    std::string unit{};
    std::string model{};
    std::optional<double> capacity{};
    bool operator==(const EquipmentEntry&) const = default;
};

// The unit a type's rated capacity is given in: "pints/day (AHAM)", "CFM", "BTU/h", "".
std::string_view capacity_unit(EquipmentType type);

// What names an entry's unit: "unit D-17, model LGR 3500i, 130 pints/day (AHAM)", the parts
// given; empty for an entry that names none.
std::string equipment_unit_text(const EquipmentEntry& entry);

// An entry with the days it ran (placed 3 March, removed 6 March: 3 days) and its equipment-days
// (count x days). An entry still running counts to the last day read, never to the day the log
// is made: a log printed months later says what the readings cover. An entry removed before it
// was placed, or of no unit, is marked and counts 0 days.
struct EquipmentRow {
    EquipmentEntry entry;
    std::int64_t days = 0;
    std::int64_t equipment_days = 0;
    bool valid = true;
};

// The units of each type (indexed by EquipmentType) on site on a day: placed on or before it and
// not removed by then (a unit removed on 6 March is not on site that day).
struct EquipmentDay {
    std::int64_t day = 0;
    std::array<int, kEquipmentTypeCount> units{};
};

struct EquipmentLog {
    std::vector<EquipmentRow> rows; // in the entries' order
    std::int64_t equipment_days = 0;
    std::vector<EquipmentDay> daily; // one per day read, ascending
};

// The log of the entries over the days read (ascending): the last of them ends the entries still
// running; with none, or none after an entry was placed, a running entry counts 0 days.
EquipmentLog equipment_log(std::span<const EquipmentEntry> entries,
                           std::span<const std::int64_t> days_read);

} // namespace qm
