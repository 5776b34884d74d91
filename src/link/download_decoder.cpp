#include "link/download_decoder.h"

#include "store/job_index.h"

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace qm {

namespace {

// Makes room for a download larger than any before it, in place of the readings (every place is
// written after). Fresh memory is faulted in page by page as it is first written; for the tens of
// megabytes of a large download the kernel is asked for large pages, which cuts the faults by a
// factor of 512. Only advice: where it is not followed, or the block is too small to hold a large
// page, nothing changes.
void make_room_with_large_pages(std::vector<Reading>& readings, std::size_t count) {
    std::vector<Reading> grown;
    grown.reserve(count);
    constexpr std::uintptr_t kLargePage = std::uintptr_t{2} << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(grown.data());
    const std::uintptr_t end = begin + count * sizeof(Reading);
    const std::uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
    if (first + kLargePage <= end) {
        madvise(reinterpret_cast<void*>(first), (end - first) & ~(kLargePage - 1), MADV_HUGEPAGE);
    }
    readings.swap(grown);
}

// Bytes of a record by its kind byte; a kind the decoder does not know takes 9.
constexpr std::size_t kind_length(std::uint8_t kind) {
    switch (kind) {
    case PinWithTemperature:
        return 12;
    case RhTemperature:
        return 13;
    case Pin:
        return 10;
    case Scan:
        return 12;
    default:
        return 9;
    }
}

constexpr std::size_t kJobIdsLength = 10;
constexpr std::int32_t kNumberedLocationBase = 32;
constexpr std::int32_t kPinCountFullScale = 1110; // a reading of 111.0 shows as 99.9
constexpr double kPinFullScaleValue = 99.9;

double pin_mc(std::uint8_t digits12, std::uint8_t digit3_byte) {
    const std::int32_t tenths = 100 * (digits12 >> 4) + 10 * (digits12 & 0x0F) + (digit3_byte >> 4);
    return tenths == kPinCountFullScale ? kPinFullScaleValue : tenths * 0.1;
}

// A reading's place in all_readings by its job nibble and position byte: its group (job,
// location, sub-location), or -1 for a reading the data model has no place for (job outside
// 1..5), -2 for one past location 63; and its location and sub-location.
struct Place {
    std::int16_t group;
    std::uint8_t location;
    std::uint8_t sub_location;
};
using PlaceTable = std::array<std::array<Place, 256>, 16>;

// The table of places for the job flags of a stream (a job's flag set: named areas, locations
// from 0; clear: numbered locations, from 32).
void fill_places(std::uint8_t job_flags, PlaceTable& places) {
    for (std::int32_t job = 0; job < 16; ++job) {
        const bool known = job >= 1 && job <= kMaxJobs;
        const bool named_areas = known && ((job_flags >> job) & 1) != 0;
        for (std::int32_t position = 0; position < 256; ++position) {
            const std::int32_t location = position / 3 + (named_areas ? 0 : kNumberedLocationBase);
            const std::int32_t sub = position % 3;
            std::int32_t group = ((job - 1) * kLocationCount + location) * kSubLocationCount + sub;
            if (!known) {
                group = -1;
            } else if (location > kLocationCount - 1) {
                group = -2;
            }
            places[static_cast<std::size_t>(job)][static_cast<std::size_t>(position)] = {
                static_cast<std::int16_t>(group), static_cast<std::uint8_t>(location),
                static_cast<std::uint8_t>(sub)};
        }
    }
}

const Place& place_of(const PlaceTable& places, const std::uint8_t* rec) {
    return places[rec[1] & 0x0F][rec[2]];
}

// The BCD bytes of the date and time, by table.
constexpr std::array<std::uint8_t, 256> kBcd = [] {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t b = 0; b < table.size(); ++b) {
        table[b] = static_cast<std::uint8_t>(bcd(static_cast<std::uint8_t>(b)));
    }
    return table;
}();

// The fields a record carries only for its kind. A record of another kind keeps the values of
// the records before it, kept or not.
struct KindFields {
    std::int32_t pin_temperature = 0;
    double mc = 0.0;
    double rh = 0.0;
    double temperature = 0.0;
};

// Takes the kind's own fields of a record.
void take_kind_fields(const std::uint8_t* rec, KindFields& f) {
    switch (rec[0]) {
    case PinWithTemperature:
        f.mc = pin_mc(rec[8], rec[9]);
        f.pin_temperature = 100 * (rec[9] & 0x0F) + bcd(rec[10]);
        break;
    case RhTemperature:
        f.rh = (100 * bcd(rec[8]) + bcd(rec[9])) * 0.1;
        f.temperature = (100 * bcd(rec[10]) + bcd(rec[11])) * 0.1;
        break;
    case Pin:
        // The temperature of the download's last pin reading that had one, 0 before it: what
        // a download holds follows from its bytes alone.
        f.mc = pin_mc(rec[8], rec[9]);
        break;
    case Scan:
        f.mc = 100 * (rec[9] >> 4) + 10 * (rec[9] & 0x0F) + (rec[10] >> 4);
        break;
    default:
        break;
    }
}

// Writes every field of a kept reading at its place, one by one: a reading assembled first and
// copied whole would be read back before its stores are done.
void write_reading(const std::uint8_t* rec, const Place& place, const KindFields& f, Reading& r) {
    r.kind = rec[0];
    r.location = place.location;
    r.sub_location = place.sub_location;
    r.job = rec[1] & 0x0F;
    r.year = kBcd[rec[7]];
    r.month = kBcd[rec[6]];
    r.day = kBcd[rec[5]];
    r.hour_code = rec[4];
    r.minute = kBcd[rec[3]];
    r.pin_temperature = f.pin_temperature;
    r.material = rec[1] >> 4;
    r.mc = f.mc;
    r.rh = f.rh;
    r.temperature = f.temperature;
}

std::size_t read_header(std::span<const std::uint8_t> stream, MeterIdentity& meter,
                        ReadingStore& store, std::uint8_t& job_flags, DecodeReport& report) {
    std::size_t m = 0;
    while (m < stream.size() && stream[m] != 0x00 && stream[m] != 0x01) {
        ++m;
    }
    report.model_name_cut = m >= kModelNameSize;
    meter.set_model(std::string_view(reinterpret_cast<const char*>(stream.data()), m));

    const std::size_t header_length = m + 2 + kJobIdsLength;
    if (stream.size() < header_length) {
        report.trailing_bytes = stream.size() - std::min(stream.size(), m);
        return 0;
    }
    job_flags = stream[m + 1];
    for (std::size_t job = 0; job < kMaxJobs; ++job) {
        const std::uint8_t first = stream[m + 2 + 2 * job];
        const std::uint8_t second = stream[m + 3 + 2 * job];
        store.job_ids[job] = 100 * (second & 0x0F) + bcd(first);
    }
    report.header_complete = true;
    return header_length;
}

constexpr std::size_t kGroupsPerJob = kLocationCount * kSubLocationCount;
constexpr std::size_t kGroupCount = kMaxJobs * kGroupsPerJob;

// Per job: whether the kept readings hold a moisture reading ([0]) and an RH/T reading ([1]).
using KindsHeld = std::array<std::array<bool, 2>, kMaxJobs>;

// The job lists of readings placed in group order: every job holding a reading of the kind, in
// ascending order (as rebuild_job_lists finds them in a grouped array; every kept reading is
// in_tables).
void set_job_lists(const KindsHeld& held, ReadingStore& store) {
    store.mc_jobs.fill(0);
    store.rh_jobs.fill(0);
    store.mc_job_count = 0;
    store.rh_job_count = 0;
    for (std::size_t job = 0; job < kMaxJobs; ++job) {
        if (held[job][0]) {
            store.mc_jobs[static_cast<std::size_t>(store.mc_job_count++)] =
                static_cast<std::int32_t>(job + 1);
        }
        if (held[job][1]) {
            store.rh_jobs[static_cast<std::size_t>(store.rh_job_count++)] =
                static_cast<std::int32_t>(job + 1);
        }
    }
}

// kind_length of every kind byte.
constexpr std::array<std::uint8_t, 256> kRecordLength = [] {
    std::array<std::uint8_t, 256> table{};
    for (std::size_t kind = 0; kind < table.size(); ++kind) {
        table[kind] = static_cast<std::uint8_t>(kind_length(static_cast<std::uint8_t>(kind)));
    }
    return table;
}();

// What the first pass over the records finds.
struct RecordCounts {
    std::size_t end = 0; // just past the last complete record
    std::size_t complete = 0;
    std::size_t bad_job = 0;
    std::size_t bad_location = 0;
    std::int32_t last_day = -1; // of the last complete record; -1 when there is none
};

// First pass: the complete records, the size of every group (sizes[group + 1]) and the kinds
// each job holds.
RecordCounts count_records(std::span<const std::uint8_t> stream, std::size_t offset,
                           const PlaceTable& places, std::vector<std::size_t>& sizes,
                           KindsHeld& held, DecodeReport& report) {
    RecordCounts c;
    std::size_t at = offset;
    std::size_t last = stream.size();
    while (at < stream.size()) {
        const std::size_t length = kRecordLength[stream[at]];
        if (stream.size() - at < length) {
            report.trailing_bytes = stream.size() - at;
            break;
        }
        const int group = place_of(places, stream.data() + at).group;
        if (group >= 0) {
            ++sizes[static_cast<std::size_t>(group) + 1];
            held[static_cast<std::size_t>(group) / kGroupsPerJob][stream[at] == RhTemperature] =
                true;
        } else if (group == -1) {
            ++c.bad_job;
        } else {
            ++c.bad_location;
        }
        ++c.complete;
        last = at;
        at += length;
    }
    c.end = at;
    if (last < stream.size()) {
        c.last_day = bcd(stream[last + 5]);
    }
    return c;
}

// Second pass: each kept reading to its group's next place (next[group]). Records are decoded
// in stream order: a kind's missing fields and the last pin temperature carry over from the
// records before it, kept or not, and start at 0 with every download.
void place_readings(std::span<const std::uint8_t> stream, std::size_t offset, std::size_t end,
                    const PlaceTable& places, std::vector<std::size_t>& next, ReadingStore& store) {
    constexpr std::size_t kWriteAhead = 8;
    Reading* const readings = store.all_readings.data();
    const std::size_t kept = store.all_readings.size();
    KindFields kind_fields;
    for (std::size_t at = offset; at < end; at += kRecordLength[stream[at]]) {
        const std::uint8_t* rec = stream.data() + at;
        take_kind_fields(rec, kind_fields);
        const Place& place = place_of(places, rec);
        if (place.group >= 0) {
            const std::size_t index = next[static_cast<std::size_t>(place.group)]++;
            write_reading(rec, place, kind_fields, readings[index]);
            // Each group fills its places in turn, too many groups at once for the hardware to
            // see the runs: the place a few readings on is fetched for writing now.
            if (index + kWriteAhead < kept) {
                __builtin_prefetch(readings + index + kWriteAhead, 1);
            }
        }
    }
}

// Decodes the records after the header. Each kept reading goes straight to its place in the
// job / location / sub-location grouping (arrival order within a group), so the store needs no
// sort afterwards.
void decode_records(std::span<const std::uint8_t> stream, std::size_t offset,
                    std::uint8_t job_flags, ReadingStore& store, DecodeReport& report,
                    KindsHeld& held) {
    const auto places = std::make_unique<PlaceTable>();
    fill_places(job_flags, *places);
    std::vector<std::size_t> next(kGroupCount + 1, 0);
    const RecordCounts c = count_records(stream, offset, *places, next, held, report);
    report.records_decoded = c.complete;
    // The last complete record must carry a date; a stream ending in an undated record is empty.
    report.last_day_zero = c.last_day == 0;
    if (report.last_day_zero) {
        store.all_readings.clear();
        return;
    }
    report.dropped_bad_job = c.bad_job;
    report.dropped_bad_location = c.bad_location;
    const std::size_t kept = c.complete - c.bad_job - c.bad_location;
    // Every place is written below, so the readings of the last download are not cleared
    // first: their pages are reused as they stand.
    if (store.all_readings.capacity() < kept) {
        make_room_with_large_pages(store.all_readings, kept);
    }
    store.all_readings.resize(kept);
    for (std::size_t g = 1; g <= kGroupCount; ++g) {
        next[g] += next[g - 1];
    }
    place_readings(stream, offset, c.end, *places, next, store);
}

} // namespace

std::size_t record_length(std::uint8_t kind) {
    return kind_length(kind);
}

DecodeReport decode_download(std::span<const std::uint8_t> stream, ReadingStore& store,
                             MeterIdentity& meter, JobRecords& records, Selection& selection) {
    DecodeReport report;
    // Titles and notes belong to the data they were made for.
    store.annotations.clear();
    std::uint8_t job_flags = 0;
    std::size_t offset = read_header(stream, meter, store, job_flags, report);

    KindsHeld held{};
    if (report.header_complete) {
        decode_records(stream, offset, job_flags, store, report, held);
    } else {
        store.all_readings.clear();
    }
    // The scanner flag and the material list follow the model name of every download.
    meter.apply_model_rules();

    report.readings_kept = store.all_readings.size();
    report.no_data = store.all_readings.empty();
    store.no_data = report.no_data ? 1 : 0;

    // Post-download step.
    records.clear();
    selection.current_job_index = 0;
    if (!report.no_data) {
        // The readings stand grouped already; the lists follow from the kinds each job holds.
        set_job_lists(held, store);
        records.seed_after_download();
    }
    return report;
}

} // namespace qm
