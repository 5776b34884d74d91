#include "summaries/job_notes_dialog.h"

#include "summaries/job_annotations.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>

#include <gtest/gtest.h>

namespace qm {
namespace {

void flush_deletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(JobNotesDialog, ShowsStoredNotesAgainAndCancelKeepsThem) {
    ReadingStore store;
    LayoutMetrics metrics;
    QPointer<JobNotesDialog> dialog = new JobNotesDialog(store, RecordKind::Rh, 2, metrics);
    EXPECT_EQ(dialog->windowTitle(), "Job Notes");
    EXPECT_TRUE(dialog->edit()->toPlainText().isEmpty());
    dialog->edit()->setPlainText("Wet behind sink\nRecheck Friday");
    dialog->okButton()->click();
    flush_deletes();
    EXPECT_TRUE(dialog.isNull());
    // Stored with CR LF line breaks, as the save file holds them; shown with plain ones.
    EXPECT_EQ(store.annotations.notes(RecordKind::Rh, 2), "Wet behind sink\r\nRecheck Friday");
    EXPECT_EQ(store.annotations.notes(RecordKind::Mc, 2), "");

    dialog = new JobNotesDialog(store, RecordKind::Rh, 2, metrics);
    EXPECT_EQ(dialog->edit()->toPlainText(), "Wet behind sink\nRecheck Friday");
    dialog->edit()->setPlainText("Discarded");
    dialog->cancelButton()->click();
    flush_deletes();
    EXPECT_EQ(store.annotations.notes(RecordKind::Rh, 2), "Wet behind sink\r\nRecheck Friday");

    // After new data replaced them (a file opened, a download) the window opens empty.
    store.annotations.clear();
    dialog = new JobNotesDialog(store, RecordKind::Rh, 2, metrics);
    EXPECT_TRUE(dialog->edit()->toPlainText().isEmpty());
    delete dialog;
}

// The limit counts the bytes the notes take stored: a line break is two, a character outside
// Windows-1252 one. The line under the field tells what is left.
TEST(JobNotesDialog, TypingStopsAt999StoredBytes) {
    ReadingStore store;
    LayoutMetrics metrics;
    JobNotesDialog dialog(store, RecordKind::Mc, 1, metrics);
    const std::pair<QString, QString> rooms[] = {
        {"", "999 characters left"},
        {QString(997, 'a') + "\n", "0 characters left"},
        {QString(996, 'a') + "\n", "1 character left"},
        {QString("\u20AC\u4E2D") + QString(995, 'a'), "2 characters left"},
    };
    for (const auto& [text, room] : rooms) {
        dialog.edit()->setPlainText(text);
        EXPECT_EQ(dialog.roomLabel()->text(), room);
    }
    dialog.edit()->setPlainText(QString(998, 'a'));
    QTextCursor cursor = dialog.edit()->textCursor();
    cursor.movePosition(QTextCursor::End);
    dialog.edit()->setTextCursor(cursor);
    dialog.edit()->insertPlainText("xyz");
    EXPECT_EQ(dialog.edit()->toPlainText(), QString(998, 'a') + "x");
    EXPECT_EQ(dialog.roomLabel()->text(), "0 characters left");
    // Typed into a full field: refused, wherever the cursor stands.
    cursor.movePosition(QTextCursor::Start);
    dialog.edit()->setTextCursor(cursor);
    dialog.edit()->insertPlainText("12");
    EXPECT_EQ(dialog.edit()->toPlainText(), QString(998, 'a') + "x");
    // A text set as a whole beyond the limit keeps what fits.
    dialog.edit()->setPlainText(QString(1005, 'b'));
    EXPECT_EQ(dialog.edit()->toPlainText(), QString(999, 'b'));
    dialog.edit()->setPlainText(QString(997, 'c') + "\nd");
    EXPECT_EQ(dialog.edit()->toPlainText(), QString(997, 'c') + "\n");
    dialog.okButton()->click();
    EXPECT_EQ(store.annotations.notes(RecordKind::Mc, 1), std::string(997, 'c') + "\r\n");
}

} // namespace
} // namespace qm
