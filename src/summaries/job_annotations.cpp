#include "summaries/job_annotations.h"

namespace qm {

int annotation_position(const JobListLink& list) {
    const std::vector<int> selected = list.selected_positions();
    return selected.empty() ? 0 : selected.front();
}

bool annotation_allowed(const JobListLink& list) {
    return list.selected_positions().size() <= 1;
}

std::int32_t annotated_job(const ReadingStore& store, std::int32_t management_type, int position) {
    const std::optional<RecordKind> kind = record_kind(management_type);
    if (!kind || position < 0 || position >= kMaxJobs) {
        return 0;
    }
    const auto& jobs = *kind == RecordKind::Mc ? store.mc_jobs : store.rh_jobs;
    return jobs[static_cast<std::size_t>(position)];
}

std::string job_notes(const ReadingStore& store, std::int32_t management_type, int position) {
    const std::int32_t job = annotated_job(store, management_type, position);
    return job == 0 ? std::string() : store.annotations.notes(*record_kind(management_type), job);
}

bool store_job_notes(ReadingStore& store, std::int32_t management_type, int position,
                     std::string_view notes) {
    const std::int32_t job = annotated_job(store, management_type, position);
    return job != 0 && store.annotations.set_notes(*record_kind(management_type), job, notes);
}

std::string job_title(const ReadingStore& store, std::int32_t management_type, int position) {
    const std::int32_t job = annotated_job(store, management_type, position);
    return job == 0 ? std::string() : store.annotations.title(*record_kind(management_type), job);
}

bool store_job_title(ReadingStore& store, std::int32_t management_type, JobListLink& list,
                     std::string_view title) {
    const std::int32_t job = annotated_job(store, management_type, annotation_position(list));
    const std::optional<RecordKind> kind = record_kind(management_type);
    if (job == 0 || !store.annotations.set_title(*kind, job, title)) {
        return false;
    }
    const std::string& stored = store.annotations.title(*kind, job);
    list.replace_entry(annotation_position(list), stored);
    // The caption is the bare title, without the "ID#" that a selection change adds.
    list.set_job_caption(stored);
    return true;
}

} // namespace qm
