#include "tools/qmtool/output_checks.h"

#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace qmtool {

bool same_file(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0) {
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    }
    std::error_code ec;
    const auto canonical = [&ec](const std::string& name) {
        return std::filesystem::weakly_canonical(std::filesystem::absolute(name, ec), ec);
    };
    const std::filesystem::path path_a = canonical(a);
    const std::filesystem::path path_b = ec ? std::filesystem::path() : canonical(b);
    return !ec && path_a == path_b;
}

bool output_is_an_input(const std::string& output, std::span<const std::string> inputs) {
    for (const std::string& input : inputs) {
        if (same_file(output, input)) {
            std::fprintf(stderr, "qmtool: %s: the output is the input %s; nothing written\n",
                         output.c_str(), input.c_str());
            return true;
        }
    }
    return false;
}

} // namespace qmtool
