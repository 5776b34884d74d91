// The moisture map: every placed point's state on every day of the emulated week as the drying
// log judges it, the affected rooms, readable texts and escaped names.
#include "plans/plan_svg.h"

// GCC 12 warns, with the sanitizers at -O2, that std::regex's own lookahead state may be used
// uninitialized: a false alarm inside the library's templates, not in this test.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "projects/drying_days.h"
#include "projects/project_log.h"
#include "projects/project_texts.h"
#include "support/archive_fixture.h"
#include "support/drying_week.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

namespace qm {
namespace {

using PlanMapTest = test::ArchiveFolder;

// The data-state of each point group of an SVG, by data-point.
std::map<std::string, std::string> point_states(const std::string& svg) {
    static const std::regex group(
        R"re(<g class="point" data-point="([^"]*)" data-state="(\w+)">)re");
    std::map<std::string, std::string> out;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), group);
         it != std::sregex_iterator(); ++it) {
        out[(*it)[1]] = (*it)[2];
    }
    return out;
}

double smallest_text(const std::string& svg) {
    static const std::regex size(R"re(font-size="([0-9.]+)")re");
    double smallest = 1e9;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), size); it != std::sregex_iterator();
         ++it) {
        smallest = std::min(smallest, std::stod((*it)[1]));
    }
    return smallest;
}

std::string log_state(const DryingCell& cell) {
    switch (cell.state) {
    case CellState::Wet:
        return "wet";
    case CellState::Dry:
        return "dry";
    case CellState::Unjudged:
        return "unjudged";
    case CellState::NotRead:
        return "unread";
    case CellState::Removed:
        return "removed";
    }
    return "";
}

TEST_F(PlanMapTest, TheWeekDayByDayAsTheLogJudgesIt) {
    const std::unique_ptr<VisitArchive> archive = open();
    ProjectStore projects(*archive);
    const std::int64_t project =
        projects.create(ProjectDetails{"Smith", {}, {}, {}, {}, {}, {}, {}}).value();
    for (const std::int64_t visit : test::archive_drying_week(*archive)) {
        ASSERT_TRUE(projects.attach(project, projects.visit_jobs(visit, std::nullopt)));
    }
    const MonitoringPoint hall_wall{PointScale::Pin, 13, 1, "Plaster"};
    const MonitoringPoint hall_floor{PointScale::Pin, 13, 0, "Doug Fir"};
    ASSERT_TRUE(projects.set_material_standard(
        project, {"Plaster", PointScale::Pin, {std::nullopt, hall_wall}, 2.0}));
    ASSERT_TRUE(projects.set_material_standard(
        project, {"Doug Fir", PointScale::Pin, {std::nullopt, hall_floor}, 2.0}));
    ProjectReadings readings;
    ASSERT_TRUE(load_project_readings(projects, *archive, project, readings));
    const std::int64_t first_day =
        project_logs(readings, projects.settings(project).value(), false).drying.days.at(0);
    // The kitchen floor is cut out on the fifth day: from then on the map says "removed".
    ASSERT_TRUE(projects.set_removed(project, {PointScale::Pin, 2, 0, "Doug Fir"},
                                     PointRemoval{first_day + 4, "floor cut out"}));
    const ProjectLogs logs = project_logs(readings, projects.settings(project).value(), false);
    ASSERT_EQ(logs.drying.days.size(), 7U);

    // Every MC point of the log along the kitchen's wall, and the kitchen's air.
    const FloorPlan plan{"Ground floor",
                         PlanUnits::Feet,
                         {},
                         {},
                         {{"Kitchen", rectangle_outline(0, 0, 20, 15), 8.0},
                          {"Hall", rectangle_outline(20, 0, 10, 15), 8.0}}};
    std::vector<PlacedPoint> placed;
    for (std::size_t i = 0; i < logs.drying.rows.size(); ++i) {
        const MonitoringPoint& p = logs.drying.rows[i].point;
        placed.push_back({p, plan.name, {p.location == 13 ? 25.0 : 2.0 * double(i + 1), 7.0}});
    }
    placed.push_back({{PointScale::Air, 2, -1, ""}, plan.name, {10, 12}});
    const MonitoringPoint planned{PointScale::Pin, 40, 0, "Plaster"}; // placed, never read
    placed.push_back({planned, plan.name, {15, 2}});
    const std::vector<PointHistory> air = point_histories(readings.attached, true);
    const std::vector<MarkedPoint> marks = mark_points(placed, plan.name, logs.drying, air);
    ASSERT_EQ(marks.size(), placed.size());

    std::set<std::string> seen;
    for (std::size_t day = 0; day < logs.drying.days.size(); ++day) {
        const std::string title = "Ground floor " + iso_date(logs.drying.days[day]);
        const std::string svg = map_svg(map_scene(plan, marks, day, title));
        const std::map<std::string, std::string> states = point_states(svg);
        ASSERT_EQ(states.size(), placed.size()) << title;
        bool kitchen_wet = false;
        for (const DryingRow& row : logs.drying.rows) {
            const std::string expected = log_state(row.cells[day]);
            EXPECT_EQ(states.at(point_text(row.point)), expected) << title;
            kitchen_wet |= expected == "wet" && row.point.location != 13;
            seen.insert(expected);
        }
        EXPECT_EQ(states.at("KIT"), "unjudged") << title;
        EXPECT_EQ(states.at(point_text(planned)), "unread") << title;
        seen.insert(states.at(point_text(planned)));
        EXPECT_EQ(svg.find("class=\"affected\"") != std::string::npos, kitchen_wet) << title;
        EXPECT_GE(smallest_text(svg), kMinMapTextPt) << title;
    }
    EXPECT_EQ(seen, (std::set<std::string>{"dry", "removed", "unjudged", "unread", "wet"}));
}

TEST(PlanMap, NamesAreEscapedAndStatesDifferInShape) {
    const FloorPlan plan{"Loft",
                         PlanUnits::Metres,
                         {},
                         {},
                         {{"Bath \"2\" & <Loft>", rectangle_outline(0, 0, 4, 3), {}}}};
    std::vector<MarkedPoint> marks;
    const MapState states[] = {MapState::Wet, MapState::Dry, MapState::Unjudged, MapState::Removed,
                               MapState::Unread};
    for (std::size_t i = 0; i < std::size(states); ++i) {
        marks.push_back({{{PointScale::Pin, 1, 0, "Fir"}, "Loft", {0.5 + double(i) * 0.7, 1}},
                         "B&B <" + std::to_string(i) + "> \"x\"",
                         {{states[i], 12.5}}});
    }
    const std::string svg = map_svg(map_scene(plan, marks, 0, "Loft & attic"));
    EXPECT_NE(svg.find("data-point=\"B&amp;B &lt;0&gt; &quot;x&quot;\" data-state=\"wet\">"
                       "<circle"),
              std::string::npos);
    EXPECT_NE(svg.find(">Bath &quot;2&quot; &amp; &lt;Loft&gt;</text>"), std::string::npos);
    EXPECT_NE(svg.find(">Loft &amp; attic</text>"), std::string::npos);
    EXPECT_NE(svg.find(">12.0 m\u00b2</text>"), std::string::npos);
    EXPECT_EQ(svg.find("<Loft"), std::string::npos);
    // Five states, five shapes or fills with the colours taken away (as grey print takes them).
    std::set<std::string> shapes;
    static const std::regex marker(R"re(data-state="\w+">(<\w+[^>]*/>))re");
    static const std::regex geometry(R"re( (cx|cy|r|x|y|width|height|d|stroke-width)="[^"]*")re");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), marker);
         it != std::sregex_iterator(); ++it) {
        const std::string plain = std::regex_replace(std::string((*it)[1]), geometry, "");
        shapes.insert(std::regex_replace(plain, std::regex("\"#[0-9a-f]+\""), "c"));
    }
    EXPECT_EQ(shapes.size(), 5U) << svg;
}

} // namespace
} // namespace qm
