#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace rq5200 {

constexpr int kDryingDays = 7;

// The memory image of a meter on day `day` (1..7) of a week of drying a kitchen after a leak: job
// 2, ID 118, dated `day` days after 2 March 2026, read from 11:45 AM on a 12-hour clock (so the
// visit runs past noon). The same points every day: wet plaster and fir falling toward their
// unaffected references at different speeds, one floor that is dry on day 5 and wet again on day
// 6, a scan of the wet wall, and RH/T readings of the kitchen, the unaffected hall, the
// dehumidifier outlet (MISC1) and outside (MISC2). On day 2 the wet wall is read a second time in
// the afternoon.
std::vector<std::uint8_t> drying_day_image(std::string_view model, int day);

} // namespace rq5200
