#include "report/report_figures.h"

#include "analysis/psychrometrics.h"
#include "report/report_calendar.h"
#include "store/group_order.h"
#include "store/lookup_tables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace qm {

namespace {

constexpr std::size_t kGroupKeys = kLocationCount * kSubLocationCount;

// The place of a location and sub-location among the groups, or kNoGroup for a reading the
// tables cannot name.
std::uint32_t group_key(int location, int sub_location) {
    if (location < 0 || location >= kLocationCount || sub_location < 0 ||
        sub_location >= kSubLocationCount) {
        return kNoGroup;
    }
    return static_cast<std::uint32_t>(location * kSubLocationCount + sub_location);
}

// Hands the positions of each group of readings to visit, the groups in the order of their keys
// (location, then sub-location), each group's readings in the order they stand. key_of gives a
// reading's group_key, or kNoGroup to leave it out.
template <typename KeyOf, typename Visit>
void for_each_group(std::span<const Reading> readings, KeyOf key_of, Visit visit) {
    const std::vector<std::uint32_t> order = group_order(readings, kGroupKeys, key_of);
    const std::span<const std::uint32_t> positions(order);
    std::size_t start = 0;
    while (start < positions.size()) {
        const std::uint32_t key = key_of(readings[positions[start]]);
        std::size_t end = start + 1;
        while (end < positions.size() && key_of(readings[positions[end]]) == key) {
            ++end;
        }
        visit(positions.subspan(start, end - start));
        start = end;
    }
}

// Keeps the earliest and latest reading of a group as it meets them.
class SpanBuilder {
public:
    void add(const Reading& r) {
        const std::int64_t minute = reading_minute(r);
        if (span_.count == 0 || minute < first_) {
            span_.first = r;
            first_ = minute;
        }
        if (span_.count == 0 || minute >= last_) {
            span_.last = r;
            last_ = minute;
        }
        ++span_.count;
    }
    const ReadingsSpan& span() const { return span_; }

private:
    ReadingsSpan span_;
    std::int64_t first_ = 0;
    std::int64_t last_ = 0;
};

bool is_pin(const Reading& r) {
    return !is_rh(r) && r.kind < Scan;
}

bool is_scan(const Reading& r) {
    return !is_rh(r) && r.kind >= Scan;
}

double temperature_in(double t_f, bool celsius) {
    return celsius ? fahrenheit_to_celsius(t_f) : t_f;
}

// The dew point of an RH/T reading in the report's unit, as the readings table prints it
// before rounding; nothing where the table prints "OR".
std::optional<double> dew_point_of(const PsychrometricResult& p) {
    return p.dew_point == kOutOfRange ? std::nullopt : std::optional(p.dew_point);
}

std::optional<double> measure_value(const Reading& r, SeriesMeasure measure, bool celsius) {
    switch (measure) {
    case SeriesMeasure::PinMc:
        return is_pin(r) ? std::optional(r.mc) : std::nullopt;
    case SeriesMeasure::Scan:
        return is_scan(r) ? std::optional(r.mc) : std::nullopt;
    case SeriesMeasure::Rh:
        return is_rh(r) ? std::optional(r.rh) : std::nullopt;
    case SeriesMeasure::Temperature:
        return is_rh(r) ? std::optional(temperature_in(r.temperature, celsius)) : std::nullopt;
    case SeriesMeasure::DewPoint:
        return is_rh(r) ? dew_point_of(compute_psychrometrics(r.rh, r.temperature, celsius ? 1 : 0))
                        : std::nullopt;
    }
    return std::nullopt;
}

bool by_minute(const SeriesPoint& a, const SeriesPoint& b) {
    return a.minute < b.minute;
}

} // namespace

void ValueSummary::add(double value) {
    if (std::isnan(value)) {
        return;
    }
    if (count == 0 || value < min) {
        min = value;
    }
    if (count == 0 || value > max) {
        max = value;
    }
    sum += value;
    ++count;
}

void order_by_clock(std::vector<Reading>& readings) {
    std::vector<std::pair<std::int64_t, std::size_t>> keys;
    keys.reserve(readings.size());
    for (std::size_t i = 0; i < readings.size(); ++i) {
        keys.emplace_back(reading_minute(readings[i]), i);
    }
    if (std::is_sorted(keys.begin(), keys.end())) {
        return;
    }
    // The index in each key keeps readings of the same minute in their order.
    std::sort(keys.begin(), keys.end());
    std::vector<Reading> ordered;
    ordered.reserve(readings.size());
    for (const auto& key : keys) {
        ordered.push_back(readings[key.second]);
    }
    readings.swap(ordered);
}

ReadingsSpan readings_span(std::span<const Reading> readings) {
    SpanBuilder span;
    for (const Reading& r : readings) {
        span.add(r);
    }
    return span.span();
}

std::vector<McLocationFigures> mc_location_figures(std::span<const Reading> readings) {
    std::vector<McLocationFigures> out;
    const auto key_of = [](const Reading& r) {
        return is_rh(r) ? kNoGroup : group_key(r.location, r.sub_location);
    };
    for_each_group(readings, key_of, [&](std::span<const std::uint32_t> group) {
        McLocationFigures& f = out.emplace_back();
        f.location = readings[group.front()].location;
        f.sub_location = readings[group.front()].sub_location;
        SpanBuilder span;
        for (const std::uint32_t i : group) {
            const Reading& r = readings[i];
            span.add(r);
            (is_pin(r) ? f.pin : f.scan).add(r.mc);
        }
        f.readings = span.span();
    });
    return out;
}

std::vector<RhLocationFigures> rh_location_figures(std::span<const Reading> readings,
                                                   bool celsius) {
    std::vector<RhLocationFigures> out;
    const auto key_of = [](const Reading& r) {
        return is_rh(r) ? group_key(r.location, 0) : kNoGroup;
    };
    for_each_group(readings, key_of, [&](std::span<const std::uint32_t> group) {
        RhLocationFigures& f = out.emplace_back();
        f.location = readings[group.front()].location;
        SpanBuilder span;
        for (const std::uint32_t i : group) {
            const Reading& r = readings[i];
            span.add(r);
            f.rh.add(r.rh);
            f.temperature.add(temperature_in(r.temperature, celsius));
            const PsychrometricResult p =
                compute_psychrometrics(r.rh, r.temperature, celsius ? 1 : 0);
            if (p.humidity != kOutOfRange) {
                f.humidity.add(p.humidity);
            }
            if (const std::optional<double> dew = dew_point_of(p)) {
                f.dew_point.add(*dew);
            }
            f.emc.add(equivalent_moisture_content(r.rh, r.temperature));
        }
        f.readings = span.span();
    });
    return out;
}

std::vector<LocationSeries> location_series(std::span<const Reading> readings,
                                            SeriesMeasure measure, bool celsius) {
    const bool by_sub_location = measure == SeriesMeasure::PinMc || measure == SeriesMeasure::Scan;
    // Each reading's value once: a dew point costs the psychrometrics.
    std::vector<std::optional<double>> values(readings.size());
    for (std::size_t i = 0; i < readings.size(); ++i) {
        values[i] = measure_value(readings[i], measure, celsius);
    }
    const auto key_of = [&](const Reading& r) {
        return values[static_cast<std::size_t>(&r - readings.data())]
                   ? group_key(r.location, by_sub_location ? r.sub_location : 0)
                   : kNoGroup;
    };
    std::vector<LocationSeries> out;
    for_each_group(readings, key_of, [&](std::span<const std::uint32_t> group) {
        const Reading& first = readings[group.front()];
        out.push_back(
            LocationSeries{first.location, by_sub_location ? first.sub_location : -1, {}});
        LocationSeries& s = out.back();
        for (const std::uint32_t i : group) {
            s.points.push_back({reading_minute(readings[i]), *values[i]});
        }
        // Readings come in the order the meter's clock bytes sort, which puts 12 AM after 1 AM.
        std::stable_sort(s.points.begin(), s.points.end(), by_minute);
    });
    return out;
}

std::vector<SeriesPoint> thin_series(std::span<const SeriesPoint> points, std::int64_t from,
                                     std::int64_t to, int columns) {
    constexpr std::size_t kKeptPerColumn = 4;
    if (columns <= 0 || to <= from ||
        points.size() <= kKeptPerColumn * static_cast<std::size_t>(columns)) {
        return {points.begin(), points.end()};
    }
    const auto column_of = [&](std::int64_t minute) {
        const std::int64_t c = (std::clamp(minute, from, to) - from) * columns / (to - from + 1);
        return static_cast<int>(c);
    };
    std::vector<SeriesPoint> out;
    std::size_t start = 0;
    while (start < points.size()) {
        const int column = column_of(points[start].minute);
        std::size_t end = start;
        std::size_t low = start;
        std::size_t high = start;
        while (end < points.size() && column_of(points[end].minute) == column) {
            low = points[end].value < points[low].value ? end : low;
            high = points[end].value > points[high].value ? end : high;
            ++end;
        }
        std::array<std::size_t, kKeptPerColumn> kept = {start, low, high, end - 1};
        std::sort(kept.begin(), kept.end());
        const auto last = std::unique(kept.begin(), kept.end());
        for (auto it = kept.begin(); it != last; ++it) {
            out.push_back(points[*it]);
        }
        start = end;
    }
    return out;
}

McDistribution mc_distribution(std::span<const Reading> readings) {
    McDistribution d;
    for (const Reading& r : readings) {
        if (is_pin(r)) {
            ++d.bins[static_cast<std::size_t>(histogram_bin(r.mc))];
            ++d.pin_readings;
        } else if (is_scan(r)) {
            ++d.other_readings;
        }
    }
    d.low_bin = kHistogramBinCount;
    for (int bin = 0; bin < kHistogramBinCount; ++bin) {
        const std::int32_t count = d.bins[static_cast<std::size_t>(bin)];
        if (count > 0) {
            d.low_bin = std::min(d.low_bin, bin);
            d.high_bin = bin;
            d.largest = std::max(d.largest, count);
        }
    }
    if (d.high_bin < 0) {
        d.low_bin = 0;
    }
    return d;
}

} // namespace qm
