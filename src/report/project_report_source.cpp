#include "report/project_report_source.h"

#include "archive/visit_evidence.h"
#include "archive/visit_loading.h"
#include "projects/project_log.h"
#include "report/project_report_days.h"
#include "report/report_photos.h"
#include "report/report_source.h"
#include "state/app_state.h"
#include "store/code_legend.h"

#include <algorithm>
#include <map>
#include <set>

namespace qm {

namespace {

// What is said of a job's visit, in the report's code page.
void say_evidence(const VisitEvidence& e, ReportJob& job) {
    job.technician = cp1252_of_utf8(e.technician);
    job.meter_name = cp1252_of_utf8(
        e.meter_serial.empty() ? e.meter_name : e.meter_name + ", serial " + e.meter_serial);
    job.calibration = e.check ? check_text_plain(*e.check) : std::string();
}

// The attached jobs of each visit, decoded again from the visit's kept bytes with the titles and
// notes the archive holds.
bool attached_report_jobs(VisitArchive& archive, const std::vector<ProjectJob>& jobs,
                          std::vector<ReportJob>& out, std::string& error) {
    const Result<std::map<std::int64_t, VisitEvidence>> evidence = evidence_by_visit(archive);
    if (!evidence) {
        error = evidence.error();
        return false;
    }
    for (std::size_t first = 0; first < jobs.size();) {
        const std::int64_t visit = jobs[first].job.visit_id;
        const auto app = std::make_unique<AppState>();
        const DecodedSource decoded =
            open_visit(archive, visit, app->store, app->meter, app->job_records, app->selection);
        if (!decoded.ok) {
            error = "visit " + std::to_string(visit) + " cannot be opened" +
                    (decoded.error.empty() ? std::string() : ": " + decoded.error);
            return false;
        }
        for (; first < jobs.size() && jobs[first].job.visit_id == visit; ++first) {
            const JobRef& j = jobs[first].job;
            out.push_back(report_job_from_store(app->store, app->meter, j.kind, j.number));
            if (const auto said = evidence->find(visit); said != evidence->end()) {
                say_evidence(said->second, out.back());
            }
        }
    }
    return true;
}

// The shipped names of the codes with the project's own over them, and the role of an RH/T
// point after its location's name ("Misc 1 \x97 dehumidifier outlet").
CodeNames project_code_names(const CodeLegend& overrides,
                             std::span<const std::pair<int, std::string>> roles) {
    CodeNames names = default_code_names();
    for (const auto& [code, name] : overrides) {
        for (int area = 0; area < kNamedAreas; ++area) {
            if (location_name(area) == code && !name.empty()) {
                names.areas[static_cast<std::size_t>(area)] = cp1252_of_utf8(name);
            }
        }
        for (int sub = 0; sub < kSubLocationCount; ++sub) {
            if (sub_location_name(sub) == code && !name.empty()) {
                names.sub_locations[static_cast<std::size_t>(sub)] = cp1252_of_utf8(name);
            }
        }
    }
    for (const auto& [location, role] : roles) {
        if (location >= 0 && location < kNamedAreas) {
            names.areas[static_cast<std::size_t>(location)] += " \x97 " + role;
        }
    }
    return names;
}

} // namespace

bool load_project_report(VisitArchive& archive, std::string_view name, const ReportUnits& units,
                         ProjectReportData& out, std::string& error) {
    ProjectStore store(archive);
    const Result<std::optional<ProjectSummary>> found = store.find(name);
    if (!found || !*found) {
        error = found ? "there is no project named \"" + std::string(name) + "\"" : found.error();
        return false;
    }
    const ProjectSummary& project = **found;
    ProjectReadings readings;
    const Status read = load_project_readings(store, archive, project.id, readings);
    const Result<ProjectSettings> stored = store.settings(project.id);
    if (!read || !stored) {
        error = !read ? read.error() : stored.error();
        return false;
    }
    const ProjectSettings& settings = *stored;
    const ProjectLogs logs = project_logs(readings, settings, units.celsius);
    std::vector<int> air_locations;
    for (const PointHistory& h : point_histories(readings.attached, true)) {
        air_locations.push_back(h.point.location);
    }
    std::set<std::int64_t> visits;
    for (const ProjectJob& j : readings.jobs) {
        visits.insert(j.job.visit_id);
    }
    const Result<std::map<std::int64_t, VisitEvidence>> evidence = evidence_by_visit(archive);
    if (!evidence) {
        error = evidence.error();
        return false;
    }
    ProjectReport report = project_report(project.details, settings, logs, air_locations,
                                          readings.jobs.size(), visits.size(), units);
    add_day_tables(report, logs.drying, log_day_visits(logs.drying.days, readings, *evidence),
                   units);
    Result<std::vector<ReportPhoto>> photos = report_photos(archive, project.id);
    if (!photos) {
        error = photos.error();
        return false;
    }
    report.photos = std::move(photos).value();
    out.project = std::make_shared<const ProjectReport>(std::move(report));
    out.codes = project_code_names(settings.legend_overrides, out.project->location_roles);
    out.jobs.clear();
    if (!attached_report_jobs(archive, readings.jobs, out.jobs, error)) {
        return false;
    }
    // A visit deleted and downloaded again is received later; its readings keep their day.
    order_by_meter_time(out.jobs);
    return true;
}

std::optional<std::string> project_of_jobs(VisitArchive& archive, std::int64_t visit,
                                           std::span<const ReportJob> jobs) {
    if (jobs.empty()) {
        return std::nullopt;
    }
    ProjectStore store(archive);
    // A project that cannot be read names no report: the report goes without its project's name.
    const Result<std::vector<std::string>> names = store.projects_of_visit(visit);
    for (const std::string& name : names ? *names : std::vector<std::string>{}) {
        const Result<std::optional<ProjectSummary>> project = store.find(name);
        const Result<std::vector<ProjectJob>> read =
            project && *project ? store.jobs((*project)->id)
                                : Result<std::vector<ProjectJob>>(failure(project.error()));
        if (!read) {
            continue;
        }
        const std::vector<ProjectJob>& attached = *read;
        const bool all = std::all_of(jobs.begin(), jobs.end(), [&](const ReportJob& job) {
            return std::any_of(attached.begin(), attached.end(), [&](const ProjectJob& a) {
                return a.job == JobRef{visit, job.kind, job.job};
            });
        });
        if (all) {
            return name;
        }
    }
    return std::nullopt;
}

} // namespace qm
