#include "summaries/job_annotations.h"

#include "store/job_index.h"
#include "summaries/fake_job_list.h"
#include "summaries/summary_test_data.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using test::FakeJobList;

constexpr ManagedKind kRh = ManagedKind::Rh;
constexpr ManagedKind kMc = ManagedKind::Mc;

// MC jobs 1 and 3, RH/T job 3: the MC list holds jobs 1 and 3, the RH/T list job 3.
ReadingStore store_with_jobs() {
    return test::store_of({{Pin, 1}, {Pin, 3}, {RhTemperature, 3}});
}

TEST(JobTitle, ReplacesTheSelectedEntryAndTheCaption) {
    ReadingStore store = store_with_jobs();
    FakeJobList list;
    list.entries = {"Job #1", "Job #3"};
    list.selected = {1};
    list.caption = "Job #3       ID#12";
    ASSERT_TRUE(store_job_title(store, kMc, list, "North wall"));
    EXPECT_EQ(list.entries, (std::vector<std::string>{"Job #1", "North wall"}));
    EXPECT_EQ(list.selected_positions(), std::vector<int>{1});
    EXPECT_EQ(list.caption, "North wall");
    // Kept with job 3 of the MC records, whatever position lists it later.
    EXPECT_EQ(store.annotations.title(RecordKind::Mc, 3), "North wall");
    EXPECT_EQ(job_title(store, kMc, 1), "North wall");
    EXPECT_EQ(job_title(store, kRh, 0), "");

    // Nothing selected: the first job; an empty title leaves an empty entry and caption.
    list.selected.clear();
    ASSERT_TRUE(store_job_title(store, kRh, list, ""));
    EXPECT_EQ(list.entries[0], "");
    EXPECT_EQ(list.caption, "");
    EXPECT_EQ(list.selected_positions(), std::vector<int>{0});
}

TEST(JobTitle, LongTitlesAreCutAndOtherKindsOrPositionsChangeNothing) {
    ReadingStore store = store_with_jobs();
    FakeJobList list;
    list.entries = {"Job #1"};
    ASSERT_TRUE(store_job_title(store, kMc, list, std::string(300, 't')));
    EXPECT_EQ(job_title(store, kMc, 0), std::string(259, 't'));
    EXPECT_EQ(list.entries[0], std::string(259, 't'));

    list.entries = {"Job #1", "Job #3", "Job #9"};
    list.caption = "Job #1       ID#5";
    list.selected = {2}; // no MC job stands at position 2
    EXPECT_FALSE(store_job_title(store, kMc, list, "Nowhere"));
    list.selected = {0};
    EXPECT_FALSE(store_job_title(store, ManagedKind::Both, list, "Both kinds"));
    EXPECT_EQ(list.entries, (std::vector<std::string>{"Job #1", "Job #3", "Job #9"}));
    EXPECT_EQ(list.caption, "Job #1       ID#5");
}

TEST(JobNotes, StoredPerKindAndJobWithCrLfLineBreaks) {
    ReadingStore store = store_with_jobs();
    ASSERT_TRUE(store_job_notes(store, kMc, 1, "Wet behind sink\nRecheck Friday"));
    EXPECT_EQ(job_notes(store, kMc, 1), "Wet behind sink\r\nRecheck Friday");
    EXPECT_EQ(store.annotations.notes(RecordKind::Mc, 3), "Wet behind sink\r\nRecheck Friday");
    EXPECT_EQ(job_notes(store, kRh, 0), ""); // RH/T job 3 has its own notes
    EXPECT_EQ(job_notes(store, kMc, 0), "");

    EXPECT_FALSE(store_job_notes(store, ManagedKind::Both, 0, "x"));
    EXPECT_FALSE(store_job_notes(store, kMc, -1, "x"));
    EXPECT_FALSE(store_job_notes(store, kMc, 2, "x"));
    EXPECT_EQ(job_notes(store, kMc, kMaxJobs), "");
}

// The texts as the job records and the save file hold them: no NUL, notes with CR LF, the
// limits counted in stored bytes.
TEST(JobAnnotations, TextsAreStoredWithinTheirFields) {
    struct Case {
        std::string given;
        std::string stored;
    };
    const std::string nul_inside("ab\0cd", 5);
    for (const Case& c : std::vector<Case>{
             {"one\ntwo", "one\r\ntwo"},
             {"one\r\ntwo\rthree\n\n", "one\r\ntwo\r\nthree\r\n\r\n"},
             {nul_inside, "ab"},
             {std::string(1200, 'n'), std::string(999, 'n')},
             // A line break that would end at byte 1000 goes whole.
             {std::string(998, 'n') + "\nx", std::string(998, 'n')},
             {std::string(997, 'n') + "\nx", std::string(997, 'n') + "\r\n"},
             // Tabs stay; other control characters, whatever window or file they came from,
             // become spaces.
             {"a\tb\x1b[2Jc\x7f\x01", "a\tb [2Jc  "},
         }) {
        SCOPED_TRACE(c.given.substr(0, 20));
        JobAnnotations a;
        ASSERT_TRUE(a.set_notes(RecordKind::Rh, 5, c.given));
        EXPECT_EQ(a.notes(RecordKind::Rh, 5), c.stored);
    }
    EXPECT_EQ(notes_with_newlines("a\r\nb\rc\nd"), "a\nb\nc\nd");
    EXPECT_EQ(stored_notes_length("a\nb\r\nc"), 7u);

    JobAnnotations a;
    EXPECT_TRUE(a.empty());
    EXPECT_TRUE(a.set_title(RecordKind::Mc, 1, nul_inside));
    EXPECT_EQ(a.title(RecordKind::Mc, 1), "ab");
    // A title stays one line: a line break, a tab or an escape is a space.
    EXPECT_TRUE(a.set_title(RecordKind::Mc, 2, "North\twall\r\n\x1b[2J"));
    EXPECT_EQ(a.title(RecordKind::Mc, 2), "North wall   [2J");
    EXPECT_TRUE(title_text_clean("North wall \x96 \xe9"));
    EXPECT_FALSE(title_text_clean("North\twall"));
    EXPECT_TRUE(notes_text_clean("Damp\r\n\tnear sink\n"));
    EXPECT_FALSE(notes_text_clean("Damp\x1b[31m"));
    EXPECT_FALSE(notes_text_clean(std::string("a\0b", 3)));
    EXPECT_TRUE(a.has_any(RecordKind::Mc, 1));
    EXPECT_FALSE(a.has_any(RecordKind::Rh, 1));
    for (const std::int32_t job : {0, 6, -1}) {
        EXPECT_FALSE(a.set_title(RecordKind::Mc, job, "x"));
        EXPECT_FALSE(a.set_notes(RecordKind::Rh, job, "x"));
        EXPECT_EQ(a.title(RecordKind::Mc, job), "");
    }
    a.clear();
    EXPECT_TRUE(a.empty());
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
