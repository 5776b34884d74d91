#include "analysis/job_printing.h"

#include "analysis/readings_layout.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

TEST(JobPageLayout, RowsPerPageFollowTheStripesThatFit) {
    const JobPageLayout a = job_page_layout(4800, 6400);
    EXPECT_EQ(a.unit, 9);
    EXPECT_EQ(a.line_height, 99);
    EXPECT_EQ(a.bottom_limit, 6301);
    EXPECT_EQ(a.stripe_pairs, 28);
    EXPECT_EQ(a.rows_per_page, 54);

    const JobPageLayout b = job_page_layout(2400, 3200);
    EXPECT_EQ(b.unit, 4);
    EXPECT_EQ(b.bottom_limit, 3156);
    EXPECT_EQ(b.stripe_pairs, 32);
    EXPECT_EQ(b.rows_per_page, 62);

    // A pair whose top plus two lines reaches the bottom limit exactly is not drawn.
    const JobPageLayout edge = job_page_layout(525, 65 + 22 + 11);
    EXPECT_EQ(edge.bottom_limit, 87);
    EXPECT_EQ(edge.stripe_pairs, 0);
    EXPECT_EQ(job_page_layout(525, 65 + 22 + 12).stripe_pairs, 1);
}

TEST(JobPageLayout, CoarseOrShortPagesStillPrintEveryRow) {
    // Below 525 dots u would be 0 and every position the left edge.
    const JobPageLayout coarse = job_page_layout(300, 400);
    EXPECT_EQ(coarse.unit, 1);
    EXPECT_EQ(coarse.bottom_limit, 389);
    EXPECT_EQ(coarse.stripe_pairs, 14);
    // Too short for two stripes: S - 2 would be 0 or less and the printing would never end.
    EXPECT_EQ(job_page_layout(4800, 600).stripe_pairs, 0);
    EXPECT_EQ(job_page_layout(4800, 600).rows_per_page, 1);
    EXPECT_EQ(job_page_layout(4800, 0).rows_per_page, 1);
}

TEST(JobPageCount, OnePageAtLeast) {
    EXPECT_EQ(job_page_count(0, 54), 1);
    EXPECT_EQ(job_page_count(1, 54), 1);
    EXPECT_EQ(job_page_count(54, 54), 1);
    EXPECT_EQ(job_page_count(55, 54), 2);
    EXPECT_EQ(job_page_count(109, 54), 3);
    EXPECT_EQ(job_page_count(5, 0), 5);
}

TEST(JobPageHeading, ModelEntryIdAndPage) {
    MeterIdentity meter;
    meter.set_model("TRK 500");
    EXPECT_EQ(job_page_heading(meter, "Job #2", 17, 3), "TRK 500\nJob #2\nID# 17\nPage 3");
}

ReadingRow row(const std::string& first) {
    ReadingRow r;
    r.cells.fill("x");
    r.cells[0] = first;
    r.emc = "9.3%";
    return r;
}

TEST(BuildJobPage, MoistureTablePositions) {
    const JobPageLayout layout = job_page_layout(2400, 3200); // u = 4
    const std::vector<ReadingRow> rows = {row("1"), row("2")};
    const JobPage page = build_job_page(layout, "H", rows, ManagedKind::Mc, 0);

    EXPECT_EQ(page.heading.box, (ChartRect{100, 4, 2200, 3156}));
    ASSERT_EQ(page.stripes.size(), 64u);
    EXPECT_EQ(page.stripes[0].rect, (ChartRect{100, 260, 2200, 304}));
    EXPECT_FALSE(page.stripes[0].grey);
    EXPECT_EQ(page.stripes[1].rect, (ChartRect{100, 304, 2200, 348}));
    EXPECT_TRUE(page.stripes[1].grey);

    ASSERT_EQ(page.cells.size(), 16u);
    EXPECT_EQ(page.cells[0].text, "1");
    EXPECT_EQ(page.cells[0].box, (ChartRect{100, 396, 240, 440}));
    EXPECT_EQ(page.cells[7].box, (ChartRect{1920, 396, 2120, 440}));
    EXPECT_EQ(page.cells[8].text, "2");
    EXPECT_EQ(page.cells[8].box.top, 440);

    ASSERT_EQ(page.headers.size(), 8u);
    EXPECT_EQ(page.headers[4].text, "MC");
    EXPECT_EQ(page.headers[7].box, (ChartRect{1900, 260, 2120, 304}));
    ASSERT_EQ(page.rules.size(), 8u);
    const int rule_x[] = {25, 60, 130, 210, 300, 360, 420, 475};
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(page.rules[i], (ChartLine{rule_x[i] * 4, 260, rule_x[i] * 4, 3156}));
    }
}

TEST(BuildJobPage, RhTableHasTheEmcAndTheUnitHeader) {
    const JobPageLayout layout = job_page_layout(4800, 6400);
    const JobPage fahrenheit = build_job_page(layout, "H", {row("1")}, ManagedKind::Rh, 0);
    ASSERT_EQ(fahrenheit.headers.size(), 9u);
    EXPECT_EQ(fahrenheit.headers[4].text, "GPP");
    EXPECT_EQ(fahrenheit.headers[8].text, "EMC");
    ASSERT_EQ(fahrenheit.cells.size(), 9u);
    EXPECT_EQ(fahrenheit.cells[8].text, "9.3%");
    EXPECT_EQ(fahrenheit.cells[8].box.right, 530 * 9);
    EXPECT_EQ(build_job_page(layout, "H", {}, ManagedKind::Rh, 1).headers[4].text, "GPK");

    // Rows beyond the page's share are left for the next page.
    const std::vector<ReadingRow> many(60, row("r"));
    EXPECT_EQ(build_job_page(layout, "H", many, ManagedKind::Rh, 0).cells.size(), 54u * 9u);
}

} // namespace
} // namespace qm
