#include "plans/plan_image.h"

#include "archive/sha256.h"

#include <algorithm>
#include <array>

namespace qm {

namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// An image larger than this on a side is no floor plan a program would draw (and no SVG reader
// would load it).
constexpr std::uint32_t kMaxSidePixels = 30000;

std::uint32_t big_endian(std::span<const std::uint8_t> b, std::size_t at, std::size_t size) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < size; ++i) {
        v = v << 8 | b[at + i];
    }
    return v;
}

// The PNG's IHDR chunk comes first and holds width and height.
bool png_size(std::span<const std::uint8_t> b, std::uint32_t& w, std::uint32_t& h) {
    if (b.size() < 24 || big_endian(b, 12, 4) != 0x49484452) { // "IHDR"
        return false;
    }
    w = big_endian(b, 16, 4);
    h = big_endian(b, 20, 4);
    return true;
}

// Walks the JPEG's markers to its start-of-frame (SOF0..SOF15 but DHT, JPG and DAC), which
// holds height and width.
bool jpeg_size(std::span<const std::uint8_t> b, std::uint32_t& w, std::uint32_t& h) {
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF) {
            return false;
        }
        const std::uint8_t marker = b[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const std::size_t length = big_endian(b, at + 2, 2);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            if (length < 7 || at + 9 > b.size()) {
                return false;
            }
            h = big_endian(b, at + 5, 2);
            w = big_endian(b, at + 7, 2);
            return true;
        }
        if (marker == 0xD9 || marker == 0xDA || length < 2) { // end of image, start of scan
            return false;
        }
        at += 2 + length;
    }
    return false;
}

} // namespace

ImageRead read_plan_image(std::span<const std::uint8_t> b) {
    ImageRead out;
    std::uint32_t w = 0;
    std::uint32_t h = 0;
    std::string type;
    if (b.size() >= 8 && std::equal(kPngSignature.begin(), kPngSignature.end(), b.begin())) {
        type = "image/png";
        if (!png_size(b, w, h)) {
            out.problem = "the PNG image is damaged";
            return out;
        }
    } else if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
        type = "image/jpeg";
        if (!jpeg_size(b, w, h)) {
            out.problem = "the JPEG image is damaged";
            return out;
        }
    } else if (b.size() >= 5 && std::equal(b.begin(), b.begin() + 5, "%PDF-")) {
        out.problem = "a PDF page cannot be a plan's underlay yet: save the page as a PNG or JPEG "
                      "image and add that";
        return out;
    } else {
        out.problem = "the file is no PNG or JPEG image";
        return out;
    }
    if (w == 0 || h == 0 || w > kMaxSidePixels || h > kMaxSidePixels) {
        out.problem = "the image's size " + std::to_string(w) + " x " + std::to_string(h) +
                      " pixels is not that of a floor plan";
        return out;
    }
    out.underlay = PlanUnderlay{sha256_hex(b), type, static_cast<int>(w), static_cast<int>(h)};
    return out;
}

std::string base64(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = std::uint32_t{bytes[i]} << 16;
        if (n > 1) {
            v |= std::uint32_t{bytes[i + 1]} << 8;
        }
        if (n > 2) {
            v |= bytes[i + 2];
        }
        for (std::size_t k = 0; k < 4; ++k) {
            out += k <= n ? kDigits[v >> (18 - 6 * k) & 0x3F] : '=';
        }
    }
    return out;
}

} // namespace qm
