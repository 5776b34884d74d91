#include "archive/visit_archive.h"
#include "archive/visit_evidence.h"
#include "archive/visit_loading.h"
#include "projects/visit_removal.h"
#include "state/app_state.h"
#include "store/annotations.h"
#include "text/reading_time.h"
#include "tools/qmtool/commands.h"
#include "tools/qmtool/options.h"
#include "tools/qmtool/text_codec.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <string>
#include <utility>

namespace qmtool {

namespace {

constexpr const char* kArchiveUsage =
    "usage: qmtool archive list [--json]\n"
    "       qmtool archive show VISIT\n"
    "       qmtool archive add FILE... [--meter NAME]\n"
    "       qmtool archive export VISIT --out DIR\n"
    "       qmtool archive remove VISIT\n"
    "       qmtool archive check\n"
    "       qmtool archive check-standard VISIT --read N --expected N [--pinless] [--on DATE]\n"
    "       qmtool archive evidence VISIT [--technician NAME] [--meter NAME]\n"
    "\n"
    "The visit archive keeps every download and every opened file. list shows the visits newest\n"
    "first (--json: one JSON array), show one visit with its jobs, titles and notes; add keeps\n"
    "save files (.qmk) or raw download streams; export writes one save file per job of a visit\n"
    "into DIR, with its titles and notes; remove deletes a visit; check runs the integrity check\n"
    "and counts the visits and readings.\n"
    "A visit kept says who read it (--technician or QUELLMARK_TECHNICIAN) and with which meter\n"
    "(--meter NAME of qmtool meter list; else the one meter known for its model); evidence\n"
    "changes them. check-standard says the meter's reading on its check standard (a pin block,\n"
    "or with --pinless a pad) and the value it stands for, checked on DATE (YYYY-MM-DD; by\n"
    "default the visit's last reading date); a reading more than 0.5 %MC off fails the check.\n"
    "VISIT is a visit's number or its SHA-256 (or the SHA-256's first 8 or more digits).\n"
    "The archive is QUELLMARK_ARCHIVE, else\n"
    "$XDG_DATA_HOME/quellmark/archive.sqlite, else ~/.local/share/quellmark/archive.sqlite.\n";

std::string iso_day(std::int64_t day) {
    const qm::CivilDate d = qm::civil_date_of(day);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

// The evidence members of a visit's JSON object (each visit has them, empty when not said).
std::string evidence_json(const qm::VisitEvidence& e) {
    std::string out = "\"technician\": " + json_string(e.technician) +
                      ", \"meter_name\": " + json_string(e.meter_name) +
                      ", \"meter_serial\": " + json_string(e.meter_serial) + ", \"check\": ";
    if (!e.check) {
        return out + "null";
    }
    char check[160];
    std::snprintf(check, sizeof check,
                  "{\"standard\": \"%s\", \"read\": %.10g, \"expected\": %.10g, \"on\": \"%s\", "
                  "\"passed\": %s}",
                  e.check->standard == qm::CheckStandard::PinBlock ? "block" : "pad", e.check->read,
                  e.check->expected, iso_day(e.check->on).c_str(),
                  qm::check_passed(*e.check) ? "true" : "false");
    return out + check;
}

void print_json(const std::vector<qm::VisitSummary>& visits,
                const std::map<std::string, qm::VisitEvidence>& evidence) {
    std::printf("[");
    for (std::size_t i = 0; i < visits.size(); ++i) {
        const qm::VisitSummary& v = visits[i];
        const auto said = evidence.find(v.sha256);
        std::printf(
            "%s\n  {\"id\": %lld, \"received\": \"%s\", \"meter\": %s, \"source\": \"%s\", "
            "\"sha256\": \"%s\", \"readings\": %lld, %s, \"jobs\": [",
            i == 0 ? "" : ",", static_cast<long long>(v.id), qm::iso8601(v.received).c_str(),
            json_string(to_utf8(v.meter)).c_str(),
            std::string(qm::visit_source_name(v.source)).c_str(), v.sha256.c_str(),
            static_cast<long long>(v.readings),
            evidence_json(said == evidence.end() ? qm::VisitEvidence{} : said->second).c_str());
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
        const qm::Result<std::map<std::string, qm::VisitEvidence>> evidence =
            qm::all_visit_evidence(archive);
        if (!evidence) {
            std::fprintf(stderr, "qmtool: %s\n", evidence.error().c_str());
            return kExitFailure;
        }
        print_json(visits, *evidence);
    } else {
        for (const qm::VisitSummary& v : visits) {
            print_visit_line(v);
        }
    }
    return kExitOk;
}

// The lines of what is said of a visit, each only when it is said.
void print_evidence(const qm::VisitEvidence& e) {
    if (!e.technician.empty()) {
        std::printf("Technician: %s\n", shown_utf8(e.technician).c_str());
    }
    if (!e.meter_name.empty() || !e.meter_serial.empty()) {
        std::printf("Meter name: %s%s%s\n", shown_utf8(e.meter_name).c_str(),
                    e.meter_serial.empty() ? "" : ", serial ", shown_utf8(e.meter_serial).c_str());
    }
    if (e.check) {
        std::printf("Calibration: %s\n", qm::check_text(*e.check).c_str());
    }
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
    const qm::Result<std::optional<qm::VisitEvidence>> said =
        qm::visit_evidence(archive, visit->sha256);
    if (!said) {
        std::fprintf(stderr, "qmtool: %s\n", said.error().c_str());
        return kExitFailure;
    }
    print_evidence(said->value_or(qm::VisitEvidence{}));
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

// Says the technician and meter of a visit `archive add` kept.
void keep_evidence_of(qm::VisitArchive& archive, const qm::AddVisitResult& added,
                      const std::string* meter_name) {
    if (added.status == qm::AddVisitResult::Status::Failed) {
        return;
    }
    const qm::Result<std::optional<qm::VisitSummary>> visit = archive.find_visit(added.visit_id);
    if (!visit || !*visit) {
        return;
    }
    if (const auto evidence = new_visit_evidence(archive, to_utf8((*visit)->meter), meter_name)) {
        keep_new_visit_evidence(archive, added.visit_id, *evidence);
    }
}

int add_files(qm::VisitArchive& archive, const std::vector<std::string>& files,
              const std::string* meter_name) {
    int status = kExitOk;
    if (meter_name != nullptr && !new_visit_evidence(archive, "", meter_name)) {
        return kExitFailure;
    }
    for (const std::string& file : files) {
        std::vector<std::uint8_t> bytes;
        if (!read_stream_file(file, bytes)) {
            status = kExitFailure;
            continue;
        }
        const qm::AddVisitResult added = qm::archive_source(archive, bytes, qm::received_now());
        const auto id = static_cast<long long>(added.visit_id);
        keep_evidence_of(archive, added, meter_name);
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

// The visit a number or a SHA-256 (its first 8 or more digits) names; nothing, said on stderr,
// when none or several do.
std::optional<qm::VisitSummary> named_visit(qm::VisitArchive& archive, const std::string& text) {
    constexpr std::size_t kShortestSha = 8;
    const qm::Result<std::vector<qm::VisitSummary>> visits = archive.all_visits();
    if (!visits) {
        std::fprintf(stderr, "qmtool: %s\n", visits.error().c_str());
        return std::nullopt;
    }
    std::int64_t id = 0;
    const bool by_id = parse_visit(text, id);
    std::vector<const qm::VisitSummary*> found;
    for (const qm::VisitSummary& v : *visits) {
        if (by_id ? v.id == id : text.size() >= kShortestSha && v.sha256.starts_with(text)) {
            found.push_back(&v);
        }
    }
    if (found.size() != 1) {
        std::fprintf(stderr, "qmtool: %s visit %s in the archive\n",
                     found.empty() ? "there is no" : "more than one", shown_utf8(text).c_str());
        return std::nullopt;
    }
    return *found[0];
}

bool parse_percent(const std::string* text, double& value) {
    if (text == nullptr) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
    return ec == std::errc{} && end == text->data() + text->size();
}

// The day a check was made: --on DATE, else the visit's last reading date.
std::optional<std::int64_t> check_day(qm::VisitArchive& archive, const qm::VisitSummary& visit,
                                      const std::string* on) {
    if (on != nullptr) {
        int y = 0, m = 0, d = 0;
        char rest = 0;
        if (std::sscanf(on->c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &rest) != 3 || m < 1 || m > 12 ||
            d < 1 || d > 31) {
            std::fprintf(stderr, "qmtool: --on %s is no date (YYYY-MM-DD)\n",
                         shown_utf8(*on).c_str());
            return std::nullopt;
        }
        return qm::civil_day_number(y, m, d);
    }
    const std::int64_t ids[] = {visit.id};
    const auto dates = qm::visit_meter_dates(archive, ids);
    if (!dates) {
        std::fprintf(stderr, "qmtool: %s\n", dates.error().c_str());
        return std::nullopt;
    }
    const auto it = dates->find(visit.id);
    return it == dates->end() ? 0 : it->second.last;
}

// check-standard and evidence: a change of what is said of a visit.
int change_evidence(qm::VisitArchive& archive, const Arguments& args) {
    const std::optional<qm::VisitSummary> visit = named_visit(archive, args.positional[1]);
    if (!visit) {
        return kExitFailure;
    }
    const qm::Result<std::optional<qm::VisitEvidence>> said =
        qm::visit_evidence(archive, visit->sha256);
    if (!said) {
        std::fprintf(stderr, "qmtool: %s\n", said.error().c_str());
        return kExitFailure;
    }
    qm::VisitEvidence e = said->value_or(qm::VisitEvidence{});
    if (args.positional[0] == "check-standard") {
        qm::CalibrationCheck check;
        check.standard =
            args.has("--pinless") ? qm::CheckStandard::PinlessPad : qm::CheckStandard::PinBlock;
        parse_percent(args.value("--read"), check.read);
        parse_percent(args.value("--expected"), check.expected);
        const std::optional<std::int64_t> day = check_day(archive, *visit, args.value("--on"));
        if (!day) {
            return kExitFailure;
        }
        check.on = *day;
        e.check = check;
    }
    if (const std::string* technician = args.value("--technician")) {
        e.technician = *technician;
    }
    if (const std::string* meter = args.value("--meter")) {
        const std::optional<qm::VisitEvidence> with = new_visit_evidence(archive, "", meter);
        if (!with) {
            return kExitFailure;
        }
        e.meter_name = with->meter_name;
        e.meter_serial = with->meter_serial;
    }
    if (const qm::Status kept = qm::set_visit_evidence(archive, visit->sha256, e); !kept) {
        std::fprintf(stderr, "qmtool: visit %lld not changed: %s\n",
                     static_cast<long long>(visit->id), kept.error().c_str());
        return kExitFailure;
    }
    if (e.check && args.positional[0] == "check-standard") {
        std::printf("Visit %lld: %s\n", static_cast<long long>(visit->id),
                    qm::check_text(*e.check).c_str());
    }
    return kExitOk;
}

// The number of positional arguments each action takes (-1: one or more).
int arity(const std::string& action) {
    if (action == "list" || action == "check") {
        return 0;
    }
    if (action == "add") {
        return -1;
    }
    return action == "show" || action == "export" || action == "remove" ||
                   action == "check-standard" || action == "evidence"
               ? 1
               : -2;
}

// The options only some actions take.
bool options_fit(const Arguments& args, const std::string& action) {
    const bool check = action == "check-standard";
    double value = 0.0;
    return (!check || (parse_percent(args.value("--read"), value) &&
                       parse_percent(args.value("--expected"), value))) &&
           (check || (args.value("--read") == nullptr && args.value("--expected") == nullptr &&
                      args.value("--on") == nullptr && !args.has("--pinless"))) &&
           (args.value("--meter") == nullptr || action == "add" || action == "evidence") &&
           (args.value("--technician") == nullptr || action == "evidence");
}

bool valid_usage(const Arguments& args) {
    if (args.positional.empty()) {
        return false;
    }
    const std::string& action = args.positional[0];
    const int n = arity(action);
    const auto given = static_cast<int>(args.positional.size()) - 1;
    std::int64_t id = 0;
    const bool named = action == "check-standard" || action == "evidence";
    return (n == -1 ? given >= 1 : n == given) &&
           (n != 1 || named || parse_visit(args.positional[1], id)) && options_fit(args, action) &&
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
        return add_files(archive, {args.positional.begin() + 1, args.positional.end()},
                         args.value("--meter"));
    }
    if (action == "check-standard" || action == "evidence") {
        return change_evidence(archive, args);
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
    if (!parse_arguments(argc, argv, {"--json", "--pinless"},
                         {"--out", "--meter", "--technician", "--read", "--expected", "--on"}, args,
                         error) ||
        args.help || !valid_usage(args)) {
        if (!error.empty()) {
            std::fprintf(stderr, "qmtool archive: %s\n", error.c_str());
        }
        std::fputs(kArchiveUsage, args.help ? stdout : stderr);
        return args.help && error.empty() ? kExitOk : kExitUsage;
    }
    const std::unique_ptr<qm::VisitArchive> archive = open_default_archive();
    return archive ? finish_output(run_action(*archive, args)) : kExitFailure;
}

std::unique_ptr<qm::VisitArchive> open_default_archive() {
    qm::OpenedArchive opened = qm::open_archive(qm::default_archive_path());
    if (!opened.message.empty()) {
        std::fprintf(stderr, "qmtool: %s\n", opened.message.c_str());
    }
    return std::move(opened.archive);
}

} // namespace qmtool
