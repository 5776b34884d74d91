#include "summaries/summary_groups.h"

#include "store/job_index.h"
#include "store/lookup_tables.h"

namespace qm {

std::int32_t job_at_position(const ReadingStore& store, std::int32_t management_type,
                             std::int32_t position) {
    if (position < 0 || position >= kMaxJobs) {
        return 0;
    }
    const auto index = static_cast<std::size_t>(position);
    if (management_type == 1) {
        return position < store.mc_job_count ? store.mc_jobs[index] : 0;
    }
    if (management_type == 0) {
        return position < store.rh_job_count ? store.rh_jobs[index] : 0;
    }
    return 0;
}

std::vector<int> locations_in_working_set(ReadingStore& store, std::int32_t job) {
    std::vector<int> locations;
    for (int location = 0; location < kLocationCount; ++location) {
        store.cursor = 0;
        if (find_next_in_working_set(store, job, kKindFilterNotRh, location, kAnySubLocation)) {
            locations.push_back(location);
        }
    }
    return locations;
}

std::vector<int> sub_locations_in_working_set(ReadingStore& store, std::int32_t job, int location) {
    std::vector<int> sub_locations;
    for (int sub = 0; sub < kSubLocationCount; ++sub) {
        store.cursor = 0;
        // Filter 5 passes every kind in the working set.
        if (find_next_in_working_set(store, job, kKindFilterNotRh, location, sub)) {
            sub_locations.push_back(sub);
        }
    }
    return sub_locations;
}

} // namespace qm
