#include "archive/visit_input.h"

#include "store/annotations.h"

namespace qm {

namespace {

std::string job_name(RecordKind kind, std::int32_t job) {
    return std::string(kind == RecordKind::Mc ? "MC" : "RH/T") + " job " + std::to_string(job);
}

Status check_store_texts(const ReadingStore& store) {
    for (const RecordKind kind : {RecordKind::Mc, RecordKind::Rh}) {
        for (std::int32_t job = 1; job <= kMaxJobs; ++job) {
            const Status texts = check_job_texts(store.annotations.title(kind, job),
                                                 store.annotations.notes(kind, job));
            if (!texts) {
                return failure(texts.error() + " (" + job_name(kind, job) + ")");
            }
        }
    }
    return done();
}

} // namespace

Status check_job_texts(std::string_view title, std::string_view notes) {
    if (title.size() > kMaxTitleLength) {
        return failure("the title is longer than " + std::to_string(kMaxTitleLength) + " bytes");
    }
    if (!title_text_clean(title)) {
        return failure("the title holds control characters");
    }
    if (notes.size() > kMaxNotesLength) {
        return failure("the notes are longer than " + std::to_string(kMaxNotesLength) + " bytes");
    }
    if (!notes_text_clean(notes)) {
        return failure("the notes hold control characters");
    }
    return done();
}

Status check_source_size(std::uint64_t bytes) {
    if (bytes > kMaxVisitBytes) {
        return failure("its " + std::to_string(bytes) + " bytes are more than a visit may hold (" +
                       std::to_string(kMaxVisitBytes >> 20) + " MB)");
    }
    return done();
}

Status check_visit_input(const VisitInput& input) {
    if (const Status size = check_source_size(input.source.size()); !size) {
        return size;
    }
    const ReceivedTime& t = input.received;
    if (t.utc_seconds < 0 || t.utc_seconds >= kLatestReceivedUtc ||
        t.offset_seconds < -kMaxUtcOffsetSeconds || t.offset_seconds > kMaxUtcOffsetSeconds) {
        return failure("its time of receipt is not believable (before 1970, after 2099 or more "
                       "than 18 hours from UTC)");
    }
    if (input.store == nullptr) {
        return done();
    }
    if (input.store->all_readings.empty()) {
        return failure("its bytes hold no readings (they are no download stream or .qmk file)");
    }
    return check_store_texts(*input.store);
}

} // namespace qm
