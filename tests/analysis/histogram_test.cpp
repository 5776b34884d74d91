#include "analysis/histogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace qm {
namespace {

TEST(HistogramBin, RoundsHalvesUpAndKeepsEveryValueInRange) {
    EXPECT_EQ(histogram_bin(12.5), 13);
    EXPECT_EQ(histogram_bin(12.49), 12);
    EXPECT_EQ(histogram_bin(1.5), 2);
    EXPECT_EQ(histogram_bin(2.49), 2);
    EXPECT_EQ(histogram_bin(0.5), 1);
    EXPECT_EQ(histogram_bin(0.49), 0);
    EXPECT_EQ(histogram_bin(0.0), 0);
    EXPECT_EQ(histogram_bin(-4.0), 0);
    EXPECT_EQ(histogram_bin(100.49), 100);
    // Beyond the last bin: counted in bin 100 instead of running off the array.
    EXPECT_EQ(histogram_bin(100.5), 100);
    EXPECT_EQ(histogram_bin(999.0), 100);
    EXPECT_EQ(histogram_bin(1e300), 100);
    EXPECT_EQ(histogram_bin(std::numeric_limits<double>::infinity()), 100);
    EXPECT_EQ(histogram_bin(std::nan("")), 0);
}

TEST(RebuildHistogramBins, CountsEverySlotOfTheChosenRecord) {
    JobRecords records;
    HistogramBins bins;
    bins.fill(7);
    rebuild_histogram_bins(bins, records, HistogramSource::Mc, 0);
    EXPECT_EQ(bins[0], kSlotsPerJob);
    for (int i = 1; i < kHistogramBinCount; ++i) {
        EXPECT_EQ(bins[static_cast<std::size_t>(i)], 0) << i;
    }

    // The state after a download: one slot of 1.0.
    records.seed_after_download();
    rebuild_histogram_bins(bins, records, HistogramSource::Mc, 0);
    EXPECT_EQ(bins[0], kSlotsPerJob - 1);
    EXPECT_EQ(bins[1], 1);

    records.rh(2).slots[5].value = 45.5;
    records.rh(2).slots[6].value = 45.4;
    rebuild_histogram_bins(bins, records, HistogramSource::Rh, 2);
    EXPECT_EQ(bins[46], 1);
    EXPECT_EQ(bins[45], 1);
    EXPECT_EQ(bins[0], kSlotsPerJob - 2);
    EXPECT_EQ(bins[1], 0); // the MC record's seed is not in the RH/T count

    for (int bad : {-1, kJobRecordCount}) {
        rebuild_histogram_bins(bins, records, HistogramSource::Mc, bad);
        EXPECT_EQ(bins, HistogramBins{});
    }
}

Reading reading(std::int32_t kind, double mc) {
    Reading r;
    r.kind = kind;
    r.mc = mc;
    return r;
}

TEST(RebuildHistogramBins, CountsEveryPinReadingOfTheWorkingSet) {
    // 2000 pin readings: none is dropped past the first 1600, and a bin may hold more than 1600.
    std::vector<Reading> working_set(1992, reading(Pin, 12.3));
    working_set.push_back(reading(PinWithTemperature, 19.5));
    working_set.push_back(reading(PinWithTemperature, 0.2));
    for (const double high : {99.5, 100.0, 100.5, 250.0}) {
        working_set.push_back(reading(Pin, high));
    }
    working_set.push_back(reading(Pin, 55.0));
    working_set.push_back(reading(Pin, 55.0));
    working_set.push_back(reading(Scan, 450));
    working_set.push_back(reading(7, 30)); // a kind without a name, shown like a scan
    working_set.push_back(reading(RhTemperature, 60));
    ASSERT_EQ(working_set.size(), 2003u);

    HistogramBins bins;
    bins.fill(9);
    EXPECT_EQ(rebuild_histogram_bins(bins, working_set), 2);
    EXPECT_EQ(bins[12], 1992);
    EXPECT_EQ(bins[20], 1);
    EXPECT_EQ(bins[55], 2);
    EXPECT_EQ(bins[0], 1);
    EXPECT_EQ(bins[100], 4);
    EXPECT_EQ(std::accumulate(bins.begin(), bins.end(), 0), 2000);
    EXPECT_EQ(histogram_scale(bins), 32);
    const HistogramChart chart = histogram_screen_chart(bins, 2);
    EXPECT_EQ(chart.y_labels.front().text, "3200");
    EXPECT_EQ(chart.bars.size(), 99u + 2u); // bins 20 and 55 are stubs at scale 32

    EXPECT_EQ(rebuild_histogram_bins(bins, {}), 0);
    EXPECT_EQ(bins, HistogramBins{});
}

TEST(HistogramLeftOutNote, NamesEachKindOfReadingNotShown) {
    HistogramBins bins{};
    bins[40] = 5;
    EXPECT_EQ(histogram_left_out_note(bins, 0), "");
    EXPECT_FALSE(histogram_screen_chart(bins).note.has_value());
    EXPECT_EQ(histogram_left_out_note(bins, 12), "12 scan readings are not shown");
    EXPECT_EQ(histogram_left_out_note(bins, 1), "1 scan reading is not shown");
    bins[100] = 1;
    bins[0] = 3;
    EXPECT_EQ(histogram_left_out_note(bins, 0), "1 reading of 99.5% or more is not shown\n"
                                                "3 readings below 0.5% are not shown");
    bins[100] = 2;
    bins[0] = 1;
    EXPECT_EQ(histogram_left_out_note(bins, 4), "4 scan readings are not shown\n"
                                                "2 readings of 99.5% or more are not shown\n"
                                                "1 reading below 0.5% is not shown");

    // Under the x axis: below "%MC" on screen, below the title on paper.
    const HistogramChart screen = histogram_screen_chart(HistogramBins{}, 12);
    ASSERT_TRUE(screen.note.has_value());
    EXPECT_EQ(screen.note->text, "12 scan readings are not shown");
    EXPECT_EQ(screen.note->box, (ChartRect{50, 448, 551, 508}));
    const HistogramChart paper = histogram_print_chart(HistogramBins{}, 4800, "T", 12);
    ASSERT_TRUE(paper.note.has_value());
    EXPECT_EQ(paper.note->box, (ChartRect{400, 4000, 4400, 4480}));
    EXPECT_GT(paper.note->box.top, paper.title->box.bottom);
}

TEST(HistogramScale, FollowsTheLargestCountOfBinsOneToHundred) {
    HistogramBins bins{};
    bins[0] = 1600; // bin 0 never counts
    EXPECT_EQ(histogram_scale(bins), 1);
    const std::pair<int, int> cases[] = {{100, 1},   {101, 2},   {150, 2},  {200, 2},  {201, 4},
                                         {400, 4},   {401, 8},   {800, 8},  {801, 16}, {1600, 16},
                                         {1601, 32}, {3200, 32}, {3201, 64}};
    for (auto [count, scale] : cases) {
        bins[100] = count; // bin 100 counts for the scale though it is not drawn
        EXPECT_EQ(histogram_scale(bins), scale) << count;
    }
}

TEST(HistogramChart, BarsStubsAndLabelsFollowTheScale) {
    HistogramBins bins{};
    bins[0] = 1000;
    bins[10] = 150;
    bins[20] = 7;
    bins[30] = 2;
    bins[31] = 1;
    bins[100] = 40;
    const HistogramChart chart = histogram_screen_chart(bins);
    EXPECT_EQ(chart.scale, 2);
    EXPECT_EQ(chart.frame, (ChartRect{50, 10, 551, 411}));
    ASSERT_EQ(chart.y_labels.size(), 21u);
    EXPECT_EQ(chart.y_labels.front().text, "200");
    EXPECT_EQ(chart.y_labels[1].text, "190");
    EXPECT_EQ(chart.y_labels.back().text, "0");
    EXPECT_EQ(chart.y_labels[3].box.top, 65);
    EXPECT_EQ(chart.y_labels[3].box.right, 40);
    ASSERT_EQ(chart.x_labels.size(), 21u);
    EXPECT_EQ(chart.x_labels[4].text, "20");
    EXPECT_EQ(chart.x_labels[4].box, (ChartRect{140, 417, 160, 500}));

    // Bins 1..99 each draw one bar; bins 30 and 31 (count <= s) draw a stub first.
    ASSERT_EQ(chart.bars.size(), 99u + 2u);
    auto bar_of = [&](int bin) {
        ChartRect last{};
        for (const ChartRect& r : chart.bars) {
            if (r.left == 50 + 5 * bin) {
                last = r;
            }
        }
        return last;
    };
    EXPECT_EQ(bar_of(20), (ChartRect{150, 398, 156, 411})); // 7 / 2 = 3 steps of 4 above 410
    EXPECT_EQ(bar_of(10), (ChartRect{100, 110, 106, 411}));
    EXPECT_EQ(bar_of(1), (ChartRect{55, 410, 61, 411}));    // empty: a one-pixel line
    EXPECT_EQ(bar_of(30), (ChartRect{200, 406, 206, 411})); // 2 / 2 = 1 step: 4 pixels
    EXPECT_EQ(bar_of(31).top, 410);                         // 1 / 2 = 0 steps: only the stub shows
    int stubs = 0;
    for (const ChartRect& r : chart.bars) {
        stubs += r.top == 406 && r.left == 205 ? 1 : 0;
        EXPECT_LT(r.left, 50 + 5 * 100) << "bin 100 is never drawn";
    }
    EXPECT_EQ(stubs, 1);
}

TEST(HistogramChart, TicksAndGridLines) {
    const HistogramChart chart = histogram_screen_chart(HistogramBins{});
    auto has = [&](ChartLine l) {
        for (const ChartLine& t : chart.ticks) {
            if (t == l) {
                return true;
            }
        }
        return false;
    };
    EXPECT_EQ(chart.ticks.size(), 202u);
    EXPECT_TRUE(has({50, 409, 50, 415}));
    EXPECT_TRUE(has({55, 415, 55, 405}));
    EXPECT_TRUE(has({75, 403, 75, 417}));
    EXPECT_TRUE(has({550, 403, 550, 417}));
    EXPECT_TRUE(has({45, 10, 55, 10}));
    EXPECT_TRUE(has({45, 14, 55, 14}));
    EXPECT_TRUE(has({43, 30, 57, 30}));
    EXPECT_TRUE(has({43, 50, 551, 50}));
    EXPECT_TRUE(has({43, 410, 551, 410}));
    EXPECT_TRUE(has({43, 390, 57, 390}));
}

TEST(HistogramChart, PrintedChartScalesByResolution) {
    HistogramBins bins{};
    bins[20] = 7;
    const HistogramChart chart = histogram_print_chart(bins, 4800, "T");
    EXPECT_EQ(chart.factor, 8);
    EXPECT_EQ(chart.frame, (ChartRect{400, 80, 4400, 3288}));
    EXPECT_EQ(chart.y_title_x, 0);
    EXPECT_EQ(chart.y_title_y, 2200);
    EXPECT_EQ(chart.title_font_height, 120);
    EXPECT_EQ(chart.title_font_width, 48);
    ASSERT_TRUE(chart.title.has_value());
    EXPECT_EQ(chart.title->box, (ChartRect{0, 3600, 4800, 3920}));
    bool grid_at_550a = false;
    for (const ChartLine& t : chart.ticks) {
        grid_at_550a |= t == ChartLine{344, 400, 4400, 400};
    }
    EXPECT_TRUE(grid_at_550a);

    // Below 600 dots the chart keeps its screen size instead of collapsing to the corner.
    EXPECT_EQ(histogram_print_factor(599), 1);
    EXPECT_EQ(histogram_print_factor(0), 1);
    EXPECT_EQ(histogram_print_factor(9866), 16);
    EXPECT_EQ(histogram_print_chart(bins, 300, "T").frame, (ChartRect{50, 10, 550, 411}));
}

TEST(HistogramPrintTitle, NamesModelJobAndSpecies) {
    MeterIdentity meter;
    meter.set_model("TRK 500");
    McSlot slot;
    slot.species = 3;
    slot.id_value = 1234.0;
    EXPECT_EQ(histogram_print_title(meter, "Job #2", slot, 734),
              "Histogram for TRK 500 Job #2 - Apitong");
    meter.set_model("VKM2 SCAN");
    meter.apply_model_rules();
    EXPECT_EQ(histogram_print_title(meter, "Job #2", slot, 734),
              "Histogram for VKM2 SCAN \r\nJob #2 - ID#        1234 - Apitong");
    slot.species = 9999; // past the species table
    EXPECT_EQ(histogram_print_title(meter, "Job #2", slot, 734),
              "Histogram for VKM2 SCAN \r\nJob #2 - ID#        1234 - ");
    // A slot without an ID value: the job's ID from job_ids.
    slot.id_value = 0.0;
    EXPECT_EQ(histogram_print_title(meter, "Job #2", slot, 734),
              "Histogram for VKM2 SCAN \r\nJob #2 - ID#         734 - ");
}

} // namespace
} // namespace qm
