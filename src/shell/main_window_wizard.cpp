// The main window as the wizard's host: its pages, the download and the side panel.
#include "archive/archive_session.h"
#include "files/transcript_file.h"
#include "link/download_procedure.h"
#include "link/link_transcript.h"
#include "shell/job_list_page.h"
#include "shell/main_window.h"
#include "shell/side_panel.h"
#include "shell/wizard_page.h"
#include "views/wait_dialog.h"

#include <QAction>

namespace qm {

void MainWindow::closePage() {
    if (page_ != nullptr) {
        page_->hide();
    }
}

void MainWindow::showPage(int pageId) {
    const PageContext context{state_.wizard, metrics_, banner_, pagesCreated_};
    WizardPage* page = nullptr;
    if (pageId == kStartPageId || pageId == kDataKindPageId) {
        page = new ChoicePage(pageId, context, centralWidget());
    } else {
        // Every page of the job sequence is the job list: the other pages are not offered.
        auto* list = new JobListPage(state_.store, context, centralWidget());
        connect(list, &JobListPage::selectionChanged, this, &MainWindow::onJobSelectionChanged);
        page = list;
        // A new list starts with nothing selected: no job's figures stay on show.
        sidePanel_->clearQuickJobInfo();
    }
    connect(page, &WizardPage::command, this, &MainWindow::pageCommand);
    if (page_ != nullptr) {
        page_->hide();
        page_->deleteLater();
    }
    page_ = page;
    sidePanel_->setJobCounts(state_.store.mc_job_count, state_.store.rh_job_count);
    reshowPage();
    updateReportAction();
}

void MainWindow::reshowPage() {
    if (page_ == nullptr) {
        return;
    }
    page_->placeButtons();
    placePage();
    QWidget* focus = page_->focusWidget();
    if (focus == nullptr) {
        focus = page_->nextInFocusChain();
    }
    if (focus != nullptr && isActiveWindow()) {
        focus->setFocus();
    }
}

bool MainWindow::runDownload() {
    askTechnicianOnce();
    downloading_ = true;
    centralWidget()->setEnabled(false);
    menuAction(kMenuOpen)->setEnabled(false);
    menuAction(kMenuAbout)->setEnabled(false);
    const bool completed = services_.download ? services_.download() : runSerialDownload();
    downloading_ = false;
    centralWidget()->setEnabled(true);
    menuAction(kMenuOpen)->setEnabled(true);
    menuAction(kMenuAbout)->setEnabled(true);
    if (closeRequested_) {
        // Asked once: a close the user then cancels leaves the program running as before.
        closeRequested_ = false;
        close();
        return false;
    }
    // The wait dialog had the keyboard; the mnemonics of the pages work again.
    activateWindow();
    if (completed) {
        if (services_.download) {
            archive_->set_current_visit(std::nullopt); // a download without its bytes
        }
        dataReplaced();
    }
    return completed;
}

bool MainWindow::runSerialDownload() {
    // Closing the main window cancels the download like the wait dialog's Cancel (see
    // closeEvent), so the base unit is left ready; the window closes once it has returned.
    WaitDialogUi ui(metrics_, this, *services_.ui, {});
    waitUi_ = &ui;
    LinkTranscript transcript;
    DownloadOptions options;
    options.transcript = &transcript;
    options.lock_dir = services_.lock_dir;
    const DownloadResult result = download_readings(
        state_.link, state_.store, state_.meter, state_.job_records, state_.selection, ui, options);
    waitUi_ = nullptr;
    save_last_download_transcript(format_transcript(transcript));
    if (result.outcome == DownloadOutcome::Completed) {
        keepDownload(result.stream);
    }
    repaintSidePanel();
    return result.outcome == DownloadOutcome::Completed;
}

void MainWindow::setBackEnabled(bool enabled) {
    sidePanel_->setBackEnabled(enabled);
}

void MainWindow::clearQuickJobInfo() {
    sidePanel_->clearQuickJobInfo();
}

bool MainWindow::pageShown() const {
    return page_ != nullptr && !page_->isHidden();
}

void MainWindow::repaintSidePanel() {
    sidePanel_->update();
}

bool MainWindow::linkEstablished() const {
    return state_.link.link_established;
}

UserInterface& MainWindow::ui() {
    return *services_.ui;
}

} // namespace qm
