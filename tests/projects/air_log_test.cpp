#include "projects/air_log.h"
#include "projects/drying_days.h"
#include "support/drying_readings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace qm {
namespace {

using namespace test;

const AirPointRole kRoles[] = {{kKitchen, AirRole::Affected},
                               {kLivingRoom, AirRole::Affected},
                               {kMisc1, AirRole::DehumidifierOutlet},
                               {kMisc2, AirRole::Outside}};

// The kitchen's air on 3 March against figures worked by hand (Magnus formula at sea level; the
// program's saturation table differs from it by a few tenths), two affected rooms averaged on
// 4 March, and no grain depression on a day without an outlet reading.
TEST(AirLog, DayAndRoleFiguresAndGrainDepression) {
    const std::vector<Reading> readings = {
        air_at(kKitchen, 3, 68.0, 72.0),    air_at(kMisc1, 3, 22.0, 94.0),
        air_at(kMisc2, 3, 81.0, 48.0),      air_at(kKitchen, 4, 60.0, 70.0),
        air_at(kLivingRoom, 4, 50.0, 74.0), air_at(kLivingRoom + 1, 4, 40.0, 70.0),
    };
    const AttachedJob job{"TRK 200", 118, readings};
    const AirLog log = air_log({&job, 1}, kRoles, false);
    ASSERT_EQ(log.rows.size(), 5u);
    const AirDay& affected = log.rows[0];
    EXPECT_EQ(iso_date(affected.day), "2026-03-03");
    EXPECT_EQ(affected.role, AirRole::Affected);
    EXPECT_NEAR(*affected.dew_point, 60.9, 0.5);
    EXPECT_NEAR(*affected.humidity, 79.6, 1.0);
    EXPECT_EQ(log.rows[1].role, AirRole::Outside);
    EXPECT_NEAR(*log.rows[1].dew_point, 42.4, 0.5);
    EXPECT_NEAR(*log.rows[1].humidity, 40.0, 1.0);
    const AirDay& outlet = log.rows[2];
    EXPECT_EQ(outlet.role, AirRole::DehumidifierOutlet);
    EXPECT_NEAR(*outlet.dew_point, 49.4, 0.5);
    EXPECT_NEAR(*outlet.humidity, 52.1, 1.0);
    ASSERT_EQ(log.depression.size(), 1u);
    EXPECT_EQ(log.depression[0].day, affected.day);
    // The difference of the figures as printed, so that the page adds up.
    const auto tenth = [](double v) { return std::round(v * 10.0) / 10.0; };
    EXPECT_NEAR(log.depression[0].value, tenth(*affected.humidity) - tenth(*outlet.humidity), 1e-9);
    EXPECT_NEAR(log.depression[0].value, 27.5, 1.0);

    const AirDay& both_rooms = log.rows[3];
    EXPECT_EQ(both_rooms.points, 2u);
    EXPECT_DOUBLE_EQ(both_rooms.temperature, 72.0);
    EXPECT_DOUBLE_EQ(both_rooms.rh, 55.0);
    EXPECT_EQ(log.rows[4].role, AirRole::Other); // a location without a role

    // Under Celsius: degrees C and GPK (grains per pound / 7 = grams per kilogram).
    const AirLog metric = air_log({&job, 1}, kRoles, true);
    EXPECT_NEAR(metric.rows[0].temperature, 22.2, 0.05);
    EXPECT_NEAR(*metric.rows[0].dew_point, (60.9 - 32.0) / 1.8, 0.3);
    EXPECT_NEAR(*metric.rows[0].humidity, 79.6 / 7.0, 0.15);
    EXPECT_NEAR(metric.depression[0].value, 27.5 / 7.0, 0.15);
}

} // namespace
} // namespace qm
