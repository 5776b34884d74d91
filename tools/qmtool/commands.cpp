#include "tools/qmtool/commands.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace qmtool {

namespace {

const std::array kCommands = {
    Command{"decode", "decode STREAM_FILE      print the jobs and readings of a raw download stream",
            run_decode},
    Command{"import", "import STREAM_FILE --out DIR   write one save file per job of a raw stream",
            run_import},
    Command{"export",
            "export SAVE_FILE [--out CSV_FILE] [--celsius] [--international]\n"
            "                          write the CSV export of a save file's job (stdout by default)",
            run_export},
    Command{"show", "show SAVE_FILE [--celsius] [--international]\n"
                    "                          print a save file's readings and summaries",
            run_show},
    Command{"download",
            "download [--port DEVICE] --out DIR [--dump FILE] [--log FILE]   download from the "
            "base unit, one save file per job",
            run_download},
};

} // namespace

std::span<const Command> commands() { return kCommands; }

void print_usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: qmtool COMMAND [ARGS]\n       qmtool --help | --version\n\ncommands:\n");
    for (const Command& c : kCommands) {
        std::fprintf(out, "  %s\n", c.synopsis);
    }
    std::fprintf(out, "\nExit status: 0 success, 1 failure (message on stderr), 2 usage error.\n");
}

bool read_whole_file(const std::string& path, std::vector<std::uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace qmtool
