#pragma once

#include "analysis/job_printing.h"
#include "shell/app_state.h"

#include <QFont>

#include <functional>
#include <string>

class QPainter;
class QPrinter;

namespace qm {

// What a printout of the readings table needs besides the state: the settings in force and the
// job list's text of the job.
struct JobPrintRequest {
    std::int32_t celsius = 0;
    std::int32_t international_date = 0;
    std::string job_entry;
};

// The font the table is printed in: sized to the unit so that a row's text fits its line.
QFont job_print_font(const JobPageLayout& layout);

// Paints one laid-out page through any painter.
void paint_job_page(QPainter& painter, const JobPage& page, const QFont& font);

// How a printout ended.
struct JobPrintResult {
    int pages = 0;          // pages sent to the printer
    bool started = false;   // false: the printer could not be started, nothing was printed
    bool cancelled = false; // the progress callback asked to stop; the document was aborted
};

// Called before each page with its number and the document's page count; returning false
// cancels the printout.
using JobPrintProgress = std::function<bool(int page, int page_count)>;

// Prints every reading of the current job (management_type and current_job_index of the state)
// as the striped table, page after page, starting from the job's first reading.
JobPrintResult print_job(QPrinter& printer, AppState& app, const JobPrintRequest& request,
                         const JobPrintProgress& progress = {});

} // namespace qm
