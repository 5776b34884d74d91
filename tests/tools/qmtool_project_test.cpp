// qmtool project as a user runs it on a week of visits in the archive.
#include "support/archive_fixture.h"
#include "support/drying_week.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>

namespace qm {
namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string read_text(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct QmtoolProject : test::ArchiveFolder {
    // Runs "qmtool project ARGS --archive ARCHIVE" (arguments quoted for the shell already).
    ToolRun project(const std::string& args, const std::string& archive = "archive.sqlite") {
        return tool("project " + args + " --archive " + path(archive));
    }
    ToolRun tool(const std::string& args) {
        const std::string command = "timeout 60 " + std::string(QM_QMTOOL_PATH) + " " + args +
                                    " >" + path("out") + " 2>" + path("err");
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_text(path("out")),
                read_text(path("err"))};
    }
    void expect_ok(const std::string& args) {
        const ToolRun run = project(args);
        EXPECT_EQ(run.status, 0) << args << ": " << run.err;
    }
};

// The project's name holds quotes, a backslash and SQL; the shell gets it in single quotes.
const std::string kName = R"('Kitchen "O'\''Brien" \ x'\''); DROP TABLE projects; --')";
const std::string kStoredName = R"(Kitchen "O'Brien" \ x'); DROP TABLE projects; --)";

TEST_F(QmtoolProject, WeekAttachedLoggedExportedAndImported) {
    {
        const std::unique_ptr<VisitArchive> archive = open();
        ASSERT_TRUE(archive);
        test::archive_drying_week(*archive);
    }
    expect_ok("create " + kName +
              " --client 'Ann Smith' --loss-date 2026-03-02 --category 2 "
              "--class 3");
    expect_ok("attach " + kName + " 1 2 3 4:2 5:2 6 7");
    expect_ok("standard " + kName + " --material Plaster --reference 'HL1,W/Plaster'");
    // The tolerance alone keeps the standard set before it.
    expect_ok("standard " + kName + " --material 'Doug Fir' --reference 'HL1,F/Doug Fir'");
    expect_ok("standard " + kName + " --material 'Doug Fir' --tolerance 1.5");
    expect_ok("standard " + kName + " --point 'KIT,W/Plaster scan' --value 400 --tolerance 50");
    expect_ok("label " + kName + " 'KIT,W/Plaster' 'behind the \"dishwasher\"'");
    expect_ok("role " + kName + " KIT affected");
    expect_ok("role " + kName + " MISC1 outlet");
    expect_ok("equipment " + kName +
              " add --type dehumidifier --count 1 --place kitchen "
              "--placed 2026-03-03 --removed 2026-03-06");

    ToolRun run = project("list");
    EXPECT_EQ(run.out, kStoredName + "\t14 jobs\tAnn Smith\t\n");
    run = project("log " + kName + " --json");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string log = run.out;
    for (const char* part :
         {R"({"point":"KIT,W/Plaster","label":"behind the \"dishwasher\"","kind":"pin",)"
          R"("reference":false,"standard":"HL1,W/Plaster","tolerance":2,"goal":null,)"
          R"("dry_on":"2026-03-06","days":[{"date":"2026-03-03",)",
          R"({"point":"KIT,W/Plaster scan","label":"","kind":"scan","reference":false,)"
          R"("standard":400,"tolerance":50,"goal":450,)",
          R"({"date":"2026-03-03","role":"affected","points":1,)",
          R"({"point":"KIT,F/Doug Fir","label":"","kind":"pin","reference":false,)"
          R"("standard":"HL1,F/Doug Fir","tolerance":1.5,)",
          R"({"point":"HL1,W/Plaster","label":"","kind":"pin","reference":true,)"
          R"("standard":null,)",
          R"("equipment_days":3})"}) {
        EXPECT_NE(log.find(part), std::string::npos) << part << "\n" << log;
    }

    ASSERT_EQ(project("export " + kName + " --out " + path("kitchen.qmproject")).status, 0);
    struct stat st {};
    ASSERT_EQ(::stat(path("kitchen.qmproject").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600U);
    run = project("import " + path("kitchen.qmproject"), "empty.sqlite");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(project("log " + kName + " --json", "empty.sqlite").out, log);
    run = project("import " + path("kitchen.qmproject"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "qmtool project: the archive already has a project named \"" + kStoredName +
                           "\"; import it under another name (--name NAME)\n");

    // Who read each day, with which meter, and a failed calibration check mark the day; each
    // point's day shows the time of its reading.
    const std::string archive = "--archive " + path() + " ";
    ASSERT_EQ(tool(archive + "meter add 'Red one' --serial R-9").status, 0);
    run = tool(archive + "archive evidence 3 --technician 'Ann Lee' --meter 'red ONE'");
    ASSERT_EQ(run.status, 0) << run.err;
    run = tool(archive + "archive check-standard 3 --read 13.4 --expected 12 --on 2026-03-05");
    EXPECT_EQ(run.out, "Visit 3: checked 3/5, 13.4 on a 12.0 block \u2717 off by 1.4\n");
    ASSERT_EQ(tool(archive + "archive check-standard 2 --read 12.1 --expected 12 --pinless").status,
              0);
    run = project("log " + kName + " --json");
    for (const char* part :
         {R"("days":[{"date":"2026-03-03","time":")",
          R"({"date":"2026-03-05","check_failed":true,"visits":[{"visit":3,)"
          R"("technician":"Ann Lee","meter_name":"Red one","meter_serial":"R-9",)"
          R"("check":{"standard":"block","read":13.4,"expected":12,"on":"2026-03-05",)"
          R"("passed":false}}]})",
          R"({"date":"2026-03-04","check_failed":false,"visits":[{"visit":2,"technician":"",)"
          R"("meter_name":"","meter_serial":"","check":{"standard":"pad","read":12.1,)"
          R"("expected":12,"on":"2026-03-04","passed":true}}]})"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
    }
    run = project("log " + kName);
    EXPECT_NE(run.out.find("2026-03-05 check failed\tAnn Lee\tvisit 3 (Ann Lee, meter Red one; "
                           "checked 3/5, 13.4 on a 12.0 block \u2717 off by 1.4)\n"),
              std::string::npos)
        << run.out;
    run = tool(archive + "archive list --json");
    EXPECT_NE(run.out.find(R"("technician": "Ann Lee", "meter_name": "Red one")"),
              std::string::npos);

    // Removing a visit says which day leaves the log; the project keeps its jobs for the team.
    run = tool("--archive " + path() + " archive remove 5");
    EXPECT_EQ(run.out, "Visit 5 removed.\nDay 5 of \u201C" + kStoredName +
                           "\u201D will leave its drying log.\nOther laptops keep it.\n");
    EXPECT_EQ(project("list").out, kStoredName + "\t12 jobs\tAnn Smith\t\n");
}

TEST_F(QmtoolProject, FailuresAndUsage) {
    {
        const std::unique_ptr<VisitArchive> archive = open();
        ASSERT_TRUE(archive);
        ASSERT_EQ(archive_source(*archive, test::drying_week_streams()[0], received_now()).status,
                  AddVisitResult::Status::Added);
    }
    expect_ok("create Smith");
    const struct {
        std::string args;
        int status;
        std::string error; // the first line on stderr
    } cases[] = {
        {"create smith", 1, "a project named \"smith\" already exists"},
        {"attach Smith 1:4", 1, "visit 1 holds no job 4"},
        {"attach Smith 9", 1, "there is no visit 9 in the archive"},
        {"attach Jones 1", 1, "there is no project named \"Jones\""},
        {"equipment Smith remove 1", 1, "the project has no equipment entry 1"},
        {"import " + path("missing"), 1, path("missing") + ": No such file or directory"},
        {"", 2, "which subcommand?"},
        {"frobnicate", 2, "unknown subcommand 'frobnicate'"},
        {"create", 2, "create: wrong number of arguments"},
        {"create P --category 4", 2, "--category is 1 to 3"},
        {"create P --loss-date 2026-02-30", 2, "--loss-date is a date YYYY-MM-DD: 2026-02-30"},
        {"attach Smith 1:6", 2, "a job is VISIT or VISIT:JOB (JOB 1 to 5): 1:6"},
        {"label Smith KIT/W 'x'", 2, "not a point: KIT/W"},
        {"role Smith 'KIT,W/Plaster' outlet", 2,
         "an RH/T point is a location alone (\"KIT\"): KIT,W/Plaster"},
        {"standard Smith --material Plaster --value 1 --reference HL1", 2,
         "standard: give --material NAME or --point POINT, and one of --value, --reference or "
         "--clear"},
        {"equipment Smith add --type boat --placed 2026-03-03", 2,
         "--type is dehumidifier, air-mover, heater or other"},
        {"export Smith", 2, "export needs --out FILE"},
        {"label Smith KIT \"$(printf '\\377')\"", 2, "label: a text that is not UTF-8"},
    };
    for (const auto& c : cases) {
        const ToolRun run = project(c.args);
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), "qmtool project: " + c.error) << c.args;
    }
    EXPECT_EQ(project("list").out, "Smith\t0 jobs\t\t\n");
    expect_ok("create Jones --client J --category 2");
    expect_ok("set Jones --name 'Jones 2' --site 'High St' --category none");
    EXPECT_EQ(project("set 'Jones 2' --name SMITH").err,
              "qmtool project: a project named \"SMITH\" already exists\n");
    expect_ok("remove Smith");
    EXPECT_EQ(project("list").out, "Jones 2\t0 jobs\tJ\tHigh St\n");
    // A text from the team server is shown to the terminal, never obeyed by it.
    expect_ok("set 'Jones 2' --client \"$(printf 'J\\033]0;t\\007')\" --site "
              "\"$(printf 'H\\302\\2332J')\"");
    EXPECT_EQ(project("list").out, "Jones 2\t0 jobs\tJ\\x1b]0;t\\x07\tH\\xc2\\x9b2J\n");
}

} // namespace
} // namespace qm
