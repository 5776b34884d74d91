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

// One row per location, sub-location and material: Location, Material, Readings, First, Last,
// then for pin readings (in %MC) and scan readings (meter scale) each the count, minimum, mean
// and maximum. The pin or scan columns are left out when no location has such a reading. Means
// are exact (mean_tenths); the rows of one location and sub-location form a group.
TextTable mc_summary_table(std::span<const McLocationFigures> figures,
                           const MaterialList& materials, const ReportUnits& units);

// Three rows per location (minimum, mean, maximum): Location, Readings, First / last reading,
// then RH (%), temperature, dew point, GPP or GPK and EMC (%). The means of RH and temperature
// are exact, those of the computed figures rounded half away from zero.
TextTable rh_summary_table(std::span<const RhLocationFigures> figures, const ReportUnits& units);

// Where the readings table puts scan values (and those of an unnamed kind, on the same scale), so
// that a value on the meter's scale never stands under "MC".
enum class ScanColumn {
    None,        // no scan: the MC column alone
    BesideMc,    // pins and scans: a Scan column after MC
    InsteadOfMc, // scans only: the column is named Scan
};
ScanColumn scan_column(RecordKind kind, std::span<const Reading> readings);

// The columns of the readings table: those of the readings view, EMC for RH/T, the moisture
// column as `scans` has it.
std::vector<TableColumn> readings_columns(RecordKind kind, const ReportUnits& units,
                                          ScanColumn scans);

// Printed in the temperature column of a pin reading that carries none (an em dash).
constexpr std::string_view kNoReadingTemperature = "\x97";
// The readings table's column of the pin's temperature (MC jobs, before a Scan column).
constexpr std::size_t kTemperatureColumn = 5;

// False for a pin reading that carries no temperature of its own and follows none (its
// temperature reads 0 degrees F); true for every other reading.
bool carries_temperature(const Reading& reading);

// One row of the readings table, numbered from 1 in time order; `scans` as for the columns; a
// pin reading without a temperature shows kNoReadingTemperature in the temperature column.
std::vector<std::string> readings_row(const Reading& reading, std::size_t ordinal,
                                      const MaterialList& materials, const ReportUnits& units,
                                      ScanColumn scans);

// How a line of a chart is drawn so that it can be told from the others on a grey printout: a
// dash pattern (dash and gap lengths in line widths; empty for a solid line) and a marker shape.
// The lines of one chart differ in both.
enum class MarkerShape {
    Circle,
    Square,
    TriangleUp,
    Diamond,
    TriangleDown,
    Cross,
    Plus,
    Star,
};
struct LineStyle {
    std::vector<double> dashes;
    MarkerShape marker = MarkerShape::Circle;
    bool filled = true;
};

// At most this many lines share one chart, as many as there are styles that can be told apart;
// a job with more gets several charts, the lines shared out evenly.
constexpr std::size_t kLinesPerChart = 8;
LineStyle line_style(std::size_t line); // line < kLinesPerChart

// The positions of the points of a line of `points` that carry its marker: every n-th, at most
// `most` of them, the first `line` / kLinesPerChart of a step in, so that the markers of the
// lines of one chart do not fall on one another.
std::vector<std::size_t> marked_points(std::size_t points, std::size_t line, std::size_t most);

// At most this many points (location, sub-location and material) share a chart by location.
constexpr std::size_t kPointsPerChart = 10;

// One chart: a title, the unit of its value axis and its points. A chart over time draws a line
// per point against the clock; a chart by location shows a column per point with a dot per
// reading, side by side in time order. The charts over time of one measure share their time
// axis; share_value_ranges gives the charts of one measure one value axis.
struct ChartPlan {
    std::string title;
    std::string unit;
    SeriesMeasure measure = SeriesMeasure::PinMc;
    bool over_time = true;
    bool from_zero = false; // the value axis starts at 0
    std::vector<LocationSeries> series;
    std::vector<std::string> names; // the legend's names of the lines; empty: series_name's
    // By location: a text under a point's code where it has no material (an RH/T point's role).
    std::vector<std::string> below;
    std::int64_t first_minute = 0;
    std::int64_t last_minute = 0;
    ValueSummary values;
};

// Whether the readings of a point fall on more than one day: only then does it get a line over
// time. The readings of one visit, taken room after room, are shown side by side instead.
bool spans_days(const LocationSeries& series);

// The charts of a job: for MC the pin readings (%MC) and, when there are any, the scan readings;
// for RH/T the relative humidity, the temperature, the dew point and the GPP or GPK. Each measure
// gets a chart by location of the points read on one day and charts over time of the others.
std::vector<ChartPlan> chart_plans(std::span<const Reading> readings, RecordKind kind,
                                   const ReportUnits& units);

// Gives the charts of each measure, over all jobs of a report, the value range of them all.
void share_value_ranges(std::span<ChartPlan* const> charts);

// The name of a point: "KIT,W" for MC (series_code) with the material, "KIT,W Plaster", for the
// legend; "KIT" for RH/T.
std::string series_code(const LocationSeries& series);
std::string series_name(const LocationSeries& series, const MaterialList& materials);
// The legend's name of line `i` of a chart: its own name when the chart has names.
std::string line_name(const ChartPlan& chart, std::size_t i, const MaterialList& materials);

// Under the distribution: what it counts and what it leaves out.
std::string distribution_note(const McDistribution& distribution);

} // namespace qm
