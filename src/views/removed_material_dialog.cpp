#include "views/removed_material_dialog.h"

#include "projects/drying_days.h"
#include "projects/project_texts.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace qm {

RemovedMaterialDialog::RemovedMaterialDialog(const QString& point, const PointRemoval& proposed,
                                             QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Material removed at %1").arg(point));
    day_ = new QLineEdit(QString::fromStdString(iso_date(proposed.on)), this);
    reason_ = new QLineEdit(QString::fromStdString(proposed.reason), this);
    reason_->setPlaceholderText(QStringLiteral("drywall cut 2 ft, Category 2 water"));
    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Removed &on (YYYY-MM-DD):"), day_);
    form->addRow(QStringLiteral("&Reason:"), reason_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &RemovedMaterialDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("From that day the point's readings are shown and "
                                                "no longer judged wet or dry."),
                                 this));
    layout->addLayout(form);
    layout->addWidget(problem_);
    layout->addWidget(buttons);
}

std::optional<PointRemoval> RemovedMaterialDialog::removal() const {
    const std::optional<std::int64_t> day = parse_iso_date(day_->text().trimmed().toStdString());
    const QString reason = reason_->text().trimmed();
    if (!day || reason.isEmpty()) {
        return std::nullopt;
    }
    return PointRemoval{*day, reason.toStdString()};
}

void RemovedMaterialDialog::accept() {
    if (!removal()) {
        problem_->setText(QStringLiteral("Give the day as YYYY-MM-DD and a reason."));
        return;
    }
    QDialog::accept();
}

std::optional<PointRemoval> RemovedMaterialDialog::ask(QWidget* parent, const QString& point,
                                                       const PointRemoval& proposed) {
    RemovedMaterialDialog dialog(point, proposed, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.removal() : std::nullopt;
}

} // namespace qm
