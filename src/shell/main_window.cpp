// The main window: its panels and pages, the page buttons, Back, the data replaced and closing.
#include "shell/main_window.h"

#include "archive/archive_session.h"
#include "shell/help_window.h"
#include "shell/job_list_page.h"
#include "shell/job_windows.h"
#include "shell/resources.h"
#include "shell/side_panel.h"
#include "shell/wizard_page.h"
#include "summaries/job_notes_dialog.h"
#include "summaries/summary_window.h"
#include "ui/qt_file_dialogs.h"
#include "ui/qt_user_interface.h"
#include "views/histogram_dialog.h"
#include "views/readings_view.h"
#include "views/wait_dialog.h"

#include <QCloseEvent>
#include <QMenuBar>

namespace qm {

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
