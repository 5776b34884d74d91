#pragma once

// A week of drying visits, rq5200-sim --drying-day 1..7, as download streams, and an archive that
// holds them, each received on its day.

#include "archive/visit_loading.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm::test {

// The streams of days 1..7 (made once per test run).
inline const std::vector<std::vector<std::uint8_t>>& drying_week_streams() {
    static const std::vector<std::vector<std::uint8_t>> streams = [] {
        std::vector<std::vector<std::uint8_t>> out;
        for (int day = 1; day <= 7; ++day) {
            out.push_back(Sim({"--drying-day", std::to_string(day)}, false).image);
        }
        return out;
    }();
    return streams;
}

// 18:00 UTC on 3 March 2026, the first day of the week.
constexpr std::int64_t kWeekStartUtc = 1772560800;

// Adds the week's visits to an archive, day 1 first; their visit ids.
inline std::vector<std::int64_t> archive_drying_week(VisitArchive& archive) {
    std::vector<std::int64_t> ids;
    const auto& streams = drying_week_streams();
    for (std::size_t day = 0; day < streams.size(); ++day) {
        const ReceivedTime received{kWeekStartUtc + static_cast<std::int64_t>(day) * 86400, 3600};
        const AddVisitResult added = archive_source(archive, streams[day], received);
        EXPECT_EQ(added.status, AddVisitResult::Status::Added) << added.error;
        ids.push_back(added.visit_id);
    }
    return ids;
}

} // namespace qm::test
