// The main window's file commands (Open, Save, Export) and its options in qm.dat.
#include "files/settings_file.h"
#include "shell/main_window.h"
#include "shell/side_panel.h"
#include "ui/qt_text.h"

#include <QDir>

namespace qm {

namespace {

constexpr std::string_view kErrorCaption = "Error!";
constexpr std::string_view kOptionsReadOnlyText =
    "The options cannot be saved: qm.dat is read-only.";
constexpr std::string_view kOptionsNotWrittenText =
    "The options cannot be saved: qm.dat cannot be written (it is a folder, not a file, or the "
    "disk refused it).";

// Whether a write of qm.dat left the options unsaved. A file held by another instance of the
// program is written by that one.
bool options_not_saved(SettingsStatus status) {
    return status != SettingsStatus::Ok && status != SettingsStatus::InUse;
}

} // namespace

void MainWindow::readSettingsAtStart() {
    if (state_.startup_folder.empty()) {
        state_.startup_folder = to_file_name(QDir::currentPath());
    }
    load_settings_at_start_up(state_.startup_folder, state_.settings);
    state_.meter.active_materials = kFirstMaterials;
}

void MainWindow::writeSettings() {
    // The settings write of the file commands, whose outcome the user is told.
    if (const SettingsStatus status = write_settings(state_.startup_folder, state_.settings);
        options_not_saved(status)) {
        optionsUnsaved(status);
    } else {
        optionsUnsaved_ = false;
    }
}

void MainWindow::optionsUnsaved(SettingsStatus status) {
    optionsUnsaved_ = true;
    if (!readOnlyTold_) {
        readOnlyTold_ = true;
        ui().message_box(status == SettingsStatus::ReadOnly ? kOptionsReadOnlyText
                                                            : kOptionsNotWrittenText,
                         kErrorCaption, MessageIcon::Warning);
    }
}

FileCommandContext MainWindow::fileContext() {
    return FileCommandContext{state_.store,
                              state_.meter,
                              state_.job_records,
                              state_.wizard,
                              state_.selection,
                              state_.settings,
                              state_.startup_folder,
                              *services_.ui,
                              *services_.dialogs,
                              services_.today(),
                              [this] { sidePanel_->setBackEnabled(true); }};
}

FileCommandResult MainWindow::runFileCommand(FileCommand command) {
    const SettingsRecord chosen = state_.settings;
    FileCommandContext context = fileContext();
    const FileCommandResult result = file_command(command, context);
    SettingsRecord& now = state_.settings;
    if (optionsUnsaved_) {
        // qm.dat could not take the options chosen in this run: they stay in force over what
        // the command read from it; only a name that a save remembered is new.
        const SettingsRecord read = now;
        now = chosen;
        if (command == FileCommand::Save) {
            std::copy(std::begin(read.last_file_name), std::end(read.last_file_name),
                      std::begin(now.last_file_name));
        }
    }
    if (command == FileCommand::Save && now.remember_filename != 0 &&
        settings_text(now.last_file_name) != settings_text(chosen.last_file_name) &&
        options_not_saved(result.settings_written)) {
        optionsUnsaved(result.settings_written);
    }
    if (command == FileCommand::Open || command == FileCommand::Save) {
        // A read of the settings file may have changed the options.
        updateCheckMarks();
    }
    unsaved_->saved(result.saved_jobs);
    if (result.loaded) {
        keepOpenedFile(result.path);
        dataReplaced();
        wizard_.fileLoaded();
    }
    return result;
}

void MainWindow::openSaveFile() {
    if (!downloading_ && unsaved_->mayDrop()) {
        runFileCommand(FileCommand::Open);
    }
}

} // namespace qm
