#pragma once

#include "store/reading.h"

#include <cstdint>
#include <string>

namespace qm {

// The date and time texts of a reading, as the views, the summaries, the side panel and the CSV
// export show them.

// "%i:%.2i" in 24-hour mode, "%i:%.2iAM" / "%i:%.2iPM" in 12-hour mode.
std::string format_reading_time(const Reading& reading);

// "%i/%i/%.2i" of month, day, year (international_date 0) or day, month, year (nonzero).
std::string format_reading_date(const Reading& reading, std::int32_t international_date);

// The date, a space and the time: "8/28/03 1:05AM" or "28/8/03 1:05AM".
std::string format_reading_date_time(const Reading& reading, std::int32_t international_date);

} // namespace qm
