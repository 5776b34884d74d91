// The project report's tables: a drying log of many days split so that nothing runs off the page,
// long labels shortened, and the project's UTF-8 texts in the report's code page.
#include "projects/drying_days.h"
#include "report/project_report.h"

#include <gtest/gtest.h>

#include <map>
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

// A removed material is listed with its day and reason and its row says so; a named unit's
// column and the units on site on each day read follow the equipment log.
TEST(ProjectReportTables, RemovedMaterialsAndUnitsOnSite) {
    const MonitoringPoint wall{PointScale::Pin, 2, 1, "Plaster"};
    const std::int64_t first = drying_day_number({2026, 3, 3});
    ProjectSettings settings;
    settings.points.push_back({wall, "", {}, PointRemoval{first + 1, "drywall cut 2 ft"}});
    ProjectLogs logs;
    logs.drying.days = {first, first + 1};
    DryingRow row;
    row.point = wall;
    row.cells = {{CellState::Wet, 34.8, 11.0, 13.0}, {CellState::Removed, 30.1, {}, {}}};
    row.removed = settings.points[0].removed;
    logs.drying.rows.push_back(row);
    const EquipmentEntry entries[] = {
        {EquipmentType::Dehumidifier, 1, "", first, std::nullopt, "D-17", "", 65.0},
        {EquipmentType::AirMover, 2, "", first, first + 1}};
    logs.equipment = equipment_log(entries, logs.drying.days);
    const ProjectReport r = project_report({}, settings, logs, {}, 1, 1, {});
    std::map<std::string, TextTable> tables;
    for (const TitledTable& t : r.tables) {
        tables[t.title] = t.table;
    }
    EXPECT_EQ(tables.at("Drying log").rows.at(0),
              (std::vector<std::string>{"KIT,W/Plaster", "", "none", "-", "34.8 wet",
                                        "30.1 removed", "removed 3/4/26"}));
    EXPECT_EQ(tables.at("Removed materials").rows,
              (std::vector<std::vector<std::string>>{
                  {"KIT,W/Plaster", "", "3/4/26", "drywall cut 2 ft"}}));
    EXPECT_EQ(tables.at("Equipment log").rows.at(0).back(), "unit D-17, 65 pints/day (AHAM)");
    EXPECT_EQ(tables.at("Equipment log").rows.at(0).at(5), "1"); // running to the last day read
    EXPECT_EQ(tables.at("Units on site").rows,
              (std::vector<std::vector<std::string>>{{"3/3/26", "1", "2", "0", "0"},
                                                     {"3/4/26", "1", "0", "0", "0"}}));
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
