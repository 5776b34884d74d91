#include "report/report_calendar.h"

#include "text/reading_time.h"

#include <algorithm>
#include <array>

namespace qm {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

} // namespace

std::int64_t report_day_number(int year, int month, int day) {
    return civil_day_number(year, month, day);
}

CalendarDate report_date_of_day(std::int64_t day_number) {
    const CivilDate d = civil_date_of(day_number);
    return {d.year, d.month, d.day};
}

std::string_view month_abbreviation(int month) {
    if (month < 1 || month > 12) {
        return "?";
    }
    return kMonths[static_cast<std::size_t>(month - 1)];
}

} // namespace qm
