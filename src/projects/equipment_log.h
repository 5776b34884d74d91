#pragma once

// The equipment log of a drying project: what ran where and for how long.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qm {

enum class EquipmentType { Dehumidifier, AirMover, Heater, Other };

// One entry the user made: how many units of a type were placed where, when, and when they were
// removed (nothing while they still run). Days are day numbers (drying_day_number).
struct EquipmentEntry {
    EquipmentType type = EquipmentType::Other;
    int count = 1;
    std::string place;
    std::int64_t placed = 0;
    std::optional<std::int64_t> removed;
};

// An entry with the days it ran (placed 3 March, removed 6 March: 3 days) and its equipment-days
// (count x days). An entry still running counts to the given day. An entry removed before it was
// placed, or of no unit, is marked and counts 0 days.
struct EquipmentRow {
    EquipmentEntry entry;
    std::int64_t days = 0;
    std::int64_t equipment_days = 0;
    bool valid = true;
};

struct EquipmentLog {
    std::vector<EquipmentRow> rows; // in the entries' order
    std::int64_t equipment_days = 0;
};

// The log of the entries; `today` ends the entries still running.
EquipmentLog equipment_log(std::span<const EquipmentEntry> entries, std::int64_t today);

} // namespace qm
