// The main window and the visit archive: every download and opened file kept, titles and notes
// following them, and File > History...
#include "archive/archive_session.h"
#include "archive/visit_loading.h"
#include "files/save_file.h"
#include "shell/main_window.h"
#include "shell/side_panel.h"
#include "ui/qt_text.h"
#include "views/history_window.h"

#include <QFileDialog>
#include <QMessageBox>

namespace qm {

void MainWindow::keepDownload(std::span<const std::uint8_t> stream) {
    sayEvidence(true);
    archive_->keep(stream, VisitSource::Download, state_.store, state_.meter);
    proposeAttachments();
    archiveChanged();
}

void MainWindow::keepOpenedFile(const std::string& path) {
    sayEvidence(false);
    archive_->keep_file(path, state_.store, state_.meter);
    proposeAttachments();
    archiveChanged();
}

void MainWindow::annotationsStored(RecordKind kind, std::int32_t job) {
    // Kept in the archive, they are not lost when the data goes: no question about them then.
    if (archive_->annotations_confirmed(state_.store, kind, job)) {
        unsaved_->kept(kind, job);
    }
    if (history_) {
        history_->reload();
    }
}

HistoryWindow* MainWindow::historyWindow() const {
    return history_;
}

void MainWindow::showHistory() {
    VisitArchive* archive = archive_->archive();
    if (archive == nullptr) {
        return; // said when it was first used
    }
    if (!history_) {
        HistoryActions actions;
        actions.open = [this](std::int64_t id) { openArchivedVisit(id); };
        actions.choose_folder = services_.choose_folder;
        if (!actions.choose_folder) {
            actions.choose_folder = [this]() -> std::optional<std::string> {
                const QString folder = QFileDialog::getExistingDirectory(
                    history_, QStringLiteral("Export the visit's jobs into"));
                return folder.isEmpty() ? std::nullopt
                                        : std::optional<std::string>(to_file_name(folder));
            };
        }
        actions.confirm = services_.confirm;
        if (!actions.confirm) {
            actions.confirm = [this](const QString& question) {
                return QMessageBox::question(history_, QStringLiteral("History"), question) ==
                       QMessageBox::Yes;
            };
        }
        actions.deleted = [this](std::int64_t id) { visitDeleted(id); };
        actions.ui = services_.ui;
        actions.sync = [this] { syncArchive(history_); };
        history_ = new HistoryWindow(*archive, std::move(actions), this);
        history_->setAttribute(Qt::WA_DeleteOnClose);
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
}

void MainWindow::visitDeleted(std::int64_t id) {
    if (archive_->current_visit() == id) {
        // The archive may give its number to the next visit it keeps, which must not take the
        // titles and notes confirmed on the data on screen.
        archive_->set_current_visit(std::nullopt);
    }
    if (projects_) {
        projects_->reload();
    }
}

TeamSyncFlow& MainWindow::teamSync() {
    if (!teamSync_) {
        TeamSyncActions actions = services_.sync;
        // A caller's own messages (tests) take Sync's too; the program's own boxes are Sync's,
        // which keep the server's words under Details.
        if (actions.ui == nullptr && !ownUi_) {
            actions.ui = &ui();
        }
        teamSync_ = std::make_unique<TeamSyncFlow>(metrics_, archive_->path(), std::move(actions));
    }
    return *teamSync_;
}

void MainWindow::editTeamServer() {
    if (!teamSync().running()) {
        teamSync().editServer(this);
    }
}

void MainWindow::syncArchive(QWidget* from) {
    teamSync().run(from);
    archiveChanged();
}

void MainWindow::openArchivedVisit(std::int64_t id) {
    if (downloading_ || archive_->archive() == nullptr) {
        return;
    }
    state_.job_records.clear();
    const DecodedSource opened = open_visit(*archive_->archive(), id, state_.store, state_.meter,
                                            state_.job_records, state_.selection);
    if (!opened.ok) {
        ui().message_box(opened.error, kArchiveCaption, MessageIcon::Warning);
        return;
    }
    // As File > Open continues with a loaded file.
    sidePanel_->setBackEnabled(true);
    apply_restored_session(opened.session, state_.wizard, state_.selection);
    if (!state_.wizard.bothKinds && state_.store.mc_job_count + state_.store.rh_job_count > 0) {
        state_.wizard.step = kSavedStep;
    }
    archive_->set_current_visit(id);
    dataReplaced();
    wizard_.fileLoaded();
    activateWindow();
}

} // namespace qm
