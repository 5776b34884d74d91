#pragma once

// What a photo's own bytes say of it: its kind, its size in pixels, how the camera held it and
// when it was taken. Read with exiv2, which reads EXIF of JPEG, PNG and HEIC alike (Qt's image
// reader gives the orientation but not the time the photo was taken).

#include "store/result.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qm {

enum class PhotoFormat { Jpeg, Png, Heic };

// "jpeg", "png", "heic".
std::string_view photo_format_name(PhotoFormat format);

struct PhotoFacts {
    PhotoFormat format = PhotoFormat::Jpeg;
    std::int32_t width = 0;  // pixels as stored, before the orientation is applied
    std::int32_t height = 0; // pixels as stored
    int orientation = 1;     // EXIF orientation 1..8; 1 when the photo names none
    // The camera's clock when the photo was taken, "YYYY-MM-DDTHH:MM:SS" (EXIF DateTimeOriginal,
    // else DateTime); nothing when the photo carries no such time.
    std::optional<std::string> taken_at;
};

// The facts of a photo's bytes. A failure says "not a photo (JPEG, PNG or HEIC)" for bytes of
// another kind, or why the photo is damaged (a Failure marked damaged); the caller names the
// file.
Result<PhotoFacts> read_photo_facts(std::span<const std::uint8_t> bytes);

// An EXIF time "YYYY:MM:DD HH:MM:SS" as "YYYY-MM-DDTHH:MM:SS"; nothing for another text (a
// camera that never had its clock set writes blanks or zeros).
std::optional<std::string> exif_time(std::string_view text);

} // namespace qm
