#pragma once

#include "store/lookup_tables.h"
#include "store/reading_store.h"
#include "store/session_state.h"

#include <cstdint>

namespace qm {

// Kind filters with a fixed meaning: in find_next_in_store, 5 = every kind but RH/T and
// 6 = every kind; in find_next_in_working_set, 5 = every kind.
constexpr std::int32_t kKindFilterNotRh = 5;
constexpr std::int32_t kKindFilterAny = 6;
// Sub-location that makes find_next_in_working_set match on job and location alone.
constexpr std::int32_t kAnySubLocation = 999;

// fill_working_set modes.
constexpr std::int32_t kModeRhPosition = 0; // RH/T readings of entry n of rh_jobs
constexpr std::int32_t kModeMcPosition = 1; // moisture readings of entry n of mc_jobs
constexpr std::int32_t kModeRhJob = 3;      // RH/T readings of job number n

// A reading every table can name: job 1..5, location 0..63, sub-location 0..2, material 0..15.
// Downloads hold no other; save files of older programs may. Such readings stay in all_readings
// (and in saves of their job), but no job list, working set or find_next_in_store walk reaches
// them, so views, summaries and exports never see them.
bool in_tables(const Reading& r);

// Orders all_readings by job, location, sub-location (arrival order kept within) and rebuilds
// mc_jobs / rh_jobs with their counts from the readings in_tables.
void rebuild_job_lists(ReadingStore& store);

// Replaces working_set with one job's readings of one kind that are in_tables, in time order.
// Any other mode, or a position past the list, leaves it empty.
void fill_working_set(ReadingStore& store, std::int32_t n, std::int32_t mode);

// Moves cursor (over all_readings) to the next reading of job that passes the kind filter and is
// in_tables.
bool find_next_in_store(ReadingStore& store, std::int32_t job, std::int32_t kind_filter);

// Moves cursor (over working_set) to the next reading of the job / kind / location /
// sub-location; sub-location 999 matches job and location alone.
bool find_next_in_working_set(ReadingStore& store, std::int32_t job, std::int32_t kind_filter,
                              std::int32_t location, std::int32_t sub_location);

// True when a reading orders strictly before another in time (raw hour_code comparison).
bool earlier_in_time(const Reading& a, const Reading& b);

// The job at a position of the managed kind's job list; 0 past the list's count, for a position
// outside 0..4 and for a kind without a list.
std::int32_t job_at_position(const ReadingStore& store, ManagedKind kind, std::int32_t position);

// The entry of the managed kind's job list at a position 0..4, whatever the list's count; 0
// outside 0..4 and for a kind without a list. The wizard's Back to the start page sets the counts
// to 0 and keeps the entries and the readings, so that a save or the notes of a window left open
// still find their job.
std::int32_t job_at_slot(const ReadingStore& store, ManagedKind kind, std::int32_t position);

// The ID number of a job (job_ids entry job - 1); 0 for a job number outside 1..5.
std::int32_t job_id_of(const ReadingStore& store, std::int32_t job);

// Position of job in a job list, or -1.
int position_in_list(const std::array<std::int32_t, kMaxJobs>& list, std::int32_t count,
                     std::int32_t job);

} // namespace qm
