#pragma once

#include "store/reading_store.h"
#include "ui/layout_metrics.h"

#include <QDialog>

#include <cstdint>

class QLabel;
class QPushButton;
class QTextEdit;

namespace qm {

class JobListLink;

// The "Job Notes" window: free text for one job, shown again when it is opened again and
// printed on the job's summary. The job (number and kind) is fixed when the window opens, so the
// text shown and the text stored belong to the same job. "OK" stores the text (at most 999 bytes,
// a line break counting two as it is stored; typing stops at the limit, and a line under the
// field tells how many are left), "Cancel" and closing change nothing. Modeless; it deletes
// itself when closed.
class JobNotesDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kEditId = 1071;

    // `jobs`, when given, is told of the notes stored by "OK".
    JobNotesDialog(ReadingStore& store, RecordKind kind, std::int32_t job,
                   const LayoutMetrics& metrics, QWidget* parent = nullptr,
                   JobListLink* jobs = nullptr);

    QTextEdit* edit() const { return edit_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    // "n characters left".
    QLabel* roomLabel() const { return room_; }
    std::int32_t job() const { return job_; }

private:
    void keepWithinLimit();
    void showRoomLeft();
    void store();

    ReadingStore& store_;
    JobListLink* jobs_;
    RecordKind kind_;
    std::int32_t job_;
    QTextEdit* edit_ = nullptr;
    QLabel* room_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace qm
