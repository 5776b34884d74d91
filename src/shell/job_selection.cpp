#include "shell/job_selection.h"

#include "analysis/job_statistics.h"
#include "store/job_index.h"
#include "text/reading_time.h"

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

constexpr std::int32_t kMaxSelectedEntries = 255;

// Readings of job j and the managed kind in the run of consecutive readings of that job that
// starts at its first reading in the store.
int count_job_readings(const ReadingStore& store, std::int32_t job, bool rh) {
    const auto& all = store.all_readings;
    auto it =
        std::find_if(all.begin(), all.end(), [job](const Reading& r) { return r.job == job; });
    int count = 0;
    for (; it != all.end() && it->job == job; ++it) {
        if (is_rh(*it) == rh) {
            ++count;
        }
    }
    return count;
}

} // namespace

std::string job_entry_text(std::int32_t job) {
    char text[32];
    std::snprintf(text, sizeof text, "Job #%i", job);
    return text;
}

std::string job_list_entry(const ReadingStore& store, ManagedKind kind, std::int32_t job) {
    if (const std::optional<RecordKind> records = record_kind(kind)) {
        if (const std::string& title = store.annotations.title(*records, job); !title.empty()) {
            return title;
        }
    }
    return job_entry_text(job);
}

QuickJobInfo show_job_info(ReadingStore& store, WizardState& wizard, Selection& selection,
                           std::span<const int> positions, std::string_view entry_text,
                           std::int32_t international_date) {
    selection.selected_jobs.fill(0);
    const auto kept = std::min<std::size_t>(positions.size(), kMaxSelectedEntries);
    std::copy_n(positions.begin(), kept, selection.selected_jobs.begin());
    selection.selected_count = static_cast<std::int32_t>(kept);
    wizard.fromFile = false;
    selection.current_job_index = selection.selected_jobs[0];

    QuickJobInfo info;
    const ManagedKind kind = wizard.management_type;
    const int index = selection.current_job_index;
    if (selection.selected_count != 1 || (kind != ManagedKind::Mc && kind != ManagedKind::Rh) ||
        index < 0 || index >= kMaxJobs) {
        return info;
    }
    const std::int32_t job = job_at_slot(store, kind, index);
    const int count = count_job_readings(store, job, kind == ManagedKind::Rh);
    fill_working_set(store, index, kind);

    char text[300];
    std::snprintf(text, sizeof text, "%i", count);
    info.count = text;
    if (!store.working_set.empty()) {
        info.first = format_reading_date_time(store.working_set.front(), international_date);
        info.last = format_reading_date_time(store.working_set.back(), international_date);
    }
    std::snprintf(text, sizeof text, "%.*s       ID#%i", static_cast<int>(entry_text.size()),
                  entry_text.data(), job_id_of(store, job));
    info.caption = text;
    return info;
}

} // namespace qm
