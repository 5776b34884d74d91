#include "archive/archive_schema.h"
#include "archive/visit_archive.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
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

// Makes sure `path` is a regular file this user may read and write, creating it (0600) when it
// is missing. Returns 0 or the errno that says why it cannot be used.
int prepare_file(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) {
        if (const int error = make_folders(path.substr(0, slash)); error != 0) {
            return error;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return EISDIR;
        }
        if (!S_ISREG(st.st_mode)) {
            return ENODEV;
        }
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kFileMode);
    if (fd < 0) {
        return errno == ELOOP ? 0 : errno; // a symbolic link: SQLite follows it
    }
    ::close(fd);
    return 0;
}

std::string reason_of(int error) {
    return error == ENODEV ? "not a regular file" : std::strerror(error);
}

// Brings the archive to the current schema in one transaction, after looking again inside it:
// another program may have done it meanwhile.
bool migrate(SqliteDb& db, std::string& reason) {
    SqliteTransaction transaction(db);
    std::int64_t version = 0;
    std::int64_t objects = 0;
    if (!transaction.begun() || !db.query_int("PRAGMA user_version", version) ||
        !db.query_int("SELECT count(*) FROM sqlite_schema", objects)) {
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
    return db.exec("PRAGMA foreign_keys = ON");
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

OpenedArchive open_archive(const std::string& path) {
    OpenedArchive opened;
    if (const int error = prepare_file(path); error != 0) {
        opened.message = archive_unusable_message(path, reason_of(error));
        return opened;
    }
    SqliteDb db;
    std::int64_t version = 0;
    if (!db.open(path, false) || !configure(db) || !db.query_int("PRAGMA user_version", version)) {
        opened.message = archive_unusable_message(path, db.error());
        return opened;
    }
    std::int64_t objects = 0;
    if (version == 0 &&
        (!db.query_int("SELECT count(*) FROM sqlite_schema", objects) || objects > 0)) {
        opened.message = archive_unusable_message(
            path, objects > 0 ? "it is a database of another program" : db.error());
        return opened;
    }
    if (version > kArchiveSchemaVersion) {
        SqliteDb reader;
        if (!reader.open(path, true) || !configure(reader)) {
            opened.message = archive_unusable_message(path, reader.error());
            return opened;
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
        opened.message = archive_unusable_message(path, reason.empty() ? db.error() : reason);
        return opened;
    }
    opened.archive = std::make_unique<VisitArchive>(std::move(db), path, false);
    return opened;
}

} // namespace qm
