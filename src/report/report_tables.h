#pragma once

// The texts of the report's tables and the plan of its charts, from the figures of one job.
// Texts are Windows-1252.

#include "report/report_content.h"
#include "report/report_figures.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qm {

enum class CellAlign {
    Left,
    Right,
};

struct TableColumn {
    std::string heading;
    std::string group; // a heading over the neighbouring columns of the same group; may be empty
    CellAlign align = CellAlign::Right;
};

// A table of texts. Rows with the same row_group number belong to one location; the painter
// shades every other group.
struct TextTable {
    std::vector<TableColumn> columns;
    std::vector<std::vector<std::string>> rows;
    std::vector<int> row_group;
};

// Shown for a figure that has no value (no reading of that kind at the location).
constexpr std::string_view kNoFigure = "-";

// One row per location and sub-location: Location, Readings, First, Last, then for pin
// readings (in %MC) and scan readings (meter scale) each the count, minimum, mean and maximum.
// The pin or scan columns are left out when no location has such a reading.
TextTable mc_summary_table(std::span<const McLocationFigures> figures, const ReportUnits& units);

// Three rows per location (minimum, mean, maximum): Location, Readings, First / last reading,
// then RH (%), temperature, dew point, GPP or GPK and EMC (%).
TextTable rh_summary_table(std::span<const RhLocationFigures> figures, const ReportUnits& units);

// The columns of the readings table: those of the readings view, and EMC for RH/T.
std::vector<TableColumn> readings_columns(RecordKind kind, const ReportUnits& units);

// One row of the readings table, numbered from 1 in time order.
std::vector<std::string> readings_row(const Reading& reading, std::size_t ordinal,
                                      const MaterialList& materials, const ReportUnits& units);

// At most this many lines share one chart; a job with more locations gets several charts, the
// lines shared out evenly.
constexpr std::size_t kLinesPerChart = 8;

// One chart over time: a title, the unit of its value axis and its lines. The charts of one
// measure share their axes (the times and values of all their lines), so they compare.
struct ChartPlan {
    std::string title;
    std::string unit;
    bool from_zero = false; // the value axis starts at 0
    std::vector<LocationSeries> series;
    std::int64_t first_minute = 0;
    std::int64_t last_minute = 0;
    ValueSummary values;
};

// The charts of a job: for MC the pin readings (%MC) and, when there are any, the scan readings;
// for RH/T the relative humidity, the temperature and the dew point. Each has one line per
// location (and sub-location for MC).
std::vector<ChartPlan> chart_plans(std::span<const Reading> readings, RecordKind kind,
                                   const ReportUnits& units);

// The legend text of a line: "KIT,W" for MC, "KIT" for RH/T.
std::string series_name(const LocationSeries& series);

// Under the distribution: what it counts and what it leaves out.
std::string distribution_note(const McDistribution& distribution);

} // namespace qm
