// The job list page: entries, selection by clicks, quick job info, the enabling rules, Select All,
// save, export and View.
#include "shell/job_list_page.h"
#include "shell_fixture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>

#include <filesystem>

namespace qm::test {
namespace {

class JobListTest : public ShellTest {
protected:
    // Downloads the meter and shows the job list of the given kind.
    JobListPage& jobList(std::vector<Reading> readings) {
        meterHolds(std::move(readings));
        open();
        press(kForwardCommand);
        JobListPage* page = window_->jobListPage();
        EXPECT_NE(page, nullptr);
        return *page;
    }
    void click(JobListPage& page, int row) {
        QListWidgetItem* item = page.list()->item(row);
        item->setSelected(!item->isSelected()); // each click toggles an entry
    }
    bool enabled(JobListPage& page, int id) { return page.button(id)->isEnabled(); }
};

TEST_F(JobListTest, ListsTheJobsAndShowsTheQuickInfoOfTheSelectedOne) {
    // MC jobs 1, 2 and 4; job 4 has two readings, the second in the 24-hour clock.
    std::vector<Reading> readings = mc_only();
    readings[3].hour_code = 0x16; // 16 o'clock
    readings[3].day = 28;
    JobListPage& page = jobList(readings);
    ASSERT_EQ(page.list()->count(), 3);
    EXPECT_EQ(page.entryText(0), "Job #1");
    EXPECT_EQ(page.entryText(1), "Job #2");
    EXPECT_EQ(page.entryText(2), "Job #4");
    EXPECT_TRUE(page.selectedPositions().empty());
    for (const int id : {JobListPage::kViewId, JobListPage::kSaveId, JobListPage::kExportId}) {
        EXPECT_FALSE(enabled(page, id));
    }
    for (const int id :
         {JobListPage::kPrintSelectedId, JobListPage::kSaveAllId, JobListPage::kChangeTitleId}) {
        EXPECT_NE(page.button(id), nullptr);
    }

    click(page, 2);
    EXPECT_EQ(state_->selection.current_job_index, 2);
    EXPECT_EQ(state_->selection.selected_count, 1);
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "Job #4       ID#14");
    EXPECT_EQ(side(SidePanel::kReadingCountId), "2");
    EXPECT_EQ(side(SidePanel::kFirstReadingId), "8/18/03 1:03PM");
    EXPECT_EQ(side(SidePanel::kLastReadingId), "8/28/03 16:07");
    EXPECT_EQ(state_->store.working_set.size(), 2u);
    EXPECT_TRUE(enabled(page, JobListPage::kViewId));
    EXPECT_TRUE(enabled(page, JobListPage::kSaveId));
    EXPECT_TRUE(enabled(page, JobListPage::kExportId));

    // The date order changes the quick info at the next selection only.
    window_->menuAction(kMenuInternationalDate)->trigger();
    EXPECT_EQ(side(SidePanel::kFirstReadingId), "8/18/03 1:03PM");
    click(page, 2);
    click(page, 2);
    EXPECT_EQ(side(SidePanel::kFirstReadingId), "18/8/03 1:03PM");

    // A second job in addition: only saving stays possible, and the quick info goes.
    click(page, 0);
    EXPECT_EQ(state_->selection.selected_count, 2);
    EXPECT_EQ(state_->selection.current_job_index, 0);
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "Job ---");
    EXPECT_EQ(side(SidePanel::kReadingCountId), "----");
    EXPECT_FALSE(enabled(page, JobListPage::kViewId));
    EXPECT_TRUE(enabled(page, JobListPage::kSaveId));
    EXPECT_FALSE(enabled(page, JobListPage::kExportId));

    // Nothing selected.
    click(page, 0);
    click(page, 2);
    EXPECT_EQ(state_->selection.selected_count, 0);
    EXPECT_EQ(state_->selection.current_job_index, 0);
    EXPECT_EQ(side(SidePanel::kFirstReadingId), "----");
    EXPECT_FALSE(enabled(page, JobListPage::kSaveId));
}

TEST_F(JobListTest, SelectAllTogglesAndEveryNewPageStartsBySelecting) {
    meterHolds(both_kinds());
    open();
    press(kForwardCommand);
    ASSERT_EQ(pageId(), kDataKindPageId);
    press(kSecondCommand); // MC: jobs 1, 2, 4
    JobListPage* list = window_->jobListPage();
    QPushButton* toggle = list->button(JobListPage::kSelectAllId);
    EXPECT_EQ(toggle->text(), "Select &All");

    toggle->click();
    EXPECT_EQ(list->selectedPositions(), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(toggle->text(), "De-Select &All");
    EXPECT_EQ(state_->selection.selected_count, 3);
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "Job ---");
    EXPECT_EQ(side(SidePanel::kReadingCountId), "----");
    EXPECT_TRUE(list->button(JobListPage::kSaveId)->isEnabled());
    EXPECT_FALSE(list->button(JobListPage::kViewId)->isEnabled());
    // A report takes any number of jobs, from the page or from the File menu.
    EXPECT_TRUE(list->button(JobListPage::kReportId)->isEnabled());
    EXPECT_TRUE(window_->menuAction(kMenuReport)->isEnabled());

    toggle->click();
    EXPECT_TRUE(list->selectedPositions().empty());
    EXPECT_EQ(toggle->text(), "Select &All");
    EXPECT_EQ(state_->selection.selected_count, 0);
    EXPECT_FALSE(window_->menuAction(kMenuReport)->isEnabled());

    // Leave the page with everything selected; the next page's "Select All" selects.
    toggle->click();
    window_->back();
    press(kForwardCommand); // RH/T: jobs 3, 5
    list = window_->jobListPage();
    toggle = list->button(JobListPage::kSelectAllId);
    EXPECT_EQ(toggle->text(), "Select &All");
    toggle->click();
    EXPECT_EQ(list->selectedPositions(), (std::vector<int>{0, 1}));
}

TEST_F(JobListTest, SaveUsesOneFileOrSeveralByTheSelection) {
    JobListPage& page = jobList(mc_only());
    click(page, 0);
    dialogs_.answers = {path("one.qmk")};
    page.button(JobListPage::kSaveId)->click();
    EXPECT_EQ(state_->selection.save_mode, SaveMode::OneJob);
    ASSERT_FALSE(dialogs_.calls.empty());
    EXPECT_EQ(dialogs_.calls.back().request.file_name, "5-12-2009ID011.qmk");
    EXPECT_TRUE(std::filesystem::exists(path("one.qmk")));

    click(page, 2);
    dialogs_.answers = {path("5-12-2009ID011.qmk")};
    page.button(JobListPage::kSaveId)->click();
    EXPECT_EQ(state_->selection.save_mode, SaveMode::Selected);
    EXPECT_TRUE(std::filesystem::exists(path("5-12-2009ID011.qmk")));
    EXPECT_TRUE(std::filesystem::exists(path("5-12-2009ID014.qmk")));
    // Only the save of several jobs closes with where each went.
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].caption, "Save");
    EXPECT_NE(ui_.messages[0].text.find(": " + path("5-12-2009ID014.qmk")), std::string::npos);
}

TEST_F(JobListTest, ExportWritesTheSelectedJobAndViewCallsTheOpener) {
    JobListPage& page = jobList(rh_only());
    int opened = 0;
    window_->setViewOpener([&](MainWindow& w) {
        ++opened;
        EXPECT_EQ(w.jobListEntryText(w.state().selection.current_job_index), "Job #3");
    });
    click(page, 1);
    dialogs_.answers = {path("job3.csv")};
    page.button(JobListPage::kExportId)->click();
    EXPECT_EQ(dialogs_.calls.back().request.file_name, "5-12-2009ID013.csv");
    EXPECT_TRUE(std::filesystem::exists(path("job3.csv")));

    page.button(JobListPage::kViewId)->click();
    EXPECT_EQ(opened, 1);
}

TEST_F(JobListTest, KeyboardMovesBetweenTheControlsAndReturnPressesTheDefault) {
    JobListPage& page = jobList(mc_only());
    window_->show();
    window_->activateWindow();
    QApplication::setActiveWindow(window_.get());
    page.list()->setFocus();
    ASSERT_TRUE(page.list()->hasFocus());
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
    QApplication::sendEvent(page.list(), &tab);
    EXPECT_FALSE(page.list()->hasFocus());
    EXPECT_NE(QApplication::focusWidget(), nullptr);

    // Space selects the current entry; Return on the list presses "Save Selected Jobs".
    page.list()->setFocus();
    page.list()->setCurrentRow(1, QItemSelectionModel::NoUpdate);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(page.list(), &space);
    EXPECT_EQ(page.selectedPositions(), std::vector<int>{1});
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(page.list(), &enter);
    ASSERT_EQ(dialogs_.calls.size(), 1u);
    EXPECT_TRUE(dialogs_.calls[0].save);

    // The arrow keys move between buttons.
    QPushButton* view = page.button(JobListPage::kViewId);
    view->setFocus();
    QKeyEvent right(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(view, &right);
    EXPECT_FALSE(view->hasFocus());
}

} // namespace
} // namespace qm::test
