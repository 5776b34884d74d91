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

// Collects the text in a chunk and hands the chunk on when it fills. A line makes room for itself
// once (line()), then writes its fields without a check each; only a number that needs printf's
// exact path checks the room again. After a failed hand-over nothing more is handed on.
class ChunkWriter {
public:
    // longest_text: the longest of the table texts a line carries (the quoted meter name and the
    // like), so that the chunk holds any line.
    ChunkWriter(const ByteWriter& write, std::size_t longest_text)
        : write_(write), chunk_(kChunkSize + kLineRoom + 4 * longest_text), at_(chunk_.data()) {}
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    // Hands on what is left; returns 0 or the first error of a hand-over.
    int finish() {
        flush();
        return error_;
    }

    // Room for a line that carries table texts of `texts` bytes in all.
    void line(std::size_t texts) { make_room(texts + kLineRoom); }

    void put(std::string_view text) {
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
    }
    void put(char c) { *at_++ = c; }
    void integer(long long value) {
        if (value >= 0 && value < 100) { // days, months, hours, minutes, most labels
            if (value >= 10) {
                *at_++ = static_cast<char>('0' + value / 10);
            }
            *at_++ = static_cast<char>('0' + value % 10);
            return;
        }
        at_ = std::to_chars(at_, at_ + kIntRoom, value).ptr;
    }
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
            hand_on({text.data(), text.size()});
        } else {
            make_room(text.size() + kLineRoom);
            put(text);
        }
    }
    void flush() {
        hand_on({chunk_.data(), static_cast<std::size_t>(at_ - chunk_.data())});
        at_ = chunk_.data();
    }

private:
    // More than the fields of a line other than its table texts take, numbers included.
    static constexpr std::size_t kLineRoom = 512;
    static constexpr std::size_t kChunkSize = 256 * 1024;
    static constexpr std::size_t kIntRoom = 24;

    void hand_on(std::span<const char> text) {
        if (error_ == 0 && !text.empty()) {
            error_ = write_({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
        }
    }
    void make_room(std::size_t size) {
        if (static_cast<std::size_t>(chunk_.data() + chunk_.size() - at_) < size) {
            flush();
        }
    }

    const ByteWriter& write_;
    std::vector<char> chunk_;
    char* at_;
    int error_ = 0;
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

// The groups of the export, both parts in one: the RH/T readings by location (groups 0..63),
// then the MC readings by location and sub-location (groups 64..255). Readings are in_tables:
// location 0..63, sub-location 0..2.
constexpr std::size_t kRhGroups = kLocationCount;
constexpr std::size_t kExportGroups = kRhGroups + kLocationCount * kSubLocationCount;

std::uint32_t export_group(const Reading& r) {
    return is_rh(r) ? static_cast<std::uint32_t>(r.location)
                    : static_cast<std::uint32_t>(kRhGroups + r.location * kSubLocationCount +
                                                 r.sub_location);
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

// The job's MC readings, grouped by location and sub-location (export_group).
void put_mc_part(ChunkWriter& w, const ReadingStore& store, const MeterIdentity& meter,
                 const FieldTexts& t, const GroupedPositions& grouped) {
    const std::span<const std::uint32_t> all(grouped.positions);
    for (std::size_t g = kRhGroups; g < kExportGroups; ++g) {
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

int write_csv(const ReadingStore& store, const MeterIdentity& meter, std::int32_t job,
              std::int32_t celsius, std::int32_t international_date, const ByteWriter& write) {
    const FieldTexts t = field_texts(store, meter, job, celsius, international_date);
    // The RH/T readings by location, then the MC readings (when the job is in the MC job list) by
    // location and sub-location, in time order within each group: one walk over the job.
    const GroupedPositions grouped =
        grouped_in_time_order(store, job, KindFilter::Any, kExportGroups, export_group);
    const std::span<const std::uint32_t> rh =
        std::span(grouped.positions).first(grouped.group_start[kRhGroups]);
    const auto w = std::make_unique<ChunkWriter>(write, t.line_texts + kMaterialNameSize * 2);
    w->line(0);
    w->put(header_line(celsius, international_date));
    w->put(kCsvLineEnd);
    for_each_reading(store, rh, [&](const Reading& r) { put_rh_line(*w, t, r); });
    if (position_in_list(store.mc_jobs, store.mc_job_count, job) >= 0) {
        put_mc_part(*w, store, meter, t, grouped);
    }
    return w->finish();
}

std::string export_csv(const ReadingStore& store, const MeterIdentity& meter, std::int32_t job,
                       std::int32_t celsius, std::int32_t international_date) {
    std::string out;
    out.reserve(kCsvHeaderUsFahrenheit.size() + kCsvLineEnd.size() +
                count_readings(store, job, KindFilter::Any) * kLineSizeGuess);
    write_csv(store, meter, job, celsius, international_date,
              [&out](std::span<const std::uint8_t> piece) {
                  out.append(reinterpret_cast<const char*>(piece.data()), piece.size());
                  return 0;
              });
    return out;
}

int export_csv_file(const std::string& path, const ReadingStore& store, const MeterIdentity& meter,
                    std::int32_t job, std::int32_t celsius, std::int32_t international_date) {
    // Written in pieces: the text of a large job is never held whole.
    return replace_file_in_pieces(path, [&](const ByteWriter& write) {
        return write_csv(store, meter, job, celsius, international_date, write);
    });
}

} // namespace qm
