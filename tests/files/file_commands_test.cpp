#include "files/file_commands.h"

#include "files/save_file.h"
#include "store/job_index.h"
#include "support/recording_ui.h"
#include "support/scripted_file_dialogs.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sys/stat.h>

namespace qm {
namespace {

namespace fs = std::filesystem;

Reading reading(std::int32_t kind, std::int32_t job, std::int32_t minute) {
    Reading r;
    r.kind = kind;
    r.job = job;
    r.location = 3;
    r.year = 9;
    r.month = 5;
    r.day = 12;
    r.hour_code = 0x10; // 10 o'clock, 24-hour clock
    r.minute = minute;
    r.mc = 12.5;
    r.rh = 45.0;
    r.temperature = 68.0;
    return r;
}

class FileCommandsTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qm-filecmd-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        records_ = std::make_unique<JobRecords>();
        // Jobs 1 and 3 hold MC readings, job 3 also RH/T readings; IDs 7, 0, 42.
        store_.all_readings = {reading(Pin, 1, 1), reading(Pin, 1, 2), reading(Pin, 3, 3),
                               reading(RhTemperature, 3, 4)};
        store_.job_ids = {7, 0, 42, 0, 0};
        rebuild_job_lists(store_);
        wizard_.management_type = ManagedKind::Mc;
    }
    void TearDown() override { fs::remove_all(folder_); }

    FileCommandContext context() {
        return FileCommandContext{
            store_,  meter_, *records_, wizard_, selection_,           settings_,
            folder_, ui_,    dialogs_,  today_,  [this] { ++chosen_; }};
    }
    FileCommandResult run(FileCommand command) {
        FileCommandContext c = context();
        return file_command(command, c);
    }
    void select(std::initializer_list<int> positions) {
        selection_.selected_jobs.fill(0);
        int i = 0;
        for (const int p : positions) {
            selection_.selected_jobs[static_cast<std::size_t>(i++)] = p;
        }
        selection_.selected_count = i;
        selection_.current_job_index = selection_.selected_jobs[0];
    }
    std::string path(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
    ReadingStore store_;
    MeterIdentity meter_;
    std::unique_ptr<JobRecords> records_;
    WizardState wizard_;
    Selection selection_;
    SettingsRecord settings_;
    test::RecordingUi ui_;
    test::ScriptedFileDialogs dialogs_;
    LocalDate today_{2010, 1, 3};
    int chosen_ = 0;
};

using Message = test::RecordingUi::Message;

// The access message with the system's reason on a line of its own.
Message access_denied(int error) {
    return {std::string(kAccessDeniedText) + "\n" + std::strerror(error), "Error",
            MessageIcon::Warning};
}

TEST_F(FileCommandsTest, DefaultNameFollowsDateOrderJobIdAndRememberedName) {
    select({1}); // MC list position 1 is job 3, ID 42
    settings_.international_date = 1;
    EXPECT_EQ(default_file_name(settings_, store_, wizard_, selection_, today_, FileCommand::Save),
              "3-1-2010ID042.qmk");
    EXPECT_EQ(
        default_file_name(settings_, store_, wizard_, selection_, today_, FileCommand::ExportCsv),
        "3-1-2010ID042.csv");
    settings_.international_date = 0;
    EXPECT_EQ(
        default_file_name(settings_, store_, wizard_, selection_, {2009, 5, 12}, FileCommand::Open),
        "5-12-2009ID042.qmk");

    // No job at the selected position (nothing downloaded yet): ID 0.
    ReadingStore empty;
    EXPECT_EQ(default_file_name(settings_, empty, wizard_, Selection{}, today_, FileCommand::Open),
              "1-3-2010ID000.qmk");

    // A remembered name: as it stands to open, with the dialog's own extension to save or
    // export (an export never lands on the save file); none yet: empty.
    settings_.remember_filename = 1;
    EXPECT_EQ(default_file_name(settings_, store_, wizard_, selection_, today_, FileCommand::Save),
              "");
    EXPECT_EQ(
        default_file_name(settings_, store_, wizard_, selection_, today_, FileCommand::ExportCsv),
        "");
    set_settings_text(settings_.last_file_name, "/data/site.dat");
    EXPECT_EQ(default_file_name(settings_, store_, wizard_, selection_, today_, FileCommand::Open),
              "/data/site.dat");
    EXPECT_EQ(default_file_name(settings_, store_, wizard_, selection_, today_, FileCommand::Save),
              "/data/site.qmk");
    EXPECT_EQ(
        default_file_name(settings_, store_, wizard_, selection_, today_, FileCommand::ExportCsv),
        "/data/site.csv");
    for (const auto& [path, csv] : std::vector<std::pair<std::string, std::string>>{
             {"/data/site.qmk", "/data/site.csv"},
             {"site", "site.csv"},
             {"/data.d/site", "/data.d/site.csv"},
             {"/data/.site", "/data/.site.csv"},
             {"/data/site.v2.qmk", "/data/site.v2.csv"},
             {"/data/site.", "/data/site.csv"}}) {
        EXPECT_EQ(with_extension(path, ".csv"), csv);
    }
}

TEST_F(FileCommandsTest, DialogsGetFiltersExtensionAndAnExistingFolder) {
    set_settings_text(settings_.initial_folder, "C:\\Windows\\Desktop\\");
    ASSERT_EQ(write_settings(folder_, settings_), SettingsStatus::Ok);
    run(FileCommand::Open);
    run(FileCommand::ExportCsv);
    ASSERT_EQ(dialogs_.calls.size(), 2u);
    const FileDialogRequest& open = dialogs_.calls[0].request;
    EXPECT_FALSE(dialogs_.calls[0].save);
    ASSERT_EQ(open.filters.size(), 2u);
    EXPECT_EQ(open.filters[0].description, "Quellmark Save File (*.qmk)");
    EXPECT_EQ(open.filters[0].pattern, "*.qmk");
    EXPECT_EQ(open.filters[1].description, "All Files (*.*)");
    EXPECT_EQ(open.default_extension, "qmk");
    EXPECT_EQ(open.file_name, "1-3-2010ID007.qmk");
    // The stored default folder does not exist here: the dialogs open in the home folder.
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        EXPECT_EQ(open.initial_folder, home);
    }
    const FileDialogRequest& csv = dialogs_.calls[1].request;
    EXPECT_TRUE(dialogs_.calls[1].save);
    EXPECT_EQ(csv.filters[0].description, "Excel CSV File (*.csv)");
    EXPECT_EQ(csv.filters[0].pattern, "*.csv");
    EXPECT_EQ(csv.default_extension, "csv");
    EXPECT_TRUE(csv.confirm_replace);

    set_settings_text(settings_.initial_folder, folder_);
    ASSERT_EQ(write_settings(folder_, settings_), SettingsStatus::Ok);
    run(FileCommand::Save);
    EXPECT_EQ(dialogs_.calls.back().request.initial_folder, folder_);
}

TEST_F(FileCommandsTest, CancelledOpenKeepsTitlesAndChangesNothing) {
    store_.annotations.set_title(RecordKind::Mc, 1, "North wall");
    const auto readings = store_.all_readings;
    const FileCommandResult result = run(FileCommand::Open);
    EXPECT_FALSE(result.refused);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(store_.annotations.title(RecordKind::Mc, 1), "North wall");
    EXPECT_EQ(store_.all_readings, readings);
    EXPECT_FALSE(wizard_.fromFile);
    EXPECT_EQ(chosen_, 0);
    EXPECT_TRUE(ui_.messages.empty());
}

// Titles and notes go with the data they were made for: a file that is not loaded keeps them.
TEST_F(FileCommandsTest, OpeningAForeignFileKeepsTitlesReadingsAndTheWizard) {
    const std::string foreign = path("notes.qmk");
    std::ofstream(foreign) << "this is not a save file, but it is long enough to hold a header";
    store_.annotations.set_title(RecordKind::Mc, 1, "North wall");
    const JobAnnotations annotations = store_.annotations;
    const auto readings = store_.all_readings;
    dialogs_.answers = {foreign};

    const FileCommandResult result = run(FileCommand::Open);
    EXPECT_TRUE(result.refused);
    EXPECT_FALSE(result.loaded);
    EXPECT_EQ(store_.annotations, annotations);
    EXPECT_EQ(store_.all_readings, readings);
    EXPECT_FALSE(wizard_.fromFile);
    EXPECT_EQ(chosen_, 0);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "This is not a valid Quellmark File!!");
    EXPECT_EQ(ui_.messages[0].caption, "Error!");

    // A file that cannot be opened: the system's text, caption "Error", information icon.
    dialogs_.answers = {path("gone.qmk")};
    EXPECT_FALSE(run(FileCommand::Open).refused);
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[1].text, std::strerror(ENOENT));
    EXPECT_EQ(ui_.messages[1].caption, "Error");
    EXPECT_EQ(ui_.messages[1].icon, MessageIcon::Information);
    // A FIFO is refused at once, without waiting for a writer.
    ASSERT_EQ(mkfifo(path("fifo.qmk").c_str(), 0644), 0);
    dialogs_.answers = {path("fifo.qmk")};
    EXPECT_FALSE(run(FileCommand::Open).refused);
    ASSERT_EQ(ui_.messages.size(), 3u);
    EXPECT_EQ(ui_.messages[2].text, "Not a regular file");
    EXPECT_EQ(store_.all_readings, readings);
    EXPECT_EQ(store_.annotations, annotations);
}

TEST_F(FileCommandsTest, SaveThenOpenRestoresTheJobWithItsTitleAndNotes) {
    // Saved from the job list a download of one kind leads to (step 3).
    wizard_.step = WizardStep::JobList;
    select({0});
    dialogs_.answers = {path("plain.qmk")};
    run(FileCommand::Save);
    store_.annotations.set_title(RecordKind::Mc, 1, "North wall");
    store_.annotations.set_notes(RecordKind::Mc, 1, "Wet\nDry");
    const JobAnnotations annotations = store_.annotations;
    dialogs_.answers = {path("job1.qmk")};
    run(FileCommand::Save);
    ASSERT_TRUE(ui_.messages.empty());
    EXPECT_EQ(fs::file_size(path("plain.qmk")), 1112u + 2 * 68u);
    // Magic, count, one entry of 1 + 4 + 2 + 10 + 2 + 8 bytes, CRC.
    EXPECT_EQ(fs::file_size(path("job1.qmk")), 1112u + 2 * 68u + 8 + 4 + 27 + 4);

    store_ = ReadingStore{};
    wizard_ = WizardState{};
    dialogs_.answers = {path("job1.qmk")};
    const FileCommandResult result = run(FileCommand::Open);
    EXPECT_TRUE(result.loaded);
    EXPECT_EQ(chosen_, 1);
    EXPECT_EQ(store_.all_readings.size(), 2u);
    EXPECT_EQ(store_.mc_job_count, 1);
    EXPECT_EQ(wizard_.management_type, ManagedKind::Mc);
    EXPECT_EQ(wizard_.step, WizardStep::ChosenJobList);
    EXPECT_TRUE(wizard_.fromFile);
    EXPECT_EQ(selection_.selected_count, 1);
    EXPECT_EQ(store_.annotations, annotations);

    // A loaded file without them replaces them with none.
    dialogs_.answers = {path("plain.qmk")};
    EXPECT_TRUE(run(FileCommand::Open).loaded);
    EXPECT_TRUE(store_.annotations.empty());
}

TEST_F(FileCommandsTest, FailedSaveShowsAccessDeniedAndLeavesTheSettingsFileAlone) {
    settings_.remember_filename = 1;
    ASSERT_EQ(write_settings(folder_, settings_), SettingsStatus::Ok);
    const auto before = test::read_file(path("qm.dat"));
    select({0});
    const std::string target = path("missing-folder/job.qmk");
    dialogs_.answers = {target};

    run(FileCommand::Save);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0], access_denied(ENOENT));
    // Remembered in memory before the failure, but not written.
    EXPECT_EQ(settings_text(settings_.last_file_name), target);
    EXPECT_EQ(test::read_file(path("qm.dat")), before);
}

// A save of several jobs closes with where each went, through the message interface.
TEST_F(FileCommandsTest, SaveOfSeveralJobsListsWhatWasWrittenWhere) {
    selection_.save_mode = SaveMode::All;
    select({0, 1});
    test::write_file(path("a042.qmk"), {'o', 'l', 'd'}); // the second job's name is taken
    dialogs_.answers = {path("a.qmk")};
    run(FileCommand::Save);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0],
              (Message{"Saved 2 of 2 jobs, one file each:\nJob #1, ID# 7: " + path("a.qmk") +
                           "\nJob #3, ID# 42: " + path("a042 (2).qmk"),
                       "Save", MessageIcon::Information}));
    EXPECT_EQ(test::read_file(path("a042.qmk")), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
}

TEST_F(FileCommandsTest, SaveRecordsTheNameOnlyWhenRemembering) {
    select({0});
    dialogs_.answers = {path("a.qmk")};
    run(FileCommand::Save);
    EXPECT_EQ(settings_text(settings_.last_file_name), "");

    settings_.remember_filename = 1;
    ASSERT_EQ(write_settings(folder_, settings_), SettingsStatus::Ok);
    dialogs_.answers = {path("b.qmk")};
    run(FileCommand::Save);
    // The name reaches qm.dat at offset 272.
    const auto bytes = test::read_file(path("qm.dat"));
    ASSERT_EQ(bytes.size(), 536u);
    const std::string stored(reinterpret_cast<const char*>(bytes.data()) + 272);
    EXPECT_EQ(stored, path("b.qmk"));
    // ... and every dialog proposes it from then on, the export with its own extension.
    run(FileCommand::ExportCsv);
    EXPECT_EQ(dialogs_.calls.back().request.file_name, path("b.csv"));
}

TEST_F(FileCommandsTest, ExportWritesTheCurrentJobOrSaysWhyNot) {
    select({1}); // job 3
    dialogs_.answers = {path("job3.csv")};
    run(FileCommand::ExportCsv);
    EXPECT_TRUE(ui_.messages.empty());
    ASSERT_TRUE(fs::exists(path("job3.csv")));
    EXPECT_GT(fs::file_size(path("job3.csv")), 101u);

    // A file that cannot be written is reported as a failed save is; so is a FIFO in the way.
    dialogs_.answers = {path("missing-folder/job3.csv")};
    run(FileCommand::ExportCsv);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0], access_denied(ENOENT));
    ASSERT_EQ(mkfifo(path("fifo.csv").c_str(), 0644), 0);
    dialogs_.answers = {path("fifo.csv")};
    run(FileCommand::ExportCsv);
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[1].text, std::string(kAccessDeniedText) + "\nNot a regular file");
    ui_.messages.pop_back();

    // A job without readings writes nothing.
    store_.mc_jobs[1] = 5;
    dialogs_.answers = {path("job5.csv")};
    run(FileCommand::ExportCsv);
    EXPECT_FALSE(fs::exists(path("job5.csv")));
    EXPECT_EQ(ui_.messages.size(), 1u);
}

TEST_F(FileCommandsTest, SettingsCommandWritesTheWholeRecordInTheStartUpFolder) {
    settings_.celsius = 1;
    run(FileCommand::WriteSettings);
    const auto bytes = test::read_file(path("qm.dat"));
    ASSERT_EQ(bytes.size(), 536u);
    EXPECT_EQ(bytes[4], 1);
    EXPECT_TRUE(dialogs_.calls.empty());
}

} // namespace
} // namespace qm
