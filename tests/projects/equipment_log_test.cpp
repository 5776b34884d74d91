#include "projects/code_legend.h"
#include "projects/drying_days.h"
#include "projects/equipment_log.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

std::int64_t march(int day) {
    return drying_day_number({2026, 3, day});
}

TEST(EquipmentLog, EquipmentDaysAreCountTimesDaysPlaced) {
    const EquipmentEntry entries[] = {
        {EquipmentType::Dehumidifier, 1, "kitchen", march(3), march(6)},
        {EquipmentType::AirMover, 3, "kitchen", march(3), march(5)},
        {EquipmentType::Heater, 2, "hall", march(4), std::nullopt}, // running: to 7 March, read
        {EquipmentType::AirMover, 1, "hall", march(5), march(4)},   // removed before placed
        {EquipmentType::Other, 0, "bath", march(3), march(5)},      // no unit
        {EquipmentType::Heater, 1, "den", march(31), std::nullopt}, // placed after the last read
    };
    const std::int64_t read[] = {march(3), march(5), march(7)};
    const EquipmentLog log = equipment_log(entries, read);
    const std::int64_t days[] = {3, 2, 3, 0, 0, 0};
    const bool valid[] = {true, true, true, false, false, true};
    ASSERT_EQ(log.rows.size(), 6u);
    for (std::size_t i = 0; i < log.rows.size(); ++i) {
        EXPECT_EQ(log.rows[i].days, days[i]) << i;
        EXPECT_EQ(log.rows[i].valid, valid[i]) << i;
    }
    EXPECT_EQ(log.rows[1].equipment_days, 6);
    EXPECT_EQ(log.equipment_days, 3 + 6 + 6);
    // Units on site per type on each day read: dehumidifiers, air movers, heaters, other. The air
    // movers removed on 5 March are gone that day.
    using Units = std::array<int, kEquipmentTypeCount>;
    ASSERT_EQ(log.daily.size(), 3u);
    EXPECT_EQ(log.daily[0].units, (Units{1, 3, 0, 0}));
    EXPECT_EQ(log.daily[1].units, (Units{1, 0, 2, 0}));
    EXPECT_EQ(log.daily[2].day, march(7));
    EXPECT_EQ(log.daily[2].units, (Units{0, 0, 2, 0}));
}

// A unit still running counts to the last day read, never to the day the log is made: a week read
// in June 2025 gives its air mover 6 days, however late it is printed.
TEST(EquipmentLog, RunningCountsToTheLastDayRead) {
    const auto day = [](int y, int m, int d) { return drying_day_number({y, m, d}); };
    struct Case {
        std::int64_t placed;
        std::vector<std::int64_t> read;
        std::int64_t days;
    };
    const Case cases[] = {
        {day(2025, 6, 2), {day(2025, 6, 2), day(2025, 6, 5), day(2025, 6, 8)}, 6},
        {day(2026, 3, 4), {day(2026, 3, 4), day(2026, 3, 10)}, 6},
        {day(2026, 3, 4), {}, 0},                                 // nothing read yet
        {day(2026, 3, 4), {day(2026, 3, 1), day(2026, 3, 3)}, 0}, // read only before it came
    };
    for (const Case& c : cases) {
        const EquipmentEntry mover{EquipmentType::AirMover, 1, "hall", c.placed, std::nullopt};
        const EquipmentLog log = equipment_log({&mover, 1}, c.read);
        EXPECT_EQ(log.rows[0].days, c.days) << iso_date(c.placed);
        EXPECT_EQ(log.equipment_days, c.days) << iso_date(c.placed);
    }
}

TEST(CodeLegend, DefaultsNameEveryCode) {
    const CodeLegend legend = default_code_legend();
    EXPECT_EQ(legend.size(), 64u + 3u);
    const std::pair<const char*, const char*> names[] = {
        {"LR", "living room"}, {"KIT", "kitchen"}, {"BR2", "bedroom 2"}, {"MISC6", "misc. 6"},
        {"32", "location 32"}, {"W", "wall"},      {"C", "ceiling"},     {"XYZ", "XYZ"}};
    for (const auto& [code, name] : names) {
        EXPECT_EQ(legend_name(legend, code), name);
    }
    CodeLegend edited = legend;
    edited["KIT"] = "";
    EXPECT_EQ(legend_name(edited, "KIT"), "KIT");
}

} // namespace
} // namespace qm
