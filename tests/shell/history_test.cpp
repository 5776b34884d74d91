// The visit archive in the desktop program: every download and opened file kept, titles and
// notes following them across a restart, and File > History (Ctrl+H) with Open, Export... and
// Delete..., by keyboard and by mouse.
#include "archive/archive_session.h"
#include "files/csv_export.h"
#include "files/save_file.h"
#include "projects/project_store.h"
#include "shell/job_list_page.h"
#include "shell/job_windows.h"
#include "shell/shell_fixture.h"
#include "support/archive_fixture.h"
#include "support/test_files.h"
#include "views/history_model.h"
#include "views/history_window.h"
#include "views/visit_evidence_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace qm::test {
namespace {

class HistoryTest : public SimShellTest {
protected:
    MainWindow& openProgram(bool serial = true) {
        ShellServices services;
        services.ui = &ui_;
        services.dialogs = &dialogs_;
        services.archive_path = path("archive.sqlite");
        services.lock_dir = path("locks");
        services.choose_folder = [this] { return std::optional<std::string>(path("out")); };
        services.confirm = [this](const QString& question) {
            questions_.push_back(question);
            return yes_;
        };
        services.ask_save = [this](std::string_view text) {
            saveQuestions_.emplace_back(text);
            return SaveAnswer::Discard;
        };
        if (!serial) {
            services.download = [this] { return fakeDownload(); };
        }
        services.ask_technician = [this](const QString&) {
            ++technicianAsks_;
            return std::optional<QString>("Ann Lee");
        };
        services.choose_meter = [this](const std::vector<UserMeter>& meters) {
            meterChoices_.push_back(meters.size());
            return std::optional<std::size_t>(1);
        };
        window_ = std::make_unique<MainWindow>(*state_, services);
        window_->show();
        return *window_;
    }
    // Downloads from the emulator and shows the MC job list, its first job selected.
    JobListPage& downloadMcJobs() {
        press(kForwardCommand);
        if (pageId() == kDataKindPageId) {
            press(kSecondCommand);
        }
        JobListPage* page = window_->jobListPage();
        EXPECT_NE(page, nullptr);
        page->list()->item(0)->setSelected(true);
        return *page;
    }
    HistoryWindow& history() {
        window_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        QTest::keyClick(window_.get(), Qt::Key_H, Qt::ControlModifier);
        HistoryWindow* h = window_->historyWindow();
        EXPECT_NE(h, nullptr);
        EXPECT_TRUE(h->isVisible());
        return *h;
    }
    std::string csvOfJob(std::int32_t job) const {
        return export_csv(state_->store, state_->meter, job, 0, 0);
    }

    std::vector<QString> questions_;
    std::vector<std::string> saveQuestions_; // "Save changes to the job titles and notes?"
    bool yes_ = true;
    int technicianAsks_ = 0;
    std::vector<std::size_t> meterChoices_; // how many meters each choice offered
};

TEST_F(HistoryTest, TitlesSurviveBackAndARestartAndComeBackFromHistory) {
    openProgram();
    downloadMcJobs();
    const std::int32_t job = state_->store.mc_jobs[0];
    press(JobListPage::kChangeTitleId);
    window_->jobWindows()->titleDialog()->edit()->setText("North wall");
    window_->jobWindows()->titleDialog()->okButton()->click();
    const std::string csv = csvOfJob(job);
    const std::vector<Reading> readings = state_->store.all_readings;
    window_->back();
    window_->back();
    window_.reset();

    // The program starts again on a fresh state.
    state_ = std::make_unique<AppState>();
    state_->startup_folder = folder_;
    openProgram();
    HistoryWindow& h = history();
    ASSERT_EQ(h.model()->rowCount(), 1);
    EXPECT_TRUE(h.model()
                    ->data(h.model()->index(0, HistoryModel::Jobs), Qt::DisplayRole)
                    .toString()
                    .contains("North wall"));
    QTest::keyClick(h.table(), Qt::Key_Return);
    EXPECT_EQ(state_->store.all_readings, readings);
    EXPECT_EQ(state_->store.annotations.title(RecordKind::Mc, job), "North wall");
    EXPECT_EQ(csvOfJob(job), csv);
    EXPECT_NE(pageId(), kStartPageId);
    EXPECT_TRUE(ui_.messages.empty());

    // Notes typed on the reopened visit reach the archive too.
    state_->store.annotations.set_notes(RecordKind::Mc, job, "Recheck");
    window_->annotationsStored(RecordKind::Mc, job);
    const VisitSummary visit = window_->archive().archive()->list_visits("", 0, 1).value().at(0);
    EXPECT_EQ(visit.jobs.at(0).notes, "Recheck");
    // Titles and notes the archive keeps are never asked about.
    EXPECT_TRUE(saveQuestions_.empty());
}

// The technician is asked once, at the first download; the meter is chosen among the user's;
// History shows both and edits the calibration check, a failed one in red.
TEST_F(HistoryTest, TechnicianAskedOnceMeterChosenAndCheckMarked) {
    struct NoTechnician { // neither set nor asked; the run's name back at the end
        NoTechnician() { qunsetenv("QUELLMARK_TECHNICIAN"); }
        ~NoTechnician() { qputenv("QUELLMARK_TECHNICIAN", "Test Technician"); }
    } none;
    QSettings(QSettings::IniFormat, QSettings::UserScope, "quellmark", "visits").clear();
    {
        OpenedArchive opened = open_archive(path("archive.sqlite"));
        ASSERT_TRUE(add_user_meter(*opened.archive, {"Blue", "B-1", ""}));
        ASSERT_TRUE(add_user_meter(*opened.archive, {"Red", "R-9", ""}));
    }
    openProgram();
    downloadMcJobs();
    window_->back();
    window_->back();
    downloadMcJobs(); // the same bytes again: asked for the meter, not for the name
    EXPECT_EQ(technicianAsks_, 1);
    EXPECT_EQ(meterChoices_, (std::vector<std::size_t>{2, 2}));
    window_->showHistory();
    ASSERT_NE(window_->historyWindow(), nullptr);
    HistoryWindow& h = *window_->historyWindow();
    ASSERT_EQ(h.model()->rowCount(), 1);
    const auto shown = [&](int column, int role = Qt::DisplayRole) {
        return h.model()->data(h.model()->index(0, column), role);
    };
    EXPECT_EQ(shown(HistoryModel::Technician).toString(), "Ann Lee, Red");

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<VisitEvidenceDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->meterBox()->currentText(), "Red (serial R-9)");
        dialog->checkedBox()->setChecked(true);
        dialog->readEdit()->setValue(13.4);
        dialog->expectedEdit()->setValue(12.0);
        EXPECT_TRUE(dialog->verdictLabel()->text().contains("\u2717 off by 1.4"));
        dialog->accept();
    });
    h.detailsButton()->click();
    EXPECT_TRUE(shown(HistoryModel::Check).toString().endsWith("12.0 block \u2717 off by 1.4"))
        << shown(HistoryModel::Check).toString().toStdString();
    EXPECT_EQ(shown(HistoryModel::Check, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    EXPECT_EQ(shown(HistoryModel::Technician).toString(), "Ann Lee, Red");
    EXPECT_TRUE(ui_.messages.empty());
    QSettings(QSettings::IniFormat, QSettings::UserScope, "quellmark", "visits").clear();
}

TEST_F(HistoryTest, OpenedFilesAreKeptOnceExportedAndDeletedWhenConfirmed) {
    meterHolds({make_reading(PinWithTemperature, 1, 1), make_reading(RhTemperature, 2, 2)});
    openProgram(false);
    press(kForwardCommand);
    state_->store.annotations.set_title(RecordKind::Mc, 1, "Attic");
    const SaveFileHeader header = make_save_header({}, {}, state_->meter, state_->store);
    write_file(path("site.qmk"), encode_save(header, state_->meter, state_->store.all_readings, 1,
                                             state_->store.annotations));
    for (int i = 0; i < 2; ++i) {
        dialogs_.answers = {path("site.qmk")};
        window_->menuCommand(kMenuOpen);
    }
    HistoryWindow& h = history();
    ASSERT_EQ(h.model()->rowCount(), 1); // the fake download has no bytes to keep
    EXPECT_EQ(
        h.model()->data(h.model()->index(0, HistoryModel::Source), Qt::DisplayRole).toString(),
        "File");

    std::filesystem::create_directories(path("out"));
    write_file(path("out/Job1-ID011.qmk"), {9});
    yes_ = false;
    h.exportButton()->click();
    ASSERT_EQ(questions_.size(), 1U);
    EXPECT_EQ(read_file(path("out/Job1-ID011.qmk")), (std::vector<std::uint8_t>{9}));
    yes_ = true;
    h.exportButton()->click();
    const DecodedVisit exported = decode_visit(read_file(path("out/Job1-ID011.qmk")));
    EXPECT_EQ(exported.store->all_readings,
              decode_visit(read_file(path("site.qmk"))).store->all_readings);
    EXPECT_EQ(exported.store->annotations.title(RecordKind::Mc, 1), "Attic");

    // The question names the days the visit takes out of a project's log, and the team.
    VisitArchive& archive = *window_->archive().archive();
    ProjectStore projects(archive);
    const std::int64_t leak = projects.create({"Kitchen leak", "", "", "", {}, {}, {}, ""}).value();
    ASSERT_TRUE(projects.attach(leak, projects.visit_jobs(h.selectedVisit(), std::nullopt)));
    yes_ = false;
    QTest::keyClick(h.table(), Qt::Key_Delete);
    EXPECT_EQ(h.model()->rowCount(), 1);
    EXPECT_TRUE(questions_.back().endsWith(
        QStringLiteral("notes?\n\nDay 1 of \u201CKitchen leak\u201D will leave its drying "
                       "log.\nOther laptops keep it.")))
        << questions_.back().toStdString();
    yes_ = true;
    h.deleteButton()->click();
    EXPECT_EQ(h.model()->rowCount(), 0);
    EXPECT_EQ(projects.attached_keys(leak)->size(), 1U); // attached still, for the team
    // The data on screen no longer comes from the archive: its titles go to no later visit.
    EXPECT_FALSE(window_->archive().current_visit());
    EXPECT_FALSE(h.openButton()->isEnabled());
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(HistoryTest, UnusableArchiveIsSaidOnceAndFilesStillOpen) {
    std::filesystem::create_directory(path("archive.sqlite"));
    meterHolds({make_reading(PinWithTemperature, 1, 1)});
    openProgram(false);
    press(kForwardCommand);
    const SaveFileHeader header = make_save_header({}, {}, state_->meter, state_->store);
    write_file(path("site.qmk"), encode_save(header, state_->meter, state_->store.all_readings, 1,
                                             state_->store.annotations));
    for (int i = 0; i < 2; ++i) {
        dialogs_.answers = {path("site.qmk")};
        EXPECT_TRUE(window_->runFileCommand(FileCommand::Open).loaded);
    }
    window_->menuCommand(kMenuHistory);
    ASSERT_EQ(ui_.messages.size(), 1U);
    EXPECT_EQ(ui_.messages[0].text,
              archive_unusable_message(path("archive.sqlite"), "Is a directory"));
    EXPECT_EQ(window_->historyWindow(), nullptr);
}

// The list fetches its rows a page at a time; the filter narrows it.
TEST_F(HistoryTest, ListFetchesOnDemandAndFilters) {
    OpenedArchive opened = open_archive(path("many.sqlite"));
    ASSERT_TRUE(opened.archive);
    for (int n = 0; n < 250; ++n) {
        archive_source(*opened.archive, variant_stream(n), {n * 60, 0});
    }
    HistoryWindow window(*opened.archive, {});
    HistoryModel& model = *window.model();
    EXPECT_EQ(model.matchingVisits(), 250);
    EXPECT_EQ(model.rowCount(), HistoryModel::kPageRows);
    model.fetchMore({});
    EXPECT_EQ(model.rowCount(), 2 * HistoryModel::kPageRows);
    EXPECT_EQ(model.data(model.index(0, HistoryModel::Meter), Qt::DisplayRole).toString(),
              "TRK 249");
    QTest::keyClicks(window.filterEdit(), "trk 007");
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(window.selectedVisit(), model.visitId(0));
}

} // namespace
} // namespace qm::test
