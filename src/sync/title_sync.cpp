// Titles and notes of jobs edited after their visit was pushed: each job's pair compared three
// ways (this archive's, the server's and the pair last synced, in the ledger) as the projects'
// parts are, the server's row written only on the revision read.
#include "archive/visit_input.h"
#include "sync/sync_ledger.h"
#include "sync/team_sync.h"
#include "text/cp1252.h"

#include <map>
#include <tuple>

namespace qm {

namespace {

struct Titles {
    std::string title;
    std::string notes;
    bool operator==(const Titles&) const = default;
};

struct ServerTitles {
    std::int64_t revision = 0;
    Titles titles;
};

struct LocalJob {
    std::int64_t visit_id = 0;
    std::string sha;
    RecordKind kind = RecordKind::Mc;
    std::int32_t number = 0;
    Titles titles;
    std::optional<ServerTitles> base;
    std::optional<Titles> sent; // to the server by a sync whose answer was not recorded
    bool settled = false;       // the base is what was sent, found on the server
};

using JobKey = std::tuple<std::string, int, std::int64_t>; // SHA-256, kind, number

std::optional<std::map<JobKey, ServerTitles>> server_titles(PgDb& db, const std::string& sha,
                                                            int kind, std::int64_t number) {
    const PgParam which[] = {PgParam::text(sha), PgParam::number(kind), PgParam::number(number)};
    const auto rows = db.query("SELECT visit, kind, number, revision, encode(title, 'hex'), "
                               "encode(notes, 'hex') FROM jobs WHERE $1 IN ('', visit) AND "
                               "($1 = '' OR (kind = $2 AND number = $3))",
                               which);
    if (!rows) {
        return std::nullopt;
    }
    std::map<JobKey, ServerTitles> out;
    for (int i = 0; i < rows->rows(); ++i) {
        out[{rows->text(i, 0), static_cast<int>(rows->integer(i, 1)), rows->integer(i, 2)}] = {
            rows->integer(i, 3), {hex_bytes(rows->text(i, 4)), hex_bytes(rows->text(i, 5))}};
    }
    return out;
}

TitleKey title_key(const LocalJob& job) {
    return {job.sha, job.kind, job.number};
}

// The archive's jobs, each with its titles and notes as last synced.
std::vector<LocalJob> local_jobs(const std::vector<VisitSummary>& visits,
                                 const std::map<TitleKey, TitlesBase>& bases,
                                 const std::map<TitleKey, TitlesBase>& sent) {
    std::vector<LocalJob> out;
    for (const VisitSummary& v : visits) {
        for (const ArchivedJob& j : v.jobs) {
            LocalJob job{v.id,         v.sha256,     j.kind, j.number, {j.title, j.notes},
                         std::nullopt, std::nullopt, false};
            if (const auto base = bases.find(title_key(job)); base != bases.end()) {
                job.base =
                    ServerTitles{base->second.revision, {base->second.title, base->second.notes}};
            }
            if (const auto pending = sent.find(title_key(job)); pending != sent.end()) {
                job.sent = Titles{pending->second.title, pending->second.notes};
            }
            out.push_back(std::move(job));
        }
    }
    return out;
}

bool set_base(VisitArchive& archive, const LocalJob& job, const ServerTitles& base) {
    return SyncLedger(archive)
        .set_title_base(title_key(job), {base.revision, base.titles.title, base.titles.notes})
        .ok();
}

// Windows-1252 bytes as UTF-8, for the user.
std::string readable(std::string_view bytes) {
    std::string out = cp1252_to_utf8(bytes);
    std::erase(out, '\r');
    return out;
}

std::string titles_text(const Titles& t) {
    return "title: " + readable(t.title) + "\nnotes: " + readable(t.notes);
}

struct Context {
    PgDb& db;
    VisitArchive& archive;
    const RefusedChoices& choices;
    SyncReport& report;
    // Jobs found alike on both sides, their base written at the end in one transaction (a
    // commit each would cost a disk flush per job of every visit just pulled). A base lost to
    // a cut-off sync is found again next time, as the two sides still agree.
    std::vector<std::pair<const LocalJob*, ServerTitles>> agreed;
};

bool write_agreed(Context& c) {
    if (c.agreed.empty()) {
        return true;
    }
    ArchiveTransaction transaction(c.archive);
    for (const auto& [job, base] : c.agreed) {
        if (!transaction.begun() || !set_base(c.archive, *job, base)) {
            return false;
        }
    }
    c.agreed.clear();
    return transaction.commit();
}

SyncStep step_of(const Context& c, const LocalJob& job, const ServerTitles& theirs,
                 const std::string& key) {
    const bool here = !job.base || job.titles != job.base->titles;
    const bool there =
        !job.base || (theirs.revision != job.base->revision && theirs.titles != job.base->titles);
    return sync_step(here, there, c.choices, key);
}

bool fail(Context& c, const std::string& error) {
    c.report.error = error.empty() ? "the archive could not be written" : error;
    return false;
}

bool sync_job(Context& c, const LocalJob& job, const ServerTitles& theirs, bool retry);

std::string job_key(const LocalJob& job) {
    return "visit/" + job.sha + "/" + std::string(record_kind_name(job.kind)) + "/" +
           std::to_string(job.number);
}

// Lists a job's titles and notes as a refused edit of this archive's.
void refuse(Context& c, const LocalJob& job, const ServerTitles& theirs, std::string reason) {
    RefusedEdit refused;
    refused.key = job_key(job);
    refused.what = "Visit " + job.sha.substr(0, 12) + ", " +
                   (job.kind == RecordKind::Rh ? "RH/T" : "MC") + " job #" +
                   std::to_string(job.number) + ": title and notes";
    refused.mine_text = titles_text(job.titles);
    refused.theirs_text = titles_text(theirs.titles);
    refused.reason = std::move(reason);
    c.report.refused.push_back(std::move(refused));
}

// Writes this archive's titles and notes of a job on the server's revision read; a write that
// lost the race is tried once more on the server's new state.
bool push_titles(Context& c, const LocalJob& job, const ServerTitles& theirs, bool retry) {
    const int kind = static_cast<int>(job.kind);
    const std::string_view title = job.titles.title;
    const std::string_view notes = job.titles.notes;
    const PgParam row[] = {
        PgParam::bytes({reinterpret_cast<const std::uint8_t*>(title.data()), title.size()}),
        PgParam::bytes({reinterpret_cast<const std::uint8_t*>(notes.data()), notes.size()}),
        PgParam::text(job.sha),
        PgParam::number(kind),
        PgParam::number(job.number),
        PgParam::number(theirs.revision)};
    const Status noted = SyncLedger(c.archive).set_titles_pending(
        title_key(job), {theirs.revision, job.titles.title, job.titles.notes});
    if (!noted) {
        return fail(c, noted.error());
    }
    const auto updated = c.db.query("UPDATE jobs SET title = $1, notes = $2, revision = revision "
                                    "+ 1 WHERE visit = $3 AND kind = $4 AND number = $5 AND "
                                    "revision = $6 RETURNING revision",
                                    row);
    if (!updated && (c.db.sql_state().starts_with("22") || c.db.sql_state().starts_with("23"))) {
        refuse(c, job, theirs, "the server refused it: " + c.db.error()); // this job's alone
        return true;
    }
    if (!updated) {
        return fail(c, c.db.error());
    }
    if (updated->rows() == 1) {
        ++c.report.titles_pushed;
        return set_base(c.archive, job, {updated->integer(0, 0), job.titles}) ||
               fail(c, c.archive.error());
    }
    if (!retry) {
        return true; // changed there again: the next sync sees it
    }
    const auto again = server_titles(c.db, job.sha, kind, job.number);
    if (!again) {
        return fail(c, c.db.error());
    }
    return again->empty() || sync_job(c, job, again->begin()->second, false);
}

bool sync_job(Context& c, const LocalJob& job, const ServerTitles& theirs, bool retry) {
    if (job.titles == theirs.titles) {
        const bool known =
            job.base && job.base->revision == theirs.revision && job.base->titles == theirs.titles;
        if (!known || job.settled) {
            c.agreed.emplace_back(&job, theirs);
        }
        return true;
    }
    switch (step_of(c, job, theirs, job_key(job))) {
    case SyncStep::Take:
        if (const Status texts = check_job_texts(theirs.titles.title, theirs.titles.notes);
            !texts) {
            c.report.skipped.push_back("Visit " + job.sha.substr(0, 12) + "'s titles and notes " +
                                       "on the server were left out: " + texts.error());
            return true;
        }
        if (!c.archive.set_annotations(job.visit_id, job.kind, job.number, theirs.titles.title,
                                       theirs.titles.notes) ||
            !set_base(c.archive, job, theirs)) {
            return fail(c, c.archive.error());
        }
        ++c.report.titles_pulled;
        return true;
    case SyncStep::Refuse:
        refuse(c, job, theirs, "changed here and on the server since the last sync");
        return true;
    case SyncStep::Same: // the pairs differ (compared above): never given
    case SyncStep::Push:
        break;
    }
    return push_titles(c, job, theirs, retry);
}

} // namespace

void sync_titles(PgDb& db, VisitArchive& archive, const std::vector<VisitSummary>& visits,
                 const RefusedChoices& choices, SyncReport& report) {
    SyncLedger ledger(archive);
    const auto bases = ledger.title_bases();
    const auto sent = ledger.titles_pending();
    const auto server = server_titles(db, "", 0, 0);
    if (!bases || !sent || !server) {
        report.error = !server ? db.error() : !bases ? bases.error() : sent.error();
        return;
    }
    std::vector<LocalJob> jobs = local_jobs(visits, *bases, *sent);
    Context c{db, archive, choices, report, {}};
    for (LocalJob& job : jobs) {
        const auto theirs = server->find({job.sha, static_cast<int>(job.kind), job.number});
        // Sent by a sync cut off after the server took it: that is the base.
        if (theirs != server->end() && job.sent == theirs->second.titles) {
            job.base = theirs->second;
            job.settled = true;
        }
        if (theirs != server->end() && !sync_job(c, job, theirs->second, true)) {
            break;
        }
    }
    if (!write_agreed(c) && report.error.empty()) {
        report.error = archive.error();
    }
}

} // namespace qm
