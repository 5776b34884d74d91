#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qm {
struct AppState;
struct DecodeReport;
struct VisitEvidence;
class VisitArchive;
} // namespace qm

namespace qmtool {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Command {
    const char* name;
    const char* synopsis; // one line of the usage text
    int (*run)(int argc, char** argv);
};

// Every command of the tool, in the order the usage text lists them.
std::span<const Command> commands();
void print_usage(std::FILE* out);

// Download streams above this size are refused: far beyond the memory of any meter.
constexpr std::size_t kMaxStreamBytes = std::size_t{64} << 20;

// Reads a download stream file: a regular file of at most kMaxStreamBytes. When it can't be
// read, says why on stderr ("qmtool: PATH: reason") and returns false.
bool read_stream_file(const std::string& path, std::vector<std::uint8_t>& bytes);

// Warns on err of what the decoder left out: readings outside the jobs or locations, and a
// stream that ends inside its header or inside a record.
void report_decoding(const qm::DecodeReport& report, std::FILE* err);

// Flushes standard output. When a write to it failed (a full disk, a closed pipe) says why and
// returns kExitFailure; otherwise returns status.
int finish_output(int status);

// Runs a command; an exception that escapes it ends as a message and kExitFailure.
int run_command(const Command& command, int argc, char** argv);

int run_decode(int argc, char** argv);
int run_import(int argc, char** argv);
int run_export(int argc, char** argv);
int run_show(int argc, char** argv);
int run_annotate(int argc, char** argv);
int run_download(int argc, char** argv);
int run_report(int argc, char** argv);
int run_archive(int argc, char** argv);
int run_project(int argc, char** argv);
int run_server(int argc, char** argv);
int run_sync(int argc, char** argv);
int run_meter(int argc, char** argv);
// The archive of --archive or QUELLMARK_ARCHIVE (or the default), opened; null, with the reason on
// stderr, when it cannot be used. A read-only archive is said on stderr and opened.
std::unique_ptr<qm::VisitArchive> open_default_archive();

// What a new visit of `model` says: the technician (QUELLMARK_TECHNICIAN, which --technician
// sets) and the meter named (or, unnamed, the one meter known for the model). Nothing, with the
// reason on stderr, when the named meter is not known or the meters cannot be read.
std::optional<qm::VisitEvidence> new_visit_evidence(qm::VisitArchive& archive,
                                                    const std::string& model,
                                                    const std::string* meter_name);
// Says the technician and meter of a visit just kept; a warning on stderr when it cannot.
void keep_new_visit_evidence(qm::VisitArchive& archive, std::int64_t visit,
                             const qm::VisitEvidence& evidence);

// "Job<j>-ID<iii>.qmk", the name of a job's save file in the folder of an import or download.
std::string job_file_name(std::int32_t job, std::int32_t id);

struct SaveFilesOptions {
    bool force = false;                  // replace files that stand in the folder
    std::span<const std::string> inputs; // files of the command that no output may replace
};

// Writes one save file per job present in app's store into out_dir (created when missing),
// named job_file_name(), each as a one-job save from that job's list would write it; prints
// each path on stdout. All or none: nothing is written when a file of that name stands there
// (unless options.force) or a file is an input, and every file is made in a temporary first and
// put in place only when all are made. With no readings prints "NO STORED READINGS!" on err.
// Returns kExitOk, or kExitFailure with each reason on err.
int write_job_save_files(qm::AppState& app, const std::string& out_dir,
                         const SaveFilesOptions& options, std::FILE* err);

} // namespace qmtool
