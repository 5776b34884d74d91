#pragma once

#include "shell/layout_metrics.h"
#include "store/job_records.h"

#include <QDialog>

#include <cstdint>

class QPushButton;
class QTextEdit;

namespace qm {

// The "Job Notes" window (137): free text for one job, shown again when it is opened again and
// printed on the job's MC summary. The job is fixed when the window opens (its position in the
// job list of the managed kind), so the text shown and the text stored belong to the same job.
// "OK" stores the text (at most 999 characters; typing stops at the limit), "Cancel" and closing
// change nothing. Modeless; it deletes itself when closed.
class JobNotesDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kEditId = 1071;

    JobNotesDialog(JobRecords& records, std::int32_t management_type, int position,
                   const LayoutMetrics& metrics, QWidget* parent = nullptr);

    QTextEdit* edit() const { return edit_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }
    int position() const { return position_; }

private:
    void keepWithinLimit();
    void store();

    JobRecords& records_;
    std::int32_t managementType_;
    int position_;
    QTextEdit* edit_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace qm
