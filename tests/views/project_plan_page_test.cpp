// The Plan tab of the Projects window: the week's points on a plan, day by day as the drying log
// judges them, Play to the last day, and the points not placed.
#include "views/project_plan_page.h"

#include "plans/plan_store.h"
#include "projects/project_texts.h"
#include "support/archive_fixture.h"
#include "support/drying_week.h"
#include "support/recording_ui.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace qm {
namespace {

using PlanPageTest = test::ArchiveFolder;

TEST_F(PlanPageTest, TheWeekDayByDay) {
    const std::unique_ptr<VisitArchive> archive = open();
    ProjectStore projects(*archive);
    ProjectDetails details;
    details.name = "Kitchen leak";
    const std::int64_t project = projects.create(details).value();
    for (const std::int64_t visit : test::archive_drying_week(*archive)) {
        ASSERT_TRUE(projects.attach(project, projects.visit_jobs(visit, std::nullopt)));
    }
    ASSERT_TRUE(projects.set_material_standard(
        project,
        {"Doug Fir", PointScale::Pin, {std::nullopt, parse_point("HL1,F/Doug Fir")}, 2.0}));
    PlanStore plans(*archive);
    FloorPlan plan;
    plan.name = "Ground floor";
    ASSERT_TRUE(plans.add_plan(project, plan));
    ASSERT_TRUE(
        plans.put_room(project, plan.name, {"Kitchen", rectangle_outline(0, 0, 12, 10), {}}));
    const MonitoringPoint floor = parse_point("KIT,F/Doug Fir").value();
    ASSERT_TRUE(plans.place(project, {floor, plan.name, {6, 5}}));

    test::RecordingUi ui;
    ProjectsActions actions;
    actions.ui = &ui;
    ProjectsWindow window(*archive, actions);
    window.selectProject(project);
    ProjectPlanPage& page = *window.planPage();
    EXPECT_EQ(window.tabs()->tabText(window.tabs()->indexOf(&page)), "Plan");
    EXPECT_EQ(page.planBox()->currentText(), "Ground floor");
    const DryingRow& row =
        *std::find_if(window.view().logs.drying.rows.begin(), window.view().logs.drying.rows.end(),
                      [&](const DryingRow& r) { return r.point == floor; });
    ASSERT_EQ(page.daySlider()->maximum(), 6);
    EXPECT_EQ(page.daySlider()->value(), 6); // the last day read first
    for (int day = 0; day < 7; ++day) {
        page.daySlider()->setValue(day);
        ASSERT_EQ(page.canvas()->scene().markers.size(), 1U);
        const MapState expected = row.cells[static_cast<std::size_t>(day)].state == CellState::Wet
                                      ? MapState::Wet
                                      : MapState::Dry;
        EXPECT_EQ(page.canvas()->scene().markers[0].state, expected) << day;
        EXPECT_EQ(page.canvas()->scene().rooms[0].affected, expected == MapState::Wet) << day;
    }
    EXPECT_EQ(page.dayLabel()->text(), "Day 7 of 7: 2026-03-09");
    EXPECT_TRUE(page.notPlacedLabel()->text().startsWith(
        "Not placed: KIT,W/Plaster, KIT,W/Plaster scan, KIT,C/Plaster"))
        << page.notPlacedLabel()->text().toStdString();
    EXPECT_FALSE(page.notPlacedLabel()->text().contains("KIT,F/Doug Fir"));
    // Play starts again from the first day and stops at the last.
    page.playButton()->setChecked(true);
    EXPECT_EQ(page.daySlider()->value(), 0);
    page.playButton()->setChecked(false);
    EXPECT_TRUE(ui.messages.empty());
}

} // namespace
} // namespace qm
