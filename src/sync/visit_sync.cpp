#include "archive/sha256.h"
#include "archive/visit_input.h"
#include "archive/visit_loading.h"
#include "sync/project_parts.h"
#include "sync/pulled_input.h"
#include "sync/sync_ledger.h"
#include "sync/team_sync.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
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

// A visit of the server this sync leaves out, and why, for the user.
void skip_visit(SyncReport& report, const std::string& sha, std::string_view where,
                const std::string& why) {
    report.skipped.push_back("Visit " + sha.substr(0, 12) + std::string(where) + ": " + why);
}

enum class Pushed {
    Sent,    // inserted by this sync
    Already, // another laptop pushed the same bytes meanwhile
    Skipped, // damaged here, not sent
    Failed,  // report.error says why
};

// Sends a visit the server lacks, from bytes that match its SHA-256 and rows read whole.
Pushed push_visit(PgDb& db, VisitArchive& archive, const VisitSummary& visit, SyncReport& report) {
    std::vector<std::uint8_t> bytes;
    VisitSource kind = VisitSource::Download;
    const Status source = archive.read_source(visit.id, bytes, kind);
    // Bytes damaged on this disk (read_source checks them against the SHA-256 of the visit's
    // row) are never sent as the visit: the team keeps the good copy.
    if (source.damaged()) {
        skip_visit(report, visit.sha256, " of this archive was not sent",
                   "its bytes no longer match its SHA-256 (qmtool archive check)");
        return Pushed::Skipped;
    }
    const Result<std::vector<ArchivedReading>> rows =
        source ? archive.visit_readings(visit.id)
               : Result<std::vector<ArchivedReading>>(failure(source.error()));
    if (!rows) {
        report.error = rows.error();
        return Pushed::Failed;
    }
    const auto failed = [&] {
        report.error = db.error();
        return Pushed::Failed;
    };
    PgTransaction transaction(db);
    if (!transaction.begun()) {
        return failed();
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
        return failed();
    }
    if (inserted->affected() == 0) {
        return transaction.commit() ? Pushed::Already : failed();
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
            return failed();
        }
    }
    const bool sent =
        db.copy_in("COPY readings (visit, job, kind, location, sub_location, material, value, "
                   "temperature, year, month, day, hour_code, minute, clock_minute) FROM STDIN",
                   copy_rows(visit.sha256, *rows)) &&
        transaction.commit();
    return sent ? Pushed::Sent : failed();
}

// Visits being pulled: a visit is added to the archive first and its titles and notes after, so
// a pull cut off between the two is finished by the next sync.
bool mark_pulling(VisitArchive& archive, const std::string& sha, bool pulling, std::string& error) {
    const Status marked = SyncLedger(archive).mark_pulling(sha, pulling);
    error = marked.error();
    return marked.ok();
}

struct PulledTitles {
    RecordKind kind = RecordKind::Mc;
    std::int32_t number = 0;
    std::string title;
    std::string notes;
};

// The titles and notes the server holds for a visit's jobs; nothing on a failure (db.error()).
std::optional<std::vector<PulledTitles>> server_annotations(PgDb& db, const std::string& sha) {
    const PgParam key = PgParam::text(sha);
    const auto jobs = db.query("SELECT kind, number, title, notes FROM jobs WHERE visit = $1",
                               std::span(&key, 1));
    if (!jobs) {
        return std::nullopt;
    }
    std::vector<PulledTitles> out;
    for (int row = 0; row < jobs->rows(); ++row) {
        out.push_back({static_cast<RecordKind>(jobs->integer(row, 0)),
                       static_cast<std::int32_t>(jobs->integer(row, 1)),
                       hex_bytes(jobs->text(row, 2)), hex_bytes(jobs->text(row, 3))});
    }
    return out;
}

std::optional<std::string> annotations_problem(const std::vector<PulledTitles>& jobs) {
    for (const PulledTitles& job : jobs) {
        if (const Status texts = check_job_texts(job.title, job.notes); !texts) {
            return texts.error();
        }
    }
    return std::nullopt;
}

// Gives the archive's visit `id` the titles and notes of `jobs` and ends its pull.
bool take_annotations(VisitArchive& archive, std::int64_t id, const std::string& sha,
                      const std::vector<PulledTitles>& jobs, std::string& error) {
    for (const PulledTitles& job : jobs) {
        if (!archive.set_annotations(id, job.kind, job.number, job.title, job.notes) &&
            !archive.error().empty()) {
            error = archive.error();
            return false;
        }
    }
    return mark_pulling(archive, sha, false, error);
}

// The server's visit, its size and received time checked before its bytes are fetched.
struct ServerVisit {
    bool gone = false; // removed on the server meanwhile
    std::optional<std::string> problem;
    ReceivedTime received;
    std::string bytes;
};

std::optional<ServerVisit> fetch_visit(PgDb& db, const std::string& sha) {
    const PgParam key = PgParam::text(sha);
    const auto meta = db.query("SELECT received_utc, received_offset, octet_length(source_bytes) "
                               "FROM visits WHERE sha256 = $1",
                               std::span(&key, 1));
    if (!meta) {
        return std::nullopt;
    }
    ServerVisit visit;
    if ((visit.gone = meta->rows() != 1)) {
        return visit;
    }
    const std::int64_t offset = meta->integer(0, 1);
    visit.problem = pulled_visit_problem(meta->integer(0, 2), meta->integer(0, 0), offset);
    if (visit.problem) {
        return visit;
    }
    visit.received = {meta->integer(0, 0), static_cast<std::int32_t>(offset)};
    const auto source =
        db.query("SELECT source_bytes FROM visits WHERE sha256 = $1", std::span(&key, 1), true);
    if (!source) {
        return std::nullopt;
    }
    if ((visit.gone = source->rows() != 1)) {
        return visit;
    }
    visit.bytes = source->text(0, 0);
    if (sha256_hex(bytes_of(visit.bytes)) != sha) {
        visit.problem = "its bytes do not match its SHA-256";
    }
    return visit;
}

// Decodes a pulled visit's bytes and adds it to the archive; a visit they do not make is left
// out with a message, as a file of them would be refused.
bool add_pulled(VisitArchive& archive, const std::string& sha, const ServerVisit& visit,
                SyncReport& report, std::int64_t& id) {
    auto store = std::make_unique<ReadingStore>();
    MeterIdentity meter;
    auto records = std::make_unique<JobRecords>();
    Selection selection;
    const DecodedSource decoded =
        decode_source(bytes_of(visit.bytes), *store, meter, *records, selection);
    if (!decoded.ok || store->all_readings.empty()) {
        skip_visit(report, sha, " on the server was left out",
                   decoded.ok || decoded.error.empty()
                       ? "its bytes hold no readings (not a download or a .qmk)"
                       : decoded.error);
        return true;
    }
    if (!mark_pulling(archive, sha, true, report.error)) {
        return false;
    }
    const AddVisitResult added =
        archive.add_visit(bytes_of(visit.bytes), decoded.kind, visit.received, *store, meter);
    if (added.status == AddVisitResult::Status::Failed) {
        report.error = added.error;
        return false;
    }
    id = added.visit_id;
    return true;
}

// The visit `id` as the archive holds it now, in `visits` (in place of `at`, or added).
bool note_visit(VisitArchive& archive, std::int64_t id, std::vector<VisitSummary>& visits,
                std::size_t at, SyncReport& report) {
    Result<std::optional<VisitSummary>> found = archive.find_visit(id);
    if (!found) {
        report.error = found.error();
        return false;
    }
    if (!*found) {
        return true; // removed meanwhile by another program
    }
    if (at < visits.size()) {
        visits[at] = std::move(**found);
    } else {
        visits.push_back(std::move(**found));
    }
    return true;
}

// Pulls one visit; a visit that fails the checks of local input is left out with one message
// naming it, and the sync goes on. False when the sync must stop (report.error).
bool pull_visit(PgDb& db, VisitArchive& archive, const std::string& sha,
                std::vector<VisitSummary>& visits, SyncReport& report) {
    const std::optional<ServerVisit> visit = fetch_visit(db, sha);
    const auto jobs = visit && !visit->gone && !visit->problem ? server_annotations(db, sha)
                                                               : std::vector<PulledTitles>{};
    if (!visit || !jobs) {
        report.error = db.error();
        return false;
    }
    if (visit->gone) {
        return true;
    }
    const std::optional<std::string> problem =
        visit->problem ? visit->problem : annotations_problem(*jobs);
    if (problem) {
        skip_visit(report, sha, " on the server was left out", *problem);
        return true;
    }
    std::int64_t id = 0;
    if (!add_pulled(archive, sha, *visit, report, id)) {
        return false;
    }
    if (id != 0) {
        ++report.pulled;
        return take_annotations(archive, id, sha, *jobs, report.error) &&
               note_visit(archive, id, visits, visits.size(), report);
    }
    return true;
}

// Finishes the pulls an earlier sync left between the visit and its titles and notes.
bool finish_pulls(PgDb& db, VisitArchive& archive, std::vector<VisitSummary>& visits,
                  SyncReport& report) {
    const auto pulling = SyncLedger(archive).pulling();
    if (!pulling) {
        report.error = pulling.error();
        return false;
    }
    std::map<std::string, std::size_t> at;
    for (std::size_t i = 0; i < visits.size() && !pulling->empty(); ++i) {
        at[visits[i].sha256] = i;
    }
    for (const std::string& sha : *pulling) {
        const auto here = at.find(sha);
        if (here == at.end()) {
            continue;
        }
        auto jobs = server_annotations(db, sha);
        if (!jobs) {
            report.error = db.error();
            return false;
        }
        if (const auto problem = annotations_problem(*jobs)) {
            skip_visit(report, sha, "'s titles and notes on the server were left out", *problem);
            jobs->clear(); // the visit keeps those its bytes hold
        }
        const std::int64_t id = visits[here->second].id;
        if (!take_annotations(archive, id, sha, *jobs, report.error) ||
            !note_visit(archive, id, visits, here->second, report)) {
            return false;
        }
    }
    return true;
}

} // namespace

void sync_visits(PgDb& db, VisitArchive& archive, SyncObserver& observer, SyncReport& report,
                 std::vector<VisitSummary>& visits) {
    Result<std::vector<VisitSummary>> listed = archive.all_visits();
    if (!listed) {
        report.error = listed.error();
        return;
    }
    visits = std::move(*listed);
    if (!finish_pulls(db, archive, visits, report)) {
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
    std::vector<std::size_t> to_push;
    for (std::size_t i = 0; i < visits.size(); ++i) {
        local.insert(visits[i].sha256);
        if (!remote.contains(visits[i].sha256)) {
            to_push.push_back(i);
        }
    }
    for (std::size_t i = 0; i < to_push.size(); ++i) {
        if (observer.cancelled()) {
            report.cancelled = true;
            return;
        }
        observer.progress("push", i, to_push.size());
        const Pushed pushed = push_visit(db, archive, visits[to_push[i]], report);
        if (pushed == Pushed::Failed) {
            return;
        }
        report.pushed += pushed == Pushed::Sent ? 1 : 0;
    }
    // A visit deleted here stays deleted here; the team keeps it.
    const Result<std::set<std::string>> deleted = archive.deleted_visits();
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
        if (!pull_visit(db, archive, to_pull[i], visits, report)) {
            return;
        }
    }
    report.ok = true;
}

} // namespace qm
