#pragma once

// The days of a drying project: a reading's date on the meter as a day number, its clock minute
// within that day, and the texts of a day.

#include "store/reading.h"
#include "text/reading_time.h"

#include <cstdint>
#include <string>

namespace qm {

// A calendar date with a four-digit year.
struct DryingDate {
    int year = 2000;
    int month = 1;
    int day = 1;
    friend bool operator==(const DryingDate&, const DryingDate&) = default;
};

// Days since 1 January 2000 of a date (proleptic Gregorian). The month is clamped to 1..12 and the
// day to 1..31, so a damaged date still falls on a day.
std::int64_t drying_day_number(const DryingDate& date);

// The date of a day number.
DryingDate drying_date_of(std::int64_t day_number);

// The day of a reading: the meter's own date (two-digit year 2000 + yy).
std::int64_t reading_day(const Reading& reading);

// "2026-03-03".
std::string iso_date(std::int64_t day_number);

} // namespace qm
