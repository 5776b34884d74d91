#include "analysis/job_statistics.h"

#include "analysis/psychrometrics.h"
#include "files/text_format.h"
#include "store/job_index.h"

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

// The job number at a position of a job list, or nothing for a position past the list.
bool job_at(const std::array<std::int32_t, kMaxJobs>& list, std::int32_t count, std::int32_t index,
            std::int32_t& job) {
    if (index < 0 || index >= count || index >= kMaxJobs) {
        return false;
    }
    job = list[static_cast<std::size_t>(index)];
    return true;
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
    bool seen() const { return seen_; }
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

JobStatistics compute_mc_statistics(ReadingStore& store, const MaterialList& active_materials,
                                    std::int32_t job_index, std::int32_t location,
                                    std::int32_t sub_location, std::int32_t international_date) {
    JobStatistics stats;
    std::int32_t job = 0;
    const bool has_job = job_at(store.mc_jobs, store.mc_job_count, job_index, job);
    // One pass over the working set per figure, each from its start; the cursor ends at the end.
    const auto pass = [&](std::int32_t kind_filter, auto&& take) {
        store.cursor = 0;
        while (has_job &&
               find_next_in_working_set(store, job, kind_filter, location, sub_location)) {
            take(store.working_set[store.cursor]);
            ++store.cursor;
        }
        store.cursor = store.working_set.size();
    };

    MinMax pin;
    int pin_count = 0;
    pass(PinWithTemperature, [&](const Reading& r) {
        if (r.kind != PinWithTemperature) {
            return; // only a sub-location of 999 would let other kinds through
        }
        if (pin_count == 0) {
            copy_text(stats.material_text, material_name(active_materials, r.material));
        }
        pin.add(r.mc);
        ++pin_count;
    });
    std::snprintf(stats.min_text, sizeof stats.min_text, "%.1f%%", pin.reported_min());
    std::snprintf(stats.max_text, sizeof stats.max_text, "%.1f%%", pin.max);
    std::snprintf(stats.count_text, sizeof stats.count_text, "%i", pin_count);

    MinMax scan;
    int scan_count = 0;
    pass(Scan, [&](const Reading& r) {
        if (r.kind == Scan) {
            scan.add(r.mc);
            ++scan_count;
        }
    });
    std::snprintf(stats.scan_min_text, sizeof stats.scan_min_text, "%.0f", scan.reported_min());
    std::snprintf(stats.scan_max_text, sizeof stats.scan_max_text, "%.0f", scan.max);
    std::snprintf(stats.scan_count_text, sizeof stats.scan_count_text, "%i", scan_count);

    TimeTexts times(stats, international_date);
    pass(kKindFilterNotRh, [&](const Reading& r) {
        // Without a PinWithTemperature reading the group's first reading names the material.
        if (!times.seen() && pin_count == 0) {
            copy_text(stats.material_text, material_name(active_materials, r.material));
        }
        times.add(r);
    });
    times.finish();
    return stats;
}

JobStatistics compute_rh_statistics(ReadingStore& store, std::int32_t job_index,
                                    std::int32_t location, std::int32_t celsius,
                                    std::int32_t international_date) {
    JobStatistics stats;
    std::int32_t job = 0;
    const bool has_job = job_at(store.rh_jobs, store.rh_job_count, job_index, job);

    MinMax humidity;
    int count = 0;
    TimeTexts times(stats, international_date);
    store.cursor = 0;
    while (has_job &&
           find_next_in_working_set(store, job, kKindFilterNotRh, location, kAnySubLocation)) {
        const Reading& r = store.working_set[store.cursor];
        const PsychrometricResult p = compute_psychrometrics(r.rh, r.temperature, celsius);
        if (p.humidity != kOutOfRange) {
            humidity.add(p.humidity);
        }
        ++count;
        times.add(r);
        ++store.cursor;
    }
    store.cursor = store.working_set.size();
    times.finish();

    std::snprintf(stats.min_text, sizeof stats.min_text, "%.2f", humidity.reported_min());
    std::snprintf(stats.max_text, sizeof stats.max_text, "%.2f", humidity.max);
    std::snprintf(stats.count_text, sizeof stats.count_text, "%i", count);
    return stats;
}

std::string format_reading_time(const Reading& reading) {
    // "%i:%.2i", with "AM" or "PM" after a 12-hour time
    std::string text;
    append_int(text, decoded_hour(reading.hour_code));
    text += ':';
    append_int2(text, reading.minute);
    if (hour_is_12h(reading.hour_code)) {
        text += hour_is_pm(reading.hour_code) ? "PM" : "AM";
    }
    return text;
}

std::string format_reading_date(const Reading& reading, std::int32_t international_date) {
    // "%i/%i/%.2i": day first for the international order, month first otherwise
    std::string text;
    append_int(text, international_date != 0 ? reading.day : reading.month);
    text += '/';
    append_int(text, international_date != 0 ? reading.month : reading.day);
    text += '/';
    append_int2(text, reading.year);
    return text;
}

std::string format_reading_date_time(const Reading& reading, std::int32_t international_date) {
    return format_reading_date(reading, international_date) + ' ' + format_reading_time(reading);
}

} // namespace qm
