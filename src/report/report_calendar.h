#pragma once

// Calendar arithmetic for the report's time axes and its print date.

#include <cstdint>
#include <string_view>

namespace qm {

struct CalendarDate {
    int year = 2000;
    int month = 1;
    int day = 1;
};

// Days since 1 January 2000 of a date in the proleptic Gregorian calendar. The month is clamped
// to 1..12 and the day to 1..31 (a day past the month's end runs into the next month).
std::int64_t report_day_number(int year, int month, int day);

// The date of a day number.
CalendarDate report_date_of_day(std::int64_t day_number);

// "Jan" .. "Dec"; "?" for a month outside 1..12.
std::string_view month_abbreviation(int month);

} // namespace qm
