#pragma once

#include "analysis/job_statistics.h"
#include "store/meter_identity.h"
#include "store/reading_store.h"
#include "summaries/summary_printout.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// What a summary window shows, without the window: the job it was opened for, a copy of that
// job's readings in time order, the location (and for MC sub-location) lists, the chosen group and
// the figures of the last recomputation. Holding its own copy keeps a summary on its job when the
// user selects another job while it is open: it recomputes only when its own lists change and
// its printed page shows the group and figures of that recomputation.
class SummaryJob {
public:
    // The job at position job_index of the managed kind's job list, with its readings in time
    // order: the working set the job selection filled, or readings_in_time_order for that job.
    SummaryJob(const ReadingStore& store, ManagedKind kind, std::int32_t job_index,
               std::span<const Reading> job_readings);

    std::int32_t job_index() const { return job_index_; }
    std::int32_t job() const { return job_; } // 0 when the position holds no job
    // The ID number of the job (job_ids entry job - 1), 0 without a job.
    std::int32_t job_id() const { return job_id_; }

protected:
    std::vector<Reading> readings_;
    std::int32_t job_index_;
    std::int32_t job_;
    std::int32_t job_id_;
};

class McSummaryModel : public SummaryJob {
public:
    McSummaryModel(const ReadingStore& store, std::int32_t job_index,
                   std::span<const Reading> job_readings);

    // Fills the location list, picks its first entry, fills the sub-location list for it and
    // computes the figures: what opening the window does.
    void open(const MaterialList& materials, std::int32_t international_date);
    // A choice from the location list (a list position): refills the sub-location list, picks its
    // first entry and recomputes. A position outside the list changes nothing.
    void choose_location(int list_position, const MaterialList& materials,
                         std::int32_t international_date);
    // A choice from the sub-location list: recomputes for that sub-location.
    void choose_sub_location(int list_position, const MaterialList& materials,
                             std::int32_t international_date);

    // Computes the figures of the chosen group again under the options now in force.
    void recompute(const MaterialList& materials, std::int32_t international_date);

    const std::vector<int>& locations() const { return locations_; }
    const std::vector<int>& sub_locations() const { return sub_locations_; }
    int location() const { return location_; }
    int sub_location() const { return sub_location_; }
    const JobStatistics& statistics() const { return stats_; }

    SummaryPage page(int width, int height, std::string_view model_name, std::string_view job_entry,
                     std::string_view notes) const;

private:
    void fill_sub_locations();

    std::vector<int> locations_;
    std::vector<int> sub_locations_;
    int location_ = 0;
    int sub_location_ = 0;
    JobStatistics stats_;
};

class RhSummaryModel : public SummaryJob {
public:
    RhSummaryModel(const ReadingStore& store, std::int32_t job_index,
                   std::span<const Reading> job_readings);

    // Fills the location list, picks its first entry and computes the figures.
    void open(std::int32_t celsius, std::int32_t international_date);
    // A choice from the location list: recomputes for that location.
    void choose_location(int list_position, std::int32_t celsius, std::int32_t international_date);
    // Computes the figures of the chosen location again under the options now in force.
    void recompute(std::int32_t celsius, std::int32_t international_date);

    const std::vector<int>& locations() const { return locations_; }
    int location() const { return location_; }
    const JobStatistics& statistics() const { return stats_; }
    // The unit of the last recomputation: labels and values change together.
    std::int32_t celsius() const { return celsius_; }

    SummaryPage page(int width, int height, std::string_view model_name, std::string_view job_entry,
                     std::string_view notes) const;

private:
    std::vector<int> locations_;
    int location_ = 0;
    std::int32_t celsius_ = 0;
    JobStatistics stats_;
};

} // namespace qm
