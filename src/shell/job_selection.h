#pragma once

#include "store/reading_store.h"
#include "store/session_state.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qm {

// The side panel's quick job info: number of readings, first and last reading, job caption
// (Windows-1252 texts).
struct QuickJobInfo {
    std::string count = "----";
    std::string first = "----";
    std::string last = "----";
    std::string caption = "Job ---";
};

// Records a new job-list selection (list positions, ascending; at most 255 are kept), clears
// fromFile and sets current_job_index to the first selected position. With exactly one job
// selected and RH/T or MC managed, fills the working set with that job's readings of the managed
// kind in time order and returns its quick job info; otherwise the working set stays as it was
// and the info reads "----" and "Job ---". entry_text is the list entry of the selected job.
QuickJobInfo show_job_info(ReadingStore& store, WizardState& wizard, Selection& selection,
                           std::span<const int> positions, std::string_view entry_text,
                           std::int32_t international_date);

// The list entry of a job number: "Job #%i".
std::string job_entry_text(std::int32_t job);

// The job list's entry for a job of the managed kind: the job's title when it has one (it stays
// with the job number whenever the list is filled again), else "Job #%i".
std::string job_list_entry(const ReadingStore& store, ManagedKind kind, std::int32_t job);

} // namespace qm
