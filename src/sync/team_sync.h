#pragma once

// Sync of a laptop's archive with the team server: visits pushed and pulled by their source's
// SHA-256, project details and attached jobs by
// revision. Each visit and each project goes in a transaction of its
// own on both sides, so a sync cut off at any moment loses nothing and the next one completes it.

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
    // "push" or "pull" (visits) or "projects", done of total.
    virtual void progress(std::string_view step, std::size_t done, std::size_t total) = 0;
    virtual bool cancelled() = 0;
};

// A local edit the server refused: made on a revision that is no longer the server's.
struct RefusedEdit {
    std::string key;           // stable name of the edit ("project/Smith kitchen/details"); the
                               // choices name it
    std::string what;          // for the user: "Project “Smith kitchen”: details and jobs"
    std::string mine_text;     // this archive's value, readable, lines separated by '\n'
    std::string theirs_text;   // the server's current value, same form ("(deleted)" when gone)
    std::string project;       // the local name
    std::int64_t revision = 0; // the edit was made on this revision
    std::int64_t server_revision = 0; // the server holds this one
    ProjectDetails mine;
    ProjectDetails theirs;
    std::string reason;      // for the user: why it was refused
    std::size_t my_jobs = 0; // attached jobs
    std::size_t their_jobs = 0;
};

// What to do with project edits the server refuses.
enum class RefusedPolicy {
    Keep,    // keep them here and list them (nothing is overwritten on either side)
    Drop,    // take the server's value instead
    Reapply, // apply them again on the server's current revision
};

// What to do with refused edits, one by one; an edit not named gets `others`.
struct RefusedChoices {
    RefusedChoices(RefusedPolicy policy = RefusedPolicy::Keep) : others(policy) {} // implicit
    RefusedPolicy others = RefusedPolicy::Keep;
    std::map<std::string, RefusedPolicy> by_key;
};

struct SyncReport {
    bool ok = false;
    bool cancelled = false;
    std::string error; // why it stopped, for the user
    std::size_t pushed = 0;
    std::size_t pulled = 0;
    std::size_t projects_pushed = 0;
    std::size_t projects_pulled = 0;
    std::vector<RefusedEdit> refused;
};

// The message for a server that cannot be reached or used.
std::string server_unreachable_message(std::string_view reason);

// Syncs `archive` with the server `db` is connected to (its schema must be current).
SyncReport sync_archive(PgDb& db, VisitArchive& archive, SyncObserver& observer,
                        const RefusedChoices& choices);

// The visits alone (sync_archive runs them first).
void sync_visits(PgDb& db, VisitArchive& archive, SyncObserver& observer, SyncReport& report);
// The projects' details and attached jobs alone.
void sync_projects(PgDb& db, VisitArchive& archive, const RefusedChoices& choices,
                   SyncReport& report);

} // namespace qm
