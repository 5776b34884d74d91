#include "projects/drying_days.h"

#include "text/reading_time.h"

#include <cstdio>

namespace qm {

namespace {

constexpr int kCenturyStart = 2000;

} // namespace

std::int64_t drying_day_number(const DryingDate& date) {
    return civil_day_number(date.year, date.month, date.day);
}

DryingDate drying_date_of(std::int64_t day_number) {
    const CivilDate d = civil_date_of(day_number);
    return {d.year, d.month, d.day};
}

std::int64_t reading_day(const Reading& r) {
    return drying_day_number({kCenturyStart + r.year, r.month, r.day});
}

std::string iso_date(std::int64_t day_number) {
    const DryingDate d = drying_date_of(day_number);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

} // namespace qm
