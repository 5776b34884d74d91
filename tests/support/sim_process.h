#pragma once

// rq5200-sim as a child process for integration tests: a scratch folder, the emulator on a link
// in it, and link timings short enough for quick tests.
#include "link/download_decoder.h"
#include "link/download_procedure.h"
#include "link/link_state.h"
#include "link/link_transcript.h"
#include "state/app_state.h"
#include "support/recording_download_ui.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qm::test {

namespace sim_detail {
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;
using namespace std::chrono_literals;
} // namespace sim_detail

using namespace sim_detail;

inline fs::path scratch_dir() {
    static int counter = 0; // one test process, one thread
    const fs::path dir = fs::path(::testing::TempDir()) /
                         ("rq5200-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// Runs a program with arguments; stdout and stderr go to files in `dir`.
inline pid_t spawn(const std::vector<std::string>& argv, const fs::path& dir) {
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
inline int wait_exit(pid_t pid, std::chrono::milliseconds limit) {
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
    // Ends the emulator at once, as a crash would (safe from another thread). Its link goes first:
    // pseudo-terminal numbers are reused at once, so a link left behind would lead a download
    // that goes on opening it to the emulator of another test, which gets the same number next.
    void kill_now() {
        ::unlink(link.c_str());
        ::kill(pid_, SIGKILL);
    }
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
inline LinkTiming quick_timing() {
    LinkTiming t;
    t.poll_interval = 1ms;
    t.read_polls = 1000; // only a silent base unit waits this long
    t.listen_polls = 200;
    t.write_polls = 100;
    t.write_wait = 50ms;
    t.read_gap = 10ms;
    t.packet_wait = 1ms;
    t.reopen_pause = 20ms;
    return t;
}

// A download into an AppState that already holds one reading and a job title, with quick
// timings, a transcript and lock files in a scratch folder, and the checks the emulator tests
// share.
struct SimDownload : ::testing::Test {
    SimDownload() : lock_dir(scratch_dir()) {
        options.timing = quick_timing();
        options.transcript = &transcript;
        options.lock_dir = lock_dir;
        hold_old_data();
    }
    // One reading and a job title, which a failed download must leave as they are.
    void hold_old_data() {
        Reading old;
        old.job = 1;
        old.day = 3;
        app.store.all_readings = {old};
        app.store.annotations.clear();
        app.store.annotations.set_title(RecordKind::Mc, 1, "T");
    }
    ~SimDownload() override { fs::remove_all(lock_dir); }
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
        EXPECT_EQ(app.store.annotations.title(RecordKind::Mc, 1), "T");
    }
    // The emulator was left ready: the next download from it completes.
    void expect_next_download_completes(const Sim& sim) {
        ui = RecordingDownloadUi();
        ASSERT_EQ(download({sim.link}).outcome, DownloadOutcome::Completed);
        expect_store_holds(sim.image);
    }
    std::size_t transcript_count(const std::string& needle) {
        std::size_t n = 0;
        for (const TranscriptEntry& e : transcript.entries) {
            n += format_transcript(LinkTranscript{{e}}).find(needle) != std::string::npos ? 1 : 0;
        }
        return n;
    }

    const fs::path lock_dir;
    AppState app;
    LinkTranscript transcript;
    DownloadOptions options;
    RecordingDownloadUi ui;
};

} // namespace qm::test
