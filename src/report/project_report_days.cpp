#include "report/project_report_days.h"

#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "report/report_axes.h"

#include <algorithm>

namespace qm {

namespace {

std::string date_text(std::int64_t day, const ReportUnits& units) {
    const DryingDate d = drying_date_of(day);
    return report_date_text(d.year, d.month, d.day, units.international_date);
}

// A visit as the report says it: its check in plain words.
std::string visit_text(const DayVisit& visit) {
    DayVisit plain = visit;
    plain.evidence.check.reset();
    std::string text = day_visit_text(plain);
    if (visit.evidence.check) {
        const std::string check = check_text_plain(*visit.evidence.check);
        text = text.back() == ')' ? text.substr(0, text.size() - 1) + "; " + check + ")"
                                  : text + " (" + check + ")";
    }
    return cp1252_of_utf8(text);
}

} // namespace

std::vector<TextTable> reading_time_tables(const DryingLog& log, const ReportUnits& units) {
    std::vector<TextTable> tables;
    const std::size_t days = log.days.size();
    for (std::size_t first = 0; first < days; first += kDaysPerLogTable) {
        const std::size_t end = std::min(days, first + kDaysPerLogTable);
        TextTable t;
        t.columns = {{"Point", "", CellAlign::Left}};
        for (std::size_t d = first; d < end; ++d) {
            t.columns.push_back(
                {date_text(log.days[d], units), "Time of the day's reading", CellAlign::Right});
        }
        for (std::size_t r = 0; r < log.rows.size(); ++r) {
            const DryingRow& row = log.rows[r];
            std::vector<std::string> cells = {point_text(row.point)};
            for (std::size_t d = first; d < end; ++d) {
                const DryingCell& cell = row.cells[d];
                cells.push_back(cell.state == CellState::NotRead ? "-"
                                                                 : clock_text(cell.minute_of_day));
            }
            t.rows.push_back(std::move(cells));
            t.row_group.push_back(static_cast<int>(r));
        }
        tables.push_back(std::move(t));
    }
    return tables;
}

TextTable day_visits_table(std::span<const LogDayVisits> days, const ReportUnits& units) {
    TextTable t;
    t.columns = {{"Date", "", CellAlign::Left},
                 {"Technician", "", CellAlign::Left},
                 {"Visits", "", CellAlign::Left}};
    for (std::size_t i = 0; i < days.size(); ++i) {
        std::string visits;
        for (const DayVisit& v : days[i].visits) {
            visits += (visits.empty() ? "" : "; ") + visit_text(v);
        }
        t.rows.push_back(
            {date_text(days[i].day, units) + (days[i].check_failed() ? " (check failed)" : ""),
             cp1252_of_utf8(day_technicians(days[i])), visits});
        t.row_group.push_back(static_cast<int>(i));
    }
    return t;
}

void add_day_tables(ProjectReport& report, const DryingLog& log, std::span<const LogDayVisits> days,
                    const ReportUnits& units) {
    std::vector<TitledTable> added;
    const std::vector<TextTable> times = reading_time_tables(log, units);
    for (std::size_t i = 0; i < times.size(); ++i) {
        std::string title = "Reading times";
        if (times.size() > 1) {
            title +=
                " (part " + std::to_string(i + 1) + " of " + std::to_string(times.size()) + ")";
        }
        added.push_back(
            {title, "The meter's clock time of each point's reading of the day.", times[i]});
    }
    added.push_back({"Visits per day",
                     "Who read each day, with which meter, and the meter's calibration check "
                     "(passed within 0.5 %MC of its standard).",
                     day_visits_table(days, units)});
    const auto at = report.tables.begin() + static_cast<std::ptrdiff_t>(report.charts_after);
    report.tables.insert(at, added.begin(), added.end());
    report.charts_after += added.size();
}

} // namespace qm
