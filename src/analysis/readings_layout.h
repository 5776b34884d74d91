#pragma once

#include "analysis/chart_geometry.h"
#include "store/job_records.h"
#include "store/meter_identity.h"
#include "store/reading_store.h"
#include "store/session_state.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// How many readings of the managed kind the job at job_index has in all_readings.
std::size_t count_job_readings(const ReadingStore& store, ManagedKind kind, std::int32_t job_index);

// The heading of the readings view: "<entry>\nID# <id>\n", or for the scanner's MC data
// "<entry>   ID#<scanner_job_id, 12 places>\n<species>\n" with the species of the first slot of
// the job's MC record.
std::string readings_view_heading(ManagedKind kind, std::int32_t not_scanner,
                                  std::string_view job_entry, std::int32_t job_id,
                                  const McSlot& first_slot);

// --- Scrolling -----------------------------------------------------------------------------------

// The requests the view's scroll bar sends.
enum class ScrollRequest {
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbPosition, // the thumb was released at a position
    Other,         // thumb tracking, end of scroll, top, bottom
};

constexpr int kScrollPageRows = 15;

// The new first row for a request at position p with last position m, or nothing when the
// request leaves the view as it is (no repaint). The result always lies in 0 .. max(m, 0).
std::optional<int> scroll_target(ScrollRequest request, int p, int m, int thumb = 0);

// --- Screen layout -------------------------------------------------------------------------------

// The table of the readings view in client pixels, from the main window's character width and
// height. The RH/T table has the EMC as a ninth column and is that much wider.
struct ReadingsViewLayout {
    ChartRect heading;
    std::vector<ChartRect> stripes; // 18 stripes, grey first
    std::vector<ChartRect> columns; // x ranges; top/bottom of the row area
    std::vector<ChartLine> rules;   // one per column's left edge, then the right edge
    int header_top = 0;
    int first_row_top = 0;
    int row_height = 0;
    int scroll_bar_x = 0;
    int scroll_bar_y = 0;
    int table_right = 0;

    // Box of the header of column c and of visible row k (0..15) in column c.
    ChartRect header_box(std::size_t c) const;
    ChartRect cell_box(std::size_t c, std::size_t k) const;
};

constexpr int kViewStripeCount = 18;
constexpr int kViewTableTop = 65;

ReadingsViewLayout readings_view_layout(int char_width, int char_height, bool with_emc);

constexpr std::uint8_t kStripeGrey = 223;

} // namespace qm
