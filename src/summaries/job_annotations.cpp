#include "summaries/job_annotations.h"

#include "store/job_index.h"

namespace qm {

int annotation_position(const JobListLink& list) {
    const std::vector<int> selected = list.selected_positions();
    return selected.empty() ? 0 : selected.front();
}

bool annotation_allowed(const JobListLink& list) {
    return list.selected_positions().size() <= 1;
}

std::string job_notes(const ReadingStore& store, ManagedKind kind, int position) {
    const std::int32_t job = job_at_slot(store, kind, position);
    return job == 0 ? std::string() : store.annotations.notes(*record_kind(kind), job);
}

bool store_job_notes(ReadingStore& store, ManagedKind kind, int position, std::string_view notes) {
    const std::int32_t job = job_at_slot(store, kind, position);
    return job != 0 && store.annotations.set_notes(*record_kind(kind), job, notes);
}

std::string job_title(const ReadingStore& store, ManagedKind kind, int position) {
    const std::int32_t job = job_at_slot(store, kind, position);
    return job == 0 ? std::string() : store.annotations.title(*record_kind(kind), job);
}

bool store_job_title(ReadingStore& store, ManagedKind kind, JobListLink& list,
                     std::string_view title) {
    const std::int32_t job = job_at_slot(store, kind, annotation_position(list));
    if (job == 0 || !store.annotations.set_title(*record_kind(kind), job, title)) {
        return false;
    }
    const std::string& stored = store.annotations.title(*record_kind(kind), job);
    list.replace_entry(annotation_position(list), stored);
    // The caption is the bare title, without the "ID#" that a selection change adds.
    list.set_job_caption(stored);
    list.annotations_stored(*record_kind(kind), job);
    return true;
}

bool annotations_changed(const JobAnnotations& saved, const JobAnnotations& now, RecordKind kind) {
    for (std::int32_t job = 1; job <= kMaxJobs; ++job) {
        if (saved.title(kind, job) != now.title(kind, job) ||
            saved.notes(kind, job) != now.notes(kind, job)) {
            return true;
        }
    }
    return false;
}

void mark_annotations_saved(JobAnnotations& saved, const JobAnnotations& now,
                            std::span<const std::int32_t> jobs) {
    for (const std::int32_t job : jobs) {
        for (const RecordKind kind : {RecordKind::Mc, RecordKind::Rh}) {
            saved.set_title(kind, job, now.title(kind, job));
            saved.set_notes(kind, job, now.notes(kind, job));
        }
    }
}

} // namespace qm
