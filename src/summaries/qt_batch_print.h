#pragma once

#include "state/app_state.h"
#include "summaries/batch_print.h"

#include <functional>

class QPrinter;
class QWidget;

namespace qm {

class JobListLink;
class PrintDocument;

enum class BatchPrintStatus {
    Printed,
    NothingToPrint, // no job selected, or print_parts names no part for the managed kind
    Cancelled,      // the print dialog or the progress dialog was cancelled; nothing was printed
    Failed,         // the printer did not take the document
};

struct BatchPrintResult {
    BatchPrintStatus status = BatchPrintStatus::NothingToPrint;
    int pages = 0;
};

// Called before each page of the batch with its number (from 1) and the batch's page count;
// false cancels.
using BatchProgress = std::function<bool(int page, int total)>;

// Prints the selected jobs into one document on an already set-up printer: for each selected job
// (in list order) its readings table, its summary (the first group of its lists) and, for MC,
// its histogram, as print_parts asks. The selection, the working set and the histogram dialog's
// bins are left as they were. A cancelled or failed batch is dropped as a whole (an unfinished
// PDF file is removed).
BatchPrintResult print_batch(QPrinter& printer, const AppState& app, JobListLink& jobs,
                             const BatchProgress& progress = {});

// The "Print Selected Jobs" command: checks there is something to print, asks for the printer once
// for the whole batch, prints with a progress dialog that can cancel it, and tells the user when
// the printer failed or there was nothing to print.
BatchPrintResult print_selected_jobs(const AppState& app, JobListLink& jobs, QWidget* parent);

} // namespace qm
