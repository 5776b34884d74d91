#pragma once

#include "analysis/chart_geometry.h"
#include "store/job_records.h"
#include "store/meter_identity.h"
#include "store/reading.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The moisture distribution of one job: bins 0..100 count its pin readings (or the slot values
// of its job record) by whole percent. Bin 0 is never drawn; bin 100 is counted for the scale but
// not drawn either.
constexpr int kHistogramBinCount = 101;
using HistogramBins = std::array<std::int32_t, kHistogramBinCount>;

// Which job record the bins are counted from (the values match management_type).
enum class HistogramSource : std::int32_t {
    Rh = 0,
    Mc = 1,
};

// The bin of one slot value: 0 below 0.5, otherwise the value rounded to the nearest whole
// number with halves going up; 100.5 and more count in bin 100.
int histogram_bin(double value);

// Counts all 1600 slots of record job_index of the chosen kind into the bins. A job index outside
// the record arrays leaves every bin at 0.
void rebuild_histogram_bins(HistogramBins& bins, const JobRecords& records, HistogramSource source,
                            int job_index);

// Counts the moisture values of every pin reading (PinWithTemperature and Pin) of a job's working
// set into the bins, however many there are, and returns the number of its other moisture
// readings (Scan, or a kind without a name, which the readings view shows as a scan): the %MC
// chart leaves them out. RH/T readings are neither counted nor left out.
int rebuild_histogram_bins(HistogramBins& bins, const std::vector<Reading>& working_set);

// The line or lines under the x axis that tell how many readings the chart does not show: the
// scan readings, and the pin readings of bins 0 (below 0.5 %) and 100 (99.5 % and above), which
// have no bar. Empty when every reading is shown.
std::string histogram_left_out_note(const HistogramBins& bins, int scan_readings);

// Slot k of an MC record; Qt code reaches the slots through these, since "slots" is a keyword
// there.
inline McSlot& mc_slot(McJobRecord& record, int k) {
    return record.slots[static_cast<std::size_t>(k)];
}
inline const McSlot& mc_slot(const McJobRecord& record, int k) {
    return record.slots[static_cast<std::size_t>(k)];
}

// The first slot of MC record job_index (its ID value and species index name the job of a
// scanner); an empty slot for an index outside the records.
const McSlot& first_mc_slot(const JobRecords& records, int job_index);

// The ID a scanner's headings show: the ID value of the first slot of the job's MC record, or,
// while that slot holds none (0), the job's ID number from job_ids.
double scanner_job_id(const McSlot& first_slot, std::int32_t job_id);

// Readings per 4 pixels of bar height: 1, 2, 4 ... chosen so that the largest count of bins
// 1..100 fits 100 steps, with no upper limit.
int histogram_scale(const HistogramBins& bins);

// Printer scale a: horizontal resolution / 600, but at least 1 so that a coarse printer still
// gets a readable chart.
int histogram_print_factor(int horizontal_resolution);

// Everything the histogram draws, in drawing order: axis titles, frame, x labels, y labels,
// ticks and grid lines, then the bars (stubs included) for bins 1..99.
struct HistogramChart {
    int scale = 1;
    int factor = 1;             // a: 1 on screen
    int title_font_height = 15; // bold Arial of the axis titles and the printed title
    int title_font_width = 6;
    int y_title_x = 5; // origin of "Number of Readings", running upwards
    int y_title_y = 275;
    int x_title_x = 285; // origin of "%MC"
    int x_title_y = 430;
    ChartRect frame;
    std::vector<ChartText> x_labels;
    std::vector<ChartText> y_labels;
    std::vector<ChartLine> ticks;
    std::vector<ChartRect> bars;
    std::optional<ChartText> title; // printed page only
    std::optional<ChartText> note;  // under the x axis: the readings not shown, if any
};

constexpr std::string_view kHistogramYTitle = "Number of Readings";
constexpr std::string_view kHistogramXTitle = "%MC";

// The chart as the dialog paints it in its client area; scan_readings is what the count left out
// besides the bins (see histogram_left_out_note).
HistogramChart histogram_screen_chart(const HistogramBins& bins, int scan_readings = 0);

// The chart as printed on a page horizontal_resolution pixels wide, with the page title below
// the x axis and the note on readings not shown below the title.
HistogramChart histogram_print_chart(const HistogramBins& bins, int horizontal_resolution,
                                     std::string title, int scan_readings = 0);

// The printed title: "Histogram for <model> <job entry> - <species>", or for the scanner's data
// "Histogram for <model> \r\n<job entry> - ID#<id> - <species>". The species comes from the
// first slot of the job's MC record, the ID from scanner_job_id.
std::string histogram_print_title(const MeterIdentity& meter, std::string_view job_entry,
                                  const McSlot& first_slot, std::int32_t job_id);

} // namespace qm
