#include "shell/main_window.h"

#include "archive/archive_session.h"
#include "files/settings_file.h"
#include "files/transcript_file.h"
#include "link/download_procedure.h"
#include "link/link_transcript.h"
#include "projects/drying_days.h"
#include "report/project_report_source.h"
#include "report/report_dialog.h"
#include "report/report_source.h"
#include "shell/about_dialog.h"
#include "shell/help_window.h"
#include "shell/job_list_page.h"
#include "shell/job_selection.h"
#include "shell/job_windows.h"
#include "shell/resources.h"
#include "shell/side_panel.h"
#include "shell/wizard_page.h"
#include "summaries/job_notes_dialog.h"
#include "summaries/summary_window.h"
#include "ui/qt_file_dialogs.h"
#include "ui/qt_text.h"
#include "ui/qt_user_interface.h"
#include "views/histogram_dialog.h"
#include "views/readings_view.h"
#include "views/wait_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QMenuBar>

namespace qm {

namespace {

constexpr std::string_view kHelpMissingText = "Unable to Open Help File!";
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

MainWindow::MainWindow(AppState& state, ShellServices services, QWidget* parent)
    : QMainWindow(parent), state_(state), services_(std::move(services)), wizard_(state, *this) {
    init_resources();
    if (services_.ui == nullptr) {
        ownUi_ = std::make_unique<QtUserInterface>();
        services_.ui = ownUi_.get();
    }
    if (services_.dialogs == nullptr) {
        ownDialogs_ = std::make_unique<QtFileDialogs>();
        services_.dialogs = ownDialogs_.get();
    }
    if (!services_.today) {
        services_.today = local_today;
    }
    archive_ = std::make_unique<ArchiveSession>(
        services_.archive_path.empty() ? default_archive_path() : services_.archive_path,
        *services_.ui);
    if (!services_.ask_save) {
        services_.ask_save = [this](std::string_view text) { return ask_save_in_box(text, this); };
    }

    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Trekmoor Series Application"));
    setWindowIcon(application_icon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    banner_ = QPixmap(QStringLiteral(":/images/banner.png"));

    readSettingsAtStart();
    jobWindows_ = std::make_unique<JobWindows>(*this);
    unsaved_ = std::make_unique<UnsavedAnnotations>(
        state_.store, state_.wizard, services_.ask_save,
        [this](ManagedKind kind) { jobWindows_->saveAllJobs(kind); });
    buildMenu();

    // The layout of every window is measured in the main window's font.
    metrics_ = LayoutMetrics::measure(window_font(), dialog_font());
    move(0, 0);
    setFixedSize(metrics_.windowWidth(), metrics_.windowHeight());

    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("clientArea"));
    area->setAutoFillBackground(true);
    QPalette pal = area->palette();
    pal.setColor(QPalette::Window, Qt::darkGray);
    area->setPalette(pal);
    setCentralWidget(area);
    createPanels();
}

MainWindow::~MainWindow() = default;

HelpWindow* MainWindow::helpWindow() const {
    return help_;
}

void MainWindow::readSettingsAtStart() {
    if (state_.startup_folder.empty()) {
        state_.startup_folder = to_file_name(QDir::currentPath());
    }
    load_settings_at_start_up(state_.startup_folder, state_.settings);
    state_.meter.active_materials = kFirstMaterials;
}

void MainWindow::buildMenu() {
    struct Item {
        const char* menu;
        const char* text;
        int id;
        bool checkable;
    };
    static constexpr Item kItems[] = {
        {"&File", "&Open", kMenuOpen, false},
        {"&File", "&Report\u2026", kMenuReport, false},
        {"&File", "&History\u2026", kMenuHistory, false},
        {"&File", "&Projects\u2026", kMenuProjects, false},
        {"&File", "&Team Server\u2026", kMenuTeamServer, false},
        {"&File", "&Close", kMenuClose, false},
        {"&Options", "&Remember Filename", kMenuRememberFilename, true},
        {"&Options", nullptr, 0, false},
        {"&Options", "&Fahrenheit", kMenuFahrenheit, true},
        {"&Options", "&Celsius", kMenuCelsius, true},
        {"&Options", nullptr, 0, false},
        {"&Options", "&U.S. Date Format", kMenuUsDate, true},
        {"&Options", "&International Date Format", kMenuInternationalDate, true},
        {"&Help", "&Help Topics", kMenuHelpTopics, false},
        {"&Help", "&About", kMenuAbout, false},
    };
    QMenu* menu = nullptr;
    QMenu* options = nullptr;
    QString current;
    for (const Item& item : kItems) {
        if (current != QLatin1String(item.menu)) {
            current = QLatin1String(item.menu);
            menu = menuBar()->addMenu(current);
            if (current == QLatin1String("&Options")) {
                options = menu;
            }
        }
        if (item.text == nullptr) {
            menu->addSeparator();
            continue;
        }
        QAction* action = menu->addAction(QString::fromUtf8(item.text));
        action->setObjectName(QStringLiteral("action%1").arg(item.id));
        action->setCheckable(item.checkable);
        const int id = item.id;
        connect(action, &QAction::triggered, this, [this, id] { menuCommand(id); });
    }
    jobWindows_->addBatchPrintMenu(options);
    menuAction(kMenuOpen)->setShortcut(QKeySequence::Open);
    menuAction(kMenuReport)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    menuAction(kMenuReport)->setEnabled(false);
    menuAction(kMenuHistory)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    menuAction(kMenuProjects)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
    menuAction(kMenuHelpTopics)->setShortcut(QKeySequence::HelpContents);
    menuAction(kMenuHelpTopics)->setShortcutContext(Qt::ApplicationShortcut);
    updateCheckMarks();
}

QAction* MainWindow::menuAction(int id) const {
    return findChild<QAction*>(QStringLiteral("action%1").arg(id));
}

void MainWindow::updateCheckMarks() {
    const SettingsRecord& s = state_.settings;
    menuAction(kMenuRememberFilename)->setChecked(s.remember_filename != 0);
    menuAction(kMenuCelsius)->setChecked(s.celsius != 0);
    menuAction(kMenuFahrenheit)->setChecked(s.celsius == 0);
    menuAction(kMenuInternationalDate)->setChecked(s.international_date != 0);
    menuAction(kMenuUsDate)->setChecked(s.international_date == 0);
    jobWindows_->updateBatchPrintMenu();
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

void MainWindow::createPanels() {
    sidePanel_ = new SidePanel(state_.meter, metrics_, pagesCreated_, centralWidget());
    const int clientHeight = metrics_.windowHeight() - menuBar()->sizeHint().height();
    sidePanel_->setGeometry(0, 0, metrics_.sidePanelWidth(), clientHeight);
    connect(sidePanel_, &SidePanel::backRequested, this, &MainWindow::back);
    connect(sidePanel_, &SidePanel::forwardRequested, this,
            [this] { pageCommand(kForwardCommand); });
    showPage(kStartPageId);
    sidePanel_->show();
    pagesCreated_ = true;
}

void MainWindow::placePage() {
    if (page_ == nullptr) {
        return;
    }
    const int clientWidth = metrics_.windowWidth();
    const int clientHeight = metrics_.windowHeight() - menuBar()->sizeHint().height();
    page_->setGeometry(metrics_.sidePanelWidth(), 0, clientWidth - 200, clientHeight);
    page_->show();
}

JobListPage* MainWindow::jobListPage() const {
    return qobject_cast<JobListPage*>(page_);
}

QString MainWindow::jobListEntryText(int position) const {
    const JobListPage* list = jobListPage();
    return list ? list->entryText(position) : QString();
}

void MainWindow::menuCommand(int id) {
    SettingsRecord& s = state_.settings;
    switch (id) {
    case kMenuOpen:
        openSaveFile();
        return;
    case kMenuClose:
        close();
        return;
    case kMenuReport:
        openReport();
        return;
    case kMenuHistory:
        showHistory();
        return;
    case kMenuProjects:
        showProjects();
        return;
    case kMenuTeamServer:
        editTeamServer();
        return;
    case kMenuRememberFilename:
        s.remember_filename = s.remember_filename != 0 ? 0 : 1;
        break;
    case kMenuFahrenheit:
        s.celsius = 0;
        break;
    case kMenuCelsius:
        s.celsius = 1;
        break;
    case kMenuUsDate:
        s.international_date = 0;
        break;
    case kMenuInternationalDate:
        s.international_date = 1;
        break;
    case kMenuPrintHistogram:
        s.print_parts ^= 4;
        break;
    case kMenuPrintTable:
        s.print_parts ^= 2;
        break;
    case kMenuPrintSummary:
        s.print_parts ^= 1;
        break;
    case kMenuHelpTopics:
        showHelp();
        return;
    case kMenuAbout:
        showAbout();
        return;
    default:
        return;
    }
    updateCheckMarks();
    jobWindows_->optionsChanged();
    if (projects_) {
        projects_->setCelsius(s.celsius != 0);
    }
    writeSettings();
}

void MainWindow::showHelp() {
    if (!HelpWindow::available()) {
        ui().message_box(kHelpMissingText, kErrorCaption, MessageIcon::Warning);
        return;
    }
    if (help_ == nullptr) {
        help_ = new HelpWindow(this);
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void MainWindow::showAbout() {
    AboutDialog about(metrics_, this);
    about.exec();
}

void MainWindow::pageCommand(int id) {
    if (downloading_) {
        return;
    }
    switch (id) {
    case kForwardCommand:
    case kSecondCommand:
    case kThirdCommand:
        wizard_.command(id);
        break;
    case JobListPage::kViewId:
        if (viewOpener_) {
            viewOpener_(*this);
        }
        break;
    case JobListPage::kSaveId:
        state_.selection.save_mode =
            state_.selection.selected_count > 1 ? SaveMode::Selected : SaveMode::OneJob;
        runFileCommand(FileCommand::Save);
        break;
    case JobListPage::kExportId:
        runFileCommand(FileCommand::ExportCsv);
        break;
    case JobListPage::kSaveAllId:
        jobWindows_->saveAllJobs(state_.wizard.management_type);
        break;
    case JobListPage::kPrintSelectedId:
        jobWindows_->printSelectedJobs();
        break;
    case JobListPage::kChangeTitleId:
        jobWindows_->changeJobTitle();
        break;
    case JobListPage::kReportId:
        openReport();
        break;
    default:
        break;
    }
}

void MainWindow::back() {
    if (downloading_) {
        return;
    }
    const bool toStart = wizard_.backLeadsToStart();
    if (toStart && !unsaved_->mayDrop()) {
        return;
    }
    // The page left behind held the selection the job windows show; the next page has none.
    closeJobWindows();
    sidePanel_->clearQuickJobInfo();
    wizard_.back();
    if (toStart) {
        // Nothing leads back to the data from the start page.
        unsaved_->reset();
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

void MainWindow::dataReplaced() {
    // Nothing of the new data is selected yet: no job of the old data may stay on show, neither
    // in the side panel nor in a job window, where a title or notes typed afterwards would land
    // on the new data's job of the same number.
    closeJobWindows();
    unsaved_->reset();
    sidePanel_->setJobCounts(state_.store.mc_job_count, state_.store.rh_job_count);
    sidePanel_->clearQuickJobInfo();
    repaintSidePanel();
}

void MainWindow::closeJobWindows() {
    for (QDialog* window : findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<ReadingsView*>(window) != nullptr ||
            qobject_cast<HistogramDialog*>(window) != nullptr ||
            qobject_cast<SummaryWindow*>(window) != nullptr ||
            qobject_cast<JobNotesDialog*>(window) != nullptr ||
            qobject_cast<JobTitleDialog*>(window) != nullptr) {
            window->close();
        }
    }
}

void MainWindow::onJobSelectionChanged() {
    JobListPage* page = jobListPage();
    if (page == nullptr) {
        return;
    }
    const std::vector<int> positions = page->selectedPositions();
    const std::string entry =
        positions.empty() ? std::string() : to_cp1252(page->entryText(positions.front()));
    const QuickJobInfo info = show_job_info(state_.store, state_.wizard, state_.selection,
                                            positions, entry, state_.settings.international_date);
    sidePanel_->setQuickJobInfo(from_cp1252(info.count), from_cp1252(info.first),
                                from_cp1252(info.last), from_cp1252(info.caption));
    jobWindows_->selectionChanged();
    updateReportAction();
}

void MainWindow::updateReportAction() {
    const JobListPage* page = jobListPage();
    menuAction(kMenuReport)
        ->setEnabled(!downloading_ && page != nullptr && !page->selectedPositions().empty());
}

void MainWindow::openReport() {
    const JobListPage* page = jobListPage();
    const std::vector<int> positions = page ? page->selectedPositions() : std::vector<int>{};
    const ReportUnits units{state_.settings.celsius != 0, state_.settings.international_date != 0};
    std::vector<ReportJob> jobs = report_jobs_at_positions(
        state_.store, state_.meter, state_.wizard.management_type, positions);
    ReportProjectChoice project = reportProject(jobs);
    open_report_dialog(std::move(jobs), units, *services_.dialogs, *services_.ui, this,
                       std::move(project));
}

// The drying project the selected jobs of the visit on screen belong to, for the report dialog.
ReportProjectChoice MainWindow::reportProject(const std::vector<ReportJob>& jobs) {
    ReportProjectChoice choice;
    const std::optional<std::int64_t> visit = archive_->current_visit();
    VisitArchive* archive = visit ? archive_->archive() : nullptr;
    const std::optional<std::string> name =
        archive != nullptr ? project_of_jobs(*archive, *visit, jobs) : std::nullopt;
    if (!name) {
        return choice;
    }
    choice.name = *name;
    choice.load = [this, name = *name](const ReportUnits& units, ProjectReportData& data,
                                       std::string& error) {
        VisitArchive* a = archive_->archive();
        if (a == nullptr) {
            error = "the archive cannot be used";
            return false;
        }
        const LocalDate today = local_today();
        return load_project_report(
            *a, name, units, drying_day_number({today.year, today.month, today.day}), data, error);
    };
    return choice;
}

// ---- the wizard's host ----

void MainWindow::closePage() {
    if (page_ != nullptr) {
        page_->hide();
    }
}

void MainWindow::showPage(int pageId) {
    const PageContext context{state_.wizard, metrics_, banner_, pagesCreated_};
    WizardPage* page = nullptr;
    if (pageId == kStartPageId || pageId == kDataKindPageId) {
        page = new ChoicePage(pageId, context, centralWidget());
    } else {
        // Every page of the job sequence is the job list: the other templates are not offered.
        auto* list = new JobListPage(state_.store, context, centralWidget());
        connect(list, &JobListPage::selectionChanged, this, &MainWindow::onJobSelectionChanged);
        page = list;
        // A new list starts with nothing selected: no job's figures stay on show.
        sidePanel_->clearQuickJobInfo();
    }
    connect(page, &WizardPage::command, this, &MainWindow::pageCommand);
    if (page_ != nullptr) {
        page_->hide();
        page_->deleteLater();
    }
    page_ = page;
    sidePanel_->setJobCounts(state_.store.mc_job_count, state_.store.rh_job_count);
    reshowPage();
    updateReportAction();
}

void MainWindow::reshowPage() {
    if (page_ == nullptr) {
        return;
    }
    page_->placeButtons();
    placePage();
    QWidget* focus = page_->focusWidget();
    if (focus == nullptr) {
        focus = page_->nextInFocusChain();
    }
    if (focus != nullptr && isActiveWindow()) {
        focus->setFocus();
    }
}

bool MainWindow::runDownload() {
    downloading_ = true;
    centralWidget()->setEnabled(false);
    menuAction(kMenuOpen)->setEnabled(false);
    menuAction(kMenuAbout)->setEnabled(false);
    const bool completed = services_.download ? services_.download() : runSerialDownload();
    downloading_ = false;
    centralWidget()->setEnabled(true);
    menuAction(kMenuOpen)->setEnabled(true);
    menuAction(kMenuAbout)->setEnabled(true);
    if (closeRequested_) {
        // Asked once: a close the user then cancels leaves the program running as before.
        closeRequested_ = false;
        close();
        return false;
    }
    // The wait dialog had the keyboard; the mnemonics of the pages work again.
    activateWindow();
    if (completed) {
        if (services_.download) {
            archive_->set_current_visit(std::nullopt); // a download without its bytes
        }
        dataReplaced();
    }
    return completed;
}

bool MainWindow::runSerialDownload() {
    // Closing the main window cancels the download like the wait dialog's Cancel (see
    // closeEvent), so the base unit is left ready; the window closes once it has returned.
    WaitDialogUi ui(metrics_, this, *services_.ui, {});
    waitUi_ = &ui;
    LinkTranscript transcript;
    DownloadOptions options;
    options.transcript = &transcript;
    options.lock_dir = services_.lock_dir;
    const DownloadResult result = download_readings(
        state_.link, state_.store, state_.meter, state_.job_records, state_.selection, ui, options);
    waitUi_ = nullptr;
    save_last_download_transcript(format_transcript(transcript));
    if (result.outcome == DownloadOutcome::Completed) {
        keepDownload(result.stream);
    }
    repaintSidePanel();
    return result.outcome == DownloadOutcome::Completed;
}

void MainWindow::openSaveFile() {
    if (!downloading_ && unsaved_->mayDrop()) {
        runFileCommand(FileCommand::Open);
    }
}

void MainWindow::setBackEnabled(bool enabled) {
    sidePanel_->setBackEnabled(enabled);
}

void MainWindow::clearQuickJobInfo() {
    sidePanel_->clearQuickJobInfo();
}

bool MainWindow::pageShown() const {
    return page_ != nullptr && !page_->isHidden();
}

void MainWindow::repaintSidePanel() {
    sidePanel_->update();
}

bool MainWindow::linkEstablished() const {
    return state_.link.link_established;
}

UserInterface& MainWindow::ui() {
    return *services_.ui;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (downloading_) {
        // The download ends at its next look at the window messages; the window closes then.
        closeRequested_ = true;
        if (waitUi_ != nullptr && waitUi_->dialog() != nullptr) {
            waitUi_->dialog()->reject();
        }
        event->ignore();
        return;
    }
    if (!unsaved_->mayDrop()) {
        event->ignore();
        return;
    }
    if (help_ != nullptr) {
        help_->close();
    }
    event->accept();
}

} // namespace qm
