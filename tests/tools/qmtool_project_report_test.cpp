// qmtool report --project: a week of drying visits reported as the insurer reads it.
#include "archive/sha256.h"
#include "support/archive_fixture.h"
#include "support/drying_week.h"
#include "support/pdf_reader.h"
#include "support/photos.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>
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
    expect_ok(p + "label " + quoted + " 'KIT,W/Plaster' 'behind the dishwasher, left of the sink'");
    expect_ok(p + "role " + quoted + " KIT affected");
    expect_ok(p + "role " + quoted + " MISC1 outlet");
    expect_ok(p + "equipment " + quoted +
              " add --type dehumidifier --count 2 --place kitchen --placed 2026-03-03 "
              "--removed 2026-03-06");
    // Photos: one of a point, and a folder of which only the rotated photo of day 3 is taken on
    // a day of the project.
    const std::vector<std::uint8_t> kitchen = test::jpeg_photo("2026:03:04 09:15:27");
    const std::vector<std::uint8_t> turned = test::jpeg_photo("2026:03:05 16:02:00", 6, 4000, 3000);
    test::write_file(path("kitchen.jpg"), kitchen);
    std::filesystem::create_directory(path("camera"));
    test::write_file(path("camera/turned.jpg"), turned);
    test::write_file(path("camera/april.jpg"), test::jpeg_photo("2026:04:01 10:00:00"));
    test::write_file(path("camera/notes.txt"), {'x'});
    expect_ok(p + "photo add " + quoted + " " + path("kitchen.jpg") +
              " --point 'KIT,W/Plaster' --caption 'Wall behind the sink, meter on the point'");
    expect_ok(p + "photo add " + quoted + " --folder " + path("camera"));
    const std::string listed =
        test::run_command("QUELLMARK_ARCHIVE=" + path() + " " + QM_QMTOOL_PATH +
                          " project photo list " + quoted + " --json");
    const std::string sha = sha256_hex(turned);
    const std::vector<std::string> parts = {
        R"("point": "KIT,W/Plaster", "day": null, "visit": null, )"
        R"("taken_at": "2026-03-04T09:15:27", "caption": "Wall behind the sink, meter on )",
        R"({"sha256": ")" + sha +
            R"(", "point": null, "day": "2026-03-05", "visit": null, )"
            R"("taken_at": "2026-03-05T16:02:00", "caption": "", )"
            R"("orientation": 6)"};
    for (const std::string& part : parts) {
        EXPECT_NE(listed.find(part), std::string::npos) << listed;
    }
    EXPECT_EQ(listed.find("2026-04-01"), std::string::npos);
    expect_ok(p + "photo export " + quoted + " " + sha.substr(0, 8) + " " + path("out.jpg"));
    EXPECT_EQ(test::read_file(path("out.jpg")), turned);

    // Who read day 3, with which meter, and its failed calibration check.
    expect_ok("meter add Red --serial R-9");
    expect_ok("--technician 'Ann Lee' archive evidence 3 --technician 'Ann Lee' --meter Red");
    expect_ok("archive check-standard 3 --read 13.4 --expected 12 --on 2026-03-05");
    const std::string pdf = path("project.pdf");
    expect_ok("report --project " + quoted + " --out " + pdf +
              " --prepared-by 'J. Tech' --paper a4");
    // Photos print at no more than 300 dpi, turned as the camera was held.
    const std::string images = test::run_command("pdfimages -list " + pdf);
    int portrait = 0;
    std::istringstream rows(images);
    for (std::string row; std::getline(rows, row);) {
        std::istringstream fields(row);
        std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
        if (f.size() > 13 && f[2] == "image") {
            EXPECT_LE(std::stoi(f[12]), 300) << row;
            portrait += std::stoi(f[3]) < std::stoi(f[4]) ? 1 : 0; // the 4000 x 3000 turned
        }
    }
    EXPECT_EQ(portrait, 1) << images;

    const std::string first = test::pdf_text(pdf, 1);
    EXPECT_NE(without_blanks(first).find(without_blanks(name)), std::string::npos) << first;
    EXPECT_NE(without_blanks(first).find(without_blanks(client)), std::string::npos) << first;
    const std::string all = words(test::pdf_text(pdf));
    for (const std::string& part : std::vector<std::string>{
             {"Site 12 Elm Street", "Claim C-4471", "Date of loss 3/2/26", "Water category 2",
              "Water class 3", "14 jobs of 7 visits", "3/3/26 to 3/9/26 (7 days)",
              // The days of the hand-computed log (at 8 points, days 1-4 and 5-7), the afternoon
              // reading of day 2 and the dry dates; under the points each day's standard and goal.
              "KIT,W/Plaster behind the dishwasher, left\u2026 34.8 wet 20.1 wet 14.9 wet 12.6 dry "
              "3/6/26",
              "KIT,C/Plaster 16.0 wet 12.5 dry 11.5 dry 11.1 dry 3/4/26",
              "HL1,W/Plaster standard (reference) 11.2 11.0 11.3 10.9 "
              "Goal standard + 2.0 13.2 13.0 13.3 12.9",
              "Drying log (part 2 of 2)", "KIT,C/Plaster 11.0 dry 11.0 dry 11.0 dry 3/4/26",
              // Dry on day 5, wet again on day 6: not dry.
              "13.5 dry 18.8 wet 14.6 wet not dry",
              // Grain depression: the affected area's GPP minus the outlet's, as printed.
              "3/3/26 83.6 37.8 45.8", "3/9/26 54.8 37.8 17.0",
              "Dehumidifier 2 kitchen 3/3/26 3/6/26 3 6", "Total 6",
              // The roles beside the codes: in the legend, the psychrometric log, the RH/T
              // sections.
              "MISC1 misc. 1 \u2014 dehumidifier outlet", "Dehumidifier outlet (MISC1)",
              // Then the visits' sections, headed by the meter's day and time.
              "Tue 3/3/26 11:45AM \u2013 Job #2", "Job #2, ID# 118",
              // The photo section, each photo's caption and facts under it.
              "Photos", "Wall behind the sink, meter on the point",
              "Point KIT,W/Plaster Taken 2026-03-04 09:15 SHA-256 " +
                  sha256_hex(kitchen).substr(0, 8),
              "Day 2026-03-05 Taken 2026-03-05 16:02 SHA-256 " + sha.substr(0, 8),
              // Where each day comes from: the time of each reading, who read it, the failed check.
              "Reading times",
              "3/5/26 (check failed) Ann Lee visit 3 (Ann Lee, meter Red; checked "
              "3/5, 13.4 on a 12.0 block: FAILED, off by 1.4)",
              // Each visit's section says who read it.
              "Technician Ann Lee Meter name Red, serial R-9 Calibration checked "
              "3/5, 13.4 on a 12.0 block: FAILED, off by 1.4"}}) {
        EXPECT_NE(all.find(part), std::string::npos) << part;
    }
    EXPECT_LT(all.find("Equipment log"), all.find("Photos"));
    EXPECT_LT(all.find("Photos"), all.find("Job #2, ID# 118"));
    EXPECT_LT(all.find("Tue 3/3/26"), all.find("Wed 3/4/26"));
    EXPECT_NE(all.find("All readings"), std::string::npos);
    // A pin reading without a temperature of its own: a dash, not "0 F".
    EXPECT_EQ(all.find(" 0\u00b0F"), std::string::npos);
    EXPECT_NE(all.find("Plaster 34.8% \u2014 3/3/26"), std::string::npos);
    const std::string info = test::run_command("pdfinfo '" + pdf + "'");
    EXPECT_NE(info.find("Subject:         " + name.substr(0, 40)), std::string::npos) << info;
    EXPECT_NE(info.find(", 12 Elm Street, claim C-4471\n"), std::string::npos) << info;

    // No text under 7 points (the charts' axes), tables and body at 8 or more, on both papers.
    const auto expect_readable = [&](const std::string& paper) {
        for (const test::PdfWordHeight& w : test::pdf_word_heights(pdf)) {
            EXPECT_GE(w.height, 8.1) << paper << ": " << w.text;
            if (w.text == "wet" || w.text == "dry" || w.text == "Client" ||
                w.text == "(reference)") {
                EXPECT_GE(w.height, 9.25) << paper << ": " << w.text;
            }
        }
    };
    expect_readable("default");

    // A large project's report without the tables of all readings, on Letter.
    expect_ok("report --project " + quoted + " --out " + pdf +
              " --sections summary,charts --paper letter");
    const std::string chosen = test::pdf_text(pdf);
    EXPECT_EQ(chosen.find("All readings"), std::string::npos);
    EXPECT_EQ(chosen.find("Distribution"), std::string::npos);
    EXPECT_NE(chosen.find("Summary by location"), std::string::npos);
    expect_readable("letter");
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
