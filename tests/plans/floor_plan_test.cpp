// Floor plans: areas, walls and volumes from a marked length, and lengths as users write them.
#include "plans/floor_plan.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

FloorPlan sheet(PlanUnits units, std::optional<PlanScale> scale) {
    FloorPlan p;
    p.name = "Ground floor";
    p.units = units;
    p.scale = scale;
    return p;
}

TEST(FloorPlan, RoomMeasuresFromTheScale) {
    // 12 ft marked over 240 pixels of an image: 20 pixels a foot.
    const PlanScale twelve_feet{{10, 50}, {10, 290}, 12.0};
    const std::vector<SheetXY> l_shape = {{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 3}, {0, 3}};
    struct Case {
        const char* what;
        FloorPlan plan;
        std::vector<SheetXY> outline;
        std::optional<double> height;
        double area;
        std::vector<double> walls;
        std::optional<double> volume;
    } cases[] = {
        {"10 x 12 ft room on a scaled image",
         sheet(PlanUnits::Feet, twelve_feet),
         rectangle_outline(100, 100, 200, 240),
         8.0,
         120.0,
         {10, 12, 10, 12},
         960.0},
        {"L room on an empty sheet",
         sheet(PlanUnits::Metres, std::nullopt),
         l_shape,
         std::nullopt,
         10.0,
         {4, 2, 2, 1, 2, 3},
         std::nullopt},
        {"the same L drawn the other way round",
         sheet(PlanUnits::Metres, std::nullopt),
         {l_shape.rbegin(), l_shape.rend()},
         2.5,
         10.0,
         {2, 1, 2, 2, 4, 3},
         25.0},
    };
    for (const Case& c : cases) {
        const PlanRoom room{"R", c.outline, c.height};
        EXPECT_FALSE(room_problem(room)) << c.what;
        const RoomMeasures m = room_measures(c.plan, room);
        EXPECT_NEAR(m.area, c.area, 1e-9) << c.what;
        ASSERT_EQ(m.walls.size(), c.walls.size()) << c.what;
        for (std::size_t i = 0; i < c.walls.size(); ++i) {
            EXPECT_NEAR(m.walls[i], c.walls[i], 1e-9) << c.what << " wall " << i;
        }
        EXPECT_EQ(m.volume.has_value(), c.volume.has_value()) << c.what;
        EXPECT_NEAR(m.volume.value_or(0), c.volume.value_or(0), 1e-9) << c.what;
    }
    // Once scaled, places are typed in feet and kept in pixels.
    const FloorPlan scaled = sheet(PlanUnits::Feet, twelve_feet);
    EXPECT_EQ(sheet_of(scaled, {10, 12}), (SheetXY{200, 240}));
    EXPECT_EQ(typed_of(scaled, {200, 240}), (SheetXY{10, 12}));
    EXPECT_TRUE(inside_outline(l_shape, {1, 2.5}));
    EXPECT_TRUE(inside_outline(l_shape, {4, 1})); // on a wall
    EXPECT_FALSE(inside_outline(l_shape, {3, 2.5}));
}

TEST(FloorPlan, LengthsAndRoomsRefused) {
    struct Case {
        const char* text;
        PlanUnits units;
        std::optional<double> length;
    } cases[] = {
        {"12ft", PlanUnits::Feet, 12.0},
        {"12 ft", PlanUnits::Feet, 12.0},
        {"144in", PlanUnits::Feet, 12.0},
        {"3.5m", PlanUnits::Metres, 3.5},
        {"350cm", PlanUnits::Metres, 3.5},
        {"3.048m", PlanUnits::Feet, 10.0},
        {"10ft", PlanUnits::Metres, 3.048},
        {"12", PlanUnits::Feet, std::nullopt},
        {"0ft", PlanUnits::Feet, std::nullopt},
        {"-3m", PlanUnits::Metres, std::nullopt},
        {"12 yards", PlanUnits::Feet, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<double> got = parse_plan_length(c.text, c.units);
        ASSERT_EQ(got.has_value(), c.length.has_value()) << c.text;
        EXPECT_NEAR(got.value_or(0), c.length.value_or(0), 1e-9) << c.text;
    }
    EXPECT_TRUE(room_problem({"", rectangle_outline(0, 0, 1, 1), {}}));
    EXPECT_TRUE(room_problem({"Hall", {{0, 0}, {1, 1}}, {}}));
    EXPECT_TRUE(room_problem({"Hall", {{0, 0}, {1, 1}, {2, 2}}, {}})); // no area
    EXPECT_TRUE(room_problem({"Hall", rectangle_outline(0, 0, 1, 1), 0.0}));
}

} // namespace
} // namespace qm
