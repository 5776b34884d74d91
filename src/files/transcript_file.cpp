#include "files/transcript_file.h"

#include "files/regular_file.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

namespace qm {

namespace {

std::filesystem::path cache_home() {
    // Relative values are to be ignored, as with every XDG base directory.
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/') {
        return xdg;
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
        return std::filesystem::path(home) / ".cache";
    }
    return {};
}

} // namespace

int write_transcript_file(const std::filesystem::path& path, std::string_view text) {
    return replace_file_contents(
        path.string(), std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::filesystem::path last_download_log_path() {
    const std::filesystem::path base = cache_home();
    if (base.empty()) {
        return {};
    }
    return base / "quellmark" / "last-download.log";
}

std::optional<std::filesystem::path> save_last_download_transcript(std::string_view text) {
    const std::filesystem::path path = last_download_log_path();
    if (path.empty()) {
        return std::nullopt;
    }
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec || write_transcript_file(path, text) != 0) {
        return std::nullopt;
    }
    return path;
}

} // namespace qm
