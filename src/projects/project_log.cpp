#include "projects/project_log.h"

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
                         bool celsius, std::int64_t today) {
    ProjectLogs logs;
    logs.drying = drying_log(readings.attached, {settings.materials, settings.point_standards});
    const std::vector<AirPointRole> roles = settings.roles();
    logs.air = air_log(readings.attached, roles, celsius);
    const std::vector<EquipmentEntry> entries = settings.equipment_entries();
    logs.equipment = equipment_log(entries, today);
    return logs;
}

} // namespace qm
