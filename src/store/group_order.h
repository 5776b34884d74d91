#pragma once

#include "store/reading.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qm {

// The key of a reading that belongs to no group.
constexpr std::uint32_t kNoGroup = UINT32_MAX;

// One stable counting sort for every grouping of readings (the job index by job, location and
// sub-location; the CSV export by location and sub-location): the positions of the readings in
// the order of their groups, arrival order kept within a group. key_of gives a reading's group,
// 0 .. group_count - 1, or kNoGroup to leave it out. At most UINT32_MAX readings.
template <typename KeyOf>
std::vector<std::uint32_t> group_order(std::span<const Reading> readings, std::size_t group_count,
                                       KeyOf key_of) {
    std::vector<std::uint32_t> keys(readings.size());
    std::vector<std::uint32_t> start(group_count + 1, 0);
    for (std::size_t i = 0; i < readings.size(); ++i) {
        keys[i] = key_of(readings[i]);
        if (keys[i] != kNoGroup) {
            ++start[keys[i] + 1];
        }
    }
    for (std::size_t g = 1; g <= group_count; ++g) {
        start[g] += start[g - 1];
    }
    // Handing out positions in arrival order keeps the sort stable.
    std::vector<std::uint32_t> order(start[group_count]);
    for (std::size_t i = 0; i < readings.size(); ++i) {
        if (keys[i] != kNoGroup) {
            order[start[keys[i]]++] = static_cast<std::uint32_t>(i);
        }
    }
    return order;
}

// Copies of the readings at the given positions, in that order.
inline std::vector<Reading> gathered(std::span<const Reading> readings,
                                     std::span<const std::uint32_t> order) {
    std::vector<Reading> out;
    out.reserve(order.size());
    for (const std::uint32_t i : order) {
        out.push_back(readings[i]);
    }
    return out;
}

} // namespace qm
