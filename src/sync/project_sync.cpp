#include "archive/sqlite_db.h"
#include "projects/drying_days.h"
#include "sync/team_sync.h"

#include <algorithm>
#include <fcntl.h>
#include <map>
#include <set>
#include <unistd.h>

namespace qm {

namespace {

// Which server project a local one is, the revision it was last synced at and its details
// then: a local change is what differs from them.
constexpr const char* kLinkTable = R"sql(
CREATE TABLE IF NOT EXISTS sync_projects (
    project INTEGER PRIMARY KEY REFERENCES projects(id) ON DELETE CASCADE,
    key TEXT NOT NULL UNIQUE,
    revision INTEGER NOT NULL,
    name TEXT NOT NULL, client TEXT NOT NULL, site TEXT NOT NULL, claim TEXT NOT NULL,
    loss_date INTEGER, category INTEGER, water_class INTEGER, notes TEXT NOT NULL,
    jobs TEXT NOT NULL
))sql";

// What a project holds that the team shares: its details and its attached jobs, each as
// "SHA-256/kind/number" (kind 1 for MC, 0 for RH/T), sorted.
struct Shared {
    ProjectDetails details;
    std::vector<std::string> jobs;
    bool operator==(const Shared&) const = default;
};

struct Link {
    std::string key;
    std::int64_t revision = 0;
    Shared base;
};

struct ServerProject {
    std::string key;
    std::int64_t revision = 0;
    Shared shared;
};

std::string job_text(std::string_view sha, int kind, std::int64_t number) {
    return std::string(sha) + "/" + std::to_string(kind) + "/" + std::to_string(number);
}

std::string joined(const std::vector<std::string>& jobs) {
    std::string out;
    for (const std::string& j : jobs) {
        out += j + "\n";
    }
    return out;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        out.push_back(text.substr(at, end - at));
    }
    return out;
}

// The archive's visits by id and by SHA-256.
struct VisitIndex {
    std::map<std::int64_t, std::string> sha;
    std::map<std::string, std::int64_t> id;
};

constexpr const char* kServerColumns =
    "key, revision, name, client, site, claim, loss_date, category, water_class, notes";

std::optional<std::int64_t> optional_int(const PgResult& r, int row, int column) {
    if (r.is_null(row, column)) {
        return std::nullopt;
    }
    return r.integer(row, column);
}

std::vector<ServerProject> server_projects(PgDb& db, const std::string& where,
                                           std::span<const PgParam> params, bool& ok) {
    std::vector<ServerProject> out;
    const auto rows =
        db.query(std::string("SELECT ") + kServerColumns + " FROM projects" + where, params);
    ok = rows.has_value();
    for (int i = 0; rows && i < rows->rows(); ++i) {
        ServerProject p{rows->text(i, 0), rows->integer(i, 1), {}};
        ProjectDetails& details = p.shared.details;
        details.name = rows->text(i, 2);
        details.client = rows->text(i, 3);
        details.site = rows->text(i, 4);
        details.claim = rows->text(i, 5);
        details.loss_date = optional_int(*rows, i, 6);
        const auto category = optional_int(*rows, i, 7);
        const auto water_class = optional_int(*rows, i, 8);
        details.category =
            category ? std::optional<int>(static_cast<int>(*category)) : std::nullopt;
        details.water_class =
            water_class ? std::optional<int>(static_cast<int>(*water_class)) : std::nullopt;
        details.notes = rows->text(i, 9);
        out.push_back(std::move(p));
    }
    const auto jobs = db.query("SELECT project, visit, kind, number FROM project_jobs "
                               "ORDER BY project, visit, kind, number",
                               {});
    ok = ok && jobs.has_value();
    std::map<std::string, std::vector<std::string>> by_project;
    for (int i = 0; jobs && i < jobs->rows(); ++i) {
        by_project[jobs->text(i, 0)].push_back(
            job_text(jobs->text(i, 1), static_cast<int>(jobs->integer(i, 2)), jobs->integer(i, 3)));
    }
    for (ServerProject& p : out) {
        p.shared.jobs = std::move(by_project[p.key]);
        std::sort(p.shared.jobs.begin(), p.shared.jobs.end());
    }
    return out;
}

Shared local_shared(ProjectStore& store, const ProjectSummary& project, const VisitIndex& visits) {
    Shared shared{project.details, {}};
    for (const ProjectJob& j : store.jobs(project.id)) {
        const auto sha = visits.sha.find(j.job.visit_id);
        if (sha != visits.sha.end()) {
            shared.jobs.push_back(
                job_text(sha->second, static_cast<int>(j.job.kind), j.job.number));
        }
    }
    std::sort(shared.jobs.begin(), shared.jobs.end());
    return shared;
}

// Makes the server's attached jobs of `key` those of `shared` (inside the caller's transaction).
bool write_server_jobs(PgDb& db, const std::string& key, const Shared& shared) {
    const PgParam project = PgParam::text(key);
    if (!db.query("DELETE FROM project_jobs WHERE project = $1", std::span(&project, 1))) {
        return false;
    }
    for (const std::string& job : shared.jobs) {
        const std::size_t a = job.find('/');
        const std::size_t b = job.find('/', a + 1);
        const PgParam row[] = {project, PgParam::text(job.substr(0, a)),
                               PgParam::text(job.substr(a + 1, b - a - 1)),
                               PgParam::text(job.substr(b + 1))};
        if (!db.query("INSERT INTO project_jobs (project, visit, kind, number) "
                      "VALUES ($1, $2, $3, $4)",
                      row)) {
            return false;
        }
    }
    return true;
}

// Attaches here the jobs of `theirs` whose visits the archive holds, and detaches the others;
// returns what is attached then.
std::optional<Shared> take_jobs(ProjectStore& store, std::int64_t id, const Shared& theirs,
                                const VisitIndex& visits) {
    std::vector<JobRef> now;
    for (const ProjectJob& j : store.jobs(id)) {
        now.push_back(j.job);
    }
    std::vector<JobRef> wanted;
    Shared taken{theirs.details, {}};
    for (const std::string& job : theirs.jobs) {
        const std::size_t a = job.find('/');
        const std::size_t b = job.find('/', a + 1);
        const auto visit = visits.id.find(job.substr(0, a));
        if (visit == visits.id.end()) {
            continue;
        }
        const auto kind = static_cast<RecordKind>(std::stoi(job.substr(a + 1, b - a - 1)));
        const auto number = static_cast<std::int32_t>(std::stol(job.substr(b + 1)));
        for (const JobRef& held : store.visit_jobs(visit->second, number)) {
            if (held.kind == kind) {
                wanted.push_back(held);
                taken.jobs.push_back(job);
            }
        }
    }
    if ((!now.empty() && !store.detach(id, now)) ||
        (!wanted.empty() && !store.attach(id, wanted))) {
        return std::nullopt;
    }
    std::sort(taken.jobs.begin(), taken.jobs.end());
    return taken;
}

PgParam optional_param(std::optional<std::int64_t> value) {
    return value ? PgParam::number(*value) : PgParam::null();
}

std::vector<PgParam> detail_params(const ProjectDetails& d) {
    return {PgParam::text(d.name),         PgParam::text(d.client),     PgParam::text(d.site),
            PgParam::text(d.claim),        optional_param(d.loss_date), optional_param(d.category),
            optional_param(d.water_class), PgParam::text(d.notes)};
}

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

std::string new_key() {
    unsigned char raw[16] = {};
    const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    const bool read_all = fd >= 0 && ::read(fd, raw, sizeof raw) == sizeof raw;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!read_all) {
        return {};
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string key;
    for (const unsigned char c : raw) {
        key += kHex[c >> 4];
        key += kHex[c & 15];
    }
    return key;
}

class Links {
public:
    explicit Links(SqliteDb& db) : db_(db) {}

    bool prepare() { return db_.exec(kLinkTable); }

    std::map<std::int64_t, Link> all() {
        std::map<std::int64_t, Link> out;
        SqliteStatement q(db_, "SELECT project, key, revision, name, client, site, claim, "
                               "loss_date, category, water_class, notes, jobs FROM sync_projects");
        while (q.ok() && q.step()) {
            Link link{q.column_text(1), q.column_int(2), {}};
            ProjectDetails& d = link.base.details;
            link.base.jobs = split(q.column_text(11));
            d.name = q.column_text(3);
            d.client = q.column_text(4);
            d.site = q.column_text(5);
            d.claim = q.column_text(6);
            if (!q.column_is_null(7)) {
                d.loss_date = q.column_int(7);
            }
            if (!q.column_is_null(8)) {
                d.category = static_cast<int>(q.column_int(8));
            }
            if (!q.column_is_null(9)) {
                d.water_class = static_cast<int>(q.column_int(9));
            }
            d.notes = q.column_text(10);
            out.emplace(q.column_int(0), std::move(link));
        }
        return out;
    }

    bool set(std::int64_t project, const Link& link) {
        SqliteStatement s(db_, "INSERT OR REPLACE INTO sync_projects (project, key, revision, "
                               "name, client, site, claim, loss_date, category, water_class, "
                               "notes, jobs) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, "
                               "?11, ?12)");
        const ProjectDetails& d = link.base.details;
        s.bind_text(12, joined(link.base.jobs));
        s.bind(1, project).bind_text(2, link.key).bind(3, link.revision).bind_text(4, d.name);
        s.bind_text(5, d.client).bind_text(6, d.site).bind_text(7, d.claim);
        d.loss_date ? s.bind(8, *d.loss_date) : s.bind_null(8);
        d.category ? s.bind(9, std::int64_t{*d.category}) : s.bind_null(9);
        d.water_class ? s.bind(10, std::int64_t{*d.water_class}) : s.bind_null(10);
        s.bind_text(11, d.notes);
        return s.ok() && s.run();
    }

private:
    SqliteDb& db_;
};

// Applies a local edit made on link.revision; the server takes it only on that revision.
std::optional<std::int64_t> apply_edit(PgDb& db, const Link& link, const Shared& mine) {
    PgTransaction transaction(db);
    std::vector<PgParam> params = detail_params(mine.details);
    params.push_back(PgParam::text(link.key));
    params.push_back(PgParam::number(link.revision));
    const auto updated = db.query(
        "UPDATE projects SET name = $1, client = $2, site = $3, claim = $4, loss_date = $5, "
        "category = $6, water_class = $7, notes = $8, revision = revision + 1 "
        "WHERE key = $9 AND revision = $10 RETURNING revision",
        params);
    if (!transaction.begun() || !updated || updated->rows() != 1 ||
        !write_server_jobs(db, link.key, mine) || !transaction.commit()) {
        return std::nullopt;
    }
    return updated->integer(0, 0);
}

struct Context {
    PgDb& db;
    ProjectStore& store;
    Links& links;
    const VisitIndex& visits;
    const RefusedChoices& choices;
    SyncReport& report;
};

std::string edit_key(const std::string& project) {
    return "project/" + project + "/details";
}

RefusedPolicy policy_for(const RefusedChoices& choices, const std::string& key) {
    const auto chosen = choices.by_key.find(key);
    return chosen != choices.by_key.end() ? chosen->second : choices.others;
}

// A project's shared part for the user, a line a field.
std::string readable(const Shared& shared) {
    const ProjectDetails& d = shared.details;
    const auto optional = [](const auto& value) {
        return value ? std::to_string(*value) : std::string();
    };
    return "Name: " + d.name + "\nClient: " + d.client + "\nSite: " + d.site +
           "\nClaim: " + d.claim +
           "\nDate of loss: " + (d.loss_date ? iso_date(*d.loss_date) : std::string()) +
           "\nCategory: " + optional(d.category) + "\nClass: " + optional(d.water_class) +
           "\nNotes: " + d.notes + "\nJobs attached: " + std::to_string(shared.jobs.size());
}

void take_theirs(Context& c, std::int64_t id, const ServerProject& theirs) {
    std::optional<Shared> taken;
    if (!c.store.update_details(id, theirs.shared.details) ||
        !(taken = take_jobs(c.store, id, theirs.shared, c.visits)) ||
        !c.links.set(id, Link{theirs.key, theirs.revision, *taken})) {
        c.report.error = c.store.error();
        return;
    }
    ++c.report.projects_pulled;
}

void sync_one(Context& c, const ProjectSummary& local, Link link, const ServerProject& theirs) {
    PgDb& db = c.db;
    const Shared mine = local_shared(c.store, local, c.visits);
    if (mine == link.base) {
        if (theirs.revision > link.revision) {
            take_theirs(c, local.id, theirs);
        }
        return;
    }
    const bool stale = theirs.revision != link.revision;
    const std::string key = edit_key(local.details.name);
    const RefusedPolicy policy = policy_for(c.choices, key);
    if (stale && policy == RefusedPolicy::Drop) {
        take_theirs(c, local.id, theirs);
        return;
    }
    if (stale && policy == RefusedPolicy::Reapply) {
        link.revision = theirs.revision;
    }
    if (const auto revision = apply_edit(db, link, mine)) {
        c.links.set(local.id, Link{link.key, *revision, mine});
        ++c.report.projects_pushed;
        return;
    }
    RefusedEdit refused{key,
                        "Project \u201c" + local.details.name + "\u201d: details and jobs",
                        readable(mine),
                        readable(theirs.shared),
                        mine.details.name,
                        link.revision,
                        theirs.revision,
                        mine.details,
                        theirs.shared.details,
                        {},
                        mine.jobs.size(),
                        theirs.shared.jobs.size()};
    refused.reason = !db.error().empty() && !db.sql_state().empty()
                         ? db.error()
                         : "changed on the server since this edit was made (revision " +
                               std::to_string(link.revision) + ", now " +
                               std::to_string(theirs.revision) + ")";
    c.report.refused.push_back(std::move(refused));
}

// Links a project new here: to a new server project, or to the server's project of the same
// name. That one is this one's counterpart, linked at revision 0 unless they agree, so a
// difference is shown as a refused edit rather than lost.
Link first_link(Context& c, const ProjectSummary& local,
                const std::map<std::string, const ServerProject*>& by_name) {
    const Shared mine = local_shared(c.store, local, c.visits);
    const auto same = by_name.find(project_name_key(local.details.name));
    if (same != by_name.end()) {
        const ServerProject& theirs = *same->second;
        Link link{theirs.key, theirs.shared == mine ? theirs.revision : 0, theirs.shared};
        c.links.set(local.id, link);
        return link;
    }
    Link link{new_key(), 1, mine};
    PgTransaction transaction(c.db);
    std::vector<PgParam> params = detail_params(mine.details);
    params.insert(params.begin(), PgParam::text(link.key));
    if (link.key.empty() || !transaction.begun() ||
        !c.db.query("INSERT INTO projects (key, revision, name, client, site, claim, "
                    "loss_date, category, water_class, notes) VALUES ($1, 1, $2, $3, "
                    "$4, $5, $6, $7, $8, $9)",
                    params) ||
        !write_server_jobs(c.db, link.key, mine) || !transaction.commit()) {
        c.report.error = link.key.empty() ? "no random key" : c.db.error();
        return link;
    }
    c.links.set(local.id, link);
    ++c.report.projects_pushed;
    return link;
}

// Brings a project the archive does not have yet.
bool pull_new(Context& c, const ServerProject& p) {
    const auto id = c.store.create(p.shared.details);
    const auto taken = id ? take_jobs(c.store, *id, p.shared, c.visits) : std::nullopt;
    if (!taken || !c.links.set(*id, Link{p.key, p.revision, *taken})) {
        c.report.error =
            "project \"" + p.shared.details.name + "\" of the server: " + c.store.error();
        return false;
    }
    ++c.report.projects_pulled;
    return true;
}

} // namespace

void sync_projects(PgDb& db, VisitArchive& archive, const RefusedChoices& choices,
                   SyncReport& report) {
    ProjectStore store(archive);
    Links links(archive.db());
    bool ok = links.prepare();
    const std::vector<ServerProject> server = server_projects(db, "", {}, ok);
    if (!ok) {
        report.ok = false;
        report.error = db.error().empty() ? archive.error() : db.error();
        return;
    }
    VisitIndex visits;
    for (const VisitSummary& v : archive.list_visits("", 0, archive.count_visits(""))) {
        visits.sha[v.id] = v.sha256;
        visits.id[v.sha256] = v.id;
    }
    Context c{db, store, links, visits, choices, report};
    std::map<std::string, const ServerProject*> by_key;
    std::map<std::string, const ServerProject*> by_name;
    for (const ServerProject& p : server) {
        by_key[p.key] = &p;
        by_name[project_name_key(p.shared.details.name)] = &p;
    }
    std::map<std::int64_t, Link> linked = links.all();
    std::set<std::string> linked_keys;
    for (ProjectSummary& local : store.list()) {
        auto link = linked.find(local.id);
        if (link == linked.end()) {
            link = linked.emplace(local.id, first_link(c, local, by_name)).first;
        }
        if (!report.error.empty()) {
            return;
        }
        linked_keys.insert(link->second.key);
        const auto theirs = by_key.find(link->second.key);
        if (theirs != by_key.end()) { // else removed on the server by its administrator
            sync_one(c, local, link->second, *theirs->second);
        }
        if (!report.error.empty()) {
            return;
        }
    }
    for (const ServerProject& p : server) {
        if (!linked_keys.contains(p.key) && !pull_new(c, p)) {
            return;
        }
    }
}

} // namespace qm
