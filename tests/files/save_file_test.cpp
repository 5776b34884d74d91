#include "files/save_file.h"

#include "files/csv_export.h"
#include "files/regular_file.h"
#include "files/saved_readings.h"
#include "state/app_state.h"
#include "store/job_index.h"
#include "support/recording_ui.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qm {
namespace {

using test::pin_reading;

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Sets a little-endian int32 at an offset of a hand-laid file image.
void set32(Bytes& b, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

void set_bytes(Bytes& b, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(offset));
}

void set_text(Bytes& b, std::size_t offset, std::string_view text) {
    std::copy(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(offset));
}

Reading rh_reading(std::int32_t job) {
    Reading r = pin_reading(job, 0);
    r.kind = RhTemperature;
    r.sub_location = 0;
    r.rh = 45.5;
    r.temperature = 72.25;
    return r;
}

// A valid one-reading file, laid out by hand: MC management, job 2 (ID 7) at list position 0.
Bytes one_reading_file() {
    Bytes b(1180, 0);
    set32(b, 4, 1);  // management_type MC
    set32(b, 8, 4);  // step
    set32(b, 12, 2); // filter: show all
    set_text(b, 16, "Quellmark1.1");
    set32(b, 1060, 1); // selected_count; selected_jobs[0] = 0
    set32(b, 1064, 1); // not_scanner
    set32(b, 1068 + 4, 7);
    set_text(b, 1088, "No Title");
    set32(b, 1108, 1);
    const std::size_t r = 1112;
    set32(b, r + 0, 0);                                   // kind PinWithTemperature
    set32(b, r + 4, 2);                                   // location KIT
    set32(b, r + 8, 1);                                   // sub-location W
    set32(b, r + 12, 2);                                  // job
    set32(b, r + 16, 9);                                  // year
    set32(b, r + 20, 5);                                  // month
    set32(b, r + 24, 13);                                 // day
    set32(b, r + 28, 0x14);                               // hour_code
    set32(b, r + 32, 5);                                  // minute
    set32(b, r + 36, 70);                                 // pin_temperature
    set32(b, r + 40, 3);                                  // material
    set_bytes(b, r + 44, {0, 0, 0, 0, 0, 0, 0x29, 0x40}); // mc 12.5
    return b;
}

void append(Bytes& b, std::string_view text) {
    b.insert(b.end(), text.begin(), text.end());
}

// The notes block of job 2, laid out by hand: the MC title "North wall" with the notes "Damp" and
// "OK" on two lines, then the RH/T notes "Dry." without a title; the CRC-32 is zlib's.
Bytes notes_block() {
    Bytes b;
    append(b, "QMNOTES1");
    b.insert(b.end(), {2, 0, 0, 0, 1, 2, 0, 0, 0, 10, 0}); // two entries; MC, job 2, title length
    append(b, "North wall");
    b.insert(b.end(), {8, 0});
    append(b, "Damp\r\nOK");
    b.insert(b.end(), {0, 2, 0, 0, 0, 0, 0, 4, 0}); // RH/T, job 2, no title, notes length
    append(b, "Dry.");
    b.insert(b.end(), {0x59, 0x82, 0x98, 0xBA});
    return b;
}

Bytes with_notes_block() {
    Bytes b = one_reading_file();
    const Bytes block = notes_block();
    b.insert(b.end(), block.begin(), block.end());
    return b;
}

struct SaveFile : ::testing::Test {
    AppState app;
    test::RecordingUi ui;
    fs::path dir;

    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-save-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    void set_readings(std::vector<Reading> readings) {
        app.store.all_readings = std::move(readings);
        rebuild_job_lists(app.store);
    }
    SaveResult save(const fs::path& path) {
        return write_save(path.string(), app.wizard, app.selection, app.meter, app.store);
    }
    LoadResult load(const Bytes& bytes) { return load_save(bytes, app.store, app.meter, ui); }
    // The same bytes through the path form, which reads the records in chunks.
    LoadResult load_from_file(const Bytes& bytes) {
        const fs::path path = dir / "loaded.qmk";
        test::write_file(path, bytes);
        return load_save(path.string(), app.store, app.meter, ui);
    }
};

TEST_F(SaveFile, OneReadingFileMatchesTheLayoutByteForByte) {
    set_readings({pin_reading(2)});
    app.store.job_ids = {0, 7, 0, 0, 0};
    app.wizard = {
        .step = WizardStep::ChosenJobList, .management_type = ManagedKind::Mc, .filter = 2};
    app.selection.selected_count = 1;
    // Titles and notes of jobs the file does not hold leave it in the plain format.
    app.store.annotations.set_title(RecordKind::Mc, 1, "Other job");
    app.store.annotations.set_notes(RecordKind::Rh, 3, "Other notes");
    const SaveResult result = save(dir / "one.qmk");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.written, std::vector<std::string>{(dir / "one.qmk").string()});
    EXPECT_EQ(test::read_file(dir / "one.qmk"), one_reading_file());

    // The job's own title and notes follow the last record as the notes block.
    app.store.annotations.set_title(RecordKind::Mc, 2, "North wall");
    app.store.annotations.set_notes(RecordKind::Mc, 2, "Damp\nOK");
    app.store.annotations.set_notes(RecordKind::Rh, 2, "Dry.");
    ASSERT_TRUE(save(dir / "one.qmk").ok);
    EXPECT_EQ(test::read_file(dir / "one.qmk"), with_notes_block());
}

TEST(NotesBlock, Crc32IsTheIeeeChecksum) {
    const std::string_view check = "123456789";
    EXPECT_EQ(crc32({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}),
              0xCBF43926u);
    EXPECT_EQ(crc32({}), 0u);
    EXPECT_EQ(kMaxAnnotationBlockSize, 12686u);
}

TEST_F(SaveFile, HandLaidNotesBlockRestoresTitlesAndNotes) {
    app.store.annotations.set_title(RecordKind::Mc, 4, "From the data before");
    Bytes file = with_notes_block();
    append(file, "anything after the block");
    test::write_file(dir / "noted.qmk", file);
    const LoadResult result = load_save((dir / "noted.qmk").string(), app.store, app.meter, ui);
    ASSERT_TRUE(result.accepted());
    EXPECT_EQ(result.annotations, AnnotationBlockStatus::Valid);
    EXPECT_EQ(result.records_end, 1180u);
    JobAnnotations expected;
    expected.set_title(RecordKind::Mc, 2, "North wall");
    expected.set_notes(RecordKind::Mc, 2, "Damp\r\nOK");
    expected.set_notes(RecordKind::Rh, 2, "Dry.");
    EXPECT_EQ(app.store.annotations, expected);
    EXPECT_TRUE(ui.messages.empty());
}

// A damaged block never refuses the file: the readings load and the titles and notes of the data
// before are gone all the same.
TEST_F(SaveFile, DamagedNotesBlockIsIgnored) {
    const auto set16 = [](Bytes& b, std::size_t at, std::uint16_t v) {
        b[at] = static_cast<std::uint8_t>(v);
        b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage; // on the block alone
        bool fix_crc;
        AnnotationBlockStatus status = AnnotationBlockStatus::Damaged;
    };
    const std::vector<Case> cases = {
        {"wrong CRC", [](Bytes& b) { b[52] ^= 1; }, false},
        {"cut inside the CRC", [](Bytes& b) { b.resize(54); }, false},
        {"title of 260 bytes", [&](Bytes& b) { set16(b, 17, 260); }, true},
        {"notes of 1000 bytes", [&](Bytes& b) { set16(b, 46, 1000); }, true},
        {"job number 9", [](Bytes& b) { set32(b, 40, 9); }, true},
        {"job number 0", [](Bytes& b) { set32(b, 13, 0); }, true},
        {"kind 2", [](Bytes& b) { b[39] = 2; }, true},
        {"the same job and kind twice", [](Bytes& b) { b[39] = 1; }, true},
        {"eleven entries", [](Bytes& b) { set32(b, 8, 11); }, true},
        {"a line break in a title", [](Bytes& b) { b[24] = '\n'; }, true},
        {"an escape in the notes", [](Bytes& b) { b[49] = 0x1B; }, true},
        {"more entries than bytes", [](Bytes& b) { set32(b, 8, 3); }, true},
        {"another magic", [](Bytes& b) { b[7] = '2'; }, true, AnnotationBlockStatus::Absent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes block = notes_block();
        c.damage(block);
        if (c.fix_crc) {
            set32(block, 52, crc32(std::span(block).first(52)));
        }
        Bytes file = one_reading_file();
        file.insert(file.end(), block.begin(), block.end());
        app.store.annotations.set_title(RecordKind::Mc, 2, "Before");
        const LoadResult result = load(file);
        ASSERT_TRUE(result.accepted());
        EXPECT_EQ(result.annotations, c.status);
        EXPECT_EQ(app.store.all_readings.size(), 1u);
        EXPECT_TRUE(app.store.annotations.empty());
        EXPECT_TRUE(ui.messages.empty());
    }
}

// Titles and notes at and near their limits come back whole, a 259-byte title and 999-byte notes
// the longest; one byte more (in the table above) is damage.
TEST_F(SaveFile, TitlesAndNotesAtTheirLimitsSaveAndReload) {
    struct Case {
        RecordKind kind;
        std::string title;
        std::string notes;
    };
    const Case cases[] = {
        {RecordKind::Mc, std::string(259, 't'), std::string(999, 'n')},
        {RecordKind::Rh, std::string(258, '\xE9'), std::string(998, 'n')},
        {RecordKind::Mc, "", std::string(997, 'n') + "\r\n"},
        {RecordKind::Rh, std::string(259, 't'), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.size() * 10000 + c.notes.size());
        set_readings({pin_reading(2), rh_reading(2)});
        app.store.annotations.clear();
        app.store.annotations.set_title(c.kind, 2, c.title);
        app.store.annotations.set_notes(c.kind, 2, c.notes);
        ASSERT_TRUE(save(dir / "limits.qmk").ok);
        app.store.annotations.clear();
        const LoadResult result = load(test::read_file(dir / "limits.qmk"));
        ASSERT_TRUE(result.accepted());
        EXPECT_EQ(result.annotations, AnnotationBlockStatus::Valid);
        EXPECT_EQ(app.store.annotations.title(c.kind, 2), c.title);
        EXPECT_EQ(app.store.annotations.notes(c.kind, 2), c.notes);
    }
}

TEST_F(SaveFile, HandLaidFileLoadsWithEveryField) {
    app.store.all_readings = {rh_reading(4), rh_reading(5)};
    const LoadResult result = load(one_reading_file());
    ASSERT_TRUE(result.accepted());
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(app.store.all_readings.size(), 1u);
    EXPECT_EQ(app.store.all_readings[0], pin_reading(2));
    EXPECT_EQ(app.store.job_ids[1], 7);
    EXPECT_EQ(app.meter.model(), "No Title");
    EXPECT_EQ(app.store.mc_job_count, 1);
    EXPECT_EQ(app.store.rh_job_count, 0);
    // Only MC readings: MC management, one kind, the step as saved.
    EXPECT_EQ(result.session.management_type, ManagedKind::Mc);
    EXPECT_FALSE(result.session.bothKinds);
    EXPECT_EQ(result.session.step, WizardStep::ChosenJobList);
    EXPECT_EQ(result.session.filter, 2);
    EXPECT_EQ(result.session.selected_count, 1);

    app.selection.selected_jobs[1] = 9;
    apply_restored_session(result.session, app.wizard, app.selection);
    EXPECT_TRUE(app.wizard.fromFile);
    EXPECT_EQ(app.wizard.management_type, ManagedKind::Mc);
    EXPECT_EQ(app.selection.selected_count, 1);
    EXPECT_EQ(app.selection.selected_jobs[1], 9);
}

TEST_F(SaveFile, SavingAnMcJobCarriesItsRhReadingsAndReloadsAsBothKinds) {
    // Job 2 has readings of both kinds; job 1 is another job.
    set_readings({pin_reading(1), rh_reading(2), pin_reading(2)});
    app.wizard.management_type = ManagedKind::Mc;
    app.wizard.step = WizardStep::ChosenJobList;
    app.selection.current_job_index = 1; // mc_jobs = {1, 2}
    ASSERT_TRUE(save(dir / "two.qmk").ok);
    const Bytes bytes = test::read_file(dir / "two.qmk");
    ASSERT_EQ(bytes.size(), 1248u); // 1112 + 2 x 68
    EXPECT_EQ(bytes[1108], 2);
    // Records in all_readings order: the RH/T reading (location 0) before the pin reading.
    EXPECT_EQ(bytes[1112], 1);
    EXPECT_EQ(bytes[1112 + 68], 0);

    set_readings({});
    const LoadResult result = load(bytes);
    ASSERT_TRUE(result.accepted());
    EXPECT_EQ(app.store.all_readings.size(), 2u);
    EXPECT_EQ(result.session.management_type, ManagedKind::Rh);
    EXPECT_TRUE(result.session.bothKinds);
    EXPECT_EQ(result.session.step, WizardStep::ManagementType);
}

TEST_F(SaveFile, MultiJobSaveRewritesTheIdInEachFurtherName) {
    set_readings({pin_reading(1), pin_reading(2), pin_reading(3)});
    app.store.job_ids = {7, 9, 12, 0, 0};
    app.wizard.management_type = ManagedKind::Mc;
    app.wizard.step = WizardStep::JobList; // a one-kind job list; files always record step 4
    app.selection.save_mode = SaveMode::Selected;
    app.selection.selected_jobs[0] = 0;
    app.selection.selected_jobs[1] = 2;
    app.selection.selected_count = 2;
    // Each file carries the titles and notes of its own job only.
    app.store.annotations.set_title(RecordKind::Mc, 3, "Attic");
    const SaveResult result = save(dir / "5-12-2009ID007.qmk");
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.written.size(), 2u);
    EXPECT_EQ(result.written[1], (dir / "5-12-2009ID012.qmk").string());

    const Bytes first = test::read_file(dir / "5-12-2009ID007.qmk");
    const Bytes second = test::read_file(dir / "5-12-2009ID012.qmk");
    ASSERT_EQ(first.size(), 1180u);
    ASSERT_EQ(second.size(), 1180u + 8 + 4 + 9 + 5 + 4);
    EXPECT_EQ(std::string(second.begin() + 1180 + 19, second.begin() + 1180 + 24), "Attic");
    EXPECT_EQ(first[1112 + 12], 1);  // job 1
    EXPECT_EQ(second[1112 + 12], 3); // job 3
    // Both files carry the same header, with the whole selection and the save mode.
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 1108, second.begin()));
    EXPECT_EQ(first[0], 1);
    EXPECT_EQ(first[8], 4);
    EXPECT_EQ(first[1060], 2);
    EXPECT_EQ(first[40], 2);
}

// Job 1 ID 007, job 4 ID 000 and job 5 ID 000, saved all, where a file of another meter already
// holds the name of ID 000: every job gets a file of its own and the old file stays.
TEST_F(SaveFile, JobsSharingAnIdOrANameThatStandsGetNumberedNames) {
    set_readings({pin_reading(1), pin_reading(4), pin_reading(5)});
    app.store.job_ids = {7, 0, 0, 0, 0};
    app.wizard.management_type = ManagedKind::Mc;
    app.selection.save_mode = SaveMode::All;
    app.selection.selected_jobs = {0, 1, 2};
    app.selection.selected_count = 3;
    const Bytes other_meter = {'o', 't', 'h', 'e', 'r'};
    test::write_file(dir / "5-12-2009ID000.qmk", other_meter);
    const SaveResult result = save(dir / "5-12-2009ID007.qmk");
    ASSERT_TRUE(result.ok);
    const std::vector<std::string> names = {(dir / "5-12-2009ID007.qmk").string(),
                                            (dir / "5-12-2009ID000 (2).qmk").string(),
                                            (dir / "5-12-2009ID000 (3).qmk").string()};
    EXPECT_EQ(result.written, names);
    EXPECT_EQ(result.written_jobs, (std::vector<std::int32_t>{1, 4, 5}));
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(test::read_file(names[i])[1112 + 12], result.written_jobs[i]);
    }
    EXPECT_EQ(test::read_file(dir / "5-12-2009ID000.qmk"), other_meter);
    EXPECT_EQ(saved_files_text(result, app.store), "Saved 3 of 3 jobs, one file each:\n"
                                                   "Job #1, ID# 7: " +
                                                       names[0] +
                                                       "\n"
                                                       "Job #4, ID# 0: " +
                                                       names[1] +
                                                       "\n"
                                                       "Job #5, ID# 0: " +
                                                       names[2]);
    // A save of one job goes where the user chose: nothing to list.
    SaveResult one;
    one.ok = true;
    one.job_count = 1;
    EXPECT_EQ(saved_files_text(one, app.store), "");
}

TEST(MultiSaveName, WorksInsideTheFileNamePartOnly) {
    EXPECT_EQ(multi_save_name("5-12-2009ID007.qmk", 12), "5-12-2009ID012.qmk");
    EXPECT_EQ(multi_save_name("site.qmk", 5), "s005.qmk");
    EXPECT_EQ(multi_save_name("/home/ann/jobs.d/site.qmk", 42), "/home/ann/jobs.d/s042.qmk");
    // Short names take the digits before the extension, or at the end; folders stay as they are.
    EXPECT_EQ(multi_save_name("/data/12345/a.qmk", 7), "/data/12345/a007.qmk");
    EXPECT_EQ(multi_save_name("/data/x.y/ab", 7), "/data/x.y/ab007");
    EXPECT_EQ(multi_save_name("dir/.qm", 7), "dir/.qm007");
    EXPECT_EQ(multi_save_name("", 7), "007");
    EXPECT_EQ(multi_save_name("abcdefg", 1234), "234defg");
    // The free name after a taken one: the number before the extension of the file-name part.
    EXPECT_EQ(numbered_save_name("/d/5-12-2009ID000.qmk", 2), "/d/5-12-2009ID000 (2).qmk");
    EXPECT_EQ(numbered_save_name("/d.x/site", 3), "/d.x/site (3)");
    EXPECT_EQ(numbered_save_name("dir/.qm", 12), "dir/.qm (12)");
}

// Each case once through the bytes form of the loader and once through the path form.
template <typename Case>
std::vector<std::pair<Case, bool>> with_both_forms(std::vector<Case> cases) {
    std::vector<std::pair<Case, bool>> out;
    for (const bool from_file : {false, true}) {
        for (const Case& c : cases) {
            out.emplace_back(c, from_file);
        }
    }
    return out;
}

TEST_F(SaveFile, RefusedFilesLeaveTheStoreAsItWas) {
    const std::vector<Reading> before = {rh_reading(4), pin_reading(5)};
    set_readings(before);
    app.meter.set_model("RQ METER");
    app.store.job_ids = {1, 2, 3, 4, 5};

    struct Case {
        const char* what;
        Bytes bytes;
        std::string_view message;
    };
    std::vector<Case> cases;
    Bytes old = one_reading_file();
    set_text(old, 16, "Quellmark1.0");
    cases.push_back({"older version", old, kOldVersionMessage});
    old.resize(20 + 16); // still the older magic, cut short
    cases.push_back({"older version, cut", old, kOldVersionMessage});
    cases.push_back({"garbage", Bytes(2000, 0x5A), kNotValidMessage});
    cases.push_back({"empty", Bytes{}, kNotValidMessage});
    Bytes cut = one_reading_file();
    cut.resize(600);
    cases.push_back({"ends inside the header", cut, kNotValidMessage});
    cut = one_reading_file();
    cut.resize(1100);
    cases.push_back({"ends inside the meter name", cut, kNotValidMessage});
    Bytes no_count = one_reading_file();
    no_count.resize(1110);
    cases.push_back({"ends inside the count", no_count, kNotValidMessage});
    Bytes too_many = one_reading_file();
    set32(too_many, 1108, 2);
    cases.push_back({"N larger than the file holds", too_many, kNotValidMessage});
    set32(too_many, 1108, 0x80000000u);
    cases.push_back({"N negative", too_many, kNotValidMessage});
    Bytes count = one_reading_file();
    set32(count, 1060, 256);
    cases.push_back({"selected_count 256", count, kNotValidMessage});
    set32(count, 1060, 0xFFFFFFFFu);
    cases.push_back({"selected_count -1", count, kNotValidMessage});
    Bytes two = one_reading_file();
    set32(two, 1108, 2);
    two.insert(two.end(), two.begin() + 1112, two.begin() + 1180 - 1); // cut in the last record
    cases.push_back({"ends inside its last record", two, kNotValidMessage});

    for (const auto& [c, from_file] : with_both_forms(cases)) {
        SCOPED_TRACE(std::string(c.what) + (from_file ? ", from a file" : ""));
        ui.messages.clear();
        const LoadResult result = from_file ? load_from_file(c.bytes) : load(c.bytes);
        EXPECT_TRUE(result.rejected());
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, c.message);
        EXPECT_EQ(ui.messages[0].caption, "Error!");
        EXPECT_EQ(app.store.all_readings.size(), 2u);
        EXPECT_EQ(app.meter.model(), "RQ METER");
        EXPECT_EQ(app.store.job_ids[0], 1);
        EXPECT_EQ(app.store.mc_job_count, 1);
    }
}

// Both forms of the loader give the same store for a file of several chunks of records, in the
// order it holds them (grouped) or not (then grouped on load).
TEST_F(SaveFile, PathAndBytesLoadAlike) {
    std::vector<Reading> readings;
    for (int i = 0; i < 9000; ++i) {
        Reading r = i % 3 == 0 ? rh_reading(2) : pin_reading(2);
        r.location = (i * 7) % 64;
        r.mc = i;
        readings.push_back(r);
    }
    for (const bool grouped : {true, false}) {
        SCOPED_TRACE(grouped ? "grouped" : "not grouped");
        set_readings(readings);
        const std::vector<Reading> expected = app.store.all_readings;
        const Bytes bytes =
            encode_save(make_save_header(app.wizard, app.selection, app.meter, app.store),
                        app.meter, grouped ? expected : readings, 2, {});
        for (const bool from_file : {false, true}) {
            set_readings({pin_reading(1)});
            ASSERT_TRUE((from_file ? load_from_file(bytes) : load(bytes)).accepted());
            EXPECT_EQ(app.store.all_readings, expected);
            EXPECT_EQ(app.store.mc_job_count, 1);
            EXPECT_EQ(app.store.rh_job_count, 1);
        }
    }
    // A small file after a large one keeps no room of the large one's size.
    ASSERT_TRUE(load_from_file(one_reading_file()).accepted());
    EXPECT_LT(app.store.all_readings.capacity() + app.store.spare_readings.capacity(), 9000u);
}

TEST_F(SaveFile, LoaderIgnoresTrailingBytesAndAcceptsAnEmptyJob) {
    Bytes longer = one_reading_file();
    longer.insert(longer.end(), 67, 0xEE);
    ASSERT_TRUE(load(longer).accepted());
    EXPECT_EQ(app.store.all_readings.size(), 1u);

    Bytes empty = one_reading_file();
    set32(empty, 1108, 0);
    empty.resize(1112);
    const LoadResult result = load(empty);
    ASSERT_TRUE(result.accepted());
    EXPECT_TRUE(app.store.all_readings.empty());
    EXPECT_EQ(result.session.management_type, ManagedKind::Mc); // the header's value
    EXPECT_EQ(result.session.step, WizardStep::ChosenJobList);
}

// A save file may hold readings the tables cannot name: it loads, exports the
// CSV it exports without them, and saves back byte for byte.
TEST_F(SaveFile, ReadingsOutsideTheTablesAreKeptButNeverShown) {
    Bytes file = one_reading_file();
    const std::size_t known = 1112;
    // Records in the order the store groups them (job, location, sub-location, arrival).
    const std::vector<std::pair<std::size_t, std::uint32_t>> odd_fields = {
        {4, 0xFFFFFFFFu}, // location -1
        {40, 16},         // material 16
        {8, 3},           // sub-location 3
        {4, 64},          // location 64
    };
    Bytes records;
    for (std::size_t i = 0; i < odd_fields.size(); ++i) {
        Bytes record(file.begin() + known, file.begin() + known + 68);
        set32(record, odd_fields[i].first, odd_fields[i].second);
        records.insert(records.end(), record.begin(), record.end());
        if (i == 0) { // the reading every table names stands second
            records.insert(records.end(), file.begin() + known, file.begin() + known + 68);
        }
    }
    file.resize(known);
    file.insert(file.end(), records.begin(), records.end());
    set32(file, 1108, 5);

    const std::string plain_csv = [&] {
        EXPECT_TRUE(load(one_reading_file()).accepted());
        return export_csv(app.store, app.meter, 2, 0, 0);
    }();
    const LoadResult result = load(file);
    ASSERT_TRUE(result.accepted());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(app.store.all_readings.size(), 5u);
    EXPECT_EQ(app.store.mc_job_count, 1);
    EXPECT_EQ(export_csv(app.store, app.meter, 2, 0, 0), plain_csv);

    apply_restored_session(result.session, app.wizard, app.selection);
    app.selection.current_job_index = 0;
    ASSERT_TRUE(save(dir / "back.qmk").ok);
    EXPECT_EQ(test::read_file(dir / "back.qmk"), file);

    // Jobs outside 1..5 load too, and are listed nowhere.
    Bytes job7 = one_reading_file();
    set32(job7, 1112 + 12, 7);
    ASSERT_TRUE(load(job7).accepted());
    EXPECT_EQ(app.store.all_readings.size(), 1u);
    EXPECT_EQ(app.store.mc_job_count + app.store.rh_job_count, 0);
}

TEST_F(SaveFile, MeterNameRulesOnLoad) {
    Bytes alfa = one_reading_file();
    set_text(alfa, 1088, "TRK ALFA");
    ASSERT_TRUE(load(alfa).accepted());
    EXPECT_EQ(material_name(app.meter.active_materials, 0), "Plaster Board");

    // The scanner flag comes from the header, not from the name.
    Bytes scanner = one_reading_file();
    set_text(scanner, 1088, "VKM2 SCAN");
    ASSERT_TRUE(load(scanner).accepted());
    EXPECT_EQ(app.meter.not_scanner, 1);
    EXPECT_EQ(material_name(app.meter.active_materials, 0), "Sheetrock");

    // A name filling all 20 bytes is cut so it stays a terminated text.
    Bytes full = one_reading_file();
    set_text(full, 1088, "ABCDEFGHIJKLMNOPQRST");
    ASSERT_TRUE(load(full).accepted());
    EXPECT_EQ(app.meter.model(), "ABCDEFGHIJKLMNOPQRS");
    EXPECT_EQ(app.meter.model_name[19], '\0');
}

TEST_F(SaveFile, UnreadablePathShowsTheSystemText) {
    set_readings({pin_reading(1)});
    const LoadResult result = load_save((dir / "missing.qmk").string(), app.store, app.meter, ui);
    EXPECT_EQ(result.status, LoadStatus::OpenFailed);
    EXPECT_EQ(result.error, ENOENT);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], (test::RecordingUi::Message{std::strerror(ENOENT), "Error",
                                                          MessageIcon::Information}));

    // Only regular files are read, and none of these waits: a directory, a device that never
    // ends, a FIFO without a writer.
    ASSERT_EQ(mkfifo((dir / "fifo.qmk").c_str(), 0644), 0);
    for (const auto& [path, error] : std::vector<std::pair<fs::path, int>>{
             {dir, EISDIR}, {"/dev/zero", kNotRegularFile}, {dir / "fifo.qmk", kNotRegularFile}}) {
        SCOPED_TRACE(path);
        ui.messages.clear();
        const LoadResult refused = load_save(path.string(), app.store, app.meter, ui);
        EXPECT_EQ(refused.status, LoadStatus::OpenFailed);
        EXPECT_EQ(refused.error, error);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, error == EISDIR ? "Is a directory" : "Not a regular file");
    }
    EXPECT_EQ(app.store.all_readings.size(), 1u);
}

// A file is read only up to its Nth record: a 2 GB sparse file costs no memory, whether N is 0
// or more than the file can hold.
TEST_F(SaveFile, LoaderReadsNoFurtherThanTheLastRecord) {
    set_readings({pin_reading(1)});
    for (const std::uint32_t n : {0u, 100'000'000u}) {
        SCOPED_TRACE(n);
        Bytes header = one_reading_file();
        set32(header, 1108, n);
        header.resize(1112);
        test::write_file(dir / "huge.qmk", header);
        ASSERT_EQ(::truncate((dir / "huge.qmk").c_str(), off_t{2} << 30), 0);
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        const LoadResult result = load_save((dir / "huge.qmk").string(), app.store, app.meter, ui);
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        EXPECT_EQ(result.accepted(), n == 0);
        EXPECT_TRUE(app.store.all_readings.empty());
        EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024); // kilobytes
    }
}

TEST_F(SaveFile, NewFilesFollowTheUmask) {
    set_readings({pin_reading(1)});
    app.wizard.management_type = ManagedKind::Mc;
    const mode_t old_mask = ::umask(022);
    ASSERT_TRUE(save(dir / "a.qmk").ok);
    ::umask(077);
    ASSERT_TRUE(save(dir / "b.qmk").ok);
    ::umask(old_mask);
    EXPECT_EQ(fs::status(dir / "a.qmk").permissions(), static_cast<fs::perms>(0644));
    EXPECT_EQ(fs::status(dir / "b.qmk").permissions(), static_cast<fs::perms>(0600));
}

TEST_F(SaveFile, FailedSaveKeepsTheOldFileAndReportsFailure) {
    set_readings({pin_reading(1)});
    app.wizard.management_type = ManagedKind::Mc;
    const Bytes old_contents = {'o', 'l', 'd'};
    test::write_file(dir / "keep.qmk", old_contents);

    // The folder does not exist.
    SaveResult result = save(dir / "nowhere" / "x.qmk");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, ENOENT);
    EXPECT_TRUE(result.written.empty());

    // The write itself fails part way (file size limit in a child process).
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        const SaveResult r = save(dir / "keep.qmk");
        _exit(!r.ok && r.error == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(test::read_file(dir / "keep.qmk"), old_contents);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

    // A further file of a multi-job save that fails (it is too large for the limit) is skipped,
    // said in the closing message; the first one stands.
    for (int i = 0; i < 100; ++i) {
        app.store.all_readings.push_back(pin_reading(2));
    }
    rebuild_job_lists(app.store);
    app.store.job_ids = {7, 8, 0, 0, 0};
    app.selection.save_mode = SaveMode::All;
    app.selection.selected_jobs = {0, 1};
    app.selection.selected_count = 2;
    const pid_t second = fork();
    ASSERT_GE(second, 0);
    if (second == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4000, 4000};
        setrlimit(RLIMIT_FSIZE, &limit);
        const SaveResult r = save(dir / "site.qmk");
        const std::string s008 = (dir / "s008.qmk").string();
        const bool as_said =
            saved_files_text(r, app.store) ==
            "Saved 1 of 2 jobs, one file each:\nJob #1, ID# 7: " + (dir / "site.qmk").string() +
                "\n\nNot saved:\nJob #2, ID# 8: " + s008 + "\n  File too large";
        _exit(r.ok && r.written.size() == 1 && r.skipped.size() == 1 && as_said ? 0 : 1);
    }
    ASSERT_EQ(waitpid(second, &status, 0), second);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(fs::exists(dir / "site.qmk"));
    EXPECT_FALSE(fs::exists(dir / "s008.qmk"));
}

TEST_F(SaveFile, EmptyMultiJobSelectionSavesTheCurrentJob) {
    set_readings({pin_reading(1), pin_reading(2)});
    app.wizard.management_type = ManagedKind::Mc;
    app.selection.save_mode = SaveMode::Selected;
    app.selection.selected_count = 0;
    app.selection.current_job_index = 1;
    ASSERT_TRUE(save(dir / "c.qmk").ok);
    const Bytes bytes = test::read_file(dir / "c.qmk");
    ASSERT_EQ(bytes.size(), 1180u);
    EXPECT_EQ(bytes[1112 + 12], 2);
}

} // namespace
} // namespace qm
