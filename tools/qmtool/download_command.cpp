#include "files/regular_file.h"
#include "link/download_procedure.h"
#include "link/link_transcript.h"
#include "state/app_state.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/terminal_ui.h"

#include <charconv>
#include <csignal>
#include <ctime>
#include <string>

namespace qmtool {

namespace {

constexpr const char* kDownloadUsage =
    "usage: qmtool download [--port DEVICE] --out DIR [--dump FILE] [--log FILE]\n"
    "                       [--max-bytes N] [--lock-dir DIR]\n"
    "\n"
    "Downloads the readings of the meter in the RQ-5200 base unit and writes one save file per\n"
    "job into DIR. Without --port every serial port is searched (QUELLMARK_PORTS, when set, lists\n"
    "the ports to search). --dump also writes the raw download stream, --log the transcript of\n"
    "every exchange. A base unit that sends more than N bytes (default 16 MiB) without its last\n"
    "packet is given up. The port's lock file is kept in DIR (default /run/lock). Ctrl-C cancels\n"
    "the download and leaves the base unit ready.\n";

constexpr const char* kEllipsis = "\u2026";

// The wait dialog of the terminal: one status line on stderr, rewritten in place. Ctrl-C is held
// back while the command runs and read at every pump as the Cancel button.
class DownloadTerminalUi : public qm::DownloadUi {
public:
    explicit DownloadTerminalUi(std::FILE* err) : messages_(err), err_(err) {}

    void message_box(std::string_view text, std::string_view caption,
                     qm::MessageIcon icon) override {
        end_progress_line();
        messages_.message_box(text, caption, icon);
    }
    qm::PumpResult pump_messages(qm::PumpMode /*mode*/) override {
        sigset_t pending;
        sigemptyset(&pending);
        if (::sigpending(&pending) == 0 && sigismember(&pending, SIGINT) == 1) {
            sigset_t interrupt;
            sigemptyset(&interrupt);
            sigaddset(&interrupt, SIGINT);
            const timespec now{0, 0};
            ::sigtimedwait(&interrupt, nullptr, &now);
            return qm::PumpResult::Cancel;
        }
        return qm::PumpResult::Continue;
    }
    bool create_wait_dialog() override { return true; }
    void show_wait_dialog() override {
        end_progress_line();
        std::fprintf(err_, "Base unit found, downloading.\n");
    }
    void end_wait_dialog() override { end_progress_line(); }
    void set_lamp_state(qm::LampState /*state*/) override {}
    void set_progress(std::size_t packets, std::size_t bytes) override {
        show_line(qm::progress_text(packets, bytes));
    }
    void set_status(std::string_view text) override {
        std::string line(text);
        // The search line ends in the Windows-1252 ellipsis; the terminal takes UTF-8.
        if (!line.empty() && line.back() == '\x85') {
            line.replace(line.size() - 1, 1, kEllipsis);
        }
        if (line != line_) {
            show_line(line);
        }
    }
    void post_quit() override {}

private:
    // Rewrites the status line, blanking what is left of a longer one before.
    void show_line(const std::string& line) {
        const int blank =
            static_cast<int>(line_.size() > line.size() ? line_.size() - line.size() : 0);
        std::fprintf(err_, "\r%s%*s", line.c_str(), blank, "");
        std::fflush(err_);
        line_ = line;
    }
    void end_progress_line() {
        if (!line_.empty()) {
            std::fputc('\n', err_);
            line_.clear();
        }
    }

    TerminalUi messages_;
    std::FILE* err_;
    std::string line_; // the status line shown, empty when there is none
};

// Holds Ctrl-C back for the pumps while it lives. A Ctrl-C that comes after the download has
// completed is dropped: the files are written all the same.
class InterruptHold {
public:
    InterruptHold() {
        sigemptyset(&interrupt_);
        sigaddset(&interrupt_, SIGINT);
        ::sigprocmask(SIG_BLOCK, &interrupt_, &previous_);
    }
    ~InterruptHold() {
        const timespec now{0, 0};
        while (::sigtimedwait(&interrupt_, nullptr, &now) == SIGINT) {
        }
        ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
    }
    InterruptHold(const InterruptHold&) = delete;
    InterruptHold& operator=(const InterruptHold&) = delete;

private:
    sigset_t interrupt_;
    sigset_t previous_;
};

bool parse_max_bytes(const Arguments& args, qm::DownloadOptions& options) {
    const std::string* text = args.value("--max-bytes");
    if (text == nullptr) {
        return true;
    }
    std::size_t value = 0;
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (ec != std::errc{} || end != text->data() + text->size() || value == 0) {
        std::fprintf(stderr, "qmtool download: bad value for --max-bytes: %s\n", text->c_str());
        return false;
    }
    options.timing.max_stream_bytes = value;
    return true;
}

const char* outcome_text(qm::DownloadOutcome outcome) {
    switch (outcome) {
    case qm::DownloadOutcome::Completed:
        return "download complete";
    case qm::DownloadOutcome::WindowFailed:
        return "the download could not start";
    case qm::DownloadOutcome::NotFound:
        return "no base unit found";
    case qm::DownloadOutcome::PortInUse:
        return "the port is in use by another program";
    case qm::DownloadOutcome::LinkLost:
        return "the link to the base unit was lost";
    case qm::DownloadOutcome::Quit:
    case qm::DownloadOutcome::Cancelled:
        return "download cancelled";
    }
    return "download failed";
}

} // namespace

int run_download(int argc, char** argv) {
    Arguments args;
    std::string error;
    qm::DownloadOptions options;
    const InterruptHold hold;
    if (!parse_arguments(argc, argv, {},
                         {"--port", "--out", "--dump", "--log", "--max-bytes", "--lock-dir"}, args,
                         error) ||
        args.help || !args.positional.empty() || args.value("--out") == nullptr ||
        !parse_max_bytes(args, options)) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool download: %s\n", error.c_str());
        }
        std::fputs(kDownloadUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    qm::AppState app;
    qm::LinkTranscript transcript;
    options.transcript = &transcript;
    if (const std::string* port = args.value("--port")) {
        options.ports = std::vector<std::string>{*port};
    }
    if (const std::string* lock_dir = args.value("--lock-dir")) {
        options.lock_dir = *lock_dir;
    }
    DownloadTerminalUi ui(stderr);
    const qm::DownloadResult result = qm::download_readings(
        app.link, app.store, app.meter, app.job_records, app.selection, ui, options);
    int status = kExitOk;
    if (const std::string* log = args.value("--log");
        log != nullptr && !qm::write_transcript_file(*log, transcript)) {
        std::fprintf(stderr, "qmtool: %s: cannot write the transcript\n", log->c_str());
        status = kExitFailure;
    }
    if (result.outcome != qm::DownloadOutcome::Completed) {
        std::fprintf(stderr, "qmtool: %s\n", outcome_text(result.outcome));
        return kExitFailure;
    }
    std::fprintf(stderr, "Downloaded %zu bytes in %zu packets from %s, %zu readings.\n",
                 result.stream.size(), result.packets, result.port.c_str(),
                 result.report.readings_kept);
    // The raw stream is written as every other output: atomically, onto a regular file only.
    if (const std::string* dump = args.value("--dump"); dump != nullptr) {
        if (const int failure = qm::replace_file_contents(*dump, result.stream); failure != 0) {
            std::fprintf(stderr, "qmtool: %s: %s\n", dump->c_str(),
                         qm::file_error_text(failure).c_str());
            status = kExitFailure;
        }
    }
    if (write_job_save_files(app, *args.value("--out"), stderr) != kExitOk) {
        status = kExitFailure;
    }
    return status;
}

} // namespace qmtool
