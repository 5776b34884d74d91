#include "store/job_index.h"

#include "store/group_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace qm {
namespace {

Reading reading(int job, int location, int sub = 0, int kind = PinWithTemperature, double mc = 0) {
    Reading r;
    r.job = job;
    r.location = location;
    r.sub_location = sub;
    r.kind = kind;
    r.mc = mc;
    r.day = 1;
    return r;
}

Reading timed(int year, int month, int day, int hour_code, int minute, double tag) {
    Reading r = reading(1, 0);
    r.year = year;
    r.month = month;
    r.day = day;
    r.hour_code = hour_code;
    r.minute = minute;
    r.mc = tag;
    return r;
}

TEST(RebuildJobLists, OrdersByJobLocationSubLocationThenArrival) {
    ReadingStore store;
    store.all_readings = {reading(2, 5, 0, 0, 1.0), reading(1, 7),    reading(1, 3),
                          reading(2, 5, 0, 0, 2.0), reading(1, 3, 2), reading(1, 3, 1)};
    rebuild_job_lists(store);
    const auto& a = store.all_readings;
    ASSERT_EQ(a.size(), 6u);
    EXPECT_EQ(std::make_tuple(a[0].job, a[0].location, a[0].sub_location),
              std::make_tuple(1, 3, 0));
    EXPECT_EQ(std::make_tuple(a[1].job, a[1].location, a[1].sub_location),
              std::make_tuple(1, 3, 1));
    EXPECT_EQ(std::make_tuple(a[2].job, a[2].location, a[2].sub_location),
              std::make_tuple(1, 3, 2));
    EXPECT_EQ(std::make_tuple(a[3].job, a[3].location), std::make_tuple(1, 7));
    EXPECT_EQ(a[4].mc, 1.0); // job 2 location 5, first arrival
    EXPECT_EQ(a[5].mc, 2.0);
}

TEST(RebuildJobLists, KeysOutsideTheUsualRangesSortTheSameWay) {
    ReadingStore store;
    store.all_readings = {reading(2, 5, 0, 0, 1.0), reading(40, 1), reading(1, 300),
                          reading(2, 5, 0, 0, 2.0), reading(1, -1), reading(-3, 0)};
    rebuild_job_lists(store);
    std::vector<std::tuple<int, int, double>> order;
    for (const Reading& r : store.all_readings) {
        order.emplace_back(r.job, r.location, r.mc);
    }
    EXPECT_EQ(order,
              (std::vector<std::tuple<int, int, double>>{
                  {-3, 0, 0}, {1, -1, 0}, {1, 300, 0}, {2, 5, 1.0}, {2, 5, 2.0}, {40, 1, 0}}));
}

TEST(RebuildJobLists, LargeArraysKeepTheSameStableOrder) {
    ReadingStore store;
    for (int i = 0; i < 5000; ++i) {
        store.all_readings.push_back(reading(1 + (i * 7) % 5, (i * 13) % 64, (i * 5) % 3, 0, i));
    }
    std::vector<Reading> expected = store.all_readings;
    std::stable_sort(expected.begin(), expected.end(), [](const Reading& a, const Reading& b) {
        return std::tie(a.job, a.location, a.sub_location) <
               std::tie(b.job, b.location, b.sub_location);
    });
    rebuild_job_lists(store);
    EXPECT_EQ(store.all_readings, expected);
    EXPECT_EQ(store.mc_job_count, 5);
}

TEST(RebuildJobLists, ListsJobsByKind) {
    ReadingStore store;
    store.all_readings = {reading(3, 0, 0, RhTemperature), reading(1, 0), reading(2, 0),
                          reading(2, 1, 0, RhTemperature), reading(4, 0, 0, 7)};
    rebuild_job_lists(store);
    EXPECT_EQ(store.mc_job_count, 3);
    EXPECT_EQ(store.mc_jobs, (std::array<std::int32_t, 5>{1, 2, 4, 0, 0}));
    EXPECT_EQ(store.rh_job_count, 2);
    EXPECT_EQ(store.rh_jobs, (std::array<std::int32_t, 5>{2, 3, 0, 0, 0}));

    store.all_readings = {reading(1, 0, 0, RhTemperature)};
    rebuild_job_lists(store);
    EXPECT_EQ(store.mc_job_count, 0);
    EXPECT_EQ(store.mc_jobs[0], 0);
    EXPECT_EQ(store.rh_job_count, 1);

    store.all_readings.clear();
    rebuild_job_lists(store);
    EXPECT_EQ(store.mc_job_count, 0);
    EXPECT_EQ(store.rh_job_count, 0);
}

// The lists are built on the walk that checks the grouping; an array found out of order
// half-way must not keep the entries of that first walk.
TEST(RebuildJobLists, ListsAreWholeWhetherTheArrayWasGroupedOrNot) {
    ReadingStore store;
    store.all_readings = {reading(1, 0), reading(2, 0, 0, RhTemperature), reading(3, 0),
                          reading(1, 1), reading(2, 1)};
    rebuild_job_lists(store);
    EXPECT_EQ(store.mc_jobs, (std::array<std::int32_t, 5>{1, 2, 3, 0, 0}));
    EXPECT_EQ(store.mc_job_count, 3);
    EXPECT_EQ(store.rh_jobs, (std::array<std::int32_t, 5>{2, 0, 0, 0, 0}));
    EXPECT_EQ(store.rh_job_count, 1);

    // Only jobs 1..5 are listed: more than five job numbers never overflow the lists.
    store.all_readings.clear();
    for (int job = 7; job >= 0; --job) {
        store.all_readings.push_back(reading(job, 0));
    }
    store.all_readings.push_back(reading(9, 0, 0, RhTemperature));
    rebuild_job_lists(store);
    EXPECT_EQ(store.mc_jobs, (std::array<std::int32_t, 5>{1, 2, 3, 4, 5}));
    EXPECT_EQ(store.mc_job_count, 5);
    EXPECT_EQ(store.rh_job_count, 0);
    rebuild_job_lists(store); // already grouped now: the same lists from the single walk
    EXPECT_EQ(store.mc_jobs, (std::array<std::int32_t, 5>{1, 2, 3, 4, 5}));
    EXPECT_EQ(store.rh_job_count, 0);
}

// Readings no table can name (a save file may hold them) stay in the store, but no job list,
// working set or walk of the store reaches them.
TEST(RebuildJobLists, ReadingsOutsideTheTablesAreKeptButNeverReached) {
    Reading material16 = reading(2, 4, 1);
    material16.material = 16;
    Reading negative_material = reading(2, 4, 1, RhTemperature);
    negative_material.material = -1;
    ReadingStore store;
    store.all_readings = {reading(2, 4, 1), reading(2, 64, 0), reading(2, -1, 0),
                          reading(2, 4, 3), reading(2, 4, -1), material16,
                          reading(0, 4, 0), reading(6, 4, 0),  reading(-2, 0, 0, RhTemperature),
                          negative_material};
    EXPECT_TRUE(in_tables(store.all_readings[0]));
    for (std::size_t i = 1; i < store.all_readings.size(); ++i) {
        EXPECT_FALSE(in_tables(store.all_readings[i])) << i;
    }
    rebuild_job_lists(store);
    EXPECT_EQ(store.all_readings.size(), 10u);
    EXPECT_EQ(store.mc_jobs, (std::array<std::int32_t, 5>{2, 0, 0, 0, 0}));
    EXPECT_EQ(store.mc_job_count, 1);
    EXPECT_EQ(store.rh_job_count, 0);

    fill_working_set(store, 0, ManagedKind::Mc);
    ASSERT_EQ(store.working_set.size(), 1u);
    EXPECT_EQ(store.working_set[0], reading(2, 4, 1));
    EXPECT_TRUE(readings_in_time_order(store, 2, KindFilter::Rh).empty());
    for (const std::int32_t job : {2, 0, 6}) {
        EXPECT_EQ(count_readings(store, job, KindFilter::Any), job == 2 ? 1u : 0u) << job;
    }
}

TEST(FillWorkingSet, SortsByTimeWithRawHourCode) {
    ReadingStore store;
    store.all_readings = {
        timed(9, 6, 15, 0x52, 0, 1), // 12 AM, 12-hour mode
        timed(9, 6, 15, 0x51, 0, 2), // 11 AM, 12-hour mode
        timed(9, 6, 15, 0x23, 0, 3), // 23:00, 24-hour mode
        timed(9, 6, 15, 0x61, 0, 4), // 1 PM, 12-hour mode
        timed(9, 6, 15, 0x09, 30, 5), timed(9, 6, 15, 0x09, 5, 6),
        timed(9, 6, 14, 0x70, 0, 7), // earlier day wins whatever the hour
        timed(9, 6, 15, 0x09, 5, 8), // equal time keeps arrival order
    };
    rebuild_job_lists(store);
    fill_working_set(store, 0, ManagedKind::Mc);
    std::vector<double> order;
    for (const Reading& r : store.working_set) {
        order.push_back(r.mc);
    }
    EXPECT_EQ(order, (std::vector<double>{7, 6, 8, 5, 3, 2, 1, 4}));
}

// Large sets take a radix sort over the time bytes; it must give the stable order the
// comparison sort gives, ties in arrival order, and hand values past a byte to that sort.
TEST(FillWorkingSet, LargeSetsKeepTheStableTimeOrder) {
    for (const int odd_year : {0, 2009, -1}) {
        ReadingStore store;
        for (int i = 0; i < 3000; ++i) {
            Reading r = timed(9 + i % 2, 1 + (i * 7) % 12, 1 + (i * 11) % 3, (i * 13) % 0x73,
                              (i * 17) % 4, i);
            r.kind = i % 5 == 0 ? RhTemperature : Pin;
            r.location = i % 7 == 0 ? 3 : 1;
            r.sub_location = i % 3;
            store.all_readings.push_back(r);
        }
        store.all_readings[1234].year = odd_year;
        store.all_readings.push_back(reading(2, 0)); // another job, left out
        std::vector<Reading> expected;
        for (const Reading& r : store.all_readings) {
            if (r.job == 1 && !is_rh(r)) {
                expected.push_back(r);
            }
        }
        std::stable_sort(expected.begin(), expected.end(), earlier_in_time);
        store.mc_jobs = {1, 2};
        store.mc_job_count = 2;
        fill_working_set(store, 0, ManagedKind::Mc);
        EXPECT_EQ(store.working_set, expected) << "odd year " << odd_year;
        // The export's order: by location and sub-location, in time order within each group.
        const auto group = [](const Reading& r) {
            return static_cast<std::uint32_t>(r.location * 3 + r.sub_location);
        };
        const GroupedPositions grouped =
            grouped_in_time_order(store, 1, KindFilter::Mc, 192, +group);
        EXPECT_EQ(gathered(store.all_readings, grouped.positions),
                  gathered(expected, group_order(expected, 192, group)))
            << "odd year " << odd_year;
        for (std::uint32_t g = 0; g < 192; ++g) {
            EXPECT_EQ(grouped.group_start[g + 1] - grouped.group_start[g],
                      std::count_if(expected.begin(), expected.end(),
                                    [&](const Reading& r) { return group(r) == g; }));
        }
    }
}

TEST(FillWorkingSet, KindAndPositionPickTheJob) {
    ReadingStore store;
    store.all_readings = {reading(1, 0), reading(1, 1, 0, RhTemperature), reading(2, 0),
                          reading(2, 2, 0, RhTemperature), reading(2, 3, 0, Scan)};
    rebuild_job_lists(store);

    fill_working_set(store, 1, ManagedKind::Mc); // job 2 MC
    ASSERT_EQ(store.working_set.size(), 2u);
    EXPECT_EQ(store.working_set[1].kind, Scan);

    fill_working_set(store, 0, ManagedKind::Rh); // job 1 RH/T
    ASSERT_EQ(store.working_set.size(), 1u);
    EXPECT_EQ(store.working_set[0].location, 1);

    const std::vector<Reading> rh = readings_in_time_order(store, 2, KindFilter::Rh);
    ASSERT_EQ(rh.size(), 1u); // job number 2 RH/T
    EXPECT_EQ(rh[0].location, 2);
    EXPECT_EQ(readings_in_time_order(store, 2, KindFilter::Any).size(), 3u);

    fill_working_set(store, 0, ManagedKind::Both);
    EXPECT_TRUE(store.working_set.empty());
    EXPECT_TRUE(readings_in_time_order(store, 5, KindFilter::Rh).empty()); // no readings
    fill_working_set(store, 1, ManagedKind::Rh);
    fill_working_set(store, 7, ManagedKind::Mc); // position past the list
    EXPECT_TRUE(store.working_set.empty());
}

TEST(Queries, KindFiltersAndGroups) {
    ReadingStore store;
    store.all_readings = {reading(1, 0, 0, RhTemperature), reading(1, 0, 1, Pin),
                          reading(2, 0, 0, Scan), reading(1, 4, 2, Scan)};
    EXPECT_EQ(job_readings(store, 1, KindFilter::Mc), (std::vector<std::size_t>{1, 3}));
    EXPECT_EQ(job_readings(store, 1, KindFilter::Rh), std::vector<std::size_t>{0});
    EXPECT_EQ(job_readings(store, 1, KindFilter::Any), (std::vector<std::size_t>{0, 1, 3}));
    EXPECT_EQ(job_readings(store, 2, KindFilter::Any), std::vector<std::size_t>{2});
    EXPECT_EQ(count_readings(store, 1, KindFilter::Mc), 2u);

    // The group queries take what they are given, whatever its kinds.
    const std::vector<Reading>& all = store.all_readings;
    EXPECT_EQ(locations_of(all, 1), (std::vector<int>{0, 4}));
    EXPECT_EQ(sub_locations_of(all, 1, 0), (std::vector<int>{0, 1}));
    EXPECT_EQ(sub_locations_of(all, 2, 4), std::vector<int>{});
    EXPECT_EQ(group_readings(all, 1, 0), (std::vector<Reading>{all[0], all[1]}));
    EXPECT_EQ(group_readings(all, 1, 0, 1), std::vector<Reading>{all[1]});
    EXPECT_EQ(group_readings(all, 1, 4, 2), std::vector<Reading>{all[3]});
    EXPECT_TRUE(group_readings(all, 1, 4, 1).empty());
}

} // namespace
} // namespace qm
