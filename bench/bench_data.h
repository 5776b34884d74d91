#pragma once

#include "store/reading.h"

#include <cstdint>
#include <random>
#include <vector>

namespace qm::bench {

// A realistic mix of readings in arrival order: five jobs, every kind, all locations.
inline std::vector<Reading> make_readings(std::size_t n, std::uint32_t seed = 7) {
    std::mt19937 rng(seed);
    std::vector<Reading> out(n);
    for (Reading& r : out) {
        r.kind = static_cast<std::int32_t>(rng() % 4);
        r.job = static_cast<std::int32_t>(1 + rng() % 5);
        r.location = static_cast<std::int32_t>(rng() % 64);
        r.sub_location = static_cast<std::int32_t>(rng() % 3);
        r.year = 9;
        r.month = static_cast<std::int32_t>(1 + rng() % 12);
        r.day = static_cast<std::int32_t>(1 + rng() % 28);
        r.hour_code = static_cast<std::int32_t>(rng() % 0x24);
        r.minute = static_cast<std::int32_t>(rng() % 60);
        r.mc = (rng() % 1000) * 0.1;
        r.rh = (rng() % 1000) * 0.1;
        r.temperature = 40 + (rng() % 600) * 0.1;
    }
    return out;
}

// One job of n readings (job 1), every kind, in a store with its job lists built.
inline std::vector<Reading> make_job(std::size_t n, std::uint32_t seed = 11) {
    std::vector<Reading> out = make_readings(n, seed);
    for (Reading& r : out) {
        r.job = 1;
        r.pin_temperature = 70;
        r.material = r.location % 16;
    }
    return out;
}

// A download stream of n records (kinds 0..3) behind a valid header.
inline std::vector<std::uint8_t> make_stream(std::size_t n, std::uint32_t seed = 7) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> s = {'T',  'R',  'K',  ' ',  '2',  '0', '0', 0x00, 0x3E, 0x07,
                                   0x00, 0x42, 0x00, 0x15, 0x01, 0,   0,   0,    0};
    static constexpr std::size_t kLength[4] = {12, 13, 10, 12};
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t kind = static_cast<std::uint8_t>(rng() % 4);
        s.push_back(kind);
        s.push_back(static_cast<std::uint8_t>(((rng() % 12) << 4) | (1 + rng() % 5)));
        s.push_back(static_cast<std::uint8_t>(rng() % 96));
        s.insert(s.end(), {0x30, 0x10, 0x15, 0x06, 0x09});
        for (std::size_t k = 8; k < kLength[kind]; ++k) {
            s.push_back(static_cast<std::uint8_t>(((rng() % 10) << 4) | (rng() % 10)));
        }
    }
    return s;
}

} // namespace qm::bench
