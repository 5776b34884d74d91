// What is said of visits (technician, meter, calibration check) edited on either side: each
// visit's text compared three ways (this archive's, the server's and the text last synced, in
// sync_evidence) as the titles are, the server's row written only on the revision read.
#include "archive/visit_evidence.h"
#include "sync/sync_ledger.h"
#include "sync/team_sync.h"

#include <map>
#include <optional>

namespace qm {

namespace {

struct Said {
    std::int64_t revision = 0;
    std::string text; // evidence_record's
};

std::optional<std::map<std::string, Said>> server_evidence(PgDb& db, const std::string& sha) {
    const PgParam which[] = {PgParam::text(sha)};
    const auto rows = db.query(
        "SELECT visit, revision, evidence FROM visit_evidence WHERE $1 IN ('', visit)", which);
    if (!rows) {
        return std::nullopt;
    }
    std::map<std::string, Said> out;
    for (int i = 0; i < rows->rows(); ++i) {
        out[rows->text(i, 0)] = {rows->integer(i, 1), rows->text(i, 2)};
    }
    return out;
}

struct Context {
    PgDb& db;
    VisitArchive& archive;
    const RefusedChoices& choices;
    SyncReport& report;
};

bool set_base(Context& c, const std::string& sha, const Said& base) {
    const Status set = SyncLedger(c.archive).set_evidence_base(sha, base.revision, base.text);
    if (!set) {
        c.report.error = set.error();
    }
    return set.ok();
}

// A text of the evidence for the user: its lines, "(nothing said)" for none.
std::string readable(const std::string& text) {
    return text.empty() ? "(nothing said)" : text.substr(0, text.size() - 1);
}

void refuse(Context& c, const std::string& sha, const std::string& mine, const Said& theirs) {
    RefusedEdit refused;
    refused.key = "visit/" + sha + "/evidence";
    refused.what = "Visit " + sha.substr(0, 12) + ": technician, meter and calibration check";
    refused.mine_text = readable(mine);
    refused.theirs_text = readable(theirs.text);
    refused.reason = "changed here and on the server since the last sync";
    c.report.refused.push_back(std::move(refused));
}

// Adds this archive's text to the server (a visit it has no text of yet).
bool insert(Context& c, const std::string& sha, const std::string& mine) {
    const PgParam row[] = {PgParam::text(sha), PgParam::text(mine)};
    const auto added = c.db.query("INSERT INTO visit_evidence (visit, evidence) VALUES ($1, $2) "
                                  "ON CONFLICT (visit) DO NOTHING RETURNING revision",
                                  row);
    if (!added && c.db.sql_state().starts_with("23")) {
        return true; // the server lacks the visit (left out of the push): said by the push
    }
    if (!added) {
        c.report.error = c.db.error();
        return false;
    }
    if (added->rows() == 1) { // else added there meanwhile: the next sync compares them
        ++c.report.evidence_pushed;
        return set_base(c, sha, {added->integer(0, 0), mine});
    }
    return true;
}

bool take(Context& c, const std::string& sha, const Said& theirs) {
    const std::optional<VisitEvidence> said = parse_evidence_record(theirs.text);
    if (!said) {
        c.report.skipped.push_back("Visit " + sha.substr(0, 12) + "'s technician, meter and " +
                                   "calibration check on the server were left out: they are "
                                   "not readable");
        return true;
    }
    if (const Status kept = set_visit_evidence(c.archive, sha, *said); !kept) {
        c.report.error = kept.error();
        return false;
    }
    ++c.report.evidence_pulled;
    return set_base(c, sha, theirs);
}

bool push(Context& c, const std::string& sha, const std::string& mine, const Said& theirs) {
    const PgParam row[] = {PgParam::text(mine), PgParam::text(sha),
                           PgParam::number(theirs.revision)};
    const auto updated = c.db.query("UPDATE visit_evidence SET evidence = $1, revision = "
                                    "revision + 1 WHERE visit = $2 AND revision = $3 "
                                    "RETURNING revision",
                                    row);
    if (!updated) {
        c.report.error = c.db.error();
        return false;
    }
    if (updated->rows() == 1) { // else changed there again: the next sync sees it
        ++c.report.evidence_pushed;
        return set_base(c, sha, {updated->integer(0, 0), mine});
    }
    return true;
}

bool sync_visit(Context& c, const std::string& sha, const std::string& mine,
                const std::optional<Said>& base, const std::optional<Said>& theirs) {
    if (!theirs) {
        return mine.empty() || insert(c, sha, mine);
    }
    if (mine == theirs->text) {
        const bool known = base && base->revision == theirs->revision && base->text == mine;
        return known || set_base(c, sha, *theirs);
    }
    // Nothing said here and nothing synced: the server's text is new here.
    const bool here = base ? mine != base->text : !mine.empty();
    const bool there = !base || (theirs->revision != base->revision && theirs->text != base->text);
    switch (sync_step(here, there, c.choices, "visit/" + sha + "/evidence")) {
    case SyncStep::Take:
        return take(c, sha, *theirs);
    case SyncStep::Refuse:
        refuse(c, sha, mine, *theirs);
        return true;
    case SyncStep::Same:
    case SyncStep::Push:
        break;
    }
    return push(c, sha, mine, *theirs);
}

} // namespace

void sync_evidence(PgDb& db, VisitArchive& archive, const std::vector<VisitSummary>& listed,
                   const RefusedChoices& choices, SyncReport& report) {
    const Result<std::map<std::string, VisitEvidence>> local = all_visit_evidence(archive);
    const auto stored = SyncLedger(archive).evidence_bases();
    if (!local || !stored) {
        report.error = !local ? local.error() : stored.error();
        return;
    }
    std::map<std::string, Said> bases;
    for (const auto& [sha, base] : *stored) {
        bases[sha] = {base.first, base.second};
    }
    std::vector<std::string> visits;
    for (const VisitSummary& v : listed) {
        visits.push_back(v.sha256);
    }
    const auto server = server_evidence(db, "");
    if (!server) {
        report.error = db.error();
        return;
    }
    Context c{db, archive, choices, report};
    for (const std::string& sha : visits) {
        const auto said = local->find(sha);
        const std::string mine = said != local->end() ? evidence_record(said->second) : "";
        const auto base = bases.find(sha);
        const auto theirs = server->find(sha);
        if (!sync_visit(c, sha, mine,
                        base != bases.end() ? std::optional<Said>(base->second) : std::nullopt,
                        theirs != server->end() ? std::optional<Said>(theirs->second)
                                                : std::nullopt)) {
            return;
        }
    }
}

} // namespace qm
