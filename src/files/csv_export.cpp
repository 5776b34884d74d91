#include "files/csv_export.h"

#include "analysis/job_statistics.h"
#include "analysis/psychrometrics.h"
#include "files/regular_file.h"
#include "files/text_format.h"
#include "store/job_index.h"
#include "store/lookup_tables.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace qm {

namespace {

// Readings of a 24-hour hour byte of 0x12 (noon) or more, and every 12-hour byte, are
// afternoon readings for the sequence numbering.
constexpr std::int32_t kAfternoonHourCode = 0x12;

// Room made in the text for each line before a part is written; lines are about 60 bytes.
constexpr std::size_t kLineSizeGuess = 72;

std::string format(const char* fmt, auto... args) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, args...);
    return text;
}

std::string_view header_line(std::int32_t celsius, std::int32_t international_date) {
    if (international_date != 0) {
        return celsius != 0 ? kCsvHeaderEuCelsius : kCsvHeaderEuFahrenheit;
    }
    return celsius != 0 ? kCsvHeaderUsCelsius : kCsvHeaderUsFahrenheit;
}

// Writes one line field by field: commas between the fields, CR LF at the end. Numbers are
// written straight into the line; they never hold a character that needs quoting.
class LineWriter {
public:
    explicit LineWriter(std::string& out) : out_(out) {}
    LineWriter& text(std::string_view field) {
        separate();
        append_csv_field(out_, field);
        return *this;
    }
    LineWriter& empty() {
        separate();
        return *this;
    }
    LineWriter& tenths(double value) { // "%.1f"
        separate();
        append_fixed(out_, value, 1);
        return *this;
    }
    LineWriter& whole(long long value) { // "%i"
        separate();
        append_int(out_, value);
        return *this;
    }
    void end() { out_ += kCsvLineEnd; }

private:
    void separate() {
        if (!first_) {
            out_ += ',';
        }
        first_ = false;
    }
    std::string& out_;
    bool first_ = true;
};

// The fields every line starts with: meter name, job number, job ID.
struct JobFields {
    std::string_view name;
    std::string job;
    std::string id;
};

void append_rh_line(std::string& out, const JobFields& j, const Reading& r, std::int32_t celsius,
                    std::int32_t international_date) {
    const PsychrometricResult p = compute_psychrometrics(r.rh, r.temperature, celsius);
    const double temperature = celsius != 0 ? fahrenheit_to_celsius(r.temperature) : r.temperature;
    LineWriter(out)
        .text(j.name)
        .text(j.job)
        .text(j.id)
        .text(location_name(r.location))
        .empty()
        .empty()
        .empty()
        .text(format_reading_date(r, international_date))
        .text(format_reading_time(r))
        .text(type_label(r.kind))
        .empty()
        .tenths(r.rh)
        .tenths(temperature)
        .text(p.dew_point_text)
        .text(p.humidity_text)
        .end();
}

// Numbers a group's pin and scan readings separately, restarting with each new day or half day.
class SequenceLabels {
public:
    std::string next(const Reading& r) {
        const std::int32_t half_day = r.hour_code >= kAfternoonHourCode ? 1 : 0;
        if (half_day != half_day_ || r.day != day_) {
            pins_ = 0;
            scans_ = 0;
            day_ = r.day;
            half_day_ = half_day;
        }
        std::string label = r.kind == Scan ? "S-" : "P-";
        append_int(label, r.kind == Scan ? ++scans_ : ++pins_);
        return label;
    }

private:
    int pins_ = 0;
    int scans_ = 0;
    std::int32_t day_ = 0;
    std::int32_t half_day_ = 0;
};

void append_mc_line(std::string& out, const JobFields& j, const Reading& r, std::string_view label,
                    std::string_view material, std::int32_t celsius,
                    std::int32_t international_date) {
    LineWriter line(out);
    line.text(j.name)
        .text(j.job)
        .text(j.id)
        .text(location_name(r.location))
        .text(sub_location_name(r.sub_location))
        .text(label)
        .text(material)
        .text(format_reading_date(r, international_date))
        .text(format_reading_time(r))
        .text(type_label(r.kind))
        .tenths(r.mc)
        .empty();
    if (r.kind == Scan) {
        line.text(" ");
    } else {
        line.whole(celsius != 0 ? fahrenheit_to_celsius_whole(r.pin_temperature)
                                : r.pin_temperature);
    }
    line.empty().end();
}

// The readings of working_set that belong to job, in location then sub-location order (time
// order kept within each group). One counting pass replaces a walk of the whole working set per
// group; readings outside the 64 locations and three sub-locations are left out, as they belong
// to no group. Sub-locations are ignored when by_sub_location is false.
std::vector<const Reading*> grouped_readings(const std::vector<Reading>& set, std::int32_t job,
                                             bool by_sub_location) {
    const std::size_t subs = by_sub_location ? kSubLocationCount : 1;
    const auto key = [&](const Reading& r) -> std::size_t {
        if (r.job != job || r.location < 0 || r.location >= kLocationCount) {
            return SIZE_MAX;
        }
        if (!by_sub_location) {
            return static_cast<std::size_t>(r.location);
        }
        if (r.sub_location < 0 || r.sub_location >= kSubLocationCount) {
            return SIZE_MAX;
        }
        return static_cast<std::size_t>(r.location) * subs +
               static_cast<std::size_t>(r.sub_location);
    };
    std::vector<std::size_t> start(kLocationCount * subs + 1, 0);
    for (const Reading& r : set) {
        if (const std::size_t k = key(r); k != SIZE_MAX) {
            ++start[k + 1];
        }
    }
    for (std::size_t k = 1; k < start.size(); ++k) {
        start[k] += start[k - 1];
    }
    std::vector<const Reading*> grouped(start.back());
    for (const Reading& r : set) {
        if (const std::size_t k = key(r); k != SIZE_MAX) {
            grouped[start[k]++] = &r;
        }
    }
    return grouped;
}

void append_rh_part(std::string& out, ReadingStore& store, const JobFields& j, std::int32_t job,
                    std::int32_t celsius, std::int32_t international_date) {
    fill_working_set(store, job, kModeRhJob);
    const std::vector<const Reading*> grouped = grouped_readings(store.working_set, job, false);
    out.reserve(out.size() + grouped.size() * kLineSizeGuess);
    for (const Reading* r : grouped) {
        append_rh_line(out, j, *r, celsius, international_date);
    }
}

void append_mc_part(std::string& out, ReadingStore& store, const MeterIdentity& meter,
                    const JobFields& j, std::int32_t job, std::int32_t celsius,
                    std::int32_t international_date) {
    const int position = position_in_list(store.mc_jobs, store.mc_job_count, job);
    if (position < 0) {
        store.working_set.clear(); // a job without MC readings leaves no working set behind
        return;
    }
    fill_working_set(store, position, kModeMcPosition);
    const std::vector<const Reading*> grouped = grouped_readings(store.working_set, job, true);
    out.reserve(out.size() + grouped.size() * kLineSizeGuess);
    // The group statistics run over a working set that holds just the group: they only look at
    // the group's readings, so the figures are those of the whole set, without walking it once
    // per group.
    std::vector<Reading> job_set;
    std::vector<Reading> group;
    job_set.swap(store.working_set);
    for (std::size_t first = 0; first < grouped.size();) {
        const Reading& head = *grouped[first];
        std::size_t end = first + 1;
        while (end < grouped.size() && grouped[end]->location == head.location &&
               grouped[end]->sub_location == head.sub_location) {
            ++end;
        }
        group.clear();
        for (std::size_t i = first; i < end; ++i) {
            group.push_back(*grouped[i]);
        }
        store.working_set.swap(group);
        // The group statistics supply the material text every line of the group carries.
        const JobStatistics stats =
            compute_mc_statistics(store, meter.active_materials, position, head.location,
                                  head.sub_location, international_date);
        store.working_set.swap(group);
        SequenceLabels labels;
        for (std::size_t i = first; i < end; ++i) {
            append_mc_line(out, j, *grouped[i], labels.next(*grouped[i]), stats.material_text,
                           celsius, international_date);
        }
        first = end;
    }
    store.working_set.swap(job_set);
    store.cursor = store.working_set.size();
}

} // namespace

void append_csv_field(std::string& out, std::string_view field) {
    bool plain = true;
    for (const char c : field) {
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            plain = false;
            break;
        }
    }
    if (plain) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

std::string export_csv(ReadingStore& store, const MeterIdentity& meter, std::int32_t job,
                       std::int32_t celsius, std::int32_t international_date) {
    const JobFields j{meter.model(), format("%i", job), format("%i", job_id_of(store, job))};
    std::string out;
    out += header_line(celsius, international_date);
    out += kCsvLineEnd;
    append_rh_part(out, store, j, job, celsius, international_date);
    append_mc_part(out, store, meter, j, job, celsius, international_date);
    return out;
}

int export_csv_file(const std::string& path, ReadingStore& store, const MeterIdentity& meter,
                    std::int32_t job, std::int32_t celsius, std::int32_t international_date) {
    const std::string text = export_csv(store, meter, job, celsius, international_date);
    return replace_file_contents(path,
                                 {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

} // namespace qm
