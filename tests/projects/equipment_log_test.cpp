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
        {EquipmentType::Heater, 2, "hall", march(4), std::nullopt}, // still running on 7 March
        {EquipmentType::AirMover, 1, "hall", march(5), march(4)},   // removed before placed
        {EquipmentType::Other, 0, "bath", march(3), march(5)},      // no unit
        {EquipmentType::Heater, 1, "den", march(31), std::nullopt}, // placed after today: 0 days
    };
    const EquipmentLog log = equipment_log(entries, march(7));
    const std::int64_t days[] = {3, 2, 3, 0, 0, 0};
    const bool valid[] = {true, true, true, false, false, true};
    ASSERT_EQ(log.rows.size(), 6u);
    for (std::size_t i = 0; i < log.rows.size(); ++i) {
        EXPECT_EQ(log.rows[i].days, days[i]) << i;
        EXPECT_EQ(log.rows[i].valid, valid[i]) << i;
    }
    EXPECT_EQ(log.rows[1].equipment_days, 6);
    EXPECT_EQ(log.equipment_days, 3 + 6 + 6);
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
