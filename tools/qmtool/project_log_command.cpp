// qmtool project log, export and import.
#include "files/regular_file.h"
#include "projects/drying_days.h"
#include "projects/drying_log_visits.h"
#include "projects/project_file.h"
#include "projects/project_log.h"
#include "projects/project_texts.h"
#include "projects/project_warnings.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/project_command.h"
#include "tools/qmtool/text_codec.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace qmtool {

namespace {

// A figure to the hundredth, as a JSON number.
std::string json_number(double value) {
    return number_text(std::round(value * 100.0) / 100.0);
}

template <typename T> std::string json_or_null(const std::optional<T>& value) {
    return value ? json_number(*value) : "null";
}

std::string json_date(std::optional<std::int64_t> day) {
    return day ? json_string(qm::iso_date(*day)) : "null";
}

// A reference point is not judged: it has no standard of its own in the log.
std::string standard_json(const qm::DryingRow& row) {
    if (row.is_reference) {
        return "null";
    }
    if (row.source == qm::StandardSource::Value) {
        return json_number(*row.standard_value);
    }
    return row.reference ? json_string(qm::point_text(*row.reference)) : "null";
}

std::string point_json(const qm::DryingRow& row, const qm::DryingLog& log,
                       const qm::ProjectSettings& settings) {
    std::string out =
        "{\"point\":" + json_string(qm::point_text(row.point)) +
        ",\"label\":" + json_string(settings.label(row.point)) +
        ",\"kind\":" + json_string(row.point.scale == qm::PointScale::Scan ? "scan" : "pin") +
        ",\"reference\":" + (row.is_reference ? "true" : "false") +
        ",\"standard\":" + standard_json(row) + ",\"tolerance\":" + json_number(row.tolerance) +
        ",\"goal\":" +
        (row.source == qm::StandardSource::Value && !row.is_reference
             ? json_number(*row.standard_value + row.tolerance)
             : "null") +
        ",\"dry_on\":" + json_date(row.dry_on) + ",\"days\":[";
    bool first = true;
    for (std::size_t d = 0; d < row.cells.size(); ++d) {
        const qm::DryingCell& cell = row.cells[d];
        if (cell.state == qm::CellState::NotRead) {
            continue;
        }
        out += std::string(first ? "" : ",") + "{\"date\":" + json_date(log.days[d]) +
               ",\"time\":" + json_string(qm::clock_text(cell.minute_of_day)) +
               ",\"value\":" + json_number(cell.value) + ",\"goal\":" + json_or_null(cell.goal) +
               ",\"dry\":" +
               (cell.state == qm::CellState::Dry   ? "true"
                : cell.state == qm::CellState::Wet ? "false"
                                                   : "null") +
               (cell.state == qm::CellState::Removed ? ",\"removed\":true}" : "}");
        first = false;
    }
    return out + "],\"removed\":" +
           (row.removed ? "{\"on\":" + json_date(row.removed->on) +
                              ",\"reason\":" + json_string(row.removed->reason) + "}"
                        : "null") +
           "}";
}

std::string warnings_json(const std::vector<qm::ProjectWarning>& warnings) {
    std::string out = "[";
    for (std::size_t i = 0; i < warnings.size(); ++i) {
        const qm::ProjectWarning& w = warnings[i];
        out += std::string(i == 0 ? "" : ",") +
               "\n{\"kind\":" + json_string(qm::warning_kind_name(w.kind)) +
               ",\"text\":" + json_string(w.text) + ",\"days\":[";
        for (std::size_t d = 0; d < w.days.size(); ++d) {
            out += (d == 0 ? "" : ",") + json_date(w.days[d]);
        }
        out += "],\"points\":[";
        for (std::size_t p = 0; p < w.points.size(); ++p) {
            out += (p == 0 ? "" : ",") + json_string(qm::point_text(w.points[p]));
        }
        out += "]}";
    }
    return out + "]";
}

void print_warnings_text(const std::vector<qm::ProjectWarning>& warnings) {
    for (const qm::ProjectWarning& w : warnings) {
        std::printf("Warning: %s\n", shown_utf8(w.text).c_str());
    }
}

std::string visit_json(const qm::DayVisit& v) {
    const qm::VisitEvidence& e = v.evidence;
    std::string check = "null";
    if (e.check) {
        check = "{\"standard\":" +
                json_string(e.check->standard == qm::CheckStandard::PinBlock ? "block" : "pad") +
                ",\"read\":" + json_number(e.check->read) +
                ",\"expected\":" + json_number(e.check->expected) +
                ",\"on\":" + json_date(e.check->on) +
                ",\"passed\":" + (v.check_failed() ? "false" : "true") + "}";
    }
    return "{\"visit\":" + std::to_string(v.visit_id) +
           ",\"technician\":" + json_string(e.technician) +
           ",\"meter_name\":" + json_string(e.meter_name) +
           ",\"meter_serial\":" + json_string(e.meter_serial) + ",\"check\":" + check + "}";
}

// Per day of the drying log: its visits and whether one failed its calibration check.
std::string days_json(std::span<const qm::LogDayVisits> days) {
    std::string out = "[";
    for (std::size_t i = 0; i < days.size(); ++i) {
        out += std::string(i == 0 ? "" : ",") + "\n{\"date\":" + json_date(days[i].day) +
               ",\"check_failed\":" + (days[i].check_failed() ? "true" : "false") + ",\"visits\":[";
        for (std::size_t v = 0; v < days[i].visits.size(); ++v) {
            out += (v == 0 ? "" : ",") + visit_json(days[i].visits[v]);
        }
        out += "]}";
    }
    return out + "]";
}

void print_json(const qm::ProjectLogs& logs, const qm::ProjectSettings& settings,
                const std::vector<qm::ProjectWarning>& warnings, const std::string& name,
                bool celsius, std::span<const qm::LogDayVisits> days) {
    std::printf("{\"project\":%s,\"celsius\":%s,\n\"points\":[", json_string(name).c_str(),
                celsius ? "true" : "false");
    for (std::size_t i = 0; i < logs.drying.rows.size(); ++i) {
        std::printf("%s\n%s", i == 0 ? "" : ",",
                    point_json(logs.drying.rows[i], logs.drying, settings).c_str());
    }
    std::printf("],\n\"days\":%s", days_json(days).c_str());
    std::printf(",\n\"psychrometric\":[");
    for (std::size_t i = 0; i < logs.air.rows.size(); ++i) {
        const qm::AirDay& a = logs.air.rows[i];
        std::printf("%s\n{\"date\":%s,\"role\":%s,\"points\":%zu,\"temperature\":%s,\"rh\":%s,"
                    "\"dew_point\":%s,\"gpp\":%s}",
                    i == 0 ? "" : ",", json_date(a.day).c_str(),
                    json_string(qm::air_role_name(a.role)).c_str(), a.points,
                    json_number(a.temperature).c_str(), json_number(a.rh).c_str(),
                    json_or_null(a.dew_point).c_str(), json_or_null(a.humidity).c_str());
    }
    std::printf("],\n\"grain_depression\":[");
    for (std::size_t i = 0; i < logs.air.depression.size(); ++i) {
        std::printf("%s{\"date\":%s,\"value\":%s}", i == 0 ? "" : ",",
                    json_date(logs.air.depression[i].day).c_str(),
                    json_number(logs.air.depression[i].value).c_str());
    }
    std::printf("],\n\"equipment\":[");
    for (std::size_t i = 0; i < logs.equipment.rows.size(); ++i) {
        const qm::EquipmentRow& r = logs.equipment.rows[i];
        std::printf("%s\n{\"type\":%s,\"count\":%d,\"place\":%s,\"placed\":%s,\"removed\":%s,"
                    "\"unit\":%s,\"model\":%s,\"capacity\":%s,\"days\":%lld,"
                    "\"equipment_days\":%lld,\"valid\":%s}",
                    i == 0 ? "" : ",", json_string(qm::equipment_type_name(r.entry.type)).c_str(),
                    r.entry.count, json_string(r.entry.place).c_str(),
                    json_date(r.entry.placed).c_str(), json_date(r.entry.removed).c_str(),
                    json_string(r.entry.unit).c_str(), json_string(r.entry.model).c_str(),
                    json_or_null(r.entry.capacity).c_str(), static_cast<long long>(r.days),
                    static_cast<long long>(r.equipment_days), r.valid ? "true" : "false");
    }
    std::printf("],\n\"units_on_site\":[");
    for (std::size_t i = 0; i < logs.equipment.daily.size(); ++i) {
        const qm::EquipmentDay& d = logs.equipment.daily[i];
        std::printf("%s{\"date\":%s", i == 0 ? "" : ",", json_date(d.day).c_str());
        for (std::size_t t = 0; t < qm::kEquipmentTypeCount; ++t) {
            std::printf(
                ",%s:%d",
                json_string(qm::equipment_type_name(static_cast<qm::EquipmentType>(t))).c_str(),
                d.units[t]);
        }
        std::printf("}");
    }
    std::printf("],\n\"equipment_days\":%lld,\n\"warnings\":%s}\n",
                static_cast<long long>(logs.equipment.equipment_days),
                warnings_json(warnings).c_str());
}

std::string one_decimal(std::optional<double> value) {
    if (!value) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", *value);
    return text;
}

std::string cell_text(const qm::DryingCell& cell) {
    if (cell.state == qm::CellState::NotRead) {
        return "-";
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.1f%s %s", cell.value,
                  cell.state == qm::CellState::Wet       ? " wet"
                  : cell.state == qm::CellState::Dry     ? " dry"
                  : cell.state == qm::CellState::Removed ? " removed"
                                                         : "",
                  qm::clock_text(cell.minute_of_day).c_str());
    return text;
}

std::string dry_since_text(const qm::DryingRow& row) {
    return row.removed  ? "removed " + qm::iso_date(row.removed->on)
           : row.dry_on ? qm::iso_date(*row.dry_on)
                        : "-";
}

void print_removed(const qm::ProjectSettings& settings) {
    const std::vector<qm::RemovedPoint> removed = settings.removed_points();
    if (removed.empty()) {
        return;
    }
    std::printf("\nRemoved materials\nPoint\tLabel\tRemoved\tReason\n");
    for (const qm::RemovedPoint& r : removed) {
        std::printf("%s\t%s\t%s\t%s\n", shown_utf8(qm::point_text(r.point)).c_str(),
                    shown_utf8(settings.label(r.point)).c_str(), qm::iso_date(r.removal.on).c_str(),
                    shown_utf8(r.removal.reason).c_str());
    }
}

void print_units_on_site(const qm::EquipmentLog& log) {
    std::printf("Units on site\nDate\tDehumidifiers\tAir movers\tHeaters\tOther\n");
    for (const qm::EquipmentDay& d : log.daily) {
        std::printf("%s\t%d\t%d\t%d\t%d\n", qm::iso_date(d.day).c_str(), d.units[0], d.units[1],
                    d.units[2], d.units[3]);
    }
}

// Per day: its technicians and its visits, a day whose visit failed its calibration check
// marked.
void print_day_visits(std::span<const qm::LogDayVisits> days) {
    std::printf("\nVisits per day (a day marked \"check failed\" holds readings of a meter that "
                "failed its calibration check)\nDate\tTechnician\tVisits\n");
    for (const qm::LogDayVisits& day : days) {
        std::string visits;
        for (const qm::DayVisit& v : day.visits) {
            visits += (visits.empty() ? "" : "; ") + qm::day_visit_text(v);
        }
        std::printf("%s%s\t%s\t%s\n", qm::iso_date(day.day).c_str(),
                    day.check_failed() ? " check failed" : "",
                    shown_utf8(qm::day_technicians(day)).c_str(), shown_utf8(visits).c_str());
    }
}

void print_text(const qm::ProjectLogs& logs, const qm::ProjectSettings& settings,
                const std::vector<qm::ProjectWarning>& warnings, const std::string& name,
                bool celsius, std::span<const qm::LogDayVisits> days) {
    std::printf("Drying log of %s (wet: above the goal; dry: at or below it; the time of the "
                "day's reading)\nPoint\tLabel\tStandard\tTolerance",
                shown_utf8(name).c_str());
    for (const std::int64_t day : logs.drying.days) {
        std::printf("\t%s", qm::iso_date(day).c_str());
    }
    std::printf("\tDry since\n");
    for (const qm::DryingRow& row : logs.drying.rows) {
        const std::string standard = row.is_reference ? "reference"
                                     : row.source == qm::StandardSource::Value
                                         ? number_text(*row.standard_value)
                                     : row.reference ? "reference " + qm::point_text(*row.reference)
                                                     : "none";
        std::printf("%s\t%s\t%s\t%s", shown_utf8(qm::point_text(row.point)).c_str(),
                    shown_utf8(settings.label(row.point)).c_str(), shown_utf8(standard).c_str(),
                    number_text(row.tolerance).c_str());
        for (const qm::DryingCell& cell : row.cells) {
            std::printf("\t%s", cell_text(cell).c_str());
        }
        std::printf("\t%s\n", dry_since_text(row).c_str());
    }
    print_removed(settings);
    print_day_visits(days);
    const char* unit = celsius ? "C" : "F";
    std::printf("\nPsychrometric log\nDate\tRole\tPoints\tTemp (%s)\tRH %%\tDew point (%s)\t%s\n",
                unit, unit, celsius ? "GPK" : "GPP");
    for (const qm::AirDay& a : logs.air.rows) {
        std::printf("%s\t%s\t%zu\t%.1f\t%.1f\t%s\t%s\n", qm::iso_date(a.day).c_str(),
                    std::string(qm::air_role_name(a.role)).c_str(), a.points, a.temperature, a.rh,
                    one_decimal(a.dew_point).c_str(), one_decimal(a.humidity).c_str());
    }
    for (const qm::GrainDepression& g : logs.air.depression) {
        std::printf("Grain depression %s: %.1f\n", qm::iso_date(g.day).c_str(), g.value);
    }
    std::printf("\nEquipment log (running units count to the last day read)\nType\tCount\tPlace\t"
                "Placed\tRemoved\tDays\tEquipment-days\tUnit\n");
    for (const qm::EquipmentRow& r : logs.equipment.rows) {
        std::printf("%s\t%d\t%s\t%s\t%s\t%lld\t%s\t%s\n",
                    std::string(qm::equipment_type_name(r.entry.type)).c_str(), r.entry.count,
                    shown_utf8(r.entry.place).c_str(), qm::iso_date(r.entry.placed).c_str(),
                    r.entry.removed ? qm::iso_date(*r.entry.removed).c_str() : "running",
                    static_cast<long long>(r.days),
                    r.valid ? std::to_string(r.equipment_days).c_str() : "not counted",
                    shown_utf8(qm::equipment_unit_text(r.entry)).c_str());
    }
    std::printf("Total equipment-days: %lld\n",
                static_cast<long long>(logs.equipment.equipment_days));
    print_units_on_site(logs.equipment);
    if (!warnings.empty()) {
        std::printf("\n");
        print_warnings_text(warnings);
    }
}

// Writes a project file; a new one is readable by its owner only, as the archive is.
int write_owner_only(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const bool created = fd >= 0;
    if (created) {
        ::close(fd);
    }
    const int error = qm::replace_file_contents(path, bytes);
    if (error != 0 && created) {
        ::unlink(path.c_str());
    }
    return error;
}

} // namespace

int run_project_log(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("log", argc, argv, {"--json", "--celsius"}, {}, 1, 1, args, status)) {
        return status;
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    const bool celsius = args.has("--celsius");
    if (!s.read_logs(celsius)) {
        return kExitFailure;
    }
    const qm::ProjectLogs& logs = s.logs;
    const qm::ProjectSettings& settings = s.settings;
    const std::vector<qm::ProjectWarning> warnings = qm::project_warnings(s.details, logs);
    const qm::Result<std::map<std::int64_t, qm::VisitEvidence>> evidence =
        qm::evidence_by_visit(*s.archive);
    if (!evidence) {
        return failure(evidence.error());
    }
    const std::vector<qm::LogDayVisits> days =
        qm::log_day_visits(logs.drying.days, s.readings, *evidence);
    if (args.has("--json")) {
        print_json(logs, settings, warnings, s.name, celsius, days);
    } else {
        print_text(logs, settings, warnings, s.name, celsius, days);
    }
    return kExitOk;
}

int run_project_check(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("check", argc, argv, {"--json"}, {}, 1, 1, args, status)) {
        return status;
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    if (!s.read_logs(false)) {
        return kExitFailure;
    }
    const qm::ProjectLogs& logs = s.logs;
    const std::vector<qm::ProjectWarning> warnings = qm::project_warnings(s.details, logs);
    if (args.has("--json")) {
        std::printf("{\"project\":%s,\"findings\":%s}\n", json_string(s.name).c_str(),
                    warnings_json(warnings).c_str());
    } else if (warnings.empty()) {
        std::printf("%s: no findings\n", shown_utf8(s.name).c_str());
    } else {
        std::printf("%s: %zu %s\n", shown_utf8(s.name).c_str(), warnings.size(),
                    warnings.size() == 1 ? "finding" : "findings");
        print_warnings_text(warnings);
    }
    return kExitOk;
}

int run_project_export(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("export", argc, argv, {}, {"--out"}, 1, 1, args, status)) {
        return status;
    }
    const std::string* out = args.value("--out");
    if (out == nullptr || out->empty()) {
        return usage_error("export needs --out FILE");
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    qm::ProjectPackage package;
    std::string error;
    if (!qm::package_project(*s.store, *s.archive, s.project, package, error)) {
        return failure(error);
    }
    if (const int e = write_owner_only(*out, qm::encode_project_file(package)); e != 0) {
        return failure(*out + ": " + qm::file_error_text(e));
    }
    return kExitOk;
}

int run_project_import(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("import", argc, argv, {}, {"--name"}, 1, 1, args, status)) {
        return status;
    }
    const std::string& path = args.positional[0];
    std::vector<std::uint8_t> bytes;
    if (const int e = qm::read_regular_file(path, qm::kMaxProjectFileBytes, bytes); e != 0) {
        return failure(path + ": " + qm::file_error_text(e));
    }
    qm::ProjectPackage package;
    std::string error;
    if (!qm::decode_project_file(bytes, package, error)) {
        return failure(path + ": " + error);
    }
    if (!s.open()) {
        return kExitFailure;
    }
    const std::string* name = args.value("--name");
    if (!qm::import_project(*s.store, *s.archive, package, name != nullptr ? *name : "", error)) {
        return failure(error);
    }
    return kExitOk;
}

} // namespace qmtool
