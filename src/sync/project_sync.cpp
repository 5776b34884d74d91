// Projects: each part of a project compared three ways, this archive's, the server's and the part
// as last synced here (the ledger's links): changed only here, it is pushed; changed only there, it
// is taken; changed on both sides to different values, it is refused and kept here. The server's
// row is written only on the revision read (a write that lost the race is tried once more on the
// server's new state). A deletion travels by the same rule. What the server refuses of one
// project (a name another project holds there, a text or number it cannot take) is that
// project's refused edit; the other projects sync.
#include "archive/sqlite_db.h"
#include "sync/photo_sync.h"
#include "sync/sync_ledger.h"
#include "sync/team_sync.h"

#include <algorithm>
#include <set>

namespace qm {

namespace {

// Names are unique letter case aside (ASCII letters, as the archive compares them).
std::string project_name_key(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return key;
}

// Every part of a project, for the user.
std::string whole_text(const PartTexts& texts) {
    std::string out;
    for (const ProjectPart part : kProjectParts) {
        const std::string& text = texts[static_cast<std::size_t>(part)];
        if (text.empty()) {
            continue;
        }
        out += std::string(part_name(part)) + ":\n";
        for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos;
             at = end + 1) {
            out += "  " + text.substr(at, end - at) + "\n";
        }
    }
    return out;
}

struct Context {
    PgDb& db;
    VisitArchive& archive;
    ProjectStore& store;
    SyncLedger& ledger;
    std::map<std::string, PartTexts>& pending;
    const VisitIndex& visits;
    const RefusedChoices& choices;
    SyncReport& report;
    std::map<std::string, ServerProject>& server;
};

bool fail(Context& c, const std::string& error) {
    c.report.error = error.empty() ? "the archive could not be written" : error;
    return false;
}

bool set_link(Context& c, const Link& link) {
    const Status set = c.ledger.set_link(link);
    c.pending.erase(link.key);
    return set.ok() || fail(c, set.error());
}

bool remove_link(Context& c, const std::string& key) {
    const Status removed = c.ledger.remove_link(key);
    c.pending.erase(key);
    return removed.ok() || fail(c, removed.error());
}

// Whether the server refused a write for what this project holds (SQLSTATE classes 22, data,
// and 23, a rule such as a name another project holds), not for a reason all projects share.
bool refused_for_project(const PgDb& db) {
    return db.sql_state().starts_with("22") || db.sql_state().starts_with("23");
}

// The server's project of `key` read again after a write lost the race; nothing when it is gone.
const ServerProject* read_again(Context& c, std::string key) {
    auto again = read_server_projects(c.db, key);
    if (!again) {
        fail(c, c.db.error());
        return nullptr;
    }
    c.server.erase(key);
    if (again->empty()) {
        return nullptr;
    }
    return &c.server.emplace(key, std::move(again->begin()->second)).first->second;
}

void refuse(Context& c, std::string key, std::string what, std::string mine, std::string theirs,
            std::string reason) {
    RefusedEdit refused;
    refused.key = std::move(key);
    refused.what = std::move(what);
    refused.mine_text = std::move(mine);
    refused.theirs_text = std::move(theirs);
    refused.reason = std::move(reason);
    c.report.refused.push_back(std::move(refused));
}

std::string project_what(const std::string& name) {
    return "Project \xE2\x80\x9C" + name + "\xE2\x80\x9D";
}

SyncStep step_of(Context& c, const std::string& key, const std::string& mine,
                 const std::string& base, const std::string& theirs) {
    if (mine == theirs) {
        return SyncStep::Same;
    }
    return sync_step(mine != base, theirs != base, c.choices, key);
}

void copy_part(ProjectParts& to, const ProjectParts& from, ProjectPart part) {
    switch (part) {
    case ProjectPart::Details:
        to.details = from.details;
        break;
    case ProjectPart::Jobs:
        to.jobs = from.jobs;
        break;
    case ProjectPart::Points:
        to.settings.points = from.settings.points;
        break;
    case ProjectPart::Standards:
        to.settings.materials = from.settings.materials;
        to.settings.point_standards = from.settings.point_standards;
        break;
    case ProjectPart::Equipment:
        to.settings.equipment = from.settings.equipment;
        break;
    case ProjectPart::Legend:
        to.settings.legend_overrides = from.settings.legend_overrides;
        break;
    case ProjectPart::Photos:
        to.photos = from.photos;
        to.photo_folder = from.photo_folder;
        break;
    }
}

constexpr const char* kChangedBoth = "changed here and on the server since the last sync";

// Lists a part of a project as a refused edit of this archive's.
void refuse_part(Context& c, const Link& link, ProjectPart part, const ProjectParts& mine,
                 const ServerProject& theirs, const std::string& reason) {
    const auto i = static_cast<std::size_t>(part);
    refuse(c, "project/" + mine.details.name + "/" + std::string(part_name(part)),
           project_what(mine.details.name) + ": " + std::string(part_name(part)), mine.texts()[i],
           theirs.parts.texts()[i], reason);
    RefusedEdit& refused = c.report.refused.back();
    refused.project = mine.details.name;
    refused.revision = link.revision;
    refused.server_revision = theirs.revision;
    refused.mine = mine.details;
    refused.theirs = theirs.parts.details;
}

// Takes the server's parts `steps` names Take into the local project and records the link.
bool finish_merge(Context& c, Link link, std::int64_t id, const ProjectParts& mine,
                  const ServerProject& theirs,
                  const std::array<SyncStep, kProjectPartCount>& steps) {
    const PartTexts my_texts = mine.texts();
    const PartTexts their_texts = theirs.parts.texts();
    const Link before = link;
    bool took = false;
    ArchiveTransaction transaction(c.archive);
    if (!transaction.begun()) {
        return fail(c, c.archive.error());
    }
    for (const ProjectPart part : kProjectParts) {
        const auto i = static_cast<std::size_t>(part);
        std::string error;
        if (steps[i] == SyncStep::Take && part == ProjectPart::Photos &&
            !pull_photo_bytes(c.db, c.store.archive(), theirs.parts, c.report.skipped, error)) {
            return fail(c, project_what(mine.details.name) + ": " + error);
        }
        if (steps[i] == SyncStep::Take) {
            const auto taken = take_part(c.store, id, part, theirs.parts);
            if (!taken) {
                return fail(c, project_what(mine.details.name) + ": " + taken.error());
            }
            link.base[i] = *taken;
            took = true;
        } else if (steps[i] != SyncStep::Refuse) {
            link.base[i] = my_texts[i];
        } else {
            refuse_part(c, link, part, mine, theirs, kChangedBoth);
        }
    }
    link.project = id;
    link.revision = theirs.revision;
    link.name = steps[0] == SyncStep::Take ? theirs.parts.details.name : mine.details.name;
    const bool unchanged = before.project == link.project && before.revision == link.revision &&
                           before.name == link.name && before.base == link.base &&
                           !c.pending.contains(link.key);
    if ((!unchanged && !set_link(c, link)) || !transaction.commit()) {
        return fail(c, c.archive.error());
    }
    c.report.projects_pulled += took ? 1 : 0;
    return true;
}

bool deleted_there(Context& c, const Link& link, const ProjectSummary& local,
                   const ServerProject& theirs);

// A server project that fails the checks of local input is left out of this sync, said once.
bool left_out(Context& c, const ServerProject& theirs) {
    if (theirs.problem) {
        const std::string& name = theirs.parts.details.name;
        c.report.skipped.push_back(project_what(name.size() <= 80 ? name : theirs.key) +
                                   " on the server was left out: " + *theirs.problem);
    }
    return theirs.problem.has_value();
}

// The link with each part this archive sent to the server and the server now holds taken as
// synced: a sync cut off after the server's commit left the base behind.
Link settled(const Context& c, Link link, const PartTexts& their_texts) {
    const auto sent = c.pending.find(link.key);
    for (std::size_t i = 0; sent != c.pending.end() && i < kProjectPartCount; ++i) {
        if (sent->second[i] != kUnknownPart && sent->second[i] == their_texts[i]) {
            link.base[i] = their_texts[i];
        }
    }
    return link;
}

bool merge_project(Context& c, const Link& known, const ProjectSummary& local,
                   const ServerProject& theirs, bool retry) {
    if (left_out(c, theirs)) {
        return true;
    }
    const Result<ProjectParts> read = local_parts(c.store, local, c.visits);
    if (!read) {
        return fail(c, read.error());
    }
    const ProjectParts& mine = *read;
    const PartTexts my_texts = mine.texts();
    const PartTexts their_texts = theirs.parts.texts();
    const Link link = settled(c, known, their_texts);
    std::array<SyncStep, kProjectPartCount> steps{};
    PartMask push{};
    PartTexts sent;
    ProjectParts merged = theirs.parts;
    for (const ProjectPart part : kProjectParts) {
        const auto i = static_cast<std::size_t>(part);
        steps[i] = step_of(c, "project/" + local.details.name + "/" + std::string(part_name(part)),
                           my_texts[i], link.base[i], their_texts[i]);
        push[i] = steps[i] == SyncStep::Push;
        sent[i] = push[i] ? my_texts[i] : kUnknownPart;
        if (push[i]) {
            copy_part(merged, mine, part);
        }
    }
    if (std::find(push.begin(), push.end(), true) == push.end()) {
        return finish_merge(c, link, local.id, mine, theirs, steps);
    }
    // Recorded before the server may take it: what the next sync finds there is then known.
    if (const Status noted = c.ledger.set_pending(theirs.key, sent); !noted) {
        return fail(c, noted.error());
    }
    c.pending[theirs.key] = sent;
    const ServerWrite written =
        write_server_project(c.db, theirs.key, theirs.revision, merged, push, false);
    if (written.lost) {
        const ServerProject* again = retry ? read_again(c, theirs.key) : nullptr;
        if (again == nullptr) {
            return c.report.error.empty(); // changed there again: the next sync sees it
        }
        return again->deleted ? deleted_there(c, link, local, *again)
                              : merge_project(c, link, local, *again, false);
    }
    if (!written.revision && refused_for_project(c.db)) {
        for (const ProjectPart part : kProjectParts) {
            if (push[static_cast<std::size_t>(part)]) {
                refuse_part(c, link, part, mine, theirs, "the server refused it: " + c.db.error());
            }
        }
        return true;
    }
    if (!written.revision) {
        return fail(c, c.db.error());
    }
    ++c.report.projects_pushed;
    ServerProject now{theirs.key, *written.revision, false, merged, {}};
    return finish_merge(c, link, local.id, mine, now, steps);
}

// A project deleted on the server that this archive holds: deleted here unless changed here.
bool deleted_there(Context& c, const Link& link, const ProjectSummary& local,
                   const ServerProject& theirs) {
    const Result<ProjectParts> read = local_parts(c.store, local, c.visits);
    if (!read) {
        return fail(c, read.error());
    }
    const ProjectParts& mine = *read;
    const std::string key = "project/" + local.details.name;
    const RefusedPolicy policy =
        mine.texts() == link.base ? RefusedPolicy::Drop : c.choices.policy(key);
    if (policy == RefusedPolicy::Drop) {
        ++c.report.projects_pulled;
        return (c.store.remove(local.id) || fail(c, c.store.error())) && remove_link(c, link.key);
    }
    if (policy == RefusedPolicy::Keep) {
        refuse(c, key, project_what(local.details.name), whole_text(mine.texts()), "(deleted)",
               "changed here, deleted on the server");
        c.report.refused.back().project = local.details.name;
        return true;
    }
    PartMask all;
    all.fill(true);
    const ServerWrite written =
        write_server_project(c.db, link.key, theirs.revision, mine, all, false);
    if (written.lost) {
        return c.report.error.empty(); // changed there again: the next sync sees it
    }
    if (!written.revision) {
        return fail(c, c.db.error());
    }
    ++c.report.projects_pushed;
    return set_link(c, {link.key, local.id, *written.revision, local.details.name, mine.texts()});
}

bool pull_new(Context& c, const ServerProject& p);

// A project deleted here: deleted on the server unless changed there since.
bool deleted_here(Context& c, const Link& link, bool retry) {
    const auto theirs = c.server.find(link.key);
    if (theirs == c.server.end() || theirs->second.deleted) {
        return remove_link(c, link.key);
    }
    const std::string key = "project/" + link.name;
    const PartTexts their_texts = theirs->second.parts.texts();
    const RefusedPolicy policy =
        their_texts == link.base ? RefusedPolicy::Reapply : c.choices.policy(key);
    if (policy == RefusedPolicy::Drop) {
        return pull_new(c, theirs->second);
    }
    if (policy == RefusedPolicy::Keep) {
        refuse(c, key, project_what(link.name), "(deleted)", whole_text(their_texts),
               "deleted here, changed on the server");
        c.report.refused.back().project = link.name;
        return true;
    }
    PartMask all;
    all.fill(true);
    const ServerWrite written = write_server_project(c.db, link.key, theirs->second.revision,
                                                     theirs->second.parts, all, true);
    if (written.lost) {
        return !retry || read_again(c, link.key) == nullptr ? c.report.error.empty()
                                                            : deleted_here(c, link, false);
    }
    if (!written.revision) {
        return fail(c, c.db.error());
    }
    theirs->second.deleted = true; // not to be brought back below
    ++c.report.projects_pushed;
    return remove_link(c, link.key);
}

// Brings a project the archive does not have (or no longer has): the project, its parts and
// its link in one transaction. A name a project here holds already is that project's refused
// edit.
bool pull_new(Context& c, const ServerProject& p) {
    if (left_out(c, p)) {
        return true;
    }
    ArchiveTransaction transaction(c.archive);
    if (!transaction.begun()) {
        return fail(c, c.archive.error());
    }
    const auto id = c.store.create(p.parts.details);
    const Result<std::optional<ProjectSummary>> same =
        id ? Result<std::optional<ProjectSummary>>(std::nullopt)
           : c.store.find(p.parts.details.name);
    if (!same) {
        return fail(c, same.error());
    }
    if (*same) {
        const std::string name = p.parts.details.name;
        refuse(c, "project/" + name, project_what(name), "(another project of this name)",
               whole_text(p.parts.texts()),
               "the server's project cannot be brought here: " + c.store.error());
        c.report.refused.back().project = name;
        return true;
    }
    if (!id) {
        return fail(c, project_what(p.parts.details.name) + " of the server: " + c.store.error());
    }
    Link link{p.key, id, p.revision, p.parts.details.name, {}};
    link.base.fill(kUnknownPart);
    std::array<SyncStep, kProjectPartCount> steps;
    steps.fill(SyncStep::Take);
    steps[0] = SyncStep::Same;
    const ProjectSummary local{*id, p.parts.details, 0};
    const Result<ProjectParts> mine = local_parts(c.store, local, c.visits);
    if (!mine) {
        return fail(c, mine.error());
    }
    return finish_merge(c, link, *id, *mine, p, steps) &&
           (transaction.commit() || fail(c, c.archive.error()));
}

// Links a project new here: to the server's project of the same name (each part that differs
// then is a refused edit, nothing is lost) or to a new server project.
bool first_link(Context& c, const ProjectSummary& local,
                const std::map<std::string, std::string>& by_name) {
    const auto name = by_name.find(project_name_key(local.details.name));
    const auto same = name == by_name.end() ? c.server.end() : c.server.find(name->second);
    if (same != c.server.end() && !same->second.deleted) {
        Link link{same->first, local.id, same->second.revision, local.details.name, {}};
        link.base.fill(kUnknownPart);
        return merge_project(c, link, local, same->second, true);
    }
    const Result<ProjectParts> read = local_parts(c.store, local, c.visits);
    if (!read) {
        return fail(c, read.error());
    }
    const ProjectParts& mine = *read;
    std::string error;
    const std::optional<std::string> key = insert_server_project(c.db, mine, error);
    if (!key && refused_for_project(c.db)) {
        const std::string& name = local.details.name;
        refuse(c, "project/" + name, project_what(name), whole_text(mine.texts()), "(not sent)",
               "the server refused it: " + error);
        c.report.refused.back().project = name;
        return true;
    }
    if (!key) {
        return fail(c, error);
    }
    ++c.report.projects_pushed;
    return set_link(c, {*key, local.id, 1, local.details.name, mine.texts()});
}

// The links by local project; the server's projects a project new here meets by name (those not
// linked to a project here yet), by name; how many deleted-here links and new server projects.
struct Plan {
    std::map<std::int64_t, const Link*> by_project;
    std::map<std::string, std::string> by_name;
    std::size_t deleted_here = 0;
    std::size_t fresh = 0;
};

Plan plan_of(const std::vector<Link>& linked, const std::map<std::string, ServerProject>& server) {
    Plan plan;
    std::set<std::string> live;
    std::set<std::string> known;
    for (const Link& link : linked) {
        known.insert(link.key);
        if (link.project) {
            plan.by_project[*link.project] = &link;
            live.insert(link.key);
        }
        plan.deleted_here += link.project ? 0 : 1;
    }
    for (const auto& [key, p] : server) {
        if (!p.deleted && !live.contains(key)) {
            plan.by_name[project_name_key(p.parts.details.name)] = key;
        }
        plan.fresh += !p.deleted && !known.contains(key) ? 1 : 0;
    }
    return plan;
}

// A project of this archive: merged with its server project, linked to one, or deleted here.
bool sync_local(Context& c, const ProjectSummary& local, const Plan& plan) {
    const auto link = plan.by_project.find(local.id);
    const auto theirs =
        link == plan.by_project.end() ? c.server.end() : c.server.find(link->second->key);
    if (theirs == c.server.end()) { // not linked, or not on this server (any more)
        return (link == plan.by_project.end() || remove_link(c, link->second->key)) &&
               first_link(c, local, plan.by_name);
    }
    if (theirs->second.deleted) {
        return deleted_there(c, *link->second, local, theirs->second);
    }
    return merge_project(c, *link->second, local, theirs->second, true);
}

} // namespace

void sync_projects(PgDb& db, VisitArchive& archive, const std::vector<VisitSummary>& listed,
                   SyncObserver& observer, const RefusedChoices& choices, SyncReport& report) {
    ProjectStore store(archive);
    SyncLedger ledger(archive);
    const auto linked = ledger.links();
    auto pending = ledger.pending();
    auto server = read_server_projects(db, "");
    if (!server || !linked || !pending) {
        report.error = !server ? db.error() : !linked ? linked.error() : pending.error();
        return;
    }
    const Result<VisitIndex> visits = index_visits(listed, store, &db);
    if (!visits) {
        report.error = visits.error();
        return;
    }
    const Result<std::vector<ProjectSummary>> locals = store.list();
    if (!locals) {
        report.error = locals.error();
        return;
    }
    Context c{db, archive, store, ledger, *pending, *visits, choices, report, *server};
    const Plan plan = plan_of(*linked, *server);
    const std::size_t total = plan.deleted_here + locals->size() + plan.fresh;
    std::size_t done = 0;
    const auto next = [&] {
        observer.progress("projects", done++, total);
        report.cancelled = observer.cancelled();
        return !report.cancelled;
    };
    for (const Link& link : *linked) {
        if (!link.project && (!next() || !deleted_here(c, link, true))) {
            return;
        }
    }
    for (const ProjectSummary& local : *locals) {
        if (!next() || !sync_local(c, local, plan)) {
            return;
        }
    }
    const auto relinked = ledger.links();
    if (!relinked) {
        report.error = relinked.error();
        return;
    }
    std::set<std::string> now;
    for (const Link& link : *relinked) {
        now.insert(link.key);
    }
    for (const auto& [key, p] : *server) {
        if (!p.deleted && !now.contains(key) && (!next() || !pull_new(c, p))) {
            return;
        }
    }
}

} // namespace qm
