#include "views/history_window.h"

#include "archive/visit_loading.h"
#include "projects/visit_removal.h"
#include "ui/qt_text.h"
#include "views/history_model.h"
#include "views/visit_evidence_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace qm {

HistoryWindow::HistoryWindow(VisitArchive& archive, HistoryActions actions, QWidget* parent)
    : QDialog(parent), archive_(archive), actions_(std::move(actions)) {
    setWindowTitle(QStringLiteral("History"));
    setObjectName(QStringLiteral("historyWindow"));
    setSizeGripEnabled(true);
    resize(760, 420);

    filter_ = new QLineEdit(this);
    filter_->setPlaceholderText(QStringLiteral("Meter, job ID or title"));
    filter_->setClearButtonEnabled(true);
    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    filterLabel->setBuddy(filter_);
    count_ = new QLabel(this);

    model_ = new HistoryModel(archive_, this);
    table_ = new QTableView(this);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->setWordWrap(false); // one line a visit; the tooltip shows all of it
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->horizontalHeader()->setSectionResizeMode(HistoryModel::Jobs, QHeaderView::Stretch);
    table_->setColumnWidth(HistoryModel::Received, 130);
    table_->setColumnWidth(HistoryModel::Meter, 100);
    table_->installEventFilter(this);

    layOut(filterLabel);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) {
        model_->setFilter(text);
        updateButtons();
    });
    connect(table_, &QAbstractItemView::doubleClicked, this, &HistoryWindow::openSelected);
    connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &HistoryWindow::updateButtons);
    connect(model_, &QAbstractItemModel::modelReset, this, &HistoryWindow::updateButtons);
    connect(open_, &QPushButton::clicked, this, &HistoryWindow::openSelected);
    connect(export_, &QPushButton::clicked, this, &HistoryWindow::exportSelected);
    connect(details_, &QPushButton::clicked, this, &HistoryWindow::editSelected);
    connect(delete_, &QPushButton::clicked, this, &HistoryWindow::deleteSelected);
    table_->setFocus();
    updateButtons();
}

void HistoryWindow::layOut(QLabel* filterLabel) {
    open_ = new QPushButton(QStringLiteral("&Open"), this);
    export_ = new QPushButton(QStringLiteral("&Export\u2026"), this);
    details_ = new QPushButton(QStringLiteral("De&tails\u2026"), this);
    details_->setToolTip(QStringLiteral("Who read the visit, with which meter, and the meter's "
                                        "calibration check"));
    delete_ = new QPushButton(QStringLiteral("&Delete\u2026"), this);
    sync_ = new QPushButton(QStringLiteral("&Sync"), this);
    sync_->setToolTip(QStringLiteral("Send the visits the team server lacks and receive those "
                                     "this computer lacks"));
    sync_->setVisible(static_cast<bool>(actions_.sync));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {open_, details_, export_, delete_, sync_, close}) {
        b->setAutoDefault(false);
    }

    auto* top = new QHBoxLayout;
    top->addWidget(filterLabel);
    top->addWidget(filter_, 1);
    top->addWidget(count_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(open_);
    buttons->addWidget(details_);
    buttons->addWidget(export_);
    buttons->addWidget(delete_);
    buttons->addStretch(1);
    buttons->addWidget(sync_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(sync_, &QPushButton::clicked, this, [this] {
        actions_.sync();
        reload();
    });
}

void HistoryWindow::reload() {
    model_->reload();
    updateButtons();
}

std::int64_t HistoryWindow::selectedVisit() const {
    const QModelIndex current = table_->selectionModel()->currentIndex();
    return current.isValid() ? model_->visitId(current.row()) : 0;
}

void HistoryWindow::updateButtons() {
    if (model_->rowCount() > 0 && !table_->selectionModel()->currentIndex().isValid()) {
        table_->selectRow(0);
    }
    const bool any = selectedVisit() != 0;
    open_->setEnabled(any);
    export_->setEnabled(any);
    details_->setEnabled(any && !archive_.read_only());
    delete_->setEnabled(any && !archive_.read_only());
    sync_->setEnabled(!archive_.read_only());
    const auto total = static_cast<qlonglong>(model_->matchingVisits());
    count_->setText(
        !model_->readError().empty()
            ? QString::fromStdString("The visits cannot be shown: " + model_->readError() + ".")
        : total == 1 ? QStringLiteral("1 visit")
                     : QStringLiteral("%1 visits").arg(total));
}

bool HistoryWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == table_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openSelected();
            return true;
        }
        if (key == Qt::Key_Delete) {
            deleteSelected();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void HistoryWindow::openSelected() {
    if (const std::int64_t id = selectedVisit(); id != 0 && actions_.open) {
        actions_.open(id);
    }
}

void HistoryWindow::exportSelected() {
    const std::int64_t id = selectedVisit();
    if (id == 0) {
        return;
    }
    const std::optional<std::string> folder = actions_.choose_folder();
    if (!folder) {
        return;
    }
    const VisitExport exported = export_visit(archive_, id, *folder, [this](const std::string& p) {
        return actions_.confirm(QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                    .arg(from_file_name(p)));
    });
    if (!exported.ok) {
        actions_.ui->message_box("The visit was not exported: " + exported.error, "Export",
                                 MessageIcon::Warning);
    }
}

void HistoryWindow::editSelected() {
    const int row = table_->selectionModel()->currentIndex().row();
    const VisitSummary* visit = model_->visit(row);
    if (visit == nullptr || archive_.read_only()) {
        return;
    }
    const std::string sha256 = visit->sha256;
    const std::int64_t ids[] = {visit->id};
    const Result<std::vector<UserMeter>> meters = user_meters(archive_);
    const Result<std::map<std::int64_t, MeterDates>> dates = visit_meter_dates(archive_, ids);
    if (!meters || !dates) {
        actions_.ui->message_box(!meters ? meters.error() : dates.error(), "Details",
                                 MessageIcon::Warning);
        return;
    }
    const auto last = dates->find(ids[0]);
    const std::int64_t check_day = last != dates->end() ? last->second.last : 0;
    std::optional<VisitEvidence> said;
    if (actions_.edit_evidence) {
        said = actions_.edit_evidence(model_->evidence(row), *meters, check_day);
    } else {
        VisitEvidenceDialog dialog(model_->evidence(row), *meters, check_day, this);
        if (dialog.exec() == QDialog::Accepted) {
            said = dialog.evidence();
        }
    }
    if (!said) {
        return;
    }
    if (const Status kept = set_visit_evidence(archive_, sha256, *said); !kept) {
        actions_.ui->message_box("The details were not kept: " + kept.error(), "Details",
                                 MessageIcon::Warning);
    }
    model_->reload();
    table_->selectRow(row);
}

void HistoryWindow::deleteSelected() {
    const std::int64_t id = selectedVisit();
    if (id == 0 || archive_.read_only()) {
        return;
    }
    const int row = table_->selectionModel()->currentIndex().row();
    const QString when =
        model_->data(model_->index(row, HistoryModel::Received), Qt::DisplayRole).toString();
    const Result<std::string> warning = visit_removal_warning(archive_, id);
    if (!warning) {
        actions_.ui->message_box("The visit was not deleted: " + warning.error(), "Delete",
                                 MessageIcon::Warning);
        return;
    }
    if (!actions_.confirm(QStringLiteral("Delete the visit of %1 from the archive, with its "
                                         "readings, titles and notes?\n\n%2")
                              .arg(when, QString::fromStdString(*warning).trimmed()))) {
        return;
    }
    const bool removed = archive_.remove_visit(id);
    if (!removed) {
        actions_.ui->message_box("The visit was not deleted: " + archive_.error(), "Delete",
                                 MessageIcon::Warning);
    }
    reload();
    table_->selectRow(std::min(row, model_->rowCount() - 1));
    if (removed && actions_.deleted) {
        actions_.deleted(id);
    }
}

} // namespace qm
