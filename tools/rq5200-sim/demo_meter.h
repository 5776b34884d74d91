#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace rq5200 {

constexpr int kDefaultDemoReadings = 60;
constexpr int kMaxDemoReadings = 5000;

// The memory image of a demo meter: five jobs of a water-damage survey (pin readings with and
// without temperature, scans, RH/T readings of rooms and of a drying chamber), named areas and
// numbered locations, 12- and 24-hour clocks. The same model, seed and count give the same image.
std::vector<std::uint8_t> demo_image(std::string_view model, std::uint32_t seed, int readings);

} // namespace rq5200
