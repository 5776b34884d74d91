#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace qm {

// The transcript of a download (the text of format_transcript) as a file, written as every other
// output is written (replace_file_contents: a temporary beside it, links followed, mode kept,
// devices and FIFOs refused). Returns 0 or the error of regular_file.h.
int write_transcript_file(const std::filesystem::path& path, std::string_view text);

// Where the desktop program keeps the transcript of its last download:
// $XDG_CACHE_HOME/quellmark/last-download.log, or ~/.cache/quellmark/last-download.log. Empty
// when neither XDG_CACHE_HOME nor HOME is set.
std::filesystem::path last_download_log_path();

// Writes the transcript text of the last download to last_download_log_path(), creating the
// folder. Returns the path written, or nothing on failure.
std::optional<std::filesystem::path> save_last_download_transcript(std::string_view text);

} // namespace qm
