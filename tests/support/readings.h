#pragma once

// The reading most tests build: 28 August 2003, 1 AM on a 12-hour meter clock, the minute given.

#include "store/reading.h"

#include <cstdint>

namespace qm::test {

// A moisture reading holds the value as its MC; an RH/T reading as its temperature (°F), at 50 %.
inline Reading dated_reading(std::int32_t kind, std::int32_t job, int location, int sub_location,
                             double value, int minute, std::int32_t material = 3) {
    Reading r;
    r.kind = kind;
    r.job = job;
    r.location = location;
    r.sub_location = sub_location;
    r.year = 3;
    r.month = 8;
    r.day = 28;
    r.hour_code = 0x41; // 1 AM, 12-hour mode
    r.minute = minute;
    r.material = material;
    if (kind == RhTemperature) {
        r.rh = 50.0;
        r.temperature = value;
    } else {
        r.mc = value;
    }
    return r;
}

} // namespace qm::test
