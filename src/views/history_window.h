#pragma once

#include "archive/visit_archive.h"
#include "archive/visit_evidence.h"
#include "store/user_interface.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace qm {

class HistoryModel;

// What the History window asks of the program and of the user.
struct HistoryActions {
    // Open: brings the visit into the program as a loaded file.
    std::function<void(std::int64_t)> open;
    // Export…: the folder to write into; nothing when cancelled.
    std::function<std::optional<std::string>()> choose_folder;
    // A question with Yes and No (Delete…, replacing a file); true for Yes.
    std::function<bool(const QString& question)> confirm;
    // After Delete… took a visit out of the archive: the windows that show it read it again.
    std::function<void(std::int64_t)> deleted;
    // Sync: the archive with the team server; the window is read again after it. Empty: no
    // Sync button.
    std::function<void()> sync;
    // Details…: what the user says of a visit (the technician, the meter, the calibration
    // check), given what is said now, the user's meters and the day a new check is dated;
    // nothing when cancelled. Empty: the Visit Details dialog.
    std::function<std::optional<VisitEvidence>(const VisitEvidence&, std::vector<UserMeter>,
                                               std::int64_t)>
        edit_evidence;
    // Messages (an export that failed, what was written).
    UserInterface* ui = nullptr;
};

// File > History…: the visits of the archive newest first (received, meter, technician,
// calibration check, jobs with their IDs and titles, readings), a filter box, Open, Details…,
// Export… and Delete… of the selected visit, and Sync with the team server.
// Modeless and resizable; Enter or a double click opens, Delete deletes, Escape closes.
class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    HistoryWindow(VisitArchive& archive, HistoryActions actions, QWidget* parent = nullptr);

    QLineEdit* filterEdit() const { return filter_; }
    QTableView* table() const { return table_; }
    HistoryModel* model() const { return model_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* detailsButton() const { return details_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* syncButton() const { return sync_; }
    // The archive changed (a visit was kept): the list is read again.
    void reload();
    // The visit of the current row; 0 when none is selected.
    std::int64_t selectedVisit() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openSelected();
    void exportSelected();
    void editSelected();
    void deleteSelected();
    void updateButtons();
    // The buttons, and the filter, table and buttons placed in the window.
    void layOut(QLabel* filterLabel);

    VisitArchive& archive_;
    HistoryActions actions_;
    HistoryModel* model_ = nullptr;
    QLineEdit* filter_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* count_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* details_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* sync_ = nullptr;
};

} // namespace qm
