// A week of drying visits from rq5200-sim --drying-day, decoded as a download decodes them.
#include "link/download_decoder.h"
#include "projects/air_log.h"
#include "projects/drying_days.h"
#include "projects/drying_log.h"
#include "state/app_state.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm {
namespace {

using namespace test;

TEST(DryingWeek, SevenDownloadsMakeOneLog) {
    std::vector<AppState> visits(7);
    std::vector<AttachedJob> jobs;
    for (int day = 1; day <= 7; ++day) {
        const Sim sim({"--drying-day", std::to_string(day)}, false);
        AppState& app = visits[static_cast<std::size_t>(day - 1)];
        decode_download(sim.image, app.store, app.meter, app.job_records, app.selection);
        ASSERT_EQ(app.store.all_readings.size(), day == 2 ? 13u : 12u) << day;
        EXPECT_EQ(app.store.job_ids[1], 118);
        jobs.push_back({std::string(app.meter.model()), 118, app.store.all_readings});
    }
    const MonitoringPoint hall_wall{PointScale::Pin, 13, 1, "Plaster"};
    const MonitoringPoint hall_floor{PointScale::Pin, 13, 0, "Doug Fir"};
    const MaterialStandard materials[] = {
        {"Plaster", PointScale::Pin, {std::nullopt, hall_wall}, 2.0},
        {"Doug Fir", PointScale::Pin, {std::nullopt, hall_floor}, 2.0},
    };
    const DryingLog log = drying_log(jobs, {materials, {}});
    ASSERT_EQ(log.days.size(), 7u);
    EXPECT_EQ(iso_date(log.days.front()), "2026-03-03");
    EXPECT_EQ(iso_date(log.days.back()), "2026-03-09");
    std::vector<std::string> rows;
    for (const DryingRow& row : log.rows) {
        rows.push_back(point_name(row.point) +
                       (row.point.scale == PointScale::Scan ? " scan" : "") +
                       (row.dry_on         ? " " + iso_date(*row.dry_on)
                        : row.is_reference ? " ref"
                                           : ""));
    }
    // The floor wet again on day 6 and the slow bathroom floor are not dry; scans have no standard.
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "KIT,F/Doug Fir", "KIT,W/Plaster scan", "BATH1,F/Doug Fir",
                        "HL1,W/Plaster scan", "KIT,W/Plaster 2026-03-06",
                        "KIT,C/Plaster 2026-03-04", "HL1,F/Doug Fir ref", "HL1,W/Plaster ref"}));
    EXPECT_EQ(log.rows[0].cells[4].state, CellState::Dry);
    EXPECT_EQ(log.rows[0].cells[5].state, CellState::Wet);
    EXPECT_DOUBLE_EQ(log.rows[4].cells[1].value, 20.1); // the afternoon reading of day 2
    const AirPointRole roles[] = {{2, AirRole::Affected},
                                  {13, AirRole::Unaffected},
                                  {26, AirRole::DehumidifierOutlet},
                                  {27, AirRole::Outside}};
    const AirLog air = air_log(jobs, roles, false);
    EXPECT_EQ(air.rows.size(), 28u);
    ASSERT_EQ(air.depression.size(), 7u);
    for (const GrainDepression& d : air.depression) {
        EXPECT_GT(d.value, 10.0) << iso_date(d.day); // the dehumidifier dries the air every day
    }
}

} // namespace
} // namespace qm
