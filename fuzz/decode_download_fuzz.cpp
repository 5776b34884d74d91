// Feeds arbitrary bytes to the download decoder: no read outside the stream, and every reading
// it keeps stays inside the data model.
#include "link/download_decoder.h"
#include "state/app_state.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qm::AppState app; // one state for all inputs, as across downloads
    const qm::DecodeReport report =
        qm::decode_download({data, size}, app.store, app.meter, app.job_records, app.selection);
    for (const qm::Reading& r : app.store.all_readings) {
        if (r.job < 1 || r.job > qm::kMaxJobs || r.location < 0 || r.location > 63 ||
            r.sub_location < 0 || r.sub_location > 2 || r.material < 0 || r.material > 15) {
            std::abort();
        }
    }
    if (report.readings_kept != app.store.all_readings.size() ||
        app.store.mc_job_count > qm::kMaxJobs || app.store.rh_job_count > qm::kMaxJobs) {
        std::abort();
    }
    return 0;
}
