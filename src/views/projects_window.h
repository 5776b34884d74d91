#pragma once

#include "archive/visit_archive.h"
#include "projects/drying_log_visits.h"
#include "projects/project_log.h"
#include "projects/project_store.h"
#include "store/user_interface.h"

#include <QDialog>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace qm {

class ProjectDetailsPage;
class ProjectPointsPage;
class ProjectLogPage;
class ProjectEquipmentPage;
class ProjectPhotosPage;
class ProjectPlanPage;

// A job the user may attach: a visit's job and how the list shows it.
struct JobChoice {
    JobRef job;
    QString text; // "2026-03-03 19:00 (read 3/3)  RQ-5200  MC Job #2, ID# 118  Kitchen"
};

// What the Projects window asks of the program and of the user.
struct ProjectsActions {
    // A question with Yes and No (Delete...); true for Yes.
    std::function<bool(const QString& question)> confirm;
    // New...: the name of the new project; nothing when cancelled.
    std::function<std::optional<QString>()> ask_name;
    // Attach...: the jobs chosen among those offered; empty when cancelled.
    std::function<std::vector<JobRef>(const std::vector<JobChoice>&)> choose_jobs;
    // Today as a day number: the day a new equipment entry proposes when nothing was read.
    std::function<std::int64_t()> today;
    // Add point...: a point written as the table writes it; nothing when cancelled. Empty: a
    // text input dialog.
    std::function<std::optional<QString>()> ask_point;
    // Removed...: the day and reason the material at `point` was removed, starting from
    // `proposed`; nothing when cancelled. Empty: the RemovedMaterialDialog.
    std::function<std::optional<PointRemoval>(const QString& point, const PointRemoval& proposed)>
        ask_removal;
    bool celsius = false;
    // Sync: the archive with the team server; the window is read again after it. Empty: no
    // Sync button.
    std::function<void()> sync;
    // Messages (a change the archive refused).
    UserInterface* ui = nullptr;
    // Add photos...: the files chosen; empty when cancelled. Empty: the file dialog.
    std::function<QStringList()> choose_photos;
};

// The project shown and everything the pages show of it, read again after every change.
struct ProjectView {
    std::int64_t id = 0; // 0: none selected
    ProjectDetails details;
    std::vector<ProjectJob> jobs;
    ProjectSettings settings;
    std::unique_ptr<ProjectReadings> readings;
    ProjectLogs logs;
    std::vector<PointHistory> points; // the MC and RH/T points the attached jobs read
    // Per visit of the attached jobs: the first and last date of its readings, and what is said
    // of it; per day of the drying log its visits. evidence_error says why they could not be
    // read (empty when they were).
    std::map<std::int64_t, MeterDates> meter_dates;
    std::map<std::int64_t, VisitEvidence> evidence;
    std::vector<LogDayVisits> days;
    std::string evidence_error;
};

// File > Projects...: the drying projects of the archive at the left (New..., Delete...), and the
// selected one's details and jobs, points and standards, drying and psychrometric logs,
// equipment and photos in tabs, and Sync with the team server. Every edit is written to the archive
// at once; a read-only archive is shown but not changed. Modeless and resizable.
class ProjectsWindow : public QDialog {
public:
    ProjectsWindow(VisitArchive& archive, ProjectsActions actions, QWidget* parent = nullptr);
    ~ProjectsWindow() override;

    QListWidget* projectList() const { return list_; }
    QTabWidget* tabs() const { return tabs_; }
    QPushButton* newButton() const { return new_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* syncButton() const { return sync_; }
    ProjectDetailsPage* detailsPage() const { return details_; }
    ProjectPointsPage* pointsPage() const { return points_; }
    ProjectLogPage* logPage() const { return log_; }
    ProjectEquipmentPage* equipmentPage() const { return equipment_; }
    ProjectPhotosPage* photosPage() const { return photos_; }
    ProjectPlanPage* planPage() const { return plan_; }
    const ProjectView& view() const { return view_; }
    bool editable() const { return !archive_.read_only(); }

    // Options > Fahrenheit or Celsius: the psychrometric log in those units.
    void setCelsius(bool celsius);
    // The archive changed elsewhere (a job attached after a download): read again.
    void reload();
    // Shows the project of that id (selecting it in the list).
    void selectProject(std::int64_t id);
    // Writes a change through the store: on a failure the user is told why; either way the
    // project is read again. True when written.
    bool write(const std::function<bool(ProjectStore&)>& change, const char* what);
    // An entry the window cannot take: the user is told, and the project is shown again.
    void refuse(const std::string& text);
    ProjectStore& store() { return store_; }
    VisitArchive& archive() { return archive_; }
    const ProjectsActions& actions() const { return actions_; }

protected:
    // Closing (Close, Escape, the title bar) keeps what was typed in the details.
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    // The five pages of the selected project.
    void createTabs();
    // The list with its buttons at the left, the tabs at the right, the state and Close below.
    void layOut(QLabel* listLabel, QPushButton* close);
    void newProject();
    void deleteProject();
    void showSelected();
    void readProject(std::int64_t id);
    // The meter dates and evidence of the shown project's visits, and its days' visits.
    void readEvidence();
    void refreshPages();
    void tell(const std::string& text, const char* caption);

    VisitArchive& archive_;
    ProjectStore store_;
    ProjectsActions actions_;
    ProjectView view_;
    QListWidget* list_ = nullptr;
    QLabel* state_ = nullptr;
    QPushButton* new_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* sync_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    ProjectDetailsPage* details_ = nullptr;
    ProjectPointsPage* points_ = nullptr;
    ProjectLogPage* log_ = nullptr;
    ProjectEquipmentPage* equipment_ = nullptr;
    ProjectPhotosPage* photos_ = nullptr;
    ProjectPlanPage* plan_ = nullptr;
    bool reading_ = false;
};

} // namespace qm
