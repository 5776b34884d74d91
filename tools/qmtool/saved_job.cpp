#include "tools/qmtool/saved_job.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace qmtool {

namespace {

// Keeps the loader's messages until it is known whether the file could be read at all.
class HeldMessages : public qm::UserInterface {
public:
    void message_box(std::string_view text, std::string_view /*caption*/,
                     qm::MessageIcon /*icon*/) override {
        texts.emplace_back(text);
    }
    qm::PumpResult pump_messages(qm::PumpMode /*mode*/) override {
        return qm::PumpResult::Continue;
    }
    std::vector<std::string> texts;
};

} // namespace

bool open_save_file(const std::string& path, qm::AppState& app, qm::LoadResult* loaded) {
    app.job_records.clear();
    HeldMessages ui;
    const qm::LoadResult result = qm::load_save(path, app.store, app.meter, ui);
    if (loaded != nullptr) {
        *loaded = result;
    }
    // A file that can't be read is named in its message; a refused file has the loader's text.
    const std::string prefix =
        result.status == qm::LoadStatus::OpenFailed ? "qmtool: " + path + ": " : "";
    for (const std::string& text : ui.texts) {
        std::fprintf(stderr, "%s%s\n", prefix.c_str(), text.c_str());
    }
    if (!result.accepted()) {
        return false;
    }
    if (result.annotations == qm::AnnotationBlockStatus::Damaged) {
        std::fprintf(stderr,
                     "qmtool: warning: %s: the titles and notes after the readings are damaged "
                     "and were ignored\n",
                     path.c_str());
    }
    qm::apply_restored_session(result.session, app.wizard, app.selection);
    app.selection.current_job_index = 0;
    return true;
}

std::vector<std::int32_t> listed_jobs(const qm::ReadingStore& store) {
    std::vector<std::int32_t> jobs(store.mc_jobs.begin(),
                                   store.mc_jobs.begin() + store.mc_job_count);
    jobs.insert(jobs.end(), store.rh_jobs.begin(), store.rh_jobs.begin() + store.rh_job_count);
    std::sort(jobs.begin(), jobs.end());
    jobs.erase(std::unique(jobs.begin(), jobs.end()), jobs.end());
    return jobs;
}

} // namespace qmtool
