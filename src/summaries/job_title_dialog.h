#pragma once

#include "store/reading_store.h"
#include "ui/layout_metrics.h"

#include <QDialog>

#include <cstdint>

class QLineEdit;
class QPushButton;

namespace qm {

class JobListLink;

// The "Job Title/Description" window: a new title for the selected job. It always opens
// empty. "OK" stores the title (at most 259 characters) for the job, puts it in place of the
// job's list entry and makes it the side panel's job caption; "Cancel" and closing change
// nothing. Modeless; it deletes itself when closed.
class JobTitleDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kEditId = 1071;

    // The managed kind is read when "OK" is pressed.
    JobTitleDialog(ReadingStore& store, const ManagedKind& kind, JobListLink& jobs,
                   const LayoutMetrics& metrics, QWidget* parent = nullptr);

    QLineEdit* edit() const { return edit_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void store();

    ReadingStore& store_;
    const ManagedKind& kind_;
    JobListLink& jobs_;
    QLineEdit* edit_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace qm
