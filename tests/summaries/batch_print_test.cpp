#include "summaries/batch_print.h"

#include "store/job_index.h"
#include "summaries/summary_test_data.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using Steps = std::vector<BatchStep>;

// MC jobs 1 and 3, RH/T job 2.
ReadingStore two_kinds() {
    return test::store_of({{PinWithTemperature, 1}, {Scan, 3}, {RhTemperature, 2}, {Pin, 3}});
}

TEST(BatchPrint, PlanFollowsThePrintPartsForEachSelectedJob) {
    const ReadingStore store = two_kinds();
    const std::vector<int> both{1, 0};
    EXPECT_EQ(batch_print_plan(7, ManagedKind::Mc, store, both),
              (Steps{{0, BatchPart::Table},
                     {0, BatchPart::Summary},
                     {0, BatchPart::Histogram},
                     {1, BatchPart::Table},
                     {1, BatchPart::Summary},
                     {1, BatchPart::Histogram}}));
    EXPECT_EQ(batch_print_plan(1, ManagedKind::Mc, store, both),
              (Steps{{0, BatchPart::Summary}, {1, BatchPart::Summary}}));
    EXPECT_EQ(batch_print_plan(6, ManagedKind::Mc, store, {1}),
              (Steps{{1, BatchPart::Table}, {1, BatchPart::Histogram}}));
    EXPECT_EQ(batch_print_plan(0, ManagedKind::Mc, store, both), Steps{});
    // RH/T jobs have no histogram; a position past the list prints nothing.
    EXPECT_EQ(batch_print_plan(7, ManagedKind::Rh, store, {0, 1}),
              (Steps{{0, BatchPart::Table}, {0, BatchPart::Summary}}));
    EXPECT_EQ(batch_print_plan(4, ManagedKind::Rh, store, {0}), Steps{});
    EXPECT_EQ(batch_print_plan(7, ManagedKind::Both, store, {0}), Steps{});
}

TEST(BatchPrint, AllJobPositionsOfTheManagedKind) {
    const ReadingStore store = two_kinds();
    EXPECT_EQ(all_job_positions(store, ManagedKind::Mc), (std::vector<int>{0, 1}));
    EXPECT_EQ(all_job_positions(store, ManagedKind::Rh), std::vector<int>{0});
    EXPECT_EQ(all_job_positions(store, ManagedKind::Both), std::vector<int>{});
    EXPECT_EQ(all_job_positions(ReadingStore{}, ManagedKind::Mc), std::vector<int>{});
}

TEST(BatchPrint, SelectedPositionsAsRecorded) {
    Selection selection;
    selection.selected_count = 2;
    selection.selected_jobs[0] = 0;
    selection.selected_jobs[1] = 1;
    EXPECT_EQ(selected_positions(selection), (std::vector<int>{0, 1}));
    selection.selected_count = -1;
    EXPECT_EQ(selected_positions(selection), std::vector<int>{});
}

} // namespace
} // namespace qm
