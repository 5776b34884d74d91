// The parts of the server's projects: read all at once (one query a table), written a part at a
// time inside the caller's transaction.
#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "sync/photo_sync.h"
#include "sync/project_parts.h"
#include "sync/pulled_input.h"
#include "text/text_format.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <unistd.h>

namespace qm {

namespace {

std::optional<std::int64_t> optional_int(const PgResult& r, int row, int column) {
    if (r.is_null(row, column)) {
        return std::nullopt;
    }
    return r.integer(row, column);
}

std::optional<int> optional_small(const PgResult& r, int row, int column) {
    const auto v = optional_int(r, row, column);
    return v ? std::optional<int>(static_cast<int>(*v)) : std::nullopt;
}

std::optional<double> optional_real(const PgResult& r, int row, int column) {
    if (r.is_null(row, column)) {
        return std::nullopt;
    }
    return std::strtod(r.text(row, column).c_str(), nullptr);
}

// A point in four columns from `column` on (scale, location, sub-location, material).
MonitoringPoint point_of(const PgResult& r, int row, int column) {
    return {parse_scale(r.text(row, column)).value_or(PointScale::Pin),
            static_cast<int>(r.integer(row, column + 1)),
            static_cast<int>(r.integer(row, column + 2)), r.text(row, column + 3)};
}

PgParam real_param(std::optional<double> value) {
    return value ? PgParam::text(number_text(*value)) : PgParam::null();
}

// The four parameters of a point, as the archive keeps it (an RH/T point: -1 and '').
void add_point(std::vector<PgParam>& params, const MonitoringPoint& p) {
    const bool air = p.scale == PointScale::Air;
    params.push_back(PgParam::text(scale_name(p.scale)));
    params.push_back(PgParam::number(p.location));
    params.push_back(PgParam::number(air ? -1 : p.sub_location));
    params.push_back(PgParam::text(air ? std::string() : p.material));
}

using Reader = void (*)(const PgResult&, int, ProjectParts&);

constexpr std::int64_t kNoDay = std::numeric_limits<std::int64_t>::min();

struct PartQuery {
    const char* sql; // $1: a project's key, or '' for all
    Reader read;
};

constexpr PartQuery kPartQueries[] = {
    {"SELECT project, visit, kind, number FROM project_jobs WHERE $1 IN ('', project)",
     [](const PgResult& r, int i, ProjectParts& p) {
         p.jobs.push_back(r.text(i, 1) + "/" + r.text(i, 2) + "/" + r.text(i, 3));
     }},
    // A removal's day as the equipment's dates below are read.
    {"SELECT project, scale, location, sub_location, material, label, role, CASE WHEN "
     "isfinite(removed_on) THEN to_char(removed_on, 'YYYY-MM-DD') ELSE removed_on::text END, "
     "removed_reason, planned FROM project_points WHERE $1 IN ('', project)",
     [](const PgResult& r, int i, ProjectParts& p) {
         PointNote n{point_of(r, i, 1), r.text(i, 5),
                     r.is_null(i, 6) ? std::nullopt : parse_air_role(r.text(i, 6))};
         if (!r.is_null(i, 7)) {
             n.removed = PointRemoval{parse_iso_date(r.text(i, 7)).value_or(kNoDay), r.text(i, 8)};
         }
         n.planned = r.text(i, 9) == "t";
         p.settings.points.push_back(std::move(n));
     }},
    {"SELECT project, scale, location, sub_location, material, value, ref_scale, ref_location, "
     "ref_sub_location, ref_material, tolerance FROM project_standards WHERE $1 IN ('', project)",
     [](const PgResult& r, int i, ProjectParts& p) {
         const MonitoringPoint key = point_of(r, i, 1);
         DryStandard standard{optional_real(r, i, 5), std::nullopt};
         if (!r.is_null(i, 6)) {
             standard.reference = point_of(r, i, 6);
         }
         const std::optional<double> tolerance = optional_real(r, i, 10);
         if (key.location < 0) {
             p.settings.materials.push_back(
                 {key.material, key.scale, standard, tolerance.value_or(kDefaultTolerance)});
         } else {
             p.settings.point_standards.push_back({key, standard, tolerance});
         }
     }},
    // Dates as "YYYY-MM-DD" whatever the server's DateStyle, an infinite one as "infinity". A
    // date this program cannot hold (that, a year before 1900) reads as kNoDay, which the checks
    // of pulled input refuse, never as another day or as "running".
    {"SELECT project, type, count, place, CASE WHEN isfinite(placed) THEN to_char(placed, "
     "'YYYY-MM-DD') ELSE placed::text END, CASE WHEN isfinite(removed) THEN to_char(removed, "
     "'YYYY-MM-DD') ELSE removed::text END, unit, model, capacity FROM project_equipment "
     "WHERE $1 IN ('', project) ORDER BY project, position",
     [](const PgResult& r, int i, ProjectParts& p) {
         p.settings.equipment.push_back(
             {0,
              {parse_equipment_type(r.text(i, 1)).value_or(EquipmentType::Other),
               static_cast<int>(r.integer(i, 2)), r.text(i, 3),
               parse_iso_date(r.text(i, 4)).value_or(kNoDay),
               r.is_null(i, 5) ? std::nullopt
                               : std::optional(parse_iso_date(r.text(i, 5)).value_or(kNoDay)),
               r.text(i, 6), r.text(i, 7), optional_real(r, i, 8)}});
     }},
    {"SELECT project, code, name FROM project_legend WHERE $1 IN ('', project)",
     [](const PgResult& r, int i, ProjectParts& p) {
         p.settings.legend_overrides[r.text(i, 1)] = r.text(i, 2);
     }},
    {"SELECT project, sha256, point, day, visit, caption FROM project_photos "
     "WHERE $1 IN ('', project)",
     [](const PgResult& r, int i, ProjectParts& p) {
         const auto text = [&](int column) {
             return r.is_null(i, column) ? std::nullopt : std::optional(r.text(i, column));
         };
         p.photos.emplace_back(r.text(i, 1), PhotoPlace{text(2), text(3), text(4), r.text(i, 5)});
     }},
};

bool insert_rows(PgDb& db, const char* sql, const std::vector<std::vector<PgParam>>& rows) {
    for (const std::vector<PgParam>& row : rows) {
        if (!db.query(sql, row)) {
            return false;
        }
    }
    return true;
}

std::vector<std::vector<PgParam>> standard_rows(const PgParam& project, const ProjectSettings& s) {
    std::vector<std::vector<PgParam>> rows;
    const auto add = [&](const MonitoringPoint& key, const DryStandard& standard,
                         std::optional<double> tolerance) {
        std::vector<PgParam> row{project};
        add_point(row, key);
        row.push_back(real_param(standard.value));
        if (standard.reference) {
            add_point(row, *standard.reference);
        } else {
            row.insert(row.end(), 4, PgParam::null());
        }
        row.push_back(real_param(tolerance));
        rows.push_back(std::move(row));
    };
    for (const MaterialStandard& m : s.materials) {
        if (m.standard.value || m.standard.reference || m.tolerance != kDefaultTolerance) {
            add({m.scale, -1, -1, m.material}, m.standard, m.tolerance);
        }
    }
    for (const PointStandard& p : s.point_standards) {
        if (p.standard.value || p.standard.reference || p.tolerance) {
            add(p.point, p.standard, p.tolerance);
        }
    }
    return rows;
}

// The rows of a part (not of the details, nor the jobs) and the INSERT that writes one.
std::pair<const char*, std::vector<std::vector<PgParam>>>
part_rows(ProjectPart part, const PgParam& project, const ProjectSettings& s) {
    std::vector<std::vector<PgParam>> rows;
    switch (part) {
    case ProjectPart::Points:
        for (const PointNote& n : s.points) {
            if (!n.label.empty() || n.role || n.removed || n.planned) {
                std::vector<PgParam> row{project};
                add_point(row, n.point);
                row.push_back(PgParam::text(n.label));
                row.push_back(n.role ? PgParam::text(air_role_name(*n.role)) : PgParam::null());
                row.push_back(n.removed ? PgParam::text(iso_date(n.removed->on)) : PgParam::null());
                row.push_back(PgParam::text(n.removed ? n.removed->reason : std::string()));
                row.push_back(PgParam::text(n.planned ? "true" : "false"));
                rows.push_back(std::move(row));
            }
        }
        return {"INSERT INTO project_points (project, scale, location, sub_location, material, "
                "label, role, removed_on, removed_reason, planned) VALUES ($1, $2, $3, $4, $5, "
                "$6, $7, $8, $9, $10)",
                std::move(rows)};
    case ProjectPart::Standards:
        return {"INSERT INTO project_standards (project, scale, location, sub_location, "
                "material, value, ref_scale, ref_location, ref_sub_location, ref_material, "
                "tolerance) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11)",
                standard_rows(project, s)};
    case ProjectPart::Equipment:
        for (std::size_t i = 0; i < s.equipment.size(); ++i) {
            const EquipmentEntry& e = s.equipment[i].entry;
            rows.push_back({project, PgParam::number(static_cast<std::int64_t>(i + 1)),
                            PgParam::text(equipment_type_name(e.type)), PgParam::number(e.count),
                            PgParam::text(e.place), PgParam::text(iso_date(e.placed)),
                            e.removed ? PgParam::text(iso_date(*e.removed)) : PgParam::null(),
                            PgParam::text(e.unit), PgParam::text(e.model), real_param(e.capacity)});
        }
        return {"INSERT INTO project_equipment (project, position, type, count, place, placed, "
                "removed, unit, model, capacity) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, "
                "$10)",
                std::move(rows)};
    default:
        for (const auto& [code, name] : s.legend_overrides) {
            rows.push_back({project, PgParam::text(code), PgParam::text(name)});
        }
        return {"INSERT INTO project_legend (project, code, name) VALUES ($1, $2, $3)",
                std::move(rows)};
    }
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

PgParam optional_param(std::optional<std::int64_t> value) {
    return value ? PgParam::number(*value) : PgParam::null();
}

std::vector<PgParam> detail_params(const ProjectDetails& d) {
    return {PgParam::text(d.name),         PgParam::text(d.client),     PgParam::text(d.site),
            PgParam::text(d.claim),        optional_param(d.loss_date), optional_param(d.category),
            optional_param(d.water_class), PgParam::text(d.notes)};
}

} // namespace

std::optional<std::map<std::string, ServerProject>> read_server_projects(PgDb& db,
                                                                         const std::string& key) {
    const PgParam which = PgParam::text(key);
    const auto rows = db.query("SELECT key, revision, deleted_at IS NOT NULL, name, client, site, "
                               "claim, loss_date, category, water_class, notes FROM projects "
                               "WHERE $1 IN ('', key)",
                               std::span(&which, 1));
    if (!rows) {
        return std::nullopt;
    }
    std::map<std::string, ServerProject> out;
    for (int i = 0; i < rows->rows(); ++i) {
        ServerProject p{rows->text(i, 0), rows->integer(i, 1), rows->text(i, 2) == "t", {}, {}};
        p.parts.details = {rows->text(i, 3),
                           rows->text(i, 4),
                           rows->text(i, 5),
                           rows->text(i, 6),
                           optional_int(*rows, i, 7),
                           optional_small(*rows, i, 8),
                           optional_small(*rows, i, 9),
                           rows->text(i, 10)};
        out.emplace(p.key, std::move(p));
    }
    for (const PartQuery& q : kPartQueries) {
        const auto part = db.query(q.sql, std::span(&which, 1));
        if (!part) {
            return std::nullopt;
        }
        for (int i = 0; i < part->rows(); ++i) {
            const auto project = out.find(part->text(i, 0));
            if (project != out.end()) {
                q.read(*part, i, project->second.parts);
            }
        }
    }
    for (auto& [k, p] : out) {
        p.problem = pulled_project_problem(p.parts);
        std::sort(p.parts.jobs.begin(), p.parts.jobs.end());
        std::sort(p.parts.photos.begin(), p.parts.photos.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        std::sort(p.parts.settings.points.begin(), p.parts.settings.points.end(),
                  [](const PointNote& a, const PointNote& b) { return a.point < b.point; });
    }
    return out;
}

bool write_server_part(PgDb& db, const std::string& key, ProjectPart part,
                       const ProjectParts& parts) {
    static constexpr const char* kClear[] = {nullptr,
                                             "DELETE FROM project_jobs WHERE project = $1",
                                             "DELETE FROM project_points WHERE project = $1",
                                             "DELETE FROM project_standards WHERE project = $1",
                                             "DELETE FROM project_equipment WHERE project = $1",
                                             "DELETE FROM project_legend WHERE project = $1",
                                             "DELETE FROM project_photos WHERE project = $1"};
    if (part == ProjectPart::Details) {
        return true;
    }
    const PgParam project = PgParam::text(key);
    if (!db.query(kClear[static_cast<std::size_t>(part)], std::span(&project, 1))) {
        return false;
    }
    if (part == ProjectPart::Jobs) {
        std::vector<std::vector<PgParam>> rows;
        for (const std::string& job : parts.jobs) {
            if (const std::optional<JobKeyFields> f = split_job_key(job)) {
                rows.push_back({project, PgParam::text(f->sha256), PgParam::text(f->kind),
                                PgParam::text(f->number)});
            }
        }
        return insert_rows(db,
                           "INSERT INTO project_jobs (project, visit, kind, number) "
                           "VALUES ($1, $2, $3, $4)",
                           rows);
    }
    if (part == ProjectPart::Photos) {
        return write_server_photos(db, key, parts);
    }
    const auto [sql, rows] = part_rows(part, project, parts.settings);
    return insert_rows(db, sql, rows);
}

// Writes the details and the chosen parts of `parts` to the server's project on `revision`
// (bringing back a project deleted there), or with `deleted` marks it deleted and empties it.
ServerWrite write_server_project(PgDb& db, const std::string& key, std::int64_t revision,
                                 const ProjectParts& parts, const PartMask& which, bool deleted) {
    PgTransaction transaction(db);
    if (!transaction.begun()) {
        return {};
    }
    std::vector<PgParam> params{PgParam::text(key), PgParam::number(revision)};
    if (!deleted) {
        const std::vector<PgParam> details = detail_params(parts.details);
        params.insert(params.end(), details.begin(), details.end());
    }
    const auto updated = db.query(
        deleted ? "UPDATE projects SET deleted_at = now(), revision = revision + 1 "
                  "WHERE key = $1 AND revision = $2 RETURNING revision"
                : "UPDATE projects SET name = $3, client = $4, site = $5, claim = $6, "
                  "loss_date = $7, category = $8, water_class = $9, notes = $10, "
                  "deleted_at = NULL, revision = revision + 1 WHERE key = $1 AND revision = $2 "
                  "RETURNING revision",
        params);
    if (!updated) {
        return {};
    }
    if (updated->rows() != 1) {
        return {std::nullopt, true};
    }
    for (const ProjectPart part : kProjectParts) {
        if ((deleted || which[static_cast<std::size_t>(part)]) &&
            !write_server_part(db, key, part, deleted ? ProjectParts{} : parts)) {
            return {};
        }
    }
    if (!transaction.commit()) {
        return {};
    }
    return {updated->integer(0, 0), false};
}

std::optional<std::string> insert_server_project(PgDb& db, const ProjectParts& parts,
                                                 std::string& error) {
    const std::string key = new_key();
    if (key.empty()) {
        error = "no random key for a new project";
        return std::nullopt;
    }
    PgTransaction transaction(db);
    std::vector<PgParam> params = detail_params(parts.details);
    params.insert(params.begin(), PgParam::text(key));
    bool written = transaction.begun() &&
                   db.query("INSERT INTO projects (key, revision, name, client, site, claim, "
                            "loss_date, category, water_class, notes) VALUES ($1, 1, $2, $3, "
                            "$4, $5, $6, $7, $8, $9)",
                            params);
    for (const ProjectPart part : kProjectParts) {
        written = written && write_server_part(db, key, part, parts);
    }
    if (!written || !transaction.commit()) {
        error = db.error();
        return std::nullopt;
    }
    return key;
}

} // namespace qm
