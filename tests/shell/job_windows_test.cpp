// The job windows on the real main window: the title on the job list and side panel, the summary
// opener, Save all Jobs and the Batch Print menu.
#include "shell/job_windows.h"

#include "shell/job_list_page.h"
#include "shell/shell_fixture.h"
#include "summaries/job_annotations.h"
#include "support/test_files.h"
#include "views/readings_view.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>

#include <filesystem>

namespace qm::test {
namespace {

class JobWindowsTest : public ShellTest {
protected:
    // MC jobs 1 and 3 listed; the second one selected.
    JobListPage& secondOfTwoSelected() {
        meterHolds({make_reading(PinWithTemperature, 1, 1), make_reading(Scan, 3, 2, 2)});
        open();
        press(kForwardCommand);
        JobListPage* page = window_->jobListPage();
        EXPECT_NE(page, nullptr);
        page->list()->item(1)->setSelected(true);
        return *page;
    }
    JobWindows& jobWindows() { return *window_->jobWindows(); }
    std::vector<QString> entries() const {
        std::vector<QString> texts;
        const JobListPage* page = window_->jobListPage();
        for (int i = 0; page != nullptr && i < page->list()->count(); ++i) {
            texts.push_back(page->entryText(i));
        }
        return texts;
    }
};

TEST_F(JobWindowsTest, NorthWallRetitlesTheSecondJob) {
    JobListPage& page = secondOfTwoSelected();
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "Job #3       ID#13");
    ASSERT_TRUE(page.button(JobListPage::kChangeTitleId)->isEnabled());
    press(JobListPage::kChangeTitleId);
    JobTitleDialog* dialog = jobWindows().titleDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->edit()->setText("North wall");
    dialog->okButton()->click();

    EXPECT_EQ(page.entryText(0), "Job #1");
    EXPECT_EQ(page.entryText(1), "North wall");
    EXPECT_EQ(page.selectedPositions(), std::vector<int>{1});
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "North wall");
    // Not a selection change: the quick job info keeps its figures.
    EXPECT_EQ(side(SidePanel::kReadingCountId), "1");
    EXPECT_EQ(job_title(state_->store, ManagedKind::Mc, 1), "North wall");

    // The summary of the retitled job prints under its title.
    jobWindows().viewSummary();
    ASSERT_NE(jobWindows().mcSummary(), nullptr);
    EXPECT_TRUE(jobWindows().summaryOpen());
    EXPECT_NE(jobWindows().mcSummary()->page(4800, 6400).texts.front().text.find("North wall"),
              std::string::npos);

    // Two jobs selected: no title window.
    page.list()->item(0)->setSelected(true);
    EXPECT_FALSE(page.button(JobListPage::kChangeTitleId)->isEnabled());
    EXPECT_TRUE(page.button(JobListPage::kPrintSelectedId)->isEnabled());
    EXPECT_FALSE(jobWindows().mcSummary()->appendNotesButton()->isEnabled());
}

// A title stays with its job and kind: Back and forward and the other kind's list leave it; a new
// download replaces it, and the file saved with it brings it back.
TEST_F(JobWindowsTest, TitleFollowsItsJobThroughBackDownloadAndFile) {
    meterHolds(both_kinds()); // MC jobs 1, 2 and 4; RH/T jobs 3 and 5
    open();
    press(kForwardCommand); // download: the data-kind page
    press(kForwardCommand); // RH/T
    window_->jobListPage()->list()->item(1)->setSelected(true);
    press(JobListPage::kChangeTitleId);
    jobWindows().titleDialog()->edit()->setText("Crawl space");
    jobWindows().titleDialog()->okButton()->click();
    dialogs_.answers = {path("job5.qmk")};
    press(JobListPage::kSaveId);

    window_->back();
    press(kSecondCommand); // MC
    EXPECT_EQ(entries(), (std::vector<QString>{"Job #1", "Job #2", "Job #4"}));
    window_->back();
    press(kForwardCommand); // RH/T again
    EXPECT_EQ(entries(), (std::vector<QString>{"Job #3", "Crawl space"}));
    window_->jobListPage()->list()->item(1)->setSelected(true);
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "Crawl space       ID#15");

    window_->back();
    window_->back();
    EXPECT_TRUE(questions_.empty()) << "the title was saved with its job";
    press(kForwardCommand); // a new download
    press(kForwardCommand);
    EXPECT_EQ(entries(), (std::vector<QString>{"Job #3", "Job #5"}));

    dialogs_.answers = {path("job5.qmk")};
    EXPECT_TRUE(window_->runFileCommand(FileCommand::Open).loaded);
    EXPECT_EQ(entries(), (std::vector<QString>{"Crawl space"}));
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// Open job windows show the options at once, and close when the data they show is replaced.
TEST_F(JobWindowsTest, OpenWindowsFollowTheOptionsAndCloseWithTheirData) {
    secondOfTwoSelected();
    dialogs_.answers = {path("job3.qmk")};
    press(JobListPage::kSaveId);
    jobWindows().viewSummary();
    McSummaryWindow* summary = jobWindows().mcSummary();
    ASSERT_NE(summary, nullptr);
    EXPECT_EQ(summary->field(McSummaryWindow::kFirstId)->text(), "8/18/03 1:02PM");
    auto* view = new ReadingsView(*state_, window_->metrics(), {}, window_.get());
    view->show();
    QCoreApplication::processEvents();
    PaintCounter counter;
    view->installEventFilter(&counter);

    window_->menuCommand(kMenuInternationalDate);
    EXPECT_EQ(summary->field(McSummaryWindow::kFirstId)->text(), "18/8/03 1:02PM");
    QCoreApplication::processEvents();
    EXPECT_GT(counter.paints, 0) << "the readings view repaints with the new date order";
    view->removeEventFilter(&counter);

    press(JobListPage::kChangeTitleId);
    const QPointer<JobTitleDialog> title = jobWindows().titleDialog();
    ASSERT_TRUE(title && title->isVisible());
    dialogs_.answers = {path("job3.qmk")};
    ASSERT_TRUE(window_->runFileCommand(FileCommand::Open).loaded);
    for (const QDialog* open : {static_cast<QDialog*>(summary), static_cast<QDialog*>(view),
                                static_cast<QDialog*>(title.data())}) {
        EXPECT_TRUE(open == nullptr || !open->isVisible());
    }
}

// Titles and notes changed since the data came are asked about before Close, Back to the start
// page or File > Open drops them: Cancel and a cancelled or failed save keep everything where it
// was, Discard goes on, Save writes every job of each kind holding changes first.
TEST_F(JobWindowsTest, UnsavedTitlesAndNotesAreAskedAboutBeforeTheyGo) {
    enum Action { Close, BackToStart, OpenFile };
    const std::string kNoFolder = path("none/rh.qmk");
    struct Case {
        Action action;
        std::vector<SaveAnswer> answers;
        std::vector<std::optional<std::string>> files; // the save dialogs' answers
        bool goesOn;
        std::size_t saveDialogs;
    };
    const Case cases[] = {
        {Close, {SaveAnswer::Cancel}, {}, false, 0},
        {Close, {SaveAnswer::Save}, {std::nullopt}, false, 1},
        {Close, {SaveAnswer::Save}, {kNoFolder}, false, 1},
        {Close, {SaveAnswer::Save}, {path("rh.qmk"), path("mc.qmk")}, true, 2},
        {Close, {SaveAnswer::Discard}, {}, true, 0},
        {BackToStart, {SaveAnswer::Cancel}, {}, false, 0},
        {BackToStart, {SaveAnswer::Discard}, {}, true, 0},
        {OpenFile, {SaveAnswer::Cancel}, {}, false, 0},
        {OpenFile, {SaveAnswer::Discard}, {}, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directory(folder_);
        state_ = std::make_unique<AppState>();
        state_->startup_folder = folder_;
        questions_.clear();
        dialogs_.calls.clear();
        meterHolds(both_kinds()); // MC jobs 1, 2 and 4; RH/T jobs 3 and 5
        open();
        press(kForwardCommand);
        press(kForwardCommand); // RH/T
        window_->jobListPage()->list()->item(1)->setSelected(true);
        press(JobListPage::kChangeTitleId);
        jobWindows().titleDialog()->edit()->setText("Crawl space");
        jobWindows().titleDialog()->okButton()->click();
        state_->store.annotations.set_notes(RecordKind::Mc, 2, "Wet");
        window_->back(); // to the data-kind page: nothing is dropped, nothing asked
        press(kForwardCommand);
        EXPECT_TRUE(questions_.empty());

        answers_ = c.answers;
        dialogs_.answers = c.files;
        bool wentOn = false;
        if (c.action == Close) {
            wentOn = window_->close();
        } else if (c.action == BackToStart) {
            window_->back();
            window_->back();
            wentOn = pageId() == kStartPageId;
        } else {
            window_->menuCommand(kMenuOpen);
            wentOn = !dialogs_.calls.empty() && !dialogs_.calls.back().save;
        }
        EXPECT_EQ(questions_,
                  std::vector<std::string>{"Save changes to the job titles and notes?"});
        EXPECT_EQ(wentOn, c.goesOn);
        EXPECT_EQ(dialogs_.calls.size() - (c.action == OpenFile && wentOn ? 1 : 0), c.saveDialogs);
        EXPECT_EQ(state_->store.annotations.title(RecordKind::Rh, 5), "Crawl space");
        if (c.saveDialogs == 2) {
            // Job 5's RH/T file holds the title, job 2's MC file the notes.
            std::string saved;
            for (const auto& file : std::filesystem::directory_iterator(folder_)) {
                saved += read_text(file.path());
            }
            EXPECT_NE(saved.find("Crawl space"), std::string::npos);
            EXPECT_NE(saved.find("Wet"), std::string::npos);
        }
        // What Back to the start page dropped is not asked about again; a cancelled open
        // dropped nothing, so Close asks again.
        if (wentOn && c.action != Close) {
            questions_.clear();
            EXPECT_TRUE(window_->close());
            EXPECT_EQ(questions_.size(), c.action == OpenFile ? 1u : 0u);
        }
    }
}

// Back closes the job windows of the list it leaves and clears the quick job info: nothing of
// the data stays on show for a save of the wrong data or job.
TEST_F(JobWindowsTest, BackClosesTheJobWindowsAndClearsTheQuickJobInfo) {
    meterHolds(both_kinds());
    open();
    press(kForwardCommand);
    press(kSecondCommand); // MC
    window_->jobListPage()->list()->item(0)->setSelected(true);
    const QPointer<ReadingsView> view =
        new ReadingsView(*state_, window_->metrics(), {}, window_.get());
    view->show();
    jobWindows().viewSummary();
    const QPointer<McSummaryWindow> summary = jobWindows().mcSummary();
    ASSERT_TRUE(summary);
    window_->back();
    press(kForwardCommand); // RH/T, nothing selected
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "Job ---");
    EXPECT_EQ(side(SidePanel::kReadingCountId), "----");
    EXPECT_TRUE(!view || !view->isVisible());
    EXPECT_TRUE(!summary || !summary->isVisible());
}

TEST_F(JobWindowsTest, SaveAllJobsWritesEveryJobAndKeepsTheSelection) {
    secondOfTwoSelected();
    dialogs_.answers = {path("all-ID011.qmk")};
    press(JobListPage::kSaveAllId);
    EXPECT_TRUE(std::filesystem::exists(path("all-ID011.qmk")));
    EXPECT_TRUE(std::filesystem::exists(path("all-ID013.qmk")));
    EXPECT_EQ(state_->selection.selected_count, 1);
    EXPECT_EQ(state_->selection.current_job_index, 1);
    EXPECT_EQ(state_->selection.save_mode, SaveMode::All);
}

TEST_F(JobWindowsTest, BatchPrintMenuFollowsAndWritesThePrintParts) {
    MainWindow& w = open();
    for (const int id : {kMenuPrintHistogram, kMenuPrintTable, kMenuPrintSummary}) {
        ASSERT_NE(w.menuAction(id), nullptr);
        EXPECT_TRUE(w.menuAction(id)->isChecked());
    }
    w.menuAction(kMenuPrintTable)->trigger();
    EXPECT_EQ(state_->settings.print_parts, 5);
    EXPECT_FALSE(w.menuAction(kMenuPrintTable)->isChecked());
    SettingsRecord stored;
    ASSERT_EQ(read_settings(folder_, stored), SettingsStatus::Ok);
    EXPECT_EQ(stored.print_parts, 5);
    w.menuCommand(kMenuPrintSummary);
    EXPECT_FALSE(w.menuAction(kMenuPrintSummary)->isChecked());
    EXPECT_TRUE(w.menuAction(kMenuPrintHistogram)->isChecked());
}

} // namespace
} // namespace qm::test
