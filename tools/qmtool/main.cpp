// qmtool: the core library on the command line.
#include "resources/version.h"
#include "tools/qmtool/commands.h"

#include <cstdio>
#include <cstring>
#include <string_view>

int main(int argc, char** argv) {
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
