// The wait dialog's lines and where its message boxes appear.
#include "views/wait_dialog.h"

#include "support/recording_ui.h"
#include "ui/qt_user_interface.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace qm {
namespace {

struct WaitDialogUiTest : ::testing::Test {
    WaitDialogUiTest() {
        owner.setGeometry(120, 90, 900, 640);
        owner.show();
    }
    const LayoutMetrics metrics = LayoutMetrics::measure(window_font(), dialog_font());
    QWidget owner;
};

TEST_F(WaitDialogUiTest, LineUnderTheLampsSaysWhatIsHappening) {
    test::RecordingUi messages;
    WaitDialogUi ui(metrics, &owner, messages, {});
    ASSERT_TRUE(ui.create_wait_dialog());
    WaitDialog& dialog = *ui.dialog();
    ui.set_status(searching_text("/dev/ttyUSB0"));
    EXPECT_EQ(dialog.progressText(), QStringLiteral("Looking for the base unit on /dev/ttyUSB0…"));
    ui.set_progress(1, 72);
    EXPECT_EQ(dialog.progressText(), "Received 1 packet (72 bytes)");
    ui.set_status(asking_again_text(3, 25));
    EXPECT_EQ(dialog.progressText(), "No answer yet, asking again (3 of 25)");
    // Once Cancel is pressed nothing overwrites what the dialog says about it.
    dialog.findChild<QPushButton*>("cancel")->click();
    ui.set_progress(2, 144);
    EXPECT_EQ(dialog.progressText(), "Cancelling...");
    EXPECT_EQ(ui.pump_messages(PumpMode::All), PumpResult::Cancel);

    // A recorded message box is passed on as it is.
    ui.wait_dialog_message_box("text", "Error!", MessageIcon::Error);
    EXPECT_EQ(messages.messages.size(), 1u);
    ui.end_wait_dialog();
}

TEST_F(WaitDialogUiTest, MessageBoxIsCentredOverTheMainWindow) {
    QtUserInterface messages;
    WaitDialogUi ui(metrics, &owner, messages, {});
    ASSERT_TRUE(ui.create_wait_dialog());
    QPoint boxCentre;
    QWidget* boxParent = nullptr;
    QString boxText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        boxCentre = box->frameGeometry().center();
        boxParent = box->parentWidget();
        boxText = box->text();
        box->accept();
    });
    ui.wait_dialog_message_box("Communication could not be established!", "Error!",
                               MessageIcon::Error);
    EXPECT_EQ(boxText, "Communication could not be established!");
    EXPECT_EQ(boxParent, &owner);
    const QPoint ownerCentre = owner.frameGeometry().center();
    EXPECT_LE((boxCentre - ownerCentre).manhattanLength(), 4);
    ui.end_wait_dialog();
}

} // namespace
} // namespace qm
