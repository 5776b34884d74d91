#pragma once

#include "store/annotations.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace qm {

// The notes block of a ".qmk" file: the titles and notes of the file's job, right after its last
// record, where a reader of the plain format never looks. Little-endian:
//   "QMNOTES1" (8 bytes), entry count (uint32), then per entry: kind (uint8, 1 MC, 0 RH/T), job
//   number (int32, 1..5), title length (uint16, 0..259) and the title bytes, notes length
//   (uint16, 0..999) and the notes bytes (CR LF line breaks); then the CRC-32 of every byte from
//   the magic through the last entry (uint32).
// There is at most one entry per kind and job, so a block holds at most ten.
constexpr std::string_view kAnnotationMagic = "QMNOTES1";
constexpr std::size_t kMaxAnnotationEntries = 2 * kMaxJobs;
constexpr std::size_t kAnnotationEntryFixedSize = 1 + 4 + 2 + 2;
constexpr std::size_t kMaxAnnotationBlockSize =
    kAnnotationMagic.size() + 4 +
    kMaxAnnotationEntries * (kAnnotationEntryFixedSize + kMaxTitleLength + kMaxNotesLength) + 4;

// The IEEE CRC-32 of zlib's crc32() and of Ethernet: reflected polynomial 0xEDB88320, initial
// value and final XOR 0xFFFFFFFF. "123456789" gives 0xCBF43926.
std::uint32_t crc32(std::span<const std::uint8_t> bytes);

// The block for the jobs a file holds (distinct job numbers): an entry for each kind of each job
// that has a title or notes, in the order of `jobs`, MC before RH/T. Empty, so the file stays in
// the plain format, when none of them has either.
std::vector<std::uint8_t> encode_annotation_block(const JobAnnotations& annotations,
                                                  std::span<const std::int32_t> jobs);

// What follows the last record of a file.
enum class AnnotationBlockStatus {
    Absent,  // nothing, or bytes that do not begin with the magic
    Valid,   // a block whose CRC matches and whose every field is in range
    Damaged, // begins with the magic but is cut short, fails its CRC or holds a value out of range
};

struct DecodedAnnotations {
    AnnotationBlockStatus status = AnnotationBlockStatus::Absent;
    JobAnnotations annotations; // the block's texts when Valid, else empty
    std::size_t size = 0;       // bytes of the block when Valid (anything after it is ignored)
};

// Reads the block at the start of `bytes` (the bytes after the last record). Never reads outside
// them. A block with two entries for the same kind and job is damaged.
DecodedAnnotations decode_annotation_block(std::span<const std::uint8_t> bytes);

} // namespace qm
