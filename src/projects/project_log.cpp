#include "projects/project_log.h"

#include <algorithm>
#include <array>

namespace qm {

Status load_project_readings(ProjectStore& store, VisitArchive& archive, std::int64_t project,
                             ProjectReadings& out) {
    out.attached.clear();
    out.readings.clear();
    Result<std::vector<ProjectJob>> jobs = store.jobs(project);
    if (!jobs) {
        out.jobs.clear();
        return failure(jobs.error());
    }
    out.jobs = std::move(*jobs);
    std::vector<JobRef> refs;
    for (const ProjectJob& j : out.jobs) {
        refs.push_back(j.job);
    }
    Result<std::vector<std::vector<Reading>>> rows = archive.job_readings(refs);
    if (!rows) {
        out.jobs.clear();
        return failure(rows.error());
    }
    out.readings = std::move(*rows);
    for (std::size_t i = 0; i < out.jobs.size(); ++i) {
        out.attached.push_back({out.jobs[i].meter, out.jobs[i].job_id, out.readings[i]});
    }
    return done();
}

ProjectLogs project_logs(const ProjectReadings& readings, const ProjectSettings& settings,
                         bool celsius) {
    ProjectLogs logs;
    const std::vector<RemovedPoint> removed = settings.removed_points();
    const std::vector<MonitoringPoint> planned = settings.planned_points();
    logs.drying = drying_log(readings.attached,
                             {settings.materials, settings.point_standards, removed, planned});
    const std::vector<AirPointRole> roles = settings.roles();
    logs.air = air_log(readings.attached, roles, celsius);
    std::vector<std::int64_t> days_read = logs.drying.days;
    for (const AirDay& a : logs.air.rows) {
        days_read.push_back(a.day);
    }
    std::sort(days_read.begin(), days_read.end());
    days_read.erase(std::unique(days_read.begin(), days_read.end()), days_read.end());
    const std::vector<EquipmentEntry> entries = settings.equipment_entries();
    logs.equipment = equipment_log(entries, days_read);
    return logs;
}

} // namespace qm
