// qmtool: the core library on the command line.
#include "resources/version.h"
#include "tools/qmtool/commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

int main(int argc, char** argv) {
    // "--archive PATH" before the command names the archive as QUELLMARK_ARCHIVE does.
    if (argc >= 2 && std::string_view(argv[1]).starts_with("--archive")) {
        const std::string_view option = argv[1];
        const bool joined = option.starts_with("--archive=");
        if ((option != "--archive" && !joined) || (!joined && argc < 3)) {
            qmtool::print_usage(stderr);
            return qmtool::kExitUsage;
        }
        ::setenv("QUELLMARK_ARCHIVE", joined ? argv[1] + std::strlen("--archive=") : argv[2], 1);
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
