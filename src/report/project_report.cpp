#include "report/project_report.h"

#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "report/report_axes.h"
#include "store/lookup_tables.h"
#include "text/cp1252.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace qm {

namespace {

constexpr std::string_view kNone = "-";
constexpr std::size_t kLegendPairs = 4; // code and name pairs side by side, at most
// The characters a line of the legend holds at the table's size on the narrower paper (A4).
constexpr std::size_t kLegendLineChars = 88;
// Room a cell takes besides its text, in characters.
constexpr std::size_t kCellChars = 2;

std::string one_decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string label_of(const ProjectSettings& settings, const MonitoringPoint& point) {
    return cp1252_of_utf8(settings.label(point));
}

std::string_view role_text(AirRole role) {
    switch (role) {
    case AirRole::Affected:
        return "Affected area";
    case AirRole::Unaffected:
        return "Unaffected area";
    case AirRole::Outside:
        return "Outside";
    case AirRole::DehumidifierOutlet:
        return "Dehumidifier outlet";
    case AirRole::Other:
        break;
    }
    return "Other";
}

// The codes of the RH/T points of each role, "KIT, LIV", for the psychrometric log.
std::map<AirRole, std::string> codes_by_role(std::span<const int> air_locations,
                                             std::span<const AirPointRole> roles) {
    std::map<AirRole, std::string> codes;
    for (const int l : std::set<int>(air_locations.begin(), air_locations.end())) {
        std::string& list = codes[air_role(roles, l)];
        list += (list.empty() ? "" : ", ") + std::string(location_name(l));
    }
    return codes;
}

std::string_view equipment_text(EquipmentType type) {
    switch (type) {
    case EquipmentType::Dehumidifier:
        return "Dehumidifier";
    case EquipmentType::AirMover:
        return "Air mover";
    case EquipmentType::Heater:
        return "Heater";
    case EquipmentType::Other:
        break;
    }
    return "Other";
}

std::string optional_decimal(const std::optional<double>& value) {
    return value ? one_decimal(*value) : std::string(kNone);
}

std::string degrees(const ReportUnits& units) {
    return units.celsius ? "\xB0"
                           "C"
                         : "\xB0"
                           "F";
}

TextTable air_table(const AirLog& log, const std::map<AirRole, std::string>& codes,
                    const ReportUnits& units) {
    const std::string deg = degrees(units);
    TextTable t;
    t.columns = {{"Date", "", CellAlign::Left},
                 {"Role", "", CellAlign::Left},
                 {"Points", "", CellAlign::Right},
                 {"Temp. (" + deg + ")", "", CellAlign::Right},
                 {"RH (%)", "", CellAlign::Right},
                 {"Dew point (" + deg + ")", "", CellAlign::Right},
                 {units.celsius ? "GPK" : "GPP", "", CellAlign::Right}};
    for (const AirDay& a : log.rows) {
        const auto code = codes.find(a.role);
        std::string role(role_text(a.role));
        if (code != codes.end()) {
            role += " (" + code->second + ")";
        }
        t.rows.push_back({report_day_text(a.day, units), std::move(role), std::to_string(a.points),
                          one_decimal(a.temperature), one_decimal(a.rh),
                          optional_decimal(a.dew_point), optional_decimal(a.humidity)});
        t.row_group.push_back(static_cast<int>(a.day));
    }
    return t;
}

std::optional<double> humidity_of(const AirLog& log, std::int64_t day, AirRole role) {
    for (const AirDay& a : log.rows) {
        if (a.day == day && a.role == role) {
            return a.humidity;
        }
    }
    return std::nullopt;
}

TextTable depression_table(const AirLog& log, const ReportUnits& units) {
    const std::string unit = units.celsius ? "GPK" : "GPP";
    TextTable t;
    t.columns = {{"Date", "", CellAlign::Left},
                 {"Affected area", unit, CellAlign::Right},
                 {"Dehumidifier outlet", unit, CellAlign::Right},
                 {"Grain depression", unit, CellAlign::Right}};
    for (const GrainDepression& g : log.depression) {
        t.rows.push_back({report_day_text(g.day, units),
                          optional_decimal(humidity_of(log, g.day, AirRole::Affected)),
                          optional_decimal(humidity_of(log, g.day, AirRole::DehumidifierOutlet)),
                          one_decimal(g.value)});
        t.row_group.push_back(static_cast<int>(t.rows.size()));
    }
    return t;
}

// The entries; a column naming each unit (ID, model, rated capacity) when any entry names one.
TextTable equipment_table(const EquipmentLog& log, const ReportUnits& units) {
    TextTable t;
    t.columns = {{"Type", "", CellAlign::Left},           {"Count", "", CellAlign::Right},
                 {"Place", "", CellAlign::Left},          {"Placed", "", CellAlign::Left},
                 {"Removed", "", CellAlign::Left},        {"Days", "", CellAlign::Right},
                 {"Equipment-days", "", CellAlign::Right}};
    const bool named = std::any_of(log.rows.begin(), log.rows.end(), [](const EquipmentRow& r) {
        return !equipment_unit_text(r.entry).empty();
    });
    if (named) {
        t.columns.push_back({"Unit", "", CellAlign::Left});
    }
    for (const EquipmentRow& r : log.rows) {
        t.rows.push_back(
            {std::string(equipment_text(r.entry.type)), std::to_string(r.entry.count),
             short_label(cp1252_of_utf8(r.entry.place)), report_day_text(r.entry.placed, units),
             r.entry.removed ? report_day_text(*r.entry.removed, units) : "running",
             std::to_string(r.days), r.valid ? std::to_string(r.equipment_days) : "not counted"});
        if (named) {
            t.rows.back().push_back(cp1252_of_utf8(equipment_unit_text(r.entry)));
        }
        t.row_group.push_back(static_cast<int>(t.rows.size()));
    }
    if (!log.rows.empty()) {
        t.rows.push_back({"Total", "", "", "", "", "", std::to_string(log.equipment_days)});
        t.rows.back().resize(t.columns.size());
        t.row_group.push_back(static_cast<int>(t.rows.size()));
    }
    return t;
}

// The units of each type on site on each day read.
TextTable units_on_site_table(const EquipmentLog& log, const ReportUnits& units) {
    TextTable t;
    t.columns = {{"Date", "", CellAlign::Left},
                 {"Dehumidifiers", "", CellAlign::Right},
                 {"Air movers", "", CellAlign::Right},
                 {"Heaters", "", CellAlign::Right},
                 {"Other", "", CellAlign::Right}};
    for (const EquipmentDay& d : log.daily) {
        std::vector<std::string> row{report_day_text(d.day, units)};
        for (const int n : d.units) {
            row.push_back(std::to_string(n));
        }
        t.rows.push_back(std::move(row));
        t.row_group.push_back(static_cast<int>(t.rows.size()));
    }
    return t;
}

// The materials removed: point, label, day and reason.
TextTable removed_table(const ProjectSettings& settings, const ReportUnits& units) {
    TextTable t;
    t.columns = {{"Point", "", CellAlign::Left},
                 {"Label", "", CellAlign::Left},
                 {"Removed", "", CellAlign::Left},
                 {"Reason", "", CellAlign::Left}};
    for (const RemovedPoint& r : settings.removed_points()) {
        t.rows.push_back({point_text(r.point), short_label(label_of(settings, r.point)),
                          report_day_text(r.removal.on, units), cp1252_of_utf8(r.removal.reason)});
        t.row_group.push_back(static_cast<int>(t.rows.size()));
    }
    return t;
}

// The codes the project's points name, with the project's names (and the role of an RH/T point
// that has one), in as many pairs side by side as the page holds.
TextTable legend_table(const DryingLog& log, std::span<const int> air_locations,
                       const CodeLegend& legend, std::span<const AirPointRole> roles) {
    std::set<int> locations(air_locations.begin(), air_locations.end());
    std::set<int> subs;
    for (const DryingRow& row : log.rows) {
        locations.insert(row.point.location);
        subs.insert(row.point.sub_location);
    }
    std::vector<std::pair<std::string, std::string>> entries;
    for (const int l : locations) {
        const std::string code(location_name(l));
        std::string name = short_label(cp1252_of_utf8(legend_name(legend, code)));
        const AirRole role = air_role(roles, l);
        if (role != AirRole::Other) {
            name += " \x97 " + role_phrase(role);
        }
        entries.emplace_back(code, std::move(name));
    }
    for (const int s : subs) {
        const std::string code(sub_location_name(s));
        entries.emplace_back(code, short_label(cp1252_of_utf8(legend_name(legend, code))));
    }
    std::size_t widest = 0;
    for (const auto& [code, name] : entries) {
        widest = std::max(widest, code.size() + name.size() + 2 * kCellChars);
    }
    TextTable t;
    const std::size_t pairs =
        std::clamp<std::size_t>(kLegendLineChars / std::max<std::size_t>(widest, 1), 1,
                                std::min(kLegendPairs, std::max<std::size_t>(entries.size(), 1)));
    for (std::size_t i = 0; i < pairs; ++i) {
        t.columns.push_back({"Code", "", CellAlign::Left});
        t.columns.push_back({"Name", "", CellAlign::Left});
    }
    const std::size_t rows = (entries.size() + pairs - 1) / pairs;
    for (std::size_t r = 0; r < rows; ++r) {
        std::vector<std::string> row;
        for (std::size_t c = 0; c < pairs; ++c) {
            // Down the columns first, as a legend is read.
            const std::size_t i = c * rows + r;
            row.push_back(i < entries.size() ? entries[i].first : "");
            row.push_back(i < entries.size() ? entries[i].second : "");
        }
        t.rows.push_back(std::move(row));
        t.row_group.push_back(static_cast<int>(r));
    }
    return t;
}

std::string units_fact(const ReportUnits& units) {
    return "%MC (pin readings), meter scale (scan readings); " + degrees(units) +
           (units.celsius ? ", GPK" : ", GPP") +
           (units.international_date ? "; dates day/month/year" : "; dates month/day/year");
}

std::vector<std::pair<std::string, std::string>> heading_facts(const ProjectDetails& d,
                                                               const DryingLog& log,
                                                               std::size_t jobs, std::size_t visits,
                                                               const ReportUnits& units) {
    const auto given = [](const std::string& text) {
        return text.empty() ? std::string("not given") : cp1252_of_utf8(text);
    };
    const auto number = [](const std::optional<int>& n) {
        return n ? std::to_string(*n) : std::string("not given");
    };
    std::string days = "none";
    if (!log.days.empty()) {
        days = report_day_text(log.days.front(), units) + " to " +
               report_day_text(log.days.back(), units) + " (" + std::to_string(log.days.size()) +
               (log.days.size() == 1 ? " day)" : " days)");
    }
    return {
        {"Client", given(d.client)},
        {"Site", given(d.site)},
        {"Claim", given(d.claim)},
        {"Date of loss", d.loss_date ? report_day_text(*d.loss_date, units) : "not given"},
        {"Water category", number(d.category)},
        {"Water class", number(d.water_class)},
        {"Visits", std::to_string(jobs) + (jobs == 1 ? " job of " : " jobs of ") +
                       std::to_string(visits) + (visits == 1 ? " visit" : " visits")},
        {"Days read", days},
        {"Units", units_fact(units)},
        {"Wet and dry", "a day's value is the point's last reading of that day; wet is above the "
                        "goal, dry at or below it; the goal is the dry standard plus the "
                        "tolerance; a point is dry since the first day from which it stayed dry"},
    };
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(cp1252_of_utf8(line));
        start = end + 1;
    }
    return lines;
}

} // namespace

std::string role_phrase(AirRole role) {
    std::string text(role_text(role));
    text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::string project_subject(const ProjectReport& report) {
    std::string subject = report.title;
    if (!report.site.empty()) {
        subject += ", " + report.site;
    }
    if (!report.claim.empty()) {
        subject += ", claim " + report.claim;
    }
    return subject;
}

std::string cp1252_of_utf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const int length = b < 0x80           ? 1
                           : (b >> 5) == 0x6  ? 2
                           : (b >> 4) == 0xE  ? 3
                           : (b >> 3) == 0x1E ? 4
                                              : 0;
        if (length == 0 || i + static_cast<std::size_t>(length) > utf8.size()) {
            out += '?';
            ++i;
            continue;
        }
        char32_t c = length == 1 ? b : b & (0xFF >> (length + 1));
        for (int k = 1; k < length; ++k) {
            c = (c << 6) |
                (static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]) & 0x3F);
        }
        const std::optional<char> byte =
            length == 1 ? std::optional<char>(static_cast<char>(b)) : cp1252_byte(c);
        out += byte.value_or('?');
        i += static_cast<std::size_t>(length);
    }
    return out;
}

ProjectReport project_report(const ProjectDetails& details, const ProjectSettings& settings,
                             const ProjectLogs& logs, std::span<const int> air_locations,
                             std::size_t jobs, std::size_t visits, const ReportUnits& units) {
    ProjectReport r;
    r.title = cp1252_of_utf8(details.name);
    r.site = cp1252_of_utf8(details.site);
    r.claim = cp1252_of_utf8(details.claim);
    r.facts = heading_facts(details, logs.drying, jobs, visits, units);
    r.notes = lines_of(details.notes);
    r.tables.push_back(
        {"Codes", "",
         legend_table(logs.drying, air_locations, settings.legend(), settings.roles())});
    r.tables.push_back(drying_log_table(logs.drying, settings, units));
    if (!settings.removed_points().empty()) {
        r.tables.push_back({"Removed materials",
                            "From the day its material was removed a point's readings are shown "
                            "and no longer judged.",
                            removed_table(settings, units)});
    }
    r.charts_after = r.tables.size();
    r.charts = drying_charts(logs.drying, settings);
    for (const AirPointRole& role : settings.roles()) {
        if (role.role != AirRole::Other) {
            r.location_roles.emplace_back(role.location, role_phrase(role.role));
        }
    }
    const std::string unit = units.celsius ? "GPK" : "GPP";
    r.tables.push_back(
        {"Psychrometric log", "The means of each role's points on each day.",
         air_table(logs.air, codes_by_role(air_locations, settings.roles()), units)});
    r.tables.push_back({"Grain depression",
                        "The affected area's " + unit + " minus the dehumidifier outlet's.",
                        depression_table(logs.air, units)});
    r.tables.push_back({"Equipment log", "Units still running count to the last day read.",
                        equipment_table(logs.equipment, units)});
    if (!logs.equipment.rows.empty()) {
        r.tables.push_back({"Units on site", "Units placed and not yet removed on each day read.",
                            units_on_site_table(logs.equipment, units)});
    }
    return r;
}

} // namespace qm
