#pragma once

#include "store/job_records.h"
#include "store/meter_identity.h"
#include "store/reading_store.h"
#include "store/session_state.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace qm {

// What one decoding did, so callers can tell the user why readings are missing.
struct DecodeReport {
    std::size_t records_decoded = 0;      // complete records read from the stream
    std::size_t readings_kept = 0;        // readings now in all_readings
    std::size_t dropped_bad_job = 0;      // job number outside 1..5
    std::size_t dropped_bad_location = 0; // location above 63
    std::size_t trailing_bytes = 0;       // bytes of an incomplete last record (or header)
    bool header_complete = false;
    bool model_name_cut = false; // model text of 20 bytes or more, cut to 19
    bool last_day_zero = false;  // the last complete record had day 0: the stream counts as empty
    bool no_data = true;
};

// Bytes of a record of the given kind, including the 8-byte common part.
std::size_t record_length(std::uint8_t kind);

// 10 x high nibble + low nibble, used as they come (no digit check).
constexpr std::int32_t bcd(std::uint8_t b) {
    return 10 * (b >> 4) + (b & 0x0F);
}

// Decodes a download stream (the joined data bytes of the base unit's packets): sets the meter
// identity and job IDs, replaces all_readings (clearing every title and note) and rebuilds the
// job lists, then runs the
// post-download step (job records zeroed, current job 0, first MC slot seeded when there is
// data). working_set is not touched. Never reads outside the stream.
DecodeReport decode_download(std::span<const std::uint8_t> stream, ReadingStore& store,
                             MeterIdentity& meter, JobRecords& records, Selection& selection);

} // namespace qm
