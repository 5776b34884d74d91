#pragma once

#include "archive/visit_evidence.h"
#include "files/file_commands.h"
#include "link/port_lock.h"
#include "shell/unsaved_annotations.h"
#include "shell/wizard.h"
#include "state/app_state.h"
#include "ui/layout_metrics.h"
#include "views/projects_window.h"
#include "views/team_sync_flow.h"

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

class QAction;

namespace qm {

class ArchiveSession;
struct ReportJob;
struct ReportProjectChoice;
class HelpWindow;
class HistoryWindow;
class ProjectsWindow;
class JobWindows;
class JobListPage;
class SidePanel;
class WaitDialogUi;
class WizardPage;

// Menu command ids.
constexpr int kMenuOpen = 40029;
constexpr int kMenuClose = 40040;
constexpr int kMenuRememberFilename = 40030;
constexpr int kMenuFahrenheit = 40033;
constexpr int kMenuCelsius = 40034;
constexpr int kMenuUsDate = 40045;
constexpr int kMenuInternationalDate = 40046;
constexpr int kMenuHelpTopics = 40044;
constexpr int kMenuAbout = 40002;
// File > Report...: the client report of the selected jobs.
constexpr int kMenuReport = 40050;
// File > History...: the visits of the archive.
constexpr int kMenuHistory = 40051;
// File > Projects...: the drying projects of the archive.
constexpr int kMenuProjects = 40052;
// File > Team Server...: the address of the team server that Sync uses.
constexpr int kMenuTeamServer = 40053;
// File > Technician...: who reads with this computer.
constexpr int kMenuTechnician = 40054;
// Commands without a menu item: each flips one part of a batch print (4, 2 and 1).
constexpr int kMenuPrintHistogram = 40041;
constexpr int kMenuPrintTable = 40042;
constexpr int kMenuPrintSummary = 40043;

class MainWindow;

// Opens (or shows) the readings view of the selected job when "View" is pressed on the job list.
using ViewOpener = std::function<void(MainWindow&)>;

// What the main window uses from the outside world; every member may be left empty for the
// real thing (message boxes, file dialogs, the serial download, today's date).
struct ShellServices {
    UserInterface* ui = nullptr;
    FileDialogs* dialogs = nullptr;
    // Asks before unsaved titles and notes are dropped.
    SaveQuestion ask_save;
    // Replaces the serial download (tests): true when it completed, false when it failed or
    // was cancelled.
    std::function<bool()> download;
    std::function<LocalDate()> today;
    // The visit archive's file; empty for default_archive_path().
    std::string archive_path;
    // The History window's folder choice and Yes/No questions; empty for the real dialogs.
    std::function<std::optional<std::string>()> choose_folder;
    std::function<bool(const QString&)> confirm;
    // After a download or File > Open: "Attach ... to the project ...?", true for Yes.
    std::function<bool(const QString&)> ask_attach;
    // The Projects window's New... (a name; nothing when cancelled) and Attach... (the jobs
    // chosen; empty when cancelled).
    std::function<std::optional<QString>()> ask_project_name;
    std::function<std::vector<JobRef>(const std::vector<JobChoice>&)> choose_jobs;
    // The technician's name (File > Technician... and once at the first download), given the
    // name set now; nothing when cancelled.
    std::function<std::optional<QString>(const QString&)> ask_technician;
    // The meter a download was read with, of those known for its model (more than one): its
    // index; nothing when the user does not say.
    std::function<std::optional<std::size_t>(const std::vector<UserMeter>&)> choose_meter;
    // Sync's questions (server, password, refused edits); empty members get the real dialogs.
    TeamSyncActions sync;
    // Where the serial download keeps the port's lock file (tests use a folder of their own).
    std::filesystem::path lock_dir = kLockDir;
};

// The application's one top-level window: the menu, the side panel at the left and the current
// wizard page at the right.
class MainWindow : public QMainWindow, private WizardHost {
    Q_OBJECT
public:
    explicit MainWindow(AppState& state, ShellServices services = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    AppState& state() { return state_; }
    const LayoutMetrics& metrics() const { return metrics_; }
    SidePanel* sidePanel() const { return sidePanel_; }
    WizardPage* currentPage() const { return page_; }
    // The current page when it is the job list, else nullptr.
    JobListPage* jobListPage() const;
    // The text of a job-list entry, for the headings of the views.
    QString jobListEntryText(int position) const;
    QAction* menuAction(int id) const;
    HelpWindow* helpWindow() const;
    // The job summaries, the title window and the batch print.
    JobWindows* jobWindows() const { return jobWindows_.get(); }
    bool downloading() const { return downloading_; }

    void setViewOpener(ViewOpener opener) { viewOpener_ = std::move(opener); }

    // A menu command by id (also the commands without a menu item).
    void menuCommand(int id);
    // A page button by id, as if it had been pressed.
    void pageCommand(int id);
    // The side panel's Back.
    void back();
    // Runs file_command with the window's services; an accepted open continues the wizard.
    FileCommandResult runFileCommand(FileCommand command);
    // File > History...: shows the History window (created at the first call).
    void showHistory();
    HistoryWindow* historyWindow() const;
    // History's Open: the visit comes in as a loaded file does.
    void openArchivedVisit(std::int64_t id);
    // File > Projects...: shows the Projects window (created at the first call).
    void showProjects();
    ProjectsWindow* projectsWindow() const;
    // Sync of the History and Projects windows: the archive with the team server, then both
    // windows read it again.
    void syncArchive(QWidget* from);
    // File > Team Server...
    void editTeamServer();
    // File > Technician...
    void editTechnician();
    // A title or notes were confirmed: the current visit of the archive takes them.
    void annotationsStored(RecordKind kind, std::int32_t job);
    ArchiveSession& archive() { return *archive_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // WizardHost
    void closePage() override;
    void showPage(int pageId) override;
    void reshowPage() override;
    bool runDownload() override;
    void openSaveFile() override;
    void setBackEnabled(bool enabled) override;
    void clearQuickJobInfo() override;
    bool pageShown() const override;
    void repaintSidePanel() override;
    bool linkEstablished() const override;
    UserInterface& ui() override;

    void readSettingsAtStart();
    void buildMenu();
    void updateCheckMarks();
    // An item of the Options menu (or a batch print part) flipped or chosen; false for any other
    // command.
    bool toggleOption(int id);
    // The options changed: the check marks, the open windows and qm.dat follow.
    void optionsChanged();
    void writeSettings();
    // A change of the options could not be written: said once a run.
    void optionsUnsaved(SettingsStatus status);
    void createPanels();
    void placePage();
    void showHelp();
    void showAbout();
    void onJobSelectionChanged();
    // File > Report... and the job list's "Report...": the report dialog for the selected jobs.
    void openReport();
    ReportProjectChoice reportProject(const std::vector<ReportJob>& jobs);
    void updateReportAction();
    bool runSerialDownload();
    // A download or a loaded file replaced the data: the side panel follows.
    void dataReplaced();
    // Closes the windows that show a job of the data (views, histogram, summaries, title and
    // notes windows).
    void closeJobWindows();
    FileCommandContext fileContext();
    // Keeps a completed download in the archive before the wizard goes on.
    void keepDownload(std::span<const std::uint8_t> stream);
    // Keeps the file File > Open just loaded.
    void keepOpenedFile(const std::string& path);
    // The archive changed: the History and Projects windows read it again.
    void archiveChanged();
    // History's Delete... took a visit out of the archive: the data on screen no longer comes
    // from it, and the Projects window no longer shows its jobs.
    void visitDeleted(std::int64_t id);
    // Sync's flow, made at its first use.
    TeamSyncFlow& teamSync();
    // Asks for the technician's name when it was never asked (the first download).
    void askTechnicianOnce();
    // The technician and meter the next visit kept says; `ask` lets the user choose among
    // several meters of its model.
    void sayEvidence(bool ask);
    // Offers the jobs of the visit just kept to the projects whose jobs they continue.
    void proposeAttachments();

    AppState& state_;
    ShellServices services_;
    std::unique_ptr<UserInterface> ownUi_;
    std::unique_ptr<FileDialogs> ownDialogs_;
    LayoutMetrics metrics_;
    QPixmap banner_;
    bool pagesCreated_ = false;
    Wizard wizard_;
    SidePanel* sidePanel_ = nullptr;
    WizardPage* page_ = nullptr;
    QPointer<HelpWindow> help_;
    std::unique_ptr<ArchiveSession> archive_;
    QPointer<HistoryWindow> history_;
    QPointer<ProjectsWindow> projects_;
    std::unique_ptr<TeamSyncFlow> teamSync_;
    std::unique_ptr<JobWindows> jobWindows_;
    ViewOpener viewOpener_;
    std::unique_ptr<UnsavedAnnotations> unsaved_;
    bool downloading_ = false;
    bool closeRequested_ = false;
    // The options in memory differ from a read-only qm.dat; the user has been told.
    bool optionsUnsaved_ = false;
    bool readOnlyTold_ = false;
    // The running serial download's side of the wait dialog.
    WaitDialogUi* waitUi_ = nullptr;
};

} // namespace qm
