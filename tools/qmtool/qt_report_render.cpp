#include "report/qt_report_document.h"
#include "tools/qmtool/report_render.h"

#include <QGuiApplication>

#include <cstdlib>

namespace qmtool {

bool report_available() {
    return true;
}

RenderOutcome render_report_file(const std::string& path, std::span<const qm::ReportJob> jobs,
                                 const qm::ReportRequest& request,
                                 const std::function<bool(int page, int pages)>& progress) {
    // The pages need fonts and a paint device, not a display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    int argc = 1;
    char name[] = "qmtool";
    char* argv[] = {name, nullptr};
    const QGuiApplication application(argc, argv);
    const qm::ReportOutcome outcome = qm::write_report_pdf(path, jobs, request, progress);
    switch (outcome.status) {
    case qm::ReportStatus::Done:
        return {RenderStatus::Written, outcome.pages, 0};
    case qm::ReportStatus::Cancelled:
        return {RenderStatus::Cancelled, outcome.pages, 0};
    case qm::ReportStatus::Failed:
        break;
    }
    return {RenderStatus::Failed, outcome.pages, outcome.error};
}

} // namespace qmtool
