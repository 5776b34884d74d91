// Every move of the wizard: downloads of one kind, both kinds and none, Back from each step, and
// the continuation after a loaded save file.
#include "files/save_file.h"
#include "shell/job_list_page.h"
#include "shell_fixture.h"

#include <QListWidget>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace qm::test {
namespace {

class WizardTest : public ShellTest {
protected:
    std::string title() const { return page_title(state_->wizard); }
    int listEntries() const { return window_->jobListPage()->list()->count(); }
    bool backEnabled() const { return window_->sidePanel()->backEnabled(); }

    // A save file of the jobs at the given positions of a store holding `readings`.
    std::string saveFile(const std::string& name, std::vector<Reading> readings,
                         ManagedKind management) {
        ReadingStore store;
        store.all_readings = std::move(readings);
        rebuild_job_lists(store);
        WizardState wizard;
        wizard.step = WizardStep::ChosenJobList;
        wizard.management_type = management;
        Selection selection;
        selection.selected_count = 1;
        const std::string file = path(name);
        EXPECT_TRUE(write_save(file, wizard, selection, MeterIdentity{}, store).ok);
        return file;
    }
};

TEST_F(WizardTest, ManageDataWithMcJobsOnlyGoesStraightToTheMcJobList) {
    meterHolds(mc_only());
    open();
    press(kForwardCommand);
    EXPECT_EQ(downloads_, 1);
    EXPECT_EQ(pageId(), kJobListPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::JobList);
    EXPECT_EQ(state_->wizard.management_type, ManagedKind::Mc);
    EXPECT_EQ(title(), "III. Choose Jobs");
    EXPECT_EQ(listEntries(), 3);
    EXPECT_TRUE(backEnabled());
    EXPECT_EQ(side(SidePanel::kMcJobCountId), "3");
    EXPECT_EQ(side(SidePanel::kRhJobCountId), "0");
    EXPECT_EQ(state_->meter.model(), "TRK ALFA");

    // The forward command at this step shows the same page again.
    WizardPage* page = window_->currentPage();
    window_->sidePanel()->findChild<QPushButton*>("button1012")->click();
    EXPECT_EQ(window_->currentPage(), page);
    EXPECT_FALSE(page->isHidden());
    EXPECT_EQ(downloads_, 1);
}

TEST_F(WizardTest, ManageDataWithRhJobsOnlyGoesToTheRhJobList) {
    meterHolds(rh_only());
    open();
    press(kForwardCommand);
    EXPECT_EQ(pageId(), kJobListPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::JobList);
    EXPECT_EQ(state_->wizard.management_type, ManagedKind::Rh);
    EXPECT_EQ(listEntries(), 2);
    EXPECT_EQ(window_->jobListPage()->entryText(0), "Job #2");
}

TEST_F(WizardTest, FailedOrCancelledDownloadStaysOnThePageAndKeepsTheTitles) {
    meterHolds(mc_only());
    open();
    press(kForwardCommand);
    state_->store.annotations.set_title(RecordKind::Mc, 2, "North wall");
    window_->back();
    ASSERT_EQ(pageId(), kStartPageId);
    WizardPage* start = window_->currentPage();

    // The base unit answered, then the download failed: its own messages only.
    meterFails();
    press(kForwardCommand);
    EXPECT_EQ(downloads_, 2);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(window_->currentPage(), start);
    EXPECT_FALSE(start->isHidden());
    EXPECT_EQ(state_->wizard.step, WizardStep::ManagementType);
    EXPECT_EQ(state_->store.annotations.title(RecordKind::Mc, 2), "North wall");
    EXPECT_EQ(state_->store.all_readings.size(), mc_only().size());
}

TEST_F(WizardTest, EmptyMeterSaysSoAndStaysOnTheStartPage) {
    meterHolds({});
    open();
    press(kForwardCommand);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0],
              (RecordingUi::Message{"NO STORED READINGS!", "ERROR!", MessageIcon::Error}));
    EXPECT_EQ(pageId(), kStartPageId);
    EXPECT_FALSE(window_->currentPage()->isHidden());
    EXPECT_EQ(state_->wizard.step, WizardStep::ManagementType);
    EXPECT_EQ(state_->meter.model(), "No Title");
}

TEST_F(WizardTest, BothKindsLeadThroughTheDataKindPageAndBack) {
    meterHolds(both_kinds());
    open();
    press(kForwardCommand);
    EXPECT_EQ(pageId(), kDataKindPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::DataKind);
    EXPECT_TRUE(state_->wizard.bothKinds);
    EXPECT_EQ(title(), "II. Choose Data");
    EXPECT_TRUE(backEnabled());
    EXPECT_EQ(pageButton(kForwardCommand)->text(), "&RH/T");
    EXPECT_EQ(pageButton(kSecondCommand)->text(), " &MC");

    press(kForwardCommand); // RH/T
    EXPECT_EQ(pageId(), kJobListPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::ChosenJobList);
    EXPECT_EQ(state_->wizard.management_type, ManagedKind::Rh);
    EXPECT_EQ(title(), "III. Select Desired Jobs");
    EXPECT_EQ(listEntries(), 2);

    window_->back(); // to the data-kind page, without a new download
    EXPECT_EQ(pageId(), kDataKindPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::DataKind);
    EXPECT_EQ(downloads_, 1);

    press(kSecondCommand); // MC
    EXPECT_EQ(pageId(), kJobListPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::ChosenJobList);
    EXPECT_EQ(state_->wizard.management_type, ManagedKind::Mc);
    EXPECT_EQ(title(), "III. Select Desired Jobs");
    EXPECT_EQ(listEntries(), 3);

    window_->back();
    window_->back(); // from the data-kind page to the start
    EXPECT_EQ(pageId(), kStartPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::ManagementType);
    EXPECT_FALSE(state_->wizard.bothKinds);
    EXPECT_FALSE(backEnabled());
    EXPECT_EQ(state_->meter.model(), "No Title");
    EXPECT_EQ(side(SidePanel::kMcJobCountId), "0");
    EXPECT_EQ(side(SidePanel::kRhJobCountId), "0");
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "Job ---");

    press(kForwardCommand); // a new download
    EXPECT_EQ(downloads_, 2);
    EXPECT_EQ(pageId(), kDataKindPageId);
}

TEST_F(WizardTest, SavedFileOfOneKindOpensAtItsJobListWithBack) {
    const std::string file = saveFile("mc.qmk", mc_only(), ManagedKind::Mc);
    open();
    dialogs_.answers = {file};
    press(kSecondCommand); // Manage Files
    EXPECT_EQ(pageId(), kJobListPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::ChosenJobList);
    EXPECT_EQ(state_->wizard.management_type, ManagedKind::Mc);
    EXPECT_TRUE(state_->wizard.fromFile);
    EXPECT_EQ(title(), "III. Select Desired Jobs");
    EXPECT_TRUE(backEnabled());
    EXPECT_EQ(downloads_, 0);
    EXPECT_EQ(listEntries(), 1);

    // Back at the start the loaded file no longer stands in for the meter: Manage Data downloads.
    window_->back();
    EXPECT_EQ(pageId(), kStartPageId);
    EXPECT_FALSE(state_->wizard.fromFile);
    meterHolds(rh_only());
    press(kForwardCommand);
    EXPECT_EQ(downloads_, 1);
    EXPECT_EQ(state_->wizard.management_type, ManagedKind::Rh);
}

TEST_F(WizardTest, SavedFileWithBothKindsOpensTheDataKindPage) {
    // Job 3 has readings of both kinds; a save of it carries both.
    std::vector<Reading> readings = {make_reading(Pin, 3, 1), make_reading(RhTemperature, 3, 2)};
    const std::string file = saveFile("both.qmk", readings, ManagedKind::Mc);
    open();
    dialogs_.answers = {file};
    window_->menuAction(kMenuOpen)->trigger();
    EXPECT_EQ(pageId(), kDataKindPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::DataKind);
    EXPECT_TRUE(state_->wizard.bothKinds);
    EXPECT_EQ(downloads_, 0);
    EXPECT_TRUE(backEnabled());
}

TEST_F(WizardTest, CancelledOrRefusedFileLeavesThePageWhereItWas) {
    open();
    press(kSecondCommand); // cancelled
    EXPECT_EQ(pageId(), kStartPageId);
    EXPECT_FALSE(backEnabled());
    EXPECT_FALSE(state_->wizard.fromFile);

    // Bad magic, cut short, unreadable.
    const std::string junk = path("junk.qmk");
    std::ofstream(junk) << "no save file";
    const std::string whole = saveFile("whole.qmk", mc_only(), ManagedKind::Mc);
    const std::string cut = path("cut.qmk");
    std::filesystem::copy_file(whole, cut);
    std::filesystem::resize_file(cut, std::filesystem::file_size(whole) - 30);
    for (const std::string& refused : {junk, cut, path("missing.qmk")}) {
        SCOPED_TRACE(refused);
        ui_.messages.clear();
        dialogs_.answers = {refused};
        press(kSecondCommand);
        EXPECT_EQ(pageId(), kStartPageId);
        EXPECT_FALSE(window_->currentPage()->isHidden());
        EXPECT_FALSE(backEnabled());
        EXPECT_FALSE(state_->wizard.fromFile);
        ASSERT_EQ(ui_.messages.size(), 1u);
        EXPECT_NE(ui_.messages[0].text, "NO STORED READINGS!");
    }

    // The meter is still downloaded.
    ui_.messages.clear();
    meterHolds(rh_only());
    press(kForwardCommand);
    EXPECT_EQ(downloads_, 1);
    EXPECT_EQ(pageId(), kJobListPageId);
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(WizardTest, BackFromAJobListOfOneKindLeadsToAnotherDownload) {
    meterHolds(rh_only());
    open();
    press(kForwardCommand);
    ASSERT_TRUE(backEnabled());
    window_->sidePanel()->backButton()->click();
    EXPECT_EQ(pageId(), kStartPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::ManagementType);
    EXPECT_EQ(state_->store.rh_job_count, 0);
    EXPECT_FALSE(backEnabled());

    meterHolds(mc_only(), "VKM2 SCAN");
    press(kForwardCommand);
    EXPECT_EQ(downloads_, 2);
    EXPECT_EQ(state_->wizard.management_type, ManagedKind::Mc);
    EXPECT_EQ(listEntries(), 3);
    EXPECT_TRUE(backEnabled());
}

TEST_F(WizardTest, OpenedFileReplacesTheQuickJobInfoAndCounts) {
    meterHolds(mc_only());
    open();
    press(kForwardCommand);
    window_->jobListPage()->list()->item(0)->setSelected(true);
    ASSERT_EQ(side(SidePanel::kJobCaptionId), "Job #1       ID#11");

    dialogs_.answers = {saveFile("rh.qmk", rh_only(), ManagedKind::Rh)};
    window_->menuAction(kMenuOpen)->trigger();
    EXPECT_EQ(state_->wizard.management_type, ManagedKind::Rh);
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "Job ---");
    for (const int id :
         {SidePanel::kReadingCountId, SidePanel::kFirstReadingId, SidePanel::kLastReadingId}) {
        EXPECT_EQ(side(id), "----");
    }
    EXPECT_EQ(side(SidePanel::kMcJobCountId), "0");
    EXPECT_EQ(side(SidePanel::kRhJobCountId), "1");
}

TEST_F(WizardTest, OpenedFileWithoutReadingsSaysSoAtAFreshStartPage) {
    meterHolds(mc_only());
    open();
    press(kForwardCommand);
    dialogs_.answers = {saveFile("empty.qmk", {}, ManagedKind::Mc)};
    window_->menuAction(kMenuOpen)->trigger();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "NO STORED READINGS!");
    EXPECT_EQ(pageId(), kStartPageId);
    EXPECT_FALSE(window_->currentPage()->isHidden());
    EXPECT_EQ(state_->wizard.step, WizardStep::ManagementType);
    EXPECT_FALSE(state_->wizard.fromFile);
    EXPECT_FALSE(backEnabled());
    EXPECT_EQ(side(SidePanel::kMcJobCountId), "0");

    press(kForwardCommand); // the meter, not the empty file
    EXPECT_EQ(downloads_, 2);
    EXPECT_EQ(pageId(), kJobListPageId);
}

TEST_F(WizardTest, StepTitlesFollowTheTable) {
    WizardState w;
    w.step = WizardStep::ChosenJobList;
    w.management_type = ManagedKind::Mc;
    EXPECT_EQ(page_title(w), "III. Select Desired Jobs");
    w.filter = 1;
    EXPECT_EQ(page_title(w), "III. Choose Starting Date and Time");
    w.step = WizardStep::Reshown;
    EXPECT_EQ(page_title(w), "V. Choose Ending Date and Time");
    w.filter = 2;
    EXPECT_EQ(page_title(w), ""); // nothing at position 1 of the show-all row
    w.step = WizardStep::Restart;
    EXPECT_EQ(page_title(w), "Does not work1");
    w.step = WizardStep{9};
    EXPECT_EQ(page_title(w), "");
    w.step = WizardStep::Reshown;
    settle_transient_step(w);
    EXPECT_EQ(w.step, WizardStep::ChosenJobList);
}

} // namespace
} // namespace qm::test
