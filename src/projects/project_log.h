#pragma once

// The logs of a stored project: the readings of its attached jobs gathered from the archive, and
// the drying, psychrometric and equipment logs computed from them with what the user entered.

#include "projects/air_log.h"
#include "projects/drying_log.h"
#include "projects/equipment_log.h"
#include "projects/project_store.h"

#include <cstdint>
#include <vector>

namespace qm {

// The readings of a project's attached jobs, one AttachedJob each (its spans point into
// `readings`, so the object is not copied).
struct ProjectReadings {
    std::vector<ProjectJob> jobs;
    std::vector<std::vector<Reading>> readings;
    std::vector<AttachedJob> attached;

    ProjectReadings() = default;
    ProjectReadings(const ProjectReadings&) = delete;
    ProjectReadings& operator=(const ProjectReadings&) = delete;
};

// Reads the readings of every job attached to the project, in the order of its visits; on a
// failure `out` holds no job.
Status load_project_readings(ProjectStore& store, VisitArchive& archive, std::int64_t project,
                             ProjectReadings& out);

struct ProjectLogs {
    DryingLog drying;
    AirLog air;
    EquipmentLog equipment;
};

// The three logs. Equipment still running counts to the last day any point was read (MC or
// RH/T), whatever the day the logs are made.
ProjectLogs project_logs(const ProjectReadings& readings, const ProjectSettings& settings,
                         bool celsius);

} // namespace qm
