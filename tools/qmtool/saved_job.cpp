#include "tools/qmtool/saved_job.h"

#include "files/save_file.h"
#include "tools/qmtool/terminal_ui.h"

#include <algorithm>

namespace qmtool {

bool open_save_file(const std::string& path, qm::AppState& app) {
    TerminalUi ui;
    app.job_records.clear();
    const qm::LoadResult result = qm::load_save(path, app.store, app.meter, ui);
    if (!result.accepted()) {
        return false;
    }
    qm::apply_restored_session(result.session, app.wizard, app.selection);
    app.selection.current_job_index = 0;
    return true;
}

std::vector<std::int32_t> jobs_in_store(const qm::ReadingStore& store) {
    std::vector<std::int32_t> jobs;
    for (const qm::Reading& r : store.all_readings) {
        jobs.push_back(r.job);
    }
    std::sort(jobs.begin(), jobs.end());
    jobs.erase(std::unique(jobs.begin(), jobs.end()), jobs.end());
    return jobs;
}

} // namespace qmtool
