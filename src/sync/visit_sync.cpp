#include "archive/sha256.h"
#include "archive/visit_deletions.h"
#include "archive/visit_loading.h"
#include "sync/project_parts.h"
#include "sync/sync_ledger.h"
#include "sync/team_sync.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace qm {

std::string server_conninfo(std::string_view given) {
    if (!given.empty()) {
        return std::string(given);
    }
    const char* env = std::getenv("QUELLMARK_SERVER");
    return env == nullptr ? std::string() : std::string(env);
}

std::string server_unreachable_message(std::string_view reason) {
    return "The team server cannot be reached: " + std::string(reason) +
           "\nEverything else works from this computer's archive; sync again later.";
}

namespace {

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string number(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

// A visit's readings in COPY's text format: numbers only, NULL as \N.
std::string copy_rows(const std::string& sha, const std::vector<ArchivedReading>& rows) {
    std::string out;
    out.reserve(rows.size() * 120);
    for (const ArchivedReading& r : rows) {
        out += sha;
        for (const std::int64_t v :
             {std::int64_t{r.job}, std::int64_t{r.kind}, std::int64_t{r.location},
              std::int64_t{r.sub_location}, std::int64_t{r.material}}) {
            out += '\t' + std::to_string(v);
        }
        out += '\t' + number(r.value);
        out += '\t' + (r.temperature ? number(*r.temperature) : std::string("\\N"));
        for (const std::int64_t v :
             {std::int64_t{r.year}, std::int64_t{r.month}, std::int64_t{r.day},
              std::int64_t{r.hour_code}, std::int64_t{r.minute}, r.clock_minute}) {
            out += '\t' + std::to_string(v);
        }
        out += '\n';
    }
    return out;
}

// Sends a visit the server lacks whose bytes match its SHA-256 and whose rows were read whole:
// true when this sync inserted it, false when another laptop had meanwhile, nothing on a failure
// (`error` says why when the archive could not give them).
std::optional<bool> push_visit(PgDb& db, VisitArchive& archive, const VisitSummary& visit,
                               std::string& error) {
    std::vector<std::uint8_t> bytes;
    VisitSource kind = VisitSource::Download;
    const Status source = archive.read_source(visit.id, bytes, kind);
    const Result<std::vector<ArchivedReading>> rows = archive.visit_readings(visit.id);
    if (!source || !rows) {
        error = !source ? source.error() : rows.error();
        return std::nullopt;
    }
    PgTransaction transaction(db);
    if (!transaction.begun()) {
        return std::nullopt;
    }
    const PgParam params[] = {PgParam::text(visit.sha256),
                              PgParam::number(visit.received.utc_seconds),
                              PgParam::number(visit.received.offset_seconds),
                              PgParam::text(visit_source_name(kind)),
                              PgParam::bytes(bytes_of(visit.meter)),
                              PgParam::number(visit.readings),
                              PgParam::bytes(bytes)};
    const auto inserted =
        db.query("INSERT INTO visits (sha256, received_utc, received_offset, source, meter, "
                 "readings, source_bytes) VALUES ($1, $2, $3, $4, $5, $6, $7) "
                 "ON CONFLICT (sha256) DO NOTHING",
                 params);
    if (!inserted) {
        return std::nullopt;
    }
    if (inserted->affected() == 0) { // another laptop pushed the same bytes meanwhile
        return transaction.commit() ? std::optional(false) : std::nullopt;
    }
    for (const ArchivedJob& job : visit.jobs) {
        const PgParam row[] = {PgParam::text(visit.sha256),
                               PgParam::number(static_cast<std::int64_t>(job.kind)),
                               PgParam::number(job.number),
                               PgParam::number(job.id),
                               PgParam::number(job.readings),
                               PgParam::bytes(bytes_of(job.title)),
                               PgParam::bytes(bytes_of(job.notes))};
        if (!db.query("INSERT INTO jobs (visit, kind, number, job_id, readings, title, notes) "
                      "VALUES ($1, $2, $3, $4, $5, $6, $7)",
                      row)) {
            return std::nullopt;
        }
    }
    const bool sent =
        db.copy_in("COPY readings (visit, job, kind, location, sub_location, material, value, "
                   "temperature, year, month, day, hour_code, minute, clock_minute) FROM STDIN",
                   copy_rows(visit.sha256, *rows)) &&
        transaction.commit();
    return sent ? std::optional(true) : std::nullopt;
}

// Visits being pulled: a visit is added to the archive first and its titles and notes after, so
// a pull cut off between the two is finished by the next sync.
bool mark_pulling(VisitArchive& archive, const std::string& sha, bool pulling, std::string& error) {
    const Status marked = SyncLedger(archive.db()).mark_pulling(sha, pulling);
    error = marked.error();
    return marked.ok();
}

// Gives the archive's visit `id` the titles and notes the server holds for its jobs.
bool pull_annotations(PgDb& db, VisitArchive& archive, std::int64_t id, const std::string& sha,
                      std::string& error) {
    const PgParam key = PgParam::text(sha);
    const auto jobs = db.query("SELECT kind, number, title, notes FROM jobs WHERE visit = $1",
                               std::span(&key, 1));
    if (!jobs) {
        error = db.error();
        return false;
    }
    for (int row = 0; row < jobs->rows(); ++row) {
        if (!archive.set_annotations(id, static_cast<RecordKind>(jobs->integer(row, 0)),
                                     static_cast<std::int32_t>(jobs->integer(row, 1)),
                                     hex_bytes(jobs->text(row, 2)),
                                     hex_bytes(jobs->text(row, 3))) &&
            !archive.error().empty()) {
            error = archive.error();
            return false;
        }
    }
    return mark_pulling(archive, sha, false, error);
}

bool pull_visit(PgDb& db, VisitArchive& archive, const std::string& sha, std::string& error) {
    const PgParam key = PgParam::text(sha);
    const auto meta = db.query("SELECT received_utc, received_offset FROM visits WHERE sha256 = $1",
                               std::span(&key, 1));
    const auto source =
        db.query("SELECT source_bytes FROM visits WHERE sha256 = $1", std::span(&key, 1), true);
    if (!meta || !source) {
        error = db.error();
        return false;
    }
    if (meta->rows() != 1 || source->rows() != 1) {
        return true; // removed on the server meanwhile
    }
    const std::string bytes = source->text(0, 0);
    if (sha256_hex(bytes_of(bytes)) != sha) {
        error = "the server's copy of visit " + sha.substr(0, 12) + " does not match its SHA-256";
        return false;
    }
    const ReceivedTime received{meta->integer(0, 0),
                                static_cast<std::int32_t>(meta->integer(0, 1))};
    if (!mark_pulling(archive, sha, true, error)) {
        return false;
    }
    const AddVisitResult added = archive_source(archive, bytes_of(bytes), received);
    if (added.status == AddVisitResult::Status::Failed) {
        error = added.error;
        return false;
    }
    return pull_annotations(db, archive, added.visit_id, sha, error);
}

// Finishes the pulls an earlier sync left between the visit and its titles and notes.
bool finish_pulls(PgDb& db, VisitArchive& archive, std::string& error) {
    const auto pulling = SyncLedger(archive.db()).pulling();
    if (!pulling) {
        error = pulling.error();
        return false;
    }
    std::vector<std::pair<std::int64_t, std::string>> unfinished;
    if (pulling->empty()) {
        return true;
    }
    const Result<VisitIndex> visits = index_visits(archive, nullptr);
    if (!visits) {
        error = visits.error();
        return false;
    }
    for (const std::string& sha : *pulling) {
        if (const auto id = visits->id.find(sha); id != visits->id.end()) {
            unfinished.emplace_back(id->second, sha);
        }
    }
    for (const auto& [id, sha] : unfinished) {
        if (!pull_annotations(db, archive, id, sha, error)) {
            return false;
        }
    }
    return true;
}

} // namespace

void sync_visits(PgDb& db, VisitArchive& archive, SyncObserver& observer, SyncReport& report) {
    if (!finish_pulls(db, archive, report.error)) {
        return;
    }
    const auto server = db.query("SELECT sha256 FROM visits", {});
    if (!server) {
        report.error = db.error();
        return;
    }
    std::set<std::string> remote;
    for (int row = 0; row < server->rows(); ++row) {
        remote.insert(server->text(row, 0));
    }
    std::set<std::string> local;
    std::vector<VisitSummary> to_push;
    Result<std::vector<VisitSummary>> visits = archive.all_visits();
    if (!visits) {
        report.error = visits.error();
        return;
    }
    for (VisitSummary& v : *visits) {
        local.insert(v.sha256);
        if (!remote.contains(v.sha256)) {
            to_push.push_back(std::move(v));
        }
    }
    for (std::size_t i = 0; i < to_push.size(); ++i) {
        if (observer.cancelled()) {
            report.cancelled = true;
            return;
        }
        observer.progress("push", i, to_push.size());
        std::string read_error;
        const std::optional<bool> inserted = push_visit(db, archive, to_push[i], read_error);
        if (!inserted) {
            report.error = !read_error.empty()  ? read_error
                           : db.error().empty() ? archive.error()
                                                : db.error();
            return;
        }
        report.pushed += *inserted ? 1 : 0;
    }
    // A visit deleted here stays deleted here; the team keeps it.
    const Result<std::set<std::string>> deleted = deleted_visits(archive);
    if (!deleted) {
        report.error = deleted.error();
        return;
    }
    std::vector<std::string> to_pull;
    for (const std::string& sha : remote) {
        if (!local.contains(sha) && !deleted->contains(sha)) {
            to_pull.push_back(sha);
        }
    }
    for (std::size_t i = 0; i < to_pull.size(); ++i) {
        if (observer.cancelled()) {
            report.cancelled = true;
            return;
        }
        observer.progress("pull", i, to_pull.size());
        if (!pull_visit(db, archive, to_pull[i], report.error)) {
            return;
        }
        ++report.pulled;
    }
    report.ok = true;
}

} // namespace qm
