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

std::string int_text(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", value);
    return text;
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
        chart.y_labels.push_back({int_text((100 - 5 * k) * chart.scale),
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

HistogramChart build_chart(const HistogramBins& bins, int factor, int frame_right, int grid_right) {
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

void fill_mc_slots_from_working_set(McJobRecord& record, const std::vector<Reading>& working_set) {
    std::size_t k = 0;
    for (const Reading& r : working_set) {
        if (k == record.slots.size()) {
            break;
        }
        if (r.kind == PinWithTemperature || r.kind == Pin) {
            record.slots[k++].value = r.mc;
        }
    }
    for (; k < record.slots.size(); ++k) {
        record.slots[k].value = 0.0;
    }
}

const McSlot& first_mc_slot(const JobRecords& records, int job_index) {
    static constexpr McSlot kEmpty{};
    if (job_index < 0 || job_index >= kJobRecordCount) {
        return kEmpty;
    }
    return mc_slot(records.mc(job_index), 0);
}

int histogram_scale(const HistogramBins& bins) {
    const int largest = *std::max_element(bins.begin() + 1, bins.end());
    int scale = 1;
    while (largest > kCountsPerScaleStep * scale) {
        scale *= 2;
    }
    return scale;
}

int histogram_print_factor(int horizontal_resolution) {
    return std::max(1, horizontal_resolution / kPrintDotsPerFactor);
}

HistogramChart histogram_screen_chart(const HistogramBins& bins) {
    return build_chart(bins, 1, kPlotRight, kPlotRight);
}

HistogramChart histogram_print_chart(const HistogramBins& bins, int horizontal_resolution,
                                     std::string title) {
    const int a = histogram_print_factor(horizontal_resolution);
    HistogramChart chart = build_chart(bins, a, kPlotRightPrinted * a, kPlotRightPrinted * a);
    chart.y_title_x = 0;
    chart.title = ChartText{
        std::move(title),
        {0, kPrintTitleTop * a, std::max(horizontal_resolution, 1), kPrintTitleBottom * a},
        ChartAlign::Center};
    return chart;
}

std::string histogram_print_title(const MeterIdentity& meter, std::string_view job_entry,
                                  const McSlot& first_slot) {
    const std::string model(meter.model());
    const std::string entry(job_entry);
    const std::string species(species_name(first_slot.words[5]));
    char text[512];
    if (meter.not_scanner == 0) {
        std::snprintf(text, sizeof text, "Histogram for %s \r\n%s - ID#%12.0f - %s", model.c_str(),
                      entry.c_str(), first_slot.id_value, species.c_str());
    } else {
        std::snprintf(text, sizeof text, "Histogram for %s %s - %s", model.c_str(), entry.c_str(),
                      species.c_str());
    }
    return text;
}

} // namespace qm
