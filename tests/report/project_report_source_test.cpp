// The project whose report the report dialog offers, and the report's jobs, from the archive.
#include "report/project_report_source.h"

#include "projects/project_store.h"
#include "support/archive_fixture.h"
#include "support/drying_week.h"

#include <gtest/gtest.h>

namespace qm {
namespace {

using ProjectReportSource = test::ArchiveFolder;

ReportJob job_of(RecordKind kind, std::int32_t number) {
    ReportJob job;
    job.kind = kind;
    job.job = number;
    return job;
}

TEST_F(ProjectReportSource, OfferedOnlyWhenEverySelectedJobBelongsToTheProject) {
    const std::unique_ptr<VisitArchive> archive = open();
    ASSERT_TRUE(archive);
    const std::vector<std::int64_t> visits = test::archive_drying_week(*archive);
    ProjectStore store(*archive);
    ProjectDetails details;
    details.name = "Miller";
    const std::int64_t project = store.create(details).value();
    const JobRef attached[] = {{visits[0], RecordKind::Mc, 2}, {visits[1], RecordKind::Mc, 2}};
    ASSERT_TRUE(store.attach(project, attached));
    ASSERT_TRUE(store.set_legend_name(project, "KIT", "Miller's kitchen"));

    const ReportJob mc = job_of(RecordKind::Mc, 2);
    const ReportJob rh = job_of(RecordKind::Rh, 2);
    const struct {
        std::int64_t visit;
        std::vector<ReportJob> selected;
        std::optional<std::string> offered;
    } cases[] = {
        {visits[0], {mc}, "Miller"},         {visits[1], {mc}, "Miller"},
        {visits[0], {mc, rh}, std::nullopt}, // the RH/T job is attached to no project
        {visits[2], {mc}, std::nullopt},     {visits[0], {}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(project_of_jobs(*archive, c.visit, c.selected), c.offered) << c.visit;
    }

    // The report's jobs: each attached job as its visit holds it, in the order of the visits.
    ProjectReportData data;
    std::string error;
    ASSERT_TRUE(load_project_report(*archive, "miller", {}, data, error)) << error;
    ASSERT_EQ(data.jobs.size(), 2u);
    EXPECT_EQ(data.jobs[0].job_id, 118);
    EXPECT_EQ(data.jobs[1].readings.size(), 9u); // day 2: 13 readings, 4 of them RH/T
    EXPECT_EQ(data.project->title, "Miller");
    // The visits' sections name the codes as the project does.
    EXPECT_EQ(data.codes.areas[2], "Miller's kitchen");
    EXPECT_EQ(data.codes.areas[0], default_code_names().areas[0]);
    EXPECT_FALSE(load_project_report(*archive, "Jones", {}, data, error));
    EXPECT_EQ(error, "there is no project named \"Jones\"");
}

TEST_F(ProjectReportSource, SectionsFollowTheMetersClockNotTheArchive) {
    const std::unique_ptr<VisitArchive> archive = open();
    ASSERT_TRUE(archive);
    const std::vector<std::int64_t> visits = test::archive_drying_week(*archive);
    // Day 1 deleted and received again after day 3.
    ASSERT_TRUE(archive->remove_visit(visits[0]));
    const AddVisitResult again = archive_source(*archive, test::drying_week_streams()[0],
                                                {test::kWeekStartUtc + 5 * 86400, 3600});
    ASSERT_EQ(again.status, AddVisitResult::Status::Added) << again.error;
    ProjectStore store(*archive);
    ProjectDetails details;
    details.name = "Miller";
    const std::int64_t project = store.create(details).value();
    const JobRef attached[] = {{visits[1], RecordKind::Mc, 2},
                               {visits[2], RecordKind::Mc, 2},
                               {again.visit_id, RecordKind::Mc, 2}};
    ASSERT_TRUE(store.attach(project, attached));
    ProjectReportData data;
    std::string error;
    ASSERT_TRUE(load_project_report(*archive, "Miller", {}, data, error)) << error;
    ASSERT_EQ(data.jobs.size(), 3u);
    for (int day = 0; day < 3; ++day) {
        EXPECT_EQ(data.jobs[static_cast<std::size_t>(day)].readings.front().day, 3 + day);
    }
    EXPECT_EQ(section_title(data.jobs[0], {}), "Tue 3/3/26 11:45AM \x96 Job #2");
    data.jobs[0].technician = "J. Tech";
    EXPECT_EQ(section_title(data.jobs[0], {false, true}),
              "Tue 3/3/26 11:45AM \x96 Job #2 \x96 J. Tech");
}

} // namespace
} // namespace qm
