#include "store/job_index.h"

#include "store/group_order.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <tuple>

namespace qm {

namespace {

constexpr auto key_less = [](const Reading& a, const Reading& b) {
    return std::tie(a.job, a.location, a.sub_location) <
           std::tie(b.job, b.location, b.sub_location);
};

// The job lists of an array, and whether it is grouped, from one walk of it.
JobListsInOrder walk(const std::vector<Reading>& readings) {
    JobListsInOrder lists;
    for (const Reading& r : readings) {
        lists.add(r);
    }
    return lists;
}

// Large arrays whose keys fall in these ranges (every reading of a download or a valid file) are
// grouped with one stable counting sort; anything else takes the general stable sort.
constexpr std::uint32_t kJobKeys = 8;
constexpr std::uint32_t kLocationKeys = 64;
constexpr std::uint32_t kSubLocationKeys = 4;
constexpr std::size_t kBucketCount = kJobKeys * kLocationKeys * kSubLocationKeys;

std::uint32_t group_key(const Reading& r) {
    if (r.job < 0 || r.job >= static_cast<std::int32_t>(kJobKeys) || r.location < 0 ||
        r.location >= static_cast<std::int32_t>(kLocationKeys) || r.sub_location < 0 ||
        r.sub_location >= static_cast<std::int32_t>(kSubLocationKeys)) {
        return kNoGroup;
    }
    return (static_cast<std::uint32_t>(r.job) * kLocationKeys +
            static_cast<std::uint32_t>(r.location)) *
               kSubLocationKeys +
           static_cast<std::uint32_t>(r.sub_location);
}

// Below this size the buckets cost more than they save.
constexpr std::size_t kCountingSortMinimum = 2048;

bool group_by_counting(std::vector<Reading>& readings) {
    if (readings.size() < kCountingSortMinimum || readings.size() > UINT32_MAX) {
        return false;
    }
    const std::vector<std::uint32_t> order = group_order(readings, kBucketCount, group_key);
    if (order.size() != readings.size()) {
        return false; // a key outside the buckets
    }
    readings = gathered(readings, order);
    return true;
}

// The time fields of a reading as one number ordered as earlier_in_time orders them, when every
// field fits in a byte (every reading a meter sends); nullopt otherwise.
std::optional<std::uint64_t> packed_time(const Reading& r) {
    const std::int32_t fields[] = {r.year, r.month, r.day, r.hour_code, r.minute};
    std::uint64_t key = 0;
    for (const std::int32_t f : fields) {
        if (f < 0 || f > 0xFF) {
            return std::nullopt;
        }
        key = key << 8 | static_cast<std::uint64_t>(f);
    }
    return key;
}

// Orders values by keys (the same length), stably, with a least-significant-first radix sort over
// the keys' low key_bytes bytes; bytes that every key shares are skipped. The spare vectors are
// working room, reused between calls.
void radix_sort_by_key(std::span<std::uint32_t> values, std::span<std::uint64_t> keys,
                       int key_bytes, std::vector<std::uint32_t>& spare_values,
                       std::vector<std::uint64_t>& spare_keys) {
    const std::size_t n = values.size();
    spare_values.resize(std::max(spare_values.size(), n));
    spare_keys.resize(std::max(spare_keys.size(), n));
    std::uint32_t* from_values = values.data();
    std::uint64_t* from_keys = keys.data();
    std::uint32_t* to_values = spare_values.data();
    std::uint64_t* to_keys = spare_keys.data();
    for (int byte = 0; byte < key_bytes; ++byte) {
        const int shift = 8 * byte;
        std::array<std::size_t, 257> start{};
        for (std::size_t k = 0; k < n; ++k) {
            ++start[((from_keys[k] >> shift) & 0xFF) + 1];
        }
        if (std::find(start.begin(), start.end(), n) != start.end()) {
            continue;
        }
        for (std::size_t b = 1; b < start.size(); ++b) {
            start[b] += start[b - 1];
        }
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t at = start[(from_keys[k] >> shift) & 0xFF]++;
            to_values[at] = from_values[k];
            to_keys[at] = from_keys[k];
        }
        std::swap(from_values, to_values);
        std::swap(from_keys, to_keys);
    }
    if (from_values != values.data()) {
        std::copy_n(from_values, n, values.data());
        std::copy_n(from_keys, n, keys.data());
    }
}

// Below this size the comparison sort is as quick.
constexpr std::size_t kRadixSortMinimum = 256;

// Appends the picked readings to out in time order, with a stable radix sort over the five time
// bytes, least significant first, so that each reading is copied once. Returns false, leaving out
// as it was, when a time field does not fit in a byte.
bool copy_in_time_order(const std::vector<const Reading*>& picked, std::vector<Reading>& out) {
    const std::size_t n = picked.size();
    if (n < kRadixSortMinimum || n > UINT32_MAX) {
        return false;
    }
    std::vector<std::uint64_t> keys(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::optional<std::uint64_t> key = packed_time(*picked[i]);
        if (!key) {
            return false;
        }
        keys[i] = *key;
    }
    std::vector<std::uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i) {
        order[i] = static_cast<std::uint32_t>(i);
    }
    std::vector<std::uint32_t> spare_values;
    std::vector<std::uint64_t> spare_keys;
    radix_sort_by_key(order, keys, 5, spare_values, spare_keys);
    out.reserve(out.size() + n);
    for (const std::uint32_t i : order) {
        out.push_back(*picked[i]);
    }
    return true;
}

} // namespace

bool in_tables(const Reading& r) {
    return r.job >= 1 && r.job <= kMaxJobs && r.location >= 0 && r.location < kLocationCount &&
           r.sub_location >= 0 && r.sub_location < kSubLocationCount && r.material >= 0 &&
           r.material < kMaterialCount;
}

namespace {

// The values 0 .. count - 1 of a field that the matching readings hold, ascending.
template <int count, typename Match>
std::vector<int> values_held(std::span<const Reading> readings, Match match,
                             std::int32_t Reading::*field) {
    std::array<bool, count> held{};
    for (const Reading& r : readings) {
        const std::int32_t value = r.*field;
        if (value >= 0 && value < count && match(r)) {
            held[static_cast<std::size_t>(value)] = true;
        }
    }
    std::vector<int> values;
    for (int value = 0; value < count; ++value) {
        if (held[static_cast<std::size_t>(value)]) {
            values.push_back(value);
        }
    }
    return values;
}

// A reading of the job that passes the filter and that the tables can name.
bool of_job(const Reading& r, std::int32_t job, KindFilter filter) {
    if (r.job != job || !in_tables(r)) {
        return false;
    }
    switch (filter) {
    case KindFilter::Rh:
        return is_rh(r);
    case KindFilter::Mc:
        return !is_rh(r);
    case KindFilter::Any:
        break;
    }
    return true;
}

} // namespace

void rebuild_job_lists(ReadingStore& store) {
    // One stable sort by the composite key gives the same order as three stable sorts by
    // sub-location, then location, then job.
    // Readings that are already grouped (a loaded save file, a decoded download) stay as they
    // are, and the walk that finds so builds the job lists on the way.
    if (const JobListsInOrder lists = walk(store.all_readings); lists.grouped()) {
        lists.set_lists(store);
        return;
    }
    if (!group_by_counting(store.all_readings)) {
        std::stable_sort(store.all_readings.begin(), store.all_readings.end(), key_less);
    }
    walk(store.all_readings).set_lists(store);
}

void JobListsInOrder::set_lists(ReadingStore& store) const {
    store.mc_jobs = mc_.jobs;
    store.mc_job_count = mc_.count;
    store.rh_jobs = rh_.jobs;
    store.rh_job_count = rh_.count;
}

bool earlier_in_time(const Reading& a, const Reading& b) {
    return std::tie(a.year, a.month, a.day, a.hour_code, a.minute) <
           std::tie(b.year, b.month, b.day, b.hour_code, b.minute);
}

std::vector<std::size_t> job_readings(const ReadingStore& store, std::int32_t job,
                                      KindFilter filter) {
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < store.all_readings.size(); ++i) {
        if (of_job(store.all_readings[i], job, filter)) {
            found.push_back(i);
        }
    }
    return found;
}

std::size_t count_readings(const ReadingStore& store, std::int32_t job, KindFilter filter) {
    return static_cast<std::size_t>(
        std::count_if(store.all_readings.begin(), store.all_readings.end(),
                      [&](const Reading& r) { return of_job(r, job, filter); }));
}

std::vector<Reading> readings_in_time_order(const ReadingStore& store, std::int32_t job,
                                            KindFilter filter) {
    const auto& all = store.all_readings;
    auto first =
        std::find_if(all.begin(), all.end(), [job](const Reading& r) { return r.job == job; });
    std::vector<const Reading*> picked;
    for (auto it = first; it != all.end() && it->job == job; ++it) {
        if (of_job(*it, job, filter)) {
            picked.push_back(&*it);
        }
    }
    std::vector<Reading> readings;
    if (!copy_in_time_order(picked, readings)) {
        for (const Reading* r : picked) {
            readings.push_back(*r);
        }
        std::stable_sort(readings.begin(), readings.end(), earlier_in_time);
    }
    return readings;
}

GroupedPositions grouped_in_time_order(const ReadingStore& store, std::int32_t job,
                                       KindFilter filter, std::size_t group_count,
                                       std::uint32_t (*group_of)(const Reading&)) {
    const auto& all = store.all_readings;
    std::size_t i = static_cast<std::size_t>(
        std::find_if(all.begin(), all.end(), [job](const Reading& r) { return r.job == job; }) -
        all.begin());
    // Each reading taken, with its group and its time key, counted per group.
    std::vector<std::uint32_t> taken;
    std::vector<std::uint32_t> groups;
    std::vector<std::uint64_t> times;
    // Room for the rest of the array: reserved, not touched, so no growth copies the lists.
    taken.reserve(all.size() - i);
    groups.reserve(all.size() - i);
    times.reserve(all.size() - i);
    GroupedPositions grouped;
    grouped.group_start.assign(group_count + 1, 0);
    bool packed = true;
    for (; i < all.size() && all[i].job == job; ++i) {
        const std::uint32_t group = of_job(all[i], job, filter) ? group_of(all[i]) : kNoGroup;
        if (group == kNoGroup) {
            continue;
        }
        const std::optional<std::uint64_t> time = packed_time(all[i]);
        packed = packed && time.has_value();
        ++grouped.group_start[group + 1];
        taken.push_back(static_cast<std::uint32_t>(i));
        groups.push_back(group);
        times.push_back(time.value_or(0));
    }
    for (std::size_t g = 1; g <= group_count; ++g) {
        grouped.group_start[g] += grouped.group_start[g - 1];
    }
    // A stable counting sort by group, then each group by time on its own: a group is small
    // enough to be sorted in the cache.
    std::vector<std::uint32_t> next(grouped.group_start.begin(), grouped.group_start.end() - 1);
    grouped.positions.resize(taken.size());
    std::vector<std::uint64_t> keys(taken.size());
    for (std::size_t k = 0; k < taken.size(); ++k) {
        const std::uint32_t at = next[groups[k]]++;
        grouped.positions[at] = taken[k];
        keys[at] = times[k];
    }
    std::vector<std::uint32_t> spare_values;
    std::vector<std::uint64_t> spare_keys;
    for (std::size_t g = 0; g < group_count; ++g) {
        const std::size_t first = grouped.group_start[g];
        const std::size_t size = grouped.group_start[g + 1] - first;
        const std::span<std::uint32_t> members(grouped.positions.data() + first, size);
        if (packed && size >= kRadixSortMinimum) {
            radix_sort_by_key(members, std::span(keys.data() + first, size), 5, spare_values,
                              spare_keys);
        } else {
            std::stable_sort(members.begin(), members.end(),
                             [&all](std::uint32_t a, std::uint32_t b) {
                                 return earlier_in_time(all[a], all[b]);
                             });
        }
    }
    return grouped;
}

void fill_working_set(ReadingStore& store, std::int32_t position, ManagedKind kind) {
    const std::int32_t job = job_at_slot(store, kind, position);
    store.working_set =
        job == 0 ? std::vector<Reading>{}
                 : readings_in_time_order(
                       store, job, kind == ManagedKind::Mc ? KindFilter::Mc : KindFilter::Rh);
}

std::vector<int> locations_of(std::span<const Reading> readings, std::int32_t job) {
    return values_held<kLocationCount>(
        readings, [job](const Reading& r) { return r.job == job; }, &Reading::location);
}

std::vector<int> sub_locations_of(std::span<const Reading> readings, std::int32_t job,
                                  int location) {
    return values_held<kSubLocationCount>(
        readings,
        [job, location](const Reading& r) { return r.job == job && r.location == location; },
        &Reading::sub_location);
}

std::vector<Reading> group_readings(std::span<const Reading> readings, std::int32_t job,
                                    int location, std::optional<int> sub_location) {
    std::vector<Reading> group;
    for (const Reading& r : readings) {
        if (r.job == job && r.location == location &&
            (!sub_location || r.sub_location == *sub_location)) {
            group.push_back(r);
        }
    }
    return group;
}

std::int32_t job_at_slot(const ReadingStore& store, ManagedKind kind, std::int32_t position) {
    if (position < 0 || position >= kMaxJobs) {
        return 0;
    }
    const auto slot = static_cast<std::size_t>(position);
    switch (kind) {
    case ManagedKind::Mc:
        return store.mc_jobs[slot];
    case ManagedKind::Rh:
        return store.rh_jobs[slot];
    default:
        return 0;
    }
}

std::int32_t job_at_position(const ReadingStore& store, ManagedKind kind, std::int32_t position) {
    const std::int32_t count = kind == ManagedKind::Mc   ? store.mc_job_count
                               : kind == ManagedKind::Rh ? store.rh_job_count
                                                         : 0;
    return position < count ? job_at_slot(store, kind, position) : 0;
}

std::int32_t job_id_of(const ReadingStore& store, std::int32_t job) {
    return job >= 1 && job <= kMaxJobs ? store.job_ids[static_cast<std::size_t>(job - 1)] : 0;
}

int position_in_list(const std::array<std::int32_t, kMaxJobs>& list, std::int32_t count,
                     std::int32_t job) {
    for (int i = 0; i < count && i < kMaxJobs; ++i) {
        if (list[static_cast<std::size_t>(i)] == job) {
            return i;
        }
    }
    return -1;
}

} // namespace qm
