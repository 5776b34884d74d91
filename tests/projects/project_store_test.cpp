// Drying projects kept in the archive: the tables against rows written by hand, the migration of
// an archive of the version before, attaching jobs, and the logs of a stored week.
#include "projects/project_store.h"

#include "archive/archive_schema.h"
#include "archive/visit_deletions.h"
#include "projects/drying_days.h"
#include "projects/project_log.h"
#include "projects/project_texts.h"
#include "support/archive_access.h"
#include "support/archive_fixture.h"
#include "support/drying_week.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using test::run_sql;
using ProjectStoreTest = test::ArchiveFolder;

const MonitoringPoint kKitchenWall{PointScale::Pin, 2, 1, "Plaster"};
const MonitoringPoint kHallWall{PointScale::Pin, 13, 1, "Plaster"};
const MonitoringPoint kHallFloor{PointScale::Pin, 13, 0, "Doug Fir"};

ProjectDetails named(std::string name) {
    ProjectDetails d;
    d.name = std::move(name);
    return d;
}

std::int64_t day(const char* iso) {
    return parse_iso_date(iso).value();
}

// An archive of the version before projects, with one visit, laid down by hand.
// The SHA-256 of the visit's two bytes 01 02.
constexpr const char* kVersion1Sha =
    "a12871fee210fb8619291eaea194581cbd2531e4b23759d225f6806923f63222";
constexpr const char* kVersion1Visit = R"sql(
INSERT INTO visits VALUES (4, 'a12871fee210fb8619291eaea194581cbd2531e4b23759d225f6806923f63222',
    1772560800, 3600, 'download', x'524F5420434F4D424F', 1);
INSERT INTO visit_sources VALUES (4, x'0102');
INSERT INTO jobs VALUES (4, 'mc', 2, 118, 1, x'', x'');
INSERT INTO readings VALUES (4, 0, 2, 2, 2, 1, 1, 34.8, 70.0, 26, 3, 3, 9, 5, 13740545);
PRAGMA user_version = 1;
)sql";

TEST_F(ProjectStoreTest, ArchiveOfTheVersionBeforeGainsProjects) {
    run_sql(path(), std::string(kArchiveMigrations[0]) + kVersion1Visit);
    const std::unique_ptr<VisitArchive> archive = open();
    ASSERT_TRUE(archive);
    std::int64_t version = 0;
    ASSERT_TRUE(test::archive_db(*archive).query_int("PRAGMA user_version", version));
    EXPECT_EQ(version, kArchiveSchemaVersion);
    ProjectStore store(*archive);
    const auto project = store.create(named("Smith"));
    ASSERT_TRUE(project) << store.error();
    const JobRef job{4, RecordKind::Mc, 2};
    ASSERT_TRUE(store.attach(*project, {&job, 1})) << store.error();
    ProjectReadings readings;
    ASSERT_TRUE(load_project_readings(store, *archive, *project, readings));
    ASSERT_EQ(readings.attached.size(), 1U);
    EXPECT_EQ(readings.attached[0].job_id, 118);
    ASSERT_EQ(readings.attached[0].readings.size(), 1U);
    EXPECT_EQ(readings.attached[0].readings[0].mc, 34.8);
    EXPECT_EQ(readings.attached[0].readings[0].pin_temperature, 70);
    EXPECT_TRUE(archive->check().value().ok());
}

// An archive of version 3 keeps its attached jobs, now by their visit's SHA-256.
TEST_F(ProjectStoreTest, ArchiveOfVersion3KeepsItsAttachedJobs) {
    run_sql(path(), std::string(kArchiveMigrations[0]) + std::string(kArchiveMigrations[1]) +
                        std::string(kArchiveMigrations[2]) + kVersion1Visit +
                        "INSERT INTO projects (id, name) VALUES (7, 'Smith');"
                        "INSERT INTO project_jobs VALUES (7, 4, 'mc', 2);"
                        "PRAGMA user_version = 3;");
    const std::unique_ptr<VisitArchive> archive = open();
    ProjectStore store(*archive);
    ASSERT_EQ(store.jobs(7)->size(), 1U);
    EXPECT_EQ(store.jobs(7).value()[0].job, (JobRef{4, RecordKind::Mc, 2}));
    EXPECT_EQ(store.attached_keys(7).value(),
              (std::vector<AttachedKey>{{kVersion1Sha, RecordKind::Mc, 2}}));
}

// Rows written by hand, as any writer of the archive's schema (of version 4) may write them.
constexpr const char* kProjectRows = R"sql(
INSERT INTO projects VALUES (7, 'Smith', 'Ann ''A'' Smith', '1 Main St', 'C-9', '2026-03-01',
    2, 3, 'line 1
line 2');
INSERT INTO project_points VALUES (7, 'pin', 2, 1, 'Plaster', 'behind the dishwasher', NULL);
INSERT INTO project_points VALUES (7, 'air', 26, -1, '', '', 'outlet');
INSERT INTO project_standards VALUES (7, 'pin', -1, -1, 'Plaster', 11.0, NULL, NULL, NULL, NULL,
    NULL);
INSERT INTO project_standards VALUES (7, 'pin', -1, -1, 'Doug Fir', NULL, 'pin', 13, 0,
    'Doug Fir', 1.5);
INSERT INTO project_standards VALUES (7, 'scan', 2, 1, 'Plaster', 80.0, NULL, NULL, NULL, NULL,
    5.0);
INSERT INTO project_equipment VALUES (3, 7, 'air mover', 3, 'kitchen', '2026-03-03',
    '2026-03-05');
INSERT INTO project_equipment VALUES (9, 7, 'dehumidifier', 1, '', '2026-03-03', NULL);
INSERT INTO project_legend VALUES (7, 'KIT', 'galley');
)sql";

// Rows of version 5: a removed material, a planned point and a named unit.
constexpr const char* kVersion5Rows = R"sql(
INSERT INTO project_points VALUES (7, 'pin', 13, 0, 'Doug Fir', '', NULL, '2026-03-05',
    'floor cut out, Category 2 water', 0);
INSERT INTO project_points VALUES (7, 'scan', 2, 1, 'Plaster', '', NULL, NULL, '', 1);
INSERT INTO project_equipment VALUES (12, 7, 'air mover', 1, 'hall', '2026-03-04', NULL,
    'AM-0042', 'Vortex 3', 2400.0);
)sql";

// Rows of version 4 are kept by the migration (nothing removed, planned or named), and rows of
// version 5 read back.
TEST_F(ProjectStoreTest, ReadsRowsWrittenByHand) {
    std::string version4;
    for (std::size_t v = 0; v < 4; ++v) {
        version4 += kArchiveMigrations[v];
    }
    run_sql(path(), version4 + kProjectRows + "PRAGMA user_version = 4;");
    {
        const std::unique_ptr<VisitArchive> migrated = open();
        ASSERT_TRUE(migrated);
        const ProjectSettings s = ProjectStore(*migrated).settings(7).value();
        ASSERT_EQ(s.points.size(), 2U);
        EXPECT_TRUE(s.removed_points().empty());
        EXPECT_TRUE(s.planned_points().empty());
        EXPECT_EQ(s.equipment.at(0).entry.unit, "");
        EXPECT_FALSE(s.equipment.at(0).entry.capacity);
    }
    run_sql(path(), kVersion5Rows);
    const std::unique_ptr<VisitArchive> archive = open();
    ProjectStore store(*archive);
    const std::optional<ProjectSummary> found = store.find("SMITH").value();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->details, (ProjectDetails{"Smith", "Ann 'A' Smith", "1 Main St", "C-9",
                                              day("2026-03-01"), 2, 3, "line 1\nline 2"}));
    const ProjectSettings s = store.settings(7).value();
    ASSERT_EQ(s.points.size(), 4U);
    EXPECT_EQ(s.label(kKitchenWall), "behind the dishwasher");
    ASSERT_EQ(s.removed_points().size(), 1U);
    EXPECT_EQ(s.removed_points()[0].point, kHallFloor);
    EXPECT_EQ(s.removed_points()[0].removal,
              (PointRemoval{day("2026-03-05"), "floor cut out, Category 2 water"}));
    EXPECT_EQ(s.planned_points(),
              (std::vector<MonitoringPoint>{{PointScale::Scan, 2, 1, "Plaster"}}));
    EXPECT_EQ(s.roles().size(), 1U);
    EXPECT_EQ(s.roles()[0].location, 26);
    EXPECT_EQ(s.roles()[0].role, AirRole::DehumidifierOutlet);
    ASSERT_EQ(s.materials.size(), 2U); // by material name
    EXPECT_EQ(s.materials[0].material, "Doug Fir");
    EXPECT_EQ(s.materials[0].standard.reference, kHallFloor);
    EXPECT_EQ(s.materials[0].tolerance, 1.5);
    EXPECT_EQ(s.materials[1].standard.value, 11.0);
    EXPECT_EQ(s.materials[1].tolerance, kDefaultTolerance);
    ASSERT_EQ(s.point_standards.size(), 1U);
    EXPECT_EQ(s.point_standards[0].point, (MonitoringPoint{PointScale::Scan, 2, 1, "Plaster"}));
    EXPECT_EQ(s.point_standards[0].tolerance, 5.0);
    ASSERT_EQ(s.equipment.size(), 3U);
    EXPECT_EQ(s.equipment[2].entry,
              (EquipmentEntry{EquipmentType::AirMover, 1, "hall", day("2026-03-04"), std::nullopt,
                              "AM-0042", "Vortex 3", 2400.0}));
    EXPECT_EQ(s.equipment[0].id, 3);
    EXPECT_EQ(s.equipment[0].entry.type, EquipmentType::AirMover);
    EXPECT_EQ(s.equipment[0].entry.removed, day("2026-03-05"));
    EXPECT_FALSE(s.equipment[1].entry.removed);
    EXPECT_EQ(legend_name(s.legend(), "KIT"), "galley");
    EXPECT_EQ(legend_name(s.legend(), "LR"), "living room");
    // Another project's changes never reach Smith's equipment.
    const std::int64_t jones = store.create(named("Jones")).value();
    EXPECT_FALSE(store.update_equipment(jones, 3, s.equipment[1].entry));
    EXPECT_EQ(store.error(), "the project has no such equipment entry");
    EXPECT_FALSE(store.remove_equipment(jones, 3));
    const std::vector<StoredEquipment> after = store.settings(7)->equipment;
    ASSERT_EQ(after.size(), 3U);
    EXPECT_EQ(after[0].entry.type, EquipmentType::AirMover);
    EXPECT_EQ(after[0].entry.count, 3);
}

// A removal and a planned mark keep a point's row; taking both back leaves none. A removal needs an
// MC point and a reason, a unit's capacity a number of 0 or more.
TEST_F(ProjectStoreTest, RemovedAndPlannedPointsAreKeptUntilTakenBack) {
    const std::unique_ptr<VisitArchive> archive = open();
    ProjectStore store(*archive);
    const std::int64_t id = store.create(named("Smith")).value();
    const PointRemoval cut{day("2026-03-05"), "drywall cut 2 ft"};
    ASSERT_TRUE(store.set_removed(id, kKitchenWall, cut)) << store.error();
    ASSERT_TRUE(store.set_planned(id, kHallWall, true)) << store.error();
    EXPECT_FALSE(store.set_removed(id, {PointScale::Air, 2, -1, ""}, cut));
    EXPECT_EQ(store.error(), "an RH/T point has no material to remove");
    EXPECT_FALSE(store.set_removed(id, kHallWall, PointRemoval{cut.on, " "}));
    EXPECT_EQ(store.error(), "a removed material needs a reason");
    EXPECT_FALSE(store.add_equipment(
        id, {EquipmentType::AirMover, 1, "", cut.on, std::nullopt, "AM-1", "", -5.0}));
    EXPECT_EQ(store.error(), "a rated capacity is a number, 0 or more");
    ProjectSettings s = store.settings(id).value();
    ASSERT_EQ(s.removed_points().size(), 1U);
    EXPECT_EQ(s.removed_points()[0].removal, cut);
    EXPECT_EQ(s.planned_points(), std::vector<MonitoringPoint>{kHallWall});
    ASSERT_TRUE(store.set_removed(id, kKitchenWall, std::nullopt));
    ASSERT_TRUE(store.set_planned(id, kHallWall, false));
    EXPECT_TRUE(store.settings(id)->points.empty());
}

// Texts go in as parameters: quotes, backslashes and SQL are stored as they are.
TEST_F(ProjectStoreTest, TextsAreStoredAsTheyAre) {
    const std::unique_ptr<VisitArchive> archive = open();
    ProjectStore store(*archive);
    const std::string texts[] = {"O'Brien \"Kitchen\"", "C:\\claims\\2026",
                                 "x'); DROP TABLE "
                                 "projects; --",
                                 "Straße 5\n2nd floor"};
    for (const std::string& text : texts) {
        const auto id = store.create(ProjectDetails{text, text, text, "", {}, {}, {}, ""});
        ASSERT_TRUE(id) << store.error();
        ASSERT_TRUE(store.set_label(*id, kKitchenWall, text));
        SqliteStatement row(test::archive_db(*archive),
                            "SELECT p.name, p.client, l.label FROM projects p JOIN "
                            "project_points l ON l.project_id = p.id WHERE p.id = ?1");
        ASSERT_TRUE(row.bind(1, *id).step());
        EXPECT_EQ(row.column_text(0), text);
        EXPECT_EQ(row.column_text(1), text);
        EXPECT_EQ(row.column_text(2), text);
    }
    EXPECT_EQ(store.list()->size(), 4U);
}

TEST_F(ProjectStoreTest, NamesAreUniqueAndNeverEmpty) {
    const std::unique_ptr<VisitArchive> archive = open();
    ProjectStore store(*archive);
    const auto smith = store.create(named("Smith"));
    ASSERT_TRUE(smith);
    const auto jones = store.create(named("Jones"));
    for (const char* name : {"Smith", "smith", "", "  "}) {
        EXPECT_FALSE(store.create(named(name))) << name;
        EXPECT_NE(store.error(), "") << name;
    }
    EXPECT_EQ(store.error(), "a project needs a name");
    EXPECT_FALSE(store.update_details(*jones, named("SMITH")));
    EXPECT_EQ(store.error(), "a project named \"SMITH\" already exists");
    EXPECT_TRUE(
        store.update_details(*smith, ProjectDetails{"Smith", "", "", "C-1", {}, {}, {}, ""}));
    EXPECT_EQ(store.list()->size(), 2U);
}

TEST_F(ProjectStoreTest, AttachingChangesNoVisitAndRefusesJobsNotHeld) {
    const std::unique_ptr<VisitArchive> archive = open();
    const std::vector<std::int64_t> week = test::archive_drying_week(*archive);
    ProjectStore store(*archive);
    const std::int64_t project = store.create(named("Kitchen")).value();
    const std::vector<JobRef> day1 = store.visit_jobs(week[0], std::nullopt);
    ASSERT_EQ(day1,
              (std::vector<JobRef>{{week[0], RecordKind::Mc, 2}, {week[0], RecordKind::Rh, 2}}));
    const std::optional<VisitSummary> before = archive->find_visit(week[0]).value();
    ASSERT_TRUE(store.attach(project, day1));
    // A job the visit does not hold: nothing of the list is attached.
    const JobRef with_missing[] = {{week[1], RecordKind::Mc, 2}, {week[1], RecordKind::Mc, 4}};
    EXPECT_FALSE(store.attach(project, with_missing));
    EXPECT_EQ(store.error(), "visit " + std::to_string(week[1]) + " holds no MC job 4");
    EXPECT_EQ(store.jobs(project)->size(), 2U);
    // The other days' jobs of the same meter and job ID are proposed, in the order received.
    const std::vector<ProjectJob> proposed = store.proposed_jobs(project);
    ASSERT_EQ(proposed.size(), 12U);
    EXPECT_EQ(proposed[0].job.visit_id, week[1]);
    EXPECT_EQ(proposed[0].job_id, 118);
    ASSERT_TRUE(store.attach(project, store.visit_jobs(week[1], 2)));
    EXPECT_EQ(store.proposed_jobs(project).size(), 10U);
    // A job attached to another project is not proposed again.
    const std::int64_t other = store.create(named("Other")).value();
    ASSERT_TRUE(store.attach(other, store.visit_jobs(week[2], std::nullopt)));
    EXPECT_EQ(store.proposed_jobs(project).size(), 8U);
    EXPECT_EQ(store.projects_of_visit(week[2]).value(), std::vector<std::string>{"Other"});
    EXPECT_TRUE(store.projects_of_visit(week[3])->empty());
    EXPECT_TRUE(store.proposed_jobs(store.create(named("Empty")).value()).empty());

    ASSERT_TRUE(store.detach(project, day1));
    EXPECT_EQ(store.jobs(project)->size(), 2U);
    EXPECT_EQ(archive->find_visit(week[0]).value()->sha256, before->sha256);
    EXPECT_EQ(archive->find_visit(week[0]).value()->readings, before->readings);
    EXPECT_TRUE(archive->check().value().ok());
    // Removing a visit takes its readings out of the project, not its attachments: the same
    // bytes added again show them again. Removing a project leaves the visits.
    std::vector<std::uint8_t> bytes;
    VisitSource kind = VisitSource::Download;
    ASSERT_TRUE(archive->read_source(week[1], bytes, kind).ok());
    const std::string sha = archive->find_visit(week[1]).value()->sha256;
    ASSERT_TRUE(archive->remove_visit(week[1]));
    EXPECT_FALSE(archive->remove_visit(week[1]));
    EXPECT_EQ(archive->error(), "");
    EXPECT_TRUE(store.jobs(project)->empty());
    EXPECT_EQ(store.get(project)->jobs, 0);
    EXPECT_EQ(store.attached_keys(project)->size(), 2U);
    EXPECT_EQ(store.absent_attached_visits().value(), std::vector<std::string>{sha});
    EXPECT_EQ(archive->deleted_visits().value(), std::set<std::string>{sha});
    ASSERT_EQ(archive_source(*archive, bytes, received_now()).status,
              AddVisitResult::Status::Added);
    EXPECT_EQ(store.jobs(project)->size(), 2U);
    EXPECT_TRUE(archive->deleted_visits()->empty());
    EXPECT_TRUE(store.absent_attached_visits()->empty());
    ASSERT_TRUE(store.remove(other));
    EXPECT_EQ(archive->count_visits("").value(), 7);
}

// An archive of a newer version is opened read-only: its projects are read, none is changed.
TEST_F(ProjectStoreTest, ReadOnlyArchiveChangesNothing) {
    {
        const std::unique_ptr<VisitArchive> archive = open();
        ASSERT_TRUE(ProjectStore(*archive).create(named("Smith")));
    }
    run_sql(path(), "PRAGMA user_version = " + std::to_string(kArchiveSchemaVersion + 1));
    const OpenedArchive opened = open_archive(path());
    ASSERT_TRUE(opened.archive && opened.archive->read_only());
    ProjectStore store(*opened.archive);
    const std::int64_t smith = store.find("Smith").value()->id;
    EXPECT_FALSE(store.create(named("Jones")));
    EXPECT_FALSE(store.set_label(smith, kKitchenWall, "x"));
    EXPECT_EQ(store.error(),
              "the archive " + path() + " is open read-only: nothing can be changed");
    EXPECT_EQ(store.list()->size(), 1U);
}

// A read the archive cannot answer is an error, never an empty project list, job list or log.
TEST_F(ProjectStoreTest, ReadsThatFailAreErrors) {
    const std::unique_ptr<VisitArchive> archive = open();
    ProjectStore store(*archive);
    const std::int64_t smith = store.create(named("Smith")).value();
    ASSERT_TRUE(store.list()->size() == 1 && store.settings(smith));
    run_sql(path(), "DROP TABLE project_jobs; DROP TABLE project_legend; DROP TABLE readings");
    ProjectReadings readings;
    const JobRef job{1, RecordKind::Mc, 1};
    for (const std::string& error :
         {store.list().error(), store.find("Smith").error(), store.jobs(smith).error(),
          store.projects_of_visit(1).error(), store.settings(smith).error(),
          load_project_readings(store, *archive, smith, readings).error(),
          archive->job_readings({&job, 1}).error()}) {
        EXPECT_NE(error.find("no such table"), std::string::npos) << error;
    }
}

} // namespace
} // namespace qm
