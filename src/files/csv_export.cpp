#include "files/csv_export.h"

#include "analysis/job_statistics.h"
#include "analysis/psychrometrics.h"
#include "files/regular_file.h"
#include "store/group_order.h"
#include "store/job_index.h"
#include "store/lookup_tables.h"
#include "text/reading_time.h"
#include "text/text_format.h"

#include <cstdint>
#include <cstdio>
#include <span>
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

// The group of a reading in the export: its location, and with by_sub_location its location and
// sub-location; readings outside the 64 locations and three sub-locations belong to none.
std::uint32_t export_group(const Reading& r, bool by_sub_location) {
    if (r.location < 0 || r.location >= kLocationCount) {
        return kNoGroup;
    }
    const auto location = static_cast<std::uint32_t>(r.location);
    if (!by_sub_location) {
        return location;
    }
    if (r.sub_location < 0 || r.sub_location >= kSubLocationCount) {
        return kNoGroup;
    }
    return location * kSubLocationCount + static_cast<std::uint32_t>(r.sub_location);
}

// The job's RH/T readings by location, in time order within each.
void append_rh_part(std::string& out, const ReadingStore& store, const JobFields& j,
                    std::int32_t job, std::int32_t celsius, std::int32_t international_date) {
    const std::vector<Reading> readings = readings_in_time_order(store, job, KindFilter::Rh);
    const std::vector<std::uint32_t> order = group_order(
        readings, kLocationCount, [](const Reading& r) { return export_group(r, false); });
    out.reserve(out.size() + order.size() * kLineSizeGuess);
    for (const std::uint32_t i : order) {
        append_rh_line(out, j, readings[i], celsius, international_date);
    }
}

// The job's MC readings by location and sub-location, in time order within each group, when the
// job is in the MC job list.
void append_mc_part(std::string& out, const ReadingStore& store, const MeterIdentity& meter,
                    const JobFields& j, std::int32_t job, std::int32_t celsius,
                    std::int32_t international_date) {
    if (position_in_list(store.mc_jobs, store.mc_job_count, job) < 0) {
        return;
    }
    const std::vector<Reading> readings = readings_in_time_order(store, job, KindFilter::Mc);
    const std::vector<std::uint32_t> order =
        group_order(readings, kLocationCount * kSubLocationCount,
                    [](const Reading& r) { return export_group(r, true); });
    out.reserve(out.size() + order.size() * kLineSizeGuess);
    std::vector<Reading> group;
    for (std::size_t first = 0; first < order.size();) {
        const Reading& head = readings[order[first]];
        group.clear();
        std::size_t end = first;
        for (; end < order.size() && readings[order[end]].location == head.location &&
               readings[order[end]].sub_location == head.sub_location;
             ++end) {
            group.push_back(readings[order[end]]);
        }
        // The group statistics supply the material text every line of the group carries.
        const JobStatistics stats =
            compute_mc_statistics(group, meter.active_materials, international_date);
        SequenceLabels labels;
        for (const Reading& r : group) {
            append_mc_line(out, j, r, labels.next(r), stats.material_text, celsius,
                           international_date);
        }
        first = end;
    }
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

std::string export_csv(const ReadingStore& store, const MeterIdentity& meter, std::int32_t job,
                       std::int32_t celsius, std::int32_t international_date) {
    const JobFields j{meter.model(), format("%i", job), format("%i", job_id_of(store, job))};
    std::string out;
    out += header_line(celsius, international_date);
    out += kCsvLineEnd;
    append_rh_part(out, store, j, job, celsius, international_date);
    append_mc_part(out, store, meter, j, job, celsius, international_date);
    return out;
}

int export_csv_file(const std::string& path, const ReadingStore& store, const MeterIdentity& meter,
                    std::int32_t job, std::int32_t celsius, std::int32_t international_date) {
    const std::string text = export_csv(store, meter, job, celsius, international_date);
    return replace_file_contents(path,
                                 {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

} // namespace qm
