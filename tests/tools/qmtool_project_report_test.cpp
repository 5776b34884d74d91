// qmtool report --project: a week of drying visits reported as the insurer reads it.
#include "support/archive_fixture.h"
#include "support/drying_week.h"
#include "support/pdf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace qm {
namespace {

struct ToolRun {
    int status = -1;
    std::string err;
};

// Every run of blanks and line breaks as one space, as a reader reads the lines of a table.
std::string words(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
            if (!out.empty() && out.back() != ' ') {
                out += ' ';
            }
        } else {
            out += c;
        }
    }
    return out;
}

std::string without_blanks(std::string text) {
    std::erase_if(text, [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
    return text;
}

struct QmtoolProjectReport : test::ArchiveFolder {
    // Runs "qmtool ARGS" (quoted for the shell already) on the test's archive.
    ToolRun qmtool(const std::string& args) {
        const std::string command = "QUELLMARK_ARCHIVE=" + path() + " timeout 60 " +
                                    std::string(QM_QMTOOL_PATH) + " " + args + " >/dev/null 2>" +
                                    path("err");
        const int raw = std::system(command.c_str());
        std::ifstream in(path("err"));
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1,
                {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}};
    }
    void expect_ok(const std::string& args) {
        const ToolRun run = qmtool(args);
        EXPECT_EQ(run.status, 0) << args << ": " << run.err;
    }
};

TEST_F(QmtoolProjectReport, WeekOfVisitsAsTheInsurerReadsIt) {
#ifndef QM_REPORT_AVAILABLE
    GTEST_SKIP() << "this qmtool is built without reports";
#endif
    {
        const std::unique_ptr<VisitArchive> archive = open();
        ASSERT_TRUE(archive);
        test::archive_drying_week(*archive);
    }
    // A name and a client of 300 characters wrap on the first page, every character kept.
    std::string name;
    std::string client;
    for (int i = 0; name.size() < 300; ++i) {
        name += "Kitchen" + std::to_string(i) + " ";
    }
    for (int i = 0; client.size() < 300; ++i) {
        client += "Client" + std::to_string(i) + "/"; // no blank: broken inside the word
    }
    name.resize(300);
    client.resize(300);
    const std::string p = "project ";
    const std::string quoted = "'" + name + "'";
    expect_ok(p + "create " + quoted + " --client '" + client +
              "' --site '12 Elm Street' --claim C-4471 --loss-date 2026-03-02 --category 2 "
              "--class 3");
    expect_ok(p + "attach " + quoted + " 1 2 3 4 5 6 7");
    expect_ok(p + "standard " + quoted + " --material Plaster --reference 'HL1,W/Plaster'");
    expect_ok(p + "standard " + quoted + " --material 'Doug Fir' --reference 'HL1,F/Doug Fir'");
    expect_ok(p + "label " + quoted + " 'KIT,W/Plaster' 'behind the dishwasher'");
    expect_ok(p + "role " + quoted + " KIT affected");
    expect_ok(p + "role " + quoted + " MISC1 outlet");
    expect_ok(p + "equipment " + quoted +
              " add --type dehumidifier --count 2 --place kitchen --placed 2026-03-03 "
              "--removed 2026-03-06");
    // Who read day 3, with which meter, and its failed calibration check.
    expect_ok("meter add Red --serial R-9");
    expect_ok("--technician 'Ann Lee' archive evidence 3 --technician 'Ann Lee' --meter Red");
    expect_ok("archive check-standard 3 --read 13.4 --expected 12 --on 2026-03-05");
    const std::string pdf = path("project.pdf");
    expect_ok("report --project " + quoted + " --out " + pdf + " --prepared-by 'J. Tech'");

    const std::string first = test::pdf_text(pdf, 1);
    EXPECT_NE(without_blanks(first).find(without_blanks(name)), std::string::npos) << first;
    EXPECT_NE(without_blanks(first).find(without_blanks(client)), std::string::npos) << first;
    const std::string all = words(test::pdf_text(pdf));
    for (const char* part :
         {"Site 12 Elm Street", "Claim C-4471", "Date of loss 3/2/26", "Water category 2",
          "Water class 3", "14 jobs of 7 visits", "3/3/26 to 3/9/26 (7 days)",
          // The days of the hand-computed log, the afternoon reading of day 2 and the dry dates.
          "KIT,W/Plaster behind the dishwasher HL1,W/Plaster ref + 2.0 34.8 wet 20.1 wet "
          "14.9 wet 12.6 dry 11.7 dry 11.3 dry 11.1 dry 3/6/26",
          "KIT,C/Plaster HL1,W/Plaster ref + 2.0 16.0 wet 12.5 dry",
          // Dry on day 5, wet again on day 6: not dry.
          "13.5 dry 18.8 wet 14.6 wet not dry", "HL1,W/Plaster reference - 11.2 11.0",
          // Grain depression: the affected area's GPP minus the outlet's.
          "3/3/26 83.6 37.8 45.7", "3/9/26 54.8 37.8 17.0",
          "Dehumidifier 2 kitchen 3/3/26 3/6/26 3 6", "Total 6",
          // Where each day comes from: the time of each reading, who read it, the failed check.
          "Reading times",
          "3/5/26 (check failed) Ann Lee visit 3 (Ann Lee, meter Red; checked "
          "3/5, 13.4 on a 12.0 block: FAILED, off by 1.4)",
          // Then the visits' sections, each saying who read it.
          "Job #2, ID# 118",
          "Technician Ann Lee Meter name Red, serial R-9 Calibration checked "
          "3/5, 13.4 on a 12.0 block: FAILED, off by 1.4"}) {
        EXPECT_NE(all.find(part), std::string::npos) << part;
    }
    EXPECT_LT(all.find("Equipment log"), all.find("Job #2, ID# 118"));
    EXPECT_NE(all.find("All readings"), std::string::npos);

    // A large project's report without the tables of all readings.
    expect_ok("report --project " + quoted + " --out " + pdf + " --sections summary,charts");
    const std::string chosen = test::pdf_text(pdf);
    EXPECT_EQ(chosen.find("All readings"), std::string::npos);
    EXPECT_EQ(chosen.find("Distribution"), std::string::npos);
    EXPECT_NE(chosen.find("Summary by location"), std::string::npos);
}

TEST_F(QmtoolProjectReport, Refusals) {
#ifndef QM_REPORT_AVAILABLE
    GTEST_SKIP() << "this qmtool is built without reports";
#endif
    ASSERT_TRUE(open());
    expect_ok("project create Smith");
    const struct {
        std::string args;
        int status;
        std::string error; // the first line on stderr
    } cases[] = {
        {"report --project Jones --out " + path("r.pdf"), 1,
         "qmtool report: there is no project named \"Jones\""},
        {"report --project Smith --out " + path(), 1,
         "qmtool: " + path() + ": the output is the input " + path() + "; nothing written"},
        {"report --project Smith --archive " + path("none.sqlite") + " --out " + path("r.pdf"), 1,
         "qmtool report: " + path("none.sqlite") + ": there is no visit archive there"},
        {"report --project Smith x.qmk --out " + path("r.pdf"), 2,
         "qmtool report: --project takes no save files"},
        {"report x.qmk --archive " + path() + " --out " + path("r.pdf"), 2,
         "qmtool report: --archive is for --project"},
        {"report --project Smith --out " + path("r.pdf") + " --sections summary,maps", 2,
         "qmtool report: --sections is a list of summary, charts, distribution and readings"},
    };
    for (const auto& c : cases) {
        const ToolRun run = qmtool(c.args);
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.error) << c.args;
    }
    EXPECT_FALSE(std::filesystem::exists(path("none.sqlite")));
    // A project without jobs still has its pages.
    expect_ok("report --project smith --out " + path("r.pdf"));
    EXPECT_NE(test::pdf_text(path("r.pdf")).find("None recorded."), std::string::npos);
}

} // namespace
} // namespace qm
