// The fault matrix against rq5200-sim on a pseudo-terminal, for the faults that come from outside
// the emulator: the emulator killed in the middle of a download and the port held by another
// process. Each must end within its bound, tell the user, and leave the store as it was.
#include "link/download_procedure.h"
#include "link/link_transcript.h"
#include "shell/app_state.h"
#include "support/recording_download_ui.h"

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

fs::path scratch_dir() {
    static int counter = 0; // one test process, one thread
    const fs::path dir = fs::path(::testing::TempDir()) /
                         ("rq5200-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

Bytes read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a program with arguments; stdout and stderr go to files in `dir`.
pid_t spawn(const std::vector<std::string>& argv, const fs::path& dir) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open((dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = ::open((dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(out, 1);
        ::dup2(err, 2);
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    return pid;
}

// The exit status of a child, or -1 when it has not ended within `limit`.
int wait_exit(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            return -1;
        }
        std::this_thread::sleep_for(5ms);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// rq5200-sim serving a demo meter (or a stream) on a link in a scratch folder.
class Sim {
public:
    explicit Sim(std::vector<std::string> extra, bool demo = true) : dir_(scratch_dir()) {
        link = (dir_ / "rq5200").string();
        image_path = dir_ / "image";
        std::vector<std::string> argv = {
            QM_SIM_PATH, link, "--write-image", image_path.string(), "--presence-ms", "20"};
        if (demo) {
            argv.insert(argv.end(), {"--demo", "--readings", "40"});
        }
        argv.insert(argv.end(), extra.begin(), extra.end());
        pid_ = spawn(argv, dir_);
        for (int i = 0; i < 500 && !fs::is_symlink(link); ++i) {
            std::this_thread::sleep_for(5ms);
        }
        image = read_file(image_path);
    }
    ~Sim() {
        stop();
        fs::remove_all(dir_);
    }
    int stop() {
        if (pid_ <= 0) {
            return status_;
        }
        ::kill(pid_, SIGTERM);
        status_ = wait_exit(pid_, 5s);
        pid_ = 0;
        return status_;
    }
    // Ends the emulator at once, as a crash would (safe from another thread).
    void kill_now() { ::kill(pid_, SIGKILL); }
    int wait(std::chrono::milliseconds limit) {
        status_ = wait_exit(pid_, limit);
        pid_ = status_ == -1 ? pid_ : 0;
        return status_;
    }
    const fs::path& dir() const { return dir_; }

    std::string link;
    fs::path image_path;
    Bytes image;

private:
    fs::path dir_;
    pid_t pid_ = 0;
    int status_ = -1;
};

// Waits short enough for quick tests and long enough for a loaded machine.
LinkTiming quick_timing() {
    LinkTiming t;
    t.poll_interval = 1ms;
    t.read_polls = 1000; // only a silent base unit waits this long
    t.listen_polls = 200;
    t.write_polls = 100;
    t.write_wait = 50ms;
    t.read_gap = 10ms;
    t.packet_wait = 1ms;
    return t;
}

struct FaultMatrix : ::testing::Test {
    FaultMatrix() {
        options.timing = quick_timing();
        options.transcript = &transcript;
        Reading old;
        old.job = 1;
        old.day = 3;
        app.store.all_readings = {old};
        app.job_records.mc(0).title[0] = 'T';
    }
    DownloadResult download(std::vector<std::string> ports) {
        options.ports = std::move(ports);
        return download_readings(app.link, app.store, app.meter, app.job_records, app.selection, ui,
                                 options);
    }
    // The store a direct decoding of the image gives.
    void expect_store_holds(const Bytes& image) {
        AppState direct;
        decode_download(image, direct.store, direct.meter, direct.job_records, direct.selection);
        EXPECT_EQ(app.store.all_readings, direct.store.all_readings);
        EXPECT_EQ(app.store.job_ids, direct.store.job_ids);
        EXPECT_EQ(app.meter.model(), direct.meter.model());
        EXPECT_EQ(app.store.mc_jobs, direct.store.mc_jobs);
        EXPECT_EQ(app.store.rh_jobs, direct.store.rh_jobs);
    }
    void expect_failed_download_kept_the_store() {
        ASSERT_EQ(app.store.all_readings.size(), 1u);
        EXPECT_EQ(app.store.all_readings[0].day, 3);
        EXPECT_EQ(app.job_records.mc(0).title[0], 0);
    }
    std::size_t transcript_count(const std::string& needle) {
        std::size_t n = 0;
        for (const TranscriptEntry& e : transcript.entries) {
            n += format_transcript(LinkTranscript{{e}}).find(needle) != std::string::npos ? 1 : 0;
        }
        return n;
    }

    AppState app;
    LinkTranscript transcript;
    DownloadOptions options;
    RecordingDownloadUi ui;
};

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
