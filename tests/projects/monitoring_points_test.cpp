#include "projects/drying_days.h"
#include "projects/monitoring_points.h"
#include "support/drying_readings.h"

#include <gtest/gtest.h>

#include <vector>

namespace qm {
namespace {

using namespace test;

std::vector<double> day_values(const PointHistory& h) {
    std::vector<double> out;
    for (const PointDay& d : h.days) {
        out.push_back(d.reading.mc);
    }
    return out;
}

// A day's value is its last reading by the clock, whatever order the meter stored them in and
// whatever its hour byte: 12 AM is the start of a day and 12 PM comes before 1 PM. A reading just
// after midnight belongs to its own date.
TEST(MonitoringPoints, DayValueIsTheLastByTheClock) {
    const std::vector<Reading> readings = {
        mc_at(kKitchen, kWall, kPlaster, 3, h12(11, false), 10, 30.0),
        mc_at(kKitchen, kWall, kPlaster, 3, h12(12, false), 20, 31.0), // 0:20, first of the day
        mc_at(kKitchen, kWall, kPlaster, 4, h12(1, true), 5, 28.0),
        mc_at(kKitchen, kWall, kPlaster, 4, h12(12, true), 15, 29.0), // 12:15, before 1 PM
        mc_at(kKitchen, kWall, kPlaster, 5, h24(23), 55, 26.0),
        mc_at(kKitchen, kWall, kPlaster, 6, h24(0), 5, 25.0),
    };
    const AttachedJob job{"TRK 200", 118, readings};
    const auto points = point_histories({&job, 1}, false);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(point_name(points[0].point), "KIT,W/Plaster");
    EXPECT_EQ(day_values(points[0]), (std::vector<double>{30.0, 28.0, 26.0, 25.0}));
    EXPECT_EQ(iso_date(points[0].days.front().day), "2026-03-03");
    EXPECT_EQ(iso_date(points[0].days.back().day), "2026-03-06");
    EXPECT_EQ(points[0].readings, 6u);
}

// A meter downloaded on two days still holds the first day's readings: they count once, also when
// a pin reading without a temperature of its own was given another download's last temperature.
// The same values under another job ID, or read a minute later, are other readings.
TEST(MonitoringPoints, ReadingInTwoVisitsCountsOnce) {
    const Reading first = mc_at(kKitchen, kWall, kPlaster, 3, h24(9), 5, 22.4);
    const Reading later = mc_at(kKitchen, kWall, kPlaster, 3, h24(9), 6, 22.4);
    Reading carried = first;
    carried.pin_temperature = 71;
    const std::vector<Reading> day1 = {first};
    const std::vector<Reading> day2 = {carried, later};
    const std::vector<AttachedJob> jobs = {
        {"TRK 200", 118, day1}, {"TRK 200", 118, day2}, {"TRK 200", 119, day1}};
    const auto points = point_histories(jobs, false);
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].readings, 3u);
}

// Pin and scan readings of one place are two points; RH/T readings make points of their own.
TEST(MonitoringPoints, PinScanAndAirPointsStayApart) {
    const std::vector<Reading> readings = {
        mc_at(kKitchen, kWall, kPlaster, 3, h24(9), 0, 14.0, PinWithTemperature),
        mc_at(kKitchen, kWall, kPlaster, 3, h24(9), 1, 13.0, Pin),
        mc_at(kKitchen, kWall, kPlaster, 3, h24(9), 2, 60.0, Scan),
        air_at(kKitchen, 3, 60.0, 70.0),
    };
    const AttachedJob job{"TRK 200", 118, readings};
    const auto mc = point_histories({&job, 1}, false);
    ASSERT_EQ(mc.size(), 2u);
    EXPECT_EQ(mc[0].point, mc_point(kKitchen, kWall, "Plaster", PointScale::Pin));
    EXPECT_EQ(mc[0].readings, 2u);
    EXPECT_EQ(mc[1].point, mc_point(kKitchen, kWall, "Plaster", PointScale::Scan));
    EXPECT_EQ(day_values(mc[1]), std::vector<double>{60.0});
    const auto air = point_histories({&job, 1}, true);
    ASSERT_EQ(air.size(), 1u);
    EXPECT_EQ(point_name(air[0].point), "KIT");
}

} // namespace
} // namespace qm
