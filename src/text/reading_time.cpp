#include "text/reading_time.h"

#include "text/text_format.h"

#include <algorithm>

namespace qm {

std::string format_reading_time(const Reading& reading) {
    // "%i:%.2i", with "AM" or "PM" after a 12-hour time
    std::string text;
    append_int(text, decoded_hour(reading.hour_code));
    text += ':';
    append_int2(text, reading.minute);
    if (hour_is_12h(reading.hour_code)) {
        text += hour_is_pm(reading.hour_code) ? "PM" : "AM";
    }
    return text;
}

std::string format_reading_date(const Reading& reading, std::int32_t international_date) {
    // "%i/%i/%.2i": day first for the international order, month first otherwise
    std::string text;
    append_int(text, international_date != 0 ? reading.day : reading.month);
    text += '/';
    append_int(text, international_date != 0 ? reading.month : reading.day);
    text += '/';
    append_int2(text, reading.year);
    return text;
}

std::string format_reading_date_time(const Reading& reading, std::int32_t international_date) {
    return format_reading_date(reading, international_date) + ' ' + format_reading_time(reading);
}

namespace {

// Days from 1 March of year 0 to 1 January 2000, in the era arithmetic below.
constexpr std::int64_t kDaysTo2000 = 730425;
constexpr std::int64_t kDaysPerEra = 146097; // 400 years
constexpr std::int64_t kYearsPerEra = 400;
constexpr int kHoursPerDay = 24;
constexpr int kMinutesPerHour = 60;
constexpr int kHalfDayHours = 12;

} // namespace

// The civil-calendar conversions count years from March, so that the leap day ends the year.
std::int64_t civil_day_number(int year, int month, int day) {
    month = std::clamp(month, 1, 12);
    day = std::clamp(day, 1, 31);
    const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - (kYearsPerEra - 1)) / kYearsPerEra;
    const std::int64_t year_of_era = y - era * kYearsPerEra;
    const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t day_of_era =
        year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * kDaysPerEra + day_of_era - kDaysTo2000;
}

CivilDate civil_date_of(std::int64_t day_number) {
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

int reading_minute_of_day(const Reading& r) {
    int hour = decoded_hour(r.hour_code);
    if (hour_is_12h(r.hour_code)) {
        hour = hour % kHalfDayHours + (hour_is_pm(r.hour_code) ? kHalfDayHours : 0);
    }
    return std::clamp(hour, 0, kHoursPerDay - 1) * kMinutesPerHour +
           std::clamp(r.minute, 0, kMinutesPerHour - 1);
}

std::int64_t reading_minute(const Reading& r) {
    const std::int64_t day = civil_day_number(2000 + r.year, r.month, r.day);
    return day * kHoursPerDay * kMinutesPerHour + reading_minute_of_day(r);
}

} // namespace qm
