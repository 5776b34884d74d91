#pragma once

// The pages of a project report that say where each day of the drying log comes from: the time
// of each point's reading of the day, and each day's visits with who read them and their
// calibration checks. Texts are Windows-1252.

#include "projects/drying_log_visits.h"
#include "report/project_report.h"

#include <span>
#include <vector>

namespace qm {

// The reading times as tables of at most kDaysPerLogTable day columns, as the drying log is
// split: Point, then per day "09:05" ("-" when not read).
std::vector<TextTable> reading_time_tables(const DryingLog& log, const ReportUnits& units);

// One row per day: Date, Technician, Visits ("visit 3 (Ann Lee, meter Red; checked 3/4, 13.4 on
// a 12.0 block: FAILED, off by 1.4)").
TextTable day_visits_table(std::span<const LogDayVisits> days, const ReportUnits& units);

// Adds both after the drying log's tables (before the charts).
void add_day_tables(ProjectReport& report, const DryingLog& log, std::span<const LogDayVisits> days,
                    const ReportUnits& units);

} // namespace qm
