#include "summaries/summary_groups.h"

#include "store/job_index.h"
#include "store/lookup_tables.h"

namespace qm {

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
