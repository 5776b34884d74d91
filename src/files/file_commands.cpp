#include "files/file_commands.h"

#include "files/csv_export.h"
#include "files/regular_file.h"
#include "files/save_file.h"
#include "store/job_index.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qm {

namespace {

const std::vector<FileFilter> kSaveFilters = {{"Quellmark Save File (*.qmk)", "*.qmk"},
                                              {"All Files (*.*)", "*.*"}};
const std::vector<FileFilter> kCsvFilters = {{"Excel CSV File (*.csv)", "*.csv"},
                                             {"All Files (*.*)", "*.*"}};

bool is_folder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string home_folder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/";
}

FileDialogRequest make_request(const FileCommandContext& c, FileCommand command) {
    FileDialogRequest request;
    const bool csv = command == FileCommand::ExportCsv;
    request.filters = csv ? kCsvFilters : kSaveFilters;
    request.default_extension = csv ? "csv" : "qmk";
    request.file_name =
        default_file_name(c.settings, c.store, c.wizard, c.selection, c.today, command);
    request.initial_folder = dialog_folder(c.settings);
    request.confirm_replace = true;
    return request;
}

FileCommandResult open_save_file(FileCommandContext& c, const FileDialogRequest& request) {
    FileCommandResult result;
    const std::optional<std::string> path = c.dialogs.open_file(request);
    if (!path) {
        return result;
    }
    // The slots belong to the data they were made for: they go whatever the file holds. Titles
    // and notes go only when the file's data replaces the old (load_save).
    c.job_records.clear();
    const LoadResult load = load_save(*path, c.store, c.meter, c.ui);
    if (load.accepted()) {
        // Only a file that was loaded stands in for the meter (fromFile); a refused one leaves
        // the wizard as it was.
        if (c.file_chosen) {
            c.file_chosen();
        }
        apply_restored_session(load.session, c.wizard, c.selection);
        // A file of one kind always continues at its job list, also when it was saved from the
        // job list that a download of one kind leads to.
        if (!c.wizard.bothKinds && c.store.mc_job_count + c.store.rh_job_count > 0) {
            c.wizard.step = kSavedStep;
        }
        result.loaded = true;
        result.path = *path;
    } else if (load.rejected()) {
        result.refused = true;
    }
    return result;
}

// Saves the jobs; the result says which were written and how the settings write that ends the
// save went (Ok when there was none).
void save_jobs(FileCommandContext& c, const FileDialogRequest& request, FileCommandResult& result) {
    const std::optional<std::string> path = c.dialogs.save_file(request);
    if (!path) {
        return;
    }
    if (c.settings.remember_filename != 0) {
        set_settings_text(c.settings.last_file_name, *path);
    }
    const SaveResult saved = write_save(*path, c.wizard, c.selection, c.meter, c.store);
    if (!saved.ok) {
        c.ui.message_box(access_denied_text(saved.error), kAccessDeniedCaption,
                         MessageIcon::Warning);
        return;
    }
    // A save of several jobs says where each went: a further file may have a numbered name.
    if (const std::string text = saved_files_text(saved, c.store); !text.empty()) {
        c.ui.message_box(text, kSavedFilesCaption,
                         saved.skipped.empty() ? MessageIcon::Information : MessageIcon::Warning);
    }
    result.saved_jobs = saved.written_jobs;
    result.settings_written = write_settings(c.startup_folder, c.settings);
}

void export_job(FileCommandContext& c, const FileDialogRequest& request) {
    const std::optional<std::string> path = c.dialogs.save_file(request);
    if (!path) {
        return;
    }
    const std::int32_t job =
        job_at_slot(c.store, c.wizard.management_type, c.selection.current_job_index);
    if (count_readings(c.store, job, KindFilter::Any) == 0) {
        return;
    }
    const int error = export_csv_file(*path, c.store, c.meter, job, c.settings.celsius,
                                      c.settings.international_date);
    if (error != 0) {
        c.ui.message_box(access_denied_text(error), kAccessDeniedCaption, MessageIcon::Warning);
    }
}

} // namespace

std::string with_extension(std::string_view path, std::string_view extension) {
    const auto slash = path.rfind('/');
    const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
    const auto dot = path.rfind('.');
    // A dot that starts the name marks a hidden file, not an extension.
    const bool has_extension = dot != std::string_view::npos && dot > name_start;
    std::string result(path.substr(0, has_extension ? dot : path.size()));
    result += extension;
    return result;
}

std::string access_denied_text(int error) {
    std::string text(kAccessDeniedText);
    text += '\n';
    text += file_error_text(error);
    return text;
}

LocalDate local_today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return LocalDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string default_file_name(const SettingsRecord& settings, const ReadingStore& store,
                              const WizardState& wizard, const Selection& selection,
                              LocalDate today, FileCommand command) {
    if (settings.remember_filename != 0) {
        const std::string_view remembered = settings_text(settings.last_file_name);
        // An export must not be proposed onto the save file it was remembered from.
        if (command == FileCommand::Open || remembered.empty()) {
            return std::string(remembered);
        }
        return with_extension(remembered, command == FileCommand::ExportCsv ? ".csv" : ".qmk");
    }
    const std::int32_t id =
        job_id_of(store, job_at_slot(store, wizard.management_type, selection.selected_jobs[0]));
    const bool international = settings.international_date != 0;
    const int first = international ? today.day : today.month;
    const int second = international ? today.month : today.day;
    const char* format =
        command == FileCommand::ExportCsv ? "%i-%i-%iID%.3i.csv" : "%i-%i-%iID%.3i.qmk";
    char name[64];
    std::snprintf(name, sizeof name, format, first, second, today.year, id);
    return name;
}

std::string dialog_folder(const SettingsRecord& settings) {
    const std::string folder(settings_text(settings.initial_folder));
    return is_folder(folder) ? folder : home_folder();
}

FileCommandResult file_command(FileCommand command, FileCommandContext& context) {
    if (command == FileCommand::WriteSettings) {
        write_settings(context.startup_folder, context.settings);
        return {};
    }
    read_settings(context.startup_folder, context.settings);
    const FileDialogRequest request = make_request(context, command);
    switch (command) {
    case FileCommand::Open:
        return open_save_file(context, request);
    case FileCommand::Save: {
        FileCommandResult result;
        save_jobs(context, request, result);
        return result;
    }
    case FileCommand::ExportCsv:
        export_job(context, request);
        break;
    default:
        break;
    }
    return {};
}

} // namespace qm
