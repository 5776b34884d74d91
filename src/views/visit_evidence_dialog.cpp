#include "views/visit_evidence_dialog.h"

#include "text/reading_time.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace qm {

namespace {

QDate date_of(std::int64_t day) {
    const CivilDate d = civil_date_of(day);
    return {d.year, d.month, d.day};
}

QDoubleSpinBox* percent_box(double value, QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(0.0, 100.0);
    box->setDecimals(1);
    box->setSingleStep(0.1);
    box->setSuffix(QStringLiteral(" %MC"));
    box->setValue(value);
    return box;
}

} // namespace

VisitEvidenceDialog::VisitEvidenceDialog(const VisitEvidence& current,
                                         std::vector<UserMeter> meters, std::int64_t check_day,
                                         QWidget* parent)
    : QDialog(parent), current_(current), meters_(std::move(meters)) {
    setWindowTitle(QStringLiteral("Visit Details"));
    setObjectName(QStringLiteral("visitEvidenceDialog"));
    technician_ = new QLineEdit(QString::fromStdString(current.technician), this);
    technician_->setMaxLength(static_cast<int>(kMaxEvidenceTextBytes));
    meter_ = new QComboBox(this);
    meter_->addItem(QStringLiteral("(not said)"));
    for (const UserMeter& m : meters_) {
        meter_->addItem(QString::fromStdString(
            m.serial.empty() ? m.name : m.name + " (serial " + m.serial + ")"));
    }
    const UserMeter* said = find_user_meter(meters_, current.meter_name);
    if (said != nullptr) {
        meter_->setCurrentIndex(static_cast<int>(said - meters_.data()) + 1);
    } else if (!current.meter_name.empty()) {
        // A meter no longer in the list (or named on another laptop) stays as it was said.
        meter_->addItem(QString::fromStdString(current.meter_name));
        meter_->setCurrentIndex(meter_->count() - 1);
    }
    const CalibrationCheck check =
        current.check.value_or(CalibrationCheck{CheckStandard::PinBlock, 12.0, 12.0, check_day});
    checked_ = new QCheckBox(QStringLiteral("&Checked on a standard"), this);
    checked_->setChecked(current.check.has_value());
    standard_ = new QComboBox(this);
    standard_->addItems({QStringLiteral("Pin block"), QStringLiteral("Pinless pad")});
    standard_->setCurrentIndex(check.standard == CheckStandard::PinBlock ? 0 : 1);
    read_ = percent_box(check.read, this);
    expected_ = percent_box(check.expected, this);
    on_ = new QDateEdit(date_of(check.on), this);
    on_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    verdict_ = new QLabel(this);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Technician:"), technician_);
    form->addRow(QStringLiteral("&Meter:"), meter_);
    form->addRow(checked_);
    form->addRow(QStringLiteral("&Standard:"), standard_);
    form->addRow(QStringLiteral("&Reading:"), read_);
    form->addRow(QStringLiteral("&Expected:"), expected_);
    form->addRow(QStringLiteral("&On:"), on_);
    form->addRow(verdict_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(checked_, &QCheckBox::toggled, this, &VisitEvidenceDialog::updateVerdict);
    connect(standard_, &QComboBox::currentIndexChanged, this, &VisitEvidenceDialog::updateVerdict);
    for (QDoubleSpinBox* box : {read_, expected_}) {
        connect(box, &QDoubleSpinBox::valueChanged, this, &VisitEvidenceDialog::updateVerdict);
    }
    connect(on_, &QDateEdit::dateChanged, this, &VisitEvidenceDialog::updateVerdict);
    updateVerdict();
}

VisitEvidence VisitEvidenceDialog::evidence() const {
    VisitEvidence e;
    e.technician = technician_->text().trimmed().toStdString();
    const int meter = meter_->currentIndex();
    if (meter >= 1 && meter <= static_cast<int>(meters_.size())) {
        e.meter_name = meters_[static_cast<std::size_t>(meter - 1)].name;
        e.meter_serial = meters_[static_cast<std::size_t>(meter - 1)].serial;
    } else if (meter > static_cast<int>(meters_.size())) {
        e.meter_name = current_.meter_name;
        e.meter_serial = current_.meter_serial;
    }
    if (checked_->isChecked()) {
        const QDate on = on_->date();
        e.check = CalibrationCheck{
            standard_->currentIndex() == 0 ? CheckStandard::PinBlock : CheckStandard::PinlessPad,
            read_->value(), expected_->value(), civil_day_number(on.year(), on.month(), on.day())};
    }
    return e;
}

void VisitEvidenceDialog::updateVerdict() {
    const bool checked = checked_->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{standard_, read_, expected_, on_}) {
        w->setEnabled(checked);
    }
    const VisitEvidence e = evidence();
    verdict_->setText(e.check ? QString::fromStdString(check_text(*e.check)) +
                                    QStringLiteral(" (within \u00B10.5 %MC passes)")
                              : QString());
}

} // namespace qm
