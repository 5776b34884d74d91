#pragma once

// What a drying project's records let pass that a reader of its report would question: a date of
// loss after every reading, a day on which a reference point was not read though the points it
// judges were, a point read on one day only. Each warning names the days and points concerned.
// Pure: it reads the details and logs it is given.

#include "projects/project_log.h"
#include "projects/project_store.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

enum class WarningKind {
    LossAfterReadings,   // the date of loss is after the last day read
    DayWithoutReference, // points judged by a reference were read on a day it was not
    PointReadOnce,       // a point read on one day of several
};

struct ProjectWarning {
    WarningKind kind = WarningKind::PointReadOnce;
    std::string text; // one sentence, UTF-8, dates as YYYY-MM-DD
    std::vector<std::int64_t> days;
    std::vector<MonitoringPoint> points;
};

// The warnings of a project in the order above, each kind's by point order.
std::vector<ProjectWarning> project_warnings(const ProjectDetails& details,
                                             const ProjectLogs& logs);

// "loss-after-readings", "day-without-reference", "point-read-once".
std::string_view warning_kind_name(WarningKind kind);

} // namespace qm
