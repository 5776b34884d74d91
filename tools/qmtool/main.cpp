// qmtool: the core library on the command line.
#include "resources/version.h"
#include "tools/qmtool/commands.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

int main(int argc, char** argv) {
    // "--archive PATH", "--server URI" and "--technician NAME" before the command, as
    // QUELLMARK_ARCHIVE, QUELLMARK_SERVER and QUELLMARK_TECHNICIAN.
    while (argc >= 2) {
        const std::string_view option = argv[1];
        const char* variable = option.starts_with("--archive")      ? "QUELLMARK_ARCHIVE"
                               : option.starts_with("--server")     ? "QUELLMARK_SERVER"
                               : option.starts_with("--technician") ? "QUELLMARK_TECHNICIAN"
                                                                    : nullptr;
        if (variable == nullptr) {
            break;
        }
        const std::string_view name = option.substr(0, option.find('='));
        const bool joined = option.size() > name.size();
        if ((name != "--archive" && name != "--server" && name != "--technician") ||
            (!joined && argc < 3)) {
            qmtool::print_usage(stderr);
            return qmtool::kExitUsage;
        }
        ::setenv(variable, joined ? argv[1] + name.size() + 1 : argv[2], 1);
        const int shift = joined ? 1 : 2;
        argv[shift] = argv[0];
        argc -= shift;
        argv += shift;
    }
    if (argc < 2) {
        qmtool::print_usage(stderr);
        return qmtool::kExitUsage;
    }
    const std::string_view command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        qmtool::print_usage(stdout);
        return qmtool::kExitOk;
    }
    if (command == "--version") {
        std::printf("qmtool %s\n", qm::kVersion);
        return qmtool::kExitOk;
    }
    for (const qmtool::Command& c : qmtool::commands()) {
        if (command == c.name) {
            return qmtool::run_command(c, argc - 2, argv + 2);
        }
    }
    std::fprintf(stderr, "qmtool: unknown command '%s'\n", argv[1]);
    qmtool::print_usage(stderr);
    return qmtool::kExitUsage;
}
