#pragma once

// The axes of the report's charts: round value steps and readable clock-time ticks.

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

struct AxisTick {
    double value = 0.0;
    std::string label; // Windows-1252; "\n" separates two lines
};

// A value axis that runs from `low` to `high`, both multiples of the step, with a tick on every
// step. The step is 1, 2 or 5 times a power of ten, the smallest that needs at most max_ticks
// intervals; labels carry as many decimals as the step needs.
struct ValueAxis {
    double low = 0.0;
    double high = 1.0;
    double step = 1.0;
    std::vector<AxisTick> ticks;
};

// An axis over the values min..max (a single value gets room on both sides; with
// from_zero the axis starts at 0 when every value is positive, as counts and moisture do).
ValueAxis value_axis(double min, double max, int max_ticks, bool from_zero = false);

// A time axis over minutes (see reading_minute) from `low` to `high`. Ticks fall on round clock
// times (1, 2, 5, 10, 15, 30 minutes; 1, 2, 3, 6, 12 hours; 1, 2, 7, 14, 28 days and on), at
// most max_ticks of them. Below a day the label is the time ("14:30", or "2:30PM" with
// twelve_hour), with the date on a second line at the first tick and wherever the day changes;
// from a day up the label is the date ("6/14/25", or "14/6/25" with international_date).
struct TimeAxis {
    std::int64_t low = 0;
    std::int64_t high = 1;
    std::vector<AxisTick> ticks;
};

// The span of minutes a chart shows for readings from `first` to `last`: at least an hour, the
// readings' span plus a margin on each side.
TimeAxis time_axis(std::int64_t first, std::int64_t last, int max_ticks, bool international_date,
                   bool twelve_hour);

// A date as the report writes it: "%i/%i/%.2i" month first, or day first with
// international_date (the year as two digits).
std::string report_date_text(int year, int month, int day, bool international_date);

} // namespace qm
