#pragma once

// The image under a floor plan: what kind of image its bytes are and its size in pixels, read
// from the bytes themselves (the PNG header, the JPEG frame), and the bytes as base64 for an SVG.

#include "plans/floor_plan.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qm {

// The underlay of a PNG or JPEG image (its SHA-256, media type and size), or why the bytes
// cannot be one: a PDF (its pages are not rendered here), another kind of file, or a damaged
// image.
struct ImageRead {
    std::optional<PlanUnderlay> underlay;
    std::string problem;
};
ImageRead read_plan_image(std::span<const std::uint8_t> bytes);

// Base64 (RFC 4648, with padding, no line breaks).
std::string base64(std::span<const std::uint8_t> bytes);

} // namespace qm
