#include "projects/drying_log_visits.h"

#include "projects/drying_days.h"

#include <algorithm>

namespace qm {

bool LogDayVisits::check_failed() const {
    return std::any_of(visits.begin(), visits.end(),
                       [](const DayVisit& v) { return v.check_failed(); });
}

std::vector<LogDayVisits> log_day_visits(std::span<const std::int64_t> days,
                                         const ProjectReadings& readings,
                                         const std::map<std::int64_t, VisitEvidence>& evidence) {
    std::vector<LogDayVisits> out;
    for (const std::int64_t day : days) {
        out.push_back({day, {}});
    }
    for (std::size_t j = 0; j < readings.jobs.size() && j < readings.readings.size(); ++j) {
        const std::int64_t visit = readings.jobs[j].job.visit_id;
        for (const Reading& r : readings.readings[j]) {
            const auto at = std::lower_bound(days.begin(), days.end(), reading_day(r));
            if (at == days.end() || *at != reading_day(r)) {
                continue;
            }
            std::vector<DayVisit>& visits = out[static_cast<std::size_t>(at - days.begin())].visits;
            if (std::none_of(visits.begin(), visits.end(),
                             [&](const DayVisit& v) { return v.visit_id == visit; })) {
                const auto said = evidence.find(visit);
                visits.push_back({visit, said == evidence.end() ? VisitEvidence{} : said->second});
            }
        }
    }
    return out;
}

std::string day_visit_text(const DayVisit& visit) {
    const VisitEvidence& e = visit.evidence;
    std::string said = e.technician;
    if (!e.meter_name.empty()) {
        said += (said.empty() ? "meter " : ", meter ") + e.meter_name;
    }
    if (e.check) {
        said += (said.empty() ? "" : "; ") + check_text(*e.check);
    }
    const std::string text = "visit " + std::to_string(visit.visit_id);
    return said.empty() ? text : text + " (" + said + ")";
}

std::string day_technicians(const LogDayVisits& day) {
    std::vector<std::string> names;
    for (const DayVisit& v : day.visits) {
        const std::string& name = v.evidence.technician;
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    }
    std::string out;
    for (const std::string& name : names) {
        out += (out.empty() ? "" : ", ") + name;
    }
    return out;
}

} // namespace qm
