#pragma once

#include "store/reading.h"

#include <cstdint>
#include <string>

namespace qm {

// The date and time texts of a reading, as the views, the summaries, the side panel and the CSV
// export show them.

// "%i:%.2i" in 24-hour mode, "%i:%.2iAM" / "%i:%.2iPM" in 12-hour mode.
std::string format_reading_time(const Reading& reading);

// "%i/%i/%.2i" of month, day, year (international_date 0) or day, month, year (nonzero).
std::string format_reading_date(const Reading& reading, std::int32_t international_date);

// The date, a space and the time: "8/28/03 1:05AM" or "28/8/03 1:05AM".
std::string format_reading_date_time(const Reading& reading, std::int32_t international_date);

// Days since 1 January 2000 of a date in the proleptic Gregorian calendar. The month is clamped
// to 1..12 and the day to 1..31 (a day past the month's end runs into the next month).
std::int64_t civil_day_number(int year, int month, int day);

// A date of the proleptic Gregorian calendar.
struct CivilDate {
    int year = 2000;
    int month = 1;
    int day = 1;
    friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

// The date of a day number (days since 1 January 2000).
CivilDate civil_date_of(std::int64_t day_number);

// The minute of its day at which a reading was taken, 0..1439, by the clock: in 12-hour mode
// 12 AM is hour 0 and 12 PM hour 12 (the raw hour byte orders both after 11).
int reading_minute_of_day(const Reading& reading);

// Minutes since 1 January 2000 of a reading's clock time (two-digit year 2000 + yy; the hour
// decoded from 12- or 24-hour mode, 12 AM as hour 0). A month or day out of range is clamped,
// so a damaged date still has a place on a time axis.
std::int64_t reading_minute(const Reading& reading);

} // namespace qm
