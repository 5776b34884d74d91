#include "summaries/job_notes_dialog.h"

#include "summaries/job_annotations.h"

#include <QApplication>
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
    JobRecords records;
    LayoutMetrics metrics;
    QPointer<JobNotesDialog> dialog = new JobNotesDialog(records, 0, 2, metrics);
    EXPECT_EQ(dialog->windowTitle(), "Job Notes");
    EXPECT_TRUE(dialog->edit()->toPlainText().isEmpty());
    dialog->edit()->setPlainText("Wet behind sink\nRecheck Friday");
    dialog->okButton()->click();
    flush_deletes();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(job_notes(records, 0, 2), "Wet behind sink\nRecheck Friday");
    EXPECT_EQ(job_notes(records, 1, 2), "");

    dialog = new JobNotesDialog(records, 0, 2, metrics);
    EXPECT_EQ(dialog->edit()->toPlainText(), "Wet behind sink\nRecheck Friday");
    dialog->edit()->setPlainText("Discarded");
    dialog->cancelButton()->click();
    flush_deletes();
    EXPECT_EQ(job_notes(records, 0, 2), "Wet behind sink\nRecheck Friday");

    // After the records are cleared (a file opened, a download) the window opens empty.
    records.clear();
    dialog = new JobNotesDialog(records, 0, 2, metrics);
    EXPECT_TRUE(dialog->edit()->toPlainText().isEmpty());
    delete dialog;
}

TEST(JobNotesDialog, TypingStopsAt999Characters) {
    JobRecords records;
    LayoutMetrics metrics;
    JobNotesDialog dialog(records, 1, 0, metrics);
    dialog.edit()->setPlainText(QString(998, 'a'));
    QTextCursor cursor = dialog.edit()->textCursor();
    cursor.movePosition(QTextCursor::End);
    dialog.edit()->setTextCursor(cursor);
    dialog.edit()->insertPlainText("xyz");
    EXPECT_EQ(dialog.edit()->toPlainText(), QString(998, 'a') + "x");
    // Typed into a full field: refused, wherever the cursor stands.
    cursor.movePosition(QTextCursor::Start);
    dialog.edit()->setTextCursor(cursor);
    dialog.edit()->insertPlainText("12");
    EXPECT_EQ(dialog.edit()->toPlainText(), QString(998, 'a') + "x");
    // A text set as a whole beyond the limit keeps its first 999 characters.
    dialog.edit()->setPlainText(QString(1005, 'b'));
    EXPECT_EQ(dialog.edit()->toPlainText(), QString(999, 'b'));
    dialog.okButton()->click();
    EXPECT_EQ(job_notes(records, 1, 0).size(), 999u);
}

} // namespace
} // namespace qm
