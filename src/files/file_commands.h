#pragma once

#include "files/settings_file.h"
#include "store/job_records.h"
#include "store/meter_identity.h"
#include "store/reading_store.h"
#include "store/session_state.h"
#include "store/user_interface.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qm {

// The operations of file_command.
enum class FileCommand {
    Open,          // open a save file
    Save,          // save the selected jobs
    WriteSettings, // write the settings file
    ExportCsv,     // export the current job as CSV
};

constexpr std::string_view kAccessDeniedText =
    "File Access Denied! Check that file is not already open in another program!";
constexpr std::string_view kAccessDeniedCaption = "Error";

struct FileFilter {
    std::string description; // "Quellmark Save File (*.qmk)"
    std::string pattern;     // "*.qmk"
};

// What a file dialog is asked to show. Texts are Windows-1252; file names are file-system bytes.
struct FileDialogRequest {
    std::vector<FileFilter> filters;
    std::string default_extension; // added when the user types a name without one
    std::string file_name;         // proposed in the name field
    std::string initial_folder;    // an existing folder
    bool confirm_replace = true;   // ask before an existing file is replaced (save dialogs)
};

// The open and save dialogs. Each returns the chosen full name, or nothing when cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<std::string> open_file(const FileDialogRequest& request) = 0;
    virtual std::optional<std::string> save_file(const FileDialogRequest& request) = 0;
};

struct LocalDate {
    int year = 0; // four digits
    int month = 0;
    int day = 0;
};

LocalDate local_today();

// The name the dialogs propose. When remember_filename is set: last_file_name, as it stands for
// the open dialog and with its extension replaced by ".qmk" for the save dialog and by ".csv" for
// the CSV export. Otherwise today's date in the settings' order and the ID of the first selected
// job, "%i-%i-%iID%.3i.qmk" (".csv" for the CSV export). A position without a job gives ID 0.
std::string default_file_name(const SettingsRecord& settings, const ReadingStore& store,
                              const WizardState& wizard, const Selection& selection,
                              LocalDate today, FileCommand command);

// `path` with the extension of its file-name part (from its last dot) replaced by `extension`,
// or with `extension` appended when it has none: "/d/site.qmk", ".csv" -> "/d/site.csv".
std::string with_extension(std::string_view path, std::string_view extension);

// The message of a failed save or export: the access text, then the system's reason for
// `error` on its own line.
std::string access_denied_text(int error);

// The folder the dialogs open in: initial_folder when that folder exists, else the user's home
// folder (the stored default is a drive-letter path, which names no folder here).
std::string dialog_folder(const SettingsRecord& settings);

// Everything file_command works on, and the shell's part of an open.
struct FileCommandContext {
    ReadingStore& store;
    MeterIdentity& meter;
    JobRecords& job_records;
    WizardState& wizard;
    Selection& selection;
    SettingsRecord& settings;
    const std::string& startup_folder;
    UserInterface& ui;
    FileDialogs& dialogs;
    LocalDate today;
    // Called once a picked file has been loaded, before the wizard state is restored from it:
    // enables Back.
    std::function<void()> file_chosen;
};

struct FileCommandResult {
    bool refused = false; // an opened file was refused
    bool loaded = false;  // a save file was loaded: the wizard continues from it
    // How the settings write at the end of a save went (Ok when there was none).
    SettingsStatus settings_written = SettingsStatus::Ok;
    std::string path; // the file that was loaded
    // The jobs a save wrote, with their titles and notes.
    std::vector<std::int32_t> saved_jobs;
};

// The one entry point of all file work. Failures are shown through ui.
FileCommandResult file_command(FileCommand command, FileCommandContext& context);

} // namespace qm
