#include "sync/sync_ledger.h"

#include <span>

namespace qm {

namespace {

constexpr std::string_view kPendingPrefix = "pending/";

// The details of a row an earlier run wrote, in columns.
std::string legacy_details(const SqliteStatement& q) {
    const auto small = [&](int column) {
        return q.column_is_null(column) ? std::nullopt : std::optional<int>(q.column_int(column));
    };
    ProjectDetails d{q.column_text(3), q.column_text(5), q.column_text(6), q.column_text(7),
                     std::nullopt,     small(9),         small(10),        q.column_text(11)};
    if (!q.column_is_null(8)) {
        d.loss_date = q.column_int(8);
    }
    return details_text(d);
}

std::span<const std::uint8_t> bytes_of(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string blob_text(const SqliteStatement& q, int column) {
    const auto bytes = q.column_blob(column);
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

} // namespace

Failure SyncLedger::failed() const {
    return failure(db_.error().empty() ? "the archive's sync records cannot be used" : db_.error());
}

Result<std::vector<Link>> SyncLedger::rows(bool pending) {
    std::vector<Link> out;
    SqliteStatement q(db_, "SELECT key, project, revision, name, details, client, site, "
                           "claim, loss_date, category, water_class, notes, jobs, points, "
                           "standards, equipment, legend, photos FROM sync_projects ORDER BY key");
    while (q.ok() && q.step()) {
        std::string key = q.column_text(0);
        if (key.starts_with(kPendingPrefix) != pending) {
            continue;
        }
        Link link{pending ? key.substr(kPendingPrefix.size()) : key,
                  std::nullopt,
                  q.column_int(2),
                  q.column_text(3),
                  {}};
        if (!q.column_is_null(1)) {
            link.project = q.column_int(1);
        }
        link.base[0] = q.column_is_null(4) ? legacy_details(q) : q.column_text(4);
        for (std::size_t part = 1; part < kProjectPartCount; ++part) {
            link.base[part] = q.column_text(static_cast<int>(part) + 11);
        }
        out.push_back(std::move(link));
    }
    if (!q.ok() || q.failed()) {
        return failed();
    }
    return out;
}

Result<std::vector<Link>> SyncLedger::links() {
    return rows(false);
}

Result<std::map<std::string, PartTexts>> SyncLedger::pending() {
    auto pending = rows(true);
    if (!pending) {
        return failure(pending.error());
    }
    std::map<std::string, PartTexts> out;
    for (Link& row : *pending) {
        out.emplace(std::move(row.key), std::move(row.base));
    }
    return out;
}

Status SyncLedger::set_link(const Link& link) {
    SqliteStatement s(db_, "INSERT OR REPLACE INTO sync_projects (key, project, revision, "
                           "name, details, jobs, points, standards, equipment, legend, "
                           "photos) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    s.bind_text(1, link.key).bind(3, link.revision).bind_text(4, link.name);
    link.project ? s.bind(2, *link.project) : s.bind_null(2);
    for (std::size_t part = 0; part < kProjectPartCount; ++part) {
        s.bind_text(static_cast<int>(part) + 5, link.base[part]);
    }
    SqliteStatement settled(db_, "DELETE FROM sync_projects WHERE key = ?1");
    if (!s.ok() || !s.run() || !settled.ok() ||
        !settled.bind_text(1, std::string(kPendingPrefix) + link.key).run()) {
        return failed();
    }
    return done();
}

Status SyncLedger::remove_link(const std::string& key) {
    SqliteStatement s(db_, "DELETE FROM sync_projects WHERE key IN (?1, ?2)");
    if (!s.ok() || !s.bind_text(1, key).bind_text(2, std::string(kPendingPrefix) + key).run()) {
        return failed();
    }
    return done();
}

Status SyncLedger::set_pending(const std::string& key, const PartTexts& sent) {
    return set_link({std::string(kPendingPrefix) + key, std::nullopt, 0, {}, sent});
}

Result<std::map<TitleKey, TitlesBase>> SyncLedger::title_rows(bool pending) {
    std::map<TitleKey, TitlesBase> out;
    SqliteStatement q(db_, "SELECT sha256, kind, number, revision, title, notes FROM sync_titles");
    while (q.ok() && q.step()) {
        std::string kind = q.column_text(1);
        if (kind.starts_with(kPendingPrefix) != pending) {
            continue;
        }
        kind.erase(0, pending ? kPendingPrefix.size() : 0);
        TitleKey job{q.column_text(0), parse_record_kind(kind).value_or(RecordKind::Mc),
                     static_cast<std::int32_t>(q.column_int(2))};
        out[std::move(job)] = {q.column_int(3), blob_text(q, 4), blob_text(q, 5)};
    }
    if (!q.ok() || q.failed()) {
        return failed();
    }
    return out;
}

Result<std::map<TitleKey, TitlesBase>> SyncLedger::title_bases() {
    return title_rows(false);
}

Result<std::map<TitleKey, TitlesBase>> SyncLedger::titles_pending() {
    return title_rows(true);
}

Status SyncLedger::write_titles(const TitleKey& job, const TitlesBase& base, bool pending) {
    const std::string kind = (pending ? std::string(kPendingPrefix) : std::string()) +
                             std::string(record_kind_name(job.kind));
    SqliteStatement s(db_, "INSERT OR REPLACE INTO sync_titles (sha256, kind, number, revision, "
                           "title, notes) VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    s.bind_text(1, job.sha).bind_text(2, kind);
    s.bind(3, std::int64_t{job.number}).bind(4, base.revision);
    if (!s.ok() || !s.bind_blob(5, bytes_of(base.title)).bind_blob(6, bytes_of(base.notes)).run()) {
        return failed();
    }
    return done();
}

Status SyncLedger::set_title_base(const TitleKey& job, const TitlesBase& base) {
    SqliteStatement settled(db_, "DELETE FROM sync_titles WHERE sha256 = ?1 AND kind = ?2 AND "
                                 "number = ?3");
    settled.bind_text(1, job.sha)
        .bind_text(2, std::string(kPendingPrefix) + std::string(record_kind_name(job.kind)))
        .bind(3, std::int64_t{job.number});
    if (!write_titles(job, base, false) || !settled.ok() || !settled.run()) {
        return failed();
    }
    return done();
}

Status SyncLedger::set_titles_pending(const TitleKey& job, const TitlesBase& sent) {
    return write_titles(job, sent, true);
}

Result<std::vector<std::string>> SyncLedger::pulling() {
    std::vector<std::string> out;
    SqliteStatement q(db_, "SELECT sha256 FROM sync_pulling ORDER BY sha256");
    while (q.ok() && q.step()) {
        out.push_back(q.column_text(0));
    }
    if (!q.ok() || q.failed()) {
        return failed();
    }
    return out;
}

Result<std::map<std::string, std::pair<std::int64_t, std::string>>> SyncLedger::evidence_bases() {
    std::map<std::string, std::pair<std::int64_t, std::string>> out;
    SqliteStatement q(db_, "SELECT sha256, revision, evidence FROM sync_evidence");
    while (q.ok() && q.step()) {
        out[q.column_text(0)] = {q.column_int(1), q.column_text(2)};
    }
    if (!q.ok() || q.failed()) {
        return failed();
    }
    return out;
}

Status SyncLedger::set_evidence_base(const std::string& sha, std::int64_t revision,
                                     const std::string& text) {
    SqliteStatement s(db_, "INSERT OR REPLACE INTO sync_evidence (sha256, revision, evidence) "
                           "VALUES (?1, ?2, ?3)");
    if (!s.ok() || !s.bind_text(1, sha).bind(2, revision).bind_text(3, text).run()) {
        return failed();
    }
    return done();
}

Status SyncLedger::mark_pulling(const std::string& sha, bool pulling) {
    SqliteStatement s(db_, pulling ? "INSERT OR IGNORE INTO sync_pulling (sha256) VALUES (?1)"
                                   : "DELETE FROM sync_pulling WHERE sha256 = ?1");
    if (!s.ok() || !s.bind_text(1, sha).run()) {
        return failed();
    }
    return done();
}

} // namespace qm
