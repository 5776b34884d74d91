#include "projects/project_log.h"

#include <algorithm>
#include <array>

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

namespace {

ArchivedReading row_of(const SqliteStatement& query) {
    ArchivedReading row;
    std::array<std::int32_t*, 5> head = {&row.job, &row.kind, &row.location, &row.sub_location,
                                         &row.material};
    for (std::size_t c = 0; c < head.size(); ++c) {
        *head[c] = static_cast<std::int32_t>(query.column_int(static_cast<int>(c)));
    }
    row.value = query.column_double(5);
    if (!query.column_is_null(6)) {
        row.temperature = query.column_double(6);
    }
    std::array<std::int32_t*, 5> clock = {&row.year, &row.month, &row.day, &row.hour_code,
                                          &row.minute};
    for (std::size_t c = 0; c < clock.size(); ++c) {
        *clock[c] = static_cast<std::int32_t>(query.column_int(static_cast<int>(c) + 7));
    }
    return row;
}

} // namespace

void load_project_readings(ProjectStore& store, VisitArchive& archive, std::int64_t project,
                           ProjectReadings& out) {
    out.jobs = store.jobs(project);
    out.readings.assign(out.jobs.size(), {});
    out.attached.clear();
    SqliteStatement query(archive.db(), "SELECT job, kind, location, sub_location, material, "
                                        "value, temperature, year, month, day, hour_code, minute "
                                        "FROM readings WHERE visit_id = ?1 ORDER BY seq");
    // The jobs come visit by visit: each visit's rows are read once and go to its jobs.
    for (std::size_t first = 0; first < out.jobs.size();) {
        const std::int64_t visit = out.jobs[first].job.visit_id;
        std::array<std::array<int, kMaxJobs + 1>, 2> slot{}; // [rh][number]: job index + 1
        std::size_t end = first;
        for (; end < out.jobs.size() && out.jobs[end].job.visit_id == visit; ++end) {
            const JobRef& j = out.jobs[end].job;
            if (j.number >= 1 && j.number <= kMaxJobs) {
                slot[j.kind == RecordKind::Rh ? 1 : 0][static_cast<std::size_t>(j.number)] =
                    static_cast<int>(end) + 1;
            }
        }
        query.reset();
        query.bind(1, visit);
        while (query.step()) {
            const ArchivedReading row = row_of(query);
            const int n =
                row.job >= 1 && row.job <= kMaxJobs
                    ? slot[row.kind == RhTemperature ? 1 : 0][static_cast<std::size_t>(row.job)]
                    : 0;
            if (n > 0) {
                out.readings[static_cast<std::size_t>(n - 1)].push_back(reading_of(row));
            }
        }
        first = end;
    }
    for (std::size_t i = 0; i < out.jobs.size(); ++i) {
        out.attached.push_back({out.jobs[i].meter, out.jobs[i].job_id, out.readings[i]});
    }
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
