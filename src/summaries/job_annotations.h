#pragma once

#include "store/reading_store.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// What the summaries and the title and notes windows need of the job list on the current wizard
// page and of the side panel. The shell implements it over its widgets; tests with a recorder.
class JobListLink {
public:
    virtual ~JobListLink() = default;
    // Positions of the selected entries, ascending; empty when nothing is selected or no job
    // list is shown.
    virtual std::vector<int> selected_positions() const = 0;
    // The text of the entry at a position; nothing when the list has no such entry.
    virtual std::optional<std::string> entry_text(int position) const = 0;
    // Replaces the entry at a position by the text and marks it selected; the other entries keep
    // their selection and this is not a selection change. No effect past the end of the list.
    virtual void replace_entry(int position, std::string_view text) = 0;
    // The side panel's job caption.
    virtual std::string job_caption() const = 0;
    virtual void set_job_caption(std::string_view text) = 0;
    // A title or notes of the job were confirmed ("OK"): the shell keeps them (in the archive).
    virtual void annotations_stored(RecordKind /*kind*/, std::int32_t /*job*/) {}
};

// The position the title and notes are stored for: the first selected entry, 0 when none is.
int annotation_position(const JobListLink& list);

// Title and notes belong to one job, so their windows are offered only while at most one job is
// selected.
bool annotation_allowed(const JobListLink& list);

// The notes of the job at a position of the managed kind's job list (job_at_slot; "" for both
// kinds or a position without a job).
std::string job_notes(const ReadingStore& store, ManagedKind kind, int position);

// Stores notes (cut to 999 bytes, line breaks as CR LF) for the job at the position. Returns
// false, storing nothing, for both kinds or a position without a job.
bool store_job_notes(ReadingStore& store, ManagedKind kind, int position, std::string_view notes);

// The title's "OK": stores the title (cut to 259 characters) for the first selected job, puts it
// in place of that job's list entry (selected) and makes it the side panel's job caption.
// Returns false, changing nothing, when the managed kind is neither MC nor RH/T or no job stands
// at that position.
bool store_job_title(ReadingStore& store, ManagedKind kind, JobListLink& list,
                     std::string_view title);

// The stored title of the job at a position ("" for both kinds or a position without a job).
std::string job_title(const ReadingStore& store, ManagedKind kind, int position);

// Whether a job of the kind has a title or notes in `now` other than in `saved` (the texts as
// the data was downloaded, opened or last saved).
bool annotations_changed(const JobAnnotations& saved, const JobAnnotations& now, RecordKind kind);

// A save wrote these jobs, each file with the titles and notes of both kinds of its job number:
// `saved` takes those texts from `now`.
void mark_annotations_saved(JobAnnotations& saved, const JobAnnotations& now,
                            std::span<const std::int32_t> jobs);

} // namespace qm
