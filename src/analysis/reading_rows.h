#pragma once

#include "store/lookup_tables.h"
#include "store/reading.h"
#include "store/reading_store.h"
#include "store/session_state.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

// The readings table: eight columns shared by the readings view, its printout and qmtool show.
constexpr std::size_t kReadingColumns = 8;
// Rows the readings view lists at a time.
constexpr std::size_t kViewRows = 16;
// Row limit that lists every reading of the job.
constexpr std::size_t kAllRows = std::numeric_limits<std::size_t>::max();

// Windows-1252 degree sign followed by the unit letter.
constexpr std::string_view kDegreesF = "\xB0"
                                       "F";
constexpr std::string_view kDegreesC = "\xB0"
                                       "C";

// Heading of the extra RH/T column with the wood EMC.
constexpr std::string_view kEmcHeading = "EMC";

// The texts of one table row. An RH/T reading fills Rec, Location, RH, Temp, GPP/GPK, DewPt, Date,
// Time and the EMC; a moisture reading fills Rec, Location, Type, Material, MC, Temp, Date, Time
// and leaves emc empty.
struct ReadingRow {
    std::array<std::string, kReadingColumns> cells;
    std::string emc;
};

// Column headings of the RH/T table ("GPK" under celsius, else "GPP") and of the MC table. Any
// other kind has only "Rec", "Date" and "Time".
std::array<std::string_view, kReadingColumns> reading_column_headings(ManagedKind kind,
                                                                      std::int32_t celsius);

// The texts of one reading shown as row number ordinal (counted from 1). Temperatures, humidity
// and dew point follow celsius; dates follow international_date.
ReadingRow format_reading_row(const Reading& reading, std::int32_t ordinal,
                              const MaterialList& active_materials, std::int32_t celsius,
                              std::int32_t international_date);

// The rows of the readings table for the job at job_index of the managed kind's job list: the
// job's readings of that kind in all_readings order, skipping the first scroll_position of them,
// at most max_rows. Ordinals continue from scroll_position + 1. A kind without a job list or a
// position past the job list gives no rows.
// The same rows handed to `row` one at a time, for a table too long to hold as texts.
void for_each_reading_row(const ReadingStore& store, const MaterialList& active_materials,
                          ManagedKind kind, std::int32_t job_index, std::int32_t scroll_position,
                          std::size_t max_rows, std::int32_t celsius,
                          std::int32_t international_date,
                          const std::function<void(const ReadingRow&)>& row);

std::vector<ReadingRow> collect_reading_rows(const ReadingStore& store,
                                             const MaterialList& active_materials, ManagedKind kind,
                                             std::int32_t job_index, std::int32_t scroll_position,
                                             std::size_t max_rows, std::int32_t celsius,
                                             std::int32_t international_date);

} // namespace qm
