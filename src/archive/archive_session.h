#pragma once

// The archive as one run of the desktop program uses it: opened at its first use, a problem with
// it said once a run, and the visit whose data the store holds remembered, so that titles and
// notes confirmed on it reach the archive.

#include "archive/visit_archive.h"
#include "archive/visit_evidence.h"
#include "store/user_interface.h"

#include <memory>
#include <optional>
#include <span>
#include <string>

namespace qm {

constexpr std::string_view kArchiveCaption = "Archive";

class ArchiveSession {
public:
    ArchiveSession(std::string path, UserInterface& ui);

    // Keeps a completed download or the bytes of an opened file; its visit (new or the one that
    // already holds the bytes) becomes the current visit. A failure is said with its reason.
    void keep(std::span<const std::uint8_t> source, VisitSource kind, const ReadingStore& store,
              const MeterIdentity& meter);
    // Who reads and with which meter: said with every visit kept from now on (where the visit
    // does not say it already).
    void set_evidence(VisitEvidence evidence) { evidence_ = std::move(evidence); }
    const VisitEvidence& evidence() const { return evidence_; }
    // Keeps the ".qmk" at `path` that was just loaded into the store.
    void keep_file(const std::string& path, const ReadingStore& store, const MeterIdentity& meter);
    // Writes the title and notes the store holds for a job to the current visit; true when they
    // are kept there.
    bool annotations_confirmed(const ReadingStore& store, RecordKind kind, std::int32_t job);

    // The archive, opened at the first call; null (said once a run) when it cannot be used.
    VisitArchive* archive();
    const std::string& path() const { return path_; }
    std::optional<std::int64_t> current_visit() const { return current_; }
    void set_current_visit(std::optional<std::int64_t> id) { current_ = id; }

private:
    void tell(const std::string& text);

    std::string path_;
    UserInterface& ui_;
    std::unique_ptr<VisitArchive> archive_;
    bool opened_ = false;
    std::optional<std::int64_t> current_;
    VisitEvidence evidence_;
};

} // namespace qm
