#pragma once

// The client report as a document: painted on a printer or written as a PDF file.

#include "report/report_content.h"

#include <QByteArray>

#include <functional>
#include <span>
#include <string>

class QPagedPaintDevice;
class QPainter;

namespace qm {

// Called before each page with its number (from 1) and the number of pages; false cancels.
using ReportProgress = std::function<bool(int page, int pages)>;

enum class ReportStatus {
    Done,      // every page painted (and, for a file, written)
    Cancelled, // the progress asked to stop; nothing was written
    Failed,    // the device or the file could not be written; `error` says why for a file
};

struct ReportOutcome {
    ReportStatus status = ReportStatus::Failed;
    int pages = 0;
    int error = 0; // errno of a failed file write (file_error_text), 0 otherwise
};

// Lays out the jobs on the device's pages and paints them with an active painter, starting on
// the device's current page: the painter's device must be `device`, whose page size and
// resolution the layout takes. A cancelled report stops between pages.
ReportOutcome paint_report(QPagedPaintDevice& device, QPainter& painter,
                           std::span<const ReportJob> jobs, const ReportRequest& request,
                           const ReportProgress& progress = {});

// The report as the bytes of a PDF document on the request's paper, fonts embedded.
ReportOutcome render_report_pdf(std::span<const ReportJob> jobs, const ReportRequest& request,
                                QByteArray& pdf, const ReportProgress& progress = {});

// Renders the report and replaces the file `path` with it atomically (replace_file_contents).
// A cancelled or failed report leaves no new file and an existing one as it was.
ReportOutcome write_report_pdf(const std::string& path, std::span<const ReportJob> jobs,
                               const ReportRequest& request, const ReportProgress& progress = {});

} // namespace qm
