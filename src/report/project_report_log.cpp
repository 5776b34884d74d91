// The drying log of a project's report: one table of the points across days, each standard's
// rows of the day's standard and goal under the points it judges, split across by its days.
#include "report/project_report.h"

#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "report/report_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <tuple>

namespace qm {

namespace {

constexpr std::string_view kNone = "-";
constexpr std::size_t kLogKeepFirst = 2; // Point, Label
constexpr std::size_t kLogKeepLast = 1;  // Dry since

std::string one_decimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
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
        return "removed " + report_day_text(row.removed->on, units);
    }
    if (row.dry_on) {
        return report_day_text(*row.dry_on, units);
    }
    if (row.is_reference) {
        return std::string(kNone);
    }
    return row.source == StandardSource::Value || row.source == StandardSource::Reference
               ? "not dry"
               : "not judged";
}

bool judged(const DryingRow& row) {
    return !row.is_reference &&
           (row.source == StandardSource::Value || row.source == StandardSource::Reference);
}

// The points judged by one standard and tolerance.
struct StandardGroup {
    const DryingRow* first = nullptr; // its source, standard and tolerance stand for the group
    std::vector<const DryingRow*> rows;
};

// Rows of one standard share a key: where the standard comes from, which one, the tolerance.
using GroupKey = std::tuple<int, std::string, long long>;

GroupKey group_key(const DryingRow& row) {
    std::string which;
    if (judged(row)) {
        which = row.source == StandardSource::Value ? one_decimal(*row.standard_value)
                                                    : point_text(*row.reference);
    }
    const long long tolerance = judged(row) ? std::llround(row.tolerance * 100.0) : 0;
    return {row.is_reference ? -1 : static_cast<int>(row.source), which, tolerance};
}

// The day's standard of a group: the value entered, or the reference's day value.
std::optional<double> day_standard(const StandardGroup& g, const DryingRow* reference,
                                   std::size_t day) {
    if (g.first->source == StandardSource::Value) {
        return g.first->standard_value;
    }
    if (reference != nullptr && day < reference->cells.size() &&
        reference->cells[day].state != CellState::NotRead) {
        return reference->cells[day].value;
    }
    for (const DryingRow* row : g.rows) {
        if (day < row->cells.size() && row->cells[day].standard) {
            return row->cells[day].standard;
        }
    }
    return std::nullopt;
}

const DryingRow* reference_row(const DryingLog& log, const DryingRow& judged_row) {
    if (judged_row.source != StandardSource::Reference) {
        return nullptr;
    }
    for (const DryingRow& row : log.rows) {
        if (row.is_reference && row.point == *judged_row.reference) {
            return &row;
        }
    }
    return nullptr;
}

// The two rows under a group's points: each day's standard and each day's goal.
void add_standard_rows(TextTable& t, const DryingLog& log, const StandardGroup& g, int group) {
    const DryingRow& first = *g.first;
    const DryingRow* reference = reference_row(log, first);
    std::vector<std::string> standard = {
        first.source == StandardSource::Value ? "Standard" : point_text(*first.reference),
        first.source == StandardSource::Value ? "standard (value entered)"
                                              : "standard (reference)"};
    std::vector<std::string> goal = {"Goal", "standard + " + one_decimal(first.tolerance)};
    for (std::size_t d = 0; d < log.days.size(); ++d) {
        const std::optional<double> s = day_standard(g, reference, d);
        standard.push_back(s ? one_decimal(*s) : std::string(kNone));
        goal.push_back(s ? one_decimal(*s + first.tolerance) : std::string(kNone));
    }
    standard.emplace_back();
    goal.emplace_back();
    t.rows.push_back(std::move(standard));
    t.rows.push_back(std::move(goal));
    t.row_group.push_back(group);
    t.row_group.push_back(group);
}

// True when a reference row stands as the standard row of a group already.
bool shown_as_standard(const DryingRow& row, const std::vector<StandardGroup>& groups) {
    return std::any_of(groups.begin(), groups.end(), [&](const StandardGroup& g) {
        return g.first->source == StandardSource::Reference && *g.first->reference == row.point;
    });
}

} // namespace

std::string report_day_text(std::int64_t day, const ReportUnits& units) {
    const DryingDate d = drying_date_of(day);
    return report_date_text(d.year, d.month, d.day, units.international_date);
}

std::string short_label(std::string label) {
    if (label.size() > kLongestLabelCell) {
        label.resize(kLongestLabelCell - 1);
        label += '\x85';
    }
    return label;
}

std::vector<TitledTable> split_table(const TitledTable& table, std::size_t middle) {
    const std::size_t columns = table.table.columns.size();
    const std::size_t fixed = table.keep_first + table.keep_last;
    if (table.most_middle == 0 || columns <= fixed) {
        return {table};
    }
    middle = std::clamp<std::size_t>(middle, 1, table.most_middle);
    const std::size_t between = columns - fixed;
    const std::size_t parts = (between + middle - 1) / middle;
    std::vector<TitledTable> out;
    for (std::size_t part = 0; part < parts; ++part) {
        // The columns shared out evenly: 7 days as 4 and 3, not 5 and 2.
        const std::size_t from = table.keep_first + (part * between + parts - 1) / parts;
        const std::size_t to = table.keep_first + ((part + 1) * between + parts - 1) / parts;
        const auto pick = [&](const auto& all) {
            std::remove_cvref_t<decltype(all)> picked(all.begin(), all.begin() + table.keep_first);
            picked.insert(picked.end(), all.begin() + from, all.begin() + to);
            picked.insert(picked.end(), all.end() - table.keep_last, all.end());
            return picked;
        };
        TitledTable t = table;
        t.most_middle = 0;
        t.table.columns = pick(table.table.columns);
        t.table.rows.clear();
        for (const std::vector<std::string>& row : table.table.rows) {
            t.table.rows.push_back(pick(row));
        }
        if (parts > 1) {
            t.title += " (part " + std::to_string(part + 1) + " of " + std::to_string(parts) + ")";
        }
        out.push_back(std::move(t));
    }
    return out;
}

TitledTable drying_log_table(const DryingLog& log, const ProjectSettings& settings,
                             const ReportUnits& units) {
    TitledTable titled;
    titled.title = "Drying log";
    titled.note = "The points of each standard, not yet dry first, then each day's standard "
                  "and goal; %MC for pin points, the meter's scale for scan points.";
    titled.keep_first = kLogKeepFirst;
    titled.keep_last = kLogKeepLast;
    titled.most_middle = kDaysPerLogTable;
    TextTable& t = titled.table;
    t.columns = {{"Point", "", CellAlign::Left}, {"Label", "", CellAlign::Left}};
    for (const std::int64_t day : log.days) {
        t.columns.push_back({report_day_text(day, units), "Value of the day", CellAlign::Right});
    }
    t.columns.push_back({"Dry since", "", CellAlign::Left});

    std::map<GroupKey, std::size_t> index;
    std::vector<StandardGroup> groups;
    for (const DryingRow& row : log.rows) {
        const auto [it, added] = index.try_emplace(group_key(row), groups.size());
        if (added) {
            groups.push_back({&row, {}});
        }
        groups[it->second].rows.push_back(&row);
    }
    int group = 0;
    for (const StandardGroup& g : groups) {
        for (const DryingRow* row : g.rows) {
            if (row->is_reference && shown_as_standard(*row, groups)) {
                continue;
            }
            std::string label = short_label(cp1252_of_utf8(settings.label(row->point)));
            if (row->is_reference && label.empty()) {
                label = "reference";
            }
            std::vector<std::string> cells = {point_text(row->point), std::move(label)};
            for (const DryingCell& cell : row->cells) {
                cells.push_back(cell_text(cell));
            }
            cells.resize(2 + log.days.size(), std::string(kNone));
            cells.push_back(dry_since_text(*row, units));
            t.rows.push_back(std::move(cells));
            t.row_group.push_back(group++);
        }
        if (judged(*g.first)) {
            add_standard_rows(t, log, g, group++);
        }
    }
    return titled;
}

} // namespace qm
