#pragma once

#include "analysis/histogram.h"
#include "files/settings_file.h"
#include "link/link_state.h"
#include "store/job_records.h"
#include "store/meter_identity.h"
#include "store/reading_store.h"
#include "store/session_state.h"

#include <string>

namespace qm {

// The whole state of one run of the application: owned by main() (or by qmtool's main, or by a
// test) and passed by reference. Core functions take the members they need.
struct AppState {
    ReadingStore store;
    MeterIdentity meter;
    JobRecords job_records;
    WizardState wizard;
    Selection selection;
    // Counts of the selected job's slot values, drawn and printed by the histogram.
    HistogramBins histogram_bins{};
    LinkState link;
    SettingsRecord settings;
    // The folder that was current when the main window was created: "qm.dat" lives there.
    std::string startup_folder;
};

} // namespace qm
