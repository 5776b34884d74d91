#pragma once

#include "store/reading.h"

#include <cstdint>

namespace qm::test {

// The pin reading the save-file tests write: job and location as given, every other field set.
inline Reading pin_reading(std::int32_t job, std::int32_t location = 2) {
    Reading r;
    r.kind = PinWithTemperature;
    r.location = location;
    r.sub_location = 1;
    r.job = job;
    r.year = 9;
    r.month = 5;
    r.day = 13;
    r.hour_code = 0x14;
    r.minute = 5;
    r.pin_temperature = 70;
    r.material = 3;
    r.mc = 12.5;
    return r;
}

} // namespace qm::test
