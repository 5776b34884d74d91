#include "archive/archive_session.h"

#include "archive/visit_input.h"
#include "files/regular_file.h"

#include <vector>

namespace qm {

ArchiveSession::ArchiveSession(std::string path, UserInterface& ui)
    : path_(std::move(path)), ui_(ui) {}

void ArchiveSession::tell(const std::string& text) {
    ui_.message_box(text, kArchiveCaption, MessageIcon::Warning);
}

VisitArchive* ArchiveSession::archive() {
    if (!opened_) {
        opened_ = true;
        OpenedArchive opened = open_archive(path_);
        archive_ = std::move(opened.archive);
        if (!opened.message.empty()) {
            tell(opened.message);
        }
    }
    return archive_.get();
}

void ArchiveSession::keep(std::span<const std::uint8_t> source, VisitSource kind,
                          const ReadingStore& store, const MeterIdentity& meter) {
    current_.reset();
    // Data without a reading is no visit; the download or the file has said so already.
    if (store.all_readings.empty()) {
        return;
    }
    VisitArchive* kept = archive();
    if (kept == nullptr || kept->read_only()) {
        return;
    }
    const AddVisitResult added = kept->add_visit(source, kind, received_now(), store, meter);
    if (added.status == AddVisitResult::Status::Failed) {
        tell("The visit was not kept in the archive " + path_ + ": " + added.error + ".");
        return;
    }
    current_ = added.visit_id;
    if (evidence_.technician.empty() && evidence_.meter_name.empty()) {
        return;
    }
    if (const Status said = keep_visit_evidence(*kept, added.visit_id, evidence_); !said) {
        tell("The technician and meter were not kept with the visit: " + said.error() + ".");
    }
}

void ArchiveSession::keep_file(const std::string& path, const ReadingStore& store,
                               const MeterIdentity& meter) {
    std::vector<std::uint8_t> bytes;
    if (const int error = read_regular_file(path, kMaxVisitBytes, bytes); error != 0) {
        current_.reset();
        if (archive() != nullptr) {
            tell("The file " + path + " was not kept in the archive: " + file_error_text(error) +
                 ".");
        }
        return;
    }
    keep(bytes, VisitSource::File, store, meter);
}

bool ArchiveSession::annotations_confirmed(const ReadingStore& store, RecordKind kind,
                                           std::int32_t job) {
    if (!current_ || archive_ == nullptr || archive_->read_only()) {
        return false;
    }
    if (archive_->set_annotations(*current_, kind, job, store.annotations.title(kind, job),
                                  store.annotations.notes(kind, job))) {
        return true;
    }
    if (!archive_->error().empty()) {
        tell("The title and notes were not kept in the archive " + path_ + ": " +
             archive_->error() + ".");
    }
    return false;
}

} // namespace qm
