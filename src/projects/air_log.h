#pragma once

// The psychrometric log of a drying project: per day and role of its RH/T points the air's
// temperature, humidity, dew point and absolute humidity, and the grain depression the
// dehumidifiers achieve. Every function here is pure: it reads the spans it is given.

#include "projects/monitoring_points.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qm {

// What an RH/T point stands for. The order is the log's order within a day.
enum class AirRole { Affected, Unaffected, Outside, DehumidifierOutlet, Other };

// The role the user gave the RH/T point at a location.
struct AirPointRole {
    int location = 0;
    AirRole role = AirRole::Other;
};

// One day and role: how many RH/T points of the role were read that day and the means of their
// day values (each point's last reading of the day by the clock), in the log's units: temperature
// and dew point in degrees F, or C under Celsius; absolute humidity in GPP, or GPK under Celsius.
// A dew point or humidity that cannot be computed (temperature out of range) is left out of its
// mean; nothing when no point has one.
struct AirDay {
    std::int64_t day = 0;
    AirRole role = AirRole::Other;
    std::size_t points = 0;
    double temperature = 0.0;
    double rh = 0.0;
    std::optional<double> dew_point;
    std::optional<double> humidity;
};

// The grain depression of a day: the affected area's absolute humidity minus that at the
// dehumidifier outlet (GPP, or GPK under Celsius), each taken to the tenth as the logs print it,
// so that the printed figures add up. Only on days both were read.
struct GrainDepression {
    std::int64_t day = 0;
    double value = 0.0;
};

struct AirLog {
    std::vector<AirDay> rows; // by day, then role
    std::vector<GrainDepression> depression;
};

// The role of the point at a location: the one given, else Other.
AirRole air_role(std::span<const AirPointRole> roles, int location);

// The psychrometric log of the RH/T readings of the attached jobs.
AirLog air_log(std::span<const AttachedJob> jobs, std::span<const AirPointRole> roles,
               bool celsius);

// The same from histories that point_histories made (RH/T points).
AirLog air_log(std::span<const PointHistory> histories, std::span<const AirPointRole> roles,
               bool celsius);

} // namespace qm
