#include "report/report_figures.h"

#include "analysis/psychrometrics.h"
#include "report/report_calendar.h"
#include "store/lookup_tables.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace qm {

namespace {

constexpr int kGroupKeys = kLocationCount * kSubLocationCount;
constexpr int kNoGroup = -1;
constexpr int kHoursPerDay = 24;
constexpr int kMinutesPerHour = 60;
constexpr int kHalfDayHours = 12;

// The place of a location and sub-location among the groups, or kNoGroup for a reading the
// tables cannot name.
int group_key(int location, int sub_location) {
    if (location < 0 || location >= kLocationCount || sub_location < 0 ||
        sub_location >= kSubLocationCount) {
        return kNoGroup;
    }
    return location * kSubLocationCount + sub_location;
}

// Collects the groups of a span in a fixed table of keys and hands them out ordered by key.
template <typename Group> class Groups {
public:
    Groups() { index_.fill(kNoGroup); }
    // The group of the key, created by make() on first use.
    template <typename Make> Group& at(int key, Make make) {
        int& i = index_[static_cast<std::size_t>(key)];
        if (i == kNoGroup) {
            i = static_cast<int>(groups_.size());
            groups_.push_back(make());
        }
        return groups_[static_cast<std::size_t>(i)];
    }
    std::vector<Group> ordered() && {
        std::vector<Group> out;
        out.reserve(groups_.size());
        for (const int i : index_) {
            if (i != kNoGroup) {
                out.push_back(std::move(groups_[static_cast<std::size_t>(i)]));
            }
        }
        return out;
    }

private:
    std::array<int, kGroupKeys> index_{};
    std::vector<Group> groups_;
};

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

std::int64_t reading_minute(const Reading& r) {
    int hour = decoded_hour(r.hour_code);
    if (hour_is_12h(r.hour_code)) {
        hour = hour % kHalfDayHours + (hour_is_pm(r.hour_code) ? kHalfDayHours : 0);
    }
    hour = std::clamp(hour, 0, kHoursPerDay - 1);
    const std::int64_t day = report_day_number(2000 + r.year, r.month, r.day);
    return (day * kHoursPerDay + hour) * kMinutesPerHour +
           std::clamp(r.minute, 0, kMinutesPerHour - 1);
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
    struct Building {
        McLocationFigures figures;
        SpanBuilder span;
    };
    Groups<Building> groups;
    for (const Reading& r : readings) {
        const int key = group_key(r.location, r.sub_location);
        if (is_rh(r) || key == kNoGroup) {
            continue;
        }
        Building& g = groups.at(key, [&r] {
            Building b;
            b.figures.location = r.location;
            b.figures.sub_location = r.sub_location;
            return b;
        });
        g.span.add(r);
        (is_pin(r) ? g.figures.pin : g.figures.scan).add(r.mc);
    }
    std::vector<McLocationFigures> out;
    for (Building& b : std::move(groups).ordered()) {
        b.figures.readings = b.span.span();
        out.push_back(b.figures);
    }
    return out;
}

std::vector<RhLocationFigures> rh_location_figures(std::span<const Reading> readings,
                                                   bool celsius) {
    struct Building {
        RhLocationFigures figures;
        SpanBuilder span;
    };
    Groups<Building> groups;
    for (const Reading& r : readings) {
        const int key = group_key(r.location, 0);
        if (!is_rh(r) || key == kNoGroup) {
            continue;
        }
        Building& g = groups.at(key, [&r] {
            Building b;
            b.figures.location = r.location;
            return b;
        });
        RhLocationFigures& f = g.figures;
        g.span.add(r);
        f.rh.add(r.rh);
        f.temperature.add(temperature_in(r.temperature, celsius));
        const PsychrometricResult p = compute_psychrometrics(r.rh, r.temperature, celsius ? 1 : 0);
        if (p.humidity != kOutOfRange) {
            f.humidity.add(p.humidity);
        }
        if (const std::optional<double> dew = dew_point_of(p)) {
            f.dew_point.add(*dew);
        }
        f.emc.add(equivalent_moisture_content(r.rh, r.temperature));
    }
    std::vector<RhLocationFigures> out;
    for (Building& b : std::move(groups).ordered()) {
        b.figures.readings = b.span.span();
        out.push_back(b.figures);
    }
    return out;
}

std::vector<LocationSeries> location_series(std::span<const Reading> readings,
                                            SeriesMeasure measure, bool celsius) {
    const bool by_sub_location = measure == SeriesMeasure::PinMc || measure == SeriesMeasure::Scan;
    Groups<LocationSeries> groups;
    for (const Reading& r : readings) {
        const int sub = by_sub_location ? r.sub_location : 0;
        const int key = group_key(r.location, sub);
        const std::optional<double> value = measure_value(r, measure, celsius);
        if (key == kNoGroup || !value) {
            continue;
        }
        LocationSeries& s = groups.at(key, [&r, by_sub_location] {
            return LocationSeries{r.location, by_sub_location ? r.sub_location : -1, {}};
        });
        s.points.push_back({reading_minute(r), *value});
    }
    std::vector<LocationSeries> out = std::move(groups).ordered();
    for (LocationSeries& s : out) {
        // Readings come in the order the meter's clock bytes sort, which puts 12 AM after 1 AM.
        std::stable_sort(s.points.begin(), s.points.end(), by_minute);
    }
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
