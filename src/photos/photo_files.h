#pragma once

// The photos' bytes beside the archive: one file a photo, named by the SHA-256 of its bytes, in a
// folder only its owner may enter (0700; files 0600). A photo's bytes are kept as they came, and
// a file once in place is never overwritten, so the same photo attached twice is stored once.

#include "store/result.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qm {

// The largest photo taken in, in bytes.
constexpr std::size_t kMaxPhotoBytes = std::size_t{512} << 20;

// The photo folder of the archive at `archive_path`: "photos" beside it (for the default archive,
// $XDG_DATA_HOME/quellmark/photos).
std::string photo_folder_of(const std::string& archive_path);

// A photo read from a file, once: its bytes, their SHA-256 and the name it was read from.
struct PhotoBytes {
    std::string name; // the file's path, for messages
    std::vector<std::uint8_t> bytes;
    std::string sha256; // 64 lowercase hex digits
};

// Reads a regular file of at most kMaxPhotoBytes and hashes the same buffer. A failure names the
// file.
Result<PhotoBytes> read_photo_file(const std::string& path);

// The regular files of a folder (not its subfolders), by name; a failure names the folder.
Result<std::vector<std::string>> files_in_folder(const std::string& folder);

class PhotoFiles {
public:
    explicit PhotoFiles(std::string folder) : folder_(std::move(folder)) {}

    const std::string& folder() const { return folder_; }
    // The file of a photo (whether it is there or not).
    std::string path_of(const std::string& sha256) const;
    // Puts the bytes in place under their SHA-256 (a temporary file, synced, then linked to its
    // name; a file standing there already is kept). The folder and its parents are made as needed.
    Status put(const std::string& sha256, std::span<const std::uint8_t> bytes) const;
    // The photo's bytes, checked against their SHA-256: damage when they are gone or differ.
    Result<std::vector<std::uint8_t>> read(const std::string& sha256) const;
    // Removes the photo's file; a file already gone is no failure.
    Status remove(const std::string& sha256) const;

private:
    std::string folder_;
};

} // namespace qm
