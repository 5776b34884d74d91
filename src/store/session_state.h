#pragma once

#include <array>
#include <cstdint>

namespace qm {

// The kind of job the wizard manages, with the codes a save file's header holds. A file may
// hold another value, which is kept as it came; such a kind manages no job list.
enum class ManagedKind : std::int32_t {
    Rh = 0,
    Mc = 1,
    Both = 2, // no control chooses it: the wizard's page table has a row for it
};

// Where the wizard stands, with the codes a save file's header records. A file may hold another
// value, which is kept as it came until the wizard moves on.
enum class WizardStep : std::int32_t {
    Restart = 0,        // Back left the job lists: forward shows the start page
    ManagementType = 1, // the start page ("I. Choose Management Type")
    DataKind = 2, // the data-kind page of a download or file of both kinds ("II. Choose Data")
    JobList = 3,  // the job list of the one kind a download holds ("III. Choose Jobs")
    ChosenJobList =
        4,       // the job list of the chosen kind, or of a loaded file; every save records it
    Reshown = 5, // forward showed that job list again; lasts until the page paints
};

// Where the wizard stands.
struct WizardState {
    WizardStep step = WizardStep::ManagementType;
    ManagedKind management_type = ManagedKind::Rh;
    std::int32_t filter = 0; // 0 by job, 1 by date, 2 show all
    bool bothKinds = false;
    bool fromFile = false;
};

constexpr int kMaxSelected = 256;

// What a save writes, with the codes a save file's header records.
enum class SaveMode : std::int32_t {
    OneJob = 0,   // the current job
    Selected = 1, // every selected job, one file each
    All = 2,      // every job of the list ("Save all Jobs")
};

// The job-list selection: positions in the job list of the managed kind.
struct Selection {
    std::array<std::int32_t, kMaxSelected> selected_jobs{};
    std::int32_t selected_count = 0;
    std::int32_t current_job_index = 0;
    SaveMode save_mode = SaveMode::OneJob;
};

} // namespace qm
