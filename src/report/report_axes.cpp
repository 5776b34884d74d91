#include "report/report_axes.h"

#include "report/report_calendar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace qm {

namespace {

constexpr std::int64_t kMinutesPerDay = 24 * 60;
constexpr std::int64_t kMinutesPerHour = 60;
constexpr std::int64_t kShortestTimeAxis = 60;
constexpr std::int64_t kSmallestTimeMargin = 5;
// Round clock steps in minutes, from a minute to four weeks; beyond that the step doubles.
constexpr std::array<std::int64_t, 16> kTimeSteps = {
    1, 2, 5, 10, 15, 30, 60, 120, 180, 360, 720, 1440, 2 * 1440, 7 * 1440, 14 * 1440, 28 * 1440};

std::int64_t floor_div(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int64_t ceil_div(std::int64_t a, std::int64_t b) {
    return -floor_div(-a, b);
}

int decimals_for(double step) {
    if (step >= 1.0) {
        return 0;
    }
    return static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
}

std::string fixed_text(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string clock_text(std::int64_t minute_of_day, bool twelve_hour) {
    const int hour = static_cast<int>(minute_of_day / kMinutesPerHour);
    const int minute = static_cast<int>(minute_of_day % kMinutesPerHour);
    char text[16];
    if (twelve_hour) {
        const int shown = hour % 12 == 0 ? 12 : hour % 12;
        std::snprintf(text, sizeof text, "%i:%.2i%s", shown, minute, hour < 12 ? "AM" : "PM");
    } else {
        std::snprintf(text, sizeof text, "%i:%.2i", hour, minute);
    }
    return text;
}

std::string day_text(std::int64_t day, bool international_date) {
    const CalendarDate d = report_date_of_day(day);
    return report_date_text(d.year, d.month, d.day, international_date);
}

std::int64_t time_step(std::int64_t low, std::int64_t high, int max_ticks) {
    const auto ticks = [&](std::int64_t step) {
        return floor_div(high, step) - ceil_div(low, step) + 1;
    };
    for (const std::int64_t step : kTimeSteps) {
        if (ticks(step) <= max_ticks) {
            return step;
        }
    }
    std::int64_t step = kTimeSteps.back();
    while (ticks(step) > max_ticks) {
        step *= 2;
    }
    return step;
}

} // namespace

ValueAxis value_axis(double min, double max, int max_ticks, bool from_zero) {
    if (!std::isfinite(min) || !std::isfinite(max)) {
        min = 0.0;
        max = 1.0;
    }
    if (max < min) {
        std::swap(min, max);
    }
    if (from_zero && min >= 0.0) {
        min = 0.0;
    }
    if (max == min) {
        const double pad = std::max(std::fabs(min) * 0.05, 0.5);
        min = from_zero && min >= 0.0 ? 0.0 : min - pad;
        max += pad;
    }
    max_ticks = std::max(max_ticks, 1);
    const double magnitude = std::pow(10.0, std::floor(std::log10((max - min) / max_ticks)));
    ValueAxis axis;
    for (const double m : {1.0, 2.0, 5.0, 10.0, 20.0}) {
        axis.step = m * magnitude;
        if (std::ceil(max / axis.step) - std::floor(min / axis.step) <= max_ticks) {
            break;
        }
    }
    axis.low = std::floor(min / axis.step) * axis.step;
    axis.high = std::ceil(max / axis.step) * axis.step;
    const int decimals = decimals_for(axis.step);
    const auto intervals = static_cast<int>(std::lround((axis.high - axis.low) / axis.step));
    for (int i = 0; i <= intervals; ++i) {
        double v = axis.low + i * axis.step;
        if (std::fabs(v) < axis.step / 2) {
            v = 0.0; // no "-0"
        }
        axis.ticks.push_back({v, fixed_text(v, decimals)});
    }
    return axis;
}

TimeAxis time_axis(std::int64_t first, std::int64_t last, int max_ticks, bool international_date,
                   bool twelve_hour) {
    if (last < first) {
        std::swap(first, last);
    }
    const std::int64_t margin = std::max((last - first) / 20, kSmallestTimeMargin);
    TimeAxis axis;
    axis.low = first - margin;
    axis.high = last + margin;
    if (axis.high - axis.low < kShortestTimeAxis) {
        const std::int64_t grow = kShortestTimeAxis - (axis.high - axis.low);
        axis.low -= grow / 2;
        axis.high += grow - grow / 2;
    }
    const std::int64_t step = time_step(axis.low, axis.high, std::max(max_ticks, 2));
    std::int64_t previous_day = 0;
    for (std::int64_t t = ceil_div(axis.low, step) * step; t <= axis.high; t += step) {
        const std::int64_t day = floor_div(t, kMinutesPerDay);
        std::string label;
        if (step >= kMinutesPerDay) {
            label = day_text(day, international_date);
        } else {
            label = clock_text(t - day * kMinutesPerDay, twelve_hour);
            if (axis.ticks.empty() || day != previous_day) {
                label += '\n' + day_text(day, international_date);
            }
        }
        previous_day = day;
        axis.ticks.push_back({static_cast<double>(t), std::move(label)});
    }
    return axis;
}

std::string report_date_text(int year, int month, int day, bool international_date) {
    char text[48];
    const int yy = ((year % 100) + 100) % 100;
    std::snprintf(text, sizeof text, "%i/%i/%.2i", international_date ? day : month,
                  international_date ? month : day, yy);
    return text;
}

} // namespace qm
