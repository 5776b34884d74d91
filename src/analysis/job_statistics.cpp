#include "analysis/job_statistics.h"

#include "analysis/psychrometrics.h"
#include "text/reading_time.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace qm {

namespace {

// The maximum starts at zero and only a strictly larger value replaces it; the minimum is the
// smallest value met, whatever its size (hot, saturated air gives humidities of 3000 and more).
// A group without values reports 0 for both.
struct MinMax {
    double min = 0.0;
    double max = 0.0;
    bool seen = false;

    void add(double value) {
        if (std::isnan(value)) {
            return; // compares with nothing: neither bound moves
        }
        if (!seen || value < min) {
            min = value;
        }
        if (value > max) {
            max = value;
        }
        seen = true;
    }
    double reported_min() const { return seen ? min : 0.0; }
};

// Copies text into a fixed field, cut to fit, always terminated.
template <std::size_t N> void copy_text(char (&field)[N], std::string_view text) {
    // Stops at an embedded NUL, as the C string copy it replaces did.
    const std::size_t length = std::min({text.size(), N - 1, text.find('\0')});
    std::memcpy(field, text.data(), length);
    field[length] = '\0';
}

// Keeps first_text and last_text up to date as a pass meets the group's readings in order.
class TimeTexts {
public:
    TimeTexts(JobStatistics& stats, std::int32_t international_date)
        : stats_(stats), international_date_(international_date) {
        copy_text(stats_.first_text, kNoReadingTime);
        copy_text(stats_.last_text, kNoReadingTime);
    }
    void add(const Reading& r) {
        if (!seen_) {
            copy_text(stats_.first_text, format_reading_date_time(r, international_date_));
            seen_ = true;
        }
        last_ = r; // its text is written once, by finish()
    }
    void finish() {
        if (seen_) {
            copy_text(stats_.last_text, format_reading_date_time(last_, international_date_));
        }
    }

private:
    JobStatistics& stats_;
    std::int32_t international_date_;
    bool seen_ = false;
    Reading last_{};
};

} // namespace

JobStatistics compute_mc_statistics(std::span<const Reading> group,
                                    const MaterialList& active_materials,
                                    std::int32_t international_date) {
    JobStatistics stats;
    MinMax pin;
    int pin_count = 0;
    MinMax scan;
    int scan_count = 0;
    for (const Reading& r : group) {
        if (r.kind == PinWithTemperature) {
            if (pin_count == 0) {
                copy_text(stats.material_text, material_name(active_materials, r.material));
            }
            pin.add(r.mc);
            ++pin_count;
        } else if (r.kind == Scan) {
            scan.add(r.mc);
            ++scan_count;
        }
    }
    std::snprintf(stats.min_text, sizeof stats.min_text, "%.1f%%", pin.reported_min());
    std::snprintf(stats.max_text, sizeof stats.max_text, "%.1f%%", pin.max);
    std::snprintf(stats.count_text, sizeof stats.count_text, "%i", pin_count);
    std::snprintf(stats.scan_min_text, sizeof stats.scan_min_text, "%.0f", scan.reported_min());
    std::snprintf(stats.scan_max_text, sizeof stats.scan_max_text, "%.0f", scan.max);
    std::snprintf(stats.scan_count_text, sizeof stats.scan_count_text, "%i", scan_count);

    TimeTexts times(stats, international_date);
    for (const Reading& r : group) {
        times.add(r);
    }
    times.finish();
    // Without a PinWithTemperature reading the group's first reading names the material.
    if (pin_count == 0 && !group.empty()) {
        copy_text(stats.material_text, material_name(active_materials, group.front().material));
    }
    return stats;
}

JobStatistics compute_rh_statistics(std::span<const Reading> group, std::int32_t celsius,
                                    std::int32_t international_date) {
    JobStatistics stats;
    MinMax humidity;
    TimeTexts times(stats, international_date);
    for (const Reading& r : group) {
        const PsychrometricResult p = compute_psychrometrics(r.rh, r.temperature, celsius);
        if (p.humidity != kOutOfRange) {
            humidity.add(p.humidity);
        }
        times.add(r);
    }
    times.finish();

    std::snprintf(stats.min_text, sizeof stats.min_text, "%.2f", humidity.reported_min());
    std::snprintf(stats.max_text, sizeof stats.max_text, "%.2f", humidity.max);
    std::snprintf(stats.count_text, sizeof stats.count_text, "%i", static_cast<int>(group.size()));
    return stats;
}

} // namespace qm
