#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace qm {
struct AppState;
}

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

// Reads a whole file; false (with errno set) when it can't be read.
bool read_whole_file(const std::string& path, std::vector<std::uint8_t>& bytes);

int run_decode(int argc, char** argv);
int run_import(int argc, char** argv);
int run_export(int argc, char** argv);
int run_show(int argc, char** argv);
int run_download(int argc, char** argv);

// Writes one save file per job present in app's store into out_dir (created when missing),
// named "Job<j>-ID<iii>.qmk", each as a one-job save from that job's list would write it; prints
// each path on stdout. With no readings prints "NO STORED READINGS!" on err. Returns kExitOk, or
// kExitFailure when nothing could be saved or a file failed (each failure named on err).
int write_job_save_files(qm::AppState& app, const std::string& out_dir, std::FILE* err);

} // namespace qmtool
