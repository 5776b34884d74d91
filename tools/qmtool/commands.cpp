#include "tools/qmtool/commands.h"

#include "files/regular_file.h"
#include "link/download_decoder.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <exception>

namespace qmtool {

namespace {

const std::array kCommands = {
    Command{"decode",
            "decode STREAM_FILE      print the jobs and readings of a raw download stream",
            run_decode},
    Command{"import",
            "import STREAM_FILE --out DIR [--force]\n"
            "                          write one save file per job of a raw stream",
            run_import},
    Command{
        "export",
        "export SAVE_FILE [--out CSV_FILE] [--celsius] [--international]\n"
        "                          write the CSV export of a save file's job (stdout by default)",
        run_export},
    Command{"show",
            "show SAVE_FILE [--celsius] [--international]\n"
            "                          print a save file's readings, summaries, titles and notes",
            run_show},
    Command{"annotate",
            "annotate SAVE_FILE [--kind mc|rh] [--job N] [--title TEXT] [--notes TEXT]\n"
            "                          set a job's title or notes in a save file (rewritten in "
            "place;\n"
            "                          by default the file's managed kind and its one job)",
            run_annotate},
    Command{"report",
            "report SAVE_FILE... --out REPORT.pdf [--title TEXT] [--prepared-for TEXT]\n"
            "                          [--site TEXT] [--prepared-by TEXT] [--celsius] "
            "[--international]\n"
            "                          [--paper a4|letter] [--sections LIST]   write the "
            "client report\n"
            "                          of the files' jobs (PDF); with --project NAME [--archive "
            "PATH]\n"
            "                          instead of SAVE_FILE, the report of a drying project",
            run_report},
    Command{"download",
            "download [--port DEVICE] --out DIR [--dump FILE] [--log FILE] [--force]\n"
            "                          [--no-archive] [--meter NAME]\n"
            "                          download from the base unit, one save file per job; the "
            "visit\n"
            "                          is kept in the archive",
            run_download},
    Command{"archive",
            "archive list [--json] | show VISIT | add FILE... [--meter NAME] |\n"
            "                          export VISIT --out DIR | remove VISIT | check |\n"
            "                          check-standard VISIT --read N --expected N [--pinless] |\n"
            "                          evidence VISIT [--technician NAME] [--meter NAME]\n"
            "                          the visit archive",
            run_archive},
    Command{"meter",
            "meter add NAME [--serial SERIAL] [--model MODEL] | list [--json] | remove NAME\n"
            "                          the user's meters, said with the visits read with them",
            run_meter},
    Command{
        "project",
        "project SUBCOMMAND ARGS... [--archive PATH]   drying projects in the visit "
        "archive:\n"
        "                          create, list, show, attach, detach, label, standard, role,\n"
        "                          legend, equipment, log [--json] [--celsius], export, import,\n"
        "                          plan, place, map\n"
        "                          (qmtool project -h lists their arguments)",
        run_project},
    Command{"server",
            "server init [URI] [--create-roles]\n"
            "                          create or update the team server's schema; print its "
            "roles' SQL",
            run_server},
    Command{"sync",
            "sync [--server URI] [--drop-refused[=KEY]] [--reapply-refused[=KEY]]\n"
            "                          push and pull visits, projects, titles and notes with "
            "the team server",
            run_sync},
};

} // namespace

std::span<const Command> commands() {
    return kCommands;
}

void print_usage(std::FILE* out) {
    std::fprintf(
        out,
        "usage: qmtool [--archive PATH] [--server URI] [--technician NAME] COMMAND [ARGS]\n"
        "       qmtool --help | --version\n\n--archive PATH  the visit archive of download and "
        "archive (QUELLMARK_ARCHIVE)\n--server URI    the team server, a libpq URI or "
        "\"service=NAME\" (QUELLMARK_SERVER)\n--technician NAME  who reads: said with every "
        "visit kept (QUELLMARK_TECHNICIAN)\n\ncommands:\n");
    for (const Command& c : kCommands) {
        std::fprintf(out, "  %s\n", c.synopsis);
    }
    std::fprintf(out, "\nExit status: 0 success, 1 failure (message on stderr), 2 usage error.\n");
}

bool read_stream_file(const std::string& path, std::vector<std::uint8_t>& bytes) {
    const int error = qm::read_regular_file(path, kMaxStreamBytes, bytes);
    if (error == EFBIG) {
        std::fprintf(stderr, "qmtool: %s: larger than %zu MB, more than any meter holds\n",
                     path.c_str(), kMaxStreamBytes >> 20);
    } else if (error != 0) {
        std::fprintf(stderr, "qmtool: %s: %s\n", path.c_str(), qm::file_error_text(error).c_str());
    }
    return error == 0;
}

void report_decoding(const qm::DecodeReport& report, std::FILE* err) {
    if (report.dropped_bad_job > 0) {
        std::fprintf(err, "qmtool: warning: %zu readings with a job number outside 1..5 left out\n",
                     report.dropped_bad_job);
    }
    if (report.dropped_bad_location > 0) {
        std::fprintf(err, "qmtool: warning: %zu readings with a location above 63 left out\n",
                     report.dropped_bad_location);
    }
    if (!report.header_complete) {
        std::fprintf(err, "qmtool: warning: the stream ends inside its header\n");
    } else if (report.trailing_bytes > 0) {
        std::fprintf(err, "qmtool: warning: the stream ends inside a record (%zu bytes left)\n",
                     report.trailing_bytes);
    }
}

int finish_output(int status) {
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0;
    const int error = errno != 0 ? errno : EIO; // an earlier write's reason is not kept
    if (!flushed || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "qmtool: standard output: %s\n", std::strerror(error));
        return kExitFailure;
    }
    return status;
}

int run_command(const Command& command, int argc, char** argv) {
    try {
        return command.run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qmtool: %s: %s\n", command.name, e.what());
    }
    return kExitFailure;
}

} // namespace qmtool
