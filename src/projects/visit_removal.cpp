#include "projects/visit_removal.h"

#include "projects/project_log.h"

#include <algorithm>

namespace qm {

namespace {

std::string quoted(const std::string& name) {
    return "\xE2\x80\x9C" + name + "\xE2\x80\x9D";
}

// "5", "5 and 6", "2, 5 and 6".
std::string number_list(const std::vector<std::size_t>& numbers) {
    std::string out;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        out += (i == 0                    ? ""
                : i + 1 == numbers.size() ? " and "
                                          : ", ") +
               std::to_string(numbers[i]);
    }
    return out;
}

// The days of the project's drying log (numbered from 1) that only the visit's readings make.
std::vector<std::size_t> days_leaving(const ProjectReadings& project, std::int64_t visit) {
    std::vector<AttachedJob> others;
    for (std::size_t i = 0; i < project.jobs.size(); ++i) {
        if (project.jobs[i].job.visit_id != visit) {
            others.push_back(project.attached[i]);
        }
    }
    const std::vector<std::int64_t> with = drying_log(project.attached, {}).days;
    const std::vector<std::int64_t> without = drying_log(others, {}).days;
    std::vector<std::size_t> out;
    for (std::size_t d = 0; d < with.size(); ++d) {
        if (!std::binary_search(without.begin(), without.end(), with[d])) {
            out.push_back(d + 1);
        }
    }
    return out;
}

} // namespace

Result<std::string> visit_removal_warning(VisitArchive& archive, std::int64_t visit) {
    ProjectStore store(archive);
    std::string out;
    const Result<std::vector<std::string>> names = store.projects_of_visit(visit);
    if (!names) {
        return failure(names.error());
    }
    for (const std::string& name : *names) {
        const Result<std::optional<ProjectSummary>> project = store.find(name);
        if (!project || !*project) {
            return failure("the project " + quoted(name) +
                           " cannot be read: " + (project ? archive.error() : project.error()));
        }
        ProjectReadings readings;
        if (const Status read = load_project_readings(store, archive, (*project)->id, readings);
            !read) {
            return failure(read.error());
        }
        const std::vector<std::size_t> days = days_leaving(readings, visit);
        if (days.empty()) {
            out += "Its readings will leave the logs of " + quoted(name) + ".\n";
        } else {
            out += (days.size() == 1 ? "Day " : "Days ") + number_list(days) + " of " +
                   quoted(name) + " will leave its drying log.\n";
        }
    }
    return out + "Other laptops keep it.\n";
}

} // namespace qm
