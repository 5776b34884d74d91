// qmtool project as a user runs it on a week of visits in the archive.
#include "support/archive_fixture.h"
#include "support/drying_week.h"
#include "support/plan_image.h"

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
          R"("equipment_days":3,)", R"("warnings":[]})"}) {
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

    // The kitchen floor cut out on day 4 is no longer judged and leaves the points not yet dry; a
    // planned point shows, not read yet; a named air mover still running counts to the last day
    // read (2026-03-09), never to the day the log is made.
    expect_ok("removed " + kName + " 'KIT,F/Doug Fir' --on 2026-03-06 --reason 'floor cut out'");
    expect_ok("point add " + kName + " 'BATH1,W/Plaster' --label tub");
    expect_ok("equipment " + kName +
              " add --type air-mover --placed 2026-03-04 --unit AM-42 --model 'Vortex 3' "
              "--capacity 2400");
    run = project("log " + kName + " --json");
    for (
        const char* part :
        {"\"points\":[\n{\"point\":\"BATH1,F/Doug Fir\"",
         R"({"date":"2026-03-06","time":"11:51","value":14.6,"goal":null,"dry":null,"removed":true})",
         R"("removed":{"on":"2026-03-06","reason":"floor cut out"}})",
         R"({"point":"BATH1,W/Plaster","label":"tub","kind":"pin","reference":false,)"
         R"("standard":"HL1,W/Plaster","tolerance":2,"goal":null,"dry_on":null,"days":[],)"
         R"("removed":null})",
         R"("unit":"AM-42","model":"Vortex 3","capacity":2400,"days":5,"equipment_days":5,)",
         R"({"date":"2026-03-05","dehumidifier":1,"air mover":1,"heater":0,"other":0})",
         R"("equipment_days":8,)"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
    }
    run = project("log " + kName);
    EXPECT_NE(run.out.find("\tremoved 2026-03-06\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Removed materials\nPoint\tLabel\tRemoved\tReason\n"
                           "KIT,F/Doug Fir\t\t2026-03-06\tfloor cut out\n"),
              std::string::npos)
        << run.out;
    expect_ok("removed " + kName + " 'KIT,F/Doug Fir' --clear");
    expect_ok("point drop " + kName + " 'BATH1,W/Plaster'");
    EXPECT_EQ(project("log " + kName + " --json").out.find("removed\":{"), std::string::npos);
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

    // A date of loss after every reading: a finding of the check and a warning of the log.
    EXPECT_EQ(project("check " + kName).out, kStoredName + ": no findings\n");
    expect_ok("set " + kName + " --loss-date 2026-03-20");
    const std::string warning = "The date of loss (2026-03-20) is after every reading (the last "
                                "on 2026-03-09).";
    EXPECT_EQ(project("check " + kName).out,
              kStoredName + ": 1 finding\nWarning: " + warning + "\n");
    EXPECT_NE(project("check " + kName + " --json")
                  .out.find(R"({"kind":"loss-after-readings","text":")" + warning +
                            R"(","days":["2026-03-20","2026-03-09"],"points":[]})"),
              std::string::npos);
    EXPECT_NE(project("log " + kName).out.find("\nWarning: " + warning + "\n"), std::string::npos);
}

// A plan on an image, scaled by a marked length, its rooms and points, and the map of a day.
TEST_F(QmtoolProject, PlanScaledPlacedAndMapped) {
    {
        const std::unique_ptr<VisitArchive> archive = open();
        test::archive_drying_week(*archive);
    }
    std::ofstream(path("plan.png"), std::ios::binary)
        .write(reinterpret_cast<const char*>(test::kPlanPng.data()), test::kPlanPng.size());
    std::ofstream(path("plan.pdf")) << "%PDF-1.7\n";
    expect_ok("create Smith");
    expect_ok("attach Smith 1 2 3 4 5 6 7");
    expect_ok("standard Smith --material Plaster --reference 'HL1,W/Plaster'");
    expect_ok("standard Smith --material 'Doug Fir' --reference 'HL1,F/Doug Fir'");
    expect_ok("plan add Smith 'Ground floor' --image " + path("plan.png"));
    // Before the scale, places are pixels; 12 ft marked over 240 pixels, then feet.
    expect_ok("plan room Smith 'Ground floor' Hall --polygon 200,0,240,0,240,180,220,180");
    expect_ok("plan scale Smith 'Ground floor' --from 0,170 --to 240,170 --length 12ft");
    expect_ok("plan room Smith 'Ground floor' Kitchen --rect 0,0,10,12 --height 8ft");
    expect_ok("place Smith 'KIT,F/Doug Fir' --plan 'Ground floor' --at 5,6");
    expect_ok("place Smith 'KIT,W/Plaster' --plan 'Ground floor' --at 0,6");
    ToolRun run = project("plan list Smith --json");
    for (const char* part :
         {R"("underlay":{"sha256":")", R"(","type":"image/png","width":240,"height":180},)",
          R"({"name":"Hall","outline":[[10,0],[12,0],[12,9],[11,9]],"area":13.5,)",
          R"({"name":"Kitchen","outline":[[0,0],[10,0],[10,12],[0,12]],"area":120,)"
          R"("walls":[10,12,10,12],"perimeter":44,"height":8,"volume":960})",
          R"({"point":"KIT,F/Doug Fir","at":[5,6]})",
          R"("unplaced":["KIT","KIT,W/Plaster scan","KIT,C/Plaster",)"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
    }
    // Day 6: the kitchen floor is wet again, the wall dry, the kitchen shaded.
    expect_ok("map Smith --plan 'ground floor' --day 2026-03-08 --out " + path("day6.svg"));
    const std::string svg = read_text(path("day6.svg"));
    for (const char* part :
         {R"(<g class="point" data-point="KIT,F/Doug Fir" data-state="wet">)",
          R"(<g class="point" data-point="KIT,W/Plaster" data-state="dry">)",
          R"(class="affected"/><text class="name")", "xlink:href=\"data:image/png;base64,iVBOR"}) {
        EXPECT_NE(svg.find(part), std::string::npos) << part;
    }
#ifdef QM_REPORT_AVAILABLE
    expect_ok("map Smith --plan 'Ground floor' --day 2026-03-08 --out " + path("day6.PNG"));
    EXPECT_EQ(read_text(path("day6.PNG")).substr(1, 3), "PNG");
#endif
    const struct {
        std::string args;
        std::string error;
    } refused[] = {
        {"plan add Smith Attic --image " + path("plan.pdf"),
         path("plan.pdf") + ": a PDF page cannot be a plan's underlay yet: save the page as a PNG "
                            "or JPEG image and add that"},
        {"plan add Smith 'GROUND FLOOR'", "the project has a plan named \"Ground floor\" already"},
        {"plan scale Smith 'Ground floor' --from 0,0 --to 0,0 --length 1m",
         "the marked length needs two different ends"},
        {"map Smith --plan 'Ground floor' --day 2026-03-10 --out " + path("x.svg"),
         "no point was read on 2026-03-10 (the log runs from 2026-03-03 to 2026-03-09)"},
        {"place Smith KIT --plan Attic --at 1,1", "the project has no plan named \"Attic\""},
    };
    for (const auto& r : refused) {
        run = project(r.args);
        EXPECT_EQ(run.status, 1) << r.args;
        EXPECT_EQ(run.err, "qmtool project: " + r.error + "\n") << r.args;
    }
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
        {"plan add Smith P --page 2", 2, "plan add: --page names a page of the --image file"},
        {"plan scale Smith P --from 0,0 --to 1 --length 3ft", 2,
         "plan scale: --from and --to are places X,Y"},
        {"plan room Smith P R --rect 1,2,3", 2, "plan room: --rect is X,Y,W,H"},
        {"place Smith KIT --plan P", 2, "place: --plan PLAN and --at X,Y are needed"},
        {"map Smith --plan P --day 2026-03-03 --out m.pdf", 2,
         "map: --out names an .svg or a .png file"},
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
        {"removed Smith 'KIT,W/Plaster' --on 2026-03-05", 2,
         "removed: give --on YYYY-MM-DD and --reason TEXT, or --clear"},
        {"removed Smith KIT --clear", 2, "not a pin or scan point: KIT"},
        {"removed Smith 'KIT,W/Plaster' --on 2026-13-01 --reason x", 2,
         "--on is a date YYYY-MM-DD: 2026-13-01"},
        {"point add Smith KIT/W", 2, "not a point: KIT/W"},
        {"equipment Smith add --type heater --placed 2026-03-03 --capacity -1", 2,
         "--capacity is a number, 0 or more (or none): -1"},
        {"label Smith KIT \"$(printf '\\377')\"", 2, "label: a text that is not UTF-8"},
        {"photo add Smith " + path("missing.jpg"), 1,
         path("missing.jpg") + " cannot be read: No such file or directory"},
        {"photo add Smith --folder " + path("none"), 1,
         "The folder " + path("none") + " cannot be read: No such file or directory"},
        {"photo remove Smith abcd", 1, "the project has no photo abcd"},
        {"photo add Smith x.jpg --day 2026-02-30", 2,
         "photo add: --day is a date YYYY-MM-DD: 2026-02-30"},
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
