#pragma once

#include "store/annotations.h"
#include "store/reading.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qm {

// The readings of the current data set, the two job lists over them and the working set of the
// selected job. One instance per process (held by AppState).
struct ReadingStore {
    // Every reading, grouped by job, location, sub-location (arrival order within) after a rebuild.
    std::vector<Reading> all_readings;
    // Room a load decodes into before it replaces all_readings; it then holds the readings
    // replaced, for their room only, while they are of a like size: the next load of a like size
    // finds its pages in place.
    std::vector<Reading> spare_readings;
    // The job selection's cached view (fill_working_set): copies of the selected job's readings
    // of the managed kind, in time order. Windows that show the selected job read it.
    std::vector<Reading> working_set;
    std::array<std::int32_t, kMaxJobs> mc_jobs{};
    std::array<std::int32_t, kMaxJobs> rh_jobs{};
    std::int32_t mc_job_count = 0;
    std::int32_t rh_job_count = 0;
    // ID number (0..999) of jobs 1..5; entry job - 1 belongs to a reading's job.
    std::array<std::int32_t, kMaxJobs> job_ids{};
    // 1 when the last download produced no usable reading.
    std::int32_t no_data = 0;
    // The jobs' titles and notes; replaced with all_readings by a download or a loaded file.
    JobAnnotations annotations;
};

} // namespace qm
