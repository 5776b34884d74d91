#pragma once

#include "shell/main_window.h"
#include "shell/side_panel.h"
#include "shell/wizard_page.h"
#include "state/app_state.h"
#include "store/job_index.h"
#include "support/recording_ui.h"
#include "support/scripted_file_dialogs.h"

#include <QCoreApplication>
#include <QProcess>
#include <QPushButton>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace qm::test {

// A reading of one kind and job; minute tells readings apart and orders them in time.
inline Reading make_reading(std::int32_t kind, std::int32_t job, std::int32_t minute = 0,
                            std::int32_t location = 0) {
    Reading r;
    r.kind = kind;
    r.job = job;
    r.location = location;
    r.year = 3;
    r.month = 8;
    r.day = 18;
    r.hour_code = 0x40 | 0x20 | 0x01; // 1 PM on the 12-hour clock
    r.minute = minute;
    r.mc = 14.2;
    r.rh = 50.0;
    r.temperature = 68.0;
    return r;
}

// A main window on a fresh state in a temporary start-up folder, with recorded message boxes,
// scripted file dialogs and a download that hands over prepared readings.
class ShellTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qm-shell-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        state_ = std::make_unique<AppState>();
        state_->startup_folder = folder_;
    }
    void TearDown() override {
        window_.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::filesystem::remove_all(folder_);
    }

    MainWindow& open() {
        ShellServices services;
        services.ui = &ui_;
        services.dialogs = &dialogs_;
        services.download = [this] { return fakeDownload(); };
        services.today = [] { return LocalDate{2009, 5, 12}; };
        services.archive_path = path("archive.sqlite");
        services.ask_technician = [](const QString&) -> std::optional<QString> {
            return std::nullopt; // the first download asks once: no name given
        };
        services.ask_save = [this](std::string_view text) {
            questions_.emplace_back(text);
            if (answers_.empty()) {
                return SaveAnswer::Discard;
            }
            const SaveAnswer answer = answers_.front();
            answers_.erase(answers_.begin());
            return answer;
        };
        window_ = std::make_unique<MainWindow>(*state_, services);
        return *window_;
    }

    // What the next download finds in the meter; an empty meter when nothing is set.
    void meterHolds(std::vector<Reading> readings, std::string model = "TRK ALFA") {
        meterReadings_ = std::move(readings);
        meterModel_ = std::move(model);
    }

    // The next downloads fail (or are cancelled) once the base unit has answered: nothing of
    // the state changes.
    void meterFails() { meterFails_ = true; }

    bool fakeDownload() {
        ++downloads_;
        AppState& s = *state_;
        s.link.link_established = true;
        if (meterFails_) {
            return false;
        }
        s.job_records.clear();
        s.store.all_readings = meterReadings_;
        s.store.annotations.clear();
        s.store.job_ids = {11, 12, 13, 14, 15};
        rebuild_job_lists(s.store);
        s.meter.set_model(meterModel_);
        s.selection.current_job_index = 0;
        if (!meterReadings_.empty()) {
            s.job_records.seed_after_download();
        }
        return true;
    }

    void press(int id) { window_->pageCommand(id); }
    int pageId() const { return window_->currentPage()->pageId(); }
    QString side(int id) const { return window_->sidePanel()->fieldText(id); }
    QPushButton* pageButton(int id) const { return window_->currentPage()->button(id); }
    std::string path(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
    std::unique_ptr<AppState> state_;
    RecordingUi ui_;
    ScriptedFileDialogs dialogs_;
    // The questions asked before titles and notes are dropped, and the answers to give (then
    // Discard).
    std::vector<std::string> questions_;
    std::vector<SaveAnswer> answers_;
    std::unique_ptr<MainWindow> window_;
    std::vector<Reading> meterReadings_;
    std::string meterModel_ = "TRK ALFA";
    bool meterFails_ = false;
    int downloads_ = 0;
};

// A shell test with rq5200-sim serving a 12-reading demo meter, named by QUELLMARK_PORTS, and
// the port's lock file in the test's own folder.
class SimShellTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        link_ = path("rq5200");
        std::filesystem::create_directory(path("locks"));
        startSim();
        setenv("QUELLMARK_PORTS", link_.c_str(), 1);
    }
    // The program's own services: the real serial download; message boxes and file dialogs are
    // still recorded.
    ShellServices serialServices() {
        ShellServices services;
        services.ui = &ui_;
        services.dialogs = &dialogs_;
        services.lock_dir = path("locks");
        services.archive_path = path("archive.sqlite");
        services.ask_technician = [](const QString&) -> std::optional<QString> {
            return std::nullopt; // the first download asks once: no name given
        };
        services.ask_save = [this](std::string_view text) {
            questions_.emplace_back(text);
            return SaveAnswer::Discard;
        };
        return services;
    }
    void TearDown() override {
        unsetenv("QUELLMARK_PORTS");
        stopSim();
        ShellTest::TearDown();
    }

    // (Re)starts the emulator, with fault options when given.
    void startSim(const QStringList& faults = {}) {
        stopSim();
        std::filesystem::remove(link_);
        sim_.start(QStringLiteral(QM_SIM_PATH),
                   QStringList{QString::fromStdString(link_), "--demo", "--readings", "12"} +
                       faults);
        ASSERT_TRUE(sim_.waitForStarted(5000));
        for (int i = 0; i < 200 && !std::filesystem::exists(link_); ++i) {
            QThread::msleep(10);
        }
        ASSERT_TRUE(std::filesystem::exists(link_));
    }
    void stopSim() {
        if (sim_.state() != QProcess::NotRunning) {
            sim_.terminate();
            sim_.waitForFinished(5000);
        }
    }

    std::string link_;
    QProcess sim_;
};

// MC readings of jobs 1, 2 and 4 and RH/T readings of jobs 3 and 5.
inline std::vector<Reading> both_kinds() {
    return {make_reading(Pin, 1, 1),           make_reading(Pin, 1, 2),
            make_reading(Pin, 2, 3),           make_reading(PinWithTemperature, 4, 4),
            make_reading(RhTemperature, 3, 5), make_reading(RhTemperature, 5, 6)};
}

inline std::vector<Reading> mc_only() {
    return {make_reading(Pin, 1, 1), make_reading(Scan, 2, 2), make_reading(Pin, 4, 3),
            make_reading(Pin, 4, 7)};
}

inline std::vector<Reading> rh_only() {
    return {make_reading(RhTemperature, 2, 1), make_reading(RhTemperature, 3, 2)};
}

} // namespace qm::test
