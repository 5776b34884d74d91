#pragma once

// The pages of a drying project that come before the visits' sections of its report: the
// project's heading, the legend of its codes, the drying log, the charts of its points across
// days, the psychrometric log with the grain depression and the equipment log. Texts are
// Windows-1252, as every text of the report.

#include "projects/project_log.h"
#include "projects/project_store.h"
#include "report/report_tables.h"

#include <cstddef>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace qm {

// The most day columns one part of the drying log table holds; more days go to further parts,
// each with the point's columns again, so that nothing runs off the page.
constexpr std::size_t kDaysPerLogTable = 7;
// A label longer than this is shortened with an ellipsis in the log table.
constexpr std::size_t kLongestLabelCell = 28;

// A photo of the report's photo section: where its bytes are and what is printed under it
// (Windows-1252).
struct ReportPhoto {
    std::string path;   // the photo's file in the photo folder
    std::string sha256; // what its bytes must hash to
    std::string caption;
    std::string point;    // empty when the photo is not of a point
    std::string taken_at; // "2026-03-04 09:15", empty when the photo does not say
    std::string day;      // the drying day it is attached to, empty for none
    int orientation = 1;  // EXIF 1..8
};

// A table with its title.
struct TitledTable {
    std::string title;
    std::string note; // a line under the title; may be empty
    TextTable table;
};

struct ProjectReport {
    std::string title; // the project's name
    std::vector<std::pair<std::string, std::string>> facts;
    std::vector<std::string> notes;  // one entry a line
    std::vector<TitledTable> tables; // legend, drying log parts, air, depression, equipment
    std::vector<ChartPlan> charts;   // after the drying log tables
    std::size_t charts_after = 0;    // the charts follow this many tables
    std::vector<ReportPhoto> photos; // the photo section, two a page, after the tables
};

// UTF-8 (the project's texts) as Windows-1252; a character the code page has not becomes "?".
std::string cp1252_of_utf8(std::string_view utf8);

// The project's report pages from its details, settings and logs; `air_locations` are the
// locations of its RH/T points (for the legend), `jobs` and `visits` count what is attached.
ProjectReport project_report(const ProjectDetails& details, const ProjectSettings& settings,
                             const ProjectLogs& logs, std::span<const int> air_locations,
                             std::size_t jobs, std::size_t visits, const ReportUnits& units);

// The drying log as tables of at most kDaysPerLogTable day columns each: Point, Label, Standard,
// Goal, the days ("34.8 wet", "12.9 dry", "12.0" when not judged, "-" when not read) and Dry
// since.
std::vector<TextTable> drying_log_tables(const DryingLog& log, const ProjectSettings& settings,
                                         const ReportUnits& units);

// One chart per material and scale across the log's days: a line per point (reference points
// left out) and the goal line when the points share one, at most kLinesPerChart lines a chart.
// Every chart spans all days of the log.
std::vector<ChartPlan> drying_charts(const DryingLog& log, const ProjectSettings& settings);

} // namespace qm
