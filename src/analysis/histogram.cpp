#include "analysis/histogram.h"

#include "store/lookup_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qm {

namespace {

// Chart layout in client pixels at scale 1.
constexpr int kPlotLeft = 50;
constexpr int kPlotTop = 10;
constexpr int kPlotRight = 551;
constexpr int kPlotRightPrinted = 550;
constexpr int kPlotBottom = 411;
constexpr int kBarBase = 410;
constexpr int kBarStep = 5;  // pixels per bin
constexpr int kBarWidth = 6; // one more than the step: neighbours share an outline
constexpr int kStubTop = 406;
constexpr int kPixelsPerScaleStep = 4;
constexpr int kTickSteps = 100;
constexpr int kXLabelCount = 21;
constexpr int kXLabelSpacing = 25;
constexpr int kYLabelSpacing = 20;
constexpr int kPrintTitleTop = 450;
constexpr int kPrintTitleBottom = 490;
constexpr int kLargestDrawnBin = 99;
constexpr int kLargestBin = kHistogramBinCount - 1;
constexpr int kCountsPerScaleStep = 100; // a bar is 100 steps high at most
constexpr int kPrintDotsPerFactor = 600;
// The note on readings not shown: under "%MC" on screen, under the title on paper.
constexpr int kNoteTop = 448;
constexpr int kNoteTopPrinted = 500;
constexpr int kNoteHeight = 60;

std::string int_text(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", value);
    return text;
}

std::string count_text(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld", value);
    return text;
}

// "<n> <what> is not shown" or "<n> <plural> are not shown".
std::string not_shown_line(int n, const char* one, const char* many) {
    return count_text(n) + ' ' + (n == 1 ? one : many) + (n == 1 ? " is" : " are") + " not shown";
}

void add_labels(HistogramChart& chart) {
    const int a = chart.factor;
    for (int k = 0; k < kXLabelCount; ++k) {
        chart.x_labels.push_back(
            {int_text(5 * k),
             {(40 + kXLabelSpacing * k) * a, 417 * a, (60 + kXLabelSpacing * k) * a, 500 * a},
             ChartAlign::Center});
    }
    for (int k = 0; k < kXLabelCount; ++k) {
        const int top = 5 + kYLabelSpacing * k;
        // Wide enough for the largest scale a count of 32-bit bins can ask for.
        chart.y_labels.push_back({count_text(static_cast<long long>(100 - 5 * k) * chart.scale),
                                  {5 * a, top * a, 40 * a, (top + kYLabelSpacing) * a},
                                  ChartAlign::Right});
    }
}

void add_ticks(HistogramChart& chart, int grid_right) {
    const int a = chart.factor;
    auto line = [&](int x1, int y1, int x2, int y2) {
        chart.ticks.push_back({x1 * a, y1 * a, x2 * a, y2 * a});
    };
    line(kPlotLeft, 409, kPlotLeft, 415);
    for (int j = 1; j <= kTickSteps; ++j) {
        const int x = kPlotLeft + kBarStep * j;
        if (j % 5 == 0) {
            line(x, 403, x, 417);
        } else {
            line(x, 415, x, 405);
        }
    }
    line(45, kPlotTop, 55, kPlotTop);
    for (int j = 1; j <= kTickSteps; ++j) {
        const int y = kPlotTop + kPixelsPerScaleStep * j;
        if (j % 10 == 0) {
            chart.ticks.push_back({43 * a, y * a, grid_right, y * a});
        } else if (j % 10 == 5) {
            line(43, y, 57, y);
        } else {
            line(45, y, 55, y);
        }
    }
}

void add_bars(HistogramChart& chart, const HistogramBins& bins) {
    const int a = chart.factor;
    const int s = chart.scale;
    for (int i = 1; i <= kLargestDrawnBin; ++i) {
        const int left = (kPlotLeft + kBarStep * i) * a;
        const int right = left + kBarWidth * a;
        const int count = bins[static_cast<std::size_t>(i)];
        if (count > 0 && count <= s) {
            chart.bars.push_back({left, kStubTop * a, right, kPlotBottom * a});
        }
        // A negative count (never produced by a rebuild) draws as an empty bin.
        const int steps = std::clamp(count / s, 0, kTickSteps);
        chart.bars.push_back(
            {left, (kBarBase - kPixelsPerScaleStep * steps) * a, right, kPlotBottom * a});
    }
}

HistogramChart build_chart(const HistogramBins& bins, int scan_readings, int factor,
                           int frame_right, int grid_right, int note_top) {
    HistogramChart chart;
    chart.scale = histogram_scale(bins);
    chart.factor = factor;
    chart.title_font_height = 15 * factor;
    chart.title_font_width = 6 * factor;
    chart.y_title_x = 5 * factor;
    chart.y_title_y = 275 * factor;
    chart.x_title_x = 285 * factor;
    chart.x_title_y = 430 * factor;
    chart.frame = {kPlotLeft * factor, kPlotTop * factor, frame_right, kPlotBottom * factor};
    add_labels(chart);
    add_ticks(chart, grid_right);
    add_bars(chart, bins);
    std::string note = histogram_left_out_note(bins, scan_readings);
    if (!note.empty()) {
        chart.note = ChartText{
            std::move(note),
            {kPlotLeft * factor, note_top * factor, frame_right, (note_top + kNoteHeight) * factor},
            ChartAlign::Center};
    }
    return chart;
}

} // namespace

int histogram_bin(double value) {
    // Also sends NaN to bin 0.
    if (!(value >= 0.5)) {
        return 0;
    }
    if (value >= kLargestBin + 0.5) {
        return kLargestBin;
    }
    // The smallest whole n >= 1 with n + 0.5 > value.
    return static_cast<int>(std::floor(value - 0.5)) + 1;
}

void rebuild_histogram_bins(HistogramBins& bins, const JobRecords& records, HistogramSource source,
                            int job_index) {
    bins.fill(0);
    if (job_index < 0 || job_index >= kJobRecordCount) {
        return;
    }
    if (source == HistogramSource::Mc) {
        for (const McSlot& slot : records.mc(job_index).slots) {
            ++bins[static_cast<std::size_t>(histogram_bin(slot.value))];
        }
    } else {
        for (const RhSlot& slot : records.rh(job_index).slots) {
            ++bins[static_cast<std::size_t>(histogram_bin(slot.value))];
        }
    }
}

int rebuild_histogram_bins(HistogramBins& bins, const std::vector<Reading>& working_set) {
    bins.fill(0);
    int left_out = 0;
    for (const Reading& r : working_set) {
        if (r.kind == PinWithTemperature || r.kind == Pin) {
            ++bins[static_cast<std::size_t>(histogram_bin(r.mc))];
        } else if (r.kind != RhTemperature) {
            ++left_out; // a scan, or a kind without a name that the view shows as one
        }
    }
    return left_out;
}

std::string histogram_left_out_note(const HistogramBins& bins, int scan_readings) {
    std::string note;
    auto add = [&note](int n, const char* one, const char* many) {
        if (n > 0) {
            if (!note.empty()) {
                note += '\n';
            }
            note += not_shown_line(n, one, many);
        }
    };
    add(scan_readings, "scan reading", "scan readings");
    add(bins[kLargestBin], "reading of 99.5% or more", "readings of 99.5% or more");
    add(bins[0], "reading below 0.5%", "readings below 0.5%");
    return note;
}

const McSlot& first_mc_slot(const JobRecords& records, int job_index) {
    static constexpr McSlot kEmpty{};
    if (job_index < 0 || job_index >= kJobRecordCount) {
        return kEmpty;
    }
    return mc_slot(records.mc(job_index), 0);
}

double scanner_job_id(const McSlot& first_slot, std::int32_t job_id) {
    return first_slot.id_value != 0.0 ? first_slot.id_value : static_cast<double>(job_id);
}

int histogram_scale(const HistogramBins& bins) {
    const long long largest = *std::max_element(bins.begin() + 1, bins.end());
    int scale = 1;
    // 1, 2, 4 ... 16 up to 1600, 32 up to 3200, and so on.
    while (largest > static_cast<long long>(kCountsPerScaleStep) * scale) {
        scale *= 2;
    }
    return scale;
}

int histogram_print_factor(int horizontal_resolution) {
    return std::max(1, horizontal_resolution / kPrintDotsPerFactor);
}

HistogramChart histogram_screen_chart(const HistogramBins& bins, int scan_readings) {
    return build_chart(bins, scan_readings, 1, kPlotRight, kPlotRight, kNoteTop);
}

HistogramChart histogram_print_chart(const HistogramBins& bins, int horizontal_resolution,
                                     std::string title, int scan_readings) {
    const int a = histogram_print_factor(horizontal_resolution);
    HistogramChart chart = build_chart(bins, scan_readings, a, kPlotRightPrinted * a,
                                       kPlotRightPrinted * a, kNoteTopPrinted);
    chart.y_title_x = 0;
    chart.title = ChartText{
        std::move(title),
        {0, kPrintTitleTop * a, std::max(horizontal_resolution, 1), kPrintTitleBottom * a},
        ChartAlign::Center};
    return chart;
}

std::string histogram_print_title(const MeterIdentity& meter, std::string_view job_entry,
                                  const McSlot& first_slot, std::int32_t job_id) {
    const std::string model(meter.model());
    const std::string entry(job_entry);
    const std::string species(species_name(first_slot.species));
    char text[512];
    if (meter.not_scanner == 0) {
        std::snprintf(text, sizeof text, "Histogram for %s \r\n%s - ID#%12.0f - %s", model.c_str(),
                      entry.c_str(), scanner_job_id(first_slot, job_id), species.c_str());
    } else {
        std::snprintf(text, sizeof text, "Histogram for %s %s - %s", model.c_str(), entry.c_str(),
                      species.c_str());
    }
    return text;
}

} // namespace qm
