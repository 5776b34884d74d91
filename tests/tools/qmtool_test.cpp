// qmtool as a user runs it: import a raw stream, then export and show the save files it wrote.
#include "support/pdf_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Model "TRK ALFA", job flags 0x02 (job 1 named areas, job 2 numbered locations), IDs 7 and 12.
const Bytes kStream = {
    'T', 'R', 'K', ' ', 'A', 'L', 'F', 'A', 0x00, 0x02, 0x07, 0x00, 0x12, 0x00, 0, 0, 0, 0, 0, 0,
    // Job 1, kind 0, material 2, position 0 (LR, F), 14:05 on 13/05/09, MC 12.3, 70 F.
    0x00, 0x21, 0x00, 0x05, 0x14, 0x13, 0x05, 0x09, 0x12, 0x30, 0x70, 0x00,
    // Job 1, kind 1, position 0, 10:30 on 15/06/09, RH 45.2, 72.5 F.
    0x01, 0x01, 0x00, 0x30, 0x10, 0x15, 0x06, 0x09, 0x04, 0x52, 0x07, 0x25, 0x00,
    // Job 2, kind 3, position 4 (area 1: location "2", W), 9:00 AM (12-hour) on 13/05/09, 456.
    0x03, 0x02, 0x04, 0x00, 0x49, 0x13, 0x05, 0x09, 0x00, 0x45, 0x60, 0x00};

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::int32_t int_at(const std::string& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) {
        v = (v << 8) | static_cast<std::uint8_t>(bytes[offset + static_cast<std::size_t>(i)]);
    }
    return static_cast<std::int32_t>(v);
}

// The bytes of a save file with another meter name.
std::string plain_with_meter(std::string bytes, const std::string& name) {
    std::fill(bytes.begin() + 1088, bytes.begin() + 1108, '\0');
    std::copy(name.begin(), name.end(), bytes.begin() + 1088);
    return bytes;
}

struct Qmtool : ::testing::Test {
    fs::path dir;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-tool-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        write_bytes(dir / "meter.stream", kStream);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs qmtool with its output to `out` (a file of the test folder by default). A run that
    // hangs is ended after 30 s (status 124).
    ToolRun qmtool(const std::string& args, const std::string& out = "") {
        const std::string command = "timeout 30 " + std::string(QM_QMTOOL_PATH) + " " + args +
                                    " >" + (out.empty() ? (dir / "stdout").string() : out) + " 2>" +
                                    (dir / "stderr").string();
        ToolRun run;
        const int raw = std::system(command.c_str());
        run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        run.out = read_text(dir / "stdout");
        run.err = read_text(dir / "stderr");
        return run;
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
};

TEST_F(Qmtool, ImportWritesOneSaveFilePerJob) {
    const ToolRun run = qmtool("import " + path("meter.stream") + " --out " + path("jobs"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, path("jobs/Job1-ID007.qmk") + "\n" + path("jobs/Job2-ID012.qmk") + "\n");

    const std::string job1 = read_text(dir / "jobs/Job1-ID007.qmk");
    ASSERT_EQ(job1.size(), 1112u + 2 * 68);
    EXPECT_EQ(int_at(job1, 0), 0);  // save_mode
    EXPECT_EQ(int_at(job1, 4), 1);  // management: job 1 has a pin reading
    EXPECT_EQ(int_at(job1, 8), 4);  // step
    EXPECT_EQ(int_at(job1, 12), 0); // filter
    EXPECT_EQ(job1.substr(16, 20), std::string("Quellmark1.1\0\0\0\0\0\0\0\0", 20));
    EXPECT_EQ(int_at(job1, 36), 0);   // position of job 1 in mc_jobs
    EXPECT_EQ(int_at(job1, 1060), 1); // selected_count
    // not_scanner: "TRK ALFA" sorts before "VKM2 SCAN".
    EXPECT_EQ(int_at(job1, 1064), -1);
    EXPECT_EQ(int_at(job1, 1068), 7);
    EXPECT_EQ(int_at(job1, 1072), 12);
    EXPECT_EQ(job1.substr(1088, 9), std::string("TRK ALFA\0", 9));
    EXPECT_EQ(int_at(job1, 1108), 2);

    const std::string job2 = read_text(dir / "jobs/Job2-ID012.qmk");
    ASSERT_EQ(job2.size(), 1180u);
    EXPECT_EQ(int_at(job2, 36), 1);           // job 2 is the second MC job
    EXPECT_EQ(int_at(job2, 1112 + 4), 33);    // numbered location "2"
    EXPECT_EQ(int_at(job2, 1112 + 8), 1);     // W
    EXPECT_EQ(int_at(job2, 1112 + 28), 0x49); // the raw hour byte
}

TEST_F(Qmtool, ExportWritesTheCsvOfTheSavedJob) {
    ASSERT_EQ(qmtool("import " + path("meter.stream") + " --out " + path("jobs")).status, 0);
    ToolRun run = qmtool("export " + path("jobs/Job1-ID007.qmk"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Name,Job,ID#,Area,Location,Sub Location,Material,Date (US),Time,Type,MC,"
                       "RH%,Temp(\xB0"
                       "F),Dew Pt(\xB0"
                       "F),GPP\r\n"
                       "TRK ALFA,1,7,LR,,,,6/15/09,10:30,RH,,45.2,72.5,50.0,53.59\r\n"
                       "TRK ALFA,1,7,LR,F,P-1,\"Ash, Alpine\",5/13/09,14:05,PIN,12.3,,70,\r\n");

    run = qmtool("export --celsius --international " + path("jobs/Job2-ID012.qmk") + " --out " +
                 path("job2.csv"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::string csv = read_text(dir / "job2.csv");
    EXPECT_EQ(csv.substr(0, 66),
              "Name,Job,ID#,Area,Location,Sub Location,Material,Date (EU),Time,Ty");
    EXPECT_EQ(csv.substr(101),
              "TRK ALFA,2,12,2,W,S-1,Plaster Board,13/5/09,9:00AM,SCAN,456.0,, ,\r\n");
}

TEST_F(Qmtool, ShowListsReadingsAndSummaries) {
    ASSERT_EQ(qmtool("import " + path("meter.stream") + " --out " + path("jobs")).status, 0);
    const ToolRun run = qmtool("show " + path("jobs/Job1-ID007.qmk"));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Rec\tLocation\tRH\tTemp\tGPP\tDewPt\tDate\tTime"), std::string::npos);
    EXPECT_NE(run.out.find("\n1\tLR\t45.2%\t72.5\u00B0F\t53.59\t50.0\u00B0F\t6/15/09\t10:30\t"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\n1\tLR,F\tPIN\tAsh, Alpine\t12.3%\t70\u00B0F\t5/13/09\t14:05\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nLR\tF\t5/13/09 14:05\t5/13/09 14:05\t1\tAsh, Alpine\t12.3%\t12.3%"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nLR\t1\t6/15/09 10:30\t6/15/09 10:30\t53.59\t53.59\n"),
              std::string::npos)
        << run.out;
}

// Job 1 holds an RH/T and a pin reading and was saved under MC management: MC by default.
TEST_F(Qmtool, AnnotateThenShowRoundTripLeavingTheReadingsAndCsvAlone) {
    ASSERT_EQ(qmtool("import " + path("meter.stream") + " --out " + path("jobs")).status, 0);
    const std::string job1 = path("jobs/Job1-ID007.qmk");
    const std::string plain = read_text(job1);
    const std::string csv = qmtool("export " + job1).out;

    ToolRun run = qmtool("annotate " + job1 +
                         " --title 'North wall \u2013 kitchen subfloor' --notes 'Damp\nRecheck'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    run = qmtool("annotate " + job1 + " --kind rh --job 1 --notes Dry");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string noted = read_text(job1);
    EXPECT_EQ(noted.substr(0, plain.size()), plain);
    // The en dash is the Windows-1252 byte 0x96; the notes' line break CR LF.
    EXPECT_NE(
        noted.find(std::string("North wall \x96 kitchen subfloor\x0D") + '\0' + "Damp\r\nRecheck",
                   plain.size()),
        std::string::npos);

    run = qmtool("show " + job1);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("RH/T readings\nNotes:\n  Dry\nRec\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("MC readings\nTitle: North wall \u2013 kitchen subfloor\nNotes:\n"
                           "  Damp\n  Recheck\nRec\t"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(qmtool("export " + job1).out, csv);

    // A damaged block (here its CRC) is ignored with a warning; annotate writes a sound one.
    std::string damaged = read_text(job1);
    damaged.back() ^= 1;
    write_bytes(dir / "damaged.qmk", Bytes(damaged.begin(), damaged.end()));
    run = qmtool("show " + path("damaged.qmk"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("Title:"), std::string::npos);
    EXPECT_EQ(run.err, "qmtool: warning: " + path("damaged.qmk") +
                           ": the titles and notes after the readings are damaged and were "
                           "ignored\n");
    run = qmtool("annotate " + path("damaged.qmk") + " --title Again");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find(std::to_string(damaged.size() - plain.size()) +
                           " bytes after the last reading replaced"),
              std::string::npos);
    EXPECT_NE(qmtool("show " + path("damaged.qmk")).out.find("MC readings\nTitle: Again\nRec"),
              std::string::npos);

    // Empty texts remove them; with none left the file is the plain one again.
    ASSERT_EQ(qmtool("annotate " + job1 + " --title '' --notes ''").status, 0);
    ASSERT_EQ(qmtool("annotate " + job1 + " --kind rh --notes ''").status, 0);
    EXPECT_EQ(read_text(job1), plain);
    EXPECT_EQ(qmtool("show " + job1).out.find("Notes:"), std::string::npos);

    for (const auto& [args, status, message] :
         std::vector<std::tuple<std::string, int, std::string>>{
             {"--kind both --title x", 2, "qmtool annotate: --kind is mc or rh\n"},
             {"--job 6 --title x", 2, "qmtool annotate: --job is a job number from 1 to 5\n"},
             {"--job 1x --title x", 2, "qmtool annotate: --job is a job number from 1 to 5\n"},
             {"", 2, "qmtool annotate: give --title or --notes (an empty text removes one)\n"},
             {"--title 'two\nlines'", 2, "qmtool annotate: a title is one line\n"},
             {"--title \"$(printf 'a\\tb')\"", 2,
              "qmtool annotate: a title holds no control characters\n"},
             {"--notes \"$(printf 'a\\033[2Jb')\"", 2,
              "qmtool annotate: notes hold no control characters but line breaks and tabs\n"},
             {"--title " + std::string(260, 't'), 2,
              "qmtool annotate: the title is longer than 259 characters\n"},
             {"--notes \u65e5", 2,
              "qmtool annotate: the notes hold a character Windows-1252 has no byte for\n"},
             {"--job 2 --title x", 1,
              "qmtool: " + job1 + ": the file holds no MC readings of job 2\n"},
         }) {
        SCOPED_TRACE(args);
        run = qmtool("annotate " + job1 + " " + args);
        EXPECT_EQ(run.status, status);
        EXPECT_EQ(run.err.substr(0, run.err.find("usage:")), message);
        EXPECT_EQ(read_text(job1), plain);
    }
}

// Two annotates of one file at once, a title on its MC job and notes on its RH/T job: each
// works on the other's result, so both changes are kept.
TEST_F(Qmtool, ConcurrentAnnotatesOfOneFileKeepBothChanges) {
    ASSERT_EQ(qmtool("import " + path("meter.stream") + " --out " + path("jobs")).status, 0);
    const std::string plain = read_text(dir / "jobs/Job1-ID007.qmk");
    const std::string tool = QM_QMTOOL_PATH;
    const std::string file = path("round.qmk");
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        write_bytes(file, Bytes(plain.begin(), plain.end()));
        const std::string both = tool + " annotate " + file + " --title North & " + tool +
                                 " annotate " + file + " --kind rh --notes Dry & wait";
        ASSERT_EQ(std::system(both.c_str()), 0);
        const std::string shown = qmtool("show " + file).out;
        EXPECT_NE(shown.find("MC readings\nTitle: North\n"), std::string::npos) << shown;
        EXPECT_NE(shown.find("RH/T readings\nNotes:\n  Dry\n"), std::string::npos) << shown;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5);
}

// A title or notes with control characters in a file are damage; show escapes what it prints.
TEST_F(Qmtool, ShowEscapesControlCharactersAndRefusesThemInTitles) {
    ASSERT_EQ(qmtool("import " + path("meter.stream") + " --out " + path("jobs")).status, 0);
    const std::string job1 = path("jobs/Job1-ID007.qmk");
    ASSERT_EQ(qmtool("annotate " + job1 + " --title North --notes \"$(printf 'a\\tb')\"").status,
              0);
    std::string bytes = read_text(job1);
    ToolRun run = qmtool("show " + job1);
    EXPECT_NE(run.out.find("Title: North\nNotes:\n  a\tb\n"), std::string::npos) << run.out;

    // The title "North" as "No\x1bth", the CRC made right again: the block is damaged.
    const std::size_t title = bytes.find("North");
    bytes[title + 2] = '\x1b';
    const std::size_t block = bytes.find("QMNOTES1");
    const std::size_t covered = bytes.size() - 4 - block;
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = block; i < block + covered; ++i) {
        crc ^= static_cast<std::uint8_t>(bytes[i]);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1u) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
    }
    crc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i) {
        bytes[bytes.size() - 4 + static_cast<std::size_t>(i)] = static_cast<char>(crc >> (8 * i));
    }
    write_bytes(dir / "escaped.qmk", Bytes(bytes.begin(), bytes.end()));
    run = qmtool("show " + path("escaped.qmk"));
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("Title:"), std::string::npos);
    EXPECT_NE(run.err.find("damaged and were ignored"), std::string::npos);

    // A meter name with an escape in it is shown escaped.
    bytes = plain_with_meter(read_text(job1).substr(0, 1112 + 2 * 68), "TRK\x1b[2J");
    write_bytes(dir / "meter.qmk", Bytes(bytes.begin(), bytes.end()));
    EXPECT_EQ(qmtool("show " + path("meter.qmk")).out.substr(0, 18), "Meter: TRK\\x1b[2J\n");
}

// No output over an input: an export or report onto its save file, an import over its stream.
TEST_F(Qmtool, AnOutputThatIsAnInputIsRefused) {
    ASSERT_EQ(qmtool("import " + path("meter.stream") + " --out " + path("jobs")).status, 0);
    const std::string job1 = path("jobs/Job1-ID007.qmk");
    const std::string job2 = path("jobs/Job2-ID012.qmk");
    fs::create_symlink(job1, dir / "link.qmk");
    fs::copy_file(dir / "meter.stream", dir / "Job1-ID007.qmk");
    const std::string saved = read_text(job1);
    for (const auto& [args, output, input] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"export " + job1 + " --out " + job1, job1, job1},
             {"export " + job1 + " --out " + path("link.qmk"), path("link.qmk"), job1},
             {"report " + job1 + " " + job2 + " --out " + job2, job2, job2},
             {"import " + path("Job1-ID007.qmk") + " --out " + dir.string() + " --force",
              path("Job1-ID007.qmk"), path("Job1-ID007.qmk")},
         }) {
        SCOPED_TRACE(args);
        const ToolRun run = qmtool(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "qmtool: " + output + ": the output is the input " + input +
                               "; nothing written\n");
    }
    EXPECT_EQ(read_text(job1), saved);
    EXPECT_EQ(read_text(dir / "Job1-ID007.qmk"), read_text(dir / "meter.stream"));
    EXPECT_FALSE(fs::exists(dir / "Job2-ID012.qmk"));
}

// import and download replace no file in --out without --force, and write all files or none.
TEST_F(Qmtool, ImportAndDownloadReplaceNothingUnaskedAndWriteAllOrNone) {
    ASSERT_EQ(qmtool("import " + path("meter.stream") + " --out " + path("jobs")).status, 0);
    const std::string job1 = path("jobs/Job1-ID007.qmk");
    ASSERT_EQ(qmtool("annotate " + job1 + " --title Kept").status, 0);
    const std::string annotated = read_text(job1);
    const std::string import = "import " + path("meter.stream") + " --out " + path("jobs");

    ToolRun run = qmtool(import);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "qmtool: " + job1 +
                           ": the file exists\nqmtool: " + path("jobs/Job2-ID012.qmk") +
                           ": the file exists\nqmtool: nothing written; --force replaces existing "
                           "files\n");
    EXPECT_EQ(read_text(job1), annotated);
    run = qmtool("download --port " + path("no-such-port") + " --out " + path("jobs"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("qmtool: nothing downloaded; --force replaces existing files\n"),
              std::string::npos);
    EXPECT_EQ(qmtool("download --port x --out " + path("d") + " --dump " + path("same") +
                     " --log " + path("same"))
                  .err,
              "qmtool: " + path("same") + ": --dump and --log name the same file\n");

    // A file that cannot be made (a folder in its place) leaves every other file as it was.
    fs::remove(dir / "jobs/Job2-ID012.qmk");
    fs::create_directory(dir / "jobs/Job2-ID012.qmk");
    run = qmtool(import + " --force");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(read_text(job1), annotated);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "jobs"), fs::directory_iterator()), 2);

    fs::remove(dir / "jobs/Job2-ID012.qmk");
    run = qmtool(import + " --force");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_text(job1).size(), 1112u + 2 * 68);
}

TEST_F(Qmtool, FailuresAndUsage) {
    // A stream without readings: the message, exit 1, nothing written.
    write_bytes(dir / "empty.stream", {'T', 'R', 'K', 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ToolRun run = qmtool("import " + path("empty.stream") + " --out " + path("none"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "NO STORED READINGS!\n");
    EXPECT_FALSE(fs::exists(dir / "none"));

    // A file that is not a save file, and an older one: the loader's messages.
    write_bytes(dir / "junk.qmk", Bytes(1200, 'x'));
    run = qmtool("export " + path("junk.qmk"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "This is not a valid Quellmark File!!\n");
    EXPECT_EQ(run.out, "");
    Bytes old(1112, 0);
    const std::string magic = "Quellmark1.0";
    std::copy(magic.begin(), magic.end(), old.begin() + 16);
    write_bytes(dir / "old.qmk", old);
    run = qmtool("show " + path("old.qmk"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "This file was saved with an older version of the application program "
                       "and is not compatible with this version!\n");

    run = qmtool("export " + path("missing.qmk"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "qmtool: " + path("missing.qmk") + ": No such file or directory\n");

    // A CSV file that can't be created.
    ASSERT_EQ(qmtool("import " + path("meter.stream") + " --out " + path("jobs")).status, 0);
    run = qmtool("export " + path("jobs/Job1-ID007.qmk") + " --out " + path("no/such/dir.csv"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("No such file or directory"), std::string::npos);

    for (const char* args : {"import",
                             "import "
                             "x.stream",
                             "export", "export a b", "show", "show a --fahrenheit",
                             "import x --out", "nosuchcommand"}) {
        SCOPED_TRACE(args);
        run = qmtool(args);
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find("usage"), std::string::npos);
    }
    run = qmtool("--help");
    EXPECT_EQ(run.status, 0);
    for (const char* command : {"import", "export", "show", "annotate"}) {
        EXPECT_NE(run.out.find(std::string("\n  ") + command + " "), std::string::npos);
    }
}

// Every command that reads a file refuses anything but a regular file at once, and reads no more
// than the format holds.
TEST_F(Qmtool, ReadsOnlyRegularFilesByTheirSize) {
    ASSERT_EQ(mkfifo(path("fifo").c_str(), 0644), 0);
    fs::create_directory(dir / "folder");
    for (const auto& [input, reason] :
         std::vector<std::pair<std::string, std::string>>{{"/dev/zero", "Not a regular file"},
                                                          {path("fifo"), "Not a regular file"},
                                                          {path("folder"), "Is a directory"}}) {
        for (const std::string& command :
             {"decode " + input, "import " + input + " --out " + path("jobs"), "export " + input,
              "show " + input}) {
            SCOPED_TRACE(command);
            const ToolRun run = qmtool(command);
            EXPECT_EQ(run.status, 1);
            EXPECT_EQ(run.err, "qmtool: " + input + ": " + reason + "\n");
            EXPECT_EQ(run.out, "");
        }
    }
    EXPECT_FALSE(fs::exists(dir / "jobs"));

    // A stream beyond any meter is refused without being read.
    std::filesystem::resize_file(dir / "meter.stream", std::uintmax_t{65} << 20);
    ToolRun run = qmtool("decode " + path("meter.stream"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "qmtool: " + path("meter.stream") +
                           ": larger than 64 MB, more than any meter holds\n");

    // A 2 GB sparse save file whose count is 0: only its first 1112 bytes are read.
    Bytes header(1112, 0);
    const std::string magic = "Quellmark1.1";
    std::copy(magic.begin(), magic.end(), header.begin() + 16);
    write_bytes(dir / "huge.qmk", header);
    std::filesystem::resize_file(dir / "huge.qmk", std::uintmax_t{2} << 30);
    run = qmtool("show " + path("huge.qmk"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "Meter: \nNo readings.\n");
}

TEST_F(Qmtool, WritesOnlyRegularFilesAndSaysWhenOutputFails) {
    ASSERT_EQ(qmtool("import " + path("meter.stream") + " --out " + path("jobs")).status, 0);
    const std::string job1 = path("jobs/Job1-ID007.qmk");

    // --out onto a FIFO is refused; onto a symbolic link it writes the file the link names.
    ASSERT_EQ(mkfifo(path("fifo.csv").c_str(), 0644), 0);
    ToolRun run = qmtool("export " + job1 + " --out " + path("fifo.csv"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "qmtool: " + path("fifo.csv") + ": Not a regular file\n");
    EXPECT_TRUE(fs::is_fifo(dir / "fifo.csv"));
    fs::create_symlink("real.csv", dir / "link.csv");
    ASSERT_EQ(qmtool("export " + job1 + " --out " + path("link.csv")).status, 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.csv"));
    EXPECT_EQ(read_text(dir / "real.csv").substr(0, 5), "Name,");

    // Standard output on a full disk.
    for (const std::string& command :
         {"decode " + path("meter.stream"), "export " + job1, "show " + job1}) {
        SCOPED_TRACE(command);
        run = qmtool(command, "/dev/full");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "qmtool: standard output: No space left on device\n");
    }

    // A stream cut inside a record: decode says so, as import does.
    Bytes cut = kStream;
    cut.resize(cut.size() - 3);
    write_bytes(dir / "cut.stream", cut);
    const std::string warning = "qmtool: warning: the stream ends inside a record (9 bytes left)\n";
    run = qmtool("decode " + path("cut.stream"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, warning);
    run = qmtool("import " + path("cut.stream") + " --out " + path("cut"));
    EXPECT_EQ(run.err, warning);
}

TEST_F(Qmtool, SampleStreamImportsAndExports) {
    ASSERT_EQ(
        qmtool("import " + std::string(QM_TEST_DATA_DIR) + "/sample.stream --out " + path("sample"))
            .status,
        0);
    for (const char* name : {"Job1-ID007.qmk", "Job2-ID042.qmk", "Job3-ID115.qmk"}) {
        SCOPED_TRACE(name);
        const ToolRun run = qmtool("export " + path(std::string("sample/") + name));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out.compare(0, 5, "Name,"), 0);
    }
}

// Whether a line of the text holds the words in this order.
bool line_holds(const std::string& text, const std::vector<std::string>& words) {
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        std::size_t at = 0;
        bool all = true;
        for (const std::string& w : words) {
            at = line.find(w, at);
            all = all && at != std::string::npos;
            if (!all) {
                break;
            }
            at += w.size();
        }
        if (all) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

TEST_F(Qmtool, ReportShowsTitleJobsEveryLocationAndItsFigures) {
    // Two more pins at LR,F (10.0 at 14:10, 20.0 at 14:20) and an RH/T reading of 55.0 % at
    // 70.0 F: LR,F has 10.0, 12.3, 20.0 (mean 14.1), LR 45.2 and 55.0 % (mean 50.1).
    Bytes stream = kStream;
    stream.insert(stream.end(),
                  {0x00, 0x21, 0x00, 0x10, 0x14, 0x13, 0x05, 0x09, 0x10, 0x00, 0x70, 0x00, 0x00,
                   0x21, 0x00, 0x20, 0x14, 0x13, 0x05, 0x09, 0x20, 0x00, 0x70, 0x00, 0x01, 0x01,
                   0x00, 0x40, 0x10, 0x15, 0x06, 0x09, 0x05, 0x50, 0x07, 0x00, 0x00});
    write_bytes(dir / "visit.stream", stream);
    ASSERT_EQ(qmtool("import " + path("visit.stream") + " --out " + path("jobs")).status, 0);
    const std::string report = path("visit.pdf");
    const ToolRun run = qmtool("report " + path("jobs/Job1-ID007.qmk") + " " +
                               path("jobs/Job2-ID012.qmk") + " --out " + report +
                               " --title 'Smith residence' --prepared-for 'Acme Insurance'"
                               " --site '12 Elm St' --prepared-by 'J. Tech' --paper letter");
#ifndef QM_REPORT_AVAILABLE
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not available"), std::string::npos);
    return;
#endif
    ASSERT_EQ(run.status, 0) << run.err;
    const int pages = qm::test::pdf_page_count(report);
    EXPECT_EQ(run.out, report + ": " + std::to_string(pages) + " pages\n");
    const std::string text = qm::test::pdf_text(report);
    const std::vector<std::vector<std::string>> lines = {
        {"Smith residence"},
        {"Prepared for: Acme Insurance"},
        {"Site: 12 Elm St"},
        {"Prepared by: J. Tech"},
        {"Job #1, ID# 7"},
        {"Job #2, ID# 12"},
        // Location, readings, first, last, then pin count, minimum, mean, maximum.
        {"LR,F", "3", "5/13/09 14:05", "5/13/09 14:20", "3", "10.0", "14.1", "20.0"},
        {"2,W", "1", "456", "456.0", "456"},
        // RH/T: minimum, mean and maximum rows of RH (%).
        {"LR", "2", "6/15/09 10:30", "Min", "45.2"},
        {"Mean", "50.1"},
        {"Max", "55.0"},
        {"Page 1 of " + std::to_string(pages)},
    };
    for (const auto& words : lines) {
        EXPECT_TRUE(line_holds(text, words)) << words.front() << "\n" << text;
    }
    EXPECT_NE(qm::test::run_command("pdfinfo '" + report + "'").find("612 x 792"),
              std::string::npos);
    const std::string fonts = qm::test::run_command("pdffonts '" + report + "'");
    EXPECT_NE(fonts.find("DejaVuSans"), std::string::npos) << fonts;
    // The "emb" column, fifth from the end, of every font.
    std::istringstream font_lines(fonts);
    std::string line;
    for (int n = 0; std::getline(font_lines, line); ++n) {
        std::istringstream fields(line);
        const std::vector<std::string> f{std::istream_iterator<std::string>(fields), {}};
        if (n >= 2 && f.size() >= 5) {
            EXPECT_EQ(f[f.size() - 5], "yes") << line;
        }
    }

    for (const std::string& args :
         {"report " + path("jobs/Job1-ID007.qmk"), "report --out " + report,
          "report " + path("jobs/Job1-ID007.qmk") + " --out x.pdf --paper a5"}) {
        SCOPED_TRACE(args);
        EXPECT_EQ(qmtool(args).status, 2);
    }
}

} // namespace
