// qmtool archive as a user runs it, on an archive of the test's own.
#include "archive/sha256.h"
#include "support/archive_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

namespace qm {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

struct QmtoolArchive : test::ArchiveFolder {
    // Runs "qmtool --archive DIR/archive.sqlite ARGS" (ended after 30 s, status 124).
    ToolRun qmtool(const std::string& args, const std::string& archive = "archive.sqlite") {
        const std::string command = "timeout 30 " + std::string(QM_QMTOOL_PATH) + " --archive " +
                                    path(archive) + " " + args + " >" + path("stdout") + " 2>" +
                                    path("stderr");
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, test::read_text(path("stdout")),
                test::read_text(path("stderr"))};
    }
};

const std::string kSample = std::string(QM_TEST_DATA_DIR) + "/sample.stream";

TEST_F(QmtoolArchive, AddListExportRemoveCheck) {
    ToolRun run = qmtool("archive add " + kSample + " " + kSample);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out,
              kSample + ": kept as visit 1\n" + kSample + ": already in the archive as visit 1\n");
    ASSERT_EQ(qmtool("import " + kSample + " --out " + path("imported")).status, 0);
    ASSERT_EQ(
        qmtool("annotate " + path("imported/Job2-ID042.qmk") + " --title 'Caf\u00e9 \"A\"'").status,
        0);
    ASSERT_EQ(qmtool("archive add " + path("imported/Job2-ID042.qmk")).status, 0);

    run = qmtool("archive list --json");
    EXPECT_EQ(run.status, 0);
    const std::string sha = sha256_hex(test::read_file(kSample));
    for (const std::string& part : std::vector<std::string>{
             "[\n  {\"id\": 2, \"received\": \"", "\"meter\": \"TRK 200\", \"source\": \"file\"",
             "\"jobs\": [{\"number\": 2, \"kind\": \"mc\", \"id\": 42, \"readings\": 3, \"title\": "
             "\"Caf\u00e9 \\\"A\\\"\"}]},\n  {\"id\": 1,",
             "\"source\": \"download\", \"sha256\": \"" + sha + "\", \"readings\": 13, ",
             "{\"number\": 3, \"kind\": \"rh\", \"id\": 115, \"readings\": 4, \"title\": "
             "\"\"}]}\n]\n"}) {
        EXPECT_NE(run.out.find(part), std::string::npos) << part << "\n" << run.out;
    }

    // The download's jobs come back as import writes them; the file's job with its title.
    ASSERT_EQ(qmtool("import " + kSample + " --out " + path("plain")).status, 0);
    run = qmtool("archive export 1 --out " + path("exported"));
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* job : {"Job1-ID007.qmk", "Job2-ID042.qmk", "Job3-ID115.qmk"}) {
        EXPECT_EQ(test::read_file(path("exported/") + job), test::read_file(path("plain/") + job));
    }
    ASSERT_EQ(qmtool("archive export 2 --out " + path("exported2")).status, 0);
    run = qmtool("show " + path("exported2/Job2-ID042.qmk"));
    EXPECT_NE(run.out.find("Title: Caf\u00e9 \"A\""), std::string::npos) << run.out;
    EXPECT_EQ(qmtool("archive remove 1").status, 0);
    EXPECT_EQ(qmtool("archive remove 1").status, 1);
    run = qmtool("archive check");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "ok\n1 visits, 3 readings\n");
}

// A title another program wrote into the archive is shown to the terminal, never obeyed by it.
TEST_F(QmtoolArchive, ControlBytesShownEscaped) {
    {
        const std::unique_ptr<VisitArchive> archive = open();
        ASSERT_EQ(archive_source(*archive, test::sample_stream(), received_now()).status,
                  AddVisitResult::Status::Added);
    }
    // "A ESC[2J" and "x ESC]0;t BEL", as this program would refuse to write them.
    test::run_sql(path("archive.sqlite"),
                  "UPDATE jobs SET title = x'411b5b324a', "
                  "notes = x'781b5d303b7407' WHERE kind = 'mc' AND number = 1");
    EXPECT_NE(qmtool("archive list").out.find("MC 1 ID 007 \"A\\x1b[2J\""), std::string::npos);
    const std::string shown = qmtool("archive show 1").out;
    EXPECT_NE(shown.find("Title: A\\x1b[2J\nNotes:\n    x\\x1b]0;t\\x07\n"), std::string::npos)
        << shown;
}

TEST_F(QmtoolArchive, UsageAndFailures) {
    test::write_file(path("damaged.sqlite"), std::vector<std::uint8_t>(2048, 0x33));
    const struct {
        const char* args;
        const char* archive;
        int status;
        const char* err;
    } cases[] = {
        {"archive", "archive.sqlite", 2, "usage: qmtool archive list"},
        {"archive list extra", "archive.sqlite", 2, "usage:"},
        {"archive show seven", "archive.sqlite", 2, "usage:"},
        {"archive export 1", "archive.sqlite", 2, "usage:"},
        {"archive show 1 --json", "archive.sqlite", 2, "usage:"},
        {"archive show 9", "archive.sqlite", 1, "there is no visit 9"},
        {"archive add /nonexistent", "archive.sqlite", 1, "/nonexistent: No such file"},
        {"archive list", "damaged.sqlite", 1, "damaged.sqlite cannot be used: file is not a"},
        {"archive list", "folder/..", 1, "cannot be used: Is a directory"},
    };
    for (const auto& c : cases) {
        const ToolRun run = qmtool(c.args, c.archive);
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << c.args << ": " << run.err;
    }
    EXPECT_EQ(qmtool("archive --help").status, 0);
}

} // namespace
} // namespace qm
