#include "tools/qmtool/project_command.h"

#include "photos/project_photos.h"
#include "projects/drying_days.h"
#include "projects/project_texts.h"
#include "text/text_format.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/text_codec.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace qmtool {

namespace {

constexpr const char* kProjectUsage =
    "usage: qmtool project SUBCOMMAND ARGS... [--archive PATH]\n"
    "  create NAME [--client TEXT] [--site TEXT] [--claim TEXT] [--loss-date YYYY-MM-DD]\n"
    "         [--category 1-3] [--class 1-4] [--notes TEXT]   a new drying project\n"
    "  set NAME [--name NEW_NAME] [--client TEXT] [--site TEXT] [--claim TEXT]\n"
    "         [--loss-date YYYY-MM-DD|none] [--category 1-3|none] [--class 1-4|none]\n"
    "         [--notes TEXT]             change a project's details\n"
    "  remove NAME                   remove a project (its visits stay in the archive)\n"
    "  list                          the projects, with their attached jobs\n"
    "  show NAME                     details, jobs, jobs proposed to attach, points, standards,\n"
    "                                equipment and the code names of a project\n"
    "  attach NAME VISIT[:JOB]...    attach a visit's jobs (all, or those of job number JOB)\n"
    "  detach NAME VISIT[:JOB]...    detach them (the visits stay in the archive as they are)\n"
    "  label NAME POINT TEXT         give a point a label (an empty TEXT removes it)\n"
    "  point add NAME POINT [--label TEXT]   add a point before it is read (planned: the log\n"
    "                                shows it, not read yet); point drop NAME POINT undoes it\n"
    "  removed NAME POINT (--on YYYY-MM-DD --reason TEXT | --clear)\n"
    "                                the material at a pin or scan point was removed on that\n"
    "                                day: from then on its readings are no longer judged\n"
    "  standard NAME (--material NAME [--scan] | --point POINT)\n"
    "         (--value V | --reference POINT | --clear) [--tolerance T]\n"
    "                                the dry standard of a material's pin (or --scan) readings,\n"
    "                                or of one point; the goal is the standard plus the tolerance\n"
    "  role NAME POINT ROLE          the role of an RH/T point: affected, unaffected, outside,\n"
    "                                outlet (dehumidifier outlet) or other\n"
    "  legend NAME CODE TEXT         the project's name of a location or sub-location code\n"
    "                                (an empty TEXT gives back the default)\n"
    "  equipment NAME add --type TYPE --count N --place TEXT --placed YYYY-MM-DD\n"
    "         [--removed YYYY-MM-DD] [--unit ID] [--model TEXT] [--capacity N]\n"
    "                                TYPE: dehumidifier, air-mover, heater or other; --unit the\n"
    "                                unit's ID or serial, --capacity its rating (dehumidifier:\n"
    "                                pints/day AHAM; air mover: CFM); running units count to\n"
    "                                the last day read\n"
    "  equipment NAME set N [--type TYPE] [--count N] [--place TEXT] [--placed YYYY-MM-DD]\n"
    "         [--removed YYYY-MM-DD|running] [--unit ID] [--model TEXT] [--capacity N|none]\n"
    "  equipment NAME list | remove N   the entries, numbered from 1\n"
    "  log NAME [--json] [--celsius] the drying log, the psychrometric log and the equipment log\n"
    "                                and the project's warnings\n"
    "  check NAME [--json]           what a reviewer would question: a date of loss after every\n"
    "                                reading, a reference not read on a day, a point read once\n"
    "  export NAME --out FILE        the project and its visits' source bytes in one file\n"
    "  import FILE [--name NAME]     a project file into the archive, its visits with it\n"
    "  photo add NAME FILE... [--point POINT] [--day YYYY-MM-DD] [--caption TEXT]\n"
    "                                attach photos (JPEG, PNG, HEIC) to the project, a point or\n"
    "                                a day; the same photo is kept once\n"
    "  photo add NAME --folder DIR [--point POINT] [--caption TEXT]\n"
    "                                attach the photos of a folder taken on the project's days\n"
    "  photo list NAME [--json]      the project's photos: SHA-256, day, point, taken at, caption\n"
    "  photo remove NAME SHA         detach a photo (SHA: its SHA-256 or its first digits)\n"
    "  photo export NAME SHA OUT     write a photo's original bytes to the file OUT\n"
    "  plan add NAME PLAN [--image FILE] [--metric]\n"
    "                                a floor plan: an empty sheet in feet (or metres), or a\n"
    "                                PNG or JPEG image in pixels\n"
    "  plan scale NAME PLAN --from X1,Y1 --to X2,Y2 --length LENGTH\n"
    "                                the plan's scale: the marked line is LENGTH long (12ft, "
    "3.5m)\n"
    "  plan room NAME PLAN ROOM (--rect X,Y,W,H | --polygon X,Y,X,Y,X,Y...) [--height LENGTH]\n"
    "                                a room (a room of that name is replaced)\n"
    "  plan list NAME [--json]       the plans, their rooms with areas, walls and volumes, the\n"
    "                                places of the points and the points not placed\n"
    "  place NAME POINT --plan PLAN --at X,Y   put a point on a plan (or move it)\n"
    "  map NAME --plan PLAN --day YYYY-MM-DD --out FILE.svg|FILE.png\n"
    "                                the plan with each placed point's value and state that day\n"
    "\n"
    "POINT is written as the readings table writes it: LOCATION,SUB/MATERIAL for pin readings\n"
    "(\"KIT,W/Plaster\"), the same and \" scan\" for scan readings (\"KIT,W/Plaster scan\"),\n"
    "LOCATION alone for an RH/T point (\"KIT\"). VISIT is a visit's number in the archive.\n"
    "Places on a plan are pixels of its image until its scale is set, then feet (or metres);\n"
    "--from and --to are always pixels of the image (units of an empty sheet).\n"
    "--archive PATH names the archive (default: $QUELLMARK_ARCHIVE, else\n"
    "$XDG_DATA_HOME/quellmark/archive.sqlite).\n";

void print_project_usage(std::FILE* out) {
    std::fputs(kProjectUsage, out);
}

// "VISIT" or "VISIT:JOB".
bool job_argument(const std::string& text, std::int64_t& visit, std::optional<std::int32_t>& job) {
    const std::size_t colon = text.find(':');
    const auto v = integer_argument(text.substr(0, colon), 1, INT64_MAX);
    if (!v) {
        return false;
    }
    visit = *v;
    job.reset();
    if (colon != std::string::npos) {
        const auto j = integer_argument(text.substr(colon + 1), 1, qm::kMaxJobs);
        if (!j) {
            return false;
        }
        job = static_cast<std::int32_t>(*j);
    }
    return true;
}

// Whether a text is UTF-8 (the project's texts are kept and printed as UTF-8).
bool is_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80       ? 1
                                   : c >> 5 == 6  ? 2
                                   : c >> 4 == 14 ? 3
                                   : c >> 3 == 30 ? 4
                                                  : 0;
        if (length == 0 || i + length > text.size() || (length == 2 && c < 0xC2)) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if (static_cast<unsigned char>(text[i + k]) >> 6 != 2) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

// The details' options given over `d` ("none" clears the date of loss, category or class).
// False with the usage error's message.
bool read_details(const Arguments& args, qm::ProjectDetails& d, std::string& error) {
    for (const auto& [option, field] :
         {std::pair{"--name", &d.name}, std::pair{"--client", &d.client},
          std::pair{"--site", &d.site}, std::pair{"--claim", &d.claim},
          std::pair{"--notes", &d.notes}}) {
        if (const std::string* v = args.value(option)) {
            *field = *v;
        }
    }
    if (const std::string* date = args.value("--loss-date")) {
        d.loss_date = qm::parse_iso_date(*date);
        if (!d.loss_date && *date != "none") {
            error = "--loss-date is a date YYYY-MM-DD: " + *date;
            return false;
        }
    }
    for (const auto& [option, high, field] :
         {std::tuple{"--category", 3, &d.category}, std::tuple{"--class", 4, &d.water_class}}) {
        if (const std::string* v = args.value(option)) {
            const auto n = integer_argument(*v, 1, high);
            if (!n && *v != "none") {
                error = std::string(option) + " is 1 to " + std::to_string(high);
                return false;
            }
            *field = n ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
        }
    }
    return true;
}

// create NAME, or set NAME to change a project's details.
int run_details(ProjectSession& s, int argc, char** argv, bool create) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand(create ? "create" : "set", argc, argv, {},
                          {"--name", "--client", "--site", "--claim", "--loss-date", "--category",
                           "--class", "--notes"},
                          1, 1, args, status)) {
        return status;
    }
    if (create && args.value("--name") != nullptr) {
        return usage_error("create: the name is its first argument");
    }
    qm::ProjectDetails d;
    d.name = args.positional[0];
    std::string error;
    if (!read_details(args, d, error)) {
        return usage_error(error);
    }
    if (create) {
        return s.open() && s.store->create(d) ? kExitOk : s.store ? s.failed() : kExitFailure;
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    d = s.details;
    read_details(args, d, error);
    return s.store->update_details(s.project, d) ? kExitOk : s.failed();
}

int run_remove(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("remove", argc, argv, {}, {}, 1, 1, args, status)) {
        return status;
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    if (!s.store->remove(s.project)) {
        return s.failed();
    }
    // The project's photos that no other project holds go with it.
    const qm::Status pruned = qm::ProjectPhotos(*s.archive).prune();
    return pruned ? kExitOk : failure(pruned.error());
}

std::string optional_number(const std::optional<int>& n) {
    return n ? std::to_string(*n) : "-";
}

int run_list(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("list", argc, argv, {}, {}, 0, 0, args, status)) {
        return status;
    }
    if (!s.open()) {
        return kExitFailure;
    }
    const qm::Result<std::vector<qm::ProjectSummary>> projects = s.store->list();
    if (!projects) {
        return failure(projects.error());
    }
    for (const qm::ProjectSummary& p : *projects) {
        std::printf("%s\t%lld jobs\t%s\t%s\n", shown_utf8(p.details.name).c_str(),
                    static_cast<long long>(p.jobs), shown_utf8(p.details.client).c_str(),
                    shown_utf8(p.details.site).c_str());
    }
    return finish_output(kExitOk);
}

void print_jobs(const char* heading, const std::vector<qm::ProjectJob>& jobs) {
    std::printf("%s:\n", heading);
    for (const qm::ProjectJob& j : jobs) {
        std::printf("  %lld:%d\t%s job %d\tID %03d\t%s\t%lld readings\n",
                    static_cast<long long>(j.job.visit_id), j.job.number,
                    j.job.kind == qm::RecordKind::Mc ? "MC" : "RH/T", j.job.number, j.job_id,
                    shown(j.meter).c_str(), static_cast<long long>(j.readings));
    }
}

void print_settings(const qm::ProjectSettings& settings) {
    std::printf("Points:\n");
    for (const qm::PointNote& n : settings.points) {
        std::printf("  %s\t%s\t%s", shown_utf8(qm::point_text(n.point)).c_str(),
                    shown_utf8(n.label).c_str(),
                    n.role ? std::string(qm::air_role_name(*n.role)).c_str() : "");
        if (n.removed) {
            std::printf("\tremoved %s: %s", qm::iso_date(n.removed->on).c_str(),
                        shown_utf8(n.removed->reason).c_str());
        }
        std::printf("%s\n", n.planned ? "\tplanned" : "");
    }
    std::printf("Standards:\n");
    const auto standard = [](const qm::DryStandard& d) {
        return d.value       ? number_text(*d.value)
               : d.reference ? "reference " + qm::point_text(*d.reference)
                             : std::string("none");
    };
    for (const qm::MaterialStandard& m : settings.materials) {
        std::printf("  %s %s\t%s\ttolerance %g\n", shown_utf8(m.material).c_str(),
                    std::string(qm::scale_name(m.scale)).c_str(),
                    shown_utf8(standard(m.standard)).c_str(), m.tolerance);
    }
    for (const qm::PointStandard& p : settings.point_standards) {
        std::printf("  %s\t%s\ttolerance %s\n", shown_utf8(qm::point_text(p.point)).c_str(),
                    shown_utf8(standard(p.standard)).c_str(),
                    p.tolerance ? number_text(*p.tolerance).c_str() : "of the material");
    }
    std::printf("Code names of the project:\n");
    for (const auto& [code, name] : settings.legend_overrides) {
        std::printf("  %s\t%s\n", shown_utf8(code).c_str(), shown_utf8(name).c_str());
    }
}

int run_show(ProjectSession& s, int argc, char** argv) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand("show", argc, argv, {}, {}, 1, 1, args, status)) {
        return status;
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    const qm::Result<std::vector<qm::ProjectJob>> jobs = s.store->jobs(s.project);
    const qm::Result<qm::ProjectSettings> settings = s.store->settings(s.project);
    if (!jobs || !settings) {
        return failure(!jobs ? jobs.error() : settings.error());
    }
    const qm::ProjectDetails d = s.details;
    std::printf("Project: %s\nClient: %s\nSite: %s\nClaim: %s\nDate of loss: %s\n"
                "Water category: %s\nClass: %s\nNotes: %s\n",
                shown_utf8(d.name).c_str(), shown_utf8(d.client).c_str(),
                shown_utf8(d.site).c_str(), shown_utf8(d.claim).c_str(),
                d.loss_date ? qm::iso_date(*d.loss_date).c_str() : "-",
                optional_number(d.category).c_str(), optional_number(d.water_class).c_str(),
                shown_utf8(d.notes, "\t\n").c_str());
    print_jobs("Attached jobs", *jobs);
    print_jobs("Jobs of the same meter and job ID not yet attached",
               s.store->proposed_jobs(s.project));
    print_settings(*settings);
    return finish_output(kExitOk);
}

int run_attach(ProjectSession& s, int argc, char** argv, bool attach) {
    Arguments args;
    int status = kExitOk;
    if (!parse_subcommand(attach ? "attach" : "detach", argc, argv, {}, {}, 2, SIZE_MAX, args,
                          status)) {
        return status;
    }
    std::vector<std::pair<std::int64_t, std::optional<std::int32_t>>> wanted;
    for (std::size_t i = 1; i < args.positional.size(); ++i) {
        std::int64_t visit = 0;
        std::optional<std::int32_t> job;
        if (!job_argument(args.positional[i], visit, job)) {
            return usage_error("a job is VISIT or VISIT:JOB (JOB 1 to 5): " + args.positional[i]);
        }
        wanted.emplace_back(visit, job);
    }
    if (!s.open_project(args.positional[0])) {
        return kExitFailure;
    }
    std::vector<qm::JobRef> jobs;
    for (const auto& [visit, job] : wanted) {
        const std::vector<qm::JobRef> held = s.store->visit_jobs(visit, job);
        if (held.empty()) {
            const qm::Result<std::optional<qm::VisitSummary>> found = s.archive->find_visit(visit);
            return failure(!found ? found.error()
                           : !*found
                               ? "there is no visit " + std::to_string(visit) + " in the archive"
                               : "visit " + std::to_string(visit) + " holds no job " +
                                     std::to_string(job.value_or(0)));
        }
        jobs.insert(jobs.end(), held.begin(), held.end());
    }
    const bool done = attach ? s.store->attach(s.project, jobs) : s.store->detach(s.project, jobs);
    return done ? kExitOk : s.failed();
}

} // namespace

std::string archive_path(const std::string* option) {
    return option != nullptr ? *option : qm::default_archive_path();
}

bool ProjectSession::open() {
    const std::string path = archive_path(archive_option.empty() ? nullptr : &archive_option);
    qm::OpenedArchive opened = qm::open_archive(path);
    if (!opened.message.empty()) {
        std::fprintf(stderr, "qmtool: %s\n", opened.message.c_str());
    }
    if (!opened.archive) {
        return false;
    }
    archive = std::move(opened.archive);
    store = std::make_unique<qm::ProjectStore>(*archive);
    return true;
}

bool ProjectSession::open_project(const std::string& project_name) {
    if (!open()) {
        return false;
    }
    const qm::Result<std::optional<qm::ProjectSummary>> found = store->find(project_name);
    if (!found || !*found) {
        failure(!found ? found.error() : "there is no project named \"" + project_name + "\"");
        return false;
    }
    project = (*found)->id;
    name = (*found)->details.name;
    details = (*found)->details;
    return true;
}

int ProjectSession::failed() const {
    return failure(store->error());
}

bool ProjectSession::read_logs(bool celsius) {
    const qm::Status read = qm::load_project_readings(*store, *archive, project, readings);
    qm::Result<qm::ProjectSettings> stored = read ? store->settings(project) : qm::failure("");
    if (!read || !stored) {
        failure(!read ? read.error() : stored.error());
        return false;
    }
    settings = std::move(*stored);
    logs = qm::project_logs(readings, settings, celsius);
    return true;
}

int usage_error(const std::string& message) {
    std::fprintf(stderr, "qmtool project: %s\n", shown_utf8(message).c_str());
    print_project_usage(stderr);
    return kExitUsage;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "qmtool project: %s\n", shown_utf8(message).c_str());
    return kExitFailure;
}

bool parse_subcommand(const char* name, int argc, char** argv,
                      std::initializer_list<std::string_view> flags,
                      std::initializer_list<std::string_view> valued, std::size_t min_positional,
                      std::size_t max_positional, Arguments& args, int& status) {
    std::string error;
    if (!parse_arguments(argc, argv, flags, valued, args, error)) {
        status = usage_error(std::string(name) + ": " + error);
        return false;
    }
    if (args.help) {
        print_project_usage(stdout);
        status = kExitOk;
        return false;
    }
    for (const std::string& text : args.positional) {
        if (!is_utf8(text)) {
            status = usage_error(std::string(name) + ": a text that is not UTF-8");
            return false;
        }
    }
    for (const auto& [option, text] : args.values) {
        if (!is_utf8(text)) {
            status = usage_error(std::string(name) + ": " + option + " is not UTF-8");
            return false;
        }
    }
    if (args.positional.size() < min_positional || args.positional.size() > max_positional) {
        status = usage_error(std::string(name) + ": wrong number of arguments");
        return false;
    }
    return true;
}

std::optional<qm::MonitoringPoint> point_argument(const std::string& text) {
    return qm::parse_point(text);
}

std::optional<double> number_argument(const std::string& text) {
    return qm::parse_real(text);
}

std::optional<std::int64_t> integer_argument(const std::string& text, std::int64_t low,
                                             std::int64_t high) {
    return qm::parse_integer(text, low, high);
}

int run_project(int argc, char** argv) {
    ProjectSession session;
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--archive" && i + 1 < argc) {
            session.archive_option = argv[++i];
        } else if (arg.starts_with("--archive=")) {
            session.archive_option = std::string(arg.substr(std::strlen("--archive=")));
        } else if (arg == "--archive") {
            return usage_error("option --archive needs a value");
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (rest.empty()) {
        return usage_error("which subcommand?");
    }
    const std::string_view sub = rest[0];
    const int n = static_cast<int>(rest.size()) - 1;
    char** args = rest.data() + 1;
    if (sub == "--help" || sub == "-h") {
        print_project_usage(stdout);
        return kExitOk;
    }
    using Run = int (*)(ProjectSession&, int, char**);
    const std::pair<std::string_view, Run> subcommands[] = {
        {"create", [](ProjectSession& s, int c, char** v) { return run_details(s, c, v, true); }},
        {"set", [](ProjectSession& s, int c, char** v) { return run_details(s, c, v, false); }},
        {"remove", run_remove},
        {"list", run_list},
        {"show", run_show},
        {"attach", [](ProjectSession& s, int c, char** v) { return run_attach(s, c, v, true); }},
        {"detach", [](ProjectSession& s, int c, char** v) { return run_attach(s, c, v, false); }},
        {"label", run_project_label},
        {"standard", run_project_standard},
        {"role", run_project_role},
        {"legend", run_project_legend},
        {"equipment", run_project_equipment},
        {"removed", run_project_removed},
        {"point", run_project_point},
        {"log", run_project_log},
        {"check", run_project_check},
        {"export", run_project_export},
        {"import", run_project_import},
        {"photo", run_project_photo},
        {"plan", run_project_plan},
        {"place", run_project_place},
        {"map", run_project_map},
    };
    for (const auto& [name, run] : subcommands) {
        if (sub == name) {
            return finish_output(run(session, n, args));
        }
    }
    return usage_error("unknown subcommand '" + std::string(sub) + "'");
}

} // namespace qmtool
