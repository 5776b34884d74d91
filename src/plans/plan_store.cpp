#include "plans/plan_store.h"

#include "archive/sha256.h"
#include "files/regular_file.h"
#include "projects/project_texts.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sys/stat.h>

namespace qm {

namespace {

// An underlay larger than this is no floor plan (and would make an SVG no reader opens).
constexpr std::size_t kMaxUnderlayBytes = 64u << 20;
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

std::string number(double v) {
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return ec == std::errc() ? std::string(buffer, end) : std::string("nan");
}

// "x,y x,y ...": the shortest text that reads back as the same numbers.
std::string outline_text(const std::vector<SheetXY>& outline) {
    std::string out;
    for (const SheetXY& c : outline) {
        out += (out.empty() ? "" : " ") + number(c.x) + "," + number(c.y);
    }
    return out;
}

std::optional<std::vector<SheetXY>> parse_outline(std::string_view text) {
    std::vector<SheetXY> out;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        SheetXY c;
        auto r = std::from_chars(p, end, c.x);
        if (r.ec != std::errc() || r.ptr == end || *r.ptr != ',') {
            return std::nullopt;
        }
        r = std::from_chars(r.ptr + 1, end, c.y);
        if (r.ec != std::errc() || (r.ptr != end && *r.ptr != ' ')) {
            return std::nullopt;
        }
        out.push_back(c);
        p = r.ptr == end ? end : r.ptr + 1;
    }
    return out;
}

void bind_point(SqliteStatement& s, int index, const MonitoringPoint& p) {
    s.bind_text(index, scale_name(p.scale))
        .bind(index + 1, std::int64_t{p.location})
        .bind(index + 2, std::int64_t{p.scale == PointScale::Air ? -1 : p.sub_location})
        .bind_text(index + 3, p.scale == PointScale::Air ? std::string() : p.material);
}

// Names compare as the archive's NOCASE collation compares them: ASCII letters without case.
bool nocase_equal(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

bool blank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

} // namespace

std::string underlay_folder(const std::string& archive_path) {
    return (std::filesystem::path(archive_path).parent_path() / "plans").string();
}

Failure PlanStore::read_failure(std::string_view what) const {
    return failure(std::string(what) + " cannot be read: " + db_.error());
}

Status PlanStore::writable() const {
    if (archive_.read_only()) {
        return failure("the archive " + archive_.path() +
                       " is open read-only: nothing can be changed");
    }
    return done();
}

template <typename Write> Status PlanStore::in_transaction(Write write) {
    if (Status ok = writable(); !ok) {
        return ok;
    }
    SqliteTransaction transaction(db_);
    if (!transaction.begun()) {
        return failure(db_.error());
    }
    Status written = write();
    if (!written) {
        return written;
    }
    return transaction.commit() ? done() : failure(db_.error());
}

Status PlanStore::keep_underlay(const PlanUnderlay& underlay, std::span<const std::uint8_t> bytes) {
    if (sha256_hex(bytes) != underlay.sha256) {
        return failure("the underlay's bytes are not those of its SHA-256");
    }
    const std::string folder = underlay_folder(archive_.path());
    if (::mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST) {
        return failure("the folder " + folder + " cannot be made: " + file_error_text(errno));
    }
    const std::string file = folder + "/" + underlay.sha256;
    if (underlay_bytes(underlay)) {
        return done(); // the same bytes are kept already
    }
    if (const int error = replace_file_contents(file, bytes); error != 0) {
        return failure("the image cannot be kept in " + folder + ": " + file_error_text(error));
    }
    ::chmod(file.c_str(), kFileMode);
    return done();
}

Result<std::vector<std::uint8_t>> PlanStore::underlay_bytes(const PlanUnderlay& underlay) {
    const std::string file = underlay_folder(archive_.path()) + "/" + underlay.sha256;
    std::vector<std::uint8_t> bytes;
    if (const int error = read_regular_file(file, kMaxUnderlayBytes, bytes); error != 0) {
        return damage("the plan's image " + file + " cannot be read: " + file_error_text(error));
    }
    if (sha256_hex(bytes) != underlay.sha256) {
        return damage("the plan's image " + file + " is damaged (its bytes changed)");
    }
    return bytes;
}

Status PlanStore::add_plan(std::int64_t project, const FloorPlan& plan,
                           std::span<const std::uint8_t> underlay_bytes) {
    if (blank(plan.name)) {
        return failure("a plan needs a name");
    }
    if (Status ok = writable(); !ok) {
        return ok; // nothing is kept beside a read-only archive either
    }
    if (plan.underlay) {
        if (Status kept = keep_underlay(*plan.underlay, underlay_bytes); !kept) {
            return kept;
        }
    }
    return in_transaction([&]() -> Status {
        if (Result<std::optional<FloorPlan>> same = this->plan(project, plan.name); !same) {
            return failure(same.error());
        } else if (*same) {
            return failure("the project has a plan named \"" + (*same)->name + "\" already");
        }
        SqliteStatement insert(db_, "INSERT INTO project_plans (project_id, name, units, "
                                    "underlay_sha256, underlay_type, underlay_width, "
                                    "underlay_height) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        insert.bind(1, project).bind_text(2, plan.name).bind_text(3, plan_units_name(plan.units));
        if (plan.underlay) {
            insert.bind_text(4, plan.underlay->sha256).bind_text(5, plan.underlay->media_type);
            insert.bind(6, std::int64_t{plan.underlay->width});
            insert.bind(7, std::int64_t{plan.underlay->height});
        } else {
            insert.bind_null(4).bind_null(5).bind_null(6).bind_null(7);
        }
        return insert.run() ? done() : failure(db_.error());
    });
}

Status PlanStore::remove_plan(std::int64_t project, std::string_view plan) {
    return in_transaction([&]() -> Status {
        SqliteStatement remove(db_,
                               "DELETE FROM project_plans WHERE project_id = ?1 AND name = ?2");
        if (!remove.bind(1, project).bind_text(2, plan).run()) {
            return failure(db_.error());
        }
        return db_.changes() == 1 ? done()
                                  : failure("there is no plan named \"" + std::string(plan) + "\"");
    });
}

Status PlanStore::set_scale(std::int64_t project, std::string_view plan, const PlanScale& scale) {
    const bool finite = std::isfinite(scale.from.x) && std::isfinite(scale.from.y) &&
                        std::isfinite(scale.to.x) && std::isfinite(scale.to.y);
    if (!finite || scale.from == scale.to) {
        return failure("the marked length needs two different ends");
    }
    if (!(std::isfinite(scale.length) && scale.length > 0.0)) {
        return failure("the marked length must be above zero");
    }
    return in_transaction([&]() -> Status {
        SqliteStatement update(db_, "UPDATE project_plans SET scale_x1 = ?3, scale_y1 = ?4, "
                                    "scale_x2 = ?5, scale_y2 = ?6, scale_length = ?7 "
                                    "WHERE project_id = ?1 AND name = ?2");
        update.bind(1, project).bind_text(2, plan).bind(3, scale.from.x).bind(4, scale.from.y);
        update.bind(5, scale.to.x).bind(6, scale.to.y).bind(7, scale.length);
        if (!update.run()) {
            return failure(db_.error());
        }
        return db_.changes() == 1 ? done()
                                  : failure("there is no plan named \"" + std::string(plan) + "\"");
    });
}

Status PlanStore::put_room(std::int64_t project, std::string_view plan, const PlanRoom& room) {
    if (const std::optional<std::string> problem = room_problem(room)) {
        return failure(*problem);
    }
    return in_transaction([&]() -> Status {
        if (Result<std::optional<FloorPlan>> found = this->plan(project, plan); !found) {
            return failure(found.error());
        } else if (!*found) {
            return failure("there is no plan named \"" + std::string(plan) + "\"");
        }
        SqliteStatement upsert(db_, "INSERT INTO plan_rooms (project_id, plan, name, outline, "
                                    "height) VALUES (?1, ?2, ?3, ?4, ?5) ON CONFLICT DO UPDATE "
                                    "SET name = excluded.name, outline = excluded.outline, "
                                    "height = excluded.height");
        upsert.bind(1, project).bind_text(2, plan).bind_text(3, room.name);
        upsert.bind_text(4, outline_text(room.outline));
        room.height ? upsert.bind(5, *room.height) : upsert.bind_null(5);
        return upsert.run() ? done() : failure(db_.error());
    });
}

Status PlanStore::place(std::int64_t project, const PlacedPoint& placed) {
    if (!std::isfinite(placed.at.x) || !std::isfinite(placed.at.y)) {
        return failure("a point's place is two numbers");
    }
    return in_transaction([&]() -> Status {
        if (Result<std::optional<FloorPlan>> found = plan(project, placed.plan); !found) {
            return failure(found.error());
        } else if (!*found) {
            return failure("there is no plan named \"" + placed.plan + "\"");
        }
        SqliteStatement upsert(db_, "INSERT INTO plan_points (project_id, scale, location, "
                                    "sub_location, material, plan, x, y) VALUES (?1, ?2, ?3, ?4, "
                                    "?5, ?6, ?7, ?8) ON CONFLICT DO UPDATE SET plan = "
                                    "excluded.plan, x = excluded.x, y = excluded.y");
        upsert.bind(1, project);
        bind_point(upsert, 2, placed.point);
        upsert.bind_text(6, placed.plan).bind(7, placed.at.x).bind(8, placed.at.y);
        return upsert.run() ? done() : failure(db_.error());
    });
}

Result<std::vector<PlanRoom>> PlanStore::rooms(std::int64_t project, std::string_view plan) {
    std::vector<PlanRoom> out;
    SqliteStatement query(db_, "SELECT name, outline, height FROM plan_rooms WHERE project_id = "
                               "?1 AND plan = ?2 ORDER BY id");
    query.bind(1, project).bind_text(2, plan);
    while (query.step()) {
        PlanRoom room;
        room.name = query.column_text(0);
        std::optional<std::vector<SheetXY>> outline = parse_outline(query.column_text(1));
        if (!outline) {
            return damage("the outline of the room \"" + room.name + "\" is damaged");
        }
        room.outline = std::move(*outline);
        if (!query.column_is_null(2)) {
            room.height = query.column_double(2);
        }
        out.push_back(std::move(room));
    }
    if (!query.ok() || query.failed()) {
        return read_failure("the rooms of a plan");
    }
    return out;
}

Result<std::optional<FloorPlan>> PlanStore::plan(std::int64_t project, std::string_view name) {
    Result<std::vector<FloorPlan>> all = plans(project);
    if (!all) {
        return failure(all.error());
    }
    for (FloorPlan& p : *all) {
        if (nocase_equal(p.name, name)) {
            return std::optional<FloorPlan>(std::move(p));
        }
    }
    return std::optional<FloorPlan>();
}

Result<std::vector<FloorPlan>> PlanStore::plans(std::int64_t project) {
    SqliteReadTransaction read(db_);
    std::vector<FloorPlan> out;
    SqliteStatement query(db_, "SELECT name, units, underlay_sha256, underlay_type, "
                               "underlay_width, underlay_height, scale_x1, scale_y1, scale_x2, "
                               "scale_y2, scale_length FROM project_plans WHERE project_id = ?1 "
                               "ORDER BY name");
    query.bind(1, project);
    while (query.step()) {
        FloorPlan p;
        p.name = query.column_text(0);
        p.units = parse_plan_units(query.column_text(1)).value_or(PlanUnits::Feet);
        if (!query.column_is_null(2)) {
            p.underlay = PlanUnderlay{query.column_text(2), query.column_text(3),
                                      static_cast<int>(query.column_int(4)),
                                      static_cast<int>(query.column_int(5))};
        }
        if (!query.column_is_null(10)) {
            p.scale = PlanScale{{query.column_double(6), query.column_double(7)},
                                {query.column_double(8), query.column_double(9)},
                                query.column_double(10)};
        }
        out.push_back(std::move(p));
    }
    if (!query.ok() || query.failed()) {
        return read_failure("the plans of a project");
    }
    for (FloorPlan& p : out) {
        Result<std::vector<PlanRoom>> r = rooms(project, p.name);
        if (!r) {
            return failure(r.error());
        }
        p.rooms = std::move(*r);
    }
    return out;
}

Result<std::vector<PlacedPoint>> PlanStore::placed(std::int64_t project) {
    std::vector<PlacedPoint> out;
    // The plan's name as the plan has it (the point's row may spell it in another case).
    SqliteStatement query(db_, "SELECT p.scale, p.location, p.sub_location, p.material, l.name, "
                               "p.x, p.y FROM plan_points p JOIN project_plans l ON l.project_id "
                               "= p.project_id AND l.name = p.plan WHERE p.project_id = ?1");
    query.bind(1, project);
    while (query.step()) {
        PlacedPoint p;
        p.point = {parse_scale(query.column_text(0)).value_or(PointScale::Pin),
                   static_cast<int>(query.column_int(1)), static_cast<int>(query.column_int(2)),
                   query.column_text(3)};
        p.plan = query.column_text(4);
        p.at = {query.column_double(5), query.column_double(6)};
        out.push_back(std::move(p));
    }
    if (!query.ok() || query.failed()) {
        return read_failure("the places of a project's points");
    }
    std::sort(out.begin(), out.end(),
              [](const PlacedPoint& a, const PlacedPoint& b) { return a.point < b.point; });
    return out;
}

} // namespace qm
