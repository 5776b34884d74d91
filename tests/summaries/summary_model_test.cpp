#include "summaries/summary_model.h"

#include "store/job_index.h"
#include "support/readings.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace qm {
namespace {

constexpr std::int32_t kUsDate = 0;
constexpr int kKit = 2;
constexpr int kLocation3 = 34;
constexpr int kBath1 = 5;
constexpr int kW = 1;
constexpr int kC = 2;

// Job 3, material 1.
Reading mc_reading(std::int32_t kind, int location, int sub_location, double mc, int minute) {
    return test::dated_reading(kind, 3, location, sub_location, mc, minute, 1);
}

Reading rh_reading(int location, double rh, double temperature, int minute) {
    Reading r = mc_reading(RhTemperature, location, 0, 0.0, minute);
    r.rh = rh;
    r.temperature = temperature;
    return r;
}

// A store whose only job is job 3 (ID 12), listed for both kinds, with the readings selected as
// the job selection selects them.
ReadingStore store_with(std::initializer_list<Reading> readings, ManagedKind kind) {
    ReadingStore store;
    store.all_readings = readings;
    store.job_ids = {0, 0, 12, 0, 0};
    rebuild_job_lists(store);
    fill_working_set(store, 0, kind);
    return store;
}

TEST(McSummaryModel, GroupsListsAndFigures) {
    // One group: each list holds one entry and the figures are the group's.
    ReadingStore one = store_with({mc_reading(PinWithTemperature, kBath1, kW, 11.0, 1),
                                   mc_reading(PinWithTemperature, kBath1, kW, 14.5, 2)},
                                  ManagedKind::Mc);
    McSummaryModel single(one, 0, one.working_set);
    single.open(kFirstMaterials, kUsDate);
    EXPECT_EQ(single.locations(), std::vector<int>{kBath1});
    EXPECT_EQ(single.sub_locations(), std::vector<int>{kW});
    EXPECT_STREQ(single.statistics().count_text, "2");
    EXPECT_STREQ(single.statistics().min_text, "11.0%");
    EXPECT_STREQ(single.statistics().max_text, "14.5%");
    EXPECT_STREQ(single.statistics().material_text, "Plaster");
    EXPECT_EQ(single.job_id(), 12);

    // A location with W and C only: W first and shown first; choosing C shows C.
    ReadingStore wc = store_with({mc_reading(PinWithTemperature, kKit, kC, 20.0, 1),
                                  mc_reading(PinWithTemperature, kKit, kW, 10.0, 2),
                                  mc_reading(PinWithTemperature, kKit, kC, 22.0, 3)},
                                 ManagedKind::Mc);
    McSummaryModel model(wc, 0, wc.working_set);
    model.open(kFirstMaterials, kUsDate);
    EXPECT_EQ(model.sub_locations(), (std::vector<int>{kW, kC}));
    EXPECT_EQ(model.sub_location(), kW);
    EXPECT_STREQ(model.statistics().count_text, "1");
    EXPECT_STREQ(model.statistics().max_text, "10.0%");
    model.choose_sub_location(1, kFirstMaterials, kUsDate);
    EXPECT_EQ(model.sub_location(), kC);
    EXPECT_STREQ(model.statistics().count_text, "2");
    EXPECT_STREQ(model.statistics().min_text, "20.0%");
    EXPECT_STREQ(model.statistics().max_text, "22.0%");
    // A position outside the list is no choice.
    model.choose_sub_location(2, kFirstMaterials, kUsDate);
    EXPECT_EQ(model.sub_location(), kC);

    // SCAN readings only: PIN figures 0, SCAN figures filled.
    ReadingStore scan =
        store_with({mc_reading(Scan, kBath1, 0, 12.0, 1), mc_reading(Scan, kBath1, 0, 40.0, 2)},
                   ManagedKind::Mc);
    McSummaryModel scans(scan, 0, scan.working_set);
    scans.open(kFirstMaterials, kUsDate);
    EXPECT_STREQ(scans.statistics().count_text, "0");
    EXPECT_STREQ(scans.statistics().min_text, "0.0%");
    EXPECT_STREQ(scans.statistics().max_text, "0.0%");
    EXPECT_STREQ(scans.statistics().scan_count_text, "2");
    EXPECT_STREQ(scans.statistics().scan_min_text, "12");
    EXPECT_STREQ(scans.statistics().scan_max_text, "40");
}

TEST(McSummaryModel, ChangingLocationRefillsSubLocations) {
    ReadingStore store = store_with({mc_reading(PinWithTemperature, kKit, kC, 20.0, 1),
                                     mc_reading(PinWithTemperature, kLocation3, 0, 9.0, 2),
                                     mc_reading(Scan, kLocation3, kW, 30.0, 3)},
                                    ManagedKind::Mc);
    McSummaryModel model(store, 0, store.working_set);
    model.open(kFirstMaterials, kUsDate);
    EXPECT_EQ(model.locations(), (std::vector<int>{kKit, kLocation3}));
    EXPECT_EQ(model.sub_locations(), std::vector<int>{kC});
    model.choose_location(1, kFirstMaterials, kUsDate);
    EXPECT_EQ(model.location(), kLocation3);
    EXPECT_EQ(model.sub_locations(), (std::vector<int>{0, kW}));
    EXPECT_EQ(model.sub_location(), 0);
    EXPECT_STREQ(model.statistics().max_text, "9.0%");
}

TEST(McSummaryModel, KeepsItsJobWhenTheSelectionMovesOn) {
    ReadingStore store =
        store_with({mc_reading(PinWithTemperature, kKit, 0, 20.0, 1)}, ManagedKind::Mc);
    McSummaryModel model(store, 0, store.working_set);
    model.open(kFirstMaterials, kUsDate);
    // Another selection empties the shared working set; the open summary still has its job.
    store.working_set.clear();
    model.choose_location(0, kFirstMaterials, kUsDate);
    EXPECT_STREQ(model.statistics().count_text, "1");
}

TEST(McSummaryModel, EmptyJobGivesEmptyListsAndZeroFigures) {
    ReadingStore store;
    McSummaryModel model(store, 0, store.working_set);
    model.open(kFirstMaterials, kUsDate);
    EXPECT_TRUE(model.locations().empty());
    EXPECT_TRUE(model.sub_locations().empty());
    EXPECT_EQ(model.job(), 0);
    EXPECT_EQ(model.job_id(), 0);
    EXPECT_STREQ(model.statistics().count_text, "0");
}

TEST(RhSummaryModel, LocationsFiguresAndUnits) {
    // KIT (2) is listed before "3" (34), whatever order the readings came in.
    ReadingStore store =
        store_with({rh_reading(kLocation3, 50.0, 70.0, 1), rh_reading(kKit, 40.0, 60.0, 2),
                    rh_reading(kKit, 60.0, 80.0, 3)},
                   ManagedKind::Rh);
    RhSummaryModel model(store, 0, store.working_set);
    model.open(0, kUsDate);
    EXPECT_EQ(model.locations(), (std::vector<int>{kKit, kLocation3}));
    EXPECT_EQ(model.location(), kKit);
    EXPECT_STREQ(model.statistics().count_text, "2");
    EXPECT_EQ(model.celsius(), 0);
    model.choose_location(1, 1, kUsDate);
    EXPECT_EQ(model.location(), kLocation3);
    EXPECT_STREQ(model.statistics().count_text, "1");
    EXPECT_EQ(model.celsius(), 1);
    EXPECT_EQ(rh_minimum_label(model.celsius()), "Minimum GPK Value");
    EXPECT_EQ(rh_maximum_label(model.celsius()), "Maximum GPK Value");
    EXPECT_EQ(rh_minimum_label(0), "Minimum GPP Value");
    EXPECT_EQ(rh_maximum_label(0), "Maximum GPP Value");
}

TEST(RhSummaryModel, OutOfRangeTemperaturesCountButGiveZeroMinimumAndMaximum) {
    ReadingStore store = store_with(
        {rh_reading(kKit, 50.0, 176.5, 1), rh_reading(kKit, 40.0, 200.0, 2)}, ManagedKind::Rh);
    RhSummaryModel model(store, 0, store.working_set);
    model.open(0, kUsDate);
    EXPECT_STREQ(model.statistics().count_text, "2");
    EXPECT_STREQ(model.statistics().min_text, "0.00");
    EXPECT_STREQ(model.statistics().max_text, "0.00");
}

} // namespace
} // namespace qm
