// The main window and the drying projects: File > Projects..., and the jobs of a new visit offered
// to the projects they continue.
#include "archive/archive_session.h"
#include "projects/drying_days.h"
#include "shell/main_window.h"
#include "ui/qt_text.h"
#include "views/history_window.h"
#include "views/project_job_chooser.h"

#include <QInputDialog>
#include <QMessageBox>

namespace qm {

void MainWindow::archiveChanged() {
    if (history_) {
        history_->reload();
    }
    if (projects_) {
        projects_->reload();
    }
}

ProjectsWindow* MainWindow::projectsWindow() const {
    return projects_;
}

void MainWindow::showProjects() {
    VisitArchive* archive = archive_->archive();
    if (archive == nullptr) {
        return; // said when it was first used
    }
    if (!projects_) {
        ProjectsActions actions;
        actions.confirm = services_.confirm;
        if (!actions.confirm) {
            actions.confirm = [this](const QString& question) {
                return QMessageBox::question(projects_, QStringLiteral("Projects"), question) ==
                       QMessageBox::Yes;
            };
        }
        actions.ask_name = services_.ask_project_name;
        if (!actions.ask_name) {
            actions.ask_name = [this]() -> std::optional<QString> {
                bool ok = false;
                const QString name = QInputDialog::getText(projects_, QStringLiteral("New project"),
                                                           QStringLiteral("&Name of the project:"),
                                                           QLineEdit::Normal, QString(), &ok);
                return ok ? std::optional<QString>(name) : std::nullopt;
            };
        }
        actions.choose_jobs = services_.choose_jobs;
        if (!actions.choose_jobs) {
            actions.choose_jobs = [this](const std::vector<JobChoice>& choices) {
                return choose_jobs_in_dialog(projects_, choices);
            };
        }
        actions.today = [this] {
            const LocalDate today = services_.today();
            return drying_day_number({today.year, today.month, today.day});
        };
        actions.celsius = state_.settings.celsius != 0;
        actions.ui = services_.ui != nullptr ? services_.ui : &ui();
        actions.sync = [this] { syncArchive(projects_); };
        projects_ = new ProjectsWindow(*archive, std::move(actions), this);
        projects_->setAttribute(Qt::WA_DeleteOnClose);
    }
    projects_->show();
    projects_->raise();
    projects_->activateWindow();
}

namespace {

// "Job #2, ID# 118", several joined by commas and "and".
QString jobs_text(const std::vector<ProjectJob>& jobs) {
    QString text;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (i > 0) {
            text += i + 1 == jobs.size() ? QStringLiteral(" and ") : QStringLiteral(", ");
        }
        text += QStringLiteral("%1Job #%2, ID# %3")
                    .arg(jobs[i].job.kind == RecordKind::Rh ? QStringLiteral("RH/T ") : QString())
                    .arg(jobs[i].job.number)
                    .arg(jobs[i].job_id);
    }
    return text;
}

} // namespace

void MainWindow::proposeAttachments() {
    VisitArchive* archive = archive_->archive();
    const std::optional<std::int64_t> visit = archive_->current_visit();
    if (archive == nullptr || archive->read_only() || !visit) {
        return;
    }
    if (!services_.ask_attach) {
        services_.ask_attach = [this](const QString& question) {
            return QMessageBox::question(this, QStringLiteral("Projects"), question) ==
                   QMessageBox::Yes;
        };
    }
    ProjectStore store(*archive);
    const Result<std::vector<ProjectSummary>> projects = store.list();
    if (!projects) {
        ui().message_box(to_cp1252(QString::fromStdString(projects.error())), kArchiveCaption,
                         MessageIcon::Warning);
        return;
    }
    for (const ProjectSummary& project : *projects) {
        std::vector<ProjectJob> offered;
        for (ProjectJob& job : store.proposed_jobs(project.id)) {
            if (job.job.visit_id == *visit) {
                offered.push_back(std::move(job));
            }
        }
        if (offered.empty() ||
            !services_.ask_attach(
                QStringLiteral("Attach %1 to the project \"%2\"?")
                    .arg(jobs_text(offered), QString::fromStdString(project.details.name)))) {
            continue;
        }
        std::vector<JobRef> jobs;
        for (const ProjectJob& job : offered) {
            jobs.push_back(job.job);
        }
        if (!store.attach(project.id, jobs)) {
            ui().message_box(to_cp1252(QStringLiteral("The jobs were not attached: %1")
                                           .arg(QString::fromStdString(store.error()))),
                             kArchiveCaption, MessageIcon::Warning);
        }
    }
}

} // namespace qm
