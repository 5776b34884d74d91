#pragma once

#include "files/settings_file.h"
#include "store/reading_store.h"
#include "store/session_state.h"

#include <cstdint>
#include <vector>

namespace qm {

enum class BatchPart {
    Table,     // the job's readings table, as "Print Job" prints it
    Summary,   // the job's summary page (first group of its location list)
    Histogram, // the histogram of the job's record (MC only)
};

struct BatchStep {
    int position = 0; // position of the job in the job list of the managed kind
    BatchPart part = BatchPart::Table;
    bool operator==(const BatchStep&) const = default;
};

// The printouts of a batch, in printing order: for each selected position (ascending, each once,
// positions past the job list skipped) its table, its summary, then for MC its histogram, each
// only when its bit of print_parts is set. Empty for a managed kind other than MC or RH/T.
std::vector<BatchStep> batch_print_plan(std::int32_t print_parts, ManagedKind kind,
                                        const ReadingStore& store,
                                        const std::vector<int>& positions);

// Every position of the job list of the managed kind, in order.
std::vector<int> all_job_positions(const ReadingStore& store, ManagedKind kind);

// The selected positions as the selection records them.
std::vector<int> selected_positions(const Selection& selection);

} // namespace qm
