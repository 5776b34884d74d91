#pragma once

// The words of a drying project as the archive, the project file and `qmtool project` write them:
// points ("KIT,W/Plaster", "KIT,W/Plaster scan", "KIT"), scales, roles, equipment types, dates.

#include "projects/air_log.h"
#include "projects/equipment_log.h"
#include "projects/monitoring_points.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// What follows an MC point's name when it stands for its scan readings.
constexpr std::string_view kScanSuffix = " scan";

// A point as the user writes it: the readings table's name, with " scan" after the scan points.
std::string point_text(const MonitoringPoint& point);
// The point a text names: "LOC,SUB/MATERIAL" (pin), the same with " scan" after it, or "LOC"
// alone (RH/T); codes as the readings table writes them. Nothing for any other text.
std::optional<MonitoringPoint> parse_point(std::string_view text);

std::string_view scale_name(PointScale scale); // "pin", "scan", "air"
std::optional<PointScale> parse_scale(std::string_view name);

// "affected", "unaffected", "outside", "outlet", "other".
std::string_view air_role_name(AirRole role);
std::optional<AirRole> parse_air_role(std::string_view name);

// "dehumidifier", "air mover", "heater", "other"; "air-mover" is read as "air mover".
std::string_view equipment_type_name(EquipmentType type);
std::optional<EquipmentType> parse_equipment_type(std::string_view name);

// The day number of a calendar date written "YYYY-MM-DD" (years 1900..2199); nothing for any
// other text or a date the calendar does not have (2026-02-30).
std::optional<std::int64_t> parse_iso_date(std::string_view text);

} // namespace qm
