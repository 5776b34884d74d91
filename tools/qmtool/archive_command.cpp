#include "archive/visit_archive.h"
#include "archive/visit_loading.h"
#include "projects/visit_removal.h"
#include "state/app_state.h"
#include "store/annotations.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/text_codec.h"

#include <charconv>
#include <cstdio>
#include <string>

namespace qmtool {

namespace {

constexpr const char* kArchiveUsage =
    "usage: qmtool archive list [--json]\n"
    "       qmtool archive show VISIT\n"
    "       qmtool archive add FILE...\n"
    "       qmtool archive export VISIT --out DIR\n"
    "       qmtool archive remove VISIT\n"
    "       qmtool archive check\n"
    "\n"
    "The visit archive keeps every download and every opened file. list shows the visits newest\n"
    "first (--json: one JSON array), show one visit with its jobs, titles and notes; add keeps\n"
    "save files (.qmk) or raw download streams; export writes one save file per job of a visit\n"
    "into DIR, with its titles and notes; remove deletes a visit; check runs the integrity check\n"
    "and counts the visits and readings. The archive is QUELLMARK_ARCHIVE, else\n"
    "$XDG_DATA_HOME/quellmark/archive.sqlite, else ~/.local/share/quellmark/archive.sqlite.\n";

void print_json(const std::vector<qm::VisitSummary>& visits) {
    std::printf("[");
    for (std::size_t i = 0; i < visits.size(); ++i) {
        const qm::VisitSummary& v = visits[i];
        std::printf("%s\n  {\"id\": %lld, \"received\": \"%s\", \"meter\": %s, \"source\": \"%s\", "
                    "\"sha256\": \"%s\", \"readings\": %lld, \"jobs\": [",
                    i == 0 ? "" : ",", static_cast<long long>(v.id),
                    qm::iso8601(v.received).c_str(), json_string(to_utf8(v.meter)).c_str(),
                    std::string(qm::visit_source_name(v.source)).c_str(), v.sha256.c_str(),
                    static_cast<long long>(v.readings));
        for (std::size_t j = 0; j < v.jobs.size(); ++j) {
            const qm::ArchivedJob& job = v.jobs[j];
            std::printf("%s{\"number\": %d, \"kind\": \"%s\", \"id\": %d, \"readings\": %lld, "
                        "\"title\": %s}",
                        j == 0 ? "" : ", ", job.number,
                        std::string(qm::record_kind_name(job.kind)).c_str(), job.id,
                        static_cast<long long>(job.readings),
                        json_string(to_utf8(job.title)).c_str());
        }
        std::printf("]}");
    }
    std::printf("%s]\n", visits.empty() ? "" : "\n");
}

void print_visit_line(const qm::VisitSummary& v) {
    std::string jobs;
    for (const qm::ArchivedJob& job : v.jobs) {
        char head[64];
        std::snprintf(head, sizeof head, "%s%s %d ID %03d", jobs.empty() ? "" : "; ",
                      job.kind == qm::RecordKind::Mc ? "MC" : "RH/T", job.number, job.id);
        jobs += head;
        if (!job.title.empty()) {
            jobs += " \"" + shown(job.title) + "\"";
        }
    }
    std::printf("%lld\t%s\t%s\t%s\t%lld readings\t%s\n", static_cast<long long>(v.id),
                qm::iso8601(v.received).c_str(), shown(v.meter).c_str(),
                std::string(qm::visit_source_name(v.source)).c_str(),
                static_cast<long long>(v.readings), jobs.c_str());
}

int list_visits(qm::VisitArchive& archive, bool json) {
    const qm::Result<std::vector<qm::VisitSummary>> read = archive.all_visits();
    if (!read) {
        std::fprintf(stderr, "qmtool: %s\n", read.error().c_str());
        return kExitFailure;
    }
    const std::vector<qm::VisitSummary>& visits = *read;
    if (json) {
        print_json(visits);
    } else {
        for (const qm::VisitSummary& v : visits) {
            print_visit_line(v);
        }
    }
    return kExitOk;
}

int show_visit(qm::VisitArchive& archive, std::int64_t id) {
    const qm::Result<std::optional<qm::VisitSummary>> found = archive.find_visit(id);
    if (!found) {
        std::fprintf(stderr, "qmtool: %s\n", found.error().c_str());
        return kExitFailure;
    }
    const std::optional<qm::VisitSummary>& visit = *found;
    if (!visit) {
        std::fprintf(stderr, "qmtool: there is no visit %lld in the archive\n",
                     static_cast<long long>(id));
        return kExitFailure;
    }
    std::printf("Visit %lld\nReceived: %s\nMeter: %s\nSource: %s\nSHA-256: %s\nReadings: %lld\n",
                static_cast<long long>(visit->id), qm::iso8601(visit->received).c_str(),
                shown(visit->meter).c_str(),
                std::string(qm::visit_source_name(visit->source)).c_str(), visit->sha256.c_str(),
                static_cast<long long>(visit->readings));
    for (const qm::ArchivedJob& job : visit->jobs) {
        std::printf("\n%s job %d, ID %03d, %lld reading%s\n",
                    job.kind == qm::RecordKind::Mc ? "MC" : "RH/T", job.number, job.id,
                    static_cast<long long>(job.readings), job.readings == 1 ? "" : "s");
        if (!job.title.empty()) {
            std::printf("Title: %s\n", shown(job.title).c_str());
        }
        if (!job.notes.empty()) {
            std::printf("Notes:\n");
            const std::string notes = shown(qm::notes_with_newlines(job.notes), "\t\n");
            for (std::size_t at = 0; at <= notes.size();) {
                const std::size_t end = std::min(notes.find('\n', at), notes.size());
                std::printf("    %s\n", notes.substr(at, end - at).c_str());
                at = end + 1;
            }
        }
    }
    return kExitOk;
}

int add_files(qm::VisitArchive& archive, const std::vector<std::string>& files) {
    int status = kExitOk;
    for (const std::string& file : files) {
        std::vector<std::uint8_t> bytes;
        if (!read_stream_file(file, bytes)) {
            status = kExitFailure;
            continue;
        }
        const qm::AddVisitResult added = qm::archive_source(archive, bytes, qm::received_now());
        const auto id = static_cast<long long>(added.visit_id);
        if (added.status == qm::AddVisitResult::Status::Added) {
            std::printf("%s: kept as visit %lld\n", file.c_str(), id);
        } else if (added.status == qm::AddVisitResult::Status::AlreadyArchived) {
            std::printf("%s: already in the archive as visit %lld\n", file.c_str(), id);
        } else {
            std::fprintf(stderr, "qmtool: %s: not kept: %s\n", file.c_str(), added.error.c_str());
            status = kExitFailure;
        }
    }
    return status;
}

int export_visit(qm::VisitArchive& archive, std::int64_t id, const std::string& out_dir) {
    auto app = std::make_unique<qm::AppState>();
    const qm::DecodedSource opened =
        qm::open_visit(archive, id, app->store, app->meter, app->job_records, app->selection);
    if (!opened.ok) {
        std::fprintf(stderr, "qmtool: %s\n", opened.error.c_str());
        return kExitFailure;
    }
    return write_job_save_files(*app, out_dir, SaveFilesOptions{}, stderr);
}

int remove_visit(qm::VisitArchive& archive, std::int64_t id) {
    const qm::Result<std::string> warning = qm::visit_removal_warning(archive, id);
    if (!warning || !archive.remove_visit(id)) {
        const std::string why = !warning                  ? warning.error()
                                : archive.error().empty() ? "there is no such visit"
                                                          : archive.error();
        std::fprintf(stderr, "qmtool: visit %lld not removed: %s\n", static_cast<long long>(id),
                     why.c_str());
        return kExitFailure;
    }
    std::printf("Visit %lld removed.\n%s", static_cast<long long>(id), warning->c_str());
    return kExitOk;
}

int check_archive(qm::VisitArchive& archive) {
    const qm::Result<qm::ArchiveCheck> checked = archive.check();
    if (!checked) {
        std::fprintf(stderr, "qmtool: %s\n", checked.error().c_str());
        return kExitFailure;
    }
    const qm::ArchiveCheck& check = *checked;
    for (const std::string& line : check.integrity) {
        std::printf("%s\n", line.c_str());
    }
    for (const std::int64_t id : check.incomplete_visits) {
        std::printf("visit %lld is incomplete\n", static_cast<long long>(id));
    }
    for (const std::int64_t id : check.sourceless_visits) {
        std::printf("visit %lld has lost its source bytes\n", static_cast<long long>(id));
    }
    for (const std::int64_t id : check.damaged_visits) {
        std::printf("visit %lld is damaged: its source bytes do not match their SHA-256\n",
                    static_cast<long long>(id));
    }
    std::printf("%lld visits, %lld readings\n", static_cast<long long>(check.visits),
                static_cast<long long>(check.readings));
    return check.ok() ? kExitOk : kExitFailure;
}

bool parse_visit(const std::string& text, std::int64_t& id) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    return ec == std::errc{} && end == text.data() + text.size() && id > 0;
}

// The number of positional arguments each action takes (-1: one or more).
int arity(const std::string& action) {
    if (action == "list" || action == "check") {
        return 0;
    }
    if (action == "add") {
        return -1;
    }
    return action == "show" || action == "export" || action == "remove" ? 1 : -2;
}

bool valid_usage(const Arguments& args) {
    if (args.positional.empty()) {
        return false;
    }
    const std::string& action = args.positional[0];
    const int n = arity(action);
    const auto given = static_cast<int>(args.positional.size()) - 1;
    std::int64_t id = 0;
    return (n == -1 ? given >= 1 : n == given) && (n != 1 || parse_visit(args.positional[1], id)) &&
           (args.value("--out") != nullptr) == (action == "export") &&
           (!args.has("--json") || action == "list");
}

int run_action(qm::VisitArchive& archive, const Arguments& args) {
    const std::string& action = args.positional[0];
    std::int64_t id = 0;
    if (args.positional.size() == 2) {
        parse_visit(args.positional[1], id);
    }
    if (action == "list") {
        return list_visits(archive, args.has("--json"));
    }
    if (action == "show") {
        return show_visit(archive, id);
    }
    if (action == "add") {
        return add_files(archive, {args.positional.begin() + 1, args.positional.end()});
    }
    if (action == "export") {
        return export_visit(archive, id, *args.value("--out"));
    }
    if (action == "remove") {
        return remove_visit(archive, id);
    }
    return check_archive(archive);
}

} // namespace

int run_archive(int argc, char** argv) {
    Arguments args;
    std::string error;
    if (!parse_arguments(argc, argv, {"--json"}, {"--out"}, args, error) || args.help ||
        !valid_usage(args)) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool archive: %s\n", error.c_str());
        }
        std::fputs(kArchiveUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    const qm::OpenedArchive opened = qm::open_archive(qm::default_archive_path());
    if (!opened.message.empty()) {
        std::fprintf(stderr, "qmtool: %s\n", opened.message.c_str());
    }
    if (!opened.archive) {
        return kExitFailure;
    }
    return finish_output(run_action(*opened.archive, args));
}

} // namespace qmtool
