#include "summaries/job_notes_dialog.h"

#include "summaries/job_annotations.h"
#include "ui/dialog_controls.h"
#include "ui/qt_text.h"

#include <QApplication>
#include <QLabel>
#include <QTextCursor>
#include <QTextEdit>

namespace qm {

namespace {

// The job notes window, in dialog units.
constexpr int kWidthDu = 210;
constexpr int kHeightDu = 143;

// The length of a text as it is stored: one byte per character, line breaks as CR LF.
std::size_t stored_length(const QString& text) {
    return stored_notes_length(to_cp1252(text));
}

} // namespace

JobNotesDialog::JobNotesDialog(ReadingStore& store, RecordKind kind, std::int32_t job,
                               const LayoutMetrics& metrics, QWidget* parent, JobListLink* jobs)
    : QDialog(parent), store_(store), jobs_(jobs), kind_(kind), job_(job) {
    using namespace dialog_controls;
    setWindowTitle(QStringLiteral("Job Notes"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(metrics.x(kWidthDu), metrics.y(kHeightDu));

    add_static(this, metrics, "Enter Job Notes:", 78, 15, 54, 8);
    edit_ = new QTextEdit(this);
    edit_->setGeometry(metrics.rect(14, 30, 181, 70));
    edit_->setAcceptRichText(false);
    edit_->setTabChangesFocus(true);
    QTextOption option = edit_->document()->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter);
    edit_->document()->setDefaultTextOption(option);
    edit_->setPlainText(from_cp1252(notes_with_newlines(store_.annotations.notes(kind_, job_))));
    room_ = add_static(this, metrics, "", 14, 102, 181, 8, Qt::AlignRight);
    room_->setObjectName(QStringLiteral("roomLeft"));
    ok_ = add_button(this, metrics, QStringLiteral("&OK"), 53, 114, 50, 14);
    cancel_ = add_button(this, metrics, QStringLiteral("&Cancel"), 106, 113, 50, 14);
    // Return starts a new line in the notes and presses a button that has the focus.
    ok_->setAutoDefault(true);
    cancel_->setAutoDefault(true);

    connect(edit_, &QTextEdit::textChanged, this, &JobNotesDialog::keepWithinLimit);
    connect(edit_, &QTextEdit::textChanged, this, &JobNotesDialog::showRoomLeft);
    showRoomLeft();
    connect(ok_, &QPushButton::clicked, this, &JobNotesDialog::store);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::close);
    edit_->setFocus();
}

void JobNotesDialog::keepWithinLimit() {
    const QString text = edit_->toPlainText();
    const std::size_t length = stored_length(text);
    if (length <= kMaxNotesLength) {
        return;
    }
    // Take back what went past the limit just before the cursor, as an edit field with a
    // length limit refuses the extra characters.
    QTextCursor cursor = edit_->textCursor();
    const int excess = static_cast<int>(length - kMaxNotesLength);
    const QSignalBlocker block(edit_);
    const int end = cursor.position();
    cursor.setPosition(std::max(0, end - excess));
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    if (stored_length(edit_->toPlainText()) > kMaxNotesLength) {
        // Text pasted at the start of a full field: cut the end instead.
        edit_->setPlainText(
            from_cp1252(notes_with_newlines(stored_notes(to_cp1252(edit_->toPlainText())))));
        edit_->moveCursor(QTextCursor::End);
    } else {
        edit_->setTextCursor(cursor);
    }
    QApplication::beep();
}

void JobNotesDialog::showRoomLeft() {
    const std::size_t used = stored_length(edit_->toPlainText());
    const std::size_t left = used < kMaxNotesLength ? kMaxNotesLength - used : 0;
    room_->setText(left == 1 ? QStringLiteral("1 character left")
                             : QStringLiteral("%1 characters left").arg(left));
}

void JobNotesDialog::store() {
    if (store_.annotations.set_notes(kind_, job_, to_cp1252(edit_->toPlainText())) &&
        jobs_ != nullptr) {
        jobs_->annotations_stored(kind_, job_);
    }
    close();
}

} // namespace qm
