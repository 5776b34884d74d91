// The main window's job selection and the client report of the selected jobs.
#include "archive/archive_session.h"
#include "projects/drying_days.h"
#include "report/project_report_source.h"
#include "report/report_dialog.h"
#include "report/report_source.h"
#include "shell/job_list_page.h"
#include "shell/job_selection.h"
#include "shell/job_windows.h"
#include "shell/main_window.h"
#include "shell/side_panel.h"
#include "ui/qt_text.h"

#include <QAction>

namespace qm {

void MainWindow::onJobSelectionChanged() {
    JobListPage* page = jobListPage();
    if (page == nullptr) {
        return;
    }
    const std::vector<int> positions = page->selectedPositions();
    const std::string entry =
        positions.empty() ? std::string() : to_cp1252(page->entryText(positions.front()));
    const QuickJobInfo info = show_job_info(state_.store, state_.wizard, state_.selection,
                                            positions, entry, state_.settings.international_date);
    sidePanel_->setQuickJobInfo(from_cp1252(info.count), from_cp1252(info.first),
                                from_cp1252(info.last), from_cp1252(info.caption));
    jobWindows_->selectionChanged();
    updateReportAction();
}

void MainWindow::updateReportAction() {
    const JobListPage* page = jobListPage();
    menuAction(kMenuReport)
        ->setEnabled(!downloading_ && page != nullptr && !page->selectedPositions().empty());
}

void MainWindow::openReport() {
    const JobListPage* page = jobListPage();
    const std::vector<int> positions = page ? page->selectedPositions() : std::vector<int>{};
    const ReportUnits units{state_.settings.celsius != 0, state_.settings.international_date != 0};
    std::vector<ReportJob> jobs = report_jobs_at_positions(
        state_.store, state_.meter, state_.wizard.management_type, positions);
    ReportProjectChoice project = reportProject(jobs);
    open_report_dialog(std::move(jobs), units, *services_.dialogs, *services_.ui, this,
                       std::move(project));
}

// The drying project the selected jobs of the visit on screen belong to, for the report dialog.
ReportProjectChoice MainWindow::reportProject(const std::vector<ReportJob>& jobs) {
    ReportProjectChoice choice;
    const std::optional<std::int64_t> visit = archive_->current_visit();
    VisitArchive* archive = visit ? archive_->archive() : nullptr;
    const std::optional<std::string> name =
        archive != nullptr ? project_of_jobs(*archive, *visit, jobs) : std::nullopt;
    if (!name) {
        return choice;
    }
    choice.name = *name;
    choice.load = [this, name = *name](const ReportUnits& units, ProjectReportData& data,
                                       std::string& error) {
        VisitArchive* a = archive_->archive();
        if (a == nullptr) {
            error = "the archive cannot be used";
            return false;
        }
        return load_project_report(*a, name, units, data, error);
    };
    return choice;
}

} // namespace qm
