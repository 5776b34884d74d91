#include "sync/sync_session.h"

#include "sync/server_schema.h"

#include <algorithm>
#include <string.h> // explicit_bzero

namespace qm {

namespace {

constexpr const char* kNoServer =
    "No team server is set. Enter its address under Team server\u2026 (a libpq URI such as "
    "postgresql://anna@db.example.com/quellmark?sslmode=verify-full, or service=NAME), or set "
    "QUELLMARK_SERVER.";
constexpr const char* kKeptNote = "What was sent is kept; the next sync completes it.";

std::string counted(std::size_t n, const char* thing) {
    return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

std::string counts(const SyncReport& report) {
    return counted(report.pushed, "visit") + " sent, " + std::to_string(report.pulled) +
           " received; " + counted(report.projects_pushed, "project") + " sent, " +
           std::to_string(report.projects_pulled) + " received.";
}

SyncOutcome failed(std::string message) {
    SyncOutcome outcome;
    outcome.message = std::move(message);
    return outcome;
}

// Connects, asking for a password while the server wants one (the one held first, when
// there is one); false when the user cancelled (outcome then says so) or it failed (outcome
// says why). Only a password the server refused is asked again.
bool connect_asking(PgDb& db, const std::string& conninfo, const SyncRequest& request,
                    PasswordAsker& asker, SyncPassword& password, SyncOutcome& outcome) {
    for (int asked = 0;;) {
        const bool given = password.held();
        if (db.connect(conninfo, request.timeout_seconds, password.text())) {
            return true;
        }
        if (!db.needs_password()) {
            outcome = failed(server_unreachable_message(db.error()));
            return false;
        }
        password.forget();
        if (asked == kPasswordAttempts) {
            outcome = failed("The team server did not take the password: " + db.error());
            return false;
        }
        std::optional<std::string> typed =
            asker.ask_password(conninfo, given ? db.error() : std::string());
        ++asked;
        if (!typed) {
            outcome = SyncOutcome{SyncOutcome::Status::Cancelled, {}, {}};
            return false;
        }
        password.keep(*typed);
    }
}

// The server's schema as qmtool sync checks it: "" when it is the one this program writes.
std::string schema_problem(PgDb& db) {
    const auto version = server_schema_version(db);
    if (!version) {
        return "The team server's schema cannot be read: " + db.error();
    }
    if (*version == 0) {
        return "The team server has no schema yet: whoever administers it runs qmtool server "
               "init.";
    }
    if (*version != kServerSchemaVersion) {
        return "The team server's schema is of version " + std::to_string(*version) +
               "; this program syncs with version " + std::to_string(kServerSchemaVersion) +
               ". Whoever administers it runs qmtool server init, or this program is updated.";
    }
    return {};
}

} // namespace

void wipe(std::string& secret) {
    explicit_bzero(secret.data(), secret.size());
    secret.clear();
}

void SyncPassword::keep(std::string& typed) {
    forget();
    text_.swap(typed); // the bytes move, no copy is left behind
    wipe(typed);
    held_ = true;
}

void SyncPassword::forget() {
    wipe(text_);
    held_ = false;
}

std::string server_setting_problem(const std::string& setting) {
    if (setting.empty()) {
        return {};
    }
    std::string error;
    const auto has_password = conninfo_has_password(setting, error);
    if (!has_password) {
        return "The team server's address cannot be read: " + error;
    }
    if (*has_password) {
        return "The team server's address holds a password. Leave it out: the program asks for "
               "the password when the server wants one (or libpq reads it from ~/.pgpass or a "
               "service file), and never keeps it.";
    }
    return {};
}

std::string sync_progress_text(std::string_view step, std::size_t done, std::size_t total) {
    const std::string of = std::to_string(std::min(done + 1, std::max<std::size_t>(total, 1))) +
                           " of " + std::to_string(total);
    if (step == "push") {
        return "Sending visit " + of;
    }
    if (step == "pull") {
        return "Receiving visit " + of;
    }
    return "Projects: " + of;
}

std::string sync_summary(const SyncReport& report) {
    std::string text = "Sync complete: " + counts(report);
    if (!report.refused.empty()) {
        const bool one = report.refused.size() == 1;
        text += "\nThe server refused " + counted(report.refused.size(), "edit") +
                " made here, as the same data changed there too; " + (one ? "it is" : "they are") +
                " kept here until you choose.";
    }
    for (const std::string& line : report.skipped) {
        text += "\n" + line;
    }
    return text;
}

SyncOutcome run_team_sync(const SyncRequest& request, PasswordAsker& asker, SyncObserver& observer,
                          const RefusedChoices& choices) {
    SyncPassword password;
    return run_team_sync(request, asker, observer, choices, password);
}

SyncOutcome run_team_sync(const SyncRequest& request, PasswordAsker& asker, SyncObserver& observer,
                          const RefusedChoices& choices, SyncPassword& password) {
    const std::string conninfo = server_conninfo(request.server);
    if (conninfo.empty()) {
        return failed(kNoServer);
    }
    if (std::string problem = server_setting_problem(conninfo); !problem.empty()) {
        return failed(std::move(problem));
    }
    SyncOutcome outcome;
    PgDb db;
    if (!connect_asking(db, conninfo, request, asker, password, outcome)) {
        return outcome;
    }
    if (std::string problem = schema_problem(db); !problem.empty()) {
        return failed(std::move(problem));
    }
    const OpenedArchive opened = open_archive(request.archive_path);
    if (!opened.archive || opened.archive->read_only()) {
        return failed(opened.message);
    }
    outcome.report = sync_archive(db, *opened.archive, observer, choices);
    if (outcome.report.cancelled) {
        outcome.status = SyncOutcome::Status::Cancelled;
        outcome.message = "Sync cancelled: " + counts(outcome.report) + "\n" + kKeptNote;
    } else if (outcome.report.error == kSyncRunning) {
        outcome.message = "Another sync of this archive is running; this one did not start.";
    } else if (!outcome.report.ok) {
        outcome.message = "The sync stopped: " + outcome.report.error + "\n" + kKeptNote;
    } else {
        outcome.status = SyncOutcome::Status::Done;
        outcome.message = sync_summary(outcome.report);
    }
    return outcome;
}

} // namespace qm
