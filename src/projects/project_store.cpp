#include "projects/project_store.h"

#include "projects/project_sql.h"

namespace qm {

using namespace project_sql;

namespace {

constexpr std::string_view kProjectColumns =
    "SELECT p.id, p.name, p.client, p.site, p.claim, p.loss_date, p.category, p.class, p.notes, "
    "(SELECT count(*) FROM project_jobs j JOIN visits v ON v.sha256 = j.sha256 JOIN jobs jb ON "
    "jb.visit_id = v.id AND jb.kind = j.kind AND jb.number = j.number WHERE j.project_id = p.id) "
    "FROM projects p ";

ProjectSummary project_of(const SqliteStatement& s) {
    ProjectSummary p;
    p.id = s.column_int(0);
    p.details = {s.column_text(1),  s.column_text(2),   s.column_text(3),   s.column_text(4),
                 date_column(s, 5), small_column(s, 6), small_column(s, 7), s.column_text(8)};
    p.jobs = s.column_int(9);
    return p;
}

constexpr std::string_view kJobColumns =
    "SELECT jb.visit_id, jb.kind, jb.number, v.meter, jb.job_id, jb.reading_count, "
    "v.received_utc, v.utc_offset FROM jobs jb JOIN visits v ON v.id = jb.visit_id ";

ProjectJob job_of(const SqliteStatement& s) {
    return {
        {s.column_int(0), kind_of(s.column_text(1)), static_cast<std::int32_t>(s.column_int(2))},
        text_of(s.column_blob(3)),
        static_cast<std::int32_t>(s.column_int(4)),
        s.column_int(5),
        {s.column_int(6), static_cast<std::int32_t>(s.column_int(7))}};
}

} // namespace

bool ProjectStore::fail(std::string message) {
    error_ = std::move(message);
    return false;
}

Failure ProjectStore::read_failure(std::string_view what) const {
    return failure(std::string(what) + " cannot be read: " + db_.error());
}

bool ProjectStore::writable() {
    return !archive_.read_only() ||
           fail("the archive " + archive_.path() + " is open read-only: nothing can be changed");
}

std::optional<std::int64_t> ProjectStore::insert_project(const ProjectDetails& d) {
    if (d.name.find_first_not_of(" \t\r\n") == std::string::npos) {
        fail("a project needs a name");
        return std::nullopt;
    }
    const Result<std::optional<ProjectSummary>> same = find(d.name);
    if (!same || *same) {
        fail(same ? "a project named \"" + d.name + "\" already exists" : same.error());
        return std::nullopt;
    }
    SqliteStatement insert(db_, "INSERT INTO projects (name, client, site, claim, loss_date, "
                                "category, class, notes) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
    insert.bind_text(1, d.name).bind_text(2, d.client).bind_text(3, d.site).bind_text(4, d.claim);
    bind_date(insert, 5, d.loss_date);
    bind_optional(insert, 6, d.category ? std::optional<std::int64_t>(*d.category) : std::nullopt);
    bind_optional(insert, 7,
                  d.water_class ? std::optional<std::int64_t>(*d.water_class) : std::nullopt);
    if (!insert.bind_text(8, d.notes).run()) {
        return std::nullopt;
    }
    return db_.last_insert_id();
}

std::optional<std::int64_t> ProjectStore::create(const ProjectDetails& details) {
    std::optional<std::int64_t> id;
    in_transaction([&] { return (id = insert_project(details)).has_value(); });
    return error_.empty() ? id : std::nullopt;
}

std::optional<std::int64_t> ProjectStore::restore(const ProjectRecord& record) {
    std::optional<std::int64_t> id;
    in_transaction([&] {
        id = insert_project(record.details);
        return id && write_jobs(*id, record.jobs, true) && write_settings(*id, record.settings);
    });
    return error_.empty() ? id : std::nullopt;
}

bool ProjectStore::update_details(std::int64_t project, const ProjectDetails& d) {
    return in_transaction([&] {
        const Result<std::optional<ProjectSummary>> same = find(d.name);
        if (!same) {
            return fail(same.error());
        }
        if (*same && (*same)->id != project) {
            return fail("a project named \"" + d.name + "\" already exists");
        }
        SqliteStatement update(db_, "UPDATE projects SET name = ?2, client = ?3, site = ?4, "
                                    "claim = ?5, loss_date = ?6, category = ?7, class = ?8, "
                                    "notes = ?9 WHERE id = ?1");
        update.bind(1, project).bind_text(2, d.name).bind_text(3, d.client);
        update.bind_text(4, d.site).bind_text(5, d.claim);
        bind_date(update, 6, d.loss_date);
        bind_optional(update, 7,
                      d.category ? std::optional<std::int64_t>(*d.category) : std::nullopt);
        bind_optional(update, 8,
                      d.water_class ? std::optional<std::int64_t>(*d.water_class) : std::nullopt);
        return update.bind_text(9, d.notes).run() &&
               (db_.changes() == 1 || fail("there is no such project"));
    });
}

bool ProjectStore::remove(std::int64_t project) {
    return in_transaction([&] {
        SqliteStatement remove(db_, "DELETE FROM projects WHERE id = ?1");
        return remove.bind(1, project).run() &&
               (db_.changes() == 1 || fail("there is no such project"));
    });
}

Result<std::vector<ProjectSummary>> ProjectStore::list() {
    std::vector<ProjectSummary> out;
    SqliteStatement query(db_, std::string(kProjectColumns) + "ORDER BY p.name, p.id");
    while (query.step()) {
        out.push_back(project_of(query));
    }
    if (!query.ok() || query.failed()) {
        return read_failure("the projects");
    }
    return out;
}

Result<std::optional<ProjectSummary>> ProjectStore::find(std::string_view name) {
    SqliteStatement query(db_, std::string(kProjectColumns) + "WHERE p.name = ?1");
    if (!query.bind_text(1, name).step()) {
        if (!query.ok() || query.failed()) {
            return read_failure("the projects");
        }
        return std::optional<ProjectSummary>();
    }
    return std::optional(project_of(query));
}

std::optional<ProjectSummary> ProjectStore::get(std::int64_t project) {
    SqliteStatement query(db_, std::string(kProjectColumns) + "WHERE p.id = ?1");
    if (!query.bind(1, project).step()) {
        return std::nullopt;
    }
    return project_of(query);
}

bool ProjectStore::write_jobs(std::int64_t project, std::span<const JobRef> jobs, bool attach) {
    SqliteStatement held(db_,
                         "SELECT 1 FROM jobs WHERE visit_id = ?1 AND kind = ?2 AND number = ?3");
    SqliteStatement write(
        db_, attach ? "INSERT OR IGNORE INTO project_jobs (project_id, sha256, kind, number) "
                      "SELECT ?1, sha256, ?3, ?4 FROM visits WHERE id = ?2"
                    : "DELETE FROM project_jobs WHERE project_id = ?1 AND sha256 = (SELECT sha256 "
                      "FROM visits WHERE id = ?2) AND kind = ?3 AND number = ?4");
    for (const JobRef& j : jobs) {
        held.reset();
        if (attach && !held.bind(1, j.visit_id)
                           .bind_text(2, kind_text(j.kind))
                           .bind(3, std::int64_t{j.number})
                           .step()) {
            return held.failed() ? false
                                 : fail("visit " + std::to_string(j.visit_id) + " holds no " +
                                        (j.kind == RecordKind::Mc ? "MC" : "RH/T") + " job " +
                                        std::to_string(j.number));
        }
        write.reset();
        if (!write.bind(1, project)
                 .bind(2, j.visit_id)
                 .bind_text(3, kind_text(j.kind))
                 .bind(4, std::int64_t{j.number})
                 .run()) {
            return false;
        }
    }
    return true;
}

bool ProjectStore::attach(std::int64_t project, std::span<const JobRef> jobs) {
    return in_transaction([&] { return write_jobs(project, jobs, true); });
}

bool ProjectStore::detach(std::int64_t project, std::span<const JobRef> jobs) {
    return in_transaction([&] { return write_jobs(project, jobs, false); });
}

bool ProjectStore::replace_attached(std::int64_t project, std::span<const AttachedKey> jobs) {
    return in_transaction([&] {
        SqliteStatement clear(db_, "DELETE FROM project_jobs WHERE project_id = ?1");
        SqliteStatement insert(db_, "INSERT OR IGNORE INTO project_jobs (project_id, sha256, "
                                    "kind, number) VALUES (?1, ?2, ?3, ?4)");
        if (!clear.bind(1, project).run()) {
            return false;
        }
        for (const AttachedKey& j : jobs) {
            if (!insert.bind(1, project)
                     .bind_text(2, j.sha256)
                     .bind_text(3, kind_text(j.kind))
                     .bind(4, std::int64_t{j.number})
                     .run()) {
                return false;
            }
        }
        return true;
    });
}

Result<std::vector<AttachedKey>> ProjectStore::attached_keys(std::int64_t project) {
    std::vector<AttachedKey> out;
    SqliteStatement query(db_, "SELECT sha256, kind, number FROM project_jobs WHERE project_id = "
                               "?1 ORDER BY sha256, kind, number");
    query.bind(1, project);
    while (query.step()) {
        out.push_back({query.column_text(0), kind_of(query.column_text(1)),
                       static_cast<std::int32_t>(query.column_int(2))});
    }
    if (!query.ok() || query.failed()) {
        return failure("the jobs of a project cannot be read: " + db_.error());
    }
    return out;
}

Result<std::vector<std::string>> ProjectStore::absent_attached_visits() {
    std::vector<std::string> out;
    SqliteStatement query(db_, "SELECT DISTINCT sha256 FROM project_jobs WHERE sha256 NOT IN "
                               "(SELECT sha256 FROM visits) ORDER BY sha256");
    while (query.step()) {
        out.push_back(query.column_text(0));
    }
    if (!query.ok() || query.failed()) {
        return failure("the jobs of the projects cannot be read: " + db_.error());
    }
    return out;
}

Result<std::vector<ProjectJob>> ProjectStore::jobs(std::int64_t project) {
    std::vector<ProjectJob> out;
    SqliteStatement query(db_, std::string(kJobColumns) +
                                   "JOIN project_jobs j ON j.sha256 = v.sha256 AND j.kind = "
                                   "jb.kind AND j.number = jb.number WHERE j.project_id = ?1 "
                                   "ORDER BY v.received_utc, v.id, j.kind, j.number");
    query.bind(1, project);
    while (query.step()) {
        out.push_back(job_of(query));
    }
    if (!query.ok() || query.failed()) {
        return read_failure("the jobs of a project");
    }
    return out;
}

std::vector<ProjectJob> ProjectStore::proposed_jobs(std::int64_t project) {
    std::vector<ProjectJob> out;
    SqliteStatement query(
        db_, "SELECT jb.visit_id, jb.kind, jb.number, v.meter, jb.job_id, jb.reading_count, "
             "v.received_utc, v.utc_offset FROM jobs jb JOIN visits v ON v.id = jb.visit_id "
             "WHERE NOT EXISTS (SELECT 1 FROM project_jobs a WHERE a.sha256 = v.sha256 AND "
             "a.kind = jb.kind AND a.number = jb.number) AND EXISTS (SELECT 1 FROM project_jobs "
             "a JOIN visits av ON av.sha256 = a.sha256 JOIN jobs aj ON aj.visit_id = av.id AND "
             "aj.kind = a.kind AND aj.number = a.number WHERE a.project_id = ?1 AND "
             "aj.job_id = jb.job_id AND av.meter = v.meter) "
             "ORDER BY v.received_utc, v.id, jb.kind, jb.number");
    query.bind(1, project);
    while (query.step()) {
        out.push_back(job_of(query));
    }
    return out;
}

Result<std::vector<std::string>> ProjectStore::projects_of_visit(std::int64_t visit) {
    std::vector<std::string> names;
    SqliteStatement query(db_, "SELECT name FROM projects WHERE id IN (SELECT project_id FROM "
                               "project_jobs WHERE sha256 = (SELECT sha256 FROM visits WHERE id = "
                               "?1)) ORDER BY name");
    query.bind(1, visit);
    while (query.step()) {
        names.push_back(query.column_text(0));
    }
    if (!query.ok() || query.failed()) {
        return read_failure("the projects of a visit");
    }
    return names;
}

std::vector<JobRef> ProjectStore::visit_jobs(std::int64_t visit,
                                             std::optional<std::int32_t> number) {
    std::vector<JobRef> out;
    SqliteStatement query(db_, "SELECT kind, number FROM jobs WHERE visit_id = ?1 AND (?2 IS NULL "
                               "OR number = ?2) ORDER BY kind, number");
    query.bind(1, visit);
    bind_optional(query, 2, number ? std::optional<std::int64_t>(*number) : std::nullopt);
    while (query.step()) {
        out.push_back(
            {visit, kind_of(query.column_text(0)), static_cast<std::int32_t>(query.column_int(1))});
    }
    return out;
}
} // namespace qm
