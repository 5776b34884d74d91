#include "archive/archive_schema.h"
#include "archive/visit_archive.h"

#include <sqlite3.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qm {

namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

std::string env_or_empty(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Creates the missing folders of `folder`, each readable by its owner only. Returns 0 or errno.
int make_folders(const std::string& folder) {
    if (folder.empty()) {
        return 0;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    }
    const std::size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        if (const int error = make_folders(folder.substr(0, slash)); error != 0) {
            return error;
        }
    }
    if (::mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST) {
        return errno;
    }
    return 0;
}

// How the archive's file can be opened. The file itself is never opened here: SQLite alone opens
// and closes it, since closing any descriptor of it would drop the locks every connection of
// this process holds on it (and another program could then delete the WAL under them).
struct FilePlan {
    int error = 0;        // why it cannot be used at all
    bool missing = false; // SQLite creates it
    SqliteDb::Mode mode = SqliteDb::Mode::ReadWrite;
    int write_error = 0; // why it cannot be written (EACCES, EROFS)
};

// Looks at `path` (creating its missing folders): a regular file (or a link to one) this user
// may read, written when it may be.
FilePlan plan_file(const std::string& path) {
    FilePlan plan;
    if (const std::size_t slash = path.find_last_of('/'); slash != std::string::npos) {
        if ((plan.error = make_folders(path.substr(0, slash))) != 0) {
            return plan;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        plan.error = errno == ENOENT ? 0 : errno;
        plan.missing = true;
        plan.mode = SqliteDb::Mode::Create;
        return plan;
    }
    if (S_ISDIR(st.st_mode)) {
        plan.error = EISDIR;
    } else if (!S_ISREG(st.st_mode)) {
        plan.error = ENODEV;
    } else if (::access(path.c_str(), R_OK) != 0) {
        plan.error = errno;
    } else if (::access(path.c_str(), W_OK) != 0) {
        plan.write_error = errno;
        // On a read-only medium nobody writes and no WAL index can be made beside it.
        plan.mode = errno == EROFS ? SqliteDb::Mode::Immutable : SqliteDb::Mode::ReadOnly;
    }
    return plan;
}

// Creates the file through SQLite, readable by its owner only (its WAL and index take its mode).
bool create_file(SqliteDb& db, const std::string& path) {
    const mode_t old_mask = ::umask(~kFileMode & 0777);
    const bool opened = db.open(path, SqliteDb::Mode::Create);
    ::umask(old_mask);
    return opened;
}

std::string reason_of(int error) {
    return error == ENODEV ? "not a regular file" : std::strerror(error);
}

std::string read_only_message(const std::string& path, int write_error) {
    return "The archive " + path + " cannot be written (" + reason_of(write_error) +
           "). It is opened read-only: visits can be looked at but not added.";
}

// The schema version and the number of schema objects, read together: another program that
// creates the archive at the same moment is seen before or after, never halfway.
bool read_version(SqliteDb& db, std::int64_t& version, std::int64_t& objects) {
    SqliteStatement query(db, "SELECT (SELECT user_version FROM pragma_user_version), "
                              "(SELECT count(*) FROM sqlite_schema)");
    if (!query.ok() || !query.step()) {
        return false;
    }
    version = query.column_int(0);
    objects = query.column_int(1);
    return true;
}

// Brings the archive to the current schema in one transaction, after looking again inside it:
// another program may have done it meanwhile.
bool migrate(SqliteDb& db, std::string& reason) {
    SqliteTransaction transaction(db);
    std::int64_t version = 0;
    std::int64_t objects = 0;
    if (!transaction.begun() || !read_version(db, version, objects)) {
        reason = db.error();
        return false;
    }
    if (version == 0 && objects > 0) {
        reason = "it is a database of another program";
        return false;
    }
    for (auto v = static_cast<std::size_t>(version); v < kArchiveMigrations.size(); ++v) {
        if (!db.exec(kArchiveMigrations[v])) {
            reason = db.error();
            return false;
        }
    }
    if (version < kArchiveSchemaVersion &&
        !db.exec("PRAGMA user_version = " + std::to_string(kArchiveSchemaVersion))) {
        reason = db.error();
        return false;
    }
    if (!transaction.commit()) {
        reason = db.error();
        return false;
    }
    return true;
}

bool configure(SqliteDb& db) {
    sqlite3_busy_timeout(db.handle(), kBusyTimeoutMs);
    // Reading through a memory map spares a read() per page of a large source.
    return db.exec("PRAGMA foreign_keys = ON") && db.exec("PRAGMA mmap_size = 268435456");
}

} // namespace

std::string_view visit_source_name(VisitSource source) {
    return source == VisitSource::Download ? "download" : "file";
}

ReceivedTime received_now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {static_cast<std::int64_t>(now), static_cast<std::int32_t>(local.tm_gmtoff)};
}

std::string iso8601(const ReceivedTime& time) {
    const auto local_seconds = static_cast<std::time_t>(time.utc_seconds + time.offset_seconds);
    std::tm t{};
    gmtime_r(&local_seconds, &t);
    const std::int32_t offset =
        time.offset_seconds < 0 ? -time.offset_seconds : time.offset_seconds;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                  time.offset_seconds < 0 ? '-' : '+', offset / 3600, offset / 60 % 60);
    return text;
}

std::string default_archive_path() {
    if (std::string path = env_or_empty("QUELLMARK_ARCHIVE"); !path.empty()) {
        return path;
    }
    std::string data = env_or_empty("XDG_DATA_HOME");
    if (data.empty() || data[0] != '/') {
        data = env_or_empty("HOME") + "/.local/share";
    }
    return data + "/quellmark/archive.sqlite";
}

std::string archive_unusable_message(const std::string& path, std::string_view reason) {
    return "The archive " + path + " cannot be used: " + std::string(reason) +
           ". Downloads and files work as before, but they are not kept in the archive.";
}

namespace {

// Opens a prepared archive file once; `busy` says that another program held a lock that the
// busy timeout does not wait for (SQLite gives up at once while a journal mode changes).
OpenedArchive open_prepared(const std::string& path, const FilePlan& plan, bool& busy) {
    OpenedArchive opened;
    SqliteDb db;
    const auto fail = [&](const SqliteDb& failed, std::string_view reason) {
        busy = failed.error_code() == SQLITE_BUSY || failed.error_code() == SQLITE_LOCKED;
        opened.message = archive_unusable_message(path, reason);
        return std::move(opened);
    };
    std::int64_t version = 0;
    std::int64_t objects = 0;
    const auto read = [&](SqliteDb::Mode mode) {
        const bool opened_db = plan.missing ? create_file(db, path) : db.open(path, mode);
        return opened_db && configure(db) && read_version(db, version, objects);
    };
    bool readable = read(plan.mode);
    if (!readable && plan.mode == SqliteDb::Mode::ReadOnly && db.is_open()) {
        // A WAL archive in a folder this user cannot write has no index to be read through:
        // it is read as it lies, as on a read-only medium.
        db = SqliteDb{};
        readable = read(SqliteDb::Mode::Immutable);
    }
    if (!readable) {
        return fail(db, db.error());
    }
    if (version == 0 && objects > 0) {
        return fail(SqliteDb{}, "it is a database of another program");
    }
    if (plan.write_error != 0) {
        if (version == 0) {
            return fail(SqliteDb{}, reason_of(plan.write_error)); // no archive in it to look at
        }
        opened.message = read_only_message(path, plan.write_error);
        opened.archive = std::make_unique<VisitArchive>(std::move(db), path, true);
        return opened;
    }
    if (version > kArchiveSchemaVersion) {
        // Read-only from here on, on one connection: the first is closed before the next opens.
        db = SqliteDb{};
        SqliteDb reader;
        if (!reader.open(path, SqliteDb::Mode::ReadOnly) || !configure(reader)) {
            return fail(reader, reader.error());
        }
        opened.message = "The archive " + path + " was written by a newer version of Quellmark " +
                         "(schema " + std::to_string(version) + "; this version knows up to " +
                         std::to_string(kArchiveSchemaVersion) +
                         "). It is opened read-only: visits can be looked at but not added.";
        opened.archive = std::make_unique<VisitArchive>(std::move(reader), path, true);
        return opened;
    }
    std::string reason;
    if (!db.exec("PRAGMA journal_mode = WAL") || !migrate(db, reason)) {
        return fail(db, reason.empty() ? db.error() : reason);
    }
    opened.archive = std::make_unique<VisitArchive>(std::move(db), path, false);
    return opened;
}

} // namespace

OpenedArchive open_archive(const std::string& path) {
    const FilePlan plan = plan_file(path);
    if (plan.error != 0) {
        return {nullptr, archive_unusable_message(path, reason_of(plan.error))};
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    for (;;) {
        bool busy = false;
        OpenedArchive opened = open_prepared(path, plan, busy);
        if (!busy || std::chrono::steady_clock::now() > deadline) {
            return opened;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace qm
