#pragma once

// A drying project's report from the visit archive: its pages (ProjectReport) and the sections of
// its attached jobs, each job as the report of its visit shows it.

#include "archive/visit_archive.h"
#include "report/project_report.h"
#include "report/report_content.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct ProjectReportData {
    std::shared_ptr<const ProjectReport> project;
    std::vector<ReportJob> jobs; // the attached jobs, by their first readings' meter time
    CodeNames codes;             // the names of the codes, with the project's own names
};

// Loads the project `name` (letter case aside) and its attached jobs' visits (equipment still
// running counts to the last day read). False with `error` for the user when there is no such
// project or a visit cannot be opened.
bool load_project_report(VisitArchive& archive, std::string_view name, const ReportUnits& units,
                         ProjectReportData& out, std::string& error);

// The project to which every one of `jobs` (jobs of visit `visit`) is attached, the first by
// name when there are several; nothing when they belong to none.
std::optional<std::string> project_of_jobs(VisitArchive& archive, std::int64_t visit,
                                           std::span<const ReportJob> jobs);

} // namespace qm
