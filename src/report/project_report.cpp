#include "report/project_report.h"

#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "report/report_axes.h"
#include "store/lookup_tables.h"
#include "text/cp1252.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace qm {

namespace {

constexpr std::string_view kNone = "-";
constexpr std::int64_t kMinutesPerDay = 1440;
constexpr std::size_t kLegendPairs = 4; // code and name pairs side by side

std::string one_decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string date_text(std::int64_t day, const ReportUnits& units) {
    const DryingDate d = drying_date_of(day);
    return report_date_text(d.year, d.month, d.day, units.international_date);
}

// A label cut to fit a table cell, with an ellipsis (Windows-1252 0x85).
std::string short_label(std::string label) {
    if (label.size() > kLongestLabelCell) {
        label.resize(kLongestLabelCell - 1);
        label += '\x85';
    }
    return label;
}

std::string label_of(const ProjectSettings& settings, const MonitoringPoint& point) {
    return cp1252_of_utf8(settings.label(point));
}

std::string standard_text(const DryingRow& row) {
    if (row.is_reference) {
        return "reference";
    }
    switch (row.source) {
    case StandardSource::Value:
        return one_decimal(*row.standard_value);
    case StandardSource::Reference:
        return point_text(*row.reference);
    case StandardSource::ReferenceElsewhere:
        return "other scale"; // a reference of pin readings for scans, or the other way
    case StandardSource::None:
        break;
    }
    return "none";
}

std::string goal_text(const DryingRow& row) {
    if (row.is_reference) {
        return std::string(kNone);
    }
    if (row.source == StandardSource::Value) {
        return one_decimal(*row.standard_value + row.tolerance);
    }
    if (row.source == StandardSource::Reference) {
        return "ref + " + one_decimal(row.tolerance);
    }
    return std::string(kNone);
}

std::string cell_text(const DryingCell& cell) {
    switch (cell.state) {
    case CellState::NotRead:
        return std::string(kNone);
    case CellState::Unjudged:
        return one_decimal(cell.value);
    case CellState::Wet:
        return one_decimal(cell.value) + " wet";
    case CellState::Dry:
        return one_decimal(cell.value) + " dry";
    case CellState::Removed:
        return one_decimal(cell.value) + " removed";
    }
    return {};
}

std::string dry_since_text(const DryingRow& row, const ReportUnits& units) {
    if (row.removed) {
        return "removed " + date_text(row.removed->on, units);
    }
    if (row.dry_on) {
        return date_text(*row.dry_on, units);
    }
    if (row.is_reference) {
        return std::string(kNone);
    }
    return row.source == StandardSource::Value || row.source == StandardSource::Reference
               ? "not dry"
               : "not judged";
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

TextTable air_table(const AirLog& log, const ReportUnits& units) {
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
        t.rows.push_back({date_text(a.day, units), std::string(role_text(a.role)),
                          std::to_string(a.points), one_decimal(a.temperature), one_decimal(a.rh),
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
        t.rows.push_back({date_text(g.day, units),
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
             short_label(cp1252_of_utf8(r.entry.place)), date_text(r.entry.placed, units),
             r.entry.removed ? date_text(*r.entry.removed, units) : "running",
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
        std::vector<std::string> row{date_text(d.day, units)};
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
                          date_text(r.removal.on, units), cp1252_of_utf8(r.removal.reason)});
        t.row_group.push_back(static_cast<int>(t.rows.size()));
    }
    return t;
}

// The codes the project's points name, with the project's names, in pairs side by side.
TextTable legend_table(const DryingLog& log, std::span<const int> air_locations,
                       const CodeLegend& legend) {
    std::set<int> locations(air_locations.begin(), air_locations.end());
    std::set<int> subs;
    for (const DryingRow& row : log.rows) {
        locations.insert(row.point.location);
        subs.insert(row.point.sub_location);
    }
    std::vector<std::pair<std::string, std::string>> entries;
    for (const int l : locations) {
        const std::string code(location_name(l));
        entries.emplace_back(code, cp1252_of_utf8(legend_name(legend, code)));
    }
    for (const int s : subs) {
        const std::string code(sub_location_name(s));
        entries.emplace_back(code, cp1252_of_utf8(legend_name(legend, code)));
    }
    TextTable t;
    const std::size_t pairs = std::min(kLegendPairs, std::max<std::size_t>(entries.size(), 1));
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
            row.push_back(i < entries.size() ? short_label(entries[i].second) : "");
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
        days = date_text(log.days.front(), units) + " to " + date_text(log.days.back(), units) +
               " (" + std::to_string(log.days.size()) + (log.days.size() == 1 ? " day)" : " days)");
    }
    return {
        {"Client", given(d.client)},
        {"Site", given(d.site)},
        {"Claim", given(d.claim)},
        {"Date of loss", d.loss_date ? date_text(*d.loss_date, units) : "not given"},
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

std::vector<TextTable> drying_log_tables(const DryingLog& log, const ProjectSettings& settings,
                                         const ReportUnits& units) {
    std::vector<TextTable> tables;
    const std::size_t days = log.days.size();
    for (std::size_t first = 0; first < std::max<std::size_t>(days, 1); first += kDaysPerLogTable) {
        const std::size_t end = std::min(days, first + kDaysPerLogTable);
        TextTable t;
        t.columns = {{"Point", "", CellAlign::Left},
                     {"Label", "", CellAlign::Left},
                     {"Standard", "", CellAlign::Left},
                     {"Goal", "", CellAlign::Right}};
        for (std::size_t d = first; d < end; ++d) {
            t.columns.push_back(
                {date_text(log.days[d], units), "Value of the day", CellAlign::Right});
        }
        t.columns.push_back({"Dry since", "", CellAlign::Left});
        for (std::size_t r = 0; r < log.rows.size(); ++r) {
            const DryingRow& row = log.rows[r];
            std::vector<std::string> cells = {point_text(row.point),
                                              short_label(label_of(settings, row.point)),
                                              standard_text(row), goal_text(row)};
            for (std::size_t d = first; d < end; ++d) {
                cells.push_back(cell_text(row.cells[d]));
            }
            cells.push_back(dry_since_text(row, units));
            t.rows.push_back(std::move(cells));
            t.row_group.push_back(static_cast<int>(r));
        }
        tables.push_back(std::move(t));
    }
    return tables;
}

ProjectReport project_report(const ProjectDetails& details, const ProjectSettings& settings,
                             const ProjectLogs& logs, std::span<const int> air_locations,
                             std::size_t jobs, std::size_t visits, const ReportUnits& units) {
    ProjectReport r;
    r.title = cp1252_of_utf8(details.name);
    r.facts = heading_facts(details, logs.drying, jobs, visits, units);
    r.notes = lines_of(details.notes);
    r.tables.push_back({"Codes", "", legend_table(logs.drying, air_locations, settings.legend())});
    const std::vector<TextTable> parts = drying_log_tables(logs.drying, settings, units);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string title = "Drying log";
        if (parts.size() > 1) {
            title +=
                " (part " + std::to_string(i + 1) + " of " + std::to_string(parts.size()) + ")";
        }
        r.tables.push_back({title,
                            "Points not yet dry first; %MC for pin points, the meter's "
                            "scale for scan points.",
                            parts[i]});
    }
    if (!settings.removed_points().empty()) {
        r.tables.push_back({"Removed materials",
                            "From the day its material was removed a point's readings are shown "
                            "and no longer judged.",
                            removed_table(settings, units)});
    }
    r.charts_after = r.tables.size();
    r.charts = drying_charts(logs.drying, settings);
    const std::string unit = units.celsius ? "GPK" : "GPP";
    r.tables.push_back({"Psychrometric log", "The means of each role's points on each day.",
                        air_table(logs.air, units)});
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
