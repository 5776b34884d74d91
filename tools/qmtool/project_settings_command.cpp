// qmtool project label, standard, role, legend and equipment: what the user enters for the logs.
#include "projects/drying_days.h"
#include "projects/project_log.h"
#include "projects/project_texts.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/project_command.h"
#include "tools/qmtool/text_codec.h"

#include <cstdio>

namespace qmtool {

namespace {

// Warns when no attached job has readings at the point: a misspelt point is stored all the same
// (its jobs may be attached later), but the user hears of it.
void warn_unless_read(ProjectSession& s, const qm::MonitoringPoint& point) {
    qm::ProjectReadings readings;
    if (const qm::Status read =
            qm::load_project_readings(*s.store, *s.archive, s.project, readings);
        !read) {
        std::fprintf(stderr, "qmtool project: warning: %s\n", shown_utf8(read.error()).c_str());
        return;
    }
    const std::vector<qm::PointHistory> histories =
        qm::point_histories(readings.attached, point.scale == qm::PointScale::Air);
    if (qm::find_history(histories, point) == nullptr) {
        std::fprintf(stderr, "qmtool project: warning: no attached job has readings at %s\n",
                     qm::point_text(point).c_str());
    }
}

std::optional<qm::EquipmentEntry> equipment_entry(const Arguments& args, qm::EquipmentEntry entry,
                                                  std::string& error) {
    if (const std::string* type = args.value("--type")) {
        const auto t = qm::parse_equipment_type(*type);
        if (!t) {
            error = "--type is dehumidifier, air-mover, heater or other";
            return std::nullopt;
        }
        entry.type = *t;
    }
    if (const std::string* count = args.value("--count")) {
        const auto n = integer_argument(*count, 0, 100000);
        if (!n) {
            error = "--count is a number of units";
            return std::nullopt;
        }
        entry.count = static_cast<int>(*n);
    }
    if (const std::string* place = args.value("--place")) {
        entry.place = *place;
    }
    if (const std::string* placed = args.value("--placed")) {
        const auto day = qm::parse_iso_date(*placed);
        if (!day) {
            error = "--placed is a date YYYY-MM-DD";
            return std::nullopt;
        }
        entry.placed = *day;
    }
    if (const std::string* removed = args.value("--removed")) {
        entry.removed = qm::parse_iso_date(*removed);
        if (!entry.removed && *removed != "running") {
            error = "--removed is a date YYYY-MM-DD (or running)";
            return std::nullopt;
        }
    }
    entry.unit = args.value("--unit") ? *args.value("--unit") : entry.unit;
    entry.model = args.value("--model") ? *args.value("--model") : entry.model;
    if (const std::string* capacity = args.value("--capacity")) {
        entry.capacity = number_argument(*capacity);
        if (*capacity != "none" && (!entry.capacity || *entry.capacity < 0.0)) {
            error = "--capacity is a number, 0 or more (or none): " + *capacity;
            return std::nullopt;
        }
    }
    return entry;
}

int list_equipment(ProjectSession& s) {
    const qm::Result<qm::ProjectSettings> settings = s.store->settings(s.project);
    if (!settings) {
        return failure(settings.error());
    }
    int n = 0;
    for (const qm::StoredEquipment& e : settings->equipment) {
        const std::string unit = qm::equipment_unit_text(e.entry);
        std::printf("%d\t%s\t%d\t%s\t%s\t%s%s%s\n", ++n,
                    std::string(qm::equipment_type_name(e.entry.type)).c_str(), e.entry.count,
                    shown_utf8(e.entry.place).c_str(), qm::iso_date(e.entry.placed).c_str(),
                    e.entry.removed ? qm::iso_date(*e.entry.removed).c_str() : "running",
                    unit.empty() ? "" : "\t", shown_utf8(unit).c_str());
    }
    return kExitOk;
}

// The stored id of entry N (from 1) of the project's list; nothing when there is none.
qm::Result<std::optional<qm::StoredEquipment>> nth_entry(ProjectSession& s,
                                                         const std::string& text) {
    const auto n = integer_argument(text, 1, INT32_MAX);
    const qm::Result<qm::ProjectSettings> settings = s.store->settings(s.project);
    if (!settings) {
        return qm::failure(settings.error());
    }
    if (!n || static_cast<std::size_t>(*n) > settings->equipment.size()) {
        return std::optional<qm::StoredEquipment>();
    }
    return std::optional(settings->equipment[static_cast<std::size_t>(*n - 1)]);
}

} // namespace

int run_project_label(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("label", argc, argv, {}, {}, 3, 3, args, status)) {
        return status;
    }
    const auto point = point_argument(args.positional[1]);
    if (!point) {
        return usage_error("not a point: " + args.positional[1]);
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    if (!s.store->set_label(s.project, *point, args.positional[2])) {
        return s.failed();
    }
    warn_unless_read(s, *point);
    return kExitOk;
}

namespace {

// What `standard` was asked: the material or point, and what to change of its standard.
struct StandardRequest {
    std::optional<std::string> material;
    bool scan = false;
    std::optional<qm::MonitoringPoint> point;
    std::optional<qm::DryStandard> standard; // a new standard (empty for --clear)
    std::optional<double> tolerance;
    bool clear = false;
};

// The request, or the usage error's message.
std::optional<StandardRequest> read_standard_request(const Arguments& args, std::string& error) {
    const std::string* material = args.value("--material");
    const std::string* point = args.value("--point");
    const std::string* value = args.value("--value");
    const std::string* reference = args.value("--reference");
    const std::string* tolerance = args.value("--tolerance");
    StandardRequest r{std::nullopt, args.has("--scan"), std::nullopt,
                      std::nullopt, std::nullopt,       args.has("--clear")};
    if ((material == nullptr) == (point == nullptr) ||
        (value != nullptr) + (reference != nullptr) + r.clear > 1 ||
        (material != nullptr && material->empty())) {
        error = "standard: give --material NAME or --point POINT, and one of --value, "
                "--reference or --clear";
    } else if (value == nullptr && reference == nullptr && !r.clear && tolerance == nullptr) {
        error = "standard: give --value, --reference, --tolerance or --clear";
    } else if (value != nullptr && !number_argument(*value)) {
        error = "--value is a number: " + *value;
    } else if (reference != nullptr && !point_argument(*reference)) {
        error = "not a point: " + *reference;
    } else if (tolerance != nullptr &&
               (!(r.tolerance = number_argument(*tolerance)) || *r.tolerance < 0.0)) {
        error = "--tolerance is a number, 0 or more: " + *tolerance;
    } else if (point != nullptr &&
               (!(r.point = point_argument(*point)) || r.point->scale == qm::PointScale::Air)) {
        error = "not a pin or scan point: " + *point;
    }
    if (!error.empty()) {
        return std::nullopt;
    }
    if (material != nullptr) {
        r.material = *material;
    }
    if (value != nullptr || reference != nullptr || r.clear) {
        r.standard = qm::DryStandard{value ? number_argument(*value) : std::nullopt,
                                     reference ? point_argument(*reference) : std::nullopt};
    }
    return r;
}

// What is not given stays as it was: a tolerance alone keeps the standard, and a standard alone
// keeps the tolerance. --clear removes both.
int apply_standard(ProjectSession& s, const StandardRequest& r) {
    const qm::Result<qm::ProjectSettings> stored = s.store->settings(s.project);
    if (!stored) {
        return failure(stored.error());
    }
    const qm::ProjectSettings& old = *stored;
    if (r.material) {
        qm::MaterialStandard m{*r.material,
                               r.scan ? qm::PointScale::Scan : qm::PointScale::Pin,
                               {},
                               qm::kDefaultTolerance};
        for (const qm::MaterialStandard& o : old.materials) {
            m = o.material == m.material && o.scale == m.scale ? o : m;
        }
        m.standard = r.standard.value_or(m.standard);
        m.tolerance = r.clear ? qm::kDefaultTolerance : r.tolerance.value_or(m.tolerance);
        return s.store->set_material_standard(s.project, m) ? kExitOk : s.failed();
    }
    qm::PointStandard p{*r.point, {}, std::nullopt};
    for (const qm::PointStandard& o : old.point_standards) {
        p = o.point == p.point ? o : p;
    }
    p.standard = r.standard.value_or(p.standard);
    p.tolerance = r.clear ? std::nullopt : r.tolerance ? r.tolerance : p.tolerance;
    return s.store->set_point_standard(s.project, p) ? kExitOk : s.failed();
}

} // namespace

int run_project_standard(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("standard", argc, argv, {"--scan", "--clear"},
                          {"--material", "--point", "--value", "--reference", "--tolerance"}, 1, 1,
                          args, status)) {
        return status;
    }
    std::string error;
    const std::optional<StandardRequest> request = read_standard_request(args, error);
    if (!request) {
        return usage_error(error);
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    if (const int applied = apply_standard(s, *request); applied != kExitOk) {
        return applied;
    }
    if (request->standard && request->standard->reference) {
        warn_unless_read(s, *request->standard->reference);
    }
    return kExitOk;
}

int run_project_role(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("role", argc, argv, {}, {}, 3, 3, args, status)) {
        return status;
    }
    const auto point = point_argument(args.positional[1]);
    if (!point || point->scale != qm::PointScale::Air) {
        return usage_error("an RH/T point is a location alone (\"KIT\"): " + args.positional[1]);
    }
    const auto role = qm::parse_air_role(args.positional[2]);
    if (!role) {
        return usage_error("a role is affected, unaffected, outside, outlet or other");
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    if (!s.store->set_role(s.project, point->location, role)) {
        return s.failed();
    }
    warn_unless_read(s, *point);
    return kExitOk;
}

int run_project_legend(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("legend", argc, argv, {}, {}, 3, 3, args, status)) {
        return status;
    }
    if (!qm::default_code_legend().contains(args.positional[1])) {
        return usage_error("not a location or sub-location code: " + args.positional[1]);
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    return s.store->set_legend_name(s.project, args.positional[1], args.positional[2]) ? kExitOk
                                                                                       : s.failed();
}

int run_project_equipment(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("equipment", argc, argv, {},
                          {"--type", "--count", "--place", "--placed", "--removed", "--unit",
                           "--model", "--capacity"},
                          2, 3, args, status)) {
        return status;
    }
    const std::string& action = args.positional[1];
    const std::size_t wanted = action == "add" || action == "list" ? 2 : 3;
    if ((action != "add" && action != "list" && action != "set" && action != "remove") ||
        args.positional.size() != wanted) {
        return usage_error("equipment NAME add|list|set N|remove N");
    }
    std::string error;
    if (action == "add" && (args.value("--type") == nullptr || args.value("--placed") == nullptr)) {
        return usage_error("equipment add needs --type and --placed");
    }
    qm::EquipmentEntry fresh;
    if (action == "add" && !equipment_entry(args, fresh, error)) {
        return usage_error(error);
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    if (action == "list") {
        return list_equipment(s);
    }
    if (action == "add") {
        return s.store->add_equipment(s.project, *equipment_entry(args, fresh, error)) ? kExitOk
                                                                                       : s.failed();
    }
    const qm::Result<std::optional<qm::StoredEquipment>> found = nth_entry(s, args.positional[2]);
    if (!found || !*found) {
        return failure(!found ? found.error()
                              : "the project has no equipment entry " + args.positional[2]);
    }
    const std::optional<qm::StoredEquipment>& entry = *found;
    if (action == "remove") {
        return s.store->remove_equipment(s.project, entry->id) ? kExitOk : s.failed();
    }
    const std::optional<qm::EquipmentEntry> changed = equipment_entry(args, entry->entry, error);
    if (!changed) {
        return usage_error(error);
    }
    return s.store->update_equipment(s.project, entry->id, *changed) ? kExitOk : s.failed();
}

} // namespace qmtool
