#include "files/file_commands.h"
#include "files/regular_file.h"
#include "projects/drying_days.h"
#include "report/project_report_source.h"
#include "report/report_source.h"
#include "state/app_state.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/output_checks.h"
#include "tools/qmtool/report_render.h"
#include "tools/qmtool/saved_job.h"
#include "tools/qmtool/text_codec.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace qmtool {

namespace {

constexpr const char* kReportUsage =
    "usage: qmtool report SAVE_FILE... --out REPORT.pdf [--title TEXT] [--prepared-for TEXT]\n"
    "                     [--site TEXT] [--prepared-by TEXT] [--celsius] [--international]\n"
    "                     [--paper a4|letter] [--sections LIST]\n"
    "       qmtool report --project NAME --out REPORT.pdf [--archive PATH] [options as above]\n"
    "\n"
    "Writes the client report of every job in the save files into one PDF file: for each job a\n"
    "heading (title, job and ID, meter, first and last reading, notes, codes), a summary per\n"
    "location and material, charts, the MC distribution and every reading. Without --title each\n"
    "job is titled with its own title, else \"Job #n\". The paper is Letter or A4 as the locale\n"
    "has it (LC_PAPER). Ctrl-C cancels; a cancelled or failed report writes no file.\n"
    "\n"
    "--sections LIST  the parts of each job after its heading, separated by commas, of\n"
    "                 summary, charts, distribution and readings (default: all four)\n"
    "--project NAME   the report of a drying project of the visit archive: the project's\n"
    "                 heading, the legend of its codes, the drying log, the charts of its points\n"
    "                 across days, the psychrometric and equipment logs, then the report of each\n"
    "                 attached job as its visit holds it\n"
    "--archive PATH   the visit archive (default: $QUELLMARK_ARCHIVE, else\n"
    "                 $XDG_DATA_HOME/quellmark/archive.sqlite)\n";

// One line of at most this many characters, like a job's title.
constexpr std::size_t kLongestField = 259;

// Set by Ctrl-C while the pages are painted; read before each page.
volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void on_interrupt(int /*signal*/) {
    g_interrupted = 1;
}

// Catches Ctrl-C while it lives, so that the report stops between two pages.
class InterruptCatch {
public:
    InterruptCatch() {
        g_interrupted = 0;
        struct sigaction action = {};
        action.sa_handler = on_interrupt;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previous_);
    }
    ~InterruptCatch() { ::sigaction(SIGINT, &previous_, nullptr); }
    InterruptCatch(const InterruptCatch&) = delete;
    InterruptCatch& operator=(const InterruptCatch&) = delete;

private:
    struct sigaction previous_ = {};
};

// The fields and choices of the command line; `error` names what is unusable.
struct ReportArguments {
    qm::ReportRequest request;
    std::string error;
};

void read_field(const Arguments& args, std::string_view option, std::string& field,
                std::string& error) {
    const std::string* value = args.value(option);
    if (value == nullptr || !error.empty()) {
        return;
    }
    const std::optional<std::string> text = from_utf8(*value);
    if (!text) {
        error = std::string(option) + " holds a character Windows-1252 has no byte for";
    } else if (text->find_first_of("\r\n") != std::string::npos || text->size() > kLongestField) {
        error = std::string(option) + " is one line of at most 259 characters";
    } else {
        field = *text;
    }
}

// "summary,readings": the sections named, the others left out. False for an unknown or no name.
bool read_sections(std::string_view list, qm::ReportSections& sections) {
    const std::pair<std::string_view, bool qm::ReportSections::*> names[] = {
        {"summary", &qm::ReportSections::summary},
        {"charts", &qm::ReportSections::charts},
        {"distribution", &qm::ReportSections::distribution},
        {"readings", &qm::ReportSections::readings},
    };
    qm::ReportSections chosen{false, false, false, false};
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string_view name = list.substr(start, end - start);
        const auto* found = std::find_if(std::begin(names), std::end(names),
                                         [&](const auto& n) { return n.first == name; });
        if (found == std::end(names)) {
            return false;
        }
        chosen.*(found->second) = true;
        start = end + 1;
    }
    sections = chosen;
    return true;
}

ReportArguments read_report_arguments(const Arguments& args) {
    ReportArguments r;
    qm::ReportRequest& q = r.request;
    read_field(args, "--title", q.fields.title, r.error);
    read_field(args, "--prepared-for", q.fields.prepared_for, r.error);
    read_field(args, "--site", q.fields.site, r.error);
    read_field(args, "--prepared-by", q.fields.prepared_by, r.error);
    q.units = {args.has("--celsius"), args.has("--international")};
    q.paper = qm::paper_for_locale(qm::paper_locale_from_environment());
    if (const std::string* paper = args.value("--paper")) {
        if (const std::optional<qm::Paper> chosen = qm::paper_from_name(*paper)) {
            q.paper = *chosen;
        } else if (r.error.empty()) {
            r.error = "--paper is a4 or letter";
        }
    }
    if (const std::string* list = args.value("--sections"); list != nullptr && r.error.empty()) {
        if (!read_sections(*list, q.sections)) {
            r.error = "--sections is a list of summary, charts, distribution and readings";
        }
    }
    const qm::LocalDate today = qm::local_today();
    q.printed = {today.year, today.month, today.day};
    return r;
}

// The jobs of the save files, each file's RH/T jobs before its MC jobs as the wizard offers
// them. False when a file cannot be read (said on stderr).
bool collect_jobs(const std::vector<std::string>& paths, std::vector<qm::ReportJob>& jobs) {
    for (const std::string& path : paths) {
        const auto app = std::make_unique<qm::AppState>();
        if (!open_save_file(path, *app)) {
            return false;
        }
        qm::ReadingStore& store = app->store;
        if (store.mc_job_count + store.rh_job_count == 0) {
            std::fprintf(stderr, "qmtool: warning: %s: no readings, nothing to report\n",
                         path.c_str());
        }
        for (std::int32_t i = 0; i < store.rh_job_count; ++i) {
            jobs.push_back(qm::report_job_from_store(store, app->meter, qm::RecordKind::Rh,
                                                     store.rh_jobs[static_cast<std::size_t>(i)]));
        }
        for (std::int32_t i = 0; i < store.mc_job_count; ++i) {
            jobs.push_back(qm::report_job_from_store(store, app->meter, qm::RecordKind::Mc,
                                                     store.mc_jobs[static_cast<std::size_t>(i)]));
        }
    }
    return true;
}

std::string archive_of(const Arguments& args) {
    const std::string* path = args.value("--archive");
    return path != nullptr ? *path : qm::default_archive_path();
}

// The project's pages and its attached jobs from the archive. False when the archive or the
// project cannot be read (said on stderr).
bool collect_project(const std::string& archive_path, const std::string& name,
                     qm::ReportRequest& request, std::vector<qm::ReportJob>& jobs) {
    // A report reads the archive: a path that holds none is not made into an empty one.
    if (::access(archive_path.c_str(), F_OK) != 0) {
        std::fprintf(stderr, "qmtool report: %s: there is no visit archive there\n",
                     archive_path.c_str());
        return false;
    }
    qm::OpenedArchive opened = qm::open_archive(archive_path);
    if (!opened.message.empty()) {
        std::fprintf(stderr, "qmtool: %s\n", opened.message.c_str());
    }
    if (!opened.archive) {
        return false;
    }
    qm::ProjectReportData data;
    std::string error;
    if (!qm::load_project_report(*opened.archive, name, request.units, data, error)) {
        std::fprintf(stderr, "qmtool report: %s\n", error.c_str());
        return false;
    }
    request.project = data.project;
    request.codes = data.codes;
    jobs = std::move(data.jobs);
    return true;
}

// "Page N of M" on one terminal line while the pages are painted; nothing when stderr is a file.
class PageProgress {
public:
    PageProgress() : shown_(::isatty(STDERR_FILENO) == 1) {}
    ~PageProgress() {
        if (shown_ && written_) {
            std::fputc('\n', stderr);
        }
    }
    PageProgress(const PageProgress&) = delete;
    PageProgress& operator=(const PageProgress&) = delete;

    bool operator()(int page, int pages) {
        if (shown_) {
            std::fprintf(stderr, "\rPage %i of %i", page, pages);
            std::fflush(stderr);
            written_ = true;
        }
        return g_interrupted == 0;
    }

private:
    bool shown_;
    bool written_ = false;
};

int usage(const Arguments& args, const std::string& why) {
    if (!why.empty() && !args.help) {
        std::fprintf(stderr, "qmtool report: %s\n", why.c_str());
    }
    std::fputs(kReportUsage, args.help ? stdout : stderr);
    return args.help && why.empty() ? kExitOk : kExitUsage;
}

} // namespace

int run_report(int argc, char** argv) {
    Arguments args;
    std::string error;
    const bool parsed =
        parse_arguments(argc, argv, {"--celsius", "--international"},
                        {"--out", "--title", "--prepared-for", "--site", "--prepared-by", "--paper",
                         "--project", "--archive", "--sections"},
                        args, error);
    const ReportArguments report = parsed ? read_report_arguments(args) : ReportArguments{};
    const std::string* out = args.value("--out");
    if (error.empty()) {
        error = report.error;
    }
    const std::string* project = args.value("--project");
    if (error.empty() && project != nullptr && !args.positional.empty()) {
        error = "--project takes no save files";
    } else if (error.empty() && project == nullptr && args.value("--archive") != nullptr) {
        error = "--archive is for --project";
    }
    if (!parsed || args.help || !error.empty() || out == nullptr ||
        (args.positional.empty() && project == nullptr)) {
        return usage(args, error);
    }
    const std::vector<std::string> inputs =
        project != nullptr ? std::vector<std::string>{archive_of(args)} : args.positional;
    if (output_is_an_input(*out, inputs)) {
        return kExitFailure;
    }
    if (!report_available()) {
        std::fprintf(stderr, "qmtool report: not available: this qmtool was built without Qt "
                             "(QM_BUILD_UI=OFF)\n");
        return kExitFailure;
    }
    std::vector<qm::ReportJob> jobs;
    qm::ReportRequest request = report.request;
    if (project != nullptr) {
        if (!collect_project(inputs.front(), *project, request, jobs)) {
            return kExitFailure;
        }
    } else if (!collect_jobs(args.positional, jobs)) {
        return kExitFailure;
    }
    if (jobs.empty() && !request.project) {
        std::fprintf(stderr, "qmtool: no readings to report; %s was not written\n", out->c_str());
        return kExitFailure;
    }
    const InterruptCatch interrupts;
    RenderOutcome outcome;
    {
        PageProgress progress;
        outcome = render_report_file(*out, jobs, request, std::ref(progress));
    }
    switch (outcome.status) {
    case RenderStatus::Written:
        std::printf("%s: %i %s\n", out->c_str(), outcome.pages,
                    outcome.pages == 1 ? "page" : "pages");
        return finish_output(kExitOk);
    case RenderStatus::Cancelled:
        std::fprintf(stderr, "qmtool: report cancelled; %s was not written\n", out->c_str());
        return kExitFailure;
    case RenderStatus::Failed:
        break;
    }
    std::fprintf(stderr, "qmtool: %s: %s\n", out->c_str(),
                 outcome.error != 0 ? qm::file_error_text(outcome.error).c_str()
                                    : "the report's pages could not be made");
    return kExitFailure;
}

} // namespace qmtool
