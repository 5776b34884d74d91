#include "summaries/job_annotations.h"

#include "summaries/fake_job_list.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using test::FakeJobList;

constexpr std::int32_t kRh = 0;
constexpr std::int32_t kMc = 1;

TEST(JobTitle, ReplacesTheSelectedEntryAndTheCaption) {
    JobRecords records;
    FakeJobList list;
    list.entries = {"Job #1", "Job #3"};
    list.selected = {1};
    list.caption = "Job #3       ID#12";
    ASSERT_TRUE(store_job_title(records, kMc, list, "North wall"));
    EXPECT_EQ(list.entries, (std::vector<std::string>{"Job #1", "North wall"}));
    EXPECT_EQ(list.selected_positions(), std::vector<int>{1});
    EXPECT_EQ(list.caption, "North wall");
    EXPECT_EQ(job_title(records, kMc, 1), "North wall");
    EXPECT_EQ(job_title(records, kRh, 1), "");

    // Nothing selected: the first job; an empty title leaves an empty entry and caption.
    list.selected.clear();
    ASSERT_TRUE(store_job_title(records, kRh, list, ""));
    EXPECT_EQ(list.entries[0], "");
    EXPECT_EQ(list.caption, "");
    EXPECT_EQ(list.selected_positions(), std::vector<int>{0});
}

TEST(JobTitle, LongTitlesAreCutAndOtherKindsChangeNothing) {
    JobRecords records;
    FakeJobList list;
    list.entries = {"Job #1"};
    const std::string long_title(300, 't');
    ASSERT_TRUE(store_job_title(records, kMc, list, long_title));
    EXPECT_EQ(job_title(records, kMc, 0), std::string(259, 't'));
    EXPECT_EQ(list.entries[0], std::string(259, 't'));

    list.entries = {"Job #1"};
    list.caption = "Job #1       ID#5";
    EXPECT_FALSE(store_job_title(records, 2, list, "Both kinds"));
    EXPECT_EQ(list.entries[0], "Job #1");
    EXPECT_EQ(list.caption, "Job #1       ID#5");
}

TEST(JobNotes, StoredPerKindAndPositionShownAgainClearedWithTheRecords) {
    JobRecords records;
    ASSERT_TRUE(store_job_notes(records, kMc, 1, "Wet behind sink\nRecheck Friday"));
    EXPECT_EQ(job_notes(records, kMc, 1), "Wet behind sink\nRecheck Friday");
    EXPECT_EQ(job_notes(records, kRh, 1), "");
    EXPECT_EQ(job_notes(records, kMc, 0), "");

    ASSERT_TRUE(store_job_notes(records, kRh, 0, std::string(1200, 'n')));
    EXPECT_EQ(job_notes(records, kRh, 0), std::string(999, 'n'));
    // A shorter text replaces a longer one completely.
    ASSERT_TRUE(store_job_notes(records, kRh, 0, "short"));
    EXPECT_EQ(job_notes(records, kRh, 0), "short");

    EXPECT_FALSE(store_job_notes(records, 2, 0, "x"));
    EXPECT_FALSE(store_job_notes(records, kMc, -1, "x"));
    EXPECT_FALSE(store_job_notes(records, kMc, kJobRecordCount, "x"));
    EXPECT_EQ(job_notes(records, kMc, kJobRecordCount), "");

    // Opening a save file or downloading clears the records: every title and note is empty.
    FakeJobList list;
    list.entries = {"Job #1"};
    store_job_title(records, kMc, list, "Kitchen");
    records.clear();
    EXPECT_EQ(job_notes(records, kMc, 1), "");
    EXPECT_EQ(job_notes(records, kRh, 0), "");
    EXPECT_EQ(job_title(records, kMc, 0), "");
}

TEST(JobAnnotations, OfferedForOneJobAtATime) {
    FakeJobList list;
    list.entries = {"Job #1", "Job #2", "Job #4"};
    EXPECT_TRUE(annotation_allowed(list));
    EXPECT_EQ(annotation_position(list), 0);
    list.selected = {2};
    EXPECT_TRUE(annotation_allowed(list));
    EXPECT_EQ(annotation_position(list), 2);
    list.selected = {0, 2};
    EXPECT_FALSE(annotation_allowed(list));
}

} // namespace
} // namespace qm
