#include "shell/job_windows.h"

#include "shell/job_list_page.h"
#include "shell/main_window.h"
#include "shell/side_panel.h"
#include "summaries/qt_batch_print.h"
#include "ui/qt_text.h"
#include "views/readings_view.h"

#include <QAction>
#include <QListWidget>
#include <QMenu>

namespace qm {

namespace {

struct BatchItem {
    int id;
    const char* text;
    std::int32_t bit;
};

constexpr BatchItem kBatchItems[] = {
    {kMenuPrintHistogram, "Histogram", kPrintHistogram},
    {kMenuPrintTable, "Readings Table", kPrintReadings},
    {kMenuPrintSummary, "Job Summary", kPrintSummary},
};

} // namespace

std::vector<int> MainWindowJobList::selected_positions() const {
    const JobListPage* page = window_.jobListPage();
    return page ? page->selectedPositions() : std::vector<int>{};
}

std::optional<std::string> MainWindowJobList::entry_text(int position) const {
    const JobListPage* page = window_.jobListPage();
    if (page == nullptr || position < 0 || position >= page->list()->count()) {
        return std::nullopt;
    }
    return to_cp1252(page->entryText(position));
}

void MainWindowJobList::replace_entry(int position, std::string_view text) {
    JobListPage* page = window_.jobListPage();
    if (page == nullptr) {
        return;
    }
    QListWidget* list = page->list();
    QListWidgetItem* item = list->item(position);
    if (item == nullptr) {
        return;
    }
    // Not a selection change: the recorded selection and the quick job info stay as they are.
    const QSignalBlocker blockList(list);
    const QSignalBlocker blockSelection(list->selectionModel());
    item->setText(from_cp1252(text));
    item->setSelected(true);
    list->viewport()->update();
}

std::string MainWindowJobList::job_caption() const {
    return to_cp1252(window_.sidePanel()->fieldText(SidePanel::kJobCaptionId));
}

void MainWindowJobList::set_job_caption(std::string_view text) {
    SidePanel* panel = window_.sidePanel();
    panel->setQuickJobInfo(panel->fieldText(SidePanel::kReadingCountId),
                           panel->fieldText(SidePanel::kFirstReadingId),
                           panel->fieldText(SidePanel::kLastReadingId), from_cp1252(text));
}

void MainWindowJobList::annotations_stored(RecordKind kind, std::int32_t job) {
    window_.annotationsStored(kind, job);
}

JobWindows::JobWindows(MainWindow& window) : window_(window), jobs_(window) {}

void JobWindows::viewSummary() {
    AppState& app = window_.state();
    if (app.wizard.management_type == ManagedKind::Mc) {
        McSummaryWindow::showSummary(mcSummary_, app, window_.metrics(), jobs_, &window_);
    } else if (app.wizard.management_type == ManagedKind::Rh) {
        RhSummaryWindow::showSummary(rhSummary_, app, window_.metrics(), jobs_, &window_);
    }
}

void JobWindows::changeJobTitle() {
    if (!annotation_allowed(jobs_)) {
        return;
    }
    if (!title_) {
        title_ = new JobTitleDialog(window_.state().store, window_.state().wizard.management_type,
                                    jobs_, window_.metrics(), &window_);
    }
    title_->show();
    title_->raise();
    title_->activateWindow();
}

void JobWindows::printSelectedJobs() {
    print_selected_jobs(window_.state(), jobs_, &window_);
}

void JobWindows::saveAllJobs(ManagedKind kind) {
    AppState& app = window_.state();
    const Selection selected = app.selection;
    const ManagedKind managed = app.wizard.management_type;
    const std::vector<int> all = all_job_positions(app.store, kind);
    if (all.empty()) {
        return;
    }
    // The files record the kind they were saved as.
    app.wizard.management_type = kind;
    // The save writes the jobs of the recorded selection; for this one save that is every job,
    // the first of them the current one (it names the first file).
    app.selection.selected_jobs.fill(0);
    std::copy(all.begin(), all.end(), app.selection.selected_jobs.begin());
    app.selection.selected_count = static_cast<std::int32_t>(all.size());
    app.selection.current_job_index = all.front();
    app.selection.save_mode = SaveMode::All;
    window_.runFileCommand(FileCommand::Save);
    app.wizard.management_type = managed;
    app.selection.selected_jobs = selected.selected_jobs;
    app.selection.selected_count = selected.selected_count;
    app.selection.current_job_index = selected.current_job_index;
}

bool JobWindows::summaryOpen() const {
    return !mcSummary_.isNull() || !rhSummary_.isNull();
}

void JobWindows::selectionChanged() {
    if (mcSummary_) {
        mcSummary_->updateAnnotationButton();
    }
    if (rhSummary_) {
        rhSummary_->updateAnnotationButton();
    }
}

void JobWindows::optionsChanged() {
    if (mcSummary_) {
        mcSummary_->refreshFigures();
    }
    if (rhSummary_) {
        rhSummary_->refreshFigures();
    }
    // The view formats everything at paint time; the histogram shows nothing that an option
    // changes.
    for (ReadingsView* view : window_.findChildren<ReadingsView*>()) {
        view->update();
    }
}

void JobWindows::addBatchPrintMenu(QMenu* options) {
    options->addSeparator();
    batchMenu_ = options->addMenu(QStringLiteral("Batch Print"));
    for (const BatchItem& item : kBatchItems) {
        QAction* action = batchMenu_->addAction(QString::fromLatin1(item.text));
        action->setObjectName(QStringLiteral("action%1").arg(item.id));
        action->setCheckable(true);
        const int id = item.id;
        QObject::connect(action, &QAction::triggered, &window_,
                         [this, id] { window_.menuCommand(id); });
    }
    updateBatchPrintMenu();
}

void JobWindows::updateBatchPrintMenu() {
    if (!batchMenu_) {
        return;
    }
    const std::int32_t parts = window_.state().settings.print_parts;
    for (const BatchItem& item : kBatchItems) {
        if (QAction* action = window_.menuAction(item.id)) {
            action->setChecked((parts & item.bit) != 0);
        }
    }
}

} // namespace qm
