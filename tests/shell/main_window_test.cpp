// Start-up, the menu and its options, help and About.
#include "shell/help_window.h"
#include "shell/job_list_page.h"
#include "shell_fixture.h"
#include "support/test_files.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace qm::test {
namespace {

std::uint32_t word_at(const std::vector<std::uint8_t>& b, std::size_t offset) {
    return b[offset] | b[offset + 1] << 8 | b[offset + 2] << 16 |
           std::uint32_t(b[offset + 3]) << 24;
}

class MainWindowTest : public ShellTest {
protected:
    bool checked(int id) const { return window_->menuAction(id)->isChecked(); }
};

TEST_F(MainWindowTest, FirstStartShowsTheStartPageAndWritesANewSettingsFile) {
    MainWindow& w = open();
    EXPECT_EQ(w.windowTitle(), "Trekmoor Series Application");
    const LayoutMetrics& m = w.metrics();
    EXPECT_EQ(w.size(), QSize(79 * m.charWidth, 65 * m.charWidth));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()); // no resizing
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.pos(), QPoint(0, 0));

    EXPECT_FALSE(checked(kMenuRememberFilename));
    EXPECT_TRUE(checked(kMenuFahrenheit));
    EXPECT_FALSE(checked(kMenuCelsius));
    EXPECT_TRUE(checked(kMenuUsDate));
    EXPECT_FALSE(checked(kMenuInternationalDate));

    const auto b = read_file(path("qm.dat"));
    ASSERT_EQ(b.size(), 536u);
    EXPECT_EQ(word_at(b, 8), 7u); // print_parts
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(b.data()) + 12), "C:\\Windows\\Desktop\\");

    EXPECT_EQ(pageId(), kStartPageId);
    EXPECT_EQ(state_->wizard.step, WizardStep::ManagementType);
    EXPECT_EQ(page_title(state_->wizard), "I. Choose Management Type");
    EXPECT_EQ(pageButton(kForwardCommand)->text(), "Manage &Data");
    EXPECT_EQ(pageButton(kSecondCommand)->text(), "Manage File&s");
    EXPECT_TRUE(pageButton(kThirdCommand)->isHidden());
    EXPECT_EQ(pageButton(kForwardCommand)->geometry(), QRect(10, 9 * m.charHeight, 100, 75));
    EXPECT_EQ(pageButton(kSecondCommand)->geometry(), QRect(10, 14 * m.charHeight, 100, 75));
    EXPECT_EQ(w.currentPage()->x(), 30 * m.charWidth);

    EXPECT_FALSE(w.sidePanel()->backEnabled());
    EXPECT_EQ(side(SidePanel::kMcJobCountId), "0");
    EXPECT_EQ(side(SidePanel::kRhJobCountId), "0");
    EXPECT_EQ(side(SidePanel::kJobCaptionId), "Job ---");
    for (const int id :
         {SidePanel::kReadingCountId, SidePanel::kFirstReadingId, SidePanel::kLastReadingId}) {
        EXPECT_EQ(side(id), "----");
    }
    EXPECT_EQ(w.sidePanel()->width(), 30 * m.charWidth);
    EXPECT_EQ(state_->meter.model(), "No Title");
}

TEST_F(MainWindowTest, StoredOptionsSetTheCheckMarks) {
    SettingsRecord s;
    s.celsius = 1;
    s.international_date = 1;
    s.remember_filename = 1;
    s.print_parts = 2;
    ASSERT_EQ(write_settings(folder_, s), SettingsStatus::Ok);
    open();
    EXPECT_TRUE(checked(kMenuCelsius));
    EXPECT_FALSE(checked(kMenuFahrenheit));
    EXPECT_TRUE(checked(kMenuInternationalDate));
    EXPECT_FALSE(checked(kMenuUsDate));
    EXPECT_TRUE(checked(kMenuRememberFilename));
    EXPECT_EQ(state_->settings.print_parts, 2); // a file with a folder keeps its parts
}

TEST_F(MainWindowTest, EveryOptionChangeIsWrittenAtOnce) {
    MainWindow& w = open();
    const std::string file = path("qm.dat");

    // Choosing the option already in force writes the file again and keeps the marks.
    std::ofstream(file, std::ios::trunc).close();
    w.menuAction(kMenuFahrenheit)->trigger();
    EXPECT_EQ(read_file(file).size(), 536u);
    EXPECT_TRUE(checked(kMenuFahrenheit));
    EXPECT_FALSE(checked(kMenuCelsius));

    w.menuAction(kMenuCelsius)->trigger();
    EXPECT_EQ(word_at(read_file(file), 4), 1u);
    EXPECT_TRUE(checked(kMenuCelsius));
    EXPECT_FALSE(checked(kMenuFahrenheit));

    w.menuAction(kMenuInternationalDate)->trigger();
    EXPECT_EQ(word_at(read_file(file), 532), 1u);
    EXPECT_FALSE(checked(kMenuUsDate));
    w.menuAction(kMenuUsDate)->trigger();
    EXPECT_EQ(word_at(read_file(file), 532), 0u);
    EXPECT_TRUE(checked(kMenuUsDate));

    for (const std::uint32_t expected : {1u, 0u, 1u}) {
        w.menuAction(kMenuRememberFilename)->trigger();
        EXPECT_EQ(word_at(read_file(file), 0), expected);
        EXPECT_EQ(checked(kMenuRememberFilename), expected == 1u);
    }

    // The batch-print parts have no menu item but flip their bit all the same.
    w.menuCommand(kMenuPrintTable);
    EXPECT_EQ(word_at(read_file(file), 8), 5u);
}

TEST_F(MainWindowTest, MenuHoldsTheCommandsInOrder) {
    MainWindow& w = open();
    const QStringList expected = {"File/Open",
                                  "File/Close",
                                  "Options/Remember Filename",
                                  "Options/Fahrenheit",
                                  "Options/Celsius",
                                  "Options/U.S. Date Format",
                                  "Options/International Date Format",
                                  "Help/Help Topics",
                                  "Help/About"};
    QStringList titles;
    QStringList items;
    for (QAction* menu : w.menuBar()->actions()) {
        const QString title = menu->text().remove(QLatin1Char('&'));
        titles << title;
        for (QAction* a : menu->menu()->actions()) {
            const QString item = title + QLatin1Char('/') + a->text().remove(QLatin1Char('&'));
            if (expected.contains(item)) { // other parts of the program may add their own
                items << item;
            }
        }
    }
    EXPECT_EQ(titles, QStringList({"File", "Options", "Help"}));
    EXPECT_EQ(items, expected);
    // The two choices of each option stand in groups of their own.
    const QList<QAction*> options = w.menuBar()->actions()[1]->menu()->actions();
    EXPECT_TRUE(options[1]->isSeparator());
    EXPECT_TRUE(options[4]->isSeparator());
    EXPECT_EQ(w.menuAction(kMenuHelpTopics)->shortcut(), QKeySequence(QKeySequence::HelpContents));
}

TEST_F(MainWindowTest, KeyboardReachesAboutAndOpenThroughTheMnemonics) {
    MainWindow& w = open();
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    // Alt+H, A: the About box, which Escape closes.
    bool aboutShown = false;
    bool escapeClosed = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        aboutShown = about != nullptr && about->objectName() == "aboutDialog";
        if (about != nullptr) {
            QTest::keyClick(about, Qt::Key_Escape);
            escapeClosed = !about->isVisible();
            about->accept();
        }
    });
    QTest::keyClick(&w, Qt::Key_H, Qt::AltModifier);
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_A);
    EXPECT_TRUE(aboutShown);
    EXPECT_TRUE(escapeClosed);

    // Alt+F, O: the open dialog. (Offscreen, nothing gives the window back the focus.)
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QTest::keyClick(&w, Qt::Key_F, Qt::AltModifier);
    ASSERT_NE(QApplication::activePopupWidget(), nullptr);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_O);
    ASSERT_EQ(dialogs_.calls.size(), 1u);
    EXPECT_FALSE(dialogs_.calls[0].save);
}

TEST_F(MainWindowTest, ReadOnlySettingsFileIsUsedAndAChangeSaysOnceItCannotBeSaved) {
    SettingsRecord s;
    s.celsius = 1;
    s.print_parts = 3;
    s.remember_filename = 1;
    set_settings_text(s.initial_folder, "/srv");
    ASSERT_EQ(write_settings(folder_, s), SettingsStatus::Ok);
    const auto stored = read_file(path("qm.dat"));
    std::filesystem::permissions(path("qm.dat"), std::filesystem::perms::owner_read |
                                                     std::filesystem::perms::group_read |
                                                     std::filesystem::perms::others_read);
    // root writes whatever the permissions say: it stands for a user the file binds.
    const bool root = geteuid() == 0;
    if (root) {
        std::filesystem::permissions(folder_, std::filesystem::perms::all);
        ASSERT_EQ(setegid(65534), 0);
        ASSERT_EQ(seteuid(65534), 0);
    }
    MainWindow& w = open();
    EXPECT_TRUE(checked(kMenuCelsius));
    EXPECT_EQ(state_->settings.print_parts, 3);

    // A save whose name is to be remembered, then two option changes: said once.
    meterHolds(mc_only());
    press(kForwardCommand);
    w.jobListPage()->list()->item(0)->setSelected(true);
    dialogs_.answers = {path("a.qmk")};
    press(JobListPage::kSaveId);
    w.menuAction(kMenuFahrenheit)->trigger();
    w.menuAction(kMenuInternationalDate)->trigger();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "The options cannot be saved: qm.dat is read-only.");
    // The choice holds for the run, also over the re-read of an open command.
    w.menuAction(kMenuOpen)->trigger();
    EXPECT_TRUE(checked(kMenuFahrenheit));
    EXPECT_TRUE(checked(kMenuInternationalDate));
    EXPECT_EQ(state_->settings.celsius, 0);
    EXPECT_EQ(settings_text(state_->settings.last_file_name), path("a.qmk"));
    if (root) {
        ASSERT_EQ(seteuid(0), 0);
        ASSERT_EQ(setegid(0), 0);
    }
    EXPECT_EQ(read_file(path("qm.dat")), stored);
}

TEST_F(MainWindowTest, SettingsFileThatIsAFolderSaysOnceItCannotBeSaved) {
    std::filesystem::create_directory(path("qm.dat"));
    MainWindow& w = open();
    EXPECT_TRUE(ui_.messages.empty()); // the defaults stand; said at the first change
    w.menuAction(kMenuCelsius)->trigger();
    w.menuAction(kMenuInternationalDate)->trigger();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "The options cannot be saved: qm.dat cannot be written (it is "
                                    "a folder, not a file, or the disk refused it).");
    EXPECT_EQ(ui_.messages[0].caption, "Error!");
    EXPECT_TRUE(checked(kMenuCelsius));
    EXPECT_TRUE(std::filesystem::is_directory(path("qm.dat")));
}

TEST_F(MainWindowTest, HelpTopicsOpensTheGuideAndClosingTheWindowClosesIt) {
    MainWindow& w = open();
    w.show();
    w.menuAction(kMenuHelpTopics)->trigger();
    ASSERT_NE(w.helpWindow(), nullptr);
    EXPECT_TRUE(w.helpWindow()->isVisible());
    EXPECT_TRUE(w.helpWindow()->toPlainText().contains("Manage Data"));
    EXPECT_TRUE(ui_.messages.empty());

    w.menuAction(kMenuClose)->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.helpWindow()->isVisible());
}

} // namespace
} // namespace qm::test
