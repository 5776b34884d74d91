#include "archive/visit_archive.h"

#include "archive/sha256.h"
#include "archive/visit_deletions.h"
#include "archive/visit_input.h"
#include "text/reading_time.h"

#include <sqlite3.h>

#include <array>
#include <map>

namespace qm {

namespace {

std::string text_of(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::span<const std::uint8_t> bytes_of(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// The row a reading becomes (see ArchivedReading).
void bind_reading(SqliteStatement& insert, const Reading& r) {
    insert.bind(3, std::int64_t{r.job})
        .bind(4, std::int64_t{r.kind})
        .bind(5, std::int64_t{r.location})
        .bind(6, std::int64_t{r.sub_location})
        .bind(7, std::int64_t{r.material})
        .bind(8, is_rh(r) ? r.rh : r.mc);
    if (is_rh(r)) {
        insert.bind(9, r.temperature);
    } else if (r.kind == Scan) {
        insert.bind_null(9);
    } else {
        insert.bind(9, static_cast<double>(r.pin_temperature));
    }
    insert.bind(10, std::int64_t{r.year})
        .bind(11, std::int64_t{r.month})
        .bind(12, std::int64_t{r.day})
        .bind(13, std::int64_t{r.hour_code})
        .bind(14, std::int64_t{r.minute})
        .bind(15, reading_minute(r));
}

constexpr std::string_view kVisitColumns =
    "SELECT v.id, v.received_utc, v.utc_offset, v.source_kind, v.meter, v.sha256, "
    "v.reading_count FROM visits v ";

// Matches the meter, a job's ID or its title; ?1 is the filter, ?1 = '' matches every visit.
constexpr std::string_view kFilterClause =
    "WHERE ?1 = '' OR instr(lower(CAST(v.meter AS TEXT)), lower(?1)) > 0 OR EXISTS (SELECT 1 "
    "FROM jobs j WHERE j.visit_id = v.id AND (instr(lower(CAST(j.title AS TEXT)), lower(?1)) > 0 "
    "OR printf('%03d', j.job_id) = ?1 OR CAST(j.job_id AS TEXT) = ?1)) ";

// A visit's rows (?1), in the order they were received.
constexpr std::string_view kReadingRows =
    "SELECT job, kind, location, sub_location, material, value, temperature, year, month, day, "
    "hour_code, minute, clock_minute FROM readings WHERE visit_id = ?1 ORDER BY seq";

// The row a query of kReadingRows stands on.
ArchivedReading row_of(const SqliteStatement& query) {
    ArchivedReading r;
    std::array<std::int32_t*, 5> head = {&r.job, &r.kind, &r.location, &r.sub_location,
                                         &r.material};
    for (std::size_t c = 0; c < head.size(); ++c) {
        *head[c] = static_cast<std::int32_t>(query.column_int(static_cast<int>(c)));
    }
    r.value = query.column_double(5);
    if (!query.column_is_null(6)) {
        r.temperature = query.column_double(6);
    }
    std::array<std::int32_t*, 5> clock = {&r.year, &r.month, &r.day, &r.hour_code, &r.minute};
    for (std::size_t c = 0; c < clock.size(); ++c) {
        *clock[c] = static_cast<std::int32_t>(query.column_int(static_cast<int>(c) + 7));
    }
    r.clock_minute = query.column_int(12);
    return r;
}

VisitSummary summary_of(const SqliteStatement& row) {
    VisitSummary v;
    v.id = row.column_int(0);
    v.received = {row.column_int(1), static_cast<std::int32_t>(row.column_int(2))};
    v.source = row.column_text(3) == "file" ? VisitSource::File : VisitSource::Download;
    v.meter = text_of(row.column_blob(4));
    v.sha256 = row.column_text(5);
    v.readings = row.column_int(6);
    return v;
}

} // namespace

Reading reading_of(const ArchivedReading& row) {
    Reading r;
    r.job = row.job;
    r.kind = row.kind;
    r.location = row.location;
    r.sub_location = row.sub_location;
    r.material = row.material;
    r.year = row.year;
    r.month = row.month;
    r.day = row.day;
    r.hour_code = row.hour_code;
    r.minute = row.minute;
    if (is_rh(r)) {
        r.rh = row.value;
        r.temperature = row.temperature.value_or(0.0);
    } else {
        r.mc = row.value;
        r.pin_temperature = static_cast<std::int32_t>(row.temperature.value_or(0.0));
    }
    return r;
}

VisitArchive::VisitArchive(SqliteDb db, std::string path, bool read_only)
    : db_(std::move(db)), path_(std::move(path)), read_only_(read_only) {}

AddVisitResult VisitArchive::add_visit(std::span<const std::uint8_t> source, VisitSource kind,
                                       const ReceivedTime& received, const ReadingStore& store,
                                       const MeterIdentity& meter) {
    AddVisitResult result;
    if (const Status input = check_visit_input({source, received, &store}); !input) {
        result.error = input.error();
        return result;
    }
    const std::string hash = sha256_hex(source);
    SqliteTransaction transaction(db_);
    SqliteStatement find(db_, "SELECT id FROM visits WHERE sha256 = ?1");
    if (!transaction.begun() || !find.ok()) {
        result.error = db_.error();
        return result;
    }
    if (find.bind_text(1, hash).step()) {
        result.status = AddVisitResult::Status::AlreadyArchived;
        result.visit_id = find.column_int(0);
        return result;
    }
    SqliteStatement visit(db_,
                          "INSERT INTO visits (sha256, received_utc, utc_offset, "
                          "source_kind, meter, reading_count) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    const bool visit_in =
        !find.failed() && visit.bind_text(1, hash)
                              .bind(2, received.utc_seconds)
                              .bind(3, std::int64_t{received.offset_seconds})
                              .bind_text(4, visit_source_name(kind))
                              .bind_blob(5, bytes_of(meter.model()))
                              .bind(6, static_cast<std::int64_t>(store.all_readings.size()))
                              .run();
    const std::int64_t id = db_.last_insert_id();
    SqliteStatement bytes(db_, "INSERT INTO visit_sources (visit_id, bytes) VALUES (?1, ?2)");
    if (!visit_in || !bytes.bind(1, id).bind_blob(2, source).run() || !insert_jobs(id, store) ||
        !insert_rows(id, store) || !clear_visit_deleted(db_, hash) || !transaction.commit()) {
        result.error =
            db_.error_code() == SQLITE_TOOBIG
                ? "its " + std::to_string(source.size()) + " bytes are too large for the archive"
                : db_.error();
        return result;
    }
    result.status = AddVisitResult::Status::Added;
    result.visit_id = id;
    return result;
}

bool VisitArchive::insert_jobs(std::int64_t visit_id, const ReadingStore& store) {
    std::array<std::array<std::int64_t, kMaxJobs + 1>, 2> counts{};
    for (const Reading& r : store.all_readings) {
        if (r.job >= 1 && r.job <= kMaxJobs) {
            ++counts[is_rh(r) ? 0 : 1][static_cast<std::size_t>(r.job)];
        }
    }
    SqliteStatement insert(db_, "INSERT INTO jobs (visit_id, kind, number, job_id, reading_count, "
                                "title, notes) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    const auto add = [&](RecordKind kind, std::int32_t job) {
        const auto n = static_cast<std::size_t>(job);
        return insert.bind(1, visit_id)
            .bind_text(2, record_kind_name(kind))
            .bind(3, std::int64_t{job})
            .bind(4, std::int64_t{store.job_ids[n - 1]})
            .bind(5, counts[static_cast<std::size_t>(kind)][n])
            .bind_blob(6, bytes_of(store.annotations.title(kind, job)))
            .bind_blob(7, bytes_of(store.annotations.notes(kind, job)))
            .run();
    };
    for (std::int32_t i = 0; i < store.mc_job_count; ++i) {
        if (!add(RecordKind::Mc, store.mc_jobs[static_cast<std::size_t>(i)])) {
            return false;
        }
    }
    for (std::int32_t i = 0; i < store.rh_job_count; ++i) {
        if (!add(RecordKind::Rh, store.rh_jobs[static_cast<std::size_t>(i)])) {
            return false;
        }
    }
    return insert.ok();
}

bool VisitArchive::insert_rows(std::int64_t visit_id, const ReadingStore& store) {
    SqliteStatement insert(db_,
                           "INSERT INTO readings VALUES "
                           "(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)");
    if (!insert.ok()) {
        return false;
    }
    std::int64_t seq = 0;
    for (const Reading& r : store.all_readings) {
        insert.bind(1, visit_id).bind(2, seq++);
        bind_reading(insert, r);
        if (!insert.run()) {
            return false;
        }
    }
    return true;
}

Failure VisitArchive::read_failure() const {
    return failure("the archive " + path_ + " cannot be read: " + db_.error());
}

Status VisitArchive::add_jobs_to(std::vector<VisitSummary>& visits) {
    SqliteStatement query(db_, "SELECT kind, number, job_id, reading_count, title, notes FROM jobs "
                               "WHERE visit_id = ?1 ORDER BY kind = 'rh', number");
    for (VisitSummary& v : visits) {
        query.reset();
        query.bind(1, v.id);
        while (query.step()) {
            v.jobs.push_back({parse_record_kind(query.column_text(0)).value_or(RecordKind::Mc),
                              static_cast<std::int32_t>(query.column_int(1)),
                              static_cast<std::int32_t>(query.column_int(2)), query.column_int(3),
                              text_of(query.column_blob(4)), text_of(query.column_blob(5))});
        }
        if (query.failed() || !query.ok()) {
            return read_failure();
        }
    }
    return done();
}

Result<std::vector<VisitSummary>>
VisitArchive::visits_where(const std::string& filter, std::int64_t offset, std::int64_t limit) {
    SqliteReadTransaction read(db_);
    if (!read.begun()) {
        return read_failure();
    }
    std::vector<VisitSummary> visits;
    SqliteStatement query(db_, std::string(kVisitColumns) + std::string(kFilterClause) +
                                   "ORDER BY v.received_utc DESC, v.id DESC LIMIT ?2 OFFSET ?3");
    query.bind_text(1, filter).bind(2, limit).bind(3, offset);
    while (query.step()) {
        visits.push_back(summary_of(query));
    }
    if (!query.ok() || query.failed()) {
        return read_failure();
    }
    if (const Status jobs = add_jobs_to(visits); !jobs) {
        return failure(jobs.error());
    }
    return visits;
}

Result<std::vector<VisitSummary>>
VisitArchive::list_visits(const std::string& filter, std::int64_t offset, std::int64_t limit) {
    return visits_where(filter, offset, limit);
}

Result<std::vector<VisitSummary>> VisitArchive::all_visits(const std::string& filter) {
    return visits_where(filter, 0, -1); // LIMIT -1: no limit
}

Result<std::int64_t> VisitArchive::count_visits(const std::string& filter) {
    SqliteStatement query(db_, "SELECT count(*) FROM visits v " + std::string(kFilterClause));
    if (!query.bind_text(1, filter).step()) {
        return read_failure();
    }
    return query.column_int(0);
}

Result<std::optional<VisitSummary>> VisitArchive::find_visit(std::int64_t id) {
    SqliteReadTransaction read(db_);
    if (!read.begun()) {
        return read_failure();
    }
    SqliteStatement query(db_, std::string(kVisitColumns) + "WHERE v.id = ?1");
    std::vector<VisitSummary> found;
    if (query.bind(1, id).step()) {
        found.push_back(summary_of(query));
    }
    if (!query.ok() || query.failed()) {
        return read_failure();
    }
    if (const Status jobs = add_jobs_to(found); !jobs) {
        return failure(jobs.error());
    }
    return found.empty() ? std::optional<VisitSummary>() : std::move(found[0]);
}

Result<std::vector<ArchivedReading>> VisitArchive::visit_readings(std::int64_t id) {
    std::vector<ArchivedReading> rows;
    SqliteStatement query(db_, std::string(kReadingRows));
    query.bind(1, id);
    while (query.step()) {
        rows.push_back(row_of(query));
    }
    if (!query.ok() || query.failed()) {
        return read_failure();
    }
    return rows;
}

Result<std::vector<std::vector<Reading>>> VisitArchive::job_readings(std::span<const JobRef> jobs) {
    SqliteReadTransaction read(db_);
    SqliteStatement query(db_, std::string(kReadingRows));
    if (!read.begun() || !query.ok()) {
        return read_failure();
    }
    std::vector<std::vector<Reading>> out(jobs.size());
    std::map<std::int64_t, std::vector<std::size_t>> by_visit;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        by_visit[jobs[i].visit_id].push_back(i);
    }
    for (const auto& [visit, wanted] : by_visit) {
        // [rh][number]: where a row of that job goes (index + 1), 0 for nowhere.
        std::array<std::array<std::size_t, kMaxJobs + 1>, 2> slot{};
        for (const std::size_t i : wanted) {
            const JobRef& j = jobs[i];
            if (j.number >= 1 && j.number <= kMaxJobs) {
                slot[j.kind == RecordKind::Rh ? 1 : 0][static_cast<std::size_t>(j.number)] = i + 1;
            }
        }
        query.reset();
        query.bind(1, visit);
        while (query.step()) {
            const ArchivedReading row = row_of(query);
            const std::size_t n =
                row.job >= 1 && row.job <= kMaxJobs
                    ? slot[row.kind == RhTemperature ? 1 : 0][static_cast<std::size_t>(row.job)]
                    : 0;
            if (n > 0) {
                out[n - 1].push_back(reading_of(row));
            }
        }
        if (query.failed()) {
            return read_failure();
        }
    }
    return out;
}

Status VisitArchive::use_source(
    std::int64_t id, const std::function<void(std::span<const std::uint8_t>, VisitSource)>& use) {
    SqliteStatement query(db_, "SELECT v.source_kind, s.bytes, v.sha256, s.visit_id IS NULL "
                               "FROM visits v LEFT JOIN visit_sources s ON s.visit_id = v.id "
                               "WHERE v.id = ?1");
    if (!query.bind(1, id).step()) {
        if (!query.ok() || query.failed()) {
            return read_failure();
        }
        return failure("there is no visit " + std::to_string(id) + " in the archive");
    }
    const std::string visit = "the source bytes of visit " + std::to_string(id);
    if (query.column_int(3) != 0) {
        return damage(visit + " are gone from the archive");
    }
    const std::span<const std::uint8_t> bytes = query.column_blob(1);
    if (sha256_hex(bytes) != query.column_text(2)) {
        return damage(visit + " no longer match their SHA-256: the archive is damaged");
    }
    use(bytes, query.column_text(0) == "file" ? VisitSource::File : VisitSource::Download);
    return done();
}

Status VisitArchive::read_source(std::int64_t id, std::vector<std::uint8_t>& bytes,
                                 VisitSource& kind) {
    return use_source(id, [&](std::span<const std::uint8_t> source, VisitSource source_kind) {
        bytes.assign(source.begin(), source.end());
        kind = source_kind;
    });
}

bool VisitArchive::set_annotations(std::int64_t id, RecordKind kind, std::int32_t job,
                                   std::string_view title, std::string_view notes) {
    db_.restore_failure(0, {}); // a job that is not there is no failure
    if (const Status texts = check_job_texts(title, notes); !texts) {
        db_.restore_failure(SQLITE_CONSTRAINT, texts.error());
        return false;
    }
    SqliteStatement update(db_, "UPDATE jobs SET title = ?4, notes = ?5 "
                                "WHERE visit_id = ?1 AND kind = ?2 AND number = ?3");
    return update.bind(1, id)
               .bind_text(2, record_kind_name(kind))
               .bind(3, std::int64_t{job})
               .bind_blob(4, bytes_of(title))
               .bind_blob(5, bytes_of(notes))
               .run() &&
           db_.changes() == 1;
}

bool VisitArchive::remove_visit(std::int64_t id) {
    db_.restore_failure(0, {}); // a visit that is not there is no failure
    SqliteTransaction transaction(db_);
    SqliteStatement remove(db_, "DELETE FROM visits WHERE id = ?1");
    return transaction.begun() && mark_visit_deleted(db_, id) && remove.bind(1, id).run() &&
           db_.changes() == 1 && transaction.commit();
}

namespace {

// The visits a query of visit ids names, in `ids`; false on a failure.
bool visit_ids(SqliteDb& db, std::string_view sql, std::vector<std::int64_t>& ids) {
    SqliteStatement query(db, sql);
    while (query.step()) {
        ids.push_back(query.column_int(0));
    }
    return query.ok() && !query.failed();
}

} // namespace

Result<ArchiveCheck> VisitArchive::check() {
    ArchiveCheck result;
    SqliteReadTransaction read(db_);
    if (!read.begun()) {
        return read_failure();
    }
    SqliteStatement integrity(db_, "PRAGMA integrity_check");
    while (integrity.step()) {
        result.integrity.push_back(integrity.column_text(0));
    }
    if (integrity.failed()) {
        result.integrity.push_back(db_.error());
    }
    SqliteStatement sources(db_, "SELECT v.id, v.sha256, s.bytes FROM visits v JOIN "
                                 "visit_sources s ON s.visit_id = v.id ORDER BY v.id");
    while (sources.step()) {
        if (sha256_hex(sources.column_blob(2)) != sources.column_text(1)) {
            result.damaged_visits.push_back(sources.column_int(0));
        }
    }
    if (!sources.ok() || sources.failed() ||
        !db_.query_int("SELECT count(*) FROM visits", result.visits) ||
        !db_.query_int("SELECT count(*) FROM readings", result.readings) ||
        !visit_ids(db_,
                   "SELECT v.id FROM visits v WHERE v.reading_count != (SELECT count(*) FROM "
                   "readings r WHERE r.visit_id = v.id) ORDER BY v.id",
                   result.incomplete_visits) ||
        !visit_ids(db_,
                   "SELECT v.id FROM visits v WHERE NOT EXISTS (SELECT 1 FROM visit_sources s "
                   "WHERE s.visit_id = v.id) ORDER BY v.id",
                   result.sourceless_visits)) {
        return read_failure();
    }
    return result;
}

} // namespace qm
