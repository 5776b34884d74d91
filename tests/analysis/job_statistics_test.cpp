#include "analysis/job_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

namespace qm {
namespace {

constexpr std::int32_t kUsDate = 0;
constexpr std::int32_t kInternationalDate = 1;

Reading make(std::int32_t kind, double value, std::int32_t minute = 0) {
    Reading r;
    r.kind = kind;
    r.job = 2;
    r.location = 4;
    r.sub_location = 1;
    r.year = 3;
    r.month = 8;
    r.day = 28;
    r.hour_code = 0x41; // 1 AM, 12-hour mode
    r.minute = minute;
    if (kind == RhTemperature) {
        r.rh = 50.0;
        r.temperature = value;
    } else {
        r.mc = value;
    }
    return r;
}

// A store whose working set holds the given readings; job 2 sits at position 0 of both lists.
ReadingStore store_with(std::initializer_list<Reading> readings) {
    ReadingStore store;
    store.working_set = readings;
    store.mc_jobs[0] = 2;
    store.mc_job_count = 1;
    store.rh_jobs[0] = 2;
    store.rh_job_count = 1;
    return store;
}

JobStatistics mc_stats(ReadingStore& store, std::int32_t date_order = kUsDate) {
    return compute_mc_statistics(store, kFirstMaterials, 0, 4, 1, date_order);
}

TEST(McStatistics, PinFiguresComeFromPinWithTemperatureReadingsOnly) {
    Reading pin_only = make(Pin, 1.0, 1);
    pin_only.material = 3;
    Reading a = make(PinWithTemperature, 10.0, 2);
    a.material = 4;
    Reading b = make(PinWithTemperature, 9.5, 3);
    b.material = 5;
    ReadingStore store = store_with({pin_only, a, b, make(PinWithTemperature, 12.26, 4)});
    const JobStatistics s = mc_stats(store);
    EXPECT_STREQ(s.min_text, "9.5%");
    EXPECT_STREQ(s.max_text, "12.3%");
    EXPECT_STREQ(s.count_text, "3");
    EXPECT_STREQ(s.material_text, "Maple"); // the first PinWithTemperature reading's material
    // The Pin reading still counts for the times.
    EXPECT_STREQ(s.first_text, "8/28/03 1:01AM");
    EXPECT_STREQ(s.last_text, "8/28/03 1:04AM");
    EXPECT_EQ(store.cursor, store.working_set.size());
}

TEST(McStatistics, GroupWithoutPinWithTemperatureReadings) {
    Reading first = make(Scan, 40.0, 1);
    first.material = 7;
    ReadingStore store = store_with({first, make(Pin, 20.0, 2), make(Scan, 12.0, 3)});
    const JobStatistics s = mc_stats(store);
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
    ReadingStore store = store_with(
        {other_job, other_location, other_sub, make(PinWithTemperature, 15.0, 9), make(Scan, 7)});
    const JobStatistics s = mc_stats(store);
    EXPECT_STREQ(s.min_text, "15.0%");
    EXPECT_STREQ(s.count_text, "1");
    EXPECT_STREQ(s.scan_count_text, "1");
    EXPECT_STREQ(s.first_text, "8/28/03 1:09AM");
}

TEST(McStatistics, EmptyGroupAndMaterialNotCarriedOverFromAnotherGroup) {
    ReadingStore store = store_with({make(PinWithTemperature, 12.0)});
    const JobStatistics filled = mc_stats(store);
    EXPECT_STREQ(filled.material_text, "Sheetrock");
    const JobStatistics empty = compute_mc_statistics(store, kFirstMaterials, 0, 9, 0, kUsDate);
    EXPECT_STREQ(empty.min_text, "0.0%");
    EXPECT_STREQ(empty.max_text, "0.0%");
    EXPECT_STREQ(empty.count_text, "0");
    EXPECT_STREQ(empty.scan_min_text, "0");
    EXPECT_STREQ(empty.scan_max_text, "0");
    EXPECT_STREQ(empty.scan_count_text, "0");
    EXPECT_STREQ(empty.first_text, "----");
    EXPECT_STREQ(empty.last_text, "----");
    EXPECT_STREQ(empty.material_text, "");
    // A job position past the job list has no readings at all.
    const JobStatistics past = compute_mc_statistics(store, kFirstMaterials, 1, 4, 1, kUsDate);
    EXPECT_STREQ(past.count_text, "0");
    EXPECT_STREQ(past.first_text, "----");
    EXPECT_EQ(store.cursor, store.working_set.size());
}

TEST(RhStatistics, OutOfRangeHumidityCountsButStaysOutOfMinAndMax) {
    Reading other_sub = make(RhTemperature, 68.0, 1);
    other_sub.sub_location = 0; // RH/T groups ignore the sub-location
    ReadingStore store =
        store_with({other_sub, make(RhTemperature, 180.0, 2), make(RhTemperature, 70.0, 3)});
    const JobStatistics f = compute_rh_statistics(store, 0, 4, 0, kUsDate);
    EXPECT_STREQ(f.min_text, "50.82");
    EXPECT_STREQ(f.max_text, "54.47");
    EXPECT_STREQ(f.count_text, "3");
    EXPECT_STREQ(f.first_text, "8/28/03 1:01AM");
    EXPECT_STREQ(f.last_text, "8/28/03 1:03AM");
    EXPECT_STREQ(f.scan_count_text, "");
    EXPECT_STREQ(f.material_text, "");
    EXPECT_EQ(store.cursor, store.working_set.size());

    const JobStatistics c = compute_rh_statistics(store, 0, 4, 1, kInternationalDate);
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
    ReadingStore store = store_with({hot, wrong, hotter});
    const JobStatistics s = compute_rh_statistics(store, 0, 4, 0, kUsDate);
    EXPECT_STREQ(s.max_text, "3828.10");
    EXPECT_STREQ(s.min_text, "3483.53"); // 95 % at 176 F
    EXPECT_STREQ(s.count_text, "3");

    ReadingStore none = store_with({});
    const JobStatistics e = compute_rh_statistics(none, 0, 4, 0, kUsDate);
    EXPECT_STREQ(e.min_text, "0.00");
    EXPECT_STREQ(e.max_text, "0.00");
    EXPECT_STREQ(e.count_text, "0");
    EXPECT_STREQ(e.first_text, "----");
}

TEST(ReadingTimeTexts, TwelveAndTwentyFourHourClocksAndBothDateOrders) {
    Reading r = make(PinWithTemperature, 0.0, 5);
    EXPECT_EQ(format_reading_time(r), "1:05AM");
    EXPECT_EQ(format_reading_date_time(r, kUsDate), "8/28/03 1:05AM");
    EXPECT_EQ(format_reading_date_time(r, kInternationalDate), "28/8/03 1:05AM");
    r.hour_code = 0x72; // 12-hour mode, PM, tens digit: 12 PM
    r.minute = 30;
    EXPECT_EQ(format_reading_time(r), "12:30PM");
    r.hour_code = 0x52; // 12 AM
    EXPECT_EQ(format_reading_time(r), "12:30AM");
    r.hour_code = 0x23; // 24-hour mode
    r.minute = 0;
    EXPECT_EQ(format_reading_time(r), "23:00");
    r.hour_code = 0x07;
    r.year = 10;
    r.month = 12;
    r.day = 1;
    EXPECT_EQ(format_reading_date_time(r, kUsDate), "12/1/10 7:00");
    EXPECT_EQ(format_reading_date(r, kInternationalDate), "1/12/10");
}

} // namespace
} // namespace qm
