// Floor plans kept in the archive: rows written by hand, an archive of the version before, and
// plans, rooms and places written through the store and read back.
#include "plans/plan_store.h"

#include "archive/archive_schema.h"
#include "plans/plan_image.h"
#include "projects/project_store.h"
#include "support/archive_fixture.h"
#include "support/plan_image.h"

#include <gtest/gtest.h>

#include <fstream>

namespace qm {
namespace {

using test::run_sql;
using PlanStoreTest = test::ArchiveFolder;

const MonitoringPoint kKitchenWall{PointScale::Pin, 2, 1, "Plaster"};
const MonitoringPoint kKitchenAir{PointScale::Air, 2, -1, ""};

ProjectDetails named(std::string name) {
    ProjectDetails d;
    d.name = std::move(name);
    return d;
}

FloorPlan empty_sheet(std::string name, PlanUnits units) {
    FloorPlan p;
    p.name = std::move(name);
    p.units = units;
    return p;
}

// Rows of an archive of version 5, as any writer of the schema may write them.
constexpr const char* kPlanRows = R"sql(
INSERT INTO projects (id, name) VALUES (7, 'Smith');
INSERT INTO project_plans VALUES (7, 'Ground floor', 'ft', NULL, NULL, NULL, NULL,
    0, 0, 12, 0, 12);
INSERT INTO plan_rooms VALUES (3, 7, 'ground FLOOR', 'Kitchen', '0,0 10,0 10,12 0,12', 8);
INSERT INTO plan_points VALUES (7, 'pin', 2, 1, 'Plaster', 'GROUND floor', 9.5, 3.25);
)sql";

TEST_F(PlanStoreTest, RowsWrittenByHandAndAnArchiveOfTheVersionBefore) {
    std::string version4;
    for (std::size_t i = 0; i < 4; ++i) {
        version4 += kArchiveMigrations[i];
    }
    run_sql(path(), version4 + "PRAGMA user_version = 4;");
    const std::unique_ptr<VisitArchive> archive = open();
    ASSERT_TRUE(archive);
    run_sql(path(), kPlanRows);
    PlanStore store(*archive);
    const Result<std::vector<FloorPlan>> plans = store.plans(7);
    ASSERT_TRUE(plans) << plans.error();
    ASSERT_EQ(plans->size(), 1U);
    const FloorPlan& p = plans->front();
    EXPECT_EQ(p.name, "Ground floor");
    EXPECT_EQ(p.scale, (PlanScale{{0, 0}, {12, 0}, 12.0}));
    ASSERT_EQ(p.rooms.size(), 1U);
    EXPECT_EQ(p.rooms[0], (PlanRoom{"Kitchen", rectangle_outline(0, 0, 10, 12), 8.0}));
    EXPECT_DOUBLE_EQ(room_measures(p, p.rooms[0]).area, 120.0);
    EXPECT_EQ(store.placed(7).value(),
              (std::vector<PlacedPoint>{{kKitchenWall, "Ground floor", {9.5, 3.25}}}));
    // A project removed takes its plans with it.
    ASSERT_TRUE(ProjectStore(*archive).remove(7));
    EXPECT_TRUE(store.plans(7)->empty());
    EXPECT_TRUE(store.placed(7)->empty());
}

TEST_F(PlanStoreTest, PlansRoomsAndPlacesRoundTrip) {
    const std::unique_ptr<VisitArchive> archive = open();
    const std::int64_t project = ProjectStore(*archive).create(named("Smith")).value();
    PlanStore store(*archive);
    const ImageRead image = read_plan_image(test::kPlanPng);
    ASSERT_TRUE(image.underlay) << image.problem;
    EXPECT_EQ(image.underlay->width, 240);
    EXPECT_EQ(image.underlay->height, 180);
    FloorPlan first{"Ground floor", PlanUnits::Feet, image.underlay, {}, {}};
    ASSERT_TRUE(store.add_plan(project, first, test::kPlanPng));
    ASSERT_TRUE(store.add_plan(project, empty_sheet("Basement", PlanUnits::Metres)));
    EXPECT_EQ(store.add_plan(project, empty_sheet("BASEMENT", PlanUnits::Feet)).error(),
              "the project has a plan named \"Basement\" already");
    first.scale = PlanScale{{10, 10}, {10, 250}, 12.0};
    ASSERT_TRUE(store.set_scale(project, "ground floor", *first.scale));
    const PlanRoom l_room{
        "Hall & <stairs>", {{0, 0}, {40, 0}, {40, 20}, {20, 20}, {20, 30}, {0, 30}}, std::nullopt};
    first.rooms = {{"Kitchen", rectangle_outline(0, 0, 200, 240), 8.0}, l_room};
    ASSERT_TRUE(store.put_room(project, "Ground floor", {"Kitchen", {{0, 0}, {1, 0}, {0, 1}}, {}}));
    ASSERT_TRUE(store.put_room(project, "Ground floor", l_room));
    ASSERT_TRUE(store.put_room(project, "Ground floor", first.rooms[0])); // replaces, keeps order
    EXPECT_FALSE(store.put_room(project, "Attic", l_room));
    EXPECT_FALSE(store.put_room(project, "Ground floor", {"Bad", {{0, 0}, {1, 1}}, {}}));
    ASSERT_TRUE(store.place(project, {kKitchenWall, "Basement", {1, 2}}));
    ASSERT_TRUE(store.place(project, {kKitchenWall, "Ground floor", {1.0 / 3, 2e-7}})); // moved
    ASSERT_TRUE(store.place(project, {kKitchenAir, "Ground floor", {100, 120}}));
    EXPECT_EQ(store.place(project, {kKitchenAir, "Attic", {1, 1}}).error(),
              "there is no plan named \"Attic\"");

    const std::unique_ptr<VisitArchive> again = open(); // as another program reads it
    PlanStore reread(*again);
    const Result<std::optional<FloorPlan>> got = reread.plan(project, "GROUND FLOOR");
    ASSERT_TRUE(got && *got);
    EXPECT_EQ(**got, first);
    EXPECT_DOUBLE_EQ(room_measures(**got, (*got)->rooms[0]).area, 120.0);
    EXPECT_EQ(reread.placed(project).value(),
              (std::vector<PlacedPoint>{{kKitchenAir, "Ground floor", {100, 120}},
                                        {kKitchenWall, "Ground floor", {1.0 / 3, 2e-7}}}));
    const Result<std::vector<std::uint8_t>> bytes = reread.underlay_bytes(*first.underlay);
    ASSERT_TRUE(bytes) << bytes.error();
    EXPECT_TRUE(
        std::equal(bytes->begin(), bytes->end(), test::kPlanPng.begin(), test::kPlanPng.end()));
    // Changed bytes beside the archive are damage, never a plan without its image.
    std::ofstream(underlay_folder(path()) + "/" + first.underlay->sha256) << "changed";
    EXPECT_TRUE(reread.underlay_bytes(*first.underlay).damaged());
    ASSERT_TRUE(reread.remove_plan(project, "Ground floor"));
    EXPECT_EQ(reread.placed(project)->size(), 0U);
}

TEST(PlanImage, KindsOfFiles) {
    const std::vector<std::uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 0x4A,
                                            0x46, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x01,
                                            0x2C, 0x01, 0x90, 0x01, 0x01, 0x11, 0x00};
    const ImageRead j = read_plan_image(jpeg);
    ASSERT_TRUE(j.underlay) << j.problem;
    EXPECT_EQ(j.underlay->media_type, "image/jpeg");
    EXPECT_EQ(j.underlay->width, 400);
    EXPECT_EQ(j.underlay->height, 300);
    const std::string pdf = "%PDF-1.7\n";
    const std::string text = "plan";
    for (const std::string& bytes :
         {pdf, text, std::string(test::kPlanPng.begin(), test::kPlanPng.begin() + 20)}) {
        const ImageRead r =
            read_plan_image({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
        EXPECT_FALSE(r.underlay);
        EXPECT_FALSE(r.problem.empty());
    }
    const std::string abc = "any carnal pleas";
    EXPECT_EQ(base64({reinterpret_cast<const std::uint8_t*>(abc.data()), abc.size()}),
              "YW55IGNhcm5hbCBwbGVhcw==");
}

} // namespace
} // namespace qm
