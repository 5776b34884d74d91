#pragma once

#include "store/reading_store.h"

#include <cstdint>
#include <vector>

namespace qm {

// The locations (0..63, ascending) at which the working set holds a reading of the job. These are
// the entries of a summary's location list. Moves store.cursor.
std::vector<int> locations_in_working_set(ReadingStore& store, std::int32_t job);

// The sub-locations (0 "F", 1 "W", 2 "C", in that order) at which the working set holds a reading
// of the job at the location. Moves store.cursor.
std::vector<int> sub_locations_in_working_set(ReadingStore& store, std::int32_t job, int location);

} // namespace qm
