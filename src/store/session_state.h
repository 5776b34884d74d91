#pragma once

#include <array>
#include <cstdint>

namespace qm {

// Where the wizard stands. management_type: 0 RH/T, 1 MC, 2 both.
struct WizardState {
    std::int32_t step = 1;
    std::int32_t management_type = 0;
    std::int32_t filter = 0; // 0 by job, 1 by date, 2 show all
    bool bothKinds = false;
    bool fromFile = false;
};

constexpr int kMaxSelected = 256;

// The job-list selection: positions in the job list of the managed kind.
struct Selection {
    std::array<std::int32_t, kMaxSelected> selected_jobs{};
    std::int32_t selected_count = 0;
    std::int32_t current_job_index = 0;
    std::int32_t save_mode = 0; // 0 one job, 1 several selected, 2 all
};

} // namespace qm
