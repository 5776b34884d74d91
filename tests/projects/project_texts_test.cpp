// Points and dates as the user writes them to qmtool project and the project file holds them.
#include "projects/project_texts.h"

#include "projects/drying_days.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(ProjectTexts, PointsReadBackAsWritten) {
    const struct {
        const char* text;
        std::optional<MonitoringPoint> point;
    } cases[] = {
        {"KIT,W/Plaster", MonitoringPoint{PointScale::Pin, 2, 1, "Plaster"}},
        {"KIT,W/Plaster scan", MonitoringPoint{PointScale::Scan, 2, 1, "Plaster"}},
        {"HL1,F/Doug Fir", MonitoringPoint{PointScale::Pin, 13, 0, "Doug Fir"}},
        {"32,C/Oak", MonitoringPoint{PointScale::Pin, 63, 2, "Oak"}},
        {"MISC1", MonitoringPoint{PointScale::Air, 26, -1, ""}},
        {"KIT,W/ scan", MonitoringPoint{PointScale::Pin, 2, 1, " scan"}},
        {"KIT,W/", std::nullopt},
        {"KIT,X/Oak", std::nullopt},
        {"KIT/W", std::nullopt},
        {"kit,W/Oak", std::nullopt},
        {"33", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_point(c.text), c.point) << c.text;
        if (c.point) {
            EXPECT_EQ(point_text(*c.point), c.text);
        }
    }
}

TEST(ProjectTexts, DatesOfTheCalendarOnly) {
    EXPECT_EQ(parse_iso_date("2026-03-03"), drying_day_number({2026, 3, 3}));
    EXPECT_EQ(parse_iso_date("2028-02-29"), drying_day_number({2028, 2, 29}));
    for (const char* wrong : {"2026-02-29", "2026-13-01", "2026-00-10", "2026-3-03", "26-03-03",
                              "2026-03-03x", "+026-03-03", "1899-12-31", ""}) {
        EXPECT_FALSE(parse_iso_date(wrong)) << wrong;
    }
}

} // namespace
} // namespace qm
