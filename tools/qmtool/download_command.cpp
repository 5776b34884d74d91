#include "archive/visit_archive.h"
#include "archive/visit_evidence.h"
#include "files/regular_file.h"
#include "files/transcript_file.h"
#include "link/download_procedure.h"
#include "link/link_transcript.h"
#include "state/app_state.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/output_checks.h"
#include "tools/qmtool/terminal_ui.h"
#include "tools/qmtool/text_codec.h"

#include <algorithm>
#include <charconv>
#include <csignal>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace qmtool {

namespace {

constexpr const char* kDownloadUsage =
    "usage: qmtool download [--port DEVICE] --out DIR [--dump FILE] [--log FILE]\n"
    "                       [--max-bytes N] [--lock-dir DIR] [--force] [--no-archive]\n"
    "                       [--meter NAME]\n"
    "\n"
    "Downloads the readings of the meter in the RQ-5200 base unit and writes one save file per\n"
    "job into DIR. Without --port every serial port is searched (QUELLMARK_PORTS, when set, lists\n"
    "the ports to search). --dump also writes the raw download stream, --log the transcript of\n"
    "every exchange. A base unit that sends more than N bytes (default 16 MiB) without its last\n"
    "packet is given up. The port's lock file is kept in DIR (default /run/lock). Ctrl-C cancels\n"
    "the download and leaves the base unit ready.\n"
    "Save files that stand in DIR are not replaced without --force: a DIR that holds files of\n"
    "the names Job<j>-ID<iii>.qmk is refused before the download.\n"
    "The download is kept in the visit archive (see qmtool archive) unless --no-archive is\n"
    "given, with the technician (qmtool's own option, or QUELLMARK_TECHNICIAN) and the meter:\n"
    "--meter NAME of qmtool meter list, else the one meter known for the model.\n";

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

// Whether `name` is one a download may give a job's save file: "Job<1..5>-ID<3 digits>.qmk".
bool job_file_like(std::string_view name) {
    if (name.size() != 14 || !name.starts_with("Job") || name.substr(4, 3) != "-ID" ||
        !name.ends_with(".qmk") || name[3] < '1' || name[3] > '5') {
        return false;
    }
    return std::all_of(name.begin() + 7, name.begin() + 10,
                       [](char c) { return c >= '0' && c <= '9'; });
}

// Before the download, whose job IDs name the files: false, having said why, when DIR holds a
// file a job of the download may be saved to and --force was not given. The names are checked
// again once the IDs are known.
bool out_folder_free(const std::string& out_dir) {
    std::error_code ec;
    std::vector<std::string> taken;
    for (std::filesystem::directory_iterator it(out_dir, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (job_file_like(it->path().filename().string())) {
            taken.push_back(it->path().string());
        }
    }
    std::sort(taken.begin(), taken.end());
    for (const std::string& path : taken) {
        std::fprintf(stderr, "qmtool: %s: the file exists\n", path.c_str());
    }
    if (!taken.empty()) {
        std::fprintf(stderr, "qmtool: nothing downloaded; --force replaces existing files\n");
    }
    return taken.empty();
}

// The transcript file: written also when the download failed.
bool write_log(const std::string* log, const qm::LinkTranscript& transcript) {
    if (log == nullptr) {
        return true;
    }
    if (const int error = qm::write_transcript_file(*log, qm::format_transcript(transcript));
        error != 0) {
        std::fprintf(stderr, "qmtool: %s: cannot write the transcript: %s\n", log->c_str(),
                     qm::file_error_text(error).c_str());
        return false;
    }
    return true;
}

// The raw stream, written as every other output: atomically, onto a regular file only.
bool write_dump(const std::string* dump, const std::vector<std::uint8_t>& stream) {
    if (dump == nullptr) {
        return true;
    }
    if (const int failure = qm::replace_file_contents(*dump, stream); failure != 0) {
        std::fprintf(stderr, "qmtool: %s: %s\n", dump->c_str(),
                     qm::file_error_text(failure).c_str());
        return false;
    }
    return true;
}

// Keeps the download in the visit archive; a download that cannot be kept is still written.
void archive_download(std::span<const std::uint8_t> stream, const qm::AppState& app,
                      const std::string* meter_name) {
    const qm::OpenedArchive opened = qm::open_archive(qm::default_archive_path());
    if (!opened.message.empty()) {
        std::fprintf(stderr, "qmtool: %s\n", opened.message.c_str());
    }
    if (!opened.archive) {
        return;
    }
    const qm::AddVisitResult added = opened.archive->add_visit(
        stream, qm::VisitSource::Download, qm::received_now(), app.store, app.meter);
    const auto id = static_cast<long long>(added.visit_id);
    if (added.status != qm::AddVisitResult::Status::Failed) {
        const std::optional<qm::VisitEvidence> evidence =
            new_visit_evidence(*opened.archive, to_utf8(app.meter.model()), meter_name);
        if (evidence) {
            keep_new_visit_evidence(*opened.archive, added.visit_id, *evidence);
        }
    }
    if (added.status == qm::AddVisitResult::Status::Added) {
        std::fprintf(stderr, "Kept in the archive as visit %lld.\n", id);
    } else if (added.status == qm::AddVisitResult::Status::AlreadyArchived) {
        std::fprintf(stderr, "Already in the archive as visit %lld.\n", id);
    } else {
        std::fprintf(stderr, "qmtool: warning: the visit was not kept in the archive %s: %s\n",
                     opened.archive->path().c_str(), added.error.c_str());
    }
}

// A meter named with --meter must be known before the meter is read.
bool meter_known(const Arguments& args) {
    const std::string* name = args.value("--meter");
    if (name == nullptr || args.has("--no-archive")) {
        return true;
    }
    const qm::OpenedArchive opened = qm::open_archive(qm::default_archive_path());
    if (!opened.archive) {
        std::fprintf(stderr, "qmtool: %s\n", opened.message.c_str());
        return false;
    }
    return new_visit_evidence(*opened.archive, "", name).has_value();
}

} // namespace

int run_download(int argc, char** argv) {
    Arguments args;
    std::string error;
    qm::DownloadOptions options;
    const InterruptHold hold;
    if (!parse_arguments(
            argc, argv, {"--force", "--no-archive"},
            {"--port", "--out", "--dump", "--log", "--max-bytes", "--lock-dir", "--meter"}, args,
            error) ||
        args.help || !args.positional.empty() || args.value("--out") == nullptr ||
        !parse_max_bytes(args, options)) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool download: %s\n", error.c_str());
        }
        std::fputs(kDownloadUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    const std::string* dump = args.value("--dump");
    const std::string* log = args.value("--log");
    if (dump != nullptr && log != nullptr && same_file(*dump, *log)) {
        std::fprintf(stderr, "qmtool: %s: --dump and --log name the same file\n", log->c_str());
        return kExitFailure;
    }
    const bool force = args.has("--force");
    if (!force && !out_folder_free(*args.value("--out"))) {
        return kExitFailure;
    }
    if (!meter_known(args)) {
        return kExitFailure;
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
    int status = write_log(log, transcript) ? kExitOk : kExitFailure;
    if (result.outcome != qm::DownloadOutcome::Completed) {
        std::fprintf(stderr, "qmtool: %s\n", outcome_text(result.outcome));
        return kExitFailure;
    }
    std::fprintf(stderr, "Downloaded %zu bytes in %zu packets from %s, %zu readings.\n",
                 result.stream.size(), result.packets, result.port.c_str(),
                 result.report.readings_kept);
    if (!args.has("--no-archive")) {
        archive_download(result.stream, app, args.value("--meter"));
    }
    if (!write_dump(dump, result.stream)) {
        status = kExitFailure;
    }
    const SaveFilesOptions files{force, {}};
    if (write_job_save_files(app, *args.value("--out"), files, stderr) != kExitOk) {
        status = kExitFailure;
    }
    return status;
}

} // namespace qmtool
