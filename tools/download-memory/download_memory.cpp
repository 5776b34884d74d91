// download_memory: peak resident memory of the desktop program after a download.
//
//   download_memory STREAM_FILE [READ_GAP_MS]
//
// Builds the program's main window and state as quellmark does, starts rq5200-sim with the raw
// download stream in STREAM_FILE (bench/make_stream.py writes one) on a pseudo-terminal, and
// presses "Manage Data": the real download through the wait dialog, decoding into the store and
// the job lists, and the transcript written as the program writes it. Only the link's waits are
// shortened (the emulator answers at once); the real timing would spend about two hours on 100,000
// readings. Prints the readings, the packets and VmHWM / VmRSS from /proc/self/status once the job
// list is shown.
#include "files/transcript_file.h"
#include "link/download_procedure.h"
#include "link/link_transcript.h"
#include "shell/main_window.h"
#include "shell/wizard.h"
#include "state/app_state.h"
#include "views/wait_dialog.h"

#include <QApplication>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

// Message boxes go to stderr: nobody is there to close them.
class ConsoleUi : public qm::UserInterface {
public:
    void message_box(std::string_view text, std::string_view caption, qm::MessageIcon) override {
        std::fprintf(stderr, "message: %.*s: %.*s\n", static_cast<int>(caption.size()),
                     caption.data(), static_cast<int>(text.size()), text.data());
        ++messages;
    }
    qm::PumpResult pump_messages(qm::PumpMode) override {
        QCoreApplication::processEvents();
        return qm::PumpResult::Continue;
    }
    int messages = 0;
};

// A "Vm...:" line of /proc/self/status in kB, -1 when missing.
long status_kb(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + ":", 0) == 0) {
            return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: download_memory STREAM_FILE [READ_GAP_MS]\n");
        return 2;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    const std::string stream = std::filesystem::absolute(argv[1]).string();
    const int readGapMs = argc > 2 ? std::atoi(argv[2]) : 3;

    QApplication app(argc, argv);
    std::string pattern = (std::filesystem::temp_directory_path() / "qm-mem-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path folder = pattern;
    const std::string link = (folder / "rq5200").string();

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedChannels);
    sim.start(QStringLiteral(QM_SIM_PATH),
              {QString::fromStdString(link), "--stream", QString::fromStdString(stream)});
    for (int i = 0; i < 500 && !std::filesystem::exists(link); ++i) {
        QThread::msleep(10);
    }
    if (!std::filesystem::exists(link)) {
        std::fprintf(stderr, "download_memory: rq5200-sim did not start\n");
        return 1;
    }
    setenv("QUELLMARK_PORTS", link.c_str(), 1);
    // The transcript of the download goes to the temporary folder, as it goes to the cache.
    setenv("XDG_CACHE_HOME", folder.c_str(), 1);
    const long hwmBefore = status_kb("VmHWM");

    auto state = std::make_unique<qm::AppState>();
    state->startup_folder = folder.string();
    ConsoleUi ui;
    qm::DownloadResult result;
    std::unique_ptr<qm::MainWindow> window;
    qm::ShellServices services;
    services.ui = &ui;
    // The download the window runs for "Manage Data", with the link's waits shortened.
    services.download = [&] {
        qm::WaitDialogUi waitUi(window->metrics(), window.get(), ui, [] { return false; });
        qm::LinkTranscript transcript;
        qm::DownloadOptions options;
        options.transcript = &transcript;
        options.timing.poll_interval = std::chrono::milliseconds{1};
        options.timing.read_polls = 2000;
        options.timing.listen_polls = 500;
        options.timing.write_polls = 200;
        options.timing.write_wait = std::chrono::milliseconds{50};
        options.timing.read_gap = std::chrono::milliseconds{readGapMs};
        options.timing.packet_wait = std::chrono::milliseconds{0};
        qm::AppState& s = *state;
        result = qm::download_readings(s.link, s.store, s.meter, s.job_records, s.selection, waitUi,
                                       options);
        qm::save_last_download_transcript(format_transcript(transcript));
        return result.outcome != qm::DownloadOutcome::Quit &&
               result.outcome != qm::DownloadOutcome::Cancelled;
    };
    window = std::make_unique<qm::MainWindow>(*state, services);
    window->show();
    QCoreApplication::processEvents();

    const auto start = std::chrono::steady_clock::now();
    window->pageCommand(qm::kForwardCommand);
    QCoreApplication::processEvents();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    const bool completed = result.outcome == qm::DownloadOutcome::Completed;
    std::printf("outcome %s, %zu readings, %zu packets, %zu stream bytes in %.1f s\n",
                completed ? "completed" : "failed", state->store.all_readings.size(),
                result.packets, result.stream.size(), seconds);
    std::printf("VmHWM before the window %ld kB\n", hwmBefore);
    std::printf("VmHWM %ld kB (%.1f MB)\n", status_kb("VmHWM"), status_kb("VmHWM") / 1024.0);
    std::printf("VmRSS %ld kB (%.1f MB)\n", status_kb("VmRSS"), status_kb("VmRSS") / 1024.0);

    window.reset();
    sim.terminate();
    sim.waitForFinished(5000);
    std::filesystem::remove_all(folder);
    return completed && ui.messages == 0 ? 0 : 1;
}
