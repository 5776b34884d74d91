#pragma once

// Removed...: the day the material at a point was removed and why.

#include "projects/drying_log.h"

#include <QDialog>

#include <optional>

class QLabel;
class QLineEdit;

namespace qm {

// A small dialog with the day (YYYY-MM-DD) and the reason; OK only takes a real date and a
// reason that is not empty, and says so otherwise.
class RemovedMaterialDialog : public QDialog {
public:
    RemovedMaterialDialog(const QString& point, const PointRemoval& proposed, QWidget* parent);

    QLineEdit* dayEdit() const { return day_; }
    QLineEdit* reasonEdit() const { return reason_; }
    // What was entered; nothing while the entry is not a removal.
    std::optional<PointRemoval> removal() const;

    // Asks for the point's removal; nothing when cancelled.
    static std::optional<PointRemoval> ask(QWidget* parent, const QString& point,
                                           const PointRemoval& proposed);

    void accept() override;

private:
    QLineEdit* day_ = nullptr;
    QLineEdit* reason_ = nullptr;
    QLabel* problem_ = nullptr;
};

} // namespace qm
