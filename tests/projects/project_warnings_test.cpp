// What a reviewer would question, found in the logs: a date of loss after every reading, a day
// the reference was not read though its points were, a point read once.
#include "projects/drying_days.h"
#include "projects/project_warnings.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

DryingRow row_of(const MonitoringPoint& point, std::vector<bool> read, bool reference) {
    DryingRow r;
    r.point = point;
    r.is_reference = reference;
    r.source = reference ? StandardSource::None : StandardSource::Reference;
    r.reference = MonitoringPoint{PointScale::Pin, 13, 1, "Plaster"};
    for (const bool day : read) {
        DryingCell c;
        c.state = day ? CellState::Wet : CellState::NotRead;
        r.cells.push_back(c);
    }
    return r;
}

TEST(ProjectWarnings, EachWithItsDaysAndPoints) {
    const MonitoringPoint wall{PointScale::Pin, 2, 1, "Plaster"};
    const MonitoringPoint ceiling{PointScale::Pin, 2, 2, "Plaster"};
    const MonitoringPoint reference{PointScale::Pin, 13, 1, "Plaster"};
    ProjectLogs logs;
    logs.drying.days = {drying_day_number({2026, 3, 3}), drying_day_number({2026, 3, 4}),
                        drying_day_number({2026, 3, 5})};
    logs.drying.rows = {row_of(wall, {true, true, true}, false),
                        row_of(ceiling, {false, true, false}, false),
                        row_of(reference, {true, false, true}, true)};
    ProjectDetails details;
    EXPECT_EQ(project_warnings(details, logs).size(), 2u);
    details.loss_date = drying_day_number({2026, 3, 10});
    const std::vector<ProjectWarning> w = project_warnings(details, logs);
    ASSERT_EQ(w.size(), 3u);
    EXPECT_EQ(w[0].kind, WarningKind::LossAfterReadings);
    EXPECT_EQ(w[0].text,
              "The date of loss (2026-03-10) is after every reading (the last on 2026-03-05).");
    EXPECT_EQ(w[1].kind, WarningKind::DayWithoutReference);
    EXPECT_EQ(w[1].text, "The reference HL1,W/Plaster was not read on 2026-03-04: the points it "
                         "judges are not judged on that day.");
    EXPECT_EQ(w[1].days, std::vector<std::int64_t>{logs.drying.days[1]});
    EXPECT_EQ(w[2].kind, WarningKind::PointReadOnce);
    EXPECT_EQ(w[2].points, std::vector<MonitoringPoint>{ceiling});
    EXPECT_EQ(w[2].text, "The point KIT,C/Plaster was read on one day only (2026-03-04).");

    // A loss before the readings, the reference read every day its points were: nothing.
    details.loss_date = drying_day_number({2026, 3, 2});
    logs.drying.rows[2].cells[1].state = CellState::Unjudged;
    logs.drying.rows[1].cells[0].state = CellState::Dry;
    EXPECT_TRUE(project_warnings(details, logs).empty());
}

} // namespace
} // namespace qm
