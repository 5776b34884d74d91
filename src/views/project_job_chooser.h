#pragma once

#include "views/projects_window.h"

namespace qm {

// Attach...: a list of the visits' jobs to tick (Space, or a click), OK and Cancel; the ticked
// jobs, or nothing when cancelled.
std::vector<JobRef> choose_jobs_in_dialog(QWidget* parent, const std::vector<JobChoice>& choices);

} // namespace qm
