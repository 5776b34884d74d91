#include "projects/drying_days.h"
#include "projects/drying_log.h"
#include "support/drying_readings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace qm {
namespace {

using namespace test;

// A row as the log would print it: "KIT,W/Plaster | 34.8 wet | - | 12.9 dry | since 2026-03-05".
// A cell not read is "-", a value that is not judged has no mark.
std::string row_text(const DryingRow& row) {
    std::string text = point_name(row.point);
    for (const DryingCell& c : row.cells) {
        char cell[32] = "-";
        if (c.state != CellState::NotRead) {
            const char* mark = c.state == CellState::Wet       ? " wet"
                               : c.state == CellState::Dry     ? " dry"
                               : c.state == CellState::Removed ? " removed"
                                                               : "";
            std::snprintf(cell, sizeof cell, "%.1f%s", c.value, mark);
        }
        text += std::string(" | ") + cell;
    }
    return text + (row.removed  ? " | removed " + iso_date(row.removed->on)
                   : row.dry_on ? " | since " + iso_date(*row.dry_on)
                                : " | not dry");
}

std::vector<std::string> log_text(const DryingLog& log) {
    std::vector<std::string> out;
    for (const DryingRow& row : log.rows) {
        out.push_back(row_text(row));
    }
    return out;
}

const MonitoringPoint kOakReference = mc_point(kLivingRoom, kFloor, "Oak");

// The kitchen after a dishwasher leak, read on four days: plaster against a value entered, oak
// against the reading of an unaffected oak floor of each day. Day 2's download still holds day 1.
TEST(DryingLog, KitchenJobOfFourDays) {
    auto wall = [](int day, int hour, int minute, double v) {
        return mc_at(kKitchen, kWall, kPlaster, day, h24(hour), minute, v);
    };
    auto floor = [](int day, double v) {
        return mc_at(kKitchen, kFloor, kOak, day, h24(10), 0, v);
    };
    auto ceiling = [](int day, double v) {
        return mc_at(kKitchen, kCeiling, kPlaster, day, h24(10), 5, v);
    };
    auto reference = [](int day, double v) {
        return mc_at(kLivingRoom, kFloor, kOak, day, h24(10), 30, v);
    };
    const std::vector<Reading> day1 = {wall(3, 9, 0, 34.8), floor(3, 26.0), ceiling(3, 14.1),
                                       reference(3, 12.3)};
    std::vector<Reading> day2 = day1;
    day2.insert(day2.end(), {wall(4, 9, 5, 22.4), wall(4, 16, 40, 21.5), floor(4, 18.2),
                             ceiling(4, 13.0), reference(4, 12.1)});
    const std::vector<Reading> day3 = {wall(5, 9, 0, 12.9), floor(5, 13.6), ceiling(5, 12.6),
                                       reference(5, 12.4)};
    const std::vector<Reading> day4 = {wall(6, 9, 0, 12.1), floor(6, 14.9), ceiling(6, 12.2),
                                       reference(6, 12.0)};
    const std::vector<AttachedJob> jobs = {{"TRK 200", 118, day1},
                                           {"TRK 200", 118, day2},
                                           {"TRK 200", 118, day3},
                                           {"TRK 200", 118, day4}};
    const MaterialStandard materials[] = {
        {"Plaster", PointScale::Pin, {11.0, std::nullopt}, 2.0},
        {"Oak", PointScale::Pin, {std::nullopt, kOakReference}, 1.5},
    };
    const DryingLog log = drying_log(jobs, {materials, {}});

    ASSERT_EQ(log.days.size(), 4u);
    EXPECT_EQ(iso_date(log.days[0]), "2026-03-03");
    EXPECT_EQ(log_text(log),
              (std::vector<std::string>{
                  "KIT,F/Oak | 26.0 wet | 18.2 wet | 13.6 dry | 14.9 wet | not dry",
                  "KIT,W/Plaster | 34.8 wet | 21.5 wet | 12.9 dry | 12.1 dry | since "
                  "2026-03-05",
                  "KIT,C/Plaster | 14.1 wet | 13.0 dry | 12.6 dry | 12.2 dry | since "
                  "2026-03-04",
                  "LR,F/Oak | 12.3 | 12.1 | 12.4 | 12.0 | not dry",
              }));
    const DryingRow& oak = log.rows[0];
    EXPECT_EQ(oak.source, StandardSource::Reference);
    EXPECT_NEAR(*oak.cells[0].goal, 13.8, 1e-9);
    EXPECT_NEAR(*oak.cells[3].goal, 13.5, 1e-9);
    EXPECT_EQ(log.rows[1].readings, 5u); // day 1's reading, downloaded twice, counts once
    EXPECT_EQ(*log.rows[1].cells[0].goal, 13.0);
    EXPECT_TRUE(log.rows[3].is_reference);
    EXPECT_FALSE(log.rows[3].cells[0].goal);

    // The oak floor cut out on day 4 is no longer judged from that day and leaves the points not
    // yet dry; a wall planned before it is read shows with no day read.
    const MonitoringPoint oak_floor = mc_point(kKitchen, kFloor, "Oak");
    const RemovedPoint removed[] = {{oak_floor, {log.days[3], "floor cut out, Category 2"}}};
    const MonitoringPoint planned[] = {mc_point(kLivingRoom, kWall, "Plaster")};
    const DryingLog after = drying_log(jobs, {materials, {}, removed, planned});
    EXPECT_EQ(log_text(after),
              (std::vector<std::string>{
                  "LR,W/Plaster | - | - | - | - | not dry",
                  "KIT,W/Plaster | 34.8 wet | 21.5 wet | 12.9 dry | 12.1 dry | since "
                  "2026-03-05",
                  "KIT,C/Plaster | 14.1 wet | 13.0 dry | 12.6 dry | 12.2 dry | since "
                  "2026-03-04",
                  "KIT,F/Oak | 26.0 wet | 18.2 wet | 13.6 dry | 14.9 removed | removed 2026-03-06",
                  "LR,F/Oak | 12.3 | 12.1 | 12.4 | 12.0 | not dry",
              }));
    EXPECT_EQ(after.rows[0].readings, 0u);
    EXPECT_EQ(after.rows[3].removed->reason, "floor cut out, Category 2");
}

// The dry date is the first day of the dry run that reaches the last day read: a point that dries,
// gets wet again and dries again is dry since the second time. A day not read does not break the
// run, also where it is a column of the log (another point was read that day); a day on which the
// reference was not read does, as it cannot be judged.
TEST(DryingLog, DryDateNeedsEveryLaterDayDry) {
    struct Case {
        std::vector<double> values; // per day from 3 March; below 0: not read that day
        std::vector<bool> reference_read;
        const char* dry_on;
        bool wall_read_daily = false; // a second point read every day
    };
    const Case cases[] = {
        {{20.0, 12.0, 14.0, 12.0, 13.0}, {}, "2026-03-06"},
        {{20.0, 12.0, -1.0, 12.0}, {}, "2026-03-04"},
        {{20.0, 12.0, -1.0, 12.0}, {}, "2026-03-04", true},
        {{20.0, 12.0, 14.0}, {}, ""},
        {{13.0}, {}, "2026-03-03"}, // equal to the goal is dry
        {{20.0, 12.0, 12.0, 12.0}, {true, true, false, true}, "2026-03-06"},
        {{20.0, 12.0, 12.0}, {true, true, false}, ""},
    };
    for (const Case& c : cases) {
        std::vector<Reading> readings;
        std::vector<MaterialStandard> materials;
        for (std::size_t i = 0; i < c.values.size(); ++i) {
            const int day = 3 + static_cast<int>(i);
            if (c.values[i] >= 0.0) {
                readings.push_back(mc_at(kKitchen, kFloor, kOak, day, h24(9), 0, c.values[i]));
            }
            if (c.wall_read_daily) {
                readings.push_back(mc_at(kKitchen, kWall, kPlaster, day, h24(9), 0, 30.0));
            }
            if (!c.reference_read.empty() && c.reference_read[i]) {
                readings.push_back(mc_at(kLivingRoom, kFloor, kOak, day, h24(9), 0, 11.0));
            }
        }
        const DryStandard standard = c.reference_read.empty()
                                         ? DryStandard{11.0, std::nullopt}
                                         : DryStandard{std::nullopt, kOakReference};
        materials.push_back({"Oak", PointScale::Pin, standard, 2.0});
        const AttachedJob job{"TRK 200", 118, readings};
        const DryingLog log = drying_log({&job, 1}, {materials, {}});
        const auto row = std::find_if(log.rows.begin(), log.rows.end(), [](const DryingRow& r) {
            return r.point == mc_point(kKitchen, kFloor, "Oak");
        });
        ASSERT_NE(row, log.rows.end());
        EXPECT_EQ(row->dry_on ? iso_date(*row->dry_on) : "", c.dry_on) << row_text(*row);
    }
}

// A scan point never takes a pin standard: its material's standard is kept per scale, and a pin
// reference chosen for it is not used. A point's own standard overrides its material's, with its
// own tolerance or else its material's.
TEST(DryingLog, PinAndScanPointsOfOneLocationAreJudgedApart) {
    const std::vector<Reading> readings = {
        mc_at(kKitchen, kWall, kPlaster, 3, h24(9), 0, 12.0, Pin),
        mc_at(kKitchen, kWall, kPlaster, 3, h24(9), 1, 40.0, Scan),
        mc_at(kKitchen, kCeiling, kPlaster, 3, h24(9), 2, 30.0, Scan),
        mc_at(kKitchen, kFloor, kOak, 3, h24(9), 3, 14.0, Pin),
        mc_at(kLivingRoom, kFloor, kOak, 3, h24(9), 4, 13.5, Pin),
    };
    const AttachedJob job{"TRK 200", 118, readings};
    const MaterialStandard materials[] = {
        {"Plaster", PointScale::Pin, {11.0, std::nullopt}, 2.0},
        {"Oak", PointScale::Pin, {11.0, std::nullopt}, 1.0},
    };
    const PointStandard points[] = {
        {mc_point(kKitchen, kCeiling, "Plaster", PointScale::Scan),
         {std::nullopt, mc_point(kKitchen, kWall, "Plaster")},
         std::nullopt},
        {mc_point(kKitchen, kFloor, "Oak"), {13.0, std::nullopt}, 0.5},
        {mc_point(kLivingRoom, kFloor, "Oak"), {12.0, std::nullopt}, std::nullopt},
    };
    const DryingLog log = drying_log({&job, 1}, {materials, points});
    EXPECT_EQ(log_text(log), (std::vector<std::string>{
                                 "LR,F/Oak | 13.5 wet | not dry",
                                 "KIT,F/Oak | 14.0 wet | not dry",
                                 "KIT,W/Plaster | 40.0 | not dry",
                                 "KIT,C/Plaster | 30.0 | not dry",
                                 "KIT,W/Plaster | 12.0 dry | since 2026-03-03",
                             }));
    EXPECT_EQ(*log.rows[0].cells[0].goal, 13.0);
    EXPECT_EQ(log.rows[1].tolerance, 0.5);
    EXPECT_EQ(log.rows[2].source, StandardSource::None);
    EXPECT_EQ(log.rows[3].source, StandardSource::ReferenceElsewhere);
}

} // namespace
} // namespace qm
