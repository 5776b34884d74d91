#pragma once

// Stores for the summary window tests.

#include "state/app_state.h"
#include "store/job_index.h"
#include "support/readings.h"

#include <initializer_list>
#include <utility>

namespace qm::test {

constexpr int kKit = 2;
constexpr int kLocation3 = 34;
constexpr int kSubW = 1;
constexpr int kSubC = 2;

// A store of bare readings, one of each kind and job given, with its job lists.
inline ReadingStore
store_of(std::initializer_list<std::pair<std::int32_t, std::int32_t>> kinds_and_jobs) {
    ReadingStore store;
    for (const auto& [kind, job] : kinds_and_jobs) {
        store.all_readings.push_back(Reading{.kind = kind, .job = job});
    }
    rebuild_job_lists(store);
    return store;
}

// Replaces the readings, rebuilds the job lists and selects the job at position as the job list
// does under the managed kind.
inline void load_readings(AppState& app, std::initializer_list<Reading> readings,
                          ManagedKind management_type, int position = 0) {
    app.store.all_readings = readings;
    app.store.job_ids = {101, 102, 103, 104, 105};
    rebuild_job_lists(app.store);
    app.wizard.management_type = management_type;
    app.selection.current_job_index = position;
    app.selection.selected_count = 1;
    app.selection.selected_jobs[0] = position;
    fill_working_set(app.store, position, management_type);
    app.meter.set_model("TRK ALFA");
    app.meter.apply_model_rules();
}

} // namespace qm::test
