#pragma once

// One sync as the desktop program runs it: the server from the setting or QUELLMARK_SERVER, a
// password asked of the user when the server wants one (held in memory for the user's action,
// the sync and the sync that settles what it refused, then wiped; never on disk),
// the server's schema checked, the archive opened on a connection of its own (the sync runs on a
// thread of its own), and the outcome as the texts the user is shown.

#include "sync/team_sync.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

// Asks the user for the server's password.
class PasswordAsker {
public:
    virtual ~PasswordAsker() = default;
    // `server` names where it goes ("anna on db.example.com"); `refusal` is empty at the first
    // ask and says why the last one was not taken after that. Nothing when the user cancels.
    virtual std::optional<std::string> ask_password(const std::string& server,
                                                    const std::string& refusal) = 0;
};

// How often a password is asked for in one sync before the sync gives up.
constexpr int kPasswordAttempts = 3;

struct SyncRequest {
    std::string server;       // the setting; empty for QUELLMARK_SERVER
    std::string archive_path; // the visit archive
    int timeout_seconds = 10; // to reach the server
};

struct SyncOutcome {
    enum class Status {
        Done,      // synced (report.refused may list edits for the user to decide)
        Cancelled, // the user cancelled the password or the sync; what was sent is kept
        Failed,    // nothing or part done; message says why
    };
    Status status = Status::Failed;
    std::string message; // exactly what the user is shown; empty when there is nothing to say
    SyncReport report;
};

// A password typed for one action of the user: used by each sync of that action, so the sync
// that settles refused edits does not ask again; wiped when the server refuses it and when
// the holder goes. Held in memory only.
class SyncPassword {
public:
    SyncPassword() = default;
    ~SyncPassword() { forget(); }
    SyncPassword(const SyncPassword&) = delete;
    SyncPassword& operator=(const SyncPassword&) = delete;

    bool held() const { return held_; }
    // The password, or nothing when none is held.
    const char* text() const { return held_ ? text_.c_str() : nullptr; }
    // Takes a typed password, wiping `typed`.
    void keep(std::string& typed);
    void forget();

private:
    std::string text_;
    bool held_ = false;
};

// Runs one sync of the archive at request.archive_path with the server; a password typed is
// kept in `password` for the next sync of the same action.
SyncOutcome run_team_sync(const SyncRequest& request, PasswordAsker& asker, SyncObserver& observer,
                          const RefusedChoices& choices, SyncPassword& password);
// The same, with a password held for this sync only.
SyncOutcome run_team_sync(const SyncRequest& request, PasswordAsker& asker, SyncObserver& observer,
                          const RefusedChoices& choices);

// Why a server setting cannot be used ("" when it can): a password written into it, or a
// string libpq cannot read. An empty setting is fine (QUELLMARK_SERVER then).
std::string server_setting_problem(const std::string& setting);

// The wait dialog's line for a step of the sync: "Sending visit 3 of 10".
std::string sync_progress_text(std::string_view step, std::size_t done, std::size_t total);

// "Sync complete: 3 visits sent, 2 received; 1 project sent, 0 received." and, when the server
// refused edits, a line saying so.
std::string sync_summary(const SyncReport& report);

// Overwrites the bytes of a secret before it is let go.
void wipe(std::string& secret);

} // namespace qm
