#include "projects/project_sql.h"

#include <algorithm>
#include <cmath>

namespace qm {

using namespace project_sql;

std::vector<AirPointRole> ProjectSettings::roles() const {
    std::vector<AirPointRole> out;
    for (const PointNote& n : points) {
        if (n.point.scale == PointScale::Air && n.role) {
            out.push_back({n.point.location, *n.role});
        }
    }
    return out;
}

std::vector<RemovedPoint> ProjectSettings::removed_points() const {
    std::vector<RemovedPoint> out;
    for (const PointNote& n : points) {
        if (n.removed) {
            out.push_back({n.point, *n.removed});
        }
    }
    return out;
}

std::vector<MonitoringPoint> ProjectSettings::planned_points() const {
    std::vector<MonitoringPoint> out;
    for (const PointNote& n : points) {
        if (n.planned) {
            out.push_back(n.point);
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

bool ProjectStore::write_removed(std::int64_t project, const MonitoringPoint& point,
                                 const std::optional<PointRemoval>& removal) {
    if (point.scale == PointScale::Air) {
        return fail("an RH/T point has no material to remove");
    }
    if (removal && removal->reason.find_first_not_of(" \t") == std::string::npos) {
        return fail("a removed material needs a reason");
    }
    SqliteStatement upsert(db_, "INSERT INTO project_points (project_id, scale, location, "
                                "sub_location, material, removed_on, removed_reason) VALUES (?1, "
                                "?2, ?3, ?4, ?5, ?6, ?7) ON CONFLICT DO UPDATE SET removed_on = "
                                "excluded.removed_on, removed_reason = excluded.removed_reason");
    upsert.bind(1, project);
    bind_point(upsert, 2, point);
    bind_date(upsert, 6, removal ? std::optional(removal->on) : std::nullopt);
    return upsert.bind_text(7, removal ? removal->reason : std::string()).run();
}

bool ProjectStore::write_planned(std::int64_t project, const MonitoringPoint& point, bool planned) {
    SqliteStatement upsert(db_, "INSERT INTO project_points (project_id, scale, location, "
                                "sub_location, material, planned) VALUES (?1, ?2, ?3, ?4, ?5, ?6) "
                                "ON CONFLICT DO UPDATE SET planned = excluded.planned");
    upsert.bind(1, project);
    bind_point(upsert, 2, point);
    return upsert.bind(6, std::int64_t{planned ? 1 : 0}).run();
}

// Rows that say nothing any more are not kept.
constexpr std::string_view kDropEmptyPoints =
    "DELETE FROM project_points WHERE label = '' AND role IS NULL AND removed_on IS NULL AND "
    "planned = 0";

bool ProjectStore::set_label(std::int64_t project, const MonitoringPoint& point,
                             std::string_view label) {
    return in_transaction(
        [&] { return write_label(project, point, label) && db_.exec(kDropEmptyPoints); });
}

bool ProjectStore::set_role(std::int64_t project, int location, std::optional<AirRole> role) {
    return in_transaction(
        [&] { return write_role(project, location, role) && db_.exec(kDropEmptyPoints); });
}

bool ProjectStore::set_removed(std::int64_t project, const MonitoringPoint& point,
                               const std::optional<PointRemoval>& removal) {
    return in_transaction(
        [&] { return write_removed(project, point, removal) && db_.exec(kDropEmptyPoints); });
}

bool ProjectStore::set_planned(std::int64_t project, const MonitoringPoint& point, bool planned) {
    return in_transaction(
        [&] { return write_planned(project, point, planned) && db_.exec(kDropEmptyPoints); });
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
    if (e.capacity && !(std::isfinite(*e.capacity) && *e.capacity >= 0.0)) {
        fail("a rated capacity is a number, 0 or more");
        return std::nullopt;
    }
    SqliteStatement write(
        db_, id == 0 ? "INSERT INTO project_equipment (project_id, type, count, place, placed, "
                       "removed, unit, model, capacity) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?8, ?9, "
                       "?10)"
                     : "UPDATE project_equipment SET type = ?2, count = ?3, place = ?4, "
                       "placed = ?5, removed = ?6, unit = ?8, model = ?9, capacity = ?10 WHERE "
                       "project_id = ?1 AND id = ?7");
    write.bind(1, project)
        .bind_text(2, equipment_type_name(e.type))
        .bind(3, std::int64_t{e.count})
        .bind_text(4, e.place)
        .bind_text(5, iso_date(e.placed));
    bind_date(write, 6, e.removed);
    if (id != 0) {
        write.bind(7, id);
    }
    write.bind_text(8, e.unit).bind_text(9, e.model);
    bind_optional(write, 10, e.capacity);
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

bool ProjectStore::write_settings(std::int64_t project, const ProjectSettings& s,
                                  const SettingsParts& parts) {
    for (const PointNote& n : parts.points ? s.points : std::vector<PointNote>{}) {
        if (!write_label(project, n.point, n.label) ||
            (n.role && !write_role(project, n.point.location, n.role)) ||
            (n.removed && !write_removed(project, n.point, n.removed)) ||
            (n.planned && !write_planned(project, n.point, true))) {
            return false;
        }
    }
    for (const MaterialStandard& m :
         parts.standards ? s.materials : std::vector<MaterialStandard>{}) {
        if (!write_standard(project, {m.scale, -1, -1, m.material}, m.standard,
                            material_tolerance(m))) {
            return false;
        }
    }
    for (const PointStandard& p :
         parts.standards ? s.point_standards : std::vector<PointStandard>{}) {
        if (!write_standard(project, p.point, p.standard, p.tolerance)) {
            return false;
        }
    }
    for (const StoredEquipment& e :
         parts.equipment ? s.equipment : std::vector<StoredEquipment>{}) {
        if (!write_equipment(project, 0, e.entry)) {
            return false;
        }
    }
    for (const auto& [code, name] : parts.legend ? s.legend_overrides : CodeLegend{}) {
        if (!write_legend(project, code, name)) {
            return false;
        }
    }
    return db_.exec(kDropEmptyPoints);
}

bool ProjectStore::replace_settings(std::int64_t project, const ProjectSettings& settings,
                                    const SettingsParts& parts) {
    const std::pair<bool, const char*> tables[] = {
        {parts.points, "DELETE FROM project_points WHERE project_id = ?1"},
        {parts.standards, "DELETE FROM project_standards WHERE project_id = ?1"},
        {parts.equipment, "DELETE FROM project_equipment WHERE project_id = ?1"},
        {parts.legend, "DELETE FROM project_legend WHERE project_id = ?1"}};
    return in_transaction([&] {
        for (const auto& [chosen, sql] : tables) {
            SqliteStatement clear(db_, sql);
            if (chosen && !clear.bind(1, project).run()) {
                return false;
            }
        }
        return write_settings(project, settings, parts);
    });
}

bool ProjectStore::read_standards(std::int64_t project, ProjectSettings& s) {
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
    return standards.ok() && !standards.failed();
}

Result<ProjectSettings> ProjectStore::settings(std::int64_t project) {
    ProjectSettings s;
    SqliteReadTransaction read(db_);
    if (!read.begun()) {
        return read_failure("the settings of a project");
    }
    SqliteStatement points(db_, "SELECT scale, location, sub_location, material, label, role, "
                                "removed_on, removed_reason, planned FROM project_points WHERE "
                                "project_id = ?1");
    points.bind(1, project);
    while (points.step()) {
        PointNote n{point_column(points, 0), points.column_text(4),
                    points.column_is_null(5) ? std::nullopt
                                             : parse_air_role(points.column_text(5))};
        if (const std::optional<std::int64_t> on = date_column(points, 6)) {
            n.removed = PointRemoval{*on, points.column_text(7)};
        }
        n.planned = points.column_int(8) != 0;
        s.points.push_back(std::move(n));
    }
    std::sort(s.points.begin(), s.points.end(),
              [](const PointNote& a, const PointNote& b) { return a.point < b.point; });
    if (!points.ok() || points.failed() || !read_standards(project, s)) {
        return read_failure("the settings of a project");
    }
    SqliteStatement equipment(db_, "SELECT id, type, count, place, placed, removed, unit, model, "
                                   "capacity FROM project_equipment WHERE project_id = ?1 "
                                   "ORDER BY id");
    equipment.bind(1, project);
    while (equipment.step()) {
        s.equipment.push_back(
            {equipment.column_int(0),
             {parse_equipment_type(equipment.column_text(1)).value_or(EquipmentType::Other),
              static_cast<int>(equipment.column_int(2)), equipment.column_text(3),
              date_column(equipment, 4).value_or(0), date_column(equipment, 5),
              equipment.column_text(6), equipment.column_text(7),
              equipment.column_is_null(8) ? std::nullopt
                                          : std::optional(equipment.column_double(8))}});
    }
    SqliteStatement legend(db_, "SELECT code, name FROM project_legend WHERE project_id = ?1");
    legend.bind(1, project);
    while (legend.step()) {
        s.legend_overrides[legend.column_text(0)] = legend.column_text(1);
    }
    if (!equipment.ok() || equipment.failed() || !legend.ok() || legend.failed()) {
        return read_failure("the settings of a project");
    }
    return s;
}

} // namespace qm
