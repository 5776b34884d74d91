// Feeds arbitrary bytes to the save-file loader: a refused file changes nothing, an accepted one
// leaves only readings that every table can name.
#include "files/save_file.h"
#include "shell/app_state.h"

#include <cstdlib>
#include <cstring>

namespace {

class SilentUi : public qm::UserInterface {
public:
    void message_box(std::string_view, std::string_view, qm::MessageIcon) override {}
    qm::PumpResult pump_messages(qm::PumpMode) override { return qm::PumpResult::Continue; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qm::AppState app;
    static SilentUi ui;
    const std::vector<qm::Reading> before = app.store.all_readings;
    const qm::LoadResult result = qm::load_save({data, size}, app.store, app.meter, ui);
    // Compared as bytes: a loaded file may hold NaN values, which never compare equal.
    const auto& after = app.store.all_readings;
    if (!result.accepted() &&
        (after.size() != before.size() ||
         (!after.empty() &&
          std::memcmp(after.data(), before.data(), after.size() * sizeof(qm::Reading)) != 0))) {
        std::abort();
    }
    for (const qm::Reading& r : app.store.all_readings) {
        if (r.job < 1 || r.job > qm::kMaxJobs || r.location < 0 || r.location > 63 ||
            r.sub_location < 0 || r.sub_location > 2 || r.material < 0 || r.material > 15) {
            std::abort();
        }
    }
    if (app.store.mc_job_count > qm::kMaxJobs || app.store.rh_job_count > qm::kMaxJobs) {
        std::abort();
    }
    return 0;
}
