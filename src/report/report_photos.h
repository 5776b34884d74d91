#pragma once

// The photo section of a project's report: each photo attached to the project with the texts
// printed under it.

#include "archive/visit_archive.h"
#include "report/project_report.h"
#include "store/result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qm {

// The project's photos in the order of its photo list.
Result<std::vector<ReportPhoto>> report_photos(VisitArchive& archive, std::int64_t project);

// The line under a photo: "Point KIT,W/Plaster   Day 2026-03-04   Taken 2026-03-04 09:15
// SHA-256 9f86d081", each part only when the photo has it (the SHA-256 always).
std::string photo_facts_text(const ReportPhoto& photo);

} // namespace qm
