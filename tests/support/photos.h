#pragma once

// Photos made by hand: a 16 x 8 grey JPEG (two blocks, dark and light) with an APP1 Exif block
// that carries an orientation and the time the photo was taken, as a camera writes them.

#include <cstdint>
#include <string>
#include <vector>

namespace qm::test {

// The JPEG after its SOI marker: quantisation table, SOF0 (16 x 8, one component), Huffman
// tables, the scan and EOI.
inline const std::vector<std::uint8_t> kJpegBody = {
    0xff, 0xdb, 0x00, 0x43, 0x00, 0x10, 0x0b, 0x0c, 0x0e, 0x0c, 0x0a, 0x10, 0x0e, 0x0d, 0x0e, 0x12,
    0x11, 0x10, 0x13, 0x18, 0x28, 0x1a, 0x18, 0x16, 0x16, 0x18, 0x31, 0x23, 0x25, 0x1d, 0x28, 0x3a,
    0x33, 0x3d, 0x3c, 0x39, 0x33, 0x38, 0x37, 0x40, 0x48, 0x5c, 0x4e, 0x40, 0x44, 0x57, 0x45, 0x37,
    0x38, 0x50, 0x6d, 0x51, 0x57, 0x5f, 0x62, 0x67, 0x68, 0x67, 0x3e, 0x4d, 0x71, 0x79, 0x70, 0x64,
    0x78, 0x5c, 0x65, 0x67, 0x63, 0xff, 0xc0, 0x00, 0x0b, 0x08, 0x00, 0x08, 0x00, 0x10, 0x01, 0x01,
    0x11, 0x00, 0xff, 0xc4, 0x00, 0x15, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x07, 0xff, 0xc4, 0x00, 0x14, 0x10, 0x01, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff,
    0xda, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3f, 0x00, 0x26, 0xa8, 0x3f, 0xff, 0xd9,
};

// A JPEG whose Exif says orientation `orientation` and DateTimeOriginal `taken`
// ("YYYY:MM:DD HH:MM:SS", 19 characters); without `taken` a plain JPEG with no Exif at all. A
// larger width and height make a camera-sized frame whose scan ends early (decoders fill the rest
// grey).
inline std::vector<std::uint8_t> jpeg_photo(const std::string& taken = {}, int orientation = 1,
                                            unsigned width = 16, unsigned height = 8) {
    std::vector<std::uint8_t> out;
    out.reserve(256);
    out.push_back(0xff);
    out.push_back(0xd8);
    if (!taken.empty()) {
        const auto u16 = [&](unsigned v) {
            out.push_back(static_cast<std::uint8_t>(v & 0xff));
            out.push_back(static_cast<std::uint8_t>(v >> 8));
        };
        const auto u32 = [&](unsigned v) {
            u16(v & 0xffff);
            u16(v >> 16);
        };
        // APP1, length 84 (big-endian, as every JPEG length): "Exif\0\0" and a little-endian TIFF.
        out.insert(out.end(), {0xff, 0xe1, 0x00, 84, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0});
        u32(8);
        // IFD0 at 8: Orientation (SHORT) and the pointer to the Exif IFD at 38.
        u16(2);
        u16(0x0112), u16(3), u32(1), u16(static_cast<unsigned>(orientation)), u16(0);
        u16(0x8769), u16(4), u32(1), u32(38);
        u32(0);
        // Exif IFD at 38: DateTimeOriginal (ASCII, 20 bytes at 56).
        u16(1);
        u16(0x9003), u16(2), u32(20), u32(56);
        u32(0);
        out.insert(out.end(), taken.begin(), taken.begin() + 19);
        out.push_back(0);
    }
    const std::size_t body = out.size();
    out.insert(out.end(), kJpegBody.begin(), kJpegBody.end());
    // SOF0 at 69 of the body: FF C0, length, precision, then height and width (big-endian).
    out[body + 74] = static_cast<std::uint8_t>(height >> 8);
    out[body + 75] = static_cast<std::uint8_t>(height & 0xff);
    out[body + 76] = static_cast<std::uint8_t>(width >> 8);
    out[body + 77] = static_cast<std::uint8_t>(width & 0xff);
    return out;
}

} // namespace qm::test
