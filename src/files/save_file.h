#pragma once

#include "files/annotation_block.h"
#include "files/regular_file.h"
#include "store/meter_identity.h"
#include "store/reading.h"
#include "store/reading_store.h"
#include "store/session_state.h"
#include "store/user_interface.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// A ".qmk" save file: SaveFileHeader (1088 bytes), the meter name (20 bytes), one JobBlock (a
// count N and N records of 68 bytes). Integers are 32-bit little-endian, doubles IEEE 754
// little-endian. When the job has a title or notes, the notes block (annotation_block.h) follows
// the last record; otherwise nothing does.
constexpr std::size_t kSaveHeaderSize = 1088;
constexpr std::size_t kSaveMagicOffset = 16;
constexpr std::size_t kSaveMagicSize = 20;
constexpr std::size_t kSaveMeterNameOffset = 1088;
constexpr std::size_t kJobBlockOffset = 1108;
constexpr std::size_t kSavedReadingsOffset = 1112;
constexpr std::size_t kSavedReadingSize = 68;
constexpr std::int32_t kMaxSavedSelection = 255;

constexpr std::string_view kSaveMagic = "Quellmark1.1";
constexpr std::string_view kOldSaveMagic = "Quellmark1.0";

constexpr std::string_view kOldVersionMessage =
    "This file was saved with an older version of the application program and is not "
    "compatible with this version!";
constexpr std::string_view kNotValidMessage = "This is not a valid Quellmark File!!";
constexpr std::string_view kLoadErrorCaption = "Error!";
constexpr std::string_view kOpenErrorCaption = "Error";

// The wizard step every save records.
constexpr WizardStep kSavedStep = WizardStep::ChosenJobList;

struct SaveFileHeader {
    std::int32_t save_mode = 0;       // SaveMode code
    std::int32_t management_type = 0; // 1 MC, 0 RH/T (written as the wizard holds it)
    std::int32_t step = static_cast<std::int32_t>(kSavedStep);
    std::int32_t filter = 0;
    std::array<char, kSaveMagicSize> magic{}; // "Quellmark1.1", zero-filled
    std::array<std::int32_t, kMaxSelected> selected_jobs{};
    std::int32_t selected_count = 0;
    std::int32_t not_scanner = 0;
    std::array<std::int32_t, kMaxJobs> job_ids{};
};

// One 68-byte record holds the fields of a Reading in declaration order: eleven int32 (kind ..
// material), then mc, rh, temperature as doubles. Fields a kind does not carry are kept too.
using SavedReading = Reading;

struct JobBlock {
    std::vector<SavedReading> readings; // N is readings.size()
};

// Field-by-field encoding and decoding. The decoders expect at least the encoded size.
void encode_save_header(const SaveFileHeader& header, std::vector<std::uint8_t>& out);
SaveFileHeader decode_save_header(std::span<const std::uint8_t, kSaveHeaderSize> bytes);
void encode_saved_reading(const SavedReading& reading, std::vector<std::uint8_t>& out);
SavedReading decode_saved_reading(std::span<const std::uint8_t, kSavedReadingSize> bytes);

// The header a save writes: wizard and selection values (the step is always 4), meter flag, job
// IDs and the magic. Only the first selected_count entries of selected_jobs are copied; the rest
// stays zero.
SaveFileHeader make_save_header(const WizardState& wizard, const Selection& selection,
                                const MeterIdentity& meter, const ReadingStore& store);

// The complete bytes of one save file for job number `job`: header, meter name buffer as held
// in memory, then every reading of that job in all_readings order, whatever its kind, then the
// notes block of the job's titles and notes (none when it has neither).
std::vector<std::uint8_t> encode_save(const SaveFileHeader& header, const MeterIdentity& meter,
                                      const std::vector<Reading>& all_readings, std::int32_t job,
                                      const JobAnnotations& annotations);

// The same bytes handed to write in pieces of at most about 64 KB. Returns 0 or the first error
// write returned (nothing more is written after it).
int encode_save_in_pieces(const SaveFileHeader& header, const MeterIdentity& meter,
                          const std::vector<Reading>& all_readings, std::int32_t job,
                          const JobAnnotations& annotations, const ByteWriter& write);

// The name of a further file of a multi-job save: the ID, as three digits, replaces the three
// characters before the last four of the file-name part when that part has seven characters
// or more; otherwise it is inserted before the extension (appended when there is none). The
// directory part is never changed. IDs outside 0..999 contribute their last three digits.
std::string multi_save_name(const std::string& first_path, std::int32_t job_id);

struct SaveResult {
    struct Failed {
        std::string path;
        int error = 0; // errno, or kNotRegularFile
    };
    bool ok = false;                  // the first file is in place
    int error = 0;                    // error of the first file when !ok (regular_file.h)
    std::vector<std::string> written; // every file in place, in the order written
    std::vector<Failed> skipped;      // further files of a multi-job save that failed
    // The job number of each file in `written`.
    std::vector<std::int32_t> written_jobs;
};

// Writes the save for the current wizard, selection, meter and store: for SaveMode::OneJob one
// file for the job at current_job_index; otherwise one file per selected job, the first to
// `path`, the others to multi_save_name(path, ID). Positions name entries of the managed kind's
// job list (job_at_slot). A multi-job save with an empty selection saves the current job, so the
// named file never ends up empty. Changes no state. When
// the first file fails nothing is written and the caller shows the access message; a further file
// that fails is skipped and the save goes on.
SaveResult write_save(const std::string& path, const WizardState& wizard,
                      const Selection& selection, const MeterIdentity& meter,
                      const ReadingStore& store);

// The wizard and selection values a loaded file restores, for the shell to apply.
struct RestoredSession {
    SaveMode save_mode = SaveMode::OneJob;
    ManagedKind management_type = ManagedKind::Rh; // RH/T when the file holds RH/T readings
    WizardStep step = kSavedStep;                  // the start page's when it holds both kinds
    std::int32_t filter = 0;
    bool bothKinds = false;
    std::array<std::int32_t, kMaxSelected> selected_jobs{}; // valid up to selected_count
    std::int32_t selected_count = 0;
};

enum class LoadStatus {
    Accepted,
    OpenFailed, // the file could not be opened or read (message: the system's error text)
    OldVersion, // magic "Quellmark1.0"
    NotValid,   // any other magic, or a file whose structure or readings are damaged
};

struct LoadResult {
    LoadStatus status = LoadStatus::NotValid;
    int error = 0;           // errno or kNotRegularFile when OpenFailed
    RestoredSession session; // meaningful when accepted
    // What followed the last record of an accepted file.
    AnnotationBlockStatus annotations = AnnotationBlockStatus::Absent;
    std::uint64_t records_end = 0; // offset of the byte after the last record, when accepted
    bool accepted() const { return status == LoadStatus::Accepted; }
    // The file was read but refused (the file command reports this as 1).
    bool rejected() const {
        return status == LoadStatus::OldVersion || status == LoadStatus::NotValid;
    }
};

// Loads a save file: on success replaces all_readings (then rebuild_job_lists), job_ids,
// model_name, not_scanner, active_materials and the titles and notes (those of a valid notes
// block after the last record, else none), and returns the session values to restore.
// Any failure shows its message through `ui` ("Error!" caption for a refused file, the
// system's error text with caption "Error" when the file can't be read) and changes nothing.
// A file is refused when its magic differs, when it ends inside the header or the meter name,
// when selected_count is outside 0..255, or when N is negative or more than the rest of the file
// holds (a file cut inside a record). Readings with values the tables cannot name (a job
// outside 1..5, a location outside 0..63, a sub-location outside 0..2, a material outside 0..15)
// are kept and saved back as they are; the store's walks pass them by. Any other bytes after the
// last record, a damaged notes block among them, are ignored and never refuse the file. The path
// form reads only a regular file (kNotRegularFile for a device, FIFO or socket, EISDIR for a
// directory, as OpenFailed) and only up to the Nth record and the largest notes block after it.
LoadResult load_save(std::span<const std::uint8_t> bytes, ReadingStore& store, MeterIdentity& meter,
                     UserInterface& ui);
LoadResult load_save(const std::string& path, ReadingStore& store, MeterIdentity& meter,
                     UserInterface& ui);

// Applies the values of an accepted load to the wizard and selection and sets fromFile. Entries
// of selected_jobs from selected_count on keep their values.
void apply_restored_session(const RestoredSession& session, WizardState& wizard,
                            Selection& selection);

} // namespace qm
