#include "summaries/summary_printout.h"

#include <gtest/gtest.h>

#include <cstring>

namespace qm {
namespace {

JobStatistics sample_statistics() {
    JobStatistics s;
    std::strcpy(s.first_text, "8/18/03 1:28PM");
    std::strcpy(s.last_text, "8/28/03 4:54PM");
    std::strcpy(s.count_text, "4");
    std::strcpy(s.material_text, "Oak");
    std::strcpy(s.min_text, "9.5%");
    std::strcpy(s.max_text, "12.3%");
    std::strcpy(s.scan_count_text, "2");
    std::strcpy(s.scan_min_text, "12");
    std::strcpy(s.scan_max_text, "40");
    return s;
}

const SummaryHeading kHeading{"TRK ALFA", "Job #3", 12, 2, 1};

// The texts whose top lies at y, left to right by alignment.
std::vector<const PageText*> texts_at(const SummaryPage& page, int top) {
    std::vector<const PageText*> found;
    for (const PageText& t : page.texts) {
        if (t.box.top == top) {
            found.push_back(&t);
        }
    }
    return found;
}

TEST(SummaryPage, HeadingTexts) {
    EXPECT_EQ(mc_summary_heading(kHeading), "TRK ALFA\nJob #3   ID#12\nArea - KIT Location - W\n");
    EXPECT_EQ(rh_summary_heading(kHeading), "TRK ALFA\nJob #3   ID#12\nArea - KIT\n");
    const SummaryHeading titled{"No Title", "North wall", 7, 34, 2};
    EXPECT_EQ(mc_summary_heading(titled), "No Title\nNorth wall   ID#7\nArea - 3 Location - C\n");
}

TEST(SummaryPage, McPositionsOnAPage4800PixelsWide) {
    const SummaryPage page = mc_summary_page(4800, 6400, kHeading, sample_statistics(), "");
    EXPECT_EQ(page.unit, 8);
    ASSERT_FALSE(page.texts.empty());
    const PageText& heading = page.texts.front();
    EXPECT_EQ(heading.box, (PageRect{0, 440, 4800, 6400}));
    EXPECT_EQ(heading.align, PageAlign::Center);
    EXPECT_FALSE(heading.single_line);

    // Label at the left, value at the right of the row box 1200..3600; rows of a section 96 apart.
    const struct {
        int top;
        const char* label;
        const char* value;
    } rows[] = {{1056, "First", "8/18/03 1:28PM"}, {1152, "Last", "8/28/03 4:54PM"},
                {1440, "Number of Readings", "4"}, {1536, "Material", "Oak"},
                {1632, "Minimum Value", "9.5%"},   {1728, "Maximum Value", "12.3%"},
                {2016, "Number of Readings", "2"}, {2112, "Minimum Value", "12"},
                {2208, "Maximum Value", "40"}};
    for (const auto& row : rows) {
        const auto at = texts_at(page, row.top);
        ASSERT_EQ(at.size(), 2u) << row.label;
        EXPECT_EQ(at[0]->text, row.label);
        EXPECT_EQ(at[0]->align, PageAlign::Left);
        EXPECT_EQ(at[1]->text, row.value);
        EXPECT_EQ(at[1]->align, PageAlign::Right);
        EXPECT_EQ(at[0]->box, (PageRect{1200, row.top, 3600, 6400}));
        EXPECT_TRUE(at[1]->single_line);
    }
    for (const auto& [top, title] : {std::pair{1344, "PIN"}, std::pair{1920, "SCAN"}}) {
        const auto at = texts_at(page, top);
        ASSERT_EQ(at.size(), 1u);
        EXPECT_EQ(at[0]->text, title);
        EXPECT_EQ(at[0]->align, PageAlign::Center);
    }

    // "Notes:" at 312u and the notes from 336u, both cut at 408u, 10 pixels from either edge.
    const auto label = texts_at(page, 2496);
    ASSERT_EQ(label.size(), 1u);
    EXPECT_EQ(label[0]->text, "Notes:");
    EXPECT_EQ(label[0]->box, (PageRect{10, 2496, 4790, 3264}));
    ASSERT_TRUE(page.notes.has_value());
    EXPECT_EQ(page.notes->text, "");
    EXPECT_EQ(page.notes->box, (PageRect{10, 2688, 4790, 3264}));
}

TEST(SummaryPage, RhPositionsOnAPage4800PixelsWide) {
    JobStatistics s = sample_statistics();
    std::strcpy(s.min_text, "38.20");
    std::strcpy(s.max_text, "61.05");
    const SummaryPage page = rh_summary_page(4800, 6400, kHeading, s, 1, "");
    EXPECT_EQ(page.texts.front().box.top, 440);
    EXPECT_EQ(texts_at(page, 880)[0]->text, "Number of Readings");
    EXPECT_EQ(texts_at(page, 1168)[0]->text, "Minimum GPK Value");
    EXPECT_EQ(texts_at(page, 1168)[1]->text, "38.20");
    EXPECT_EQ(texts_at(page, 1264)[0]->text, "Maximum GPK Value");
    EXPECT_EQ(texts_at(page, 1264)[1]->text, "61.05");
    EXPECT_FALSE(page.notes.has_value());
    EXPECT_EQ(page.texts.size(), 11u); // the heading and five rows of two texts

    const SummaryPage fahrenheit = rh_summary_page(4800, 6400, kHeading, s, 0, "");
    EXPECT_EQ(texts_at(fahrenheit, 1168)[0]->text, "Minimum GPP Value");

    // With notes: "Notes:" at 194u and the notes from 218u to 290u, as the MC page places them.
    const SummaryPage noted = rh_summary_page(4800, 6400, kHeading, s, 0, "Damp\r\ncorner");
    ASSERT_EQ(noted.texts.size(), 12u);
    EXPECT_EQ(noted.texts.back().text, "Notes:");
    EXPECT_EQ(noted.texts.back().box, (PageRect{10, 1552, 4790, 2320}));
    ASSERT_TRUE(noted.notes.has_value());
    EXPECT_EQ(noted.notes->text, "Damp\r\ncorner");
    EXPECT_EQ(noted.notes->box, (PageRect{10, 1744, 4790, 2320}));
}

TEST(SummaryPage, NarrowPrinterStillGetsOnePixelUnits) {
    EXPECT_EQ(summary_unit(9866), 16);
    EXPECT_EQ(summary_unit(600), 1);
    EXPECT_EQ(summary_unit(599), 1);
    EXPECT_EQ(summary_unit(0), 1);
    const SummaryPage page = mc_summary_page(300, 400, kHeading, sample_statistics(), "x");
    EXPECT_EQ(page.texts.front().box.top, 55);
    EXPECT_EQ(texts_at(page, 132).size(), 2u);
}

} // namespace
} // namespace qm
