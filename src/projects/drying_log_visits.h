#pragma once

// Where the days of a drying log come from: per day, the visits whose attached jobs hold a
// reading of that day, who read them, with which meter, and their calibration check.

#include "archive/visit_evidence.h"
#include "projects/project_log.h"

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qm {

struct DayVisit {
    std::int64_t visit_id = 0;
    VisitEvidence evidence; // empty when nothing is said of the visit
    bool check_failed() const { return evidence.check && !check_passed(*evidence.check); }
};

struct LogDayVisits {
    std::int64_t day = 0;
    std::vector<DayVisit> visits; // in the order of the project's jobs, each visit once
    bool check_failed() const;    // a visit of the day failed its calibration check
};

// The visits of each of `days` (ascending); `evidence` is evidence_by_visit's.
std::vector<LogDayVisits> log_day_visits(std::span<const std::int64_t> days,
                                         const ProjectReadings& readings,
                                         const std::map<std::int64_t, VisitEvidence>& evidence);

// "visit 3 (Ann Lee, meter Red; checked 3/4, 12.1 on a 12.0 block ✓)" (UTF-8); "visit 3" when
// nothing is said of it.
std::string day_visit_text(const DayVisit& visit);

// The technicians of a day, each once, joined by ", "; empty when none is said.
std::string day_technicians(const LogDayVisits& day);

} // namespace qm
