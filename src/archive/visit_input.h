#pragma once

// The checks a visit passes before the archive stores it, whatever way it came in: a download, a
// file opened, `qmtool archive add`, a project file's import or a pull from the team server.

#include "archive/visit_archive.h"
#include "store/reading_store.h"
#include "store/result.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qm {

// The most source bytes a visit holds: as much as a download stream file may (qmtool's cap).
constexpr std::size_t kMaxVisitBytes = std::size_t{64} << 20;
// Received times from 1970-01-01 up to 2100-01-01 UTC; a clock outside them is not believed.
constexpr std::int64_t kLatestReceivedUtc = 4102444800;
// The widest offset from UTC a place has (ISO 8601 allows no more).
constexpr std::int32_t kMaxUtcOffsetSeconds = 18 * 3600;

// A visit as it comes in.
struct VisitInput {
    std::span<const std::uint8_t> source; // the bytes as received
    ReceivedTime received;
    // What the bytes decode or load to; null to check the bytes and the time alone, before
    // they are decoded.
    const ReadingStore* store = nullptr;
};

// Done, or why the visit is not stored: source bytes over kMaxVisitBytes, a received time or
// offset out of range, bytes that hold no readings (no download stream or ".qmk"), or a job's
// title or notes that check_job_texts refuses. The reason reads after "not kept: ".
Status check_visit_input(const VisitInput& input);

// Done, or why a visit of `bytes` source bytes is not stored (more than kMaxVisitBytes): the
// first check of check_visit_input, for bytes not fetched yet.
Status check_source_size(std::uint64_t bytes);

// Done, or why a job's title or notes are not stored: a title over 259 bytes or with a control
// character, notes over 999 bytes or with a control character other than CR, LF and tab.
Status check_job_texts(std::string_view title, std::string_view notes);

} // namespace qm
