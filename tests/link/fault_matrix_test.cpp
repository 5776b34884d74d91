// The fault matrix against rq5200-sim on a pseudo-terminal, for the faults that come from outside
// the emulator: the emulator killed in the middle of a download and the port held by another
// process. Each must end within its bound, tell the user, and leave the store as it was.
#include "link/download_procedure.h"
#include "link/link_transcript.h"
#include "link/port_lock.h"
#include "state/app_state.h"
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

using namespace test; // the emulator, its scratch folders, Bytes, fs and the chrono literals
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using FaultMatrix = test::SimDownload;

TEST_F(FaultMatrix, EmulatorKilledDuringTheDownload) {
    // A large memory image keeps the download going for seconds; the emulator dies early on.
    Sim sim({"--readings", "5000"});
    options.timing.read_polls = 40;
    options.timing.packet_wait = 5ms; // over 4 s for the 827 packets, even on a fast machine
    std::thread killer([&sim] {
        std::this_thread::sleep_for(300ms);
        sim.kill_now();
    });
    const auto start = std::chrono::steady_clock::now();
    const DownloadResult result = download({sim.link});
    const auto took = std::chrono::steady_clock::now() - start;
    killer.join();

    ASSERT_EQ(result.outcome, DownloadOutcome::LinkLost);
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

TEST_F(FaultMatrix, PortHeldByAnotherProgramIsRefusedAtOnce) {
    Sim sim({});
    // Another program holds the device with an exclusive flock and no lock file.
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
    const auto start = std::chrono::steady_clock::now();
    const DownloadResult result = download({sim.link});
    const auto took = std::chrono::steady_clock::now() - start;
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);

    EXPECT_EQ(result.outcome, DownloadOutcome::PortInUse);
    EXPECT_LT(took, 5s); // no 20 passes of waiting for a port that is taken
    EXPECT_FALSE(app.link.link_established);
    EXPECT_THAT(ui.events,
                ElementsAre("create",
                            "wait box The port " + sim.link + " is in use by another program.",
                            "end"));
    expect_failed_download_kept_the_store();

    // Once the other program lets go the same port works.
    expect_next_download_completes(sim);
}

// Two downloaders on one base unit: the second is refused while the first holds the port,
// also in the 400 ms between its packets, and the first gets every byte. So it is where no lock
// file can be made (a lock folder that does not exist): the flock of each exchange alone would let
// the second listen between the first's exchanges and take its replies.
TEST_F(FaultMatrix, SecondDownloaderIsRefusedWhileTheFirstRuns) {
    for (const fs::path& folder : {lock_dir, lock_dir / "missing"}) {
        SCOPED_TRACE(folder);
        options.lock_dir = folder;
        ui = RecordingDownloadUi();
        hold_old_data();
        Sim sim({"--readings", "60", "--presence-ms", "200"});
        const fs::path jobs = sim.dir() / "jobs";
        const fs::path dump = sim.dir() / "dump";
        const fs::path first_dir = sim.dir() / "first";
        fs::create_directories(first_dir);
        const pid_t first =
            spawn({QM_QMTOOL_PATH, "download", "--no-archive", "--port", sim.link, "--out",
                   jobs.string(), "--dump", dump.string(), "--lock-dir", folder.string()},
                  first_dir);
        // Let the first get into its packets.
        for (int i = 0; i < 3000 && read_text(first_dir / "stderr").find("Received 2 packets") ==
                                        std::string::npos;
             ++i) {
            std::this_thread::sleep_for(10ms);
        }
        const auto start = std::chrono::steady_clock::now();
        const DownloadResult second = download({sim.link});
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_EQ(second.outcome, DownloadOutcome::PortInUse);
        EXPECT_EQ(ui.boxes.messages.at(0).text, "The port " + sim.link +
                                                    " is in use by another program (PID " +
                                                    std::to_string(first) + ").");
        expect_failed_download_kept_the_store();

        const int status = wait_exit(first, 60s);
        ASSERT_EQ(status, 0) << read_text(first_dir / "stderr");
        EXPECT_EQ(read_file(dump), sim.image);
        // The first's job files are those of the image itself.
        const fs::path direct = sim.dir() / "direct";
        ASSERT_EQ(wait_exit(spawn({QM_QMTOOL_PATH, "import", sim.image_path.string(), "--out",
                                   direct.string()},
                                  sim.dir()),
                            30s),
                  0);
        std::size_t files = 0;
        for (const auto& entry : fs::directory_iterator(direct)) {
            EXPECT_EQ(read_file(jobs / entry.path().filename()), read_file(entry.path()));
            ++files;
        }
        EXPECT_EQ(files, 5u);
        EXPECT_FALSE(fs::exists(folder / lock_file_name(sim.link)));
        expect_next_download_completes(sim);
    }
}

} // namespace
} // namespace qm
