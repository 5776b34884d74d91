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

void load_project_readings(ProjectStore& store, VisitArchive& archive, std::int64_t project,
                           ProjectReadings& out) {
    out.jobs = store.jobs(project);
    out.readings.assign(out.jobs.size(), {});
    out.attached.clear();
    SqliteStatement query(archive.db(), "SELECT job, kind, location, sub_location, material, "
                                        "value, temperature, year, month, day, hour_code, minute "
                                        "FROM readings WHERE visit_id = ?1 AND job = ?2 AND "
                                        "(kind = 1) = ?3 ORDER BY seq");
    for (std::size_t i = 0; i < out.jobs.size(); ++i) {
        const JobRef& job = out.jobs[i].job;
        query.reset();
        query.bind(1, job.visit_id)
            .bind(2, std::int64_t{job.number})
            .bind(3, std::int64_t{job.kind == RecordKind::Rh ? 1 : 0});
        while (query.step()) {
            ArchivedReading row;
            row.job = static_cast<std::int32_t>(query.column_int(0));
            row.kind = static_cast<std::int32_t>(query.column_int(1));
            row.location = static_cast<std::int32_t>(query.column_int(2));
            row.sub_location = static_cast<std::int32_t>(query.column_int(3));
            row.material = static_cast<std::int32_t>(query.column_int(4));
            row.value = query.column_double(5);
            if (!query.column_is_null(6)) {
                row.temperature = query.column_double(6);
            }
            row.year = static_cast<std::int32_t>(query.column_int(7));
            row.month = static_cast<std::int32_t>(query.column_int(8));
            row.day = static_cast<std::int32_t>(query.column_int(9));
            row.hour_code = static_cast<std::int32_t>(query.column_int(10));
            row.minute = static_cast<std::int32_t>(query.column_int(11));
            out.readings[i].push_back(reading_of(row));
        }
    }
    for (std::size_t i = 0; i < out.jobs.size(); ++i) {
        out.attached.push_back({out.jobs[i].meter, out.jobs[i].job_id, out.readings[i]});
    }
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
