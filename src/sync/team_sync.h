#pragma once

// Sync of a laptop's archive with the team server: visits pushed and pulled by their source's
// SHA-256; projects (every part) and jobs' titles and notes by revision, each compared with what
// was last synced. Each visit and each project goes in a transaction of its own on both sides,
// so a sync cut off at any moment loses nothing and the next one completes it.

#include "archive/visit_archive.h"
#include "projects/project_store.h"
#include "sync/pg_db.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The server to use: `given` when not empty, else QUELLMARK_SERVER; empty when neither.
std::string server_conninfo(std::string_view given);

// What a sync reports while it runs and asks whether to go on (the desktop's wait dialog,
// qmtool's stderr and Ctrl-C, a test's recorder).
class SyncObserver {
public:
    virtual ~SyncObserver() = default;
    // "push" or "pull" (visits), "projects": done of total.
    virtual void progress(std::string_view step, std::size_t done, std::size_t total) = 0;
    virtual bool cancelled() = 0;
};

// What to do with local edits the server refused.
enum class RefusedPolicy {
    Keep,    // keep them here and list them (nothing is overwritten on either side)
    Drop,    // take the server's value instead
    Reapply, // apply them again on the server's current value
};

// A local edit the server refused: made on a revision that is no longer the server's, on a part
// the server changed too (or a deletion on one side of what the other side changed).
struct RefusedEdit {
    std::string key;           // stable name of the edit: "project/Smith kitchen/equipment",
                               // "project/Smith kitchen" (a deletion), "visit/<sha256>/mc/1"
    std::string what;          // for the user: "Project “Smith kitchen”: equipment"
    std::string mine_text;     // this archive's value, readable, lines separated by '\n'
    std::string theirs_text;   // the server's current value, same form ("(deleted)" when gone)
    std::string reason;        // why it was refused
    std::string project;       // the local name of a project's edit
    std::int64_t revision = 0; // the project's revision last synced here
    std::int64_t server_revision = 0; // the server's revision now
    ProjectDetails mine;              // a project's details, both sides
    ProjectDetails theirs;
};

// What to do with refused edits, one by one; an edit not named gets `others`.
struct RefusedChoices {
    RefusedChoices(RefusedPolicy policy = RefusedPolicy::Keep) : others(policy) {} // implicit
    RefusedPolicy others = RefusedPolicy::Keep;
    std::map<std::string, RefusedPolicy> by_key;

    RefusedPolicy policy(const std::string& key) const {
        const auto chosen = by_key.find(key);
        return chosen == by_key.end() ? others : chosen->second;
    }
};

// What a sync does with one piece (a project's part, a job's titles) that is not the same on
// both sides.
enum class SyncStep { Same, Take, Push, Refuse };

// The step from which side changed the piece since it was last synced: a change on one side
// travels to the other; a change on both follows the choice made for `key`, else is refused.
inline SyncStep sync_step(bool changed_here, bool changed_there, const RefusedChoices& choices,
                          const std::string& key) {
    if (!changed_here) {
        return SyncStep::Take;
    }
    if (!changed_there) {
        return SyncStep::Push;
    }
    switch (choices.policy(key)) {
    case RefusedPolicy::Reapply:
        return SyncStep::Push;
    case RefusedPolicy::Drop:
        return SyncStep::Take;
    case RefusedPolicy::Keep:
        break;
    }
    return SyncStep::Refuse;
}

struct SyncReport {
    bool ok = false;
    bool cancelled = false;
    std::string error; // why it stopped, for the user
    std::size_t pushed = 0;
    std::size_t pulled = 0;
    std::size_t projects_pushed = 0;
    std::size_t projects_pulled = 0;
    std::size_t titles_pushed = 0;
    std::size_t titles_pulled = 0;
    std::size_t evidence_pushed = 0; // visits' technician, meter and calibration check
    std::size_t evidence_pulled = 0;
    std::vector<RefusedEdit> refused;
    // What the sync left out and went on without, one line each for the user: a visit or a
    // project of the server that fails the checks of local input, a visit damaged here.
    std::vector<std::string> skipped;
};

// The message for a server that cannot be reached or used.
std::string server_unreachable_message(std::string_view reason);

// What a sync of an archive that another sync of it holds says.
inline constexpr const char* kSyncRunning = "another sync of this archive is running";

// A sync's hold on its archive, for the whole sync: one at a time, in this process or another
// (an flock of a file beside the archive, released with the object or the process).
class SyncLock {
public:
    explicit SyncLock(const std::string& archive_path);
    ~SyncLock();
    SyncLock(const SyncLock&) = delete;
    SyncLock& operator=(const SyncLock&) = delete;
    bool held() const { return fd_ >= 0; }
    const std::string& error() const { return error_; } // kSyncRunning when another holds it

private:
    int fd_ = -1;
    std::string error_;
};

// Syncs `archive` with the server `db` is connected to (its schema must be current): visits,
// then projects, then the jobs' titles and notes, holding the archive's SyncLock. A cancel
// (observer.cancelled()) seen at any point, even after the last visit, reports the sync as
// cancelled, never as complete.
SyncReport sync_archive(PgDb& db, VisitArchive& archive, SyncObserver& observer,
                        const RefusedChoices& choices);

// The visits alone (sync_archive runs them first). `visits` is then the archive's visits, read
// once and with those pulled added, for the phases after it.
void sync_visits(PgDb& db, VisitArchive& archive, SyncObserver& observer, SyncReport& report,
                 std::vector<VisitSummary>& visits);
// The projects, every part of each, and their deletions on either side.
void sync_projects(PgDb& db, VisitArchive& archive, const std::vector<VisitSummary>& visits,
                   SyncObserver& observer, const RefusedChoices& choices, SyncReport& report);
// What is said of the visits both sides hold (technician, meter, calibration check), each
// visit's text compared three ways as the titles are.
void sync_evidence(PgDb& db, VisitArchive& archive, const std::vector<VisitSummary>& visits,
                   const RefusedChoices& choices, SyncReport& report);
// The titles and notes of the jobs of visits both sides hold, edited after the visit was pushed.
void sync_titles(PgDb& db, VisitArchive& archive, const std::vector<VisitSummary>& visits,
                 const RefusedChoices& choices, SyncReport& report);

} // namespace qm
