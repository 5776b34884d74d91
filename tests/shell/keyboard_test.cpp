// The keyboard in every window: each button has a mnemonic of its own in its window, and Return
// presses the button that has the focus.
#include "report/report_dialog.h"
#include "report/report_test_jobs.h"
#include "shell/about_dialog.h"
#include "shell/job_list_page.h"
#include "shell/job_windows.h"
#include "shell/shell_fixture.h"
#include "views/project_pages.h"
#include "views/projects_window.h"
#include "views/readings_view.h"
#include "views/wait_dialog.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>

#include <algorithm>

namespace qm::test {
namespace {

// Checks the visible buttons and labelled fields of a window: every button has a mnemonic,
// no two share one, and every push button presses on Return when it has the focus.
void expect_keyboard_ready(const QWidget* window, const QString& name) {
    SCOPED_TRACE(name.toStdString());
    std::vector<QString> keys;
    if (const auto* main = qobject_cast<const QMainWindow*>(window)) {
        for (const QAction* menu : main->menuBar()->actions()) {
            keys.push_back(QKeySequence::mnemonic(menu->text()).toString());
        }
    }
    for (const QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        // The menu bar's overflow arrow is Qt's own, shown only when the menus do not fit.
        // A table's corner button has no text and takes no focus.
        if (!b->isVisibleTo(window) || b->objectName() == QLatin1String("qt_menubar_ext_button") ||
            (b->text().isEmpty() && b->focusPolicy() == Qt::NoFocus)) {
            continue;
        }
        const QString key = QKeySequence::mnemonic(b->text()).toString();
        EXPECT_FALSE(key.isEmpty()) << "no mnemonic: " << b->text().toStdString();
        keys.push_back(key);
        if (const auto* push = qobject_cast<const QPushButton*>(b)) {
            EXPECT_TRUE(push->autoDefault() || push->isDefault())
                << "Return does not press " << b->text().toStdString();
        }
    }
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr && label->isVisibleTo(window)) {
            keys.push_back(QKeySequence::mnemonic(label->text()).toString());
        }
    }
    std::sort(keys.begin(), keys.end());
    const auto twice = std::adjacent_find(keys.begin(), keys.end());
    if (twice != keys.end()) {
        ADD_FAILURE() << "used twice: " << twice->toStdString();
    }
}

class KeyboardTest : public ShellTest {};

TEST_F(KeyboardTest, EveryWindowHasItsOwnMnemonicsAndReturnPressesTheFocusedButton) {
    meterHolds(both_kinds());
    MainWindow& w = open();
    expect_keyboard_ready(&w, "start page");
    press(kForwardCommand);
    expect_keyboard_ready(&w, "data-kind page");
    press(kSecondCommand); // MC
    expect_keyboard_ready(&w, "job list");
    w.jobListPage()->list()->item(0)->setSelected(true);

    auto* view = new ReadingsView(*state_, w.metrics(), {}, &w);
    expect_keyboard_ready(view, "readings view");
    view->viewHistogram();
    ASSERT_NE(view->histogram(), nullptr);
    expect_keyboard_ready(view->histogram(), "histogram");
    w.jobWindows()->viewSummary();
    ASSERT_NE(w.jobWindows()->mcSummary(), nullptr);
    expect_keyboard_ready(w.jobWindows()->mcSummary(), "MC summary");
    press(JobListPage::kChangeTitleId);
    expect_keyboard_ready(w.jobWindows()->titleDialog(), "title window");
    JobNotesDialog notes(state_->store, RecordKind::Mc, 1, w.metrics());
    expect_keyboard_ready(&notes, "notes window");
    ReportDialog report({report_mc_job(3)}, {}, dialogs_, ui_);
    expect_keyboard_ready(&report, "report");
    AboutDialog about(w.metrics(), &w);
    expect_keyboard_ready(&about, "About");
    WaitDialogUi wait(w.metrics(), &w, ui_, {});
    ASSERT_TRUE(wait.create_wait_dialog());
    expect_keyboard_ready(wait.dialog(), "wait dialog");
    wait.end_wait_dialog();
    OpenedArchive archive = open_archive(path("projects.sqlite"));
    ASSERT_TRUE(archive.archive);
    ProjectDetails project;
    project.name = "Kitchen leak";
    ProjectStore(*archive.archive).create(project);
    ProjectsWindow projects(*archive.archive, {});
    projects.show();
    for (int tab = 0; tab < projects.tabs()->count(); ++tab) {
        projects.tabs()->setCurrentIndex(tab);
        expect_keyboard_ready(&projects, projects.tabs()->tabText(tab));
    }

    w.back();
    press(kForwardCommand); // RH/T
    w.jobListPage()->list()->item(0)->setSelected(true);
    w.jobWindows()->viewSummary();
    ASSERT_NE(w.jobWindows()->rhSummary(), nullptr);
    expect_keyboard_ready(w.jobWindows()->rhSummary(), "RH/T summary");
}

// Return in the notes starts a new line; on a focused "OK" it stores them.
TEST(JobNotesKeyboard, ReturnOnTheFocusedOkStoresTheNotes) {
    ReadingStore store;
    LayoutMetrics metrics;
    auto* notes = new JobNotesDialog(store, RecordKind::Rh, 3, metrics);
    notes->show();
    QTest::keyClicks(notes->edit(), QStringLiteral("Damp"));
    QTest::keyClick(notes->edit(), Qt::Key_Return);
    QTest::keyClicks(notes->edit(), QStringLiteral("sill"));
    EXPECT_TRUE(notes->isVisible());
    notes->okButton()->setFocus();
    QTest::keyClick(notes->okButton(), Qt::Key_Return);
    EXPECT_EQ(store.annotations.notes(RecordKind::Rh, 3), "Damp\r\nsill");
    EXPECT_FALSE(notes->isVisible());
}

} // namespace
} // namespace qm::test
