#pragma once

// A visit's bytes into the store and back: what `qmtool archive add` keeps, and what Open of a
// visit brings into the program.

#include "archive/visit_archive.h"
#include "files/save_file.h"
#include "store/job_records.h"
#include "store/session_state.h"
#include "store/user_interface.h"

#include <span>
#include <string>

namespace qm {

// Whether bytes are a ".qmk" file (its magic, of either version) rather than a download stream.
bool is_save_file(std::span<const std::uint8_t> bytes);

// What a source's bytes decode or load to.
struct DecodedSource {
    bool ok = false;
    std::string error; // why a ".qmk" was refused
    VisitSource kind = VisitSource::Download;
    RestoredSession session; // of a ".qmk"
};

// Decodes a download stream, or loads a ".qmk", into the given store and meter.
DecodedSource decode_source(std::span<const std::uint8_t> bytes, ReadingStore& store,
                            MeterIdentity& meter, JobRecords& records, Selection& selection);

// Keeps the bytes of a download stream or of a ".qmk" as a visit, decoding them on the side.
AddVisitResult archive_source(VisitArchive& archive, std::span<const std::uint8_t> bytes,
                              const ReceivedTime& received);

// Brings visit `id` into the store as the download or the loaded file it was, with the titles
// and notes the archive holds. Nothing changes when it fails (error says why).
DecodedSource open_visit(VisitArchive& archive, std::int64_t id, ReadingStore& store,
                         MeterIdentity& meter, JobRecords& records, Selection& selection);

} // namespace qm
