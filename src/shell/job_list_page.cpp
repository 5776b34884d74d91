#include "shell/job_list_page.h"

#include "shell/job_selection.h"
#include "store/job_index.h"
#include "ui/qt_text.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace qm {

namespace {

const QString kSelectAll = QStringLiteral("Select &All");
const QString kDeselectAll = QStringLiteral("De-Select &All");

} // namespace

JobListPage::JobListPage(const ReadingStore& store, const PageContext& context, QWidget* parent)
    : WizardPage(kJobListPageId, context, parent) {
    const ManagedKind kind = context.wizard.management_type;

    QLabel* label = addStatic(QStringLiteral("Select Desired Jobs"), 21, 91, 64, 8,
                              Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(false);
    widen_to_fit(label);
    QPushButton* selectAll = addButton(kSelectAllId, kSelectAll);
    selectAll->setGeometry(metrics().rect(28, 78, 46, 12));

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("list1024"));
    list_->setGeometry(metrics().rect(14, 101, 80, 110));
    list_->setSelectionMode(QAbstractItemView::MultiSelection);
    list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    addStatic(QStringLiteral("Select one job to view or multiple jobs to save. \n\nA job can be "
                             "selected by clicking on the job title with the left mouse "
                             "button.\n\n'View' button opens up detailed job information.\n\n"
                             "Quick Job info. for the selected job can be found in the left hand "
                             "window."),
              103, 102, 94, 110, Qt::AlignHCenter | Qt::AlignTop);

    addActionButtons();

    for (int i = 0; job_at_slot(store, kind, i) != 0; ++i) {
        list_->addItem(from_cp1252(job_list_entry(store, kind, job_at_slot(store, kind, i))));
    }

    connect(list_, &QListWidget::itemSelectionChanged, this, &JobListPage::onSelectionChanged);
    connect(this, &WizardPage::command, this, [this](int id) {
        if (id == kSelectAllId) {
            toggleSelectAll();
        }
    });
    list_->setFocus();
}

void JobListPage::addActionButtons() {
    struct ButtonLayout {
        int id;
        const char* text;
        int x, y, w, h;
        bool multiLine, isDefault, hidden;
    };
    static constexpr ButtonLayout kButtons[] = {
        {kViewId, "&View", 14, 216, 57, 25, false, false, false},
        {kSaveId, "&Save Selected Jobs", 77, 216, 57, 25, true, true, false},
        {kExportId, "&Export All Jobs to Excel", 140, 216, 57, 25, true, false, false},
        // These three are laid out of sight at the top, where the banner and the
        // title are drawn; shown, they form a second row under the first.
        {kPrintSelectedId, "&Print Selected Jobs", 14, 245, 57, 25, true, false, false},
        {kSaveAllId, "Save all &Jobs", 77, 245, 57, 25, true, false, false},
        {kChangeTitleId, "Change Job &Title", 140, 245, 57, 25, true, false, false},
        // The client report of the selected jobs, in a row of its own.
        {kReportId, "&Report\u2026", 14, 274, 57, 25, false, false, false},
    };
    for (const ButtonLayout& s : kButtons) {
        const QRect r = metrics().rect(s.x, s.y, s.w, s.h);
        QString text = QString::fromUtf8(s.text);
        if (s.multiLine) {
            text = wrap_button_text(text, font(), r.width());
        }
        QPushButton* b = addButton(s.id, text, s.isDefault);
        b->setGeometry(r);
        b->setVisible(!s.hidden);
    }
    for (const int id :
         {kViewId, kExportId, kSaveId, kPrintSelectedId, kChangeTitleId, kReportId}) {
        button(id)->setEnabled(false);
    }
}

std::vector<int> JobListPage::selectedPositions() const {
    std::vector<int> rows;
    for (const QModelIndex& index : list_->selectionModel()->selectedIndexes()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString JobListPage::entryText(int position) const {
    const QListWidgetItem* item = list_->item(position);
    return item ? item->text() : QString();
}

void JobListPage::onSelectionChanged() {
    Q_EMIT selectionChanged();
    updateButtons();
}

void JobListPage::updateButtons() {
    const auto n = selectedPositions().size();
    button(kSaveId)->setEnabled(n >= 1);
    button(kViewId)->setEnabled(n == 1);
    button(kExportId)->setEnabled(n == 1);
    // A batch prints any number of jobs; a title belongs to one job.
    button(kPrintSelectedId)->setEnabled(n >= 1);
    button(kChangeTitleId)->setEnabled(n == 1);
    button(kReportId)->setEnabled(n >= 1);
}

void JobListPage::toggleSelectAll() {
    {
        const QSignalBlocker blocker(list_);
        if (selectAllToggle_) {
            selectAllToggle_ = false;
            list_->clearSelection();
            button(kSelectAllId)->setText(kSelectAll);
        } else {
            selectAllToggle_ = true;
            list_->selectAll();
            button(kSelectAllId)->setText(kDeselectAll);
        }
    }
    onSelectionChanged();
}

} // namespace qm
