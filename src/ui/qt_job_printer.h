#pragma once

#include "analysis/job_printing.h"
#include "state/app_state.h"

#include <QFont>
#include <QSize>

#include <functional>
#include <string>

class QPainter;
class QPrinter;

namespace qm {

// What a printout of the readings table needs besides the state: the job (its position in the
// managed kind's job list), the settings in force and the job list's text of the job.
struct JobPrintRequest {
    std::int32_t job_index = 0;
    std::int32_t celsius = 0;
    std::int32_t international_date = 0;
    std::string job_entry;
};

// The font the table is printed in: sized to the unit so that a row's text fits its line.
QFont job_print_font(const JobPageLayout& layout);

// Paints one laid-out page through any painter.
void paint_job_page(QPainter& painter, const JobPage& page, const QFont& font);

// How a printout ended. A cancelled or failed printout is dropped as a whole (see
// discard_printout): nothing that looks like a complete document is left.
struct JobPrintResult {
    int pages = 0;          // pages sent to the printer
    bool started = false;   // false: the printer could not be started, nothing was printed
    bool cancelled = false; // the progress callback asked to stop
    bool failed = false;    // the printer refused a page or could not finish the document
};

// Called before each page with its number and the document's page count; returning false
// cancels the printout.
using JobPrintProgress = std::function<bool(int page, int page_count)>;

// Paints every reading of the requested job of the managed kind as the striped table on pages of
// the given printable size, page after page from the job's first reading, the page number
// restarting at 1. next_page is called before each page, the first included; when it answers
// false (the printer refused the page, or the user cancelled) the painting stops and the answer
// is false.
bool paint_job_table(QPainter& painter, QSize area, const AppState& app,
                     const JobPrintRequest& request, const std::function<bool()>& next_page);

// Pages the table of the job at job_index takes on pages of the given printable size.
int job_table_page_count(const AppState& app, std::int32_t job_index, QSize area);

// Prints the requested job's table as one document (paint_job_table). Cancelled or failed, the
// document is discarded.
JobPrintResult print_job(QPrinter& printer, const AppState& app, const JobPrintRequest& request,
                         const JobPrintProgress& progress = {});

// Drops a printout that did not finish: the print job is cancelled and, since a PDF file cannot
// be cancelled, an unfinished PDF file is removed. painter is ended if still active.
void discard_printout(QPrinter& printer, QPainter& painter);

} // namespace qm
