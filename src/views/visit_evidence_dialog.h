#pragma once

#include "archive/visit_evidence.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

namespace qm {

// History > Details…: who read a visit, with which of the user's meters, and the meter's
// reading on its check standard (optional), with the verdict as the log shows it.
class VisitEvidenceDialog : public QDialog {
    Q_OBJECT
public:
    // `check_day` is the day a new check is dated (the visit's last reading date).
    VisitEvidenceDialog(const VisitEvidence& current, std::vector<UserMeter> meters,
                        std::int64_t check_day, QWidget* parent = nullptr);

    // What the dialog says now.
    VisitEvidence evidence() const;

    QLineEdit* technicianEdit() const { return technician_; }
    QComboBox* meterBox() const { return meter_; }
    QCheckBox* checkedBox() const { return checked_; }
    QComboBox* standardBox() const { return standard_; }
    QDoubleSpinBox* readEdit() const { return read_; }
    QDoubleSpinBox* expectedEdit() const { return expected_; }
    QLabel* verdictLabel() const { return verdict_; }

private:
    void updateVerdict();

    VisitEvidence current_;
    std::vector<UserMeter> meters_;
    QLineEdit* technician_ = nullptr;
    QComboBox* meter_ = nullptr;
    QCheckBox* checked_ = nullptr;
    QComboBox* standard_ = nullptr;
    QDoubleSpinBox* read_ = nullptr;
    QDoubleSpinBox* expected_ = nullptr;
    QDateEdit* on_ = nullptr;
    QLabel* verdict_ = nullptr;
};

} // namespace qm
