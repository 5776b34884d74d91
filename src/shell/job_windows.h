#pragma once

#include "summaries/job_annotations.h"
#include "summaries/job_title_dialog.h"
#include "summaries/mc_summary_window.h"
#include "summaries/rh_summary_window.h"

#include <QPointer>

#include <memory>

class QMenu;

namespace qm {

class MainWindow;

// The job list and side panel of the main window, as the summaries and the title and notes
// windows see them.
class MainWindowJobList : public JobListLink {
public:
    explicit MainWindowJobList(MainWindow& window) : window_(window) {}

    std::vector<int> selected_positions() const override;
    std::optional<std::string> entry_text(int position) const override;
    void replace_entry(int position, std::string_view text) override;
    std::string job_caption() const override;
    void set_job_caption(std::string_view text) override;
    void annotations_stored(RecordKind kind, std::int32_t job) override;

private:
    MainWindow& window_;
};

// The job windows of this subsystem as the main window offers them: it remembers the one MC
// summary, RH/T summary and title window, and carries out "View Summary", "Change Job Title" and
// "Print Selected Jobs".
class JobWindows {
public:
    explicit JobWindows(MainWindow& window);

    // "View Summary" of the readings view, for the managed kind.
    void viewSummary();
    // "Change Job Title" on the job list page: the title window for the selected job.
    void changeJobTitle();
    // "Print Selected Jobs" on the job list page.
    void printSelectedJobs();
    // "Save all Jobs" on the job list page: one save file per job of the kind's list, whatever
    // is selected. The selection and the managed kind are recorded again afterwards.
    void saveAllJobs(ManagedKind kind);
    // Whether a job summary is open (the job list's "View" opens no readings view then).
    bool summaryOpen() const;
    // The job list's selection changed: "Append Notes" follows it.
    void selectionChanged();
    // An option changed (temperature unit, date order): the open readings view is repainted and
    // the open summaries show their figures again at once.
    void optionsChanged();
    // Adds Options > "Batch Print" with the checkable items 40041, 40042 and 40043, which send
    // their commands to the main window.
    void addBatchPrintMenu(QMenu* options);
    // Sets the check marks of the "Batch Print" items from print_parts.
    void updateBatchPrintMenu();

    JobListLink& jobList() { return jobs_; }
    McSummaryWindow* mcSummary() const { return mcSummary_; }
    RhSummaryWindow* rhSummary() const { return rhSummary_; }
    JobTitleDialog* titleDialog() const { return title_; }

private:
    MainWindow& window_;
    MainWindowJobList jobs_;
    QPointer<McSummaryWindow> mcSummary_;
    QPointer<RhSummaryWindow> rhSummary_;
    QPointer<JobTitleDialog> title_;
    QPointer<QMenu> batchMenu_;
};

} // namespace qm
