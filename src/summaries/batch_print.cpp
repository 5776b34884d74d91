#include "summaries/batch_print.h"

#include "store/job_index.h"

#include <algorithm>

namespace qm {

std::vector<BatchStep> batch_print_plan(std::int32_t print_parts, ManagedKind kind,
                                        const ReadingStore& store,
                                        const std::vector<int>& positions) {
    std::vector<BatchStep> steps;
    if (kind != ManagedKind::Mc && kind != ManagedKind::Rh) {
        return steps;
    }
    std::vector<int> ordered = positions;
    std::sort(ordered.begin(), ordered.end());
    ordered.erase(std::unique(ordered.begin(), ordered.end()), ordered.end());
    for (const int position : ordered) {
        if (job_at_position(store, kind, position) == 0) {
            continue;
        }
        if (print_parts & kPrintReadings) {
            steps.push_back({position, BatchPart::Table});
        }
        if (print_parts & kPrintSummary) {
            steps.push_back({position, BatchPart::Summary});
        }
        if ((print_parts & kPrintHistogram) && kind == ManagedKind::Mc) {
            steps.push_back({position, BatchPart::Histogram});
        }
    }
    return steps;
}

std::vector<int> all_job_positions(const ReadingStore& store, ManagedKind kind) {
    std::vector<int> positions;
    for (int i = 0; job_at_position(store, kind, i) != 0; ++i) {
        positions.push_back(i);
    }
    return positions;
}

std::vector<int> selected_positions(const Selection& selection) {
    const int count = std::clamp(selection.selected_count, 0, kMaxSelected);
    return std::vector<int>(selection.selected_jobs.begin(),
                            selection.selected_jobs.begin() + count);
}

} // namespace qm
