#pragma once

#include <cstdint>

namespace qm {

// Job numbers run from 1 to kMaxJobs.
constexpr int kMaxJobs = 5;

// The kinds of reading the meters store. Any other value received from a meter is kept as it came
// and counts as a moisture reading.
enum ReadingKind : std::int32_t {
    PinWithTemperature = 0,
    RhTemperature = 1,
    Pin = 2,
    Scan = 3,
};

// One stored reading: a fixed-size plain record, copied by value. Temperatures are degrees
// Fahrenheit; date and time fields are the meter's own values (two-digit year, raw hour byte).
struct Reading {
    std::int32_t kind = 0;
    std::int32_t location = 0;     // 0..31 named areas, 32..63 numbered locations "1".."32"
    std::int32_t sub_location = 0; // 0 "F", 1 "W", 2 "C"
    std::int32_t job = 0;          // 1..5
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour_code = 0; // the meter clock's hour register, raw
    std::int32_t minute = 0;
    std::int32_t pin_temperature = 0; // whole degrees Fahrenheit
    std::int32_t material = 0;        // index into the active material list
    double mc = 0.0;
    double rh = 0.0;
    double temperature = 0.0;

    friend bool operator==(const Reading&, const Reading&) = default;
};

// RH/T readings are those of kind 1; every other kind is a moisture reading.
constexpr bool is_rh(const Reading& r) {
    return r.kind == RhTemperature;
}

// The hour register: bit 6 set is 12-hour mode (bit 5 PM, bit 4 the tens digit), clear is
// 24-hour mode (bits 4-5 the tens digit).
constexpr bool hour_is_12h(std::int32_t hour_code) {
    return (hour_code & 0x40) != 0;
}
constexpr bool hour_is_pm(std::int32_t hour_code) {
    return (hour_code & 0x20) != 0;
}
constexpr int decoded_hour(std::int32_t hour_code) {
    return hour_is_12h(hour_code) ? (hour_code & 0x0F) + ((hour_code & 0x10) ? 10 : 0)
                                  : (hour_code & 0x0F) + 10 * ((hour_code >> 4) & 0x03);
}

} // namespace qm
