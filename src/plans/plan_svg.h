#pragma once

// A day's moisture map as an SVG document (plain text, UTF-8), readable by other programs: each
// placed point is one <g class="point" data-point="KIT,W/Plaster" data-state="wet"> holding its
// marker, its label and the day's value as <text>. States differ in shape and fill, not colour
// alone, so the map reads in grey print.

#include "plans/plan_map.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qm {

// The underlay's image for the SVG: its media type and bytes (embedded as a data: URI).
struct SvgImage {
    std::string_view media_type;
    std::span<const std::uint8_t> bytes;
};

// The SVG of a map; its nominal size is the scene's, in points.
std::string map_svg(const MapScene& scene, const SvgImage& underlay = {});

// A text for XML content and attribute values: & < > " ' as entities.
std::string xml_escaped(std::string_view text);

} // namespace qm
