// The stand-in of a qmtool built without Qt (QM_BUILD_UI=OFF): no report can be rendered.
#include "tools/qmtool/report_render.h"

namespace qmtool {

bool report_available() {
    return false;
}

RenderOutcome render_report_file(const std::string& /*path*/,
                                 std::span<const qm::ReportJob> /*jobs*/,
                                 const qm::ReportRequest& /*request*/,
                                 const std::function<bool(int page, int pages)>& /*progress*/) {
    return {};
}

} // namespace qmtool
