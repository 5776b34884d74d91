#include "photos/photo_facts.h"

#include <exiv2/exiv2.hpp>

#include <cctype>
#include <mutex>

namespace qm {

namespace {

constexpr const char* kNotAPhoto = "not a photo (JPEG, PNG or HEIC)";

// exiv2 writes its warnings to stderr and reads HEIC only when asked; set once per process.
void set_up_exiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::enableBMFF(true);
    });
}

std::optional<PhotoFormat> format_of(int type) {
    switch (type) {
    case Exiv2::ImageType::jpeg:
        return PhotoFormat::Jpeg;
    case Exiv2::ImageType::png:
        return PhotoFormat::Png;
    case Exiv2::ImageType::bmff:
        return PhotoFormat::Heic;
    default:
        return std::nullopt;
    }
}

std::optional<std::string> exif_text(const Exiv2::ExifData& exif, const char* key) {
    const auto at = exif.findKey(Exiv2::ExifKey(key));
    if (at == exif.end()) {
        return std::nullopt;
    }
    return at->toString();
}

} // namespace

std::string_view photo_format_name(PhotoFormat format) {
    switch (format) {
    case PhotoFormat::Jpeg:
        return "jpeg";
    case PhotoFormat::Png:
        return "png";
    case PhotoFormat::Heic:
        return "heic";
    }
    return "jpeg";
}

std::optional<std::string> exif_time(std::string_view text) {
    // "YYYY:MM:DD HH:MM:SS": digits everywhere but at 4, 7, 10, 13 and 16.
    if (text.size() < 19) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < 19; ++i) {
        const bool separator = i == 4 || i == 7 || i == 10 || i == 13 || i == 16;
        if (!separator && std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
            return std::nullopt;
        }
    }
    std::string out(text.substr(0, 19));
    out[4] = out[7] = '-';
    out[10] = 'T';
    out[13] = out[16] = ':';
    const int month = std::stoi(out.substr(5, 2));
    const int day = std::stoi(out.substr(8, 2));
    if (out.starts_with("0000") || month < 1 || month > 12 || day < 1 || day > 31) {
        return std::nullopt;
    }
    return out;
}

Result<PhotoFacts> read_photo_facts(std::span<const std::uint8_t> bytes) {
    set_up_exiv2();
    const auto* data = reinterpret_cast<const Exiv2::byte*>(bytes.data());
    const long size = static_cast<long>(bytes.size());
    std::optional<PhotoFormat> format;
    try {
        format = bytes.empty() ? std::nullopt : format_of(Exiv2::ImageFactory::getType(data, size));
    } catch (const std::exception&) {
        format.reset(); // too short to hold any image's signature
    }
    if (!format) {
        return failure(kNotAPhoto);
    }
    PhotoFacts facts;
    facts.format = *format;
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(data, size);
        image->readMetadata();
        facts.width = image->pixelWidth();
        facts.height = image->pixelHeight();
        const Exiv2::ExifData& exif = image->exifData();
        if (const auto o = exif_text(exif, "Exif.Image.Orientation")) {
            const int value = std::atoi(o->c_str());
            facts.orientation = value >= 1 && value <= 8 ? value : 1;
        }
        for (const char* key : {"Exif.Photo.DateTimeOriginal", "Exif.Image.DateTime"}) {
            if (const auto t = exif_text(exif, key); t && !facts.taken_at) {
                facts.taken_at = exif_time(*t);
            }
        }
    } catch (const std::exception& e) { // Exiv2::AnyError among them
        return damage("damaged (" + std::string(e.what()) + ")");
    }
    if (facts.width <= 0 || facts.height <= 0) {
        return damage("damaged (no picture size in it)");
    }
    return facts;
}

} // namespace qm
