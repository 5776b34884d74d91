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
// each with the point's columns again, so that nothing runs off the page. The layout puts fewer
// in a part where the page is too narrow for them at the table's size.
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

// A table with its title. A table with `most_middle` > 0 may be split across into parts: each
// part keeps the first `keep_first` and the last `keep_last` columns and takes at most
// `most_middle` of the columns between them (the days of the drying log).
struct TitledTable {
    std::string title;
    std::string note; // a line under the title; may be empty
    TextTable table;
    std::size_t keep_first = 0;
    std::size_t keep_last = 0;
    std::size_t most_middle = 0;
};

// The parts of a table with at most `middle` (at least 1) of its middle columns each, as few
// parts as that needs with the columns shared out evenly, titled "<title> (part 1 of 2)" when
// there are several; the table itself when it is not split.
std::vector<TitledTable> split_table(const TitledTable& table, std::size_t middle);

struct ProjectReport {
    std::string title; // the project's name
    std::string site;  // may be empty
    std::string claim; // may be empty
    std::vector<std::pair<std::string, std::string>> facts;
    std::vector<std::string> notes;  // one entry a line
    std::vector<TitledTable> tables; // legend, drying log parts, air, depression, equipment
    std::vector<ChartPlan> charts;   // after the drying log tables
    // The roles of the RH/T points by location ("dehumidifier outlet"), printed beside their
    // codes in the sections of the RH/T jobs.
    std::vector<std::pair<int, std::string>> location_roles;
    std::size_t charts_after = 0;    // the charts follow this many tables
    std::vector<ReportPhoto> photos; // the photo section, two a page, after the tables
};

// A day number as the report writes dates ("3/6/26", or "6/3/26" with international_date).
std::string report_day_text(std::int64_t day, const ReportUnits& units);
// A label cut to kLongestLabelCell characters, the last an ellipsis (Windows-1252 0x85).
std::string short_label(std::string label);

// UTF-8 (the project's texts) as Windows-1252; a character the code page has not becomes "?".
std::string cp1252_of_utf8(std::string_view utf8);

// The project's report pages from its details, settings and logs; `air_locations` are the
// locations of its RH/T points (for the legend), `jobs` and `visits` count what is attached.
ProjectReport project_report(const ProjectDetails& details, const ProjectSettings& settings,
                             const ProjectLogs& logs, std::span<const int> air_locations,
                             std::size_t jobs, std::size_t visits, const ReportUnits& units);

// "dehumidifier outlet": a role as the report prints it after a code.
std::string role_phrase(AirRole role);

// The PDF's subject of a project's report: its name, site and claim ("Miller, 12 Elm Street,
// claim C-4471"), the parts that are given.
std::string project_subject(const ProjectReport& report);

// The drying log as one table, to be split by its days (keep_first 2, keep_last 1): Point,
// Label, the days ("34.8 wet", "12.9 dry", "12.0" when not judged, "-" when not read) and Dry
// since. The points judged by one standard and tolerance come together, in the log's order, and
// under them a row of each day's standard (the reference point's reading, or the value entered)
// and a row of each day's goal.
TitledTable drying_log_table(const DryingLog& log, const ProjectSettings& settings,
                             const ReportUnits& units);

// One chart per material and scale across the log's days: a line per point (reference points
// left out) and the goal line when the points share one, at most kLinesPerChart lines a chart.
// Every chart spans all days of the log.
std::vector<ChartPlan> drying_charts(const DryingLog& log, const ProjectSettings& settings);

} // namespace qm
