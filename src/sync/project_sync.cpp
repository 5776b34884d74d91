#include "archive/sqlite_db.h"
#include "sync/team_sync.h"

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
    loss_date INTEGER, category INTEGER, water_class INTEGER, notes TEXT NOT NULL
))sql";

struct Link {
    std::string key;
    std::int64_t revision = 0;
    ProjectDetails base;
};

struct ServerProject {
    std::string key;
    std::int64_t revision = 0;
    ProjectDetails details;
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
        p.details.name = rows->text(i, 2);
        p.details.client = rows->text(i, 3);
        p.details.site = rows->text(i, 4);
        p.details.claim = rows->text(i, 5);
        p.details.loss_date = optional_int(*rows, i, 6);
        const auto category = optional_int(*rows, i, 7);
        const auto water_class = optional_int(*rows, i, 8);
        p.details.category =
            category ? std::optional<int>(static_cast<int>(*category)) : std::nullopt;
        p.details.water_class =
            water_class ? std::optional<int>(static_cast<int>(*water_class)) : std::nullopt;
        p.details.notes = rows->text(i, 9);
        out.push_back(std::move(p));
    }
    return out;
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
                               "loss_date, category, water_class, notes FROM sync_projects");
        while (q.ok() && q.step()) {
            Link link{q.column_text(1), q.column_int(2), {}};
            ProjectDetails& d = link.base;
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
                               "notes) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
        const ProjectDetails& d = link.base;
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
std::optional<std::int64_t> apply_edit(PgDb& db, const Link& link, const ProjectDetails& mine) {
    std::vector<PgParam> params = detail_params(mine);
    params.push_back(PgParam::text(link.key));
    params.push_back(PgParam::number(link.revision));
    const auto updated = db.query(
        "UPDATE projects SET name = $1, client = $2, site = $3, claim = $4, loss_date = $5, "
        "category = $6, water_class = $7, notes = $8, revision = revision + 1 "
        "WHERE key = $9 AND revision = $10 RETURNING revision",
        params);
    if (!updated || updated->rows() != 1) {
        return std::nullopt;
    }
    return updated->integer(0, 0);
}

void take_theirs(ProjectStore& store, Links& links, std::int64_t id, const ServerProject& theirs,
                 SyncReport& report) {
    if (!store.update_details(id, theirs.details) ||
        !links.set(id, Link{theirs.key, theirs.revision, theirs.details})) {
        report.error = store.error();
        return;
    }
    ++report.projects_pulled;
}

void sync_one(PgDb& db, ProjectStore& store, Links& links, const ProjectSummary& local, Link link,
              const ServerProject& theirs, RefusedPolicy policy, SyncReport& report) {
    const ProjectDetails& mine = local.details;
    if (mine == link.base) {
        if (theirs.revision > link.revision) {
            take_theirs(store, links, local.id, theirs, report);
        }
        return;
    }
    const bool stale = theirs.revision != link.revision;
    if (stale && policy == RefusedPolicy::Drop) {
        take_theirs(store, links, local.id, theirs, report);
        return;
    }
    if (stale && policy == RefusedPolicy::Reapply) {
        link.revision = theirs.revision;
    }
    if (const auto revision = apply_edit(db, link, mine)) {
        links.set(local.id, Link{link.key, *revision, mine});
        ++report.projects_pushed;
        return;
    }
    RefusedEdit refused{mine.name, link.revision, theirs.revision, mine, theirs.details, {}};
    refused.reason = !db.error().empty() && !db.sql_state().empty()
                         ? db.error()
                         : "changed on the server since this edit was made (revision " +
                               std::to_string(link.revision) + ", now " +
                               std::to_string(theirs.revision) + ")";
    report.refused.push_back(std::move(refused));
}

} // namespace

void sync_projects(PgDb& db, VisitArchive& archive, RefusedPolicy policy, SyncReport& report) {
    ProjectStore store(archive);
    Links links(archive.db());
    bool ok = links.prepare();
    const std::vector<ServerProject> server = server_projects(db, "", {}, ok);
    if (!ok) {
        report.ok = false;
        report.error = db.error().empty() ? archive.error() : db.error();
        return;
    }
    std::map<std::string, const ServerProject*> by_key;
    std::map<std::string, const ServerProject*> by_name;
    for (const ServerProject& p : server) {
        by_key[p.key] = &p;
        by_name[project_name_key(p.details.name)] = &p;
    }
    std::map<std::int64_t, Link> linked = links.all();
    std::set<std::string> linked_keys;
    for (ProjectSummary& local : store.list()) {
        auto link = linked.find(local.id);
        if (link == linked.end()) {
            // New here. A server project of the same name is this one's counterpart: linked at
            // revision 0, so a difference is shown as a refused edit rather than lost.
            const auto same = by_name.find(project_name_key(local.details.name));
            Link fresh{same == by_name.end() ? new_key() : same->second->key, 0, local.details};
            if (same == by_name.end()) {
                std::vector<PgParam> params = detail_params(local.details);
                params.insert(params.begin(), PgParam::text(fresh.key));
                if (fresh.key.empty() ||
                    !db.query("INSERT INTO projects (key, revision, name, client, site, claim, "
                              "loss_date, category, water_class, notes) VALUES ($1, 1, $2, $3, "
                              "$4, $5, $6, $7, $8, $9)",
                              params)) {
                    report.error = fresh.key.empty() ? "no random key" : db.error();
                    return;
                }
                fresh.revision = 1;
                ++report.projects_pushed;
            } else if (same->second->details == local.details) {
                fresh.revision = same->second->revision;
            } else {
                fresh.base = same->second->details;
            }
            links.set(local.id, fresh);
            link = linked.emplace(local.id, fresh).first;
        }
        linked_keys.insert(link->second.key);
        const auto theirs = by_key.find(link->second.key);
        if (theirs != by_key.end()) { // else removed on the server by its administrator
            sync_one(db, store, links, local, link->second, *theirs->second, policy, report);
        }
        if (!report.error.empty()) {
            return;
        }
    }
    for (const ServerProject& p : server) {
        if (!linked_keys.contains(p.key)) {
            const auto id = store.create(p.details);
            if (!id) {
                report.error = store.error();
                return;
            }
            links.set(*id, Link{p.key, p.revision, p.details});
            ++report.projects_pulled;
        }
    }
}

} // namespace qm
