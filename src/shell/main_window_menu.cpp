// The main window's menu: its items and their commands, the options' check marks, Help and
// About.
#include "shell/about_dialog.h"
#include "shell/help_window.h"
#include "shell/job_windows.h"
#include "shell/main_window.h"

#include <QAction>
#include <QMenuBar>

namespace qm {

namespace {

constexpr std::string_view kHelpMissingText = "Unable to Open Help File!";
constexpr std::string_view kErrorCaption = "Error!";

// The menu bar's items in their order; an item without a text is a separator.
struct MenuItem {
    const char* menu;
    const char* text;
    int id;
    bool checkable;
};

constexpr MenuItem kMenuItems[] = {
    {"&File", "&Open", kMenuOpen, false},
    {"&File", "&Report\u2026", kMenuReport, false},
    {"&File", "&History\u2026", kMenuHistory, false},
    {"&File", "&Projects\u2026", kMenuProjects, false},
    {"&File", "&Team Server\u2026", kMenuTeamServer, false},
    {"&File", "Te&chnician\u2026", kMenuTechnician, false},
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

} // namespace

void MainWindow::buildMenu() {
    QMenu* menu = nullptr;
    QMenu* options = nullptr;
    QString current;
    for (const MenuItem& item : kMenuItems) {
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

void MainWindow::menuCommand(int id) {
    switch (id) {
    case kMenuOpen:
        openSaveFile();
        break;
    case kMenuClose:
        close();
        break;
    case kMenuReport:
        openReport();
        break;
    case kMenuHistory:
        showHistory();
        break;
    case kMenuProjects:
        showProjects();
        break;
    case kMenuTeamServer:
        editTeamServer();
        break;
    case kMenuTechnician:
        editTechnician();
        break;
    case kMenuHelpTopics:
        showHelp();
        break;
    case kMenuAbout:
        showAbout();
        break;
    default:
        if (toggleOption(id)) {
            optionsChanged();
        }
        break;
    }
}

bool MainWindow::toggleOption(int id) {
    SettingsRecord& s = state_.settings;
    switch (id) {
    case kMenuRememberFilename:
        s.remember_filename = s.remember_filename != 0 ? 0 : 1;
        return true;
    case kMenuFahrenheit:
        s.celsius = 0;
        return true;
    case kMenuCelsius:
        s.celsius = 1;
        return true;
    case kMenuUsDate:
        s.international_date = 0;
        return true;
    case kMenuInternationalDate:
        s.international_date = 1;
        return true;
    case kMenuPrintHistogram:
        s.print_parts ^= 4;
        return true;
    case kMenuPrintTable:
        s.print_parts ^= 2;
        return true;
    case kMenuPrintSummary:
        s.print_parts ^= 1;
        return true;
    default:
        return false;
    }
}

void MainWindow::optionsChanged() {
    updateCheckMarks();
    jobWindows_->optionsChanged();
    if (projects_) {
        projects_->setCelsius(state_.settings.celsius != 0);
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

HelpWindow* MainWindow::helpWindow() const {
    return help_;
}

} // namespace qm
