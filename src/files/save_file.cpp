#include "files/save_file.h"

#include "files/regular_file.h"
#include "store/job_index.h"
#include "store/lookup_tables.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace qm {

namespace {

// Little-endian writer and reader over byte buffers.
void put_i32(std::vector<std::uint8_t>& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(u >> shift));
    }
}

void put_f64(std::vector<std::uint8_t>& out, double v) {
    const auto u = std::bit_cast<std::uint64_t>(v);
    for (int shift = 0; shift < 64; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(u >> shift));
    }
}

std::int32_t get_i32(const std::uint8_t* p) {
    std::uint32_t u = 0;
    for (int i = 3; i >= 0; --i) {
        u = (u << 8) | p[i];
    }
    return static_cast<std::int32_t>(u);
}

double get_f64(const std::uint8_t* p) {
    std::uint64_t u = 0;
    for (int i = 7; i >= 0; --i) {
        u = (u << 8) | p[i];
    }
    return std::bit_cast<double>(u);
}

bool magic_is(const SaveFileHeader& header, std::string_view magic) {
    const std::size_t length = strnlen(header.magic.data(), header.magic.size());
    return std::string_view(header.magic.data(), length) == magic;
}

LoadResult refuse(LoadStatus status, UserInterface& ui) {
    ui.message_box(status == LoadStatus::OldVersion ? kOldVersionMessage : kNotValidMessage,
                   kLoadErrorCaption, MessageIcon::None);
    return LoadResult{status, 0, {}};
}

LoadResult open_failure(int error, UserInterface& ui) {
    ui.message_box(file_error_text(error), kOpenErrorCaption, MessageIcon::Information);
    return LoadResult{LoadStatus::OpenFailed, error, {}};
}

// What a file's first bytes (up to the count N) and its size say: refused, or its header and N.
struct Opening {
    std::optional<LoadStatus> refused;
    SaveFileHeader header;
    std::size_t count = 0;
};

Opening open_save(std::span<const std::uint8_t> start, std::uint64_t file_size) {
    // The magic decides first, so an older file gets its own message even when cut short.
    Opening o;
    if (start.size() < kSaveMagicOffset + kSaveMagicSize) {
        o.refused = LoadStatus::NotValid;
        return o;
    }
    std::memcpy(o.header.magic.data(), start.data() + kSaveMagicOffset, kSaveMagicSize);
    if (!magic_is(o.header, kSaveMagic)) {
        o.refused =
            magic_is(o.header, kOldSaveMagic) ? LoadStatus::OldVersion : LoadStatus::NotValid;
        return o;
    }
    if (start.size() < kSavedReadingsOffset || file_size < kSavedReadingsOffset) {
        o.refused = LoadStatus::NotValid;
        return o;
    }
    o.header = decode_save_header(start.first<kSaveHeaderSize>());
    const std::int32_t n = get_i32(start.data() + kJobBlockOffset);
    const std::uint64_t room = (file_size - kSavedReadingsOffset) / kSavedReadingSize;
    if (o.header.selected_count < 0 || o.header.selected_count > kMaxSavedSelection || n < 0 ||
        static_cast<std::uint64_t>(n) > room) {
        o.refused = LoadStatus::NotValid;
        return o;
    }
    o.count = static_cast<std::size_t>(n);
    return o;
}

// Readings a spare array may hold beyond twice a load's count and still be reused.
constexpr std::size_t kSpareSlack = 4096;

// The eleven int32 fields of a record, kind .. material, lie as in a Reading; the three doubles
// follow them in the record and start at mc in a Reading.
constexpr std::size_t kSavedWholeBytes = 44;
static_assert(sizeof(Reading) == kSavedReadingSize + 4 && offsetof(Reading, kind) == 0 &&
              offsetof(Reading, material) == 40 &&
              offsetof(Reading, rh) == offsetof(Reading, mc) + 8 &&
              offsetof(Reading, temperature) == offsetof(Reading, mc) + 16);

// Decodes `count` records over the readings given, following them with the job lists. Values the
// tables cannot name are kept as they stand (the format can hold them); no job list,
// working set or walk of the store reaches such a reading.
void decode_records(const std::uint8_t* records, std::size_t count, Reading* readings,
                    JobListsInOrder& lists) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* record = records + i * kSavedReadingSize;
        Reading& r = readings[i];
        if constexpr (std::endian::native == std::endian::little) {
            // The record is the reading's own bytes without the padding before mc.
            auto* bytes = reinterpret_cast<unsigned char*>(&r);
            std::memcpy(bytes, record, kSavedWholeBytes);
            std::memcpy(bytes + offsetof(Reading, mc), record + kSavedWholeBytes,
                        kSavedReadingSize - kSavedWholeBytes);
        } else {
            r = decode_saved_reading(
                std::span<const std::uint8_t, kSavedReadingSize>(record, kSavedReadingSize));
        }
        lists.add(r);
    }
}

// Gives back a spare array much larger than `count` readings need, so that a small file never
// holds a large array; one of a like size stays as room to reuse.
void keep_spare_only_if_alike(std::vector<Reading>& spare, std::size_t count) {
    if (spare.capacity() > 2 * count + kSpareSlack) {
        std::vector<Reading>().swap(spare);
    }
}

// The spare array sized for a load of `count` readings.
std::vector<Reading>& spare_for(ReadingStore& store, std::size_t count) {
    keep_spare_only_if_alike(store.spare_readings, count);
    store.spare_readings.resize(count);
    return store.spare_readings;
}

// Takes an accepted file into the store: its readings (decoded into spare_readings), the meter
// name from its first bytes, and the notes block among the bytes after the last record.
LoadResult accept(const Opening& o, std::span<const std::uint8_t> start,
                  const JobListsInOrder& lists, std::span<const std::uint8_t> after_records,
                  ReadingStore& store, MeterIdentity& meter) {
    DecodedAnnotations notes = decode_annotation_block(after_records);
    char model[kModelNameSize];
    std::memcpy(model, start.data() + kSaveMeterNameOffset, kModelNameSize);
    // The name must stay a terminated text for everyone who prints it.
    if (std::memchr(model, 0, kModelNameSize) == nullptr) {
        model[kModelNameSize - 1] = '\0';
    }

    const SaveFileHeader& header = o.header;
    store.job_ids = header.job_ids;
    std::memcpy(meter.model_name, model, kModelNameSize);
    meter.active_materials = meter.model() == kSecondListModel ? kSecondMaterials : kFirstMaterials;
    meter.not_scanner = header.not_scanner;
    store.all_readings.swap(store.spare_readings);
    // The readings replaced stay as room for the next load only while they are of a like size.
    keep_spare_only_if_alike(store.spare_readings, store.all_readings.size());
    store.annotations = std::move(notes.annotations);
    if (lists.grouped()) {
        lists.set_lists(store);
    } else {
        rebuild_job_lists(store);
    }

    const std::uint64_t records_end = kSavedReadingsOffset + o.count * kSavedReadingSize;
    LoadResult result{LoadStatus::Accepted, 0, {}, notes.status, records_end};
    RestoredSession& s = result.session;
    s.save_mode = static_cast<SaveMode>(header.save_mode);
    s.filter = header.filter;
    s.selected_count = header.selected_count;
    std::copy_n(header.selected_jobs.begin(), header.selected_count, s.selected_jobs.begin());
    // The managed kind follows what the file holds; both kinds start at the data-kind page.
    s.management_type = store.rh_job_count > 0   ? ManagedKind::Rh
                        : store.mc_job_count > 0 ? ManagedKind::Mc
                                                 : static_cast<ManagedKind>(header.management_type);
    s.bothKinds = store.rh_job_count > 0 && store.mc_job_count > 0;
    s.step = s.bothKinds ? WizardStep::ManagementType : static_cast<WizardStep>(header.step);
    return result;
}

} // namespace

void encode_save_header(const SaveFileHeader& header, std::vector<std::uint8_t>& out) {
    put_i32(out, header.save_mode);
    put_i32(out, header.management_type);
    put_i32(out, header.step);
    put_i32(out, header.filter);
    out.insert(out.end(), header.magic.begin(), header.magic.end());
    for (const std::int32_t job : header.selected_jobs) {
        put_i32(out, job);
    }
    put_i32(out, header.selected_count);
    put_i32(out, header.not_scanner);
    for (const std::int32_t id : header.job_ids) {
        put_i32(out, id);
    }
}

SaveFileHeader decode_save_header(std::span<const std::uint8_t, kSaveHeaderSize> bytes) {
    SaveFileHeader h;
    const std::uint8_t* p = bytes.data();
    h.save_mode = get_i32(p + 0);
    h.management_type = get_i32(p + 4);
    h.step = get_i32(p + 8);
    h.filter = get_i32(p + 12);
    std::memcpy(h.magic.data(), p + kSaveMagicOffset, kSaveMagicSize);
    for (std::size_t i = 0; i < h.selected_jobs.size(); ++i) {
        h.selected_jobs[i] = get_i32(p + 36 + 4 * i);
    }
    h.selected_count = get_i32(p + 1060);
    h.not_scanner = get_i32(p + 1064);
    for (std::size_t i = 0; i < h.job_ids.size(); ++i) {
        h.job_ids[i] = get_i32(p + 1068 + 4 * i);
    }
    return h;
}

void encode_saved_reading(const SavedReading& r, std::vector<std::uint8_t>& out) {
    put_i32(out, r.kind);
    put_i32(out, r.location);
    put_i32(out, r.sub_location);
    put_i32(out, r.job);
    put_i32(out, r.year);
    put_i32(out, r.month);
    put_i32(out, r.day);
    put_i32(out, r.hour_code);
    put_i32(out, r.minute);
    put_i32(out, r.pin_temperature);
    put_i32(out, r.material);
    put_f64(out, r.mc);
    put_f64(out, r.rh);
    put_f64(out, r.temperature);
}

SavedReading decode_saved_reading(std::span<const std::uint8_t, kSavedReadingSize> bytes) {
    const std::uint8_t* p = bytes.data();
    constexpr std::size_t kWholeFields = 11;
    constexpr std::size_t kRealFields = 3;
    static_assert(kWholeFields * 4 + kRealFields * 8 == kSavedReadingSize);
    std::int32_t whole[kWholeFields];
    double real[kRealFields];
    if constexpr (std::endian::native == std::endian::little) {
        // The file is little-endian: the fields are the host's own bytes.
        std::memcpy(whole, p, sizeof whole);
        std::memcpy(real, p + sizeof whole, sizeof real);
    } else {
        for (std::size_t i = 0; i < kWholeFields; ++i) {
            whole[i] = get_i32(p + 4 * i);
        }
        for (std::size_t i = 0; i < kRealFields; ++i) {
            real[i] = get_f64(p + sizeof whole + 8 * i);
        }
    }
    SavedReading r;
    r.kind = whole[0];
    r.location = whole[1];
    r.sub_location = whole[2];
    r.job = whole[3];
    r.year = whole[4];
    r.month = whole[5];
    r.day = whole[6];
    r.hour_code = whole[7];
    r.minute = whole[8];
    r.pin_temperature = whole[9];
    r.material = whole[10];
    r.mc = real[0];
    r.rh = real[1];
    r.temperature = real[2];
    return r;
}

SaveFileHeader make_save_header(const WizardState& wizard, const Selection& selection,
                                const MeterIdentity& meter, const ReadingStore& store) {
    SaveFileHeader h;
    h.save_mode = static_cast<std::int32_t>(selection.save_mode);
    h.management_type = static_cast<std::int32_t>(wizard.management_type);
    // Saves are made from a job list or the readings view.
    h.step = static_cast<std::int32_t>(kSavedStep);
    h.filter = wizard.filter;
    std::copy(kSaveMagic.begin(), kSaveMagic.end(), h.magic.begin());
    // A count the loader would refuse is never written.
    h.selected_count = std::clamp(selection.selected_count, 0, kMaxSavedSelection);
    std::copy_n(selection.selected_jobs.begin(), h.selected_count, h.selected_jobs.begin());
    h.not_scanner = meter.not_scanner;
    h.job_ids = store.job_ids;
    return h;
}

int encode_save_in_pieces(const SaveFileHeader& header, const MeterIdentity& meter,
                          const std::vector<Reading>& all_readings, std::int32_t job,
                          const JobAnnotations& annotations, const ByteWriter& write) {
    constexpr std::size_t kPieceSize = 64 * 1024;
    const auto n = std::count_if(all_readings.begin(), all_readings.end(),
                                 [job](const Reading& r) { return r.job == job; });
    std::vector<std::uint8_t> piece;
    piece.reserve(kPieceSize + kSavedReadingsOffset);
    encode_save_header(header, piece);
    piece.insert(piece.end(), meter.model_name, meter.model_name + kModelNameSize);
    put_i32(piece, static_cast<std::int32_t>(n));
    for (const Reading& r : all_readings) {
        if (r.job != job) {
            continue;
        }
        encode_saved_reading(r, piece);
        if (piece.size() >= kPieceSize) {
            if (const int error = write(piece); error != 0) {
                return error;
            }
            piece.clear();
        }
    }
    const std::int32_t jobs[] = {job};
    const std::vector<std::uint8_t> notes = encode_annotation_block(annotations, jobs);
    piece.insert(piece.end(), notes.begin(), notes.end());
    return write(piece);
}

std::vector<std::uint8_t> encode_save(const SaveFileHeader& header, const MeterIdentity& meter,
                                      const std::vector<Reading>& all_readings, std::int32_t job,
                                      const JobAnnotations& annotations) {
    std::vector<std::uint8_t> out;
    encode_save_in_pieces(header, meter, all_readings, job, annotations,
                          [&out](std::span<const std::uint8_t> piece) {
                              out.insert(out.end(), piece.begin(), piece.end());
                              return 0;
                          });
    return out;
}

LoadResult load_save(std::span<const std::uint8_t> bytes, ReadingStore& store, MeterIdentity& meter,
                     UserInterface& ui) {
    const auto start = bytes.first(std::min(bytes.size(), kSavedReadingsOffset));
    const Opening o = open_save(start, bytes.size());
    if (o.refused) {
        return refuse(*o.refused, ui);
    }
    // Everything is read into the spare array; the store changes only once the file is accepted.
    std::vector<Reading>& readings = spare_for(store, o.count);
    JobListsInOrder lists;
    decode_records(bytes.data() + kSavedReadingsOffset, o.count, readings.data(), lists);
    return accept(o, start, lists,
                  bytes.subspan(kSavedReadingsOffset + o.count * kSavedReadingSize), store, meter);
}

LoadResult load_save(const std::string& path, ReadingStore& store, MeterIdentity& meter,
                     UserInterface& ui) {
    RegularFile file;
    int error = file.open(path);
    std::vector<std::uint8_t> start;
    if (error == 0) {
        error = file.read_at(0, std::min<std::uint64_t>(file.size(), kSavedReadingsOffset), start);
    }
    if (error != 0) {
        return open_failure(error, ui);
    }
    // A file too short for its N records is refused on its first bytes alone.
    const Opening o = open_save(start, file.size());
    if (o.refused) {
        return refuse(*o.refused, ui);
    }
    // The records in chunks that stay in the cache, decoded straight into the spare array.
    std::vector<Reading>& readings = spare_for(store, o.count);
    JobListsInOrder lists;
    const auto chunk = std::make_unique_for_overwrite<std::uint8_t[]>(
        std::min(o.count, kLoadChunkRecords) * kSavedReadingSize);
    for (std::size_t done = 0; done < o.count;) {
        const std::size_t count = std::min(o.count - done, kLoadChunkRecords);
        std::size_t got = 0;
        error = file.read_into(kSavedReadingsOffset + done * kSavedReadingSize,
                               {chunk.get(), count * kSavedReadingSize}, got);
        if (error != 0 || got != count * kSavedReadingSize) {
            // A file that shrank since it was opened holds fewer records than it says.
            return error != 0 ? open_failure(error, ui) : refuse(LoadStatus::NotValid, ui);
        }
        decode_records(chunk.get(), count, readings.data() + done, lists);
        done += count;
    }
    // Then the notes block, read no further than the largest one there can be. Nothing past it
    // is read, however large the file.
    const std::uint64_t end = kSavedReadingsOffset + o.count * kSavedReadingSize;
    std::vector<std::uint8_t> after;
    if (end < file.size()) {
        error = file.read_at(
            end, static_cast<std::size_t>(std::min(file.size() - end, kMaxAnnotationBlockSize)),
            after);
        if (error != 0) {
            readings.clear();
            return open_failure(error, ui);
        }
    }
    return accept(o, start, lists, after, store, meter);
}

void apply_restored_session(const RestoredSession& session, WizardState& wizard,
                            Selection& selection) {
    wizard.step = session.step;
    wizard.management_type = session.management_type;
    wizard.filter = session.filter;
    wizard.bothKinds = session.bothKinds;
    wizard.fromFile = true;
    selection.save_mode = session.save_mode;
    selection.selected_count = session.selected_count;
    std::copy_n(session.selected_jobs.begin(), session.selected_count,
                selection.selected_jobs.begin());
}

} // namespace qm
