#pragma once

#include "analysis/chart_geometry.h"
#include "analysis/reading_rows.h"
#include "store/meter_identity.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The numbers a printed page of the readings table is laid out in, all in printer pixels.
struct JobPageLayout {
    int unit = 1;          // u: horizontal resolution / 525, at least 1
    int line_height = 11;  // 11u
    int bottom_limit = 0;  // vertical resolution - 11u
    int stripe_pairs = 0;  // S / 2
    int rows_per_page = 1; // S - 2, at least 1
};

// The page layout for a printable area of the given size in pixels. A printer coarser than 525
// dots across prints at u = 1, and a page too short for any stripe still takes one row, so that
// every reading is printed and the printing ends.
JobPageLayout job_page_layout(int horizontal_resolution, int vertical_resolution);

// Pages a job of reading_count readings takes: at least one, also for no readings.
int job_page_count(std::size_t reading_count, int rows_per_page);

// "<model>\n<job entry>\nID# <id>\nPage <n>"
std::string job_page_heading(const MeterIdentity& meter, std::string_view job_entry,
                             std::int32_t job_id, int page_number);

// One stripe of the table background.
struct JobStripe {
    ChartRect rect;
    bool grey = false;
};

// Everything one page draws, in drawing order: the heading, the stripes, the rows, the header
// row and the vertical rules.
struct JobPage {
    ChartText heading;
    std::vector<JobStripe> stripes;
    std::vector<ChartText> cells;
    std::vector<ChartText> headers;
    std::vector<ChartLine> rules;
};

// Lays out one page with its rows (at most rows_per_page of them). The RH/T table carries the
// EMC as a ninth column at the right; the MC table and any other kind have eight.
JobPage build_job_page(const JobPageLayout& layout, std::string heading,
                       const std::vector<ReadingRow>& rows, ManagedKind kind, std::int32_t celsius);

} // namespace qm
