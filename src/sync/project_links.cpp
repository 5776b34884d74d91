#include "sync/project_links.h"

namespace qm {

namespace {

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

} // namespace

std::vector<Link> Links::all() {
    std::vector<Link> out;
    SqliteStatement q(db_, "SELECT key, project, revision, name, details, client, site, "
                           "claim, loss_date, category, water_class, notes, jobs, points, "
                           "standards, equipment, legend FROM sync_projects ORDER BY key");
    while (q.ok() && q.step()) {
        Link link{q.column_text(0), std::nullopt, q.column_int(2), q.column_text(3), {}};
        if (!q.column_is_null(1)) {
            link.project = q.column_int(1);
        }
        link.base[0] = q.column_is_null(4) ? legacy_details(q) : q.column_text(4);
        for (std::size_t part = 1; part < kProjectPartCount; ++part) {
            link.base[part] = q.column_text(static_cast<int>(part) + 11);
        }
        out.push_back(std::move(link));
    }
    ok_ = q.ok() && !q.failed();
    return out;
}

bool Links::set(const Link& link) {
    SqliteStatement s(db_, "INSERT OR REPLACE INTO sync_projects (key, project, revision, "
                           "name, details, jobs, points, standards, equipment, legend) "
                           "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    s.bind_text(1, link.key).bind(3, link.revision).bind_text(4, link.name);
    link.project ? s.bind(2, *link.project) : s.bind_null(2);
    for (std::size_t part = 0; part < kProjectPartCount; ++part) {
        s.bind_text(static_cast<int>(part) + 5, link.base[part]);
    }
    return s.ok() && s.run();
}

bool Links::remove(const std::string& key) {
    SqliteStatement s(db_, "DELETE FROM sync_projects WHERE key = ?1");
    return s.ok() && s.bind_text(1, key).run();
}

} // namespace qm
