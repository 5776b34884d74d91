#include "summaries/mc_summary_window.h"

#include "summaries/job_annotations.h"
#include "summaries/job_notes_dialog.h"
#include "summaries/summary_window_fixture.h"

#include <QComboBox>
#include <QPushButton>
#include <QTextEdit>

namespace qm {
namespace {

using namespace test;

// Job 3: KIT with W and C readings, "3" with scan readings only; job 1 elsewhere.
class McSummaryWindowTest : public SummaryWindowTest {
protected:
    McSummaryWindowTest()
        : SummaryWindowTest({"Job #1", "Job #3"}, 1, "Job #3       ID#103",
                            {dated_reading(PinWithTemperature, 1, 0, 0, 30.0, 1),
                             dated_reading(PinWithTemperature, 3, kKit, kSubC, 20.0, 2),
                             dated_reading(PinWithTemperature, 3, kKit, kSubW, 10.0, 3),
                             dated_reading(PinWithTemperature, 3, kKit, kSubC, 22.5, 4),
                             dated_reading(Scan, 3, kLocation3, 0, 12.0, 5),
                             dated_reading(Scan, 3, kLocation3, 0, 40.0, 6)},
                            ManagedKind::Mc) {}
};

TEST_F(McSummaryWindowTest, OpensOnTheFirstGroupAndRecomputesOnEachChoice) {
    McSummaryWindow window(app, metrics, jobs);
    EXPECT_EQ(window.windowTitle(), "Job Summary");
    EXPECT_EQ(text(window, McSummaryWindow::kCaptionId), "Job #3       ID#103");
    ASSERT_EQ(window.locationList()->count(), 2);
    EXPECT_EQ(window.locationList()->itemText(0), "KIT");
    EXPECT_EQ(window.locationList()->itemText(1), "3");
    // W before C, and the W figures first.
    ASSERT_EQ(window.subLocationList()->count(), 2);
    EXPECT_EQ(window.subLocationList()->itemText(0), "W");
    EXPECT_EQ(window.subLocationList()->itemText(1), "C");
    EXPECT_EQ(text(window, McSummaryWindow::kCountId), "1");
    EXPECT_EQ(text(window, McSummaryWindow::kMaxId), "10.0%");
    // Material 3 of the "TRK ALFA" list.
    EXPECT_EQ(text(window, McSummaryWindow::kMaterialId), "Ash, Mountain");
    EXPECT_EQ(text(window, McSummaryWindow::kFirstId), "8/28/03 1:03AM");

    window.subLocationList()->setCurrentIndex(1);
    Q_EMIT window.subLocationList()->activated(1);
    EXPECT_EQ(text(window, McSummaryWindow::kCountId), "2");
    EXPECT_EQ(text(window, McSummaryWindow::kMinId), "20.0%");
    EXPECT_EQ(text(window, McSummaryWindow::kMaxId), "22.5%");
    EXPECT_EQ(text(window, McSummaryWindow::kLastId), "8/28/03 1:04AM");

    // The scan-only location: PIN figures 0, SCAN figures filled, one sub-location "F".
    window.locationList()->setCurrentIndex(1);
    Q_EMIT window.locationList()->activated(1);
    ASSERT_EQ(window.subLocationList()->count(), 1);
    EXPECT_EQ(window.subLocationList()->itemText(0), "F");
    EXPECT_EQ(text(window, McSummaryWindow::kCountId), "0");
    EXPECT_EQ(text(window, McSummaryWindow::kMinId), "0.0%");
    EXPECT_EQ(text(window, McSummaryWindow::kMaxId), "0.0%");
    EXPECT_EQ(text(window, McSummaryWindow::kScanCountId), "2");
    EXPECT_EQ(text(window, McSummaryWindow::kScanMinId), "12");
    EXPECT_EQ(text(window, McSummaryWindow::kScanMaxId), "40");

    // Selecting another job afterwards does not move the open window off its job.
    fill_working_set(app.store, 0, ManagedKind::Mc);
    app.selection.current_job_index = 0;
    Q_EMIT window.locationList()->activated(0);
    EXPECT_EQ(text(window, McSummaryWindow::kCountId), "1");
    EXPECT_EQ(window.model().job(), 3);
}

TEST_F(McSummaryWindowTest, OneWindowIsRememberedUntilItIsClosed) {
    QPointer<McSummaryWindow> remembered;
    McSummaryWindow* first = McSummaryWindow::showSummary(remembered, app, metrics, jobs, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    first->hide();
    // "View Summary" again shows the same window.
    EXPECT_EQ(McSummaryWindow::showSummary(remembered, app, metrics, jobs, nullptr), first);
    EXPECT_TRUE(first->isVisible());
    first->okButton()->click();
    flush_deletes();
    EXPECT_TRUE(remembered.isNull());
    McSummaryWindow* second = McSummaryWindow::showSummary(remembered, app, metrics, jobs, nullptr);
    ASSERT_NE(second, nullptr);
    second->reject(); // Escape
    flush_deletes();
    EXPECT_TRUE(remembered.isNull());
}

TEST_F(McSummaryWindowTest, AppendNotesEditsTheJobsNotesForOneSelectedJob) {
    store_job_notes(app.store, ManagedKind::Mc, 1, "Stored before");
    McSummaryWindow window(app, metrics, jobs);
    ASSERT_TRUE(window.appendNotesButton()->isEnabled());
    window.appendNotesButton()->click();
    QPointer<JobNotesDialog> notes = window.notesDialog();
    ASSERT_FALSE(notes.isNull());
    EXPECT_EQ(notes->edit()->toPlainText(), "Stored before");
    notes->edit()->setPlainText("North wall damp\nrecheck Friday");
    notes->okButton()->click();
    flush_deletes();
    EXPECT_TRUE(notes.isNull());
    EXPECT_EQ(job_notes(app.store, ManagedKind::Mc, 1), "North wall damp\r\nrecheck Friday");

    // Several jobs selected: the notes belong to no single job, so the button is off.
    jobs.selected = {0, 1};
    window.updateAnnotationButton();
    EXPECT_FALSE(window.appendNotesButton()->isEnabled());
    window.appendNotesButton()->click();
    EXPECT_EQ(window.notesDialog(), nullptr);
}

TEST_F(McSummaryWindowTest, PrintedPageAt4800PixelsWide) {
    store_job_notes(app.store, ManagedKind::Mc, 1, "North wall damp\nrecheck Friday");
    McSummaryWindow window(app, metrics, jobs);
    const auto words = printed_words(window);
    EXPECT_EQ(printed_page_count(), 1);
    constexpr double kTolerance = 16; // pixels: the glyph box starts a little below the text top

    // Heading from 440 pixels, centred on the page.
    const auto model = find_words(words, "TRK");
    ASSERT_EQ(model.size(), 1u);
    EXPECT_NEAR(model[0].top, 440, kTolerance);
    EXPECT_NEAR((model[0].left + find_words(words, "ALFA")[0].right) / 2, 2400, 40);
    ASSERT_EQ(find_words(words, "ID#103").size(), 1u);
    ASSERT_EQ(find_words(words, "Area").size(), 1u);

    // Rows: "First" at 132u = 1056, labels from 1200, values ending at 3600; rows 96 apart.
    const auto first = find_words(words, "First");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_NEAR(first[0].top, 1056, kTolerance);
    EXPECT_NEAR(first[0].left, 1200, kTolerance);
    const auto minimum = find_words(words, "Minimum");
    ASSERT_EQ(minimum.size(), 2u);
    const auto maximum = find_words(words, "Maximum");
    ASSERT_EQ(maximum.size(), 2u);
    EXPECT_NEAR(minimum[0].top, 1632, kTolerance);
    EXPECT_NEAR(maximum[0].top - minimum[0].top, 96, 2);
    EXPECT_NEAR(maximum[1].top - minimum[1].top, 96, 2);
    // The W group's one reading is both its minimum and its maximum.
    const auto value = find_words(words, "10.0%");
    ASSERT_EQ(value.size(), 2u);
    EXPECT_NEAR(value[0].right, 3600, kTolerance);
    EXPECT_NEAR(value[0].top, 1632, kTolerance);
    EXPECT_NEAR(value[1].top, 1728, kTolerance);
    EXPECT_NEAR(find_words(words, "SCAN")[0].top, 1920, kTolerance);

    // "Notes:" at 312u, the two lines of notes from 336u, each centred.
    const auto label = find_words(words, "Notes:");
    ASSERT_EQ(label.size(), 1u);
    EXPECT_NEAR(label[0].top, 2496, kTolerance);
    const auto north = find_words(words, "North");
    const auto friday = find_words(words, "Friday");
    ASSERT_EQ(north.size(), 1u);
    ASSERT_EQ(friday.size(), 1u);
    EXPECT_NEAR(north[0].top, 2688, kTolerance);
    EXPECT_GT(friday[0].top, north[0].top + 50);
    EXPECT_NEAR((north[0].left + find_words(words, "damp")[0].right) / 2, 2400, 40);
    EXPECT_NEAR((find_words(words, "recheck")[0].left + friday[0].right) / 2, 2400, 40);
}

TEST_F(McSummaryWindowTest, NotesAreWrappedAndCutAtTheBottomOfTheirBox) {
    // 40 numbered words on separate lines: 96 units hold only a few lines of 9-unit text.
    std::string notes;
    for (int i = 1; i <= 40; ++i) {
        notes += "line" + std::to_string(i) + "\n";
    }
    store_job_notes(app.store, ManagedKind::Mc, 1, notes);
    McSummaryWindow window(app, metrics, jobs);
    const auto words = printed_words(window);
    EXPECT_EQ(find_words(words, "line1").size(), 1u);
    EXPECT_TRUE(find_words(words, "line40").empty());
    for (const PdfWord& w : words) {
        EXPECT_LT(w.top, 3264) << w.text; // 408u
    }

    // Empty notes: the page ends with "Notes:" alone.
    store_job_notes(app.store, ManagedKind::Mc, 1, "");
    const SummaryPage page = window.page(4800, 6400);
    EXPECT_EQ(page.texts.back().text, "Notes:");
    ASSERT_TRUE(page.notes.has_value());
    EXPECT_EQ(page.notes->text, "");
}

} // namespace
} // namespace qm
