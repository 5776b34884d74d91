#include "files/regular_file.h"
#include "files/save_file.h"
#include "link/download_decoder.h"
#include "state/app_state.h"
#include "store/job_index.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace qmtool {

namespace {

constexpr const char* kImportUsage = "usage: qmtool import STREAM_FILE --out DIR\n";
constexpr const char* kNoReadingsText = "NO STORED READINGS!";

struct JobKinds {
    bool any = false;
    bool mc = false; // a reading that is not RH/T
};

JobKinds kinds_of_job(const qm::ReadingStore& store, std::int32_t job) {
    JobKinds k;
    for (const qm::Reading& r : store.all_readings) {
        if (r.job == job) {
            k.any = true;
            k.mc = k.mc || !qm::is_rh(r);
        }
    }
    return k;
}

} // namespace

int write_job_save_files(qm::AppState& app, const std::string& out_dir, std::FILE* err) {
    if (app.store.all_readings.empty()) {
        std::fprintf(err, "%s\n", kNoReadingsText);
        return kExitFailure;
    }
    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    if (ec) {
        std::fprintf(err, "qmtool: %s: %s\n", out_dir.c_str(), ec.message().c_str());
        return kExitFailure;
    }
    int status = kExitOk;
    for (std::int32_t job = 1; job <= qm::kMaxJobs; ++job) {
        const JobKinds kinds = kinds_of_job(app.store, job);
        if (!kinds.any) {
            continue;
        }
        // The state a save of this one job from its job list would carry.
        qm::WizardState wizard;
        wizard.step = qm::kSavedStep;
        wizard.management_type = kinds.mc ? qm::ManagedKind::Mc : qm::ManagedKind::Rh;
        wizard.filter = 0;
        qm::Selection selection;
        selection.save_mode = qm::SaveMode::OneJob;
        selection.current_job_index =
            kinds.mc ? qm::position_in_list(app.store.mc_jobs, app.store.mc_job_count, job)
                     : qm::position_in_list(app.store.rh_jobs, app.store.rh_job_count, job);
        selection.selected_jobs[0] = selection.current_job_index;
        selection.selected_count = 1;

        char name[64];
        std::snprintf(name, sizeof name, "Job%i-ID%.3i.qmk", job,
                      app.store.job_ids[static_cast<std::size_t>(job - 1)]);
        const std::string path = (std::filesystem::path(out_dir) / name).string();
        const qm::SaveResult result = qm::write_save(path, wizard, selection, app.meter, app.store);
        if (result.ok) {
            std::printf("%s\n", path.c_str());
        } else {
            std::fprintf(err, "qmtool: %s: %s\n", path.c_str(),
                         qm::file_error_text(result.error).c_str());
            status = kExitFailure;
        }
    }
    return status;
}

int run_import(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parse_arguments(argc, argv, {}, {"--out"}, args, error) || args.help ||
        args.positional.size() != 1 || args.value("--out") == nullptr) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool import: %s\n", error.c_str());
        }
        std::fputs(kImportUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    const std::string& stream_file = args.positional[0];
    std::vector<std::uint8_t> bytes;
    if (!read_stream_file(stream_file, bytes)) {
        return kExitFailure;
    }
    qm::AppState app;
    const qm::DecodeReport report =
        qm::decode_download(bytes, app.store, app.meter, app.job_records, app.selection);
    report_decoding(report, stderr);
    return finish_output(write_job_save_files(app, *args.value("--out"), stderr));
}

} // namespace qmtool
