#include "files/csv_export.h"

#include "analysis/psychrometrics.h"
#include "files/regular_file.h"
#include "store/job_index.h"
#include "store/lookup_tables.h"
#include "text/text_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace qm {

namespace {

// Readings of a 24-hour hour byte of 0x12 (noon) or more, and every 12-hour byte, are
// afternoon readings for the sequence numbering.
constexpr std::int32_t kAfternoonHourCode = 0x12;

// Room made in the text for each line of the job; lines are about 60 bytes.
constexpr std::size_t kLineSizeGuess = 64;

std::string_view header_line(std::int32_t celsius, std::int32_t international_date) {
    if (international_date != 0) {
        return celsius != 0 ? kCsvHeaderEuCelsius : kCsvHeaderEuFahrenheit;
    }
    return celsius != 0 ? kCsvHeaderUsCelsius : kCsvHeaderUsFahrenheit;
}

// Collects the text in a chunk and appends the chunk to the output when it fills. A line makes
// room for itself once (line()), then writes its fields without a check each; only a number that
// needs printf's exact path checks the room again.
class ChunkWriter {
public:
    // longest_text: the longest of the table texts a line carries (the quoted meter name and the
    // like), so that the chunk holds any line.
    ChunkWriter(std::string& out, std::size_t longest_text)
        : out_(out), chunk_(kChunkSize + kLineRoom + 4 * longest_text), at_(chunk_.data()) {}
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;
    ~ChunkWriter() { flush(); }

    // Room for a line that carries table texts of `texts` bytes in all.
    void line(std::size_t texts) { make_room(texts + kLineRoom); }

    void put(std::string_view text) {
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
    }
    void put(char c) { *at_++ = c; }
    void integer(long long value) { at_ = std::to_chars(at_, at_ + kIntRoom, value).ptr; }
    void two_digits(int value) { // "%.2i"
        if (value >= 0 && value < 100) {
            at_[0] = static_cast<char>('0' + value / 10);
            at_[1] = static_cast<char>('0' + value % 10);
            at_ += 2;
            return;
        }
        if (value < 0 && value > -10) {
            put("-0");
        }
        integer(value < 0 && value > -10 ? -value : value);
    }
    void tenths(double value) { // "%.1f"
        if (char* end = write_tenths(at_, value)) {
            at_ = end;
            return;
        }
        std::string text;
        append_fixed(text, value, 1);
        if (text.size() > kChunkSize) {
            flush();
            out_ += text;
        } else {
            make_room(text.size() + kLineRoom);
            put(text);
        }
    }
    void flush() {
        out_.append(chunk_.data(), at_);
        at_ = chunk_.data();
    }

private:
    // More than the fields of a line other than its table texts take, numbers included.
    static constexpr std::size_t kLineRoom = 512;
    static constexpr std::size_t kChunkSize = 64 * 1024;
    static constexpr std::size_t kIntRoom = 24;

    void make_room(std::size_t size) {
        if (static_cast<std::size_t>(chunk_.data() + chunk_.size() - at_) < size) {
            flush();
        }
    }

    std::string& out_;
    std::vector<char> chunk_;
    char* at_;
};

// A field's text as the line carries it: quoted by append_csv_field when it needs to be.
std::string quoted(std::string_view field) {
    std::string text;
    append_csv_field(text, field);
    return text;
}

bool needs_quotes(char c) {
    return c == ',' || c == '"' || c == '\r' || c == '\n';
}

// A field that may need quoting, as append_csv_field writes it.
void put_field(ChunkWriter& w, std::string_view field) {
    if (std::none_of(field.begin(), field.end(), needs_quotes)) {
        w.put(field);
    } else {
        w.put(quoted(field));
    }
}

// The texts every line of the export takes from a table, quoted once in advance.
struct FieldTexts {
    std::string prefix; // meter name, job number and job ID, each followed by a comma
    std::array<std::string, kLocationCount> locations;
    std::array<std::string, kSubLocationCount> sub_locations;
    std::array<std::string, 5> types; // kinds 0..3, then any other kind
    std::int32_t celsius = 0;
    std::int32_t international_date = 0;
    std::size_t line_texts = 0; // the prefix and the longest location, sub-location and type

    std::string_view type(std::int32_t kind) const {
        return types[kind >= 0 && kind < 4 ? static_cast<std::size_t>(kind) : 4];
    }
};

FieldTexts field_texts(const ReadingStore& store, const MeterIdentity& meter, std::int32_t job,
                       std::int32_t celsius, std::int32_t international_date) {
    FieldTexts t;
    t.prefix = quoted(meter.model()) + ',';
    append_int(t.prefix, job);
    t.prefix += ',';
    append_int(t.prefix, job_id_of(store, job));
    t.prefix += ',';
    for (int i = 0; i < kLocationCount; ++i) {
        t.locations[static_cast<std::size_t>(i)] = quoted(location_name(i));
    }
    for (int i = 0; i < kSubLocationCount; ++i) {
        t.sub_locations[static_cast<std::size_t>(i)] = quoted(sub_location_name(i));
    }
    for (int i = 0; i < 5; ++i) {
        t.types[static_cast<std::size_t>(i)] = quoted(type_label(i));
    }
    t.celsius = celsius;
    t.international_date = international_date;
    const auto longest = [](const auto& texts) {
        return std::max_element(texts.begin(), texts.end(),
                                [](const auto& a, const auto& b) { return a.size() < b.size(); })
            ->size();
    };
    t.line_texts =
        t.prefix.size() + longest(t.locations) + longest(t.sub_locations) + longest(t.types);
    return t;
}

// The date and time fields, each followed by a comma: "%i/%i/%.2i" (day first for the
// international order) and "%i:%.2i", with AM or PM in 12-hour mode.
void put_date_time(ChunkWriter& w, const Reading& r, std::int32_t international_date) {
    w.integer(international_date != 0 ? r.day : r.month);
    w.put('/');
    w.integer(international_date != 0 ? r.month : r.day);
    w.put('/');
    w.two_digits(r.year);
    w.put(',');
    w.integer(decoded_hour(r.hour_code));
    w.put(':');
    w.two_digits(r.minute);
    if (hour_is_12h(r.hour_code)) {
        w.put(hour_is_pm(r.hour_code) ? "PM" : "AM");
    }
    w.put(',');
}

void put_rh_line(ChunkWriter& w, const FieldTexts& t, const Reading& r) {
    const PsychrometricResult p = compute_psychrometrics(r.rh, r.temperature, t.celsius);
    w.line(t.line_texts);
    w.put(t.prefix);
    w.put(t.locations[static_cast<std::size_t>(r.location)]);
    w.put(",,,,");
    put_date_time(w, r, t.international_date);
    w.put(t.type(r.kind));
    w.put(",,");
    w.tenths(r.rh);
    w.put(',');
    w.tenths(t.celsius != 0 ? fahrenheit_to_celsius(r.temperature) : r.temperature);
    w.put(',');
    put_field(w, p.dew_point_text);
    w.put(',');
    put_field(w, p.humidity_text);
    w.put(kCsvLineEnd);
}

// Numbers a group's pin and scan readings separately, restarting with each new day or half day.
class SequenceLabels {
public:
    void put_next(ChunkWriter& w, const Reading& r) {
        const std::int32_t half_day = r.hour_code >= kAfternoonHourCode ? 1 : 0;
        if (half_day != half_day_ || r.day != day_) {
            pins_ = 0;
            scans_ = 0;
            day_ = r.day;
            half_day_ = half_day;
        }
        w.put(r.kind == Scan ? "S-" : "P-");
        w.integer(r.kind == Scan ? ++scans_ : ++pins_);
    }

private:
    int pins_ = 0;
    int scans_ = 0;
    std::int32_t day_ = 0;
    std::int32_t half_day_ = 0;
};

void put_mc_line(ChunkWriter& w, const FieldTexts& t, const Reading& r, SequenceLabels& labels,
                 std::string_view material) {
    w.line(t.line_texts + material.size());
    w.put(t.prefix);
    w.put(t.locations[static_cast<std::size_t>(r.location)]);
    w.put(',');
    w.put(t.sub_locations[static_cast<std::size_t>(r.sub_location)]);
    w.put(',');
    labels.put_next(w, r);
    w.put(',');
    w.put(material);
    w.put(',');
    put_date_time(w, r, t.international_date);
    w.put(t.type(r.kind));
    w.put(',');
    w.tenths(r.mc);
    w.put(",,");
    if (r.kind == Scan) {
        w.put(' ');
    } else {
        w.integer(t.celsius != 0 ? fahrenheit_to_celsius_whole(r.pin_temperature)
                                 : r.pin_temperature);
    }
    w.put(',');
    w.put(kCsvLineEnd);
}

// The group of a reading in the export: its location, and with by_sub_location its location and
// sub-location (readings are in_tables: location 0..63, sub-location 0..2).
std::uint32_t location_group(const Reading& r) {
    return static_cast<std::uint32_t>(r.location);
}
std::uint32_t sub_location_group(const Reading& r) {
    return static_cast<std::uint32_t>(r.location * kSubLocationCount + r.sub_location);
}

// Calls line(reading) for the readings at the positions, in that order. The positions jump about
// the array, so each reading is fetched some lines ahead of its turn.
template <typename Line>
void for_each_reading(const ReadingStore& store, std::span<const std::uint32_t> positions,
                      Line line) {
    constexpr std::size_t kAhead = 16;
    const Reading* all = store.all_readings.data();
    for (std::size_t k = 0; k < positions.size(); ++k) {
        if (k + kAhead < positions.size()) {
            __builtin_prefetch(all + positions[k + kAhead]);
            __builtin_prefetch(reinterpret_cast<const char*>(all + positions[k + kAhead]) + 64);
        }
        line(all[positions[k]]);
    }
}

// The material every line of an MC group carries: that of the group's first PinWithTemperature
// reading, else of its first reading (as the group statistics name it).
std::string group_material(const ReadingStore& store, const MeterIdentity& meter,
                           std::span<const std::uint32_t> group) {
    const Reading* named = &store.all_readings[group.front()];
    for (const std::uint32_t i : group) {
        if (store.all_readings[i].kind == PinWithTemperature) {
            named = &store.all_readings[i];
            break;
        }
    }
    return quoted(material_name(meter.active_materials, named->material));
}

// The job's MC readings, grouped by location and sub-location.
void put_mc_part(ChunkWriter& w, const ReadingStore& store, const MeterIdentity& meter,
                 const FieldTexts& t, const GroupedPositions& grouped) {
    const std::span<const std::uint32_t> all(grouped.positions);
    for (std::size_t g = 0; g + 1 < grouped.group_start.size(); ++g) {
        const std::span<const std::uint32_t> members = all.subspan(
            grouped.group_start[g], grouped.group_start[g + 1] - grouped.group_start[g]);
        if (members.empty()) {
            continue;
        }
        const std::string material = group_material(store, meter, members);
        SequenceLabels labels;
        for_each_reading(store, members,
                         [&](const Reading& r) { put_mc_line(w, t, r, labels, material); });
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
    const FieldTexts t = field_texts(store, meter, job, celsius, international_date);
    // The RH/T readings by location, then the MC readings (when the job is in the MC job list) by
    // location and sub-location, in time order within each group.
    const GroupedPositions rh =
        grouped_in_time_order(store, job, KindFilter::Rh, kLocationCount, location_group);
    const GroupedPositions mc =
        position_in_list(store.mc_jobs, store.mc_job_count, job) < 0
            ? GroupedPositions{}
            : grouped_in_time_order(store, job, KindFilter::Mc, kLocationCount * kSubLocationCount,
                                    sub_location_group);
    std::string out;
    out.reserve(kCsvHeaderUsFahrenheit.size() + kCsvLineEnd.size() +
                (rh.positions.size() + mc.positions.size()) * kLineSizeGuess);
    out += header_line(celsius, international_date);
    out += kCsvLineEnd;
    {
        const auto w = std::make_unique<ChunkWriter>(out, t.line_texts + kMaterialNameSize * 2);
        for_each_reading(store, rh.positions, [&](const Reading& r) { put_rh_line(*w, t, r); });
        put_mc_part(*w, store, meter, t, mc);
    }
    return out;
}

int export_csv_file(const std::string& path, const ReadingStore& store, const MeterIdentity& meter,
                    std::int32_t job, std::int32_t celsius, std::int32_t international_date) {
    const std::string text = export_csv(store, meter, job, celsius, international_date);
    return replace_file_contents(path,
                                 {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

} // namespace qm
