#pragma once

// The readings of a drying project's week-by-week visits for the benchmarks: 30 visits of 5,000
// readings each, or as many as a benchmark asks for.

#include "projects/drying_days.h"
#include "store/reading.h"

#include <cstddef>
#include <random>
#include <vector>

namespace {

constexpr int kVisits = 30;
constexpr std::size_t kReadingsPerVisit = 5'000;
// Of each visit's readings, this many are the previous visit's still held by the meter.
constexpr std::size_t kHeldOver = 500;

// Visit v (from 0) reads 40 MC points (pin and scan, four materials) and 6 RH/T points on its
// own day, on a 12-hour clock, and still holds the last `held_over` readings of the visit before.
// With `one_minute` every visit reads on one day at one minute, so the readings of a point share
// their day and minute.
std::vector<std::vector<qm::Reading>> make_visits(int count, std::size_t per_visit,
                                                  std::size_t held_over, bool one_minute) {
    std::mt19937 rng(26);
    std::vector<std::vector<qm::Reading>> visits(static_cast<std::size_t>(count));
    for (int v = 0; v < count; ++v) {
        std::vector<qm::Reading>& out = visits[static_cast<std::size_t>(v)];
        if (v > 0) {
            const auto& before = visits[static_cast<std::size_t>(v - 1)];
            out.assign(before.end() - static_cast<std::ptrdiff_t>(held_over), before.end());
        }
        const qm::DryingDate date =
            qm::drying_date_of(qm::drying_day_number({2026, 3, 1}) + (one_minute ? 0 : v));
        while (out.size() < per_visit) {
            qm::Reading r;
            const auto point = rng() % 46;
            r.kind = point >= 40 ? qm::RhTemperature : point % 5 == 4 ? qm::Scan : qm::Pin;
            r.job = 2;
            r.location = static_cast<std::int32_t>(point % 23);
            r.sub_location = static_cast<std::int32_t>(point % 3);
            r.material = static_cast<std::int32_t>(point % 4);
            r.year = date.year - 2000;
            r.month = date.month;
            r.day = date.day;
            const int hour = static_cast<int>(rng() % 12) + 1;
            r.hour_code = 0x40 | (rng() % 2 ? 0x20 : 0) | (hour >= 10 ? 0x10 : 0) | hour % 10;
            r.minute = static_cast<std::int32_t>(rng() % 60);
            if (one_minute) {
                r.hour_code = 0x49;
                r.minute = 30;
            }
            r.mc = 10.0 + (rng() % 300) * 0.1;
            r.rh = 30.0 + (rng() % 500) * 0.1;
            r.temperature = 60.0 + (rng() % 300) * 0.1;
            out.push_back(r);
        }
    }
    return visits;
}

std::vector<std::vector<qm::Reading>> make_visits() {
    return make_visits(kVisits, kReadingsPerVisit, kHeldOver, false);
}

} // namespace
