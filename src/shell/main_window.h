#pragma once

#include "files/file_commands.h"
#include "link/port_lock.h"
#include "shell/wizard.h"
#include "state/app_state.h"
#include "ui/layout_metrics.h"

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>

#include <filesystem>
#include <functional>
#include <memory>

class QAction;

namespace qm {

class HelpWindow;
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
    // Replaces the serial download (tests): true when it completed, false when it failed or
    // was cancelled.
    std::function<bool()> download;
    std::function<LocalDate()> today;
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
    void writeSettings();
    // A change of the options could not be written: said once a run.
    void optionsUnsaved();
    void createPanels();
    void placePage();
    void showHelp();
    void showAbout();
    void onJobSelectionChanged();
    // File > Report... and the job list's "Report...": the report dialog for the selected jobs.
    void openReport();
    void updateReportAction();
    bool runSerialDownload();
    // A download or a loaded file replaced the data: the side panel follows.
    void dataReplaced();
    FileCommandContext fileContext();

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
    std::unique_ptr<JobWindows> jobWindows_;
    ViewOpener viewOpener_;
    bool downloading_ = false;
    bool closeRequested_ = false;
    // The options in memory differ from a read-only qm.dat; the user has been told.
    bool optionsUnsaved_ = false;
    bool readOnlyTold_ = false;
    // The running serial download's side of the wait dialog.
    WaitDialogUi* waitUi_ = nullptr;
};

} // namespace qm
