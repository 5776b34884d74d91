#include "views/projects_window.h"

#include "photos/project_photos.h"
#include "ui/qt_text.h"
#include "views/project_pages.h"
#include "views/project_photos_page.h"
#include "views/project_plan_page.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qm {

ProjectsWindow::ProjectsWindow(VisitArchive& archive, ProjectsActions actions, QWidget* parent)
    : QDialog(parent), archive_(archive), store_(archive), actions_(std::move(actions)) {
    setWindowTitle(QStringLiteral("Projects"));
    setObjectName(QStringLiteral("projectsWindow"));
    setSizeGripEnabled(true);
    resize(1000, 620);

    list_ = new QListWidget(this);
    // A long name wraps to the list's width (the splitter widens it) and shows whole as a tip.
    list_->setWordWrap(true);
    list_->setTextElideMode(Qt::ElideNone);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setResizeMode(QListView::Adjust);
    auto* listLabel = new QLabel(QStringLiteral("&Projects:"), this);
    listLabel->setBuddy(list_);
    new_ = new QPushButton(QStringLiteral("&New\u2026"), this);
    delete_ = new QPushButton(QStringLiteral("&Delete\u2026"), this);
    sync_ = new QPushButton(QStringLiteral("&Sync"), this);
    sync_->setToolTip(QStringLiteral("Send this archive's project changes and visits to the team "
                                     "server and receive the others'"));
    sync_->setVisible(static_cast<bool>(actions_.sync));
    auto* close = new QPushButton(QStringLiteral("C&lose"), this);
    for (QPushButton* b : {new_, delete_, sync_, close}) {
        b->setAutoDefault(true);
    }
    state_ = new QLabel(this);
    state_->setWordWrap(true);

    createTabs();

    layOut(listLabel, close);
    connect(new_, &QPushButton::clicked, this, &ProjectsWindow::newProject);
    connect(delete_, &QPushButton::clicked, this, &ProjectsWindow::deleteProject);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(sync_, &QPushButton::clicked, this, [this] {
        details_->commit(); // what was typed goes with the sync
        actions_.sync();
        reload();
    });
    connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (reading_ || row < 0) {
            return;
        }
        const std::int64_t id = list_->item(row)->data(Qt::UserRole).toLongLong();
        details_->commit(); // the project left keeps what was typed
        selectProject(id);
    });
    if (archive_.read_only()) {
        state_->setText(QStringLiteral("The archive is read-only: the projects are shown but "
                                       "cannot be changed."));
    }
    reload();
    list_->setFocus();
}

ProjectsWindow::~ProjectsWindow() = default;

void ProjectsWindow::createTabs() {
    tabs_ = new QTabWidget(this);
    details_ = new ProjectDetailsPage(*this);
    points_ = new ProjectPointsPage(*this);
    log_ = new ProjectLogPage(*this);
    equipment_ = new ProjectEquipmentPage(*this);
    tabs_->addTab(details_, QStringLiteral("Details and jobs"));
    tabs_->addTab(points_, QStringLiteral("Points and standards"));
    tabs_->addTab(log_, QStringLiteral("Drying log"));
    tabs_->addTab(equipment_, QStringLiteral("Equipment"));
    photos_ = new ProjectPhotosPage(*this);
    tabs_->addTab(photos_, QStringLiteral("Photos"));
    plan_ = new ProjectPlanPage(*this);
    tabs_->addTab(plan_, QStringLiteral("Plan"));
}

void ProjectsWindow::layOut(QLabel* listLabel, QPushButton* close) {
    auto* left = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(listLabel);
    leftLayout->addWidget(list_, 1);
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(new_);
    listButtons->addWidget(delete_);
    leftLayout->addLayout(listButtons);
    auto* splitter = new QSplitter(this);
    splitter->addWidget(left);
    splitter->addWidget(tabs_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({200, 800});

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(state_, 1);
    bottom->addWidget(sync_);
    bottom->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);
}

void ProjectsWindow::closeEvent(QCloseEvent* event) {
    details_->commit();
    QDialog::closeEvent(event);
}

void ProjectsWindow::done(int result) {
    details_->commit();
    QDialog::done(result);
}

void ProjectsWindow::setCelsius(bool celsius) {
    if (actions_.celsius != celsius) {
        actions_.celsius = celsius;
        reload();
    }
}

void ProjectsWindow::reload() {
    const std::int64_t keep = view_.id;
    {
        const QSignalBlocker blocker(list_);
        reading_ = true;
        list_->clear();
        const Result<std::vector<ProjectSummary>> projects = store_.list();
        if (!projects) {
            tell(projects.error(), "Projects");
        }
        for (const ProjectSummary& p : projects ? *projects : std::vector<ProjectSummary>{}) {
            auto* item = new QListWidgetItem(QString::fromStdString(p.details.name), list_);
            item->setToolTip(item->text());
            item->setData(Qt::UserRole, static_cast<qlonglong>(p.id));
        }
        reading_ = false;
    }
    selectProject(keep);
}

void ProjectsWindow::selectProject(std::int64_t id) {
    int row = list_->count() > 0 ? 0 : -1;
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->data(Qt::UserRole).toLongLong() == id) {
            row = i;
        }
    }
    {
        const QSignalBlocker blocker(list_);
        list_->setCurrentRow(row);
    }
    showSelected();
}

void ProjectsWindow::showSelected() {
    const QListWidgetItem* item = list_->currentItem();
    readProject(item != nullptr ? item->data(Qt::UserRole).toLongLong() : 0);
    refreshPages();
}

void ProjectsWindow::readProject(std::int64_t id) {
    view_ = ProjectView{};
    const std::optional<ProjectSummary> summary = id != 0 ? store_.get(id) : std::nullopt;
    if (!summary) {
        return;
    }
    Result<std::vector<ProjectJob>> jobs = store_.jobs(id);
    Result<ProjectSettings> settings = store_.settings(id);
    auto readings = std::make_unique<ProjectReadings>();
    const Status read = !jobs       ? Status(failure(jobs.error()))
                        : !settings ? Status(failure(settings.error()))
                                    : load_project_readings(store_, archive_, id, *readings);
    if (!read) {
        tell(read.error(), "Projects");
        return;
    }
    view_.id = id;
    view_.details = summary->details;
    view_.jobs = std::move(*jobs);
    view_.settings = std::move(*settings);
    view_.readings = std::move(readings);
    view_.logs = project_logs(*view_.readings, view_.settings, actions_.celsius);
    view_.points = point_histories(view_.readings->attached, false);
    std::vector<PointHistory> air = point_histories(view_.readings->attached, true);
    view_.points.insert(view_.points.end(), std::make_move_iterator(air.begin()),
                        std::make_move_iterator(air.end()));
    readEvidence();
}

void ProjectsWindow::readEvidence() {
    std::vector<std::int64_t> visits;
    for (const ProjectJob& j : view_.jobs) {
        if (visits.empty() || visits.back() != j.job.visit_id) {
            visits.push_back(j.job.visit_id);
        }
    }
    Result<std::map<std::int64_t, MeterDates>> dates = visit_meter_dates(archive_, visits);
    Result<std::map<std::int64_t, VisitEvidence>> evidence = evidence_by_visit(archive_);
    if (!dates || !evidence) {
        view_.evidence_error = !dates ? dates.error() : evidence.error();
        return;
    }
    view_.meter_dates = std::move(*dates);
    view_.evidence = std::move(*evidence);
    view_.days = log_day_visits(view_.logs.drying.days, *view_.readings, view_.evidence);
}

void ProjectsWindow::refreshPages() {
    const bool any = view_.id != 0;
    delete_->setEnabled(any && editable());
    new_->setEnabled(editable());
    sync_->setEnabled(editable());
    tabs_->setEnabled(any);
    details_->show(view_);
    points_->show(view_);
    log_->show(view_);
    equipment_->show(view_);
    photos_->show(view_);
    plan_->show(view_);
}

bool ProjectsWindow::write(const std::function<bool(ProjectStore&)>& change, const char* what) {
    const bool ok = editable() && change(store_);
    if (!ok) {
        tell(std::string(what) + " was not written to the archive: " +
                 (editable() ? store_.error() : std::string("the archive is read-only.")),
             "Projects");
    }
    reload();
    return ok;
}

void ProjectsWindow::refuse(const std::string& what) {
    tell(what, "Projects");
    reload();
}

void ProjectsWindow::tell(const std::string& text, const char* caption) {
    if (actions_.ui != nullptr) {
        actions_.ui->message_box(to_cp1252(QString::fromStdString(text)), caption,
                                 MessageIcon::Warning);
    }
}

void ProjectsWindow::newProject() {
    const std::optional<QString> name = actions_.ask_name();
    if (!name || name->trimmed().isEmpty()) {
        return;
    }
    ProjectDetails details;
    details.name = name->trimmed().toStdString();
    std::optional<std::int64_t> id;
    if (write([&](ProjectStore& s) { return (id = s.create(details)).has_value(); },
              "The new project")) {
        selectProject(*id);
        details_->clientEdit()->setFocus();
    }
}

void ProjectsWindow::deleteProject() {
    const std::int64_t id = view_.id;
    if (id == 0 || !editable()) {
        return;
    }
    if (!actions_.confirm(QStringLiteral("Delete the project \"%1\"? Its visits stay in the "
                                         "archive.")
                              .arg(QString::fromStdString(view_.details.name)))) {
        return;
    }
    const int row = list_->currentRow();
    if (write([id](ProjectStore& s) { return s.remove(id); }, "Deleting the project")) {
        // Its photos that no other project holds go with it.
        if (const Status pruned = ProjectPhotos(archive_).prune(); !pruned) {
            tell(pruned.error(), "Projects");
        }
    }
    if (list_->count() > 0) {
        list_->setCurrentRow(std::min(row, list_->count() - 1));
    }
}

} // namespace qm
