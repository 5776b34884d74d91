#include "analysis/job_printing.h"

#include "analysis/readings_layout.h"

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

constexpr int kUnitDivisor = 525;
constexpr int kLineUnits = 11;
constexpr int kTableTopUnits = 65;
constexpr int kFirstRowUnits = 99;
constexpr int kTableLeftUnits = 25;
constexpr int kTableRightUnits = 550;
constexpr int kHeadingTopUnits = 1;

struct Span {
    int left;
    int right;
};

// Column x ranges in units. The moisture table's cells and headers differ slightly at the right.
constexpr Span kMcCells[] = {{25, 60},   {60, 130},  {130, 210}, {210, 300},
                             {300, 360}, {360, 420}, {420, 480}, {480, 530}};
constexpr Span kMcHeaders[] = {{25, 60},   {60, 130},  {130, 210}, {210, 300},
                               {300, 360}, {360, 420}, {420, 480}, {475, 530}};
// The RH/T table gives up width in its RH, Temp, GPP/GPK and DewPt columns, whose texts are
// short, to fit the EMC column at the right within the page.
constexpr Span kRhColumns[] = {{25, 60},   {60, 130},  {130, 185}, {185, 250}, {250, 305},
                               {305, 360}, {360, 420}, {420, 475}, {475, 530}};

} // namespace

JobPageLayout job_page_layout(int horizontal_resolution, int vertical_resolution) {
    JobPageLayout l;
    l.unit = std::max(1, horizontal_resolution / kUnitDivisor);
    l.line_height = kLineUnits * l.unit;
    l.bottom_limit = vertical_resolution - l.line_height;
    // A pair of stripes is drawn while its top plus two lines lies above the bottom limit.
    int top = kTableTopUnits * l.unit;
    while (top + 2 * l.line_height < l.bottom_limit) {
        ++l.stripe_pairs;
        top += 2 * l.line_height;
    }
    l.rows_per_page = std::max(1, 2 * l.stripe_pairs - 2);
    return l;
}

int job_page_count(std::size_t reading_count, int rows_per_page) {
    const std::size_t per_page = static_cast<std::size_t>(std::max(1, rows_per_page));
    return static_cast<int>(std::max<std::size_t>(1, (reading_count + per_page - 1) / per_page));
}

std::string job_page_heading(const MeterIdentity& meter, std::string_view job_entry,
                             std::int32_t job_id, int page_number) {
    const std::string model(meter.model());
    const std::string entry(job_entry);
    char text[600];
    std::snprintf(text, sizeof text, "%s\n%s\nID# %i\nPage %i", model.c_str(), entry.c_str(),
                  job_id, page_number);
    return text;
}

JobPage build_job_page(const JobPageLayout& layout, std::string heading,
                       const std::vector<ReadingRow>& rows, ManagedKind kind,
                       std::int32_t celsius) {
    const int u = layout.unit;
    const int line = layout.line_height;
    JobPage page;
    page.heading = {
        std::move(heading),
        {kTableLeftUnits * u, kHeadingTopUnits * u, kTableRightUnits * u, layout.bottom_limit},
        ChartAlign::Center};

    for (int p = 0; p < layout.stripe_pairs; ++p) {
        const int top = kTableTopUnits * u + 2 * line * p;
        page.stripes.push_back(
            {{kTableLeftUnits * u, top, kTableRightUnits * u, top + line}, false});
        page.stripes.push_back(
            {{kTableLeftUnits * u, top + line, kTableRightUnits * u, top + 2 * line}, true});
    }

    const bool rh = kind == ManagedKind::Rh;
    const std::size_t columns = rh ? 9 : 8;
    const Span* cells = rh ? kRhColumns : kMcCells;
    const Span* headers = rh ? kRhColumns : kMcHeaders;
    const std::size_t row_count =
        std::min(rows.size(), static_cast<std::size_t>(layout.rows_per_page));
    for (std::size_t k = 0; k < row_count; ++k) {
        const int top = kFirstRowUnits * u + line * static_cast<int>(k);
        for (std::size_t c = 0; c < columns; ++c) {
            const std::string& text = c < kReadingColumns ? rows[k].cells[c] : rows[k].emc;
            page.cells.push_back({text,
                                  {cells[c].left * u, top, cells[c].right * u, top + line},
                                  ChartAlign::Center});
        }
    }

    const auto names = reading_column_headings(kind, celsius);
    for (std::size_t c = 0; c < columns; ++c) {
        const std::string text(c < kReadingColumns ? names[c] : kEmcHeading);
        page.headers.push_back({text,
                                {headers[c].left * u, kTableTopUnits * u, headers[c].right * u,
                                 kTableTopUnits * u + line},
                                ChartAlign::Center});
        const int x = headers[c].left * u;
        page.rules.push_back({x, kTableTopUnits * u, x, layout.bottom_limit});
    }
    return page;
}

} // namespace qm
