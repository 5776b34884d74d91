// The program against the emulated base unit: "Manage Data" downloads through the wait dialog,
// which can be cancelled, and closing the window ends a download.
#include "shell_fixture.h"
#include "views/wait_dialog.h"

#include <QImage>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>

namespace qm::test {
namespace {

TEST(WaitDialogTest, LampsSwapColoursAndStayDarkWhileSearching) {
    const LayoutMetrics metrics = LayoutMetrics::measure(window_font(), dialog_font());
    WaitDialog dialog(metrics, nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Please Wait..");
    EXPECT_EQ(dialog.progressText(), "Received 0 packets (0 bytes)");
    dialog.setProgress(3, 216);
    EXPECT_EQ(dialog.progressText(), "Received 3 packets (216 bytes)");
    EXPECT_EQ(dialog.leftLampRect(),
              QRect(dialog.width() / 2 - 40, 6 * metrics.charHeight, 35, 35));

    auto colours = [&](LampState state) {
        dialog.setLampState(state);
        const QImage image = dialog.grab().toImage();
        return std::pair{image.pixelColor(dialog.leftLampRect().center()),
                         image.pixelColor(dialog.rightLampRect().center())};
    };
    const QColor green(0, 255, 0);
    const QColor red(255, 0, 0);
    EXPECT_EQ(colours(LampState::Phase0), std::pair(green, red));
    EXPECT_EQ(colours(LampState::Phase1), std::pair(red, green));
    const auto off = colours(LampState::Off);
    EXPECT_NE(off.first, green);
    EXPECT_NE(off.first, red);

    // Cancel, Escape and the close box all ask the download to stop; the dialog stays.
    EXPECT_FALSE(dialog.cancelRequested());
    dialog.findChild<QPushButton*>("cancel")->click();
    EXPECT_TRUE(dialog.cancelRequested());
}

class DownloadTest : public SimShellTest {
protected:
    // A window with the real serial download; message boxes are still recorded.
    MainWindow& openWithSerialDownload() {
        window_ = std::make_unique<MainWindow>(*state_, serialServices());
        window_->show();
        return *window_;
    }

    // Looks at the wait dialog every few milliseconds while the download runs; `act` may act
    // on it once packets arrive.
    void watch(std::function<void(WaitDialog&)> act = {}) {
        watcher_ = new QTimer(window_.get());
        QObject::connect(watcher_, &QTimer::timeout, [this, act] {
            auto* dialog = window_->findChild<WaitDialog*>("waitDialog");
            if (dialog == nullptr || !dialog->isVisible()) {
                return;
            }
            lamps_.insert(dialog->lampState());
            progress_.insert(dialog->progressText());
            if (act && dialog->lampState() != LampState::Off) {
                act(*dialog);
            }
        });
        watcher_->start(5);
    }

    static void cancelAtFirstPacket(WaitDialog& dialog) {
        if (!dialog.cancelRequested()) {
            dialog.findChild<QPushButton*>("cancel")->click();
        }
    }

    QTimer* watcher_ = nullptr;
    std::set<LampState> lamps_;
    std::set<QString> progress_;
};

TEST_F(DownloadTest, ManageDataDownloadsTheBaseUnitAndShowsItsJobs) {
    MainWindow& w = openWithSerialDownload();
    watch();
    w.pageCommand(kForwardCommand);

    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(state_->link.link_established);
    EXPECT_EQ(state_->meter.model(), "TRK ALFA");
    EXPECT_GT(state_->store.all_readings.size(), 0u);
    const int mc = state_->store.mc_job_count;
    const int rh = state_->store.rh_job_count;
    EXPECT_EQ(pageId(), mc > 0 && rh > 0 ? kDataKindPageId : kJobListPageId);
    EXPECT_EQ(side(SidePanel::kMcJobCountId), QString::number(mc));
    EXPECT_EQ(side(SidePanel::kRhJobCountId), QString::number(rh));

    // The lamps swapped at the packets, and the dialog counted them.
    EXPECT_TRUE(lamps_.count(LampState::Phase0) + lamps_.count(LampState::Phase1) >= 1);
    bool counted = false;
    for (const QString& text : progress_) {
        counted = counted || (text.startsWith("Received ") && !text.startsWith("Received 0 "));
    }
    EXPECT_TRUE(counted);
    const auto* dialog = w.findChild<WaitDialog*>("waitDialog");
    EXPECT_TRUE(dialog == nullptr || !dialog->isVisible());
    EXPECT_FALSE(w.downloading());
}

TEST_F(DownloadTest, CancelStaysOnTheStartPageAndLeavesTheBaseUnitReady) {
    MainWindow& w = openWithSerialDownload();
    watch(cancelAtFirstPacket);
    w.pageCommand(kForwardCommand);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(state_->store.all_readings.empty());
    EXPECT_EQ(pageId(), kStartPageId);
    EXPECT_FALSE(w.currentPage()->isHidden());
    EXPECT_TRUE(w.isVisible());

    // The same emulator, not restarted, answers the next "Manage Data".
    watcher_->stop();
    w.pageCommand(kForwardCommand);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_GT(state_->store.all_readings.size(), 0u);
    EXPECT_NE(pageId(), kStartPageId);
}

TEST_F(DownloadTest, FailedDownloadShowsOnlyItsOwnMessagesAndStaysOnThePage) {
    startSim({"--link-lost", "2"});
    MainWindow& w = openWithSerialDownload();
    w.pageCommand(kForwardCommand);
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, "No longer receiving message");
    for (const auto& message : ui_.messages) {
        EXPECT_NE(message.text, "NO STORED READINGS!");
    }
    EXPECT_EQ(pageId(), kStartPageId);
    EXPECT_FALSE(w.currentPage()->isHidden());
}

TEST_F(DownloadTest, JobTitlesSurviveACancelledAndAFailedDownload) {
    MainWindow& w = openWithSerialDownload();
    state_->store.annotations.set_title(RecordKind::Mc, 1, "North wall");
    watch(cancelAtFirstPacket);
    w.pageCommand(kForwardCommand);
    EXPECT_EQ(state_->store.annotations.title(RecordKind::Mc, 1), "North wall");

    watcher_->stop();
    startSim({"--link-lost", "2"});
    w.pageCommand(kForwardCommand);
    EXPECT_EQ(ui_.messages.back().text, "No longer receiving message");
    EXPECT_EQ(state_->store.annotations.title(RecordKind::Mc, 1), "North wall");
}

TEST_F(DownloadTest, ClosingTheWindowDuringTheDownloadEndsBoth) {
    MainWindow& w = openWithSerialDownload();
    watch([&w](WaitDialog&) { w.close(); });
    w.pageCommand(kForwardCommand);
    EXPECT_TRUE(state_->store.all_readings.empty());
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.downloading());

    // Ended like a cancel: the next program finds the base unit ready.
    MainWindow& next = openWithSerialDownload();
    next.pageCommand(kForwardCommand);
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_GT(state_->store.all_readings.size(), 0u);
}

} // namespace
} // namespace qm::test
