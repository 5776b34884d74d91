#include "summaries/rh_summary_window.h"

#include "summaries/summary_window_fixture.h"

#include <QComboBox>

namespace qm {
namespace {

using namespace test;

// Location "3" first in arrival order; KIT's readings are all out of range (above 176 F).
class RhSummaryWindowTest : public SummaryWindowTest {
protected:
    RhSummaryWindowTest()
        : SummaryWindowTest({"Job #2"}, 0, "Job #2       ID#102",
                            {dated_reading(RhTemperature, 2, kLocation3, 0, 70.0, 1),
                             dated_reading(RhTemperature, 2, kKit, 0, 176.5, 2),
                             dated_reading(RhTemperature, 2, kKit, 1, 190.0, 3)},
                            ManagedKind::Rh) {}
};

TEST_F(RhSummaryWindowTest, KitBeforeThreeOutOfRangeCountedUnitsAtRecomputation) {
    RhSummaryWindow window(app, metrics, jobs);
    EXPECT_EQ(window.windowTitle(), "RH/T Summary");
    EXPECT_EQ(text(window, RhSummaryWindow::kCaptionId), "Job #2       ID#102");
    ASSERT_EQ(window.locationList()->count(), 2);
    EXPECT_EQ(window.locationList()->itemText(0), "KIT");
    EXPECT_EQ(window.locationList()->itemText(1), "3");
    // KIT: both readings counted, neither enters the minimum or maximum.
    EXPECT_EQ(text(window, RhSummaryWindow::kCountId), "2");
    EXPECT_EQ(text(window, RhSummaryWindow::kMinId), "0.00");
    EXPECT_EQ(text(window, RhSummaryWindow::kMaxId), "0.00");
    EXPECT_EQ(text(window, RhSummaryWindow::kMinLabelId), "Minimum GPP Value");
    EXPECT_EQ(text(window, RhSummaryWindow::kMaxLabelId), "Maximum GPP Value");

    // A change to Celsius shows at the next recomputation (the options' refresh or a location
    // change), labels and values together.
    app.settings.celsius = 1;
    EXPECT_EQ(text(window, RhSummaryWindow::kMinLabelId), "Minimum GPP Value");
    window.refreshFigures();
    EXPECT_EQ(text(window, RhSummaryWindow::kMinLabelId), "Minimum GPK Value");
    EXPECT_EQ(text(window, RhSummaryWindow::kCountId), "2");
    app.settings.celsius = 0;
    window.refreshFigures();
    EXPECT_EQ(text(window, RhSummaryWindow::kMaxLabelId), "Maximum GPP Value");
    app.settings.celsius = 1;
    window.locationList()->setCurrentIndex(1);
    Q_EMIT window.locationList()->activated(1);
    EXPECT_EQ(text(window, RhSummaryWindow::kMinLabelId), "Minimum GPK Value");
    EXPECT_EQ(text(window, RhSummaryWindow::kMaxLabelId), "Maximum GPK Value");
    EXPECT_EQ(text(window, RhSummaryWindow::kCountId), "1");
    EXPECT_EQ(text(window, RhSummaryWindow::kMinId), text(window, RhSummaryWindow::kMaxId));
    EXPECT_NE(text(window, RhSummaryWindow::kMinId), "0.00");
}

TEST_F(RhSummaryWindowTest, AnOpenWindowIsNeitherReplacedNorBroughtForward) {
    QPointer<RhSummaryWindow> remembered;
    RhSummaryWindow* first = RhSummaryWindow::showSummary(remembered, app, metrics, jobs, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    first->hide();
    EXPECT_EQ(RhSummaryWindow::showSummary(remembered, app, metrics, jobs, nullptr), first);
    EXPECT_FALSE(first->isVisible());
    first->close();
    flush_deletes();
    EXPECT_TRUE(remembered.isNull());
}

TEST_F(RhSummaryWindowTest, PrintedPageAt4800PixelsWideUnderCelsiusWithTheJobsNotes) {
    app.settings.celsius = 1;
    app.store.annotations.set_notes(RecordKind::Rh, 2, "Crawl space damp");
    RhSummaryWindow window(app, metrics, jobs);
    const auto words = printed_words(window);
    constexpr double kTolerance = 16;
    EXPECT_NEAR(find_words(words, "TRK")[0].top, 440, kTolerance);
    ASSERT_EQ(find_words(words, "KIT").size(), 1u);
    const auto number = find_words(words, "Number");
    ASSERT_EQ(number.size(), 1u);
    EXPECT_NEAR(number[0].top, 880, kTolerance);
    EXPECT_NEAR(number[0].left, 1200, kTolerance);
    const auto maximum = find_words(words, "Maximum");
    ASSERT_EQ(maximum.size(), 1u);
    EXPECT_NEAR(maximum[0].top, 1264, kTolerance);
    EXPECT_EQ(find_words(words, "GPK").size(), 2u);
    EXPECT_TRUE(find_words(words, "GPP").empty());
    // "Notes:" 36u under the last row, the notes 24u under it, as on the MC summary.
    const auto label = find_words(words, "Notes:");
    ASSERT_EQ(label.size(), 1u);
    EXPECT_NEAR(label[0].top, 1552, kTolerance);
    const auto crawl = find_words(words, "Crawl");
    ASSERT_EQ(crawl.size(), 1u);
    EXPECT_NEAR(crawl[0].top, 1744, kTolerance);
}

} // namespace
} // namespace qm
