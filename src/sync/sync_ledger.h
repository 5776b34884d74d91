#pragma once

// What this archive last agreed with the team server, kept in the archive and read or written
// only here:
// - sync_projects: per server project (its key) the local project (none once it is deleted here,
//   until the deletion reaches the server), the server's revision, the name and each part as last
//   synced; and, under "pending/KEY", the parts a sync sent to the server before it knew whether
//   they were taken, so that a sync cut off between the server's commit and this archive's
//   finds them again (a reader that knows no pending rows takes such a row for a project
//   deleted here, and removes it);
// - sync_titles: each job's titles and notes as last synced and the server's revision of them;
//   and, of kind "pending/mc" or "pending/rh", those sent before the server's answer was known;
// - sync_pulling: the visits whose pull has not finished.

#include "archive/visit_archive.h"
#include "store/annotations.h"
#include "store/result.h"
#include "sync/project_parts.h"

#include <compare>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// A local project's link to its server project.
struct Link {
    std::string key;
    std::optional<std::int64_t> project; // nothing: deleted here
    std::int64_t revision = 0;
    std::string name; // the project's name as last synced
    PartTexts base;
};

// A job of a visit both sides hold: its visit's SHA-256, kind and number.
struct TitleKey {
    std::string sha;
    RecordKind kind = RecordKind::Mc;
    std::int32_t number = 0;
    friend auto operator<=>(const TitleKey&, const TitleKey&) = default;
};

// A job's titles and notes as last synced, and the server's revision of them.
struct TitlesBase {
    std::int64_t revision = 0;
    std::string title; // Windows-1252
    std::string notes;
};

class SyncLedger {
public:
    explicit SyncLedger(VisitArchive& archive) : db_(archive.connection(ArchiveTablesKey{})) {}

    // The links, by key.
    Result<std::vector<Link>> links();
    // Adds or replaces the link of link.key (and of link.project); what was pending for the
    // key is settled with it.
    Status set_link(const Link& link);
    // Removes the link of `key` and what was pending for it.
    Status remove_link(const std::string& key);

    // The parts sent to the server's project `key` whose answer has not been written here
    // (kUnknownPart for a part not sent), by key.
    Result<std::map<std::string, PartTexts>> pending();
    Status set_pending(const std::string& key, const PartTexts& sent);

    Result<std::map<TitleKey, TitlesBase>> title_bases();
    // Settles what was pending for the job.
    Status set_title_base(const TitleKey& job, const TitlesBase& base);
    // A job's titles and notes sent to the server whose answer has not been written here.
    Result<std::map<TitleKey, TitlesBase>> titles_pending();
    Status set_titles_pending(const TitleKey& job, const TitlesBase& sent);

    // What is said of each visit (technician, meter, check) as last synced: the server's
    // revision and the text, by the visit's SHA-256.
    Result<std::map<std::string, std::pair<std::int64_t, std::string>>> evidence_bases();
    Status set_evidence_base(const std::string& sha, std::int64_t revision,
                             const std::string& text);

    // The visits whose pull has not finished, by SHA-256.
    Result<std::vector<std::string>> pulling();
    Status mark_pulling(const std::string& sha, bool pulling);

private:
    Failure failed() const;
    Result<std::vector<Link>> rows(bool pending);
    Result<std::map<TitleKey, TitlesBase>> title_rows(bool pending);
    Status write_titles(const TitleKey& job, const TitlesBase& base, bool pending);
    SqliteDb& db_;
};

} // namespace qm
