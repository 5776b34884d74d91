#include "views/project_job_chooser.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace qm {

std::vector<JobRef> choose_jobs_in_dialog(QWidget* parent, const std::vector<JobChoice>& choices) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Attach jobs"));
    dialog.setSizeGripEnabled(true);
    dialog.resize(620, 380);
    auto* list = new QListWidget(&dialog);
    for (const JobChoice& choice : choices) {
        auto* item = new QListWidgetItem(choice.text, list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    auto* label = new QLabel(choices.empty() ? QStringLiteral("Every job of the archive is "
                                                              "attached already.")
                                             : QStringLiteral("&Jobs of the visits to attach:"),
                             &dialog);
    label->setBuddy(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addWidget(list, 1);
    layout->addWidget(buttons);
    std::vector<JobRef> chosen;
    if (dialog.exec() == QDialog::Accepted) {
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->checkState() == Qt::Checked) {
                chosen.push_back(choices[static_cast<std::size_t>(i)].job);
            }
        }
    }
    return chosen;
}

} // namespace qm
