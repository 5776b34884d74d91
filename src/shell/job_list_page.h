#pragma once

#include "shell/wizard_page.h"
#include "store/reading_store.h"

#include <vector>

class QListWidget;

namespace qm {

// The job list page: the jobs of the managed kind, selected by single clicks, with the
// actions on the selection.
class JobListPage : public WizardPage {
    Q_OBJECT
public:
    static constexpr int kListId = 1024;
    static constexpr int kViewId = 1046;
    static constexpr int kSaveId = 1063;
    static constexpr int kExportId = 1064;
    static constexpr int kSelectAllId = 1069;
    static constexpr int kPrintSelectedId = 1065;
    static constexpr int kSaveAllId = 1067;
    static constexpr int kChangeTitleId = 1070;
    static constexpr int kReportId = 1080;

    JobListPage(const ReadingStore& store, const PageContext& context, QWidget* parent);

    QListWidget* list() const { return list_; }
    // Positions of the selected entries, ascending.
    std::vector<int> selectedPositions() const;
    QString entryText(int position) const;
    // Select All / De-Select All.
    void toggleSelectAll();

Q_SIGNALS:
    // The selection changed; the receiver records it before the buttons follow it.
    void selectionChanged();

public Q_SLOTS:
    void updateButtons();

private:
    // View, Save, Export, Print, Save all, Change Title and Report, disabled until a job is
    // selected.
    void addActionButtons();
    void onSelectionChanged();

    QListWidget* list_ = nullptr;
    // Whether the next press of 1069 deselects; each page starts with "Select All" selecting.
    bool selectAllToggle_ = false;
};

} // namespace qm
