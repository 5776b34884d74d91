#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qm {

// "qm.dat": the user's options, one fixed 536-byte record, kept in the folder that was current
// when the application started.
constexpr std::string_view kSettingsFileName = "qm.dat";
constexpr std::size_t kSettingsFileSize = 536;
constexpr std::size_t kSettingsPathSize = 260;

// Folder written into a new settings file. Nothing opens it: file dialogs fall back to the
// user's home folder when initial_folder does not exist.
constexpr std::string_view kDefaultInitialFolder = "C:\\Windows\\Desktop\\";

// print_parts bits: what a batch print of the selected jobs produces.
constexpr std::int32_t kPrintSummary = 1;
constexpr std::int32_t kPrintReadings = 2;
constexpr std::int32_t kPrintHistogram = 4;
constexpr std::int32_t kPrintAllParts = kPrintSummary | kPrintReadings | kPrintHistogram;

// The in-memory copy of "qm.dat". Texts are NUL-terminated inside their fields.
struct SettingsRecord {
    std::int32_t remember_filename = 0; // nonzero: propose and record last_file_name
    std::int32_t celsius = 0;           // nonzero: degrees C and GPK; zero: degrees F and GPP
    std::int32_t print_parts = 0;       // kPrint* bits
    char initial_folder[kSettingsPathSize] = {};
    char last_file_name[kSettingsPathSize] = {};
    std::int32_t international_date = 0; // nonzero: day first; zero: month first

    friend bool operator==(const SettingsRecord&, const SettingsRecord&) = default;
};

// The text of a path field (up to its terminator, at most 259 bytes).
std::string_view settings_text(const char (&field)[kSettingsPathSize]);
// Stores text in a path field with the rest zeroed. A text of 260 bytes or more does not fit:
// the field is left as it was and the result is false.
bool set_settings_text(char (&field)[kSettingsPathSize], std::string_view text);

using SettingsBytes = std::array<std::uint8_t, kSettingsFileSize>;

// The file's bytes: 32-bit little-endian integers and the two text fields at offsets 0, 4, 8,
// 12, 272 and 532.
SettingsBytes encode_settings(const SettingsRecord& record);

// Lays the first (up to 536) bytes over the record: bytes that are not supplied keep the
// record's values. A text field without a terminator keeps its first 259 bytes.
void decode_settings(std::span<const std::uint8_t> bytes, SettingsRecord& record);

enum class SettingsStatus {
    Ok = 0,
    NotOpened,  // the file cannot be opened or created (or is not a regular file)
    InUse,      // another process held the file for longer than a second
    NotRead,    // reading failed
    NotWritten, // writing failed or did not reach the disk
    ReadOnly,   // the file exists but may not be written (its permissions, a read-only disk)
};

// Path of "qm.dat" in the start-up folder (the current directory when the folder is empty).
std::string settings_path(const std::string& startup_folder);

// Reads "qm.dat" over the record, creating an empty file when there is none; a file that may
// not be written is still read. On any failure the record keeps its values. The file is held
// exclusively while open; one held by another process is waited for, up to a second.
SettingsStatus read_settings(const std::string& startup_folder, SettingsRecord& record);

// Fills an empty initial_folder with the default, then writes the 536 bytes at the start of
// "qm.dat" (created when absent, never truncated, so a longer file keeps its tail) and waits for
// them to reach the disk.
SettingsStatus write_settings(const std::string& startup_folder, SettingsRecord& record);

// The start-up step: read the file; a new or empty one (initial_folder empty) gets all print
// parts and the default folder and is written at once. A file that could not be read gets the
// defaults in memory only. Nothing is reported here.
void load_settings_at_start_up(const std::string& startup_folder, SettingsRecord& record);

} // namespace qm
