#include "analysis/job_statistics.h"

#include "store/job_index.h"
#include "support/readings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace qm {
namespace {

constexpr std::int32_t kUsDate = 0;
constexpr std::int32_t kInternationalDate = 1;

// Job 2, location 4, sub-location 1, material 0.
Reading make(std::int32_t kind, double value, std::int32_t minute = 0) {
    return test::dated_reading(kind, 2, 4, 1, value, minute, 0);
}

// The figures of the group the summaries pick from a job's readings: job 2, location 4 and, for
// MC, sub-location 1.
JobStatistics mc_stats(const std::vector<Reading>& readings, std::int32_t date_order = kUsDate,
                       int location = 4) {
    return compute_mc_statistics(group_readings(readings, 2, location, 1), kFirstMaterials,
                                 date_order);
}

JobStatistics rh_stats(const std::vector<Reading>& readings, std::int32_t celsius,
                       std::int32_t date_order = kUsDate) {
    return compute_rh_statistics(group_readings(readings, 2, 4), celsius, date_order);
}

TEST(McStatistics, PinFiguresComeFromPinWithTemperatureReadingsOnly) {
    Reading pin_only = make(Pin, 1.0, 1);
    pin_only.material = 3;
    Reading a = make(PinWithTemperature, 10.0, 2);
    a.material = 4;
    Reading b = make(PinWithTemperature, 9.5, 3);
    b.material = 5;
    const JobStatistics s = mc_stats({pin_only, a, b, make(PinWithTemperature, 12.26, 4)});
    EXPECT_STREQ(s.min_text, "9.5%");
    EXPECT_STREQ(s.max_text, "12.3%");
    EXPECT_STREQ(s.count_text, "3");
    EXPECT_STREQ(s.material_text, "Maple"); // the first PinWithTemperature reading's material
    // The Pin reading still counts for the times.
    EXPECT_STREQ(s.first_text, "8/28/03 1:01AM");
    EXPECT_STREQ(s.last_text, "8/28/03 1:04AM");
}

TEST(McStatistics, GroupWithoutPinWithTemperatureReadings) {
    Reading first = make(Scan, 40.0, 1);
    first.material = 7;
    const JobStatistics s = mc_stats({first, make(Pin, 20.0, 2), make(Scan, 12.0, 3)});
    EXPECT_STREQ(s.min_text, "0.0%");
    EXPECT_STREQ(s.max_text, "0.0%");
    EXPECT_STREQ(s.count_text, "0");
    EXPECT_STREQ(s.scan_min_text, "12");
    EXPECT_STREQ(s.scan_max_text, "40");
    EXPECT_STREQ(s.scan_count_text, "2");
    EXPECT_STREQ(s.material_text, "OSB"); // the group's first reading, whatever its kind
}

TEST(McStatistics, OnlyTheSelectedJobLocationAndSubLocationCount) {
    Reading other_job = make(PinWithTemperature, 1.0);
    other_job.job = 3;
    Reading other_location = make(PinWithTemperature, 2.0);
    other_location.location = 5;
    Reading other_sub = make(PinWithTemperature, 3.0);
    other_sub.sub_location = 2;
    const JobStatistics s = mc_stats(
        {other_job, other_location, other_sub, make(PinWithTemperature, 15.0, 9), make(Scan, 7)});
    EXPECT_STREQ(s.min_text, "15.0%");
    EXPECT_STREQ(s.count_text, "1");
    EXPECT_STREQ(s.scan_count_text, "1");
    EXPECT_STREQ(s.first_text, "8/28/03 1:09AM");
}

TEST(McStatistics, EmptyGroupAndMaterialNotCarriedOverFromAnotherGroup) {
    const std::vector<Reading> readings = {make(PinWithTemperature, 12.0)};
    const JobStatistics filled = mc_stats(readings);
    EXPECT_STREQ(filled.material_text, "Sheetrock");
    const JobStatistics empty = mc_stats(readings, kUsDate, 9);
    EXPECT_STREQ(empty.min_text, "0.0%");
    EXPECT_STREQ(empty.max_text, "0.0%");
    EXPECT_STREQ(empty.count_text, "0");
    EXPECT_STREQ(empty.scan_min_text, "0");
    EXPECT_STREQ(empty.scan_max_text, "0");
    EXPECT_STREQ(empty.scan_count_text, "0");
    EXPECT_STREQ(empty.first_text, "----");
    EXPECT_STREQ(empty.last_text, "----");
    EXPECT_STREQ(empty.material_text, "");
}

TEST(RhStatistics, OutOfRangeHumidityCountsButStaysOutOfMinAndMax) {
    Reading other_sub = make(RhTemperature, 68.0, 1);
    other_sub.sub_location = 0; // RH/T groups ignore the sub-location
    const std::vector<Reading> readings = {other_sub, make(RhTemperature, 180.0, 2),
                                           make(RhTemperature, 70.0, 3)};
    const JobStatistics f = rh_stats(readings, 0);
    EXPECT_STREQ(f.min_text, "50.82");
    EXPECT_STREQ(f.max_text, "54.47");
    EXPECT_STREQ(f.count_text, "3");
    EXPECT_STREQ(f.first_text, "8/28/03 1:01AM");
    EXPECT_STREQ(f.last_text, "8/28/03 1:03AM");
    EXPECT_STREQ(f.scan_count_text, "");
    EXPECT_STREQ(f.material_text, "");

    const JobStatistics c = rh_stats(readings, 1, kInternationalDate);
    EXPECT_STREQ(c.min_text, "7.26");
    EXPECT_STREQ(c.first_text, "28/8/03 1:01AM");
}

TEST(RhStatistics, HotSaturatedAirReportsItsTrueMinimum) {
    // Every humidity 3000 or more: the minimum is the smallest of them, not 0.00.
    Reading hot = make(RhTemperature, 176.0);
    hot.rh = 100.0; // 3828.10 grains per pound
    Reading hotter = hot;
    hotter.rh = 95.0;
    Reading wrong = hot;
    wrong.temperature = std::nan(""); // no humidity: counted, neither bound moves
    const JobStatistics s = rh_stats({hot, wrong, hotter}, 0);
    EXPECT_STREQ(s.max_text, "3828.10");
    EXPECT_STREQ(s.min_text, "3483.53"); // 95 % at 176 F
    EXPECT_STREQ(s.count_text, "3");

    const JobStatistics e = rh_stats({}, 0);
    EXPECT_STREQ(e.min_text, "0.00");
    EXPECT_STREQ(e.max_text, "0.00");
    EXPECT_STREQ(e.count_text, "0");
    EXPECT_STREQ(e.first_text, "----");
}

} // namespace
} // namespace qm
