#pragma once

// The figures of the client report, computed from one job's readings of one kind in time order.
// Every function here is pure: it reads the span it is given and the units, nothing else.

#include "analysis/histogram.h"
#include "store/reading.h"
#include "text/reading_time.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qm {

// The units and the date order a report is written in.
struct ReportUnits {
    bool celsius = false;            // temperatures and dew points in degrees C, humidity in GPK
    bool international_date = false; // day before month
};

// Smallest, largest and mean of a set of values; a NaN is left out.
struct ValueSummary {
    std::size_t count = 0;
    double min = 0.0;
    double max = 0.0;
    double sum = 0.0;

    void add(double value);
    // 0 when there is no value.
    double mean() const { return count == 0 ? 0.0 : sum / static_cast<double>(count); }
};

// Puts readings in the order of their clock times (reading_minute), readings of the same minute
// in the order given. The meter's raw hour byte, by which the job's readings come ordered, puts
// the 12 o'clock hour after 11 in 12-hour mode (12 PM after 11 PM); a report reads by the clock.
void order_by_clock(std::vector<Reading>& readings);

// The readings of a job: how many, and the earliest and latest by clock time (the earlier in the
// given order when two share a minute). first and last are meaningless when count is 0.
struct ReadingsSpan {
    std::size_t count = 0;
    Reading first;
    Reading last;
};
ReadingsSpan readings_span(std::span<const Reading> readings);

// The figures of one location and sub-location of an MC job. Pin figures take both pin kinds
// (PinWithTemperature and Pin) in percent; scan figures take Scan and any unnamed kind on the
// meter's own scale.
struct McLocationFigures {
    int location = 0;
    int sub_location = 0;
    ReadingsSpan readings;
    ValueSummary pin;
    ValueSummary scan;
};

// One entry per location and sub-location that holds a moisture reading, ordered by location,
// then sub-location. RH/T readings in the span are left out.
std::vector<McLocationFigures> mc_location_figures(std::span<const Reading> readings);

// The figures of one location of an RH/T job, each in the report's units: relative humidity
// (%), air temperature, dew point, absolute humidity (GPP or GPK) and wood EMC (%). A reading
// whose temperature is out of range (no humidity) or whose dew point is out of range is counted
// in `readings` but not in that figure.
struct RhLocationFigures {
    int location = 0;
    ReadingsSpan readings;
    ValueSummary rh;
    ValueSummary temperature;
    ValueSummary dew_point;
    ValueSummary humidity;
    ValueSummary emc;
};

// One entry per location that holds an RH/T reading, ordered by location.
std::vector<RhLocationFigures> rh_location_figures(std::span<const Reading> readings, bool celsius);

// What a chart over time plots.
enum class SeriesMeasure {
    PinMc,       // pin readings of an MC job, percent
    Scan,        // scan readings of an MC job, meter scale
    Rh,          // relative humidity, percent
    Temperature, // air temperature in the report's unit
    DewPoint,    // dew point in the report's unit; readings without one are left out
};

struct SeriesPoint {
    std::int64_t minute = 0; // reading_minute
    double value = 0.0;
};

// One line of a chart: the points of one location (and sub-location for the MC measures; -1
// for the RH/T ones), in clock-time order.
struct LocationSeries {
    int location = 0;
    int sub_location = -1;
    std::vector<SeriesPoint> points;
};

// The lines of a chart, ordered by location and sub-location; groups without a point of the
// measure are left out.
std::vector<LocationSeries> location_series(std::span<const Reading> readings,
                                            SeriesMeasure measure, bool celsius);

// At most about four points per column of a chart `columns` wide over [from, to]: per column the
// first, the lowest, the highest and the last point, in time order. A series that is already
// that thin is returned as it is. The drawn line keeps its extremes, however many points.
std::vector<SeriesPoint> thin_series(std::span<const SeriesPoint> points, std::int64_t from,
                                     std::int64_t to, int columns);

// The distribution of an MC job's pin readings (both pin kinds) over whole percents, counted as
// the histogram counts them, with the range of bins that hold any.
struct McDistribution {
    HistogramBins bins{};
    int low_bin = 0;   // first bin that holds a reading
    int high_bin = -1; // last bin that holds a reading; below low_bin when there is none
    std::int32_t largest = 0;
    std::size_t pin_readings = 0;
    std::size_t other_readings = 0; // scan readings, which have no percent
};
McDistribution mc_distribution(std::span<const Reading> readings);

} // namespace qm
