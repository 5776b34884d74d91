#include "projects/project_log.h"

namespace qm {

Reading reading_of(const ArchivedReading& row) {
    Reading r;
    r.job = row.job;
    r.kind = row.kind;
    r.location = row.location;
    r.sub_location = row.sub_location;
    r.material = row.material;
    r.year = row.year;
    r.month = row.month;
    r.day = row.day;
    r.hour_code = row.hour_code;
    r.minute = row.minute;
    if (is_rh(r)) {
        r.rh = row.value;
        r.temperature = row.temperature.value_or(0.0);
    } else {
        r.mc = row.value;
        r.pin_temperature = static_cast<std::int32_t>(row.temperature.value_or(0.0));
    }
    return r;
}

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
    const Result<std::vector<std::vector<ArchivedReading>>> rows = archive.job_readings(refs);
    if (!rows) {
        out.jobs.clear();
        return failure(rows.error());
    }
    out.readings.resize(out.jobs.size());
    for (std::size_t i = 0; i < out.jobs.size(); ++i) {
        out.readings[i].reserve((*rows)[i].size());
        for (const ArchivedReading& row : (*rows)[i]) {
            out.readings[i].push_back(reading_of(row));
        }
    }
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
