#include "analysis/readings_layout.h"

#include "analysis/histogram.h"
#include "store/job_index.h"
#include "store/lookup_tables.h"

#include <algorithm>
#include <cstdio>

namespace qm {

namespace {

// Left edges of the view's columns in character widths from x = 50; the last entry is the right
// edge of the eighth column, then the EMC column's.
constexpr int kColumnEdgesCw[] = {0, 6, 16, 25, 38, 47, 56, 65, 74, 83};
constexpr int kTableLeft = 50;
constexpr int kEmcWidthCw = 9;
constexpr int kStripeRightCw = 80;
constexpr int kHeadingRightCw = 79;
constexpr int kHeadingLeft = 55;
constexpr int kHeadingTop = 15;

} // namespace

std::size_t count_job_readings(const ReadingStore& store, ManagedKind kind,
                               std::int32_t job_index) {
    const std::int32_t job = job_at_position(store, kind, job_index);
    return job == 0 ? 0
                    : count_readings(store, job,
                                     kind == ManagedKind::Rh ? KindFilter::Rh : KindFilter::Mc);
}

std::string readings_view_heading(ManagedKind kind, std::int32_t not_scanner,
                                  std::string_view job_entry, std::int32_t job_id,
                                  const McSlot& first_slot) {
    const std::string entry(job_entry);
    char text[600];
    if (kind == ManagedKind::Rh || not_scanner != 0) {
        std::snprintf(text, sizeof text, "%s\nID# %i\n", entry.c_str(), job_id);
    } else {
        const std::string species(species_name(first_slot.species));
        std::snprintf(text, sizeof text, "%s   ID#%12.0f\n%s\n", entry.c_str(),
                      scanner_job_id(first_slot, job_id), species.c_str());
    }
    return text;
}

std::optional<int> scroll_target(ScrollRequest request, int p, int m, int thumb) {
    const int last = std::max(m, 0);
    int target = p;
    switch (request) {
    case ScrollRequest::LineUp:
        if (p >= 1) {
            target = p - 1;
        }
        break;
    case ScrollRequest::LineDown:
        if (p < m) {
            target = p + 1;
        }
        break;
    case ScrollRequest::PageUp:
        target = std::max(p - kScrollPageRows, 0);
        break;
    case ScrollRequest::PageDown:
        target = std::min(p + kScrollPageRows, last);
        break;
    case ScrollRequest::ThumbPosition:
        target = thumb;
        break;
    case ScrollRequest::Other:
        return std::nullopt;
    }
    // A job of no readings has m = -1; the first row stays 0 rather than going negative.
    target = std::clamp(target, 0, last);
    if (request != ScrollRequest::ThumbPosition && target == p) {
        return std::nullopt;
    }
    return target;
}

ChartRect ReadingsViewLayout::header_box(std::size_t c) const {
    const ChartRect& col = columns.at(c);
    return {col.left, header_top, col.right, header_top + row_height};
}

ChartRect ReadingsViewLayout::cell_box(std::size_t c, std::size_t k) const {
    const ChartRect& col = columns.at(c);
    const int top = first_row_top + static_cast<int>(k) * row_height;
    return {col.left, top, col.right, top + row_height};
}

ReadingsViewLayout readings_view_layout(int cw, int ch, bool with_emc) {
    ReadingsViewLayout l;
    const int extra = with_emc ? kEmcWidthCw * cw : 0;
    const int table_bottom = kViewTableTop + kViewStripeCount * ch;
    l.heading = {kHeadingLeft, kHeadingTop, kHeadingRightCw * cw + extra, table_bottom};
    for (int j = 0; j < kViewStripeCount; ++j) {
        l.stripes.push_back({kTableLeft, kViewTableTop + j * ch, kStripeRightCw * cw + extra,
                             kViewTableTop + (j + 1) * ch});
    }
    const int column_count = with_emc ? 9 : 8;
    for (int c = 0; c < column_count; ++c) {
        const int left = kTableLeft + kColumnEdgesCw[c] * cw;
        l.columns.push_back(
            {left, kViewTableTop + 2 * ch, kTableLeft + kColumnEdgesCw[c + 1] * cw, table_bottom});
        l.rules.push_back({left, kViewTableTop, left, table_bottom});
    }
    const int right = kTableLeft + kColumnEdgesCw[column_count] * cw;
    l.rules.push_back({right, kViewTableTop, right, table_bottom});
    l.header_top = kViewTableTop;
    l.first_row_top = kViewTableTop + 2 * ch;
    l.row_height = ch;
    l.scroll_bar_x = kStripeRightCw * cw + extra;
    l.scroll_bar_y = kViewTableTop;
    l.table_right = kStripeRightCw * cw + extra;
    return l;
}

} // namespace qm
