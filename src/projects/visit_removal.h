#pragma once

// What deleting a visit from this archive does, said before it is done: the days it takes out of
// the drying logs of the projects that hold its jobs, and that the team keeps the visit. The
// desktop's Delete question and `qmtool archive remove` say the same.

#include "archive/visit_archive.h"
#include "store/result.h"

#include <cstdint>
#include <string>

namespace qm {

// One line a project that holds the visit's jobs ("Day 5 of “Kitchen leak” will leave its
// drying log.", the day numbered as the log's column), then "Other laptops keep it."; lines end
// with '\n'. UTF-8.
Result<std::string> visit_removal_warning(VisitArchive& archive, std::int64_t visit);

} // namespace qm
