#pragma once

#include "store/reading.h"
#include "store/session_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qm {

constexpr std::size_t kTitleSize = 260;
constexpr std::size_t kNotesSize = 1000;
constexpr std::size_t kMaxTitleLength = kTitleSize - 1; // 259
constexpr std::size_t kMaxNotesLength = kNotesSize - 1; // 999

// The records a title and notes belong to, with the codes of the managed kind (and of the notes
// block of a save file).
enum class RecordKind : std::uint8_t {
    Rh = 0,
    Mc = 1,
};

// The records of a managed kind: nothing for both kinds or any other value.
std::optional<RecordKind> record_kind(ManagedKind kind);

// "mc" or "rh": the kind's name in the archive, in project files and in qmtool's output.
std::string_view record_kind_name(RecordKind kind);
// The kind of such a name; nothing for any other text.
std::optional<RecordKind> parse_record_kind(std::string_view name);

// The titles and notes of the loaded data, kept by kind and job number (1..5), so a job keeps
// them whatever job list is built over the data. A download or a loaded file replaces them.
// Texts are Windows-1252 without NUL; a title is at most 259 bytes, notes at most 999 with their
// line breaks as CR LF (the fixed fields of the job records and the save file).
class JobAnnotations {
public:
    // The stored text; empty for a job without one and for a job number outside 1..5.
    const std::string& title(RecordKind kind, std::int32_t job) const;
    const std::string& notes(RecordKind kind, std::int32_t job) const;

    // Store a text: a title cut at a NUL and to 259 bytes, with every other control character
    // (a tab, a line break) made a space, so that it stays one line whatever window or file it
    // came from; notes as stored_notes() makes them. False, storing nothing, for a job number
    // outside 1..5.
    bool set_title(RecordKind kind, std::int32_t job, std::string_view text);
    bool set_notes(RecordKind kind, std::int32_t job, std::string_view text);

    // Whether the job has a title or notes of that kind.
    bool has_any(RecordKind kind, std::int32_t job) const;
    // Whether no job has a title or notes.
    bool empty() const;
    void clear();

    bool operator==(const JobAnnotations&) const = default;

private:
    struct Texts {
        std::string title;
        std::string notes;
        bool operator==(const Texts&) const = default;
    };
    static std::optional<std::size_t> index_of(RecordKind kind, std::int32_t job);
    std::array<Texts, 2 * kMaxJobs> texts_;
};

// The notes as the desktop and a terminal show them: CR LF (and a lone CR) as "\n".
std::string notes_with_newlines(std::string_view notes);

// Whether a text may stand as a title as it is: no control character (bytes below 0x20, 0x7F).
bool title_text_clean(std::string_view text);
// Whether a text may stand as notes as it is: no control character but CR, LF and tab.
bool notes_text_clean(std::string_view text);

// Notes as they are stored: cut at a NUL, line breaks as CR LF (a lone CR or LF counts as one),
// control characters other than line breaks and tabs made spaces, cut to 999 bytes but never
// between CR and LF.
std::string stored_notes(std::string_view text);

// The bytes the notes take when stored: each "\n" (not after a CR) becomes CR LF.
std::size_t stored_notes_length(std::string_view notes);

} // namespace qm
