#include "summaries/job_title_dialog.h"

#include "summaries/job_annotations.h"
#include "ui/dialog_controls.h"
#include "ui/qt_text.h"

#include <QLineEdit>

namespace qm {

namespace {

// The job title window, in dialog units.
constexpr int kWidthDu = 186;
constexpr int kHeightDu = 95;

} // namespace

JobTitleDialog::JobTitleDialog(ReadingStore& store, const ManagedKind& kind, JobListLink& jobs,
                               const LayoutMetrics& metrics, QWidget* parent)
    : QDialog(parent), store_(store), kind_(kind), jobs_(jobs) {
    using namespace dialog_controls;
    setWindowTitle(QStringLiteral("Job Title/Description"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setFixedSize(metrics.x(kWidthDu), metrics.y(kHeightDu));

    add_static(this, metrics, "Enter new Job Title/Description.", 42, 26, 102, 8);
    edit_ = new QLineEdit(this);
    edit_->setGeometry(metrics.rect(9, 41, 167, 14));
    edit_->setMaxLength(static_cast<int>(kMaxTitleLength));
    ok_ = add_button(this, metrics, QStringLiteral("&OK"), 42, 73, 50, 14);
    cancel_ = add_button(this, metrics, QStringLiteral("&Cancel"), 94, 73, 50, 14);
    ok_->setDefault(true);

    connect(ok_, &QPushButton::clicked, this, &JobTitleDialog::store);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::close);
    edit_->setFocus();
}

void JobTitleDialog::store() {
    store_job_title(store_, kind_, jobs_, to_cp1252(edit_->text()));
    close();
}

} // namespace qm
