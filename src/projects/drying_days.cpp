#include "projects/drying_days.h"

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

// Days from 1 March of year 0 to 1 January 2000, in the era arithmetic below.
constexpr std::int64_t kDaysTo2000 = 730425;
constexpr std::int64_t kDaysPerEra = 146097; // 400 years
constexpr std::int64_t kYearsPerEra = 400;
constexpr int kHoursPerDay = 24;
constexpr int kMinutesPerHour = 60;
constexpr int kHalfDayHours = 12;
constexpr int kCenturyStart = 2000;

} // namespace

// The civil-calendar conversions count years from March, so that the leap day ends the year.
std::int64_t drying_day_number(const DryingDate& date) {
    const int month = std::clamp(date.month, 1, 12);
    const int day = std::clamp(date.day, 1, 31);
    const std::int64_t y = static_cast<std::int64_t>(date.year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - (kYearsPerEra - 1)) / kYearsPerEra;
    const std::int64_t year_of_era = y - era * kYearsPerEra;
    const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * kDaysPerEra + day_of_era - kDaysTo2000;
}

DryingDate drying_date_of(std::int64_t day_number) {
    const std::int64_t z = day_number + kDaysTo2000;
    const std::int64_t era = (z >= 0 ? z : z - (kDaysPerEra - 1)) / kDaysPerEra;
    const std::int64_t day_of_era = z - era * kDaysPerEra;
    const std::int64_t year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t mp = (5 * day_of_year + 2) / 153;
    const int day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t year = year_of_era + era * kYearsPerEra + (month <= 2 ? 1 : 0);
    return {static_cast<int>(year), month, day};
}

std::int64_t reading_day(const Reading& r) {
    return drying_day_number({kCenturyStart + r.year, r.month, r.day});
}

int reading_minute_of_day(const Reading& r) {
    int hour = decoded_hour(r.hour_code);
    if (hour_is_12h(r.hour_code)) {
        hour = hour % kHalfDayHours + (hour_is_pm(r.hour_code) ? kHalfDayHours : 0);
    }
    return std::clamp(hour, 0, kHoursPerDay - 1) * kMinutesPerHour +
           std::clamp(r.minute, 0, kMinutesPerHour - 1);
}

std::string iso_date(std::int64_t day_number) {
    const DryingDate d = drying_date_of(day_number);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

} // namespace qm
