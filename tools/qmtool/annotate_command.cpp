#include "files/annotation_block.h"
#include "files/regular_file.h"
#include "files/save_file.h"
#include "state/app_state.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/saved_job.h"
#include "tools/qmtool/text_codec.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace qmtool {

namespace {

constexpr const char* kAnnotateUsage =
    "usage: qmtool annotate SAVE_FILE [--kind mc|rh] [--job N] [--title TEXT] [--notes TEXT]\n";

// A request whose values are all usable; `error` says what is wrong with one otherwise.
struct Request {
    std::optional<qm::RecordKind> kind;
    std::optional<std::int32_t> job;
    std::optional<std::string> title; // Windows-1252
    std::optional<std::string> notes; // Windows-1252, line breaks as stored (CR LF)
    std::string error;
};

std::optional<std::string> text_value(const Arguments& args, std::string_view option,
                                      std::string_view refused, std::string& error) {
    const std::string* value = args.value(option);
    if (value == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> text = from_utf8(*value);
    if (!text) {
        error = std::string(refused);
    }
    return text;
}

Request read_request(const Arguments& args) {
    Request r;
    if (const std::string* kind = args.value("--kind")) {
        if (*kind == "mc") {
            r.kind = qm::RecordKind::Mc;
        } else if (*kind == "rh") {
            r.kind = qm::RecordKind::Rh;
        } else {
            r.error = "--kind is mc or rh";
            return r;
        }
    }
    if (const std::string* job = args.value("--job")) {
        std::int32_t n = 0;
        const auto [end, ec] = std::from_chars(job->data(), job->data() + job->size(), n);
        if (ec != std::errc{} || end != job->data() + job->size() || n < 1 || n > qm::kMaxJobs) {
            r.error = "--job is a job number from 1 to 5";
            return r;
        }
        r.job = n;
    }
    r.title = text_value(args, "--title",
                         "the title holds a character Windows-1252 has no byte for", r.error);
    if (r.error.empty() && r.title) {
        if (r.title->find_first_of("\r\n") != std::string::npos) {
            r.error = "a title is one line";
        } else if (!qm::title_text_clean(*r.title)) {
            r.error = "a title holds no control characters";
        } else if (r.title->size() > qm::kMaxTitleLength) {
            r.error = "the title is longer than 259 characters";
        }
    }
    if (r.error.empty()) {
        r.notes = text_value(args, "--notes",
                             "the notes hold a character Windows-1252 has no byte for", r.error);
    }
    if (r.error.empty() && r.notes) {
        if (!qm::notes_text_clean(*r.notes)) {
            r.error = "notes hold no control characters but line breaks and tabs";
        } else if (qm::stored_notes_length(*r.notes) > qm::kMaxNotesLength) {
            r.error = "the notes take more than 999 bytes (a line break counts two)";
        }
    }
    if (r.error.empty() && !r.title && !r.notes) {
        r.error = "give --title or --notes (an empty text removes one)";
    }
    return r;
}

const char* kind_name(qm::RecordKind kind) {
    return kind == qm::RecordKind::Mc ? "MC" : "RH/T";
}

std::vector<std::int32_t> jobs_of_kind(const qm::ReadingStore& store, qm::RecordKind kind) {
    const bool mc = kind == qm::RecordKind::Mc;
    const auto& list = mc ? store.mc_jobs : store.rh_jobs;
    return {list.begin(), list.begin() + (mc ? store.mc_job_count : store.rh_job_count)};
}

// The kind to annotate: as asked; else the one kind the file holds; else, when it holds both,
// the kind that was managed when it was saved.
std::optional<qm::RecordKind> choose_kind(const Request& request, const qm::AppState& app,
                                          qm::ManagedKind saved_management, std::string& error) {
    if (request.kind) {
        return request.kind;
    }
    const bool mc = app.store.mc_job_count > 0;
    const bool rh = app.store.rh_job_count > 0;
    if (mc != rh) {
        return mc ? qm::RecordKind::Mc : qm::RecordKind::Rh;
    }
    if (mc && rh) {
        if (const std::optional<qm::RecordKind> saved = qm::record_kind(saved_management)) {
            return saved;
        }
        error = "the file holds MC and RH/T readings; choose one with --kind";
    } else {
        error = "the file holds no readings";
    }
    return std::nullopt;
}

std::optional<std::int32_t> choose_job(const Request& request, const qm::AppState& app,
                                       qm::RecordKind kind, std::string& error) {
    const std::vector<std::int32_t> jobs = jobs_of_kind(app.store, kind);
    if (request.job) {
        if (std::find(jobs.begin(), jobs.end(), *request.job) != jobs.end()) {
            return request.job;
        }
        error = "the file holds no " + std::string(kind_name(kind)) + " readings of job " +
                std::to_string(*request.job);
    } else if (jobs.size() == 1) {
        return jobs.front();
    } else if (jobs.empty()) {
        error = "the file holds no " + std::string(kind_name(kind)) + " readings";
    } else {
        error = "the file holds several " + std::string(kind_name(kind)) +
                " jobs; choose one with --job";
    }
    return std::nullopt;
}

// The file's bytes up to its last record; false (with the reason on stderr) when it can no longer
// be read as it was loaded.
bool read_records(const std::string& path, std::uint64_t records_end,
                  std::vector<std::uint8_t>& bytes, std::uint64_t& file_size) {
    qm::RegularFile file;
    int error = file.open(path);
    if (error == 0) {
        error = file.read_at(0, static_cast<std::size_t>(records_end), bytes);
    }
    if (error == 0 && bytes.size() != records_end) {
        error = EIO; // cut short since it was loaded
    }
    if (error != 0) {
        std::fprintf(stderr, "qmtool: %s: %s\n", path.c_str(), qm::file_error_text(error).c_str());
        return false;
    }
    file_size = file.size();
    return true;
}

// Writes the file again: the records byte for byte; whatever followed them gives way to the
// new block.
int write_back(const std::string& path, const qm::AppState& app, const qm::LoadResult& loaded,
               std::uint64_t file_size, std::vector<std::uint8_t>& bytes) {
    const std::vector<std::int32_t> jobs = listed_jobs(app.store);
    const std::vector<std::uint8_t> block =
        qm::encode_annotation_block(app.store.annotations, jobs);
    if (loaded.annotations != qm::AnnotationBlockStatus::Valid && file_size > loaded.records_end) {
        std::fprintf(stderr, "qmtool: warning: %s: %llu bytes after the last reading replaced\n",
                     path.c_str(), static_cast<unsigned long long>(file_size - loaded.records_end));
    }
    bytes.insert(bytes.end(), block.begin(), block.end());
    if (const int failure = qm::replace_file_contents(path, bytes); failure != 0) {
        std::fprintf(stderr, "qmtool: %s: %s\n", path.c_str(),
                     qm::file_error_text(failure).c_str());
        return kExitFailure;
    }
    return kExitOk;
}

} // namespace

int run_annotate(int argc, char** argv) {
    Arguments args;
    std::string error;
    const bool parsed =
        parse_arguments(argc, argv, {}, {"--kind", "--job", "--title", "--notes"}, args, error);
    const Request request = parsed ? read_request(args) : Request{};
    if (!parsed || args.help || args.positional.size() != 1 || !request.error.empty()) {
        const std::string& why = error.empty() ? request.error : error;
        if (!why.empty() && !args.help) {
            std::fprintf(stderr, "qmtool annotate: %s\n", why.c_str());
        }
        std::fputs(kAnnotateUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    const std::string& path = args.positional[0];
    // Held from the read to the rename, so that an annotate of the same file at the same time
    // works on this one's result instead of losing it.
    qm::UpdateLock lock;
    if (const int failure = lock.lock(path); failure != 0) {
        std::fprintf(stderr, "qmtool: %s: %s\n", path.c_str(),
                     qm::file_error_text(failure).c_str());
        return kExitFailure;
    }
    qm::AppState app;
    qm::LoadResult loaded;
    std::vector<std::uint8_t> bytes;
    std::uint64_t file_size = 0;
    if (!open_save_file(path, app, &loaded) ||
        !read_records(path, loaded.records_end, bytes, file_size)) {
        return kExitFailure;
    }
    const auto saved_management = static_cast<qm::ManagedKind>(
        qm::decode_save_header(std::span(bytes).first<qm::kSaveHeaderSize>()).management_type);
    const std::optional<qm::RecordKind> kind = choose_kind(request, app, saved_management, error);
    const std::optional<std::int32_t> job =
        kind ? choose_job(request, app, *kind, error) : std::nullopt;
    if (!job) {
        std::fprintf(stderr, "qmtool: %s: %s\n", path.c_str(), error.c_str());
        return kExitFailure;
    }
    if (request.title) {
        app.store.annotations.set_title(*kind, *job, *request.title);
    }
    if (request.notes) {
        app.store.annotations.set_notes(*kind, *job, *request.notes);
    }
    return write_back(path, app, loaded, file_size, bytes);
}

} // namespace qmtool
