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
    // Counts of the selected job's pin readings, drawn and printed by the histogram, and the
    // number of its scan readings, which the chart leaves out and names under its x axis.
    HistogramBins histogram_bins{};
    int histogram_scan_readings = 0;
    LinkState link;
    SettingsRecord settings;
    // The folder that was current when the main window was created: "qm.dat" lives there.
    std::string startup_folder;
};

} // namespace qm
