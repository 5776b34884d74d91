#include "files/regular_file.h"
#include "files/save_file.h"
#include "link/download_decoder.h"
#include "state/app_state.h"
#include "store/job_index.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/output_checks.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <vector>

namespace qmtool {

namespace {

constexpr const char* kImportUsage = "usage: qmtool import STREAM_FILE --out DIR [--force]\n";
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

std::string job_file_name(std::int32_t job, std::int32_t id) {
    char name[64];
    std::snprintf(name, sizeof name, "Job%i-ID%.3i.qmk", job, id);
    return name;
}

namespace {

// One file of an import: the job, where it goes, and its contents once made.
struct JobFile {
    std::int32_t job = 0;
    bool mc = false;
    std::string path;
    qm::FileReplacement replacement;
};

// The header a save of this one job from its job list would carry.
qm::SaveFileHeader one_job_header(const qm::AppState& app, const JobFile& file) {
    qm::WizardState wizard;
    wizard.step = qm::kSavedStep;
    wizard.management_type = file.mc ? qm::ManagedKind::Mc : qm::ManagedKind::Rh;
    wizard.filter = 0;
    qm::Selection selection;
    selection.save_mode = qm::SaveMode::OneJob;
    selection.current_job_index =
        file.mc ? qm::position_in_list(app.store.mc_jobs, app.store.mc_job_count, file.job)
                : qm::position_in_list(app.store.rh_jobs, app.store.rh_job_count, file.job);
    selection.selected_jobs[0] = selection.current_job_index;
    selection.selected_count = 1;
    return qm::make_save_header(wizard, selection, app.meter, app.store);
}

// False, having said why on err, when a file of the import would replace an input, or a file
// that stands there while `force` is not given.
bool targets_free(const std::deque<JobFile>& files, const SaveFilesOptions& options,
                  std::FILE* err) {
    bool existing = false;
    for (const JobFile& file : files) {
        if (output_is_an_input(file.path, options.inputs)) {
            return false;
        }
        struct stat info {};
        if (!options.force && ::lstat(file.path.c_str(), &info) == 0) {
            std::fprintf(err, "qmtool: %s: the file exists\n", file.path.c_str());
            existing = true;
        }
    }
    if (existing) {
        std::fprintf(err, "qmtool: nothing written; --force replaces existing files\n");
    }
    return !existing;
}

// Makes every file in a temporary beside its target, then puts them all in place.
int write_all_or_none(qm::AppState& app, std::deque<JobFile>& files, bool force, std::FILE* err) {
    for (JobFile& file : files) {
        const qm::SaveFileHeader header = one_job_header(app, file);
        const int error = file.replacement.prepare(file.path, [&](const qm::ByteWriter& write) {
            return qm::encode_save_in_pieces(header, app.meter, app.store.all_readings, file.job,
                                             app.store.annotations, write);
        });
        if (error != 0) {
            std::fprintf(err, "qmtool: %s: %s\nqmtool: nothing written\n", file.path.c_str(),
                         qm::file_error_text(error).c_str());
            return kExitFailure; // the temporaries made go with `files`
        }
    }
    for (JobFile& file : files) {
        const int error =
            file.replacement.commit(force ? qm::ReplaceMode::Replace : qm::ReplaceMode::NewOnly);
        if (error != 0) {
            std::fprintf(err, "qmtool: %s: %s\n", file.path.c_str(),
                         qm::file_error_text(error).c_str());
            return kExitFailure;
        }
        std::printf("%s\n", file.path.c_str());
    }
    return kExitOk;
}

} // namespace

int write_job_save_files(qm::AppState& app, const std::string& out_dir,
                         const SaveFilesOptions& options, std::FILE* err) {
    if (app.store.all_readings.empty()) {
        std::fprintf(err, "%s\n", kNoReadingsText);
        return kExitFailure;
    }
    std::deque<JobFile> files;
    for (std::int32_t job = 1; job <= qm::kMaxJobs; ++job) {
        const JobKinds kinds = kinds_of_job(app.store, job);
        if (kinds.any) {
            JobFile& file = files.emplace_back();
            file.job = job;
            file.mc = kinds.mc;
            file.path = (std::filesystem::path(out_dir) /
                         job_file_name(job, app.store.job_ids[static_cast<std::size_t>(job - 1)]))
                            .string();
        }
    }
    if (!targets_free(files, options, err)) {
        return kExitFailure;
    }
    std::error_code ec;
    std::filesystem::create_directories(out_dir, ec);
    if (ec) {
        std::fprintf(err, "qmtool: %s: %s\n", out_dir.c_str(), ec.message().c_str());
        return kExitFailure;
    }
    return write_all_or_none(app, files, options.force, err);
}

int run_import(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parse_arguments(argc, argv, {"--force"}, {"--out"}, args, error) || args.help ||
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
    const SaveFilesOptions options{args.has("--force"), args.positional};
    return finish_output(write_job_save_files(app, *args.value("--out"), options, stderr));
}

} // namespace qmtool
