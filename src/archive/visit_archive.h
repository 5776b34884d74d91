#pragma once

// The visit archive: every download and every opened file kept in one SQLite file, each with its
// source bytes, its readings as rows and its jobs' titles and notes.

#include "archive/sqlite_db.h"
#include "store/annotations.h"
#include "store/meter_identity.h"
#include "store/reading_store.h"
#include "store/result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace qm {

enum class VisitSource {
    Download, // the raw download stream
    File,     // the bytes of a ".qmk" file
};

// "download" / "file", as the archive and `qmtool archive list --json` write them.
std::string_view visit_source_name(VisitSource source);

// When a visit was received: UTC and the local offset of that moment.
struct ReceivedTime {
    std::int64_t utc_seconds = 0;    // since 1970-01-01 UTC
    std::int32_t offset_seconds = 0; // east of UTC
};
ReceivedTime received_now();
// ISO 8601 with the offset: "2026-12-07T20:46:53+01:00".
std::string iso8601(const ReceivedTime& time);

// The archive's file: QUELLMARK_ARCHIVE when set and not empty, else
// $XDG_DATA_HOME/quellmark/archive.sqlite, else ~/.local/share/quellmark/archive.sqlite.
std::string default_archive_path();

struct ArchivedJob {
    RecordKind kind = RecordKind::Mc;
    std::int32_t number = 0;
    std::int32_t id = 0;
    std::int64_t readings = 0;
    std::string title; // Windows-1252
    std::string notes; // Windows-1252, line breaks CR LF
};

struct VisitSummary {
    std::int64_t id = 0;
    ReceivedTime received;
    VisitSource source = VisitSource::Download;
    std::string meter; // Windows-1252
    std::string sha256;
    std::int64_t readings = 0;
    std::vector<ArchivedJob> jobs; // MC jobs by number, then RH/T jobs by number
};

// One reading as a row: value is the %MC (or the scale) of a moisture reading and the %RH of an
// RH/T reading; temperature (degrees Fahrenheit) the air's of an RH/T reading, the pin's of a pin
// reading, none for a scan.
struct ArchivedReading {
    std::int32_t job = 0;
    std::int32_t kind = 0;
    std::int32_t location = 0;
    std::int32_t sub_location = 0;
    std::int32_t material = 0;
    double value = 0.0;
    std::optional<double> temperature;
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour_code = 0;
    std::int32_t minute = 0;
    std::int64_t clock_minute = 0; // minutes since 2000-01-01 of the reading's clock time
    bool operator==(const ArchivedReading&) const = default;
};

// A job of a visit: its visit, kind and number.
struct JobRef {
    std::int64_t visit_id = 0;
    RecordKind kind = RecordKind::Mc;
    std::int32_t number = 0;
    friend auto operator<=>(const JobRef&, const JobRef&) = default;
};

// A reading as the archive's row holds it.
Reading reading_of(const ArchivedReading& row);

struct AddVisitResult {
    enum class Status { Added, AlreadyArchived, Failed };
    Status status = Status::Failed;
    std::int64_t visit_id = 0; // the new visit, or the one that holds the same bytes
    std::string error;         // why it was not kept when Failed
};

struct ArchiveCheck {
    std::vector<std::string> integrity; // "ok", or what PRAGMA integrity_check found
    std::int64_t visits = 0;
    std::int64_t readings = 0;
    std::vector<std::int64_t> incomplete_visits; // whose rows differ from their reading count
    std::vector<std::int64_t> sourceless_visits; // whose source bytes are gone
    std::vector<std::int64_t> damaged_visits;    // whose source bytes differ from their SHA-256
    bool ok() const {
        return integrity.size() == 1 && integrity[0] == "ok" && incomplete_visits.empty() &&
               sourceless_visits.empty() && damaged_visits.empty();
    }
};

class VisitArchive;
class ProjectStore;
class SyncLedger;
class EvidenceTables;
class PlanStore;
class ProjectPhotos;
namespace test {
struct ArchiveAccess;
}

// The key to the archive's connection. Only those that keep tables of their own in the archive's
// file can make one: the project store, the project's photos and plans, what is said of the
// visits, the sync's ledger (and the tests' fixtures, which lay rows down by hand). Everyone else
// asks the archive.
class ArchiveTablesKey {
    friend class EvidenceTables;
    friend class PlanStore;
    friend class ProjectStore;
    friend class ProjectPhotos;
    friend class SyncLedger;
    friend struct test::ArchiveAccess;
    ArchiveTablesKey() = default;
};

// An archive opened for use, or why it cannot be used.
struct OpenedArchive {
    std::unique_ptr<VisitArchive> archive; // null when it cannot be used
    // For the user: why it cannot be used, or that it is opened read-only. Empty when all is well.
    std::string message;
};

// Opens the archive at `path`, creating the file (0600) and its missing folders (0700) when it
// does not exist. A file that is no SQLite database, or another program's database, a directory
// or a file without permission cannot be used and is never written; an archive of a newer schema
// is opened read-only.
OpenedArchive open_archive(const std::string& path);

class VisitArchive {
public:
    VisitArchive(SqliteDb db, std::string path, bool read_only);

    const std::string& path() const { return path_; }
    bool read_only() const { return read_only_; }

    // Keeps a visit: its source bytes and what they hold (the store and meter they were decoded
    // or loaded into), in one transaction, once check_visit_input (visit_input.h) lets it in.
    // Bytes already archived are not stored again.
    AddVisitResult add_visit(std::span<const std::uint8_t> source, VisitSource kind,
                             const ReceivedTime& received, const ReadingStore& store,
                             const MeterIdentity& meter);

    // Each read below is one read transaction: its rows and their jobs are one state of the
    // archive. A failure is an error, never an empty or shortened result.

    // Visits newest first; `filter` (empty for all) matches the meter, a job's ID or its title.
    Result<std::vector<VisitSummary>> list_visits(const std::string& filter, std::int64_t offset,
                                                  std::int64_t limit);
    // Every visit the filter matches, newest first.
    Result<std::vector<VisitSummary>> all_visits(const std::string& filter = "");
    Result<std::int64_t> count_visits(const std::string& filter);
    // The visit, or nothing when there is no such visit.
    Result<std::optional<VisitSummary>> find_visit(std::int64_t id);
    // Every row of the visit (none for a visit that is not there).
    Result<std::vector<ArchivedReading>> visit_readings(std::int64_t id);
    // The readings of each of `jobs` (reading_of its rows), in the order given (none for a job
    // that is not there), each visit's rows read once.
    Result<std::vector<std::vector<Reading>>> job_readings(std::span<const JobRef> jobs);
    // The source bytes of a visit, checked against its SHA-256: an error when there is no such
    // visit, its bytes are gone or they no longer match (a damaged archive).
    Status read_source(std::int64_t id, std::vector<std::uint8_t>& bytes, VisitSource& kind);
    // Hands the checked source bytes of a visit to `use` where SQLite holds them (valid only
    // during the call), without a copy; the errors of read_source.
    Status use_source(std::int64_t id,
                      const std::function<void(std::span<const std::uint8_t>, VisitSource)>& use);

    // Replaces a job's title and notes; false when the visit has no such job (error() empty) or
    // on a failure, or texts check_job_texts refuses (error() says why).
    bool set_annotations(std::int64_t id, RecordKind kind, std::int32_t job, std::string_view title,
                         std::string_view notes);
    // Removes a visit and everything it holds, and marks it deleted here (visit_deletions.h);
    // projects keep its jobs attached. False when there is no such visit (error() empty).
    bool remove_visit(std::int64_t id);
    // SQLite's integrity check, and every visit's rows and source bytes against what it records.
    Result<ArchiveCheck> check();
    // The SHA-256 of every visit deleted here (visit_deletions.h).
    Result<std::set<std::string>> deleted_visits();

    // SQLite's reason for the last failure.
    const std::string& error() const { return db_.error(); }

    // The connection, for the holders of the key, on their own tables.
    SqliteDb& connection(ArchiveTablesKey) { return db_; }

private:
    friend class ArchiveTransaction;

    bool insert_rows(std::int64_t visit_id, const ReadingStore& store);
    bool insert_jobs(std::int64_t visit_id, const ReadingStore& store);
    Status add_jobs_to(std::vector<VisitSummary>& visits);
    Result<std::vector<VisitSummary>> visits_where(const std::string& filter, std::int64_t offset,
                                                   std::int64_t limit);
    Failure read_failure() const;

    SqliteDb db_;
    std::string path_;
    bool read_only_ = false;
};

// A change of several steps kept whole or not at all: what the archive, the project store and the
// sync's ledger change while it is open commits or rolls back with it (rolled back unless
// committed). Begun inside another, it is a part of that one.
class ArchiveTransaction {
public:
    explicit ArchiveTransaction(VisitArchive& archive) : transaction_(archive.db_) {}
    bool begun() const { return transaction_.begun(); }
    bool commit() { return transaction_.commit(); }

private:
    SqliteTransaction transaction_;
};

// The message of an archive that cannot be used: it names the file and the reason.
std::string archive_unusable_message(const std::string& path, std::string_view reason);

} // namespace qm
