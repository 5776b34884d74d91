#include "projects/air_log.h"

#include "analysis/psychrometrics.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <utility>

namespace qm {

namespace {

// Sums of the day values of one day and role.
struct AirSums {
    std::size_t points = 0;
    double temperature = 0.0;
    double rh = 0.0;
    std::size_t dew_points = 0;
    double dew_point = 0.0;
    std::size_t humidities = 0;
    double humidity = 0.0;

    void add(const Reading& r, bool celsius) {
        ++points;
        temperature += celsius ? fahrenheit_to_celsius(r.temperature) : r.temperature;
        rh += r.rh;
        const PsychrometricResult p = compute_psychrometrics(r.rh, r.temperature, celsius ? 1 : 0);
        if (p.dew_point != kOutOfRange) {
            ++dew_points;
            dew_point += p.dew_point;
        }
        if (p.humidity != kOutOfRange) {
            ++humidities;
            humidity += p.humidity;
        }
    }
};

// A figure as the logs print it, to the tenth: the depression is the difference of the printed
// figures, so that the figures on the page add up.
double printed_tenth(double value) {
    char text[48];
    std::snprintf(text, sizeof text, "%.1f", value);
    return std::strtod(text, nullptr);
}

std::optional<double> mean(double sum, std::size_t count) {
    return count == 0 ? std::nullopt : std::optional(sum / static_cast<double>(count));
}

AirDay air_day(std::int64_t day, AirRole role, const AirSums& s) {
    const auto n = static_cast<double>(s.points);
    return {day,
            role,
            s.points,
            s.temperature / n,
            s.rh / n,
            mean(s.dew_point, s.dew_points),
            mean(s.humidity, s.humidities)};
}

} // namespace

AirRole air_role(std::span<const AirPointRole> roles, int location) {
    const auto it = std::find_if(roles.begin(), roles.end(),
                                 [&](const AirPointRole& r) { return r.location == location; });
    return it == roles.end() ? AirRole::Other : it->role;
}

AirLog air_log(std::span<const PointHistory> histories, std::span<const AirPointRole> roles,
               bool celsius) {
    std::map<std::pair<std::int64_t, AirRole>, AirSums> sums;
    for (const PointHistory& h : histories) {
        const AirRole role = air_role(roles, h.point.location);
        for (const PointDay& d : h.days) {
            sums[{d.day, role}].add(d.reading, celsius);
        }
    }
    AirLog log;
    for (const auto& [key, s] : sums) {
        log.rows.push_back(air_day(key.first, key.second, s));
    }
    for (std::size_t i = 0; i < log.rows.size(); ++i) {
        const AirDay& affected = log.rows[i];
        if (affected.role != AirRole::Affected || !affected.humidity) {
            continue;
        }
        for (std::size_t k = i + 1; k < log.rows.size() && log.rows[k].day == affected.day; ++k) {
            if (log.rows[k].role == AirRole::DehumidifierOutlet && log.rows[k].humidity) {
                log.depression.push_back({affected.day, printed_tenth(*affected.humidity) -
                                                            printed_tenth(*log.rows[k].humidity)});
            }
        }
    }
    return log;
}

AirLog air_log(std::span<const AttachedJob> jobs, std::span<const AirPointRole> roles,
               bool celsius) {
    const std::vector<PointHistory> histories = point_histories(jobs, true);
    return air_log(histories, roles, celsius);
}

} // namespace qm
