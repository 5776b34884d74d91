#include "projects/monitoring_points.h"

#include "projects/drying_days.h"
#include "store/job_index.h"
#include "store/lookup_tables.h"
#include "store/meter_identity.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace qm {

namespace {

constexpr std::uint64_t kPointShift = 32;
constexpr std::uint64_t kDayShift = 11; // below it the minute of the day, 0..1439
// Day numbers of two-digit years (and of damaged ones, up to year 2165) stay below this.
constexpr std::int64_t kDayLimit = std::int64_t{1} << (kPointShift - kDayShift);
constexpr std::uint64_t kMaterialBits = 16;

// A reading on its way into a history: the sort key (point, day, minute) and its place in the
// jobs' order.
struct Entry {
    std::uint64_t key = 0;
    std::uint32_t order = 0;
};

PointScale scale_of(const Reading& r) {
    return is_rh(r) ? PointScale::Air : r.kind < Scan ? PointScale::Pin : PointScale::Scan;
}

// Numbers the materials of every job by name, so that two meter models that call a material the
// same share the point, and builds the points as they are met.
class PointTable {
public:
    // The material numbers of a job's material list, by material index.
    std::array<std::uint32_t, kMaterialCount> materials_of(std::string_view model) {
        MeterIdentity meter;
        meter.set_model(model);
        meter.apply_model_rules();
        std::array<std::uint32_t, kMaterialCount> ids{};
        for (int m = 0; m < kMaterialCount; ++m) {
            const std::string name(material_name(meter.active_materials, m));
            ids[static_cast<std::size_t>(m)] =
                materials_.try_emplace(name, static_cast<std::uint32_t>(materials_.size()))
                    .first->second;
            names_.resize(materials_.size());
            names_[ids[static_cast<std::size_t>(m)]] = name;
        }
        return ids;
    }
    // The point number of a reading, given its job's material numbers.
    std::uint32_t point_of(const Reading& r, std::uint32_t material) {
        const PointScale scale = scale_of(r);
        const bool air = scale == PointScale::Air;
        const std::uint64_t place = (static_cast<std::uint64_t>(scale) * kLocationCount +
                                     static_cast<std::uint64_t>(r.location)) *
                                        kSubLocationCount +
                                    static_cast<std::uint64_t>(air ? 0 : r.sub_location);
        const std::uint64_t code = place << kMaterialBits | (air ? 0 : material);
        const auto [it, added] =
            points_.try_emplace(code, static_cast<std::uint32_t>(list_.size()));
        if (added) {
            list_.push_back({scale, r.location, air ? -1 : r.sub_location,
                             air ? std::string() : names_[material]});
        }
        return it->second;
    }
    const MonitoringPoint& point(std::uint32_t n) const { return list_[n]; }

private:
    std::unordered_map<std::string, std::uint32_t> materials_;
    std::vector<std::string> names_;
    std::unordered_map<std::uint64_t, std::uint32_t> points_;
    std::vector<MonitoringPoint> list_;
};

// The fields by which the same reading is known in two visits. A pin reading without a
// temperature of its own is given the last one decoded before it, which depends on what came
// before it in its download, so its temperature does not tell two readings apart.
bool same_reading(const Reading& a, const AttachedJob& ja, const Reading& b,
                  const AttachedJob& jb) {
    return ja.meter_model == jb.meter_model && ja.job_id == jb.job_id && a.kind == b.kind &&
           a.location == b.location && a.sub_location == b.sub_location &&
           a.material == b.material && a.year == b.year && a.month == b.month && a.day == b.day &&
           a.hour_code == b.hour_code && a.minute == b.minute && a.mc == b.mc && a.rh == b.rh &&
           a.temperature == b.temperature &&
           (a.kind != PinWithTemperature || a.pin_temperature == b.pin_temperature);
}

// The readings of the points' scale, each with its job, and their entries in the order of
// point, day, minute and place in the jobs' order.
struct Gathered {
    struct Met {
        const Reading* reading;
        std::uint32_t job;
    };
    std::vector<Entry> entries;
    std::vector<Met> met; // by Entry::order
};

Gathered gather(std::span<const AttachedJob> jobs, bool air, PointTable& table) {
    Gathered g;
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        const auto materials = table.materials_of(jobs[j].meter_model);
        for (const Reading& r : jobs[j].readings) {
            if (is_rh(r) != air || !in_tables(r)) {
                continue;
            }
            const std::uint32_t point =
                table.point_of(r, materials[static_cast<std::size_t>(r.material)]);
            const std::int64_t day = std::clamp<std::int64_t>(reading_day(r), 0, kDayLimit - 1);
            g.entries.push_back({static_cast<std::uint64_t>(point) << kPointShift |
                                     static_cast<std::uint64_t>(day) << kDayShift |
                                     static_cast<std::uint64_t>(reading_minute_of_day(r)),
                                 static_cast<std::uint32_t>(g.met.size())});
            g.met.push_back({&r, static_cast<std::uint32_t>(j)});
        }
    }
    std::sort(g.entries.begin(), g.entries.end(), [](const Entry& a, const Entry& b) {
        return a.key != b.key ? a.key < b.key : a.order < b.order;
    });
    return g;
}

// The readings met so far in one minute of one point, by the fields that tell two readings
// apart: a reading met again is a copy of it that another visit holds. Hashed, so that a minute
// of many readings (visits read on one day at one minute) costs one look-up per reading.
class MinuteCopies {
public:
    MinuteCopies(const Gathered& g, std::span<const AttachedJob> jobs)
        : met_(0, Hash{g, jobs}, Same{g, jobs}) {}
    // Whether the entry's reading was met before; keeps it for the next ones.
    bool seen(std::uint32_t order) {
        if (!met_.insert(order).second) {
            return true;
        }
        kept_.push_back(order);
        return false;
    }
    // Forgets the minute's readings one by one: clearing the whole table would cost its buckets,
    // as many as the largest minute's readings, at every minute.
    void clear() {
        for (const std::uint32_t order : kept_) {
            met_.erase(order);
        }
        kept_.clear();
    }

private:
    struct Hash {
        const Gathered& g;
        std::span<const AttachedJob> jobs;
        std::size_t operator()(std::uint32_t order) const {
            const Gathered::Met& m = g.met[order];
            const Reading& r = *m.reading;
            // Equal values hash alike: 0.0 and -0.0 compare equal, so both hash as 0.
            const auto bits = [](double v) { return std::hash<double>{}(v == 0.0 ? 0.0 : v); };
            std::size_t h = std::hash<std::string>{}(jobs[m.job].meter_model);
            for (const std::size_t part :
                 {static_cast<std::size_t>(jobs[m.job].job_id), static_cast<std::size_t>(r.kind),
                  static_cast<std::size_t>(r.material), bits(r.mc), bits(r.rh),
                  bits(r.temperature)}) {
                h = h * 1000003u ^ part;
            }
            return h;
        }
    };
    struct Same {
        const Gathered& g;
        std::span<const AttachedJob> jobs;
        bool operator()(std::uint32_t a, std::uint32_t b) const {
            const Gathered::Met& ma = g.met[a];
            const Gathered::Met& mb = g.met[b];
            return same_reading(*ma.reading, jobs[ma.job], *mb.reading, jobs[mb.job]);
        }
    };
    std::unordered_set<std::uint32_t, Hash, Same> met_;
    std::vector<std::uint32_t> kept_;
};

} // namespace

std::string point_name(const MonitoringPoint& p) {
    std::string name(location_name(p.location));
    if (p.scale != PointScale::Air) {
        name += ',';
        name += sub_location_name(p.sub_location);
        name += '/';
        name += p.material;
    }
    return name;
}

std::vector<PointHistory> point_histories(std::span<const AttachedJob> jobs, bool air) {
    PointTable table;
    const Gathered g = gather(jobs, air, table);
    std::vector<PointHistory> out;
    MinuteCopies copies(g, jobs);
    std::uint64_t last_point = UINT64_MAX;
    for (std::size_t i = 0; i < g.entries.size(); ++i) {
        const Entry& e = g.entries[i];
        const Reading& r = *g.met[e.order].reading;
        if (e.key >> kPointShift != last_point) {
            last_point = e.key >> kPointShift;
            out.push_back({table.point(static_cast<std::uint32_t>(last_point)), 0, {}});
        }
        const bool first_of_minute = i == 0 || g.entries[i - 1].key != e.key;
        const bool alone =
            first_of_minute && (i + 1 == g.entries.size() || g.entries[i + 1].key != e.key);
        if (first_of_minute) {
            copies.clear();
        }
        PointHistory& h = out.back();
        // Most readings are alone in their minute: no copy to look for.
        h.readings += !alone && copies.seen(e.order) ? 0 : 1;
        const auto day = static_cast<std::int64_t>((e.key >> kDayShift) &
                                                   static_cast<std::uint64_t>(kDayLimit - 1));
        if (h.days.empty() || h.days.back().day != day) {
            h.days.push_back({day, r});
        } else {
            h.days.back().reading = r; // later by the clock, or later in the jobs' order
        }
    }
    std::sort(out.begin(), out.end(),
              [](const PointHistory& a, const PointHistory& b) { return a.point < b.point; });
    return out;
}

const PointHistory* find_history(std::span<const PointHistory> histories,
                                 const MonitoringPoint& point) {
    const auto it = std::lower_bound(
        histories.begin(), histories.end(), point,
        [](const PointHistory& h, const MonitoringPoint& p) { return h.point < p; });
    return it != histories.end() && it->point == point ? &*it : nullptr;
}

const Reading* reading_on(const PointHistory& history, std::int64_t day) {
    const auto it =
        std::lower_bound(history.days.begin(), history.days.end(), day,
                         [](const PointDay& d, std::int64_t wanted) { return d.day < wanted; });
    return it != history.days.end() && it->day == day ? &it->reading : nullptr;
}

} // namespace qm
