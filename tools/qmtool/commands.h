#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

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

} // namespace qmtool
