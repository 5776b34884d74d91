#include "files/csv_export.h"
#include "files/regular_file.h"
#include "state/app_state.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/output_checks.h"
#include "tools/qmtool/saved_job.h"

#include <cerrno>
#include <cstring>
#include <span>

namespace qmtool {

namespace {

constexpr const char* kExportUsage =
    "usage: qmtool export SAVE_FILE [--out CSV_FILE] [--celsius] [--international]\n";

// The export on standard output, piece by piece: a large job's text is never held whole.
int write_stdout(const qm::AppState& app, std::int32_t job, std::int32_t celsius,
                 std::int32_t international) {
    errno = 0;
    int error = qm::write_csv(
        app.store, app.meter, job, celsius, international, [](std::span<const std::uint8_t> piece) {
            return std::fwrite(piece.data(), 1, piece.size(), stdout) == piece.size()
                       ? 0
                       : (errno != 0 ? errno : EIO);
        });
    if (error == 0 && std::fflush(stdout) != 0) {
        error = errno != 0 ? errno : EIO;
    }
    if (error != 0) {
        std::fprintf(stderr, "qmtool: standard output: %s\n", std::strerror(error));
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

int run_export(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parse_arguments(argc, argv, {"--celsius", "--international"}, {"--out"}, args, error) ||
        args.help || args.positional.size() != 1) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool export: %s\n", error.c_str());
        }
        std::fputs(kExportUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    const std::string& save_file = args.positional[0];
    if (const std::string* out = args.value("--out");
        out != nullptr && output_is_an_input(*out, args.positional)) {
        return kExitFailure;
    }
    qm::AppState app;
    if (!open_save_file(save_file, app)) {
        return kExitFailure;
    }
    // The current job of the restored managed kind, as the export button of the job list takes.
    const auto& store = app.store;
    const bool mc = app.wizard.management_type == qm::ManagedKind::Mc;
    if ((mc ? store.mc_job_count : store.rh_job_count) == 0) {
        std::fprintf(stderr, "qmtool: %s: the file holds no readings\n", save_file.c_str());
        return kExitFailure;
    }
    const std::int32_t job = (mc ? store.mc_jobs : store.rh_jobs)[0];
    if (listed_jobs(store).size() > 1) {
        std::fprintf(stderr, "qmtool: warning: %s holds several jobs; exporting job %i\n",
                     save_file.c_str(), job);
    }
    const std::int32_t celsius = args.has("--celsius") ? 1 : 0;
    const std::int32_t international = args.has("--international") ? 1 : 0;
    if (const std::string* out = args.value("--out")) {
        const int failure =
            qm::export_csv_file(*out, app.store, app.meter, job, celsius, international);
        if (failure != 0) {
            std::fprintf(stderr, "qmtool: %s: %s\n", out->c_str(),
                         qm::file_error_text(failure).c_str());
            return kExitFailure;
        }
        return kExitOk;
    }
    return write_stdout(app, job, celsius, international);
}

} // namespace qmtool
