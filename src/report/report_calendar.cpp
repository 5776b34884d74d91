#include "report/report_calendar.h"

#include "text/reading_time.h"

#include <algorithm>
#include <array>

namespace qm {

namespace {

// Days from 1 March of year 0 to 1 January 2000, in the era arithmetic below.
constexpr std::int64_t kDaysTo2000 = 730425;
constexpr std::int64_t kDaysPerEra = 146097; // 400 years
constexpr std::int64_t kYearsPerEra = 400;

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

std::int64_t report_day_number(int year, int month, int day) {
    return civil_day_number(year, month, day);
}

CalendarDate report_date_of_day(std::int64_t day_number) {
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

std::string_view month_abbreviation(int month) {
    if (month < 1 || month > 12) {
        return "?";
    }
    return kMonths[static_cast<std::size_t>(month - 1)];
}

} // namespace qm
