#include "projects/project_store.h"

#include "projects/drying_days.h"
#include "projects/project_texts.h"

#include <algorithm>

namespace qm {

namespace {

std::string_view kind_text(RecordKind kind) {
    return kind == RecordKind::Mc ? "mc" : "rh";
}

RecordKind kind_of(const std::string& text) {
    return text == "rh" ? RecordKind::Rh : RecordKind::Mc;
}

std::string text_of(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

void bind_optional(SqliteStatement& s, int index, std::optional<std::int64_t> value) {
    value ? s.bind(index, *value) : s.bind_null(index);
}

void bind_optional(SqliteStatement& s, int index, std::optional<double> value) {
    value ? s.bind(index, *value) : s.bind_null(index);
}

void bind_date(SqliteStatement& s, int index, std::optional<std::int64_t> day) {
    day ? s.bind_text(index, iso_date(*day)) : s.bind_null(index);
}

std::optional<std::int64_t> date_column(const SqliteStatement& s, int column) {
    return s.column_is_null(column) ? std::nullopt : parse_iso_date(s.column_text(column));
}

std::optional<int> small_column(const SqliteStatement& s, int column) {
    if (s.column_is_null(column)) {
        return std::nullopt;
    }
    return static_cast<int>(s.column_int(column));
}

// Binds a point's four key columns from `index` on.
void bind_point(SqliteStatement& s, int index, const MonitoringPoint& p) {
    s.bind_text(index, scale_name(p.scale))
        .bind(index + 1, std::int64_t{p.location})
        .bind(index + 2, std::int64_t{p.scale == PointScale::Air ? -1 : p.sub_location})
        .bind_text(index + 3, p.scale == PointScale::Air ? std::string() : p.material);
}

MonitoringPoint point_column(const SqliteStatement& s, int column) {
    return {parse_scale(s.column_text(column)).value_or(PointScale::Pin),
            static_cast<int>(s.column_int(column + 1)), static_cast<int>(s.column_int(column + 2)),
            s.column_text(column + 3)};
}

constexpr std::string_view kProjectColumns =
    "SELECT p.id, p.name, p.client, p.site, p.claim, p.loss_date, p.category, p.class, p.notes, "
    "(SELECT count(*) FROM project_jobs j WHERE j.project_id = p.id) FROM projects p ";

ProjectSummary project_of(const SqliteStatement& s) {
    ProjectSummary p;
    p.id = s.column_int(0);
    p.details = {s.column_text(1),  s.column_text(2),   s.column_text(3),   s.column_text(4),
                 date_column(s, 5), small_column(s, 6), small_column(s, 7), s.column_text(8)};
    p.jobs = s.column_int(9);
    return p;
}

constexpr std::string_view kJobColumns =
    "SELECT j.visit_id, j.kind, j.number, v.meter, jb.job_id, jb.reading_count, v.received_utc, "
    "v.utc_offset FROM jobs jb JOIN visits v ON v.id = jb.visit_id ";

ProjectJob job_of(const SqliteStatement& s) {
    return {
        {s.column_int(0), kind_of(s.column_text(1)), static_cast<std::int32_t>(s.column_int(2))},
        text_of(s.column_blob(3)),
        static_cast<std::int32_t>(s.column_int(4)),
        s.column_int(5),
        {s.column_int(6), static_cast<std::int32_t>(s.column_int(7))}};
}

} // namespace

std::vector<AirPointRole> ProjectSettings::roles() const {
    std::vector<AirPointRole> out;
    for (const PointNote& n : points) {
        if (n.point.scale == PointScale::Air && n.role) {
            out.push_back({n.point.location, *n.role});
        }
    }
    return out;
}

std::vector<EquipmentEntry> ProjectSettings::equipment_entries() const {
    std::vector<EquipmentEntry> out;
    for (const StoredEquipment& e : equipment) {
        out.push_back(e.entry);
    }
    return out;
}

CodeLegend ProjectSettings::legend() const {
    CodeLegend out = default_code_legend();
    for (const auto& [code, name] : legend_overrides) {
        out[code] = name;
    }
    return out;
}

std::string ProjectSettings::label(const MonitoringPoint& point) const {
    for (const PointNote& n : points) {
        if (n.point == point) {
            return n.label;
        }
    }
    return {};
}

bool ProjectStore::fail(std::string message) {
    error_ = std::move(message);
    return false;
}

bool ProjectStore::writable() {
    return !archive_.read_only() ||
           fail("the archive " + archive_.path() + " is open read-only: nothing can be changed");
}

template <typename Write> bool ProjectStore::in_transaction(Write write) {
    error_.clear();
    if (!writable()) {
        return false;
    }
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) {
        return fail(db_.error());
    }
    if (!write()) {
        if (error_.empty()) {
            error_ = db_.error();
        }
        return false;
    }
    return transaction.commit() || fail(db_.error());
}

std::optional<std::int64_t> ProjectStore::insert_project(const ProjectDetails& d) {
    if (d.name.find_first_not_of(" \t\r\n") == std::string::npos) {
        fail("a project needs a name");
        return std::nullopt;
    }
    if (find(d.name)) {
        fail("a project named \"" + d.name + "\" already exists");
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
        const std::optional<ProjectSummary> same = find(d.name);
        if (same && same->id != project) {
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

std::vector<ProjectSummary> ProjectStore::list() {
    std::vector<ProjectSummary> out;
    SqliteStatement query(db_, std::string(kProjectColumns) + "ORDER BY p.name, p.id");
    while (query.step()) {
        out.push_back(project_of(query));
    }
    return out;
}

std::optional<ProjectSummary> ProjectStore::find(std::string_view name) {
    SqliteStatement query(db_, std::string(kProjectColumns) + "WHERE p.name = ?1");
    if (!query.bind_text(1, name).step()) {
        return std::nullopt;
    }
    return project_of(query);
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
    SqliteStatement write(db_, attach ? "INSERT OR IGNORE INTO project_jobs (project_id, visit_id, "
                                        "kind, number) VALUES (?1, ?2, ?3, ?4)"
                                      : "DELETE FROM project_jobs WHERE project_id = ?1 AND "
                                        "visit_id = ?2 AND kind = ?3 AND number = ?4");
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

std::vector<ProjectJob> ProjectStore::jobs(std::int64_t project) {
    std::vector<ProjectJob> out;
    SqliteStatement query(db_, std::string(kJobColumns) +
                                   "JOIN project_jobs j ON j.visit_id = jb.visit_id AND j.kind = "
                                   "jb.kind AND j.number = jb.number WHERE j.project_id = ?1 "
                                   "ORDER BY v.received_utc, v.id, j.kind, j.number");
    query.bind(1, project);
    while (query.step()) {
        out.push_back(job_of(query));
    }
    return out;
}

std::vector<ProjectJob> ProjectStore::proposed_jobs(std::int64_t project) {
    std::vector<ProjectJob> out;
    SqliteStatement query(
        db_, "SELECT jb.visit_id, jb.kind, jb.number, v.meter, jb.job_id, jb.reading_count, "
             "v.received_utc, v.utc_offset FROM jobs jb JOIN visits v ON v.id = jb.visit_id "
             "WHERE NOT EXISTS (SELECT 1 FROM project_jobs a WHERE a.visit_id = jb.visit_id AND "
             "a.kind = jb.kind AND a.number = jb.number) AND EXISTS (SELECT 1 FROM project_jobs "
             "a JOIN jobs aj ON aj.visit_id = a.visit_id AND aj.kind = a.kind AND aj.number = "
             "a.number JOIN visits av ON av.id = a.visit_id WHERE a.project_id = ?1 AND "
             "aj.job_id = jb.job_id AND av.meter = v.meter) "
             "ORDER BY v.received_utc, v.id, jb.kind, jb.number");
    query.bind(1, project);
    while (query.step()) {
        out.push_back(job_of(query));
    }
    return out;
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

bool ProjectStore::write_label(std::int64_t project, const MonitoringPoint& point,
                               std::string_view label) {
    SqliteStatement upsert(db_, "INSERT INTO project_points (project_id, scale, location, "
                                "sub_location, material, label) VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
                                "ON CONFLICT DO UPDATE SET label = excluded.label");
    upsert.bind(1, project);
    bind_point(upsert, 2, point);
    return upsert.bind_text(6, label).run();
}

bool ProjectStore::write_role(std::int64_t project, int location, std::optional<AirRole> role) {
    SqliteStatement upsert(db_, "INSERT INTO project_points (project_id, scale, location, "
                                "sub_location, material, role) VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
                                "ON CONFLICT DO UPDATE SET role = excluded.role");
    upsert.bind(1, project);
    bind_point(upsert, 2, {PointScale::Air, location, -1, {}});
    role ? upsert.bind_text(6, air_role_name(*role)) : upsert.bind_null(6);
    return upsert.run();
}

// Rows that say nothing any more are not kept.
constexpr std::string_view kDropEmptyPoints =
    "DELETE FROM project_points WHERE label = '' AND role IS NULL";

bool ProjectStore::set_label(std::int64_t project, const MonitoringPoint& point,
                             std::string_view label) {
    return in_transaction(
        [&] { return write_label(project, point, label) && db_.exec(kDropEmptyPoints); });
}

bool ProjectStore::set_role(std::int64_t project, int location, std::optional<AirRole> role) {
    return in_transaction(
        [&] { return write_role(project, location, role) && db_.exec(kDropEmptyPoints); });
}

bool ProjectStore::write_standard(std::int64_t project, const MonitoringPoint& key,
                                  const DryStandard& s, std::optional<double> tolerance) {
    if (key.scale == PointScale::Air) {
        return fail("RH/T points have no dry standard");
    }
    if (s.value && s.reference) {
        return fail("a standard is a value or a reference point, not both");
    }
    const bool remove = !s.value && !s.reference && !tolerance;
    SqliteStatement write(
        db_, remove ? "DELETE FROM project_standards WHERE project_id = ?1 AND scale = ?2 AND "
                      "location = ?3 AND sub_location = ?4 AND material = ?5"
                    : "INSERT OR REPLACE INTO project_standards (project_id, scale, location, "
                      "sub_location, material, value, ref_scale, ref_location, "
                      "ref_sub_location, ref_material, tolerance) VALUES (?1, ?2, ?3, ?4, ?5, ?6, "
                      "?7, ?8, ?9, ?10, ?11)");
    write.bind(1, project);
    write.bind_text(2, scale_name(key.scale))
        .bind(3, std::int64_t{key.location})
        .bind(4, std::int64_t{key.sub_location})
        .bind_text(5, key.material);
    if (!remove) {
        bind_optional(write, 6, s.value);
        if (s.reference) {
            bind_point(write, 7, *s.reference);
        } else {
            write.bind_null(7).bind_null(8).bind_null(9).bind_null(10);
        }
        bind_optional(write, 11, tolerance);
    }
    return write.run();
}

namespace {

// A material's standard is stored under the point of location -1; a row of the default
// tolerance and no standard is none.
std::optional<double> material_tolerance(const MaterialStandard& s) {
    const bool nothing = !s.standard.value && !s.standard.reference;
    return nothing && s.tolerance == kDefaultTolerance ? std::nullopt
                                                       : std::optional<double>(s.tolerance);
}

} // namespace

bool ProjectStore::set_material_standard(std::int64_t project, const MaterialStandard& s) {
    const MonitoringPoint key{s.scale, -1, -1, s.material};
    return in_transaction(
        [&] { return write_standard(project, key, s.standard, material_tolerance(s)); });
}

bool ProjectStore::set_point_standard(std::int64_t project, const PointStandard& s) {
    return in_transaction(
        [&] { return write_standard(project, s.point, s.standard, s.tolerance); });
}

std::optional<std::int64_t> ProjectStore::write_equipment(std::int64_t project, std::int64_t id,
                                                          const EquipmentEntry& e) {
    SqliteStatement write(
        db_, id == 0 ? "INSERT INTO project_equipment (project_id, type, count, place, placed, "
                       "removed) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"
                     : "UPDATE project_equipment SET type = ?2, count = ?3, place = ?4, "
                       "placed = ?5, removed = ?6 WHERE project_id = ?1 AND id = ?7");
    write.bind(1, project)
        .bind_text(2, equipment_type_name(e.type))
        .bind(3, std::int64_t{e.count})
        .bind_text(4, e.place)
        .bind_text(5, iso_date(e.placed));
    bind_date(write, 6, e.removed);
    if (id != 0) {
        write.bind(7, id);
    }
    if (!write.run()) {
        return std::nullopt;
    }
    if (id != 0 && db_.changes() != 1) {
        fail("the project has no such equipment entry");
        return std::nullopt;
    }
    return id == 0 ? db_.last_insert_id() : id;
}

std::optional<std::int64_t> ProjectStore::add_equipment(std::int64_t project,
                                                        const EquipmentEntry& entry) {
    std::optional<std::int64_t> id;
    in_transaction([&] { return (id = write_equipment(project, 0, entry)).has_value(); });
    return error_.empty() ? id : std::nullopt;
}

bool ProjectStore::update_equipment(std::int64_t project, std::int64_t id,
                                    const EquipmentEntry& entry) {
    return in_transaction([&] { return write_equipment(project, id, entry).has_value(); });
}

bool ProjectStore::remove_equipment(std::int64_t project, std::int64_t id) {
    return in_transaction([&] {
        SqliteStatement remove(db_,
                               "DELETE FROM project_equipment WHERE project_id = ?1 AND id = ?2");
        return remove.bind(1, project).bind(2, id).run() &&
               (db_.changes() == 1 || fail("the project has no such equipment entry"));
    });
}

bool ProjectStore::write_legend(std::int64_t project, std::string_view code,
                                std::string_view name) {
    SqliteStatement write(db_, name.empty() ? "DELETE FROM project_legend WHERE project_id = ?1 "
                                              "AND code = ?2"
                                            : "INSERT OR REPLACE INTO project_legend (project_id, "
                                              "code, name) VALUES (?1, ?2, ?3)");
    write.bind(1, project).bind_text(2, code);
    if (!name.empty()) {
        write.bind_text(3, name);
    }
    return write.run();
}

bool ProjectStore::set_legend_name(std::int64_t project, std::string_view code,
                                   std::string_view name) {
    return in_transaction([&] { return write_legend(project, code, name); });
}

bool ProjectStore::write_settings(std::int64_t project, const ProjectSettings& s) {
    for (const PointNote& n : s.points) {
        if (!write_label(project, n.point, n.label) ||
            (n.role && !write_role(project, n.point.location, n.role))) {
            return false;
        }
    }
    for (const MaterialStandard& m : s.materials) {
        if (!write_standard(project, {m.scale, -1, -1, m.material}, m.standard,
                            material_tolerance(m))) {
            return false;
        }
    }
    for (const PointStandard& p : s.point_standards) {
        if (!write_standard(project, p.point, p.standard, p.tolerance)) {
            return false;
        }
    }
    for (const StoredEquipment& e : s.equipment) {
        if (!write_equipment(project, 0, e.entry)) {
            return false;
        }
    }
    for (const auto& [code, name] : s.legend_overrides) {
        if (!write_legend(project, code, name)) {
            return false;
        }
    }
    return db_.exec(kDropEmptyPoints);
}

ProjectSettings ProjectStore::settings(std::int64_t project) {
    ProjectSettings s;
    SqliteStatement points(db_, "SELECT scale, location, sub_location, material, label, role "
                                "FROM project_points WHERE project_id = ?1");
    points.bind(1, project);
    while (points.step()) {
        s.points.push_back(
            {point_column(points, 0), points.column_text(4),
             points.column_is_null(5) ? std::nullopt : parse_air_role(points.column_text(5))});
    }
    std::sort(s.points.begin(), s.points.end(),
              [](const PointNote& a, const PointNote& b) { return a.point < b.point; });
    SqliteStatement standards(db_, "SELECT scale, location, sub_location, material, value, "
                                   "ref_scale, ref_location, ref_sub_location, ref_material, "
                                   "tolerance FROM project_standards WHERE project_id = ?1 "
                                   "ORDER BY material, scale, location, sub_location");
    standards.bind(1, project);
    while (standards.step()) {
        const MonitoringPoint key = point_column(standards, 0);
        DryStandard standard;
        if (!standards.column_is_null(4)) {
            standard.value = standards.column_double(4);
        }
        if (!standards.column_is_null(5)) {
            standard.reference = point_column(standards, 5);
        }
        std::optional<double> tolerance;
        if (!standards.column_is_null(9)) {
            tolerance = standards.column_double(9);
        }
        if (key.location < 0) {
            s.materials.push_back(
                {key.material, key.scale, standard, tolerance.value_or(kDefaultTolerance)});
        } else {
            s.point_standards.push_back({key, standard, tolerance});
        }
    }
    SqliteStatement equipment(db_, "SELECT id, type, count, place, placed, removed FROM "
                                   "project_equipment WHERE project_id = ?1 ORDER BY id");
    equipment.bind(1, project);
    while (equipment.step()) {
        s.equipment.push_back(
            {equipment.column_int(0),
             {parse_equipment_type(equipment.column_text(1)).value_or(EquipmentType::Other),
              static_cast<int>(equipment.column_int(2)), equipment.column_text(3),
              date_column(equipment, 4).value_or(0), date_column(equipment, 5)}});
    }
    SqliteStatement legend(db_, "SELECT code, name FROM project_legend WHERE project_id = ?1");
    legend.bind(1, project);
    while (legend.step()) {
        s.legend_overrides[legend.column_text(0)] = legend.column_text(1);
    }
    return s;
}

} // namespace qm
