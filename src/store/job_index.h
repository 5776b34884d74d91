#pragma once

#include "store/lookup_tables.h"
#include "store/reading_store.h"
#include "store/session_state.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <tuple>
#include <vector>

namespace qm {

// Which readings of a job a query takes.
enum class KindFilter {
    Rh,  // RH/T readings
    Mc,  // moisture readings: every kind but RH/T
    Any, // every kind
};

// A reading every table can name: job 1..5, location 0..63, sub-location 0..2, material 0..15.
// Downloads hold no other; the save format can. Such readings stay in all_readings
// (and in saves of their job), but no job list, working set or query reaches them, so views,
// summaries and exports never see them.
bool in_tables(const Reading& r);

// Builds both job lists while the readings of an array are met in order, and notes whether the
// array is grouped by job, location and sub-location: the walk rebuild_job_lists makes over an
// array that is, folded into a walk that meets the readings anyway (a load).
class JobListsInOrder {
public:
    void add(const Reading& r) {
        if (met_ && r.job == job_ && r.location == location_ && r.sub_location == sub_) {
            // The group of the reading before: the order holds.
            (is_rh(r) ? rh_ : mc_).add(r);
            return;
        }
        if (grouped_ && met_ &&
            std::tie(r.job, r.location, r.sub_location) < std::tie(job_, location_, sub_)) {
            grouped_ = false;
        }
        met_ = true;
        job_ = r.job;
        location_ = r.location;
        sub_ = r.sub_location;
        (is_rh(r) ? rh_ : mc_).add(r);
    }
    bool grouped() const { return grouped_; }
    // Sets the store's job lists and counts; only meaningful when grouped().
    void set_lists(ReadingStore& store) const;

private:
    // The jobs of one kind in the order they appear in a grouped array.
    struct List {
        std::array<std::int32_t, kMaxJobs> jobs{};
        std::int32_t count = 0;
        void add(const Reading& r) {
            // The array is grouped by job, so a change of job is a new list entry; listed jobs
            // are 1..5, so the list never overflows.
            if ((count != 0 && jobs[static_cast<std::size_t>(count - 1)] == r.job) ||
                count == kMaxJobs || !in_tables(r)) {
                return;
            }
            jobs[static_cast<std::size_t>(count++)] = r.job;
        }
    };
    List mc_;
    List rh_;
    bool grouped_ = true;
    bool met_ = false;
    std::int32_t job_ = 0;
    std::int32_t location_ = 0;
    std::int32_t sub_ = 0;
};

// Orders all_readings by job, location, sub-location (arrival order kept within) and rebuilds
// mc_jobs / rh_jobs with their counts from the readings in_tables.
void rebuild_job_lists(ReadingStore& store);

// Every reading of the job in all_readings that passes the filter and is in_tables, as positions
// in all_readings, in its order (by location and sub-location, in arrival order within, after a
// rebuild).
std::vector<std::size_t> job_readings(const ReadingStore& store, std::int32_t job,
                                      KindFilter filter);

// How many readings job_readings finds.
std::size_t count_readings(const ReadingStore& store, std::int32_t job, KindFilter filter);

// Copies of the job's readings that pass the filter and are in_tables, in time order (ties in
// all_readings order). They are taken from the run of consecutive readings of the job that starts
// at its first reading in all_readings: after a rebuild, every reading of the job.
std::vector<Reading> readings_in_time_order(const ReadingStore& store, std::int32_t job,
                                            KindFilter filter);

// Positions in all_readings, grouped: group g holds positions[group_start[g] .. group_start[g +
// 1]).
struct GroupedPositions {
    std::vector<std::uint32_t> positions;
    std::vector<std::uint32_t> group_start;
};

// The readings readings_in_time_order takes, as positions in all_readings, ordered by their group
// (group_of gives 0 .. group_count - 1, or kNoGroup to leave a reading out), then by time, ties in
// all_readings order: the order of group_order over readings_in_time_order, without copying a
// reading. At most UINT32_MAX readings.
GroupedPositions grouped_in_time_order(const ReadingStore& store, std::int32_t job,
                                       KindFilter filter, std::size_t group_count,
                                       std::uint32_t (*group_of)(const Reading&));

// The job selection's cached view: replaces working_set with the readings in time order of the
// job at a position of the managed kind's job list (job_at_slot). Both kinds, another value or a
// position outside 0..4 leave it empty.
void fill_working_set(ReadingStore& store, std::int32_t position, ManagedKind kind);

// The locations (0..63, ascending) at which the readings hold a reading of the job: the entries of
// a summary's location list.
std::vector<int> locations_of(std::span<const Reading> readings, std::int32_t job);

// The sub-locations (0 "F", 1 "W", 2 "C", in that order) at which the readings hold a reading of
// the job at the location.
std::vector<int> sub_locations_of(std::span<const Reading> readings, std::int32_t job,
                                  int location);

// One group of a summary: copies of the readings of the job at the location, and at the
// sub-location when one is given, in the order they stand.
std::vector<Reading> group_readings(std::span<const Reading> readings, std::int32_t job,
                                    int location, std::optional<int> sub_location = std::nullopt);

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
