#pragma once

// Readings of a drying job in March 2026 for the project tests, and the text of a log's cell.

#include "projects/monitoring_points.h"
#include "store/reading.h"

#include <cstdint>

namespace qm::test {

constexpr int kLivingRoom = 0, kKitchen = 2, kMisc1 = 26, kMisc2 = 27;
constexpr int kFloor = 0, kWall = 1, kCeiling = 2;
constexpr int kPlaster = 1, kOak = 3; // in the material list of every model but "TRK ALFA"

// The meter's hour register: 24-hour mode, and 12-hour mode for 1..12 AM or PM.
constexpr std::int32_t h24(int hour) {
    return (hour / 10) << 4 | hour % 10;
}
constexpr std::int32_t h12(int hour, bool pm) {
    return 0x40 | (pm ? 0x20 : 0) | (hour >= 10 ? 0x10 : 0) | hour % 10;
}

// A pin reading (or of another moisture kind) on `day` March 2026.
inline Reading mc_at(int location, int sub_location, int material, int day, std::int32_t hour_code,
                     int minute, double value, std::int32_t kind = Pin) {
    Reading r;
    r.kind = kind;
    r.job = 2;
    r.location = location;
    r.sub_location = sub_location;
    r.material = material;
    r.year = 26;
    r.month = 3;
    r.day = day;
    r.hour_code = hour_code;
    r.minute = minute;
    r.mc = value;
    return r;
}

// An RH/T reading on `day` March 2026 at 10:00.
inline Reading air_at(int location, int day, double rh, double temperature_f) {
    Reading r = mc_at(location, 0, 0, day, h24(10), 0, 0.0, RhTemperature);
    r.rh = rh;
    r.temperature = temperature_f;
    return r;
}

inline MonitoringPoint mc_point(int location, int sub_location, const char* material,
                                PointScale scale = PointScale::Pin) {
    return {scale, location, sub_location, material};
}

} // namespace qm::test
