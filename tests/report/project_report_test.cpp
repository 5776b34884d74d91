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

    const TitledTable whole = drying_log_table(log, settings, {});
    // At most 7 days a part: two parts, the days shared out evenly.
    const std::vector<TitledTable> tables = split_table(whole, kDaysPerLogTable);
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[1].title, "Drying log (part 2 of 2)");
    ASSERT_EQ(tables[0].table.columns.size(), 2u + 5u + 1u);
    ASSERT_EQ(tables[1].table.columns.size(), 2u + 4u + 1u);
    EXPECT_EQ(tables[1].table.columns[2].heading, "3/8/26");
    EXPECT_EQ(
        split_table(drying_log_table(log, settings, {false, true}), 7)[1].table.columns[2].heading,
        "8/3/26");
    EXPECT_EQ(split_table(whole, 3).size(), 3u); // a narrower page: fewer days a part
    using Row = std::vector<std::string>;
    const std::string label = "north wall behind the sofa,\x85";
    EXPECT_EQ(tables[0].table.rows.at(0), (Row{"KIT,W/Plaster", label, "34.8 wet", "21.5 wet", "-",
                                               "14.1 wet", "13.6 wet", "3/8/26"}));
    // Each day's standard and goal under the point, in the days' columns.
    EXPECT_EQ(
        tables[1].table.rows,
        (std::vector<Row>{
            {"KIT,W/Plaster", label, "13.0 dry", "12.9 dry", "12.1 dry", "12.0 dry", "3/8/26"},
            {"Standard", "standard (value entered)", "11.0", "11.0", "11.0", "11.0", ""},
            {"Goal", "standard + 2.0", "13.0", "13.0", "13.0", "13.0", ""}}));
}

TEST(ProjectReportTables, AReferencesDaysStandUnderThePointsItJudges) {
    const MonitoringPoint wall{PointScale::Pin, 2, 1, "Plaster"};
    const MonitoringPoint ceiling{PointScale::Pin, 2, 2, "Plaster"};
    const MonitoringPoint reference{PointScale::Pin, 13, 1, "Plaster"};
    DryingLog log;
    log.days = {drying_day_number({2026, 3, 3}), drying_day_number({2026, 3, 5})};
    const auto row_of = [](const MonitoringPoint& p, double a, double b, bool is_reference) {
        DryingRow r;
        r.point = p;
        r.is_reference = is_reference;
        r.source = is_reference ? StandardSource::None : StandardSource::Reference;
        r.reference = MonitoringPoint{PointScale::Pin, 13, 1, "Plaster"};
        r.tolerance = 1.5;
        for (const double v : {a, b}) {
            DryingCell c;
            c.value = v;
            c.state = is_reference ? CellState::Unjudged : CellState::Wet;
            r.cells.push_back(c);
        }
        r.cells[1].state = b < 0 ? CellState::NotRead : r.cells[1].state;
        return r;
    };
    log.rows = {row_of(wall, 30.0, 20.0, false), row_of(ceiling, 25.0, -1, false),
                row_of(reference, 11.2, 11.0, true)};
    const TitledTable t = drying_log_table(log, {}, {});
    using Row = std::vector<std::string>;
    EXPECT_EQ(t.table.rows,
              (std::vector<Row>{{"KIT,W/Plaster", "", "30.0 wet", "20.0 wet", "not dry"},
                                {"KIT,C/Plaster", "", "25.0 wet", "-", "not dry"},
                                {"HL1,W/Plaster", "standard (reference)", "11.2", "11.0", ""},
                                {"Goal", "standard + 1.5", "12.7", "12.5", ""}}));
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
    row.cells = {{CellState::Wet, 34.8, 600, 11.0, 13.0}, {CellState::Removed, 30.1, 660, {}, {}}};
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
              (std::vector<std::string>{"KIT,W/Plaster", "", "34.8 wet", "30.1 removed",
                                        "removed 3/4/26"}));
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
