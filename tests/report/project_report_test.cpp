// The project report's tables: a drying log of many days split so that nothing runs off the page,
// long labels shortened, and the project's UTF-8 texts in the report's code page.
#include "projects/drying_days.h"
#include "report/project_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm {
namespace {

TEST(ProjectReportTables, NineDaysGoToTwoTablesWithThePointRepeated) {
    const MonitoringPoint wall{PointScale::Pin, 2, 1, "Plaster"};
    DryingLog log;
    DryingRow row;
    row.point = wall;
    row.source = StandardSource::Value;
    row.standard_value = 11.0;
    const double values[] = {34.8, 21.5, 0, 14.1, 13.6, 13.0, 12.9, 12.1, 12.0};
    for (int d = 0; d < 9; ++d) {
        log.days.push_back(drying_day_number({2026, 3, 3 + d}));
        DryingCell cell;
        cell.value = values[d];
        cell.state = d == 2             ? CellState::NotRead
                     : values[d] > 13.0 ? CellState::Wet
                                        : CellState::Dry;
        row.cells.push_back(cell);
    }
    row.dry_on = log.days[5];
    log.rows.push_back(row);
    ProjectSettings settings;
    settings.points.push_back({wall, "north wall behind the sofa, \xC3\xA9 left of the door", {}});

    const std::vector<TextTable> tables = drying_log_tables(log, settings, {});
    ASSERT_EQ(tables.size(), 2u);
    ASSERT_EQ(tables[0].columns.size(), 4u + 7u + 1u);
    ASSERT_EQ(tables[1].columns.size(), 4u + 2u + 1u);
    EXPECT_EQ(tables[1].columns[4].heading, "3/10/26");
    EXPECT_EQ(drying_log_tables(log, settings, {false, true})[1].columns[4].heading, "10/3/26");
    const std::vector<std::string> first = tables[0].rows.at(0);
    EXPECT_EQ(first,
              (std::vector<std::string>{"KIT,W/Plaster", "north wall behind the sofa,\x85", "11.0",
                                        "13.0", "34.8 wet", "21.5 wet", "-", "14.1 wet", "13.6 wet",
                                        "13.0 dry", "12.9 dry", "3/8/26"}));
    EXPECT_EQ(tables[1].rows.at(0),
              (std::vector<std::string>{"KIT,W/Plaster", "north wall behind the sofa,\x85", "11.0",
                                        "13.0", "12.1 dry", "12.0 dry", "3/8/26"}));
}

TEST(ProjectReportTables, Utf8TextsInTheReportsCodePage) {
    const struct {
        std::string utf8;
        std::string cp1252;
    } cases[] = {
        {"Caf\xC3\xA9 \xE2\x82\xAC"
         "5",
         "Caf\xE9 \x80"
         "5"},                       // two bytes, three bytes
        {"\xE2\x9C\x93 ok", "? ok"}, // a character the code page has not
        {"\xF0\x9F\x92\xA7", "?"},   // four bytes
        {"a\xFF"
         "b\xC3",
         "a?b?"}, // not UTF-8, cut short
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cp1252_of_utf8(c.utf8), c.cp1252) << c.utf8;
    }
}

} // namespace
} // namespace qm
