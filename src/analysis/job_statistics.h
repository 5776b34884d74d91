#pragma once

#include "store/lookup_tables.h"
#include "store/reading.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace qm {

constexpr std::size_t kStatValueSize = 12;
constexpr std::size_t kStatTimeSize = 52;
constexpr std::size_t kStatMaterialSize = 20;

// What first_text and last_text hold for a group without readings.
constexpr const char* kNoReadingTime = "----";

// The figures of one group of readings (one location, and for MC one sub-location, of a job) as
// the summaries and the CSV export print them. Every field is NUL-terminated
// text; fields an operation does not set are empty.
struct JobStatistics {
    char min_text[kStatValueSize] = {};         // MC: smallest PIN value "%.1f%%"; RH/T: "%.2f"
    char max_text[kStatValueSize] = {};         // MC: largest PIN value "%.1f%%"; RH/T: "%.2f"
    char scan_min_text[kStatValueSize] = {};    // MC: smallest SCAN value, whole number
    char scan_max_text[kStatValueSize] = {};    // MC: largest SCAN value, whole number
    char first_text[kStatTimeSize] = {};        // date and time of the group's first reading
    char last_text[kStatTimeSize] = {};         // date and time of the group's last reading
    char count_text[kStatValueSize] = {};       // MC: PIN readings; RH/T: all readings
    char scan_count_text[kStatValueSize] = {};  // MC: SCAN readings
    char material_text[kStatMaterialSize] = {}; // MC: material of the group
};

// The figures of one group of MC readings (one location and sub-location of a job), given in
// time order. PIN figures count PinWithTemperature readings only, SCAN figures Scan readings;
// readings of any kind give the first and last times. The material is that of the first
// PinWithTemperature reading, else of the group's first reading.
JobStatistics compute_mc_statistics(std::span<const Reading> group,
                                    const MaterialList& active_materials,
                                    std::int32_t international_date);

// The figures of one group of RH/T readings (one location of a job), given in time order:
// absolute humidity in GPP (celsius 0) or GPK (nonzero). A reading whose humidity is out of range
// is counted but left out of the minimum and maximum.
JobStatistics compute_rh_statistics(std::span<const Reading> group, std::int32_t celsius,
                                    std::int32_t international_date);

} // namespace qm
