#include "analysis/readings_layout.h"

#include "analysis/histogram.h"
#include "store/job_index.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(ScrollTarget, FollowsTheRequestTable) {
    // A job of 20 readings: positions 0..19.
    const int m = 19;
    EXPECT_EQ(scroll_target(ScrollRequest::LineDown, 18, m), 19);
    EXPECT_EQ(scroll_target(ScrollRequest::LineDown, 19, m), std::nullopt);
    EXPECT_EQ(scroll_target(ScrollRequest::LineUp, 1, m), 0);
    EXPECT_EQ(scroll_target(ScrollRequest::LineUp, 0, m), std::nullopt);
    EXPECT_EQ(scroll_target(ScrollRequest::PageDown, 10, m), 19);
    EXPECT_EQ(scroll_target(ScrollRequest::PageDown, 2, m), 17);
    EXPECT_EQ(scroll_target(ScrollRequest::PageUp, 7, m), 0);
    EXPECT_EQ(scroll_target(ScrollRequest::PageUp, 18, m), 3);
    EXPECT_EQ(scroll_target(ScrollRequest::ThumbPosition, 3, m, 12), 12);
    EXPECT_EQ(scroll_target(ScrollRequest::ThumbPosition, 3, m, 40), 19);
    EXPECT_EQ(scroll_target(ScrollRequest::Other, 3, m, 12), std::nullopt);
}

TEST(ScrollTarget, EmptyJobStaysAtTheFirstRow) {
    EXPECT_EQ(scroll_target(ScrollRequest::PageDown, 0, -1), std::nullopt);
    EXPECT_EQ(scroll_target(ScrollRequest::LineDown, 0, -1), std::nullopt);
    EXPECT_EQ(scroll_target(ScrollRequest::ThumbPosition, 0, -1, 5), 0);
}

TEST(ReadingsViewHeading, JobIdOrScannerSlot) {
    McSlot slot;
    slot.id_value = 4711.0;
    slot.species = 2;
    EXPECT_EQ(readings_view_heading(ManagedKind::Rh, 0, "Job #1", 42, slot), "Job #1\nID# 42\n");
    EXPECT_EQ(readings_view_heading(ManagedKind::Mc, 1, "Job #1", 42, slot), "Job #1\nID# 42\n");
    EXPECT_EQ(readings_view_heading(ManagedKind::Mc, 0, "Job #1", 42, slot),
              "Job #1   ID#        4711\nAlder\n");
    // A scanner's slot without an ID value: the job's ID from job_ids, as the printout shows.
    slot.id_value = 0.0;
    EXPECT_EQ(readings_view_heading(ManagedKind::Mc, 0, "Job #1", 734, slot),
              "Job #1   ID#         734\nAlder\n");
}

ReadingStore two_job_store() {
    ReadingStore store;
    auto add = [&](std::int32_t job, std::int32_t kind) {
        Reading r;
        r.job = job;
        r.kind = kind;
        store.all_readings.push_back(r);
    };
    add(2, Pin);
    add(2, RhTemperature);
    add(4, Scan);
    add(2, PinWithTemperature);
    add(4, RhTemperature);
    add(4, RhTemperature);
    store.job_ids = {100, 200, 300, 400, 500};
    rebuild_job_lists(store);
    return store;
}

TEST(ManagedJob, NumbersIdsAndCounts) {
    ReadingStore store = two_job_store();
    EXPECT_EQ(job_at_position(store, ManagedKind::Mc, 1), 4);
    EXPECT_EQ(job_at_position(store, ManagedKind::Rh, 0), 2);
    EXPECT_EQ(job_at_position(store, ManagedKind::Rh, 2), 0);
    EXPECT_EQ(job_at_position(store, ManagedKind::Both, 0), 0);
    EXPECT_EQ(job_at_position(store, ManagedKind::Mc, -1), 0);
    EXPECT_EQ(job_id_of(store, 4), 400);
    EXPECT_EQ(job_id_of(store, 0), 0);
    EXPECT_EQ(job_id_of(store, 6), 0);
    EXPECT_EQ(count_job_readings(store, ManagedKind::Mc, 0), 2u);
    EXPECT_EQ(count_job_readings(store, ManagedKind::Rh, 1), 2u);
    EXPECT_EQ(count_job_readings(store, ManagedKind::Rh, 3), 0u);
    EXPECT_EQ(count_job_readings(store, ManagedKind::Both, 0), 0u);
}

TEST(ReadingsViewLayout, ColumnsStripesAndScrollBar) {
    const ReadingsViewLayout mc = readings_view_layout(7, 16, false);
    EXPECT_EQ(mc.heading, (ChartRect{55, 15, 553, 353}));
    ASSERT_EQ(mc.stripes.size(), 18u);
    EXPECT_EQ(mc.stripes[0], (ChartRect{50, 65, 560, 81}));
    EXPECT_EQ(mc.stripes[17], (ChartRect{50, 337, 560, 353}));
    ASSERT_EQ(mc.columns.size(), 8u);
    EXPECT_EQ(mc.columns[3].left, 50 + 25 * 7);
    EXPECT_EQ(mc.columns[3].right, 50 + 38 * 7);
    ASSERT_EQ(mc.rules.size(), 9u);
    EXPECT_EQ(mc.rules.back(), (ChartLine{50 + 74 * 7, 65, 50 + 74 * 7, 353}));
    EXPECT_EQ(mc.cell_box(0, 0), (ChartRect{50, 97, 92, 113}));
    EXPECT_EQ(mc.cell_box(0, 15).top, 65 + 17 * 16);
    EXPECT_EQ(mc.header_box(1), (ChartRect{92, 65, 162, 81}));
    EXPECT_EQ(mc.scroll_bar_x, 560);
    EXPECT_EQ(mc.scroll_bar_y, 65);

    // The RH/T table is one column of 9 character widths wider.
    const ReadingsViewLayout rh = readings_view_layout(7, 16, true);
    ASSERT_EQ(rh.columns.size(), 9u);
    EXPECT_EQ(rh.columns[8].left, 50 + 74 * 7);
    EXPECT_EQ(rh.columns[8].right, 50 + 83 * 7);
    EXPECT_EQ(rh.stripes[0].right, 560 + 63);
    EXPECT_EQ(rh.scroll_bar_x, 560 + 63);
    EXPECT_EQ(rh.heading.right, 553 + 63);
    EXPECT_EQ(rh.rules.size(), 10u);
}

} // namespace
} // namespace qm
