// The fault matrix against rq5200-sim on a pseudo-terminal, for the faults that come from outside
// the emulator: the emulator killed in the middle of a download and the port held by another
// process. Each must end within its bound, tell the user, and leave the store as it was.
#include "link/download_procedure.h"
#include "link/link_transcript.h"
#include "shell/app_state.h"
#include "support/recording_download_ui.h"
#include "support/sim_process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace qm {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::RecordingDownloadUi;
using test::RecordingUi;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

using test::quick_timing;
using test::read_file;
using test::scratch_dir;
using test::Sim;
using test::spawn;
using test::wait_exit;

using FaultMatrix = test::SimDownload;

TEST_F(FaultMatrix, EmulatorKilledDuringTheDownload) {
    // A large memory image keeps the download going for seconds; the emulator dies early on.
    Sim sim({"--readings", "5000"});
    options.timing.read_polls = 40;
    std::thread killer([&sim] {
        std::this_thread::sleep_for(300ms);
        sim.kill_now();
    });
    const auto start = std::chrono::steady_clock::now();
    const DownloadResult result = download({sim.link});
    const auto took = std::chrono::steady_clock::now() - start;
    killer.join();

    EXPECT_EQ(result.outcome, DownloadOutcome::LinkLost);
    EXPECT_THAT(ui.boxes.messages.back().text, HasSubstr("No longer receiving message"));
    EXPECT_EQ(ui.events.back(), "end");
    expect_failed_download_kept_the_store();
    // The bound: 25 exchanges that each wait read_polls milliseconds, with room for a busy CI.
    EXPECT_LT(took, 20s);

    // The application can download again once a base unit is back.
    Sim again({});
    ui = RecordingDownloadUi();
    ASSERT_EQ(download({again.link}).outcome, DownloadOutcome::Completed);
    expect_store_holds(again.image);
}

TEST_F(FaultMatrix, PortHeldByAnotherProcessIsPassedOver) {
    options.timing.search_passes = 2;
    options.timing.listen_polls = 20;
    Sim sim({});
    // Another program holds the device the way this one does: an exclusive flock.
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(sim.link.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0 || ::flock(fd, LOCK_EX) != 0) {
            ::_exit(1);
        }
        ::pause();
        ::_exit(0);
    }
    std::this_thread::sleep_for(200ms);
    const DownloadResult result = download({sim.link});
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);

    EXPECT_EQ(result.outcome, DownloadOutcome::NotFound);
    EXPECT_FALSE(app.link.link_established);
    EXPECT_FALSE(ui.boxes.messages.empty());
    expect_failed_download_kept_the_store();

    // Once the other program lets go the same port works.
    options.timing = quick_timing();
    ui = RecordingDownloadUi();
    ASSERT_EQ(download({sim.link}).outcome, DownloadOutcome::Completed);
    expect_store_holds(sim.image);
}

} // namespace
} // namespace qm
