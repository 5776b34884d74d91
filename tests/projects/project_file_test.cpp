// A stored week's logs, and the project file that moves a project to another archive whole.
#include "projects/project_file.h"

#include "projects/drying_days.h"
#include "projects/project_log.h"
#include "projects/project_texts.h"
#include "support/archive_fixture.h"
#include "support/drying_week.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using ProjectFileTest = test::ArchiveFolder;
using Bytes = std::vector<std::uint8_t>;

const MonitoringPoint kHallWall{PointScale::Pin, 13, 1, "Plaster"};
const MonitoringPoint kHallFloor{PointScale::Pin, 13, 0, "Doug Fir"};
const MonitoringPoint kKitchenWall{PointScale::Pin, 2, 1, "Plaster"};

// Every figure of the logs as text, so that two logs compare in one line.
std::string log_text(const ProjectLogs& logs) {
    std::string out;
    for (const DryingRow& row : logs.drying.rows) {
        out += point_text(row.point) + (row.dry_on ? " " + iso_date(*row.dry_on) : "") + ":";
        for (const DryingCell& c : row.cells) {
            out += " " + std::to_string(c.value) + "/" + std::to_string(static_cast<int>(c.state));
        }
        out += "\n";
    }
    for (const AirDay& a : logs.air.rows) {
        out += iso_date(a.day) + " " + std::string(air_role_name(a.role)) + " " +
               std::to_string(a.humidity.value_or(-1)) + "\n";
    }
    return out + std::to_string(logs.equipment.equipment_days);
}

// A week attached to one project with standards, roles, a label, equipment and a code name.
std::int64_t store_week_project(ProjectStore& store, VisitArchive& archive) {
    const std::int64_t project = store
                                     .create({"Kitchen \"O'Brien\"", "Ann", "1 Main St\nBack door",
                                              "C:\\9", 20513, 2, 3, ""})
                                     .value();
    for (const std::int64_t visit : test::archive_drying_week(archive)) {
        EXPECT_TRUE(store.attach(project, store.visit_jobs(visit, 2)));
    }
    EXPECT_TRUE(store.set_material_standard(
        project, {"Plaster", PointScale::Pin, {std::nullopt, kHallWall}, 2.0}));
    EXPECT_TRUE(store.set_material_standard(
        project, {"Doug Fir", PointScale::Pin, {std::nullopt, kHallFloor}, 1.5}));
    EXPECT_TRUE(store.set_point_standard(
        project, {{PointScale::Scan, 2, 1, "Plaster"}, {400.0, std::nullopt}, 50.0}));
    EXPECT_TRUE(store.set_label(project, kKitchenWall, "behind the dishwasher\t'; --"));
    EXPECT_TRUE(store.set_role(project, 2, AirRole::Affected));
    EXPECT_TRUE(store.set_role(project, 26, AirRole::DehumidifierOutlet));
    EXPECT_TRUE(store.set_role(project, 27, AirRole::Outside));
    EXPECT_TRUE(store.add_equipment(project, {EquipmentType::AirMover, 3, "kitchen",
                                              parse_iso_date("2026-03-03").value(),
                                              parse_iso_date("2026-03-06").value()}));
    EXPECT_TRUE(store.set_legend_name(project, "MISC1", "dehumidifier"));
    return project;
}

ProjectLogs logs_of(ProjectStore& store, VisitArchive& archive, std::int64_t project) {
    ProjectReadings readings;
    EXPECT_TRUE(load_project_readings(store, archive, project, readings));
    return project_logs(readings, store.settings(project).value(), false);
}

// The week read from the archive gives the log the decoded downloads give, and a project file
// brings the project into an empty archive with the same log.
TEST_F(ProjectFileTest, StoredWeekLogsAndMovesWhole) {
    const std::unique_ptr<VisitArchive> archive = open();
    ProjectStore store(*archive);
    const std::int64_t project = store_week_project(store, *archive);
    const ProjectLogs logs = logs_of(store, *archive, project);
    ASSERT_EQ(logs.drying.days.size(), 7U);
    // The same logs from the downloads decoded in memory.
    std::vector<test::DecodedVisit> decoded;
    std::vector<AttachedJob> jobs;
    for (const Bytes& stream : test::drying_week_streams()) {
        decoded.push_back(test::decode_visit(stream));
        jobs.push_back(
            {std::string(decoded.back().meter.model()), 118, decoded.back().store->all_readings});
    }
    const ProjectSettings settings = store.settings(project).value();
    const ProjectLogs direct{drying_log(jobs, {settings.materials, settings.point_standards}),
                             air_log(jobs, settings.roles(), false), logs.equipment};
    EXPECT_EQ(log_text(logs), log_text(direct));
    EXPECT_EQ(point_text(logs.drying.rows[3].point), "KIT,W/Plaster");
    EXPECT_EQ(logs.drying.rows[3].dry_on, parse_iso_date("2026-03-06"));
    EXPECT_EQ(logs.air.depression.size(), 7U);
    EXPECT_EQ(logs.equipment.equipment_days, 9);

    ProjectPackage package;
    std::string error;
    ASSERT_TRUE(package_project(store, *archive, project, package, error)) << error;
    EXPECT_EQ(package.visits.size(), 7U);
    const Bytes file = encode_project_file(package);
    ProjectPackage read;
    ASSERT_TRUE(decode_project_file(file, read, error)) << error;
    EXPECT_EQ(encode_project_file(read), file);

    const std::unique_ptr<VisitArchive> other = open("other.sqlite");
    ProjectStore other_store(*other);
    // A file whose last visit's bytes hold no readings: nothing is kept.
    ProjectPackage damaged = read;
    damaged.visits.push_back(
        {VisitSource::Download, {1, 0}, {1, 2, 3}, {{RecordKind::Mc, 2, 0, 0, "T", ""}}});
    EXPECT_FALSE(import_project(other_store, *other, damaged, "", error));
    EXPECT_EQ(error, "visit 8 of the file cannot be added to the archive: its bytes hold no "
                     "readings (they are no download stream or .qmk file)");
    EXPECT_EQ(other->count_visits("").value(), 0);
    EXPECT_TRUE(other_store.list()->empty());
    // A visit the archive holds already keeps its own title.
    const AddVisitResult held = archive_source(*other, read.visits[0].bytes, {1, 0});
    ASSERT_TRUE(other->set_annotations(held.visit_id, RecordKind::Mc, 2, "ours", ""));
    const auto imported = import_project(other_store, *other, read, "", error);
    ASSERT_TRUE(imported) << error;
    const VisitSummary kept = other->find_visit(held.visit_id).value().value();
    for (const ArchivedJob& j : kept.jobs) {
        EXPECT_EQ(j.title, j.kind == RecordKind::Mc && j.number == 2 ? "ours" : "");
    }
    EXPECT_EQ(other_store.get(*imported)->details, store.get(project)->details);
    EXPECT_EQ(log_text(logs_of(other_store, *other, *imported)), log_text(logs));
    EXPECT_EQ(legend_name(other_store.settings(*imported)->legend(), "MISC1"), "dehumidifier");
    // A name the archive has is refused before anything is written; another name is not.
    EXPECT_FALSE(import_project(other_store, *other, read, "", error));
    EXPECT_EQ(error, "the archive already has a project named \"Kitchen \"O'Brien\"\"; import it "
                     "under another name (--name NAME)");
    EXPECT_TRUE(import_project(other_store, *other, read, "Kitchen 2", error)) << error;
    EXPECT_EQ(other->count_visits("").value(), 7); // the visits are there once
}

// A file that is damaged or of another kind or version is refused with the reason.
TEST(ProjectFile, DamagedFilesAreRefused) {
    ProjectPackage package;
    package.record.details.name = "P";
    package.visits.push_back({VisitSource::Download, {1, 0}, {1, 2, '\n', 3}, {}});
    package.record.jobs.push_back({0, RecordKind::Mc, 2});
    const Bytes good = encode_project_file(package);
    const std::string text(good.begin(), good.end());
    const auto with = [&](std::string from, std::string to) {
        std::string t = text;
        t.replace(t.find(from), from.size(), to);
        return Bytes(t.begin(), t.end());
    };
    const struct {
        Bytes bytes;
        std::string error;
    } cases[] = {
        {Bytes{'P', 'K', 3, 4}, "not a Quellmark project file"},
        {with("PROJECT\t1", "PROJECT\t2"), "a project file of version 2, which this version of "
                                           "Quellmark does not read (it reads version 1)"},
        {Bytes(good.begin(), good.end() - 5), "damaged at line 4: the file is cut short"},
        {with(std::string{1, 2, '\n', 3}, std::string{1, 2, '\n', 4}),
         "damaged at line 3: a visit's bytes do not match their SHA-256"},
        {with("job\t0", "job\t1"), "damaged at line 4: not a visit"},
        {with("job\t0\tmc\t2", "job\t0\tmc\t6"), "damaged at line 4: not a job"},
        {with("end\n", "end\nmore"), "damaged at line 5: bytes after the end"},
        {with("end\n", "bogus\nend\n"), "damaged at line 5: an unknown record"},
        {with("project\tP", "project\tP\\q"), "damaged at line 2: an unknown escape"},
    };
    for (const auto& c : cases) {
        ProjectPackage out;
        std::string error;
        EXPECT_FALSE(decode_project_file(c.bytes, out, error));
        EXPECT_EQ(error, c.error);
    }
}

} // namespace
} // namespace qm
