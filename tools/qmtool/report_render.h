#pragma once

// The part of "qmtool report" that needs Qt: rendering the pages. A qmtool built without the
// desktop program (QM_BUILD_UI=OFF) has a stand-in that says the command is not available.

#include "report/report_content.h"

#include <functional>
#include <span>
#include <string>

namespace qmtool {

enum class RenderStatus {
    Written,
    Cancelled,
    Failed,
};

struct RenderOutcome {
    RenderStatus status = RenderStatus::Failed;
    int pages = 0;
    int error = 0; // errno of a failed file write, 0 when the pages could not be made
};

// Whether this qmtool can write reports.
bool report_available();

// Writes the report of the jobs to path as a PDF file, atomically, with the offscreen platform
// when no other is chosen. progress hears each page before it is painted and may cancel.
RenderOutcome render_report_file(const std::string& path, std::span<const qm::ReportJob> jobs,
                                 const qm::ReportRequest& request,
                                 const std::function<bool(int page, int pages)>& progress);

} // namespace qmtool
