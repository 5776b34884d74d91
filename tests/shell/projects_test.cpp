// Drying projects on the desktop: File > Projects (Ctrl+J) shows a stored week's drying log, edits
// reach the archive at once, and a downloaded visit's jobs are offered to the project they
// continue.
#include "archive/archive_session.h"
#include "projects/drying_days.h"
#include "projects/project_store.h"
#include "projects/project_texts.h"
#include "shell/shell_fixture.h"
#include "support/archive_fixture.h"
#include "support/drying_week.h"
#include "support/pg_cluster.h"
#include "sync/server_schema.h"
#include "views/drying_charts.h"
#include "views/history_model.h"
#include "views/history_window.h"
#include "views/project_pages.h"
#include "views/projects_window.h"
#include "views/removed_material_dialog.h"
#include "views/team_sync_flow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace qm::test {
namespace {

class ProjectsTest : public ShellTest {
protected:
    // An archive holding the first `days` visits of the drying week, all attached to "Kitchen
    // leak", with the standards taken from the hall's unaffected wall and floor.
    void archiveWeek(std::size_t days) {
        OpenedArchive opened = open_archive(path("archive.sqlite"));
        ASSERT_TRUE(opened.archive);
        const std::vector<std::int64_t> week = archive_drying_week(*opened.archive);
        ProjectStore store(*opened.archive);
        ProjectDetails details;
        details.name = "Kitchen leak";
        project_ = store.create(details).value();
        for (std::size_t d = 0; d < days; ++d) {
            ASSERT_TRUE(store.attach(project_, store.visit_jobs(week[d], std::nullopt)));
        }
        for (const char* material : {"Plaster", "Doug Fir"}) {
            const std::string reference =
                std::string(material) == "Plaster" ? "HL1,W/Plaster" : "HL1,F/Doug Fir";
            ASSERT_TRUE(store.set_material_standard(
                project_,
                {material, PointScale::Pin, {std::nullopt, parse_point(reference)}, 2.0}));
        }
    }
    // What the archive holds now, read by a connection of its own.
    template <typename Read> auto stored(Read read) {
        OpenedArchive opened = open_archive(path("archive.sqlite"));
        ProjectStore store(*opened.archive);
        return read(store);
    }
    // The main window with the Projects window's questions answered from the test.
    void openAnswering() {
        ShellServices services;
        services.ui = &ui_;
        services.dialogs = &dialogs_;
        services.archive_path = path("archive.sqlite");
        services.today = [] { return LocalDate{2026, 3, 9}; };
        services.confirm = [this](const QString& q) {
            asked_.push_back(q);
            return true;
        };
        services.ask_project_name = [] { return std::optional<QString>("Basement"); };
        services.choose_jobs = [this](const std::vector<JobChoice>& choices) {
            offered_ = choices;
            return std::vector<JobRef>{choices.at(0).job};
        };
        window_ = std::make_unique<MainWindow>(*state_, services);
    }
    ProjectsWindow& projects() {
        window_->show();
        window_->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        QTest::keyClick(window_.get(), Qt::Key_J, Qt::ControlModifier);
        ProjectsWindow* p = window_->projectsWindow();
        EXPECT_NE(p, nullptr);
        EXPECT_TRUE(p->isVisible());
        p->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(p));
        return *p;
    }

    std::int64_t project_ = 0;
    std::vector<QString> asked_;
    std::vector<JobChoice> offered_;
};

// The row of a table whose first column reads `text`; -1 when none does.
int row_of(const QTableWidget* table, const QString& text) {
    for (int r = 0; r < table->rowCount(); ++r) {
        if (table->item(r, 0) != nullptr && table->item(r, 0)->text() == text) {
            return r;
        }
    }
    return -1;
}

QString cell(const QTableWidget* table, int row, int column) {
    const QTableWidgetItem* item = table->item(row, column);
    return item != nullptr ? item->text() : QStringLiteral("<none>");
}

// A day's cell without the time of its reading: "13.5 dry 11:51" as "13.5 dry".
QString day_value(const QTableWidget* table, int row, int column) {
    QString text = cell(table, row, column);
    return text.remove(QRegularExpression(QStringLiteral(" \\d\\d:\\d\\d$")));
}

TEST_F(ProjectsTest, WindowShowsTheWeeksLogAndEditsReachTheArchiveAndTheTable) {
    archiveWeek(7);
    open();
    ProjectsWindow& p = projects();
    ASSERT_EQ(p.projectList()->count(), 1);
    const QTableWidget* log = p.logPage()->dryingTable();
    ASSERT_EQ(log->columnCount(), ProjectLogPage::kFirstDay + 7);
    const int first = ProjectLogPage::kFirstDay;
    // Not yet dry first; the kitchen floor dry on day 5 and wet again on day 6.
    const std::vector<std::vector<QString>> expected = {
        {"KIT,F/Doug Fir", "HL1,F/Doug Fir", "13.5 dry", "18.8 wet", "not dry"},
        {"KIT,W/Plaster", "HL1,W/Plaster", "11.7 dry", "11.3 dry", "2026-03-06"},
        {"KIT,C/Plaster", "HL1,W/Plaster", "11.0 dry", "11.0 dry", "2026-03-04"},
        {"HL1,W/Plaster", "reference", "11.1", "11.0", ""},
    };
    EXPECT_EQ(row_of(log, "KIT,F/Doug Fir"), 0);
    EXPECT_EQ(row_of(log, "HL1,W/Plaster"), log->rowCount() - 1);
    for (const auto& e : expected) {
        const int r = row_of(log, e[0]);
        ASSERT_GE(r, 0) << e[0].toStdString();
        EXPECT_EQ(cell(log, r, 2), e[1]);
        EXPECT_EQ(day_value(log, r, first + 4), e[2]);
        EXPECT_EQ(day_value(log, r, first + 5), e[3]);
        EXPECT_EQ(cell(log, r, ProjectLogPage::kDrySince), e[4]);
    }
    // The afternoon reading of day 2, with its time; each day's visit beside.
    EXPECT_EQ(cell(log, row_of(log, "KIT,W/Plaster"), first + 1), "20.1 wet 16:40");
    ASSERT_EQ(p.logPage()->visitTable()->rowCount(), 7);
    EXPECT_EQ(cell(p.logPage()->visitTable(), 1, 2), "visit 2");
    EXPECT_EQ(p.logPage()->charts()->charts(), 6); // the two references are not charted
    // Values on round ticks; every day labelled where there is room, every n-th where not.
    const DryingCharts* charts = p.logPage()->charts();
    std::vector<std::string> ticks;
    for (const AxisTick& t : charts->valueAxis(PointScale::Pin).ticks) {
        ticks.push_back(t.label);
    }
    EXPECT_EQ(ticks, (std::vector<std::string>{"0", "10", "20", "30", "40"}));
    EXPECT_EQ(charts->labelledDays(600, 30).size(), 7u);
    const std::vector<std::int64_t> crowded = charts->labelledDays(120, 30);
    ASSERT_EQ(crowded.size(), 3u);
    EXPECT_EQ(crowded[1] - crowded[0], 3);
    const QTableWidget* air = p.logPage()->airTable();
    EXPECT_EQ(air->horizontalHeaderItem(6)->text(), "GPP");
    // Day 1, no role given: the mean of the four RH/T points (72.5, 71, 50, 94 degrees F).
    EXPECT_EQ(cell(air, 0, 3), "71.9");
    window_->menuCommand(kMenuCelsius);
    EXPECT_EQ(air->horizontalHeaderItem(6)->text(), "GPK");
    EXPECT_EQ(cell(air, 0, 3), "22.2");

    // A label typed into the points table. The columns stay where they were, so that the next
    // click lands on the cell aimed at.
    QTableWidget* points = p.pointsPage()->pointTable();
    const int wall = row_of(points, "KIT,W/Plaster");
    ASSERT_GE(wall, 0);
    const auto widths = [](const QTableWidget* table) {
        std::vector<int> w;
        for (int c = 0; c < table->columnCount(); ++c) {
            w.push_back(table->columnWidth(c));
        }
        return w;
    };
    const std::vector<int> pointWidths = widths(points);
    points->item(wall, ProjectPointsPage::Label)->setText("behind the dishwasher");
    EXPECT_EQ(widths(points), pointWidths);
    EXPECT_EQ(stored([](ProjectStore& s) {
                  return s.settings(s.list()->at(0).id)->label(*parse_point("KIT,W/Plaster"));
              }),
              "behind the dishwasher");
    EXPECT_EQ(cell(log, row_of(log, "KIT,W/Plaster"), 1), "behind the dishwasher");

    // Plaster's standard as a value: 11.0 + 2.0 makes the wall dry from day 4 (12.6 wet, 11.7 dry).
    QTableWidget* materials = p.pointsPage()->materialTable();
    const int plaster = row_of(materials, "Plaster");
    ASSERT_GE(plaster, 0);
    const std::vector<int> materialWidths = widths(materials);
    materials->item(plaster, ProjectPointsPage::Standard)->setText("11");
    EXPECT_EQ(widths(materials), materialWidths);
    EXPECT_EQ(stored([](ProjectStore& s) {
                  const ProjectSettings settings = s.settings(s.list()->at(0).id).value();
                  const auto& m = settings.materials;
                  const auto it = std::find_if(m.begin(), m.end(),
                                               [](auto& x) { return x.material == "Plaster"; });
                  return it != m.end() ? it->standard.value.value_or(-1) : -2;
              }),
              11.0);
    const int wallNow = row_of(log, "KIT,W/Plaster");
    EXPECT_EQ(cell(log, wallNow, 3), "13.0");
    EXPECT_EQ(day_value(log, wallNow, first + 3), "12.6 dry");
    EXPECT_EQ(cell(log, wallNow, ProjectLogPage::kDrySince), "2026-03-06");

    // Entries the window cannot take are refused with a message and change nothing.
    materials->item(row_of(materials, "Plaster"), ProjectPointsPage::Standard)->setText("HALL");
    ASSERT_EQ(ui_.messages.size(), 1U);
    EXPECT_EQ(cell(materials, row_of(materials, "Plaster"), ProjectPointsPage::Standard), "11.0");
    // A reference written as a point, but to none the project's jobs read.
    materials->item(row_of(materials, "Plaster"), ProjectPointsPage::Standard)
        ->setText("HL1,W/Plastre");
    ASSERT_EQ(ui_.messages.size(), 2U);
    EXPECT_EQ(ui_.messages[1].text, "No attached job has readings at HL1,W/Plastre: a reference "
                                    "is one of the project's points, written as the Point column "
                                    "writes it.");
    EXPECT_EQ(cell(materials, row_of(materials, "Plaster"), ProjectPointsPage::Standard), "11.0");

    // The code legend edited in the window.
    QTableWidget* legend = p.detailsPage()->legendTable();
    const int misc1 = row_of(legend, "MISC1");
    ASSERT_GE(misc1, 0);
    legend->item(misc1, 1)->setText("dehumidifier");
    EXPECT_EQ(stored([](ProjectStore& s) {
                  return s.settings(s.list()->at(0).id)->legend_overrides.at("MISC1");
              }),
              "dehumidifier");
    EXPECT_EQ(cell(p.detailsPage()->legendTable(), row_of(legend, "MISC1"), 1), "dehumidifier");

    // A date of loss after every reading is a warning over the logs.
    EXPECT_TRUE(p.logPage()->warningsLabel()->isHidden());
    p.detailsPage()->lossDateEdit()->setText("2026-03-20");
    p.detailsPage()->commit();
    EXPECT_FALSE(p.logPage()->warningsLabel()->isHidden());
    EXPECT_EQ(p.logPage()->warningsLabel()->text(),
              "Warning: The date of loss (2026-03-20) is after every reading (the last on "
              "2026-03-09).");
}

TEST_F(ProjectsTest, NewDeleteDetailsAndEquipmentWriteAtOnce) {
    archiveWeek(1);
    openAnswering();
    ProjectsWindow& p = projects();
    EXPECT_EQ(p.view().jobs.size(), 2U);
    QTest::mouseClick(p.newButton(), Qt::LeftButton);
    ASSERT_EQ(p.projectList()->count(), 2);
    EXPECT_EQ(p.projectList()->currentItem()->text(), "Basement");
    EXPECT_TRUE(p.view().jobs.empty());
    QTest::mouseClick(p.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(asked_, (std::vector<QString>{"Delete the project \"Basement\"? Its visits stay "
                                            "in the archive."}));
    ASSERT_EQ(p.projectList()->count(), 1);
    EXPECT_EQ(p.view().details.name, "Kitchen leak");
    // Attach... offers the jobs of the archive not yet attached: the other six days'.
    p.detailsPage()->attachButton()->click();
    ASSERT_EQ(offered_.size(), 12U);
    // Each with its visit's meter dates beside the download time.
    EXPECT_TRUE(offered_[0].text.contains(" (read 3/9)  TRK ALFA  MC Job #2, ID# 118"))
        << offered_[0].text.toStdString();
    EXPECT_EQ(p.view().jobs.size(), 3U);
    EXPECT_EQ(cell(p.detailsPage()->jobTable(), 0, 1), "3/3");
    p.detailsPage()->jobTable()->selectRow(2);
    p.detailsPage()->detachButton()->click();
    EXPECT_EQ(p.view().jobs.size(), 2U);
    p.detailsPage()->categoryBox()->setCurrentIndex(2);
    p.detailsPage()->lossDateEdit()->setText("2026-03-02");
    Q_EMIT p.detailsPage()->lossDateEdit()->editingFinished();
    p.equipmentPage()->addButton()->click();
    QTableWidget* equipment = p.equipmentPage()->table();
    ASSERT_EQ(equipment->rowCount(), 1);
    equipment->item(0, ProjectEquipmentPage::Count)->setText("3");
    equipment->item(0, ProjectEquipmentPage::Removed)->setText("2026-03-06");
    const ProjectRecord record = stored([](ProjectStore& s) {
        const std::int64_t id = s.list()->at(0).id;
        return ProjectRecord{s.get(id)->details, {}, s.settings(id).value()};
    });
    EXPECT_EQ(record.details.category, 2);
    // A long name is shown whole: wrapped in the list, and as the item's tip.
    const QString longName = QStringLiteral("Harbour Street basement flood at number 14, rear");
    p.detailsPage()->nameEdit()->setText(longName);
    Q_EMIT p.detailsPage()->nameEdit()->editingFinished();
    const QListWidgetItem* named = p.projectList()->item(0);
    EXPECT_EQ(named->text(), longName);
    EXPECT_EQ(named->toolTip(), longName);
    EXPECT_GT(p.projectList()->visualItemRect(named).height(),
              p.projectList()->fontMetrics().height() * 3 / 2);
    EXPECT_EQ(record.details.loss_date, parse_iso_date("2026-03-02"));
    ASSERT_EQ(record.settings.equipment.size(), 1U);
    EXPECT_EQ(record.settings.equipment[0].entry.count, 3);
    EXPECT_EQ(record.settings.equipment[0].entry.placed, *parse_iso_date("2026-03-03"));
    EXPECT_EQ(cell(equipment, 0, ProjectEquipmentPage::EquipmentDays), "9");
    // Notes typed and the window closed with Escape at once: they are kept.
    p.detailsPage()->notesEdit()->setPlainText("Dishwasher hose");
    QTest::keyClick(&p, Qt::Key_Escape);
    EXPECT_EQ(stored([](ProjectStore& s) { return s.list()->at(0).details.notes; }),
              "Dishwasher hose");
    EXPECT_TRUE(ui_.messages.empty());
}

// A visit deleted in the History window leaves the open Projects window's jobs, log and points.
TEST_F(ProjectsTest, VisitDeletedInHistoryLeavesTheOpenWindow) {
    archiveWeek(2);
    openAnswering();
    ProjectsWindow& p = projects();
    ASSERT_EQ(p.view().jobs.size(), 4U);
    const std::int64_t second = p.view().jobs.back().job.visit_id;
    window_->showHistory();
    HistoryWindow& h = *window_->historyWindow();
    for (int row = 0; row < h.model()->rowCount(); ++row) {
        if (h.model()->visitId(row) == second) {
            h.table()->selectRow(row);
        }
    }
    ASSERT_EQ(h.selectedVisit(), second);
    h.deleteButton()->click();
    ASSERT_EQ(p.view().jobs.size(), 2U);
    EXPECT_NE(p.view().jobs[0].job.visit_id, second);
    EXPECT_EQ(p.detailsPage()->jobTable()->rowCount(), 2);
    EXPECT_EQ(p.logPage()->dryingTable()->columnCount(), ProjectLogPage::kFirstDay + 1);
    EXPECT_TRUE(ui_.messages.empty());
}

// An archive of a newer version is shown read-only: nothing is offered for editing, and a change
// that reaches the window anyway is refused with the reason.
TEST_F(ProjectsTest, ReadOnlyArchiveIsShownAndNotChanged) {
    archiveWeek(2);
    run_sql(path("archive.sqlite"), "PRAGMA user_version = 99;");
    OpenedArchive opened = open_archive(path("archive.sqlite"));
    ASSERT_TRUE(opened.archive && opened.archive->read_only());
    ProjectsActions actions;
    actions.ui = &ui_;
    ProjectsWindow p(*opened.archive, actions);
    EXPECT_FALSE(p.newButton()->isEnabled());
    EXPECT_FALSE(p.detailsPage()->attachButton()->isEnabled());
    EXPECT_TRUE(p.detailsPage()->nameEdit()->isReadOnly());
    QTableWidget* points = p.pointsPage()->pointTable();
    EXPECT_EQ(points->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(row_of(p.logPage()->dryingTable(), "KIT,W/Plaster"), 1);
    points->item(row_of(points, "KIT,W/Plaster"), ProjectPointsPage::Label)->setText("sofa");
    ASSERT_EQ(ui_.messages.size(), 1U);
    EXPECT_EQ(ui_.messages[0].text,
              "The label was not written to the archive: the archive is read-only.");
    EXPECT_EQ(cell(points, row_of(points, "KIT,W/Plaster"), ProjectPointsPage::Label), "");
}

// The kitchen floor marked removed on the Points page leaves the points not yet dry and is no
// longer judged from that day; Not removed takes it back. A point added before it is read shows in
// both tables. A running unit counts to the last day read (9 March), not to today (in December).
TEST_F(ProjectsTest, RemovedMaterialPlannedPointAndUnitsOnSite) {
    archiveWeek(7);
    OpenedArchive opened = open_archive(path("archive.sqlite"));
    ProjectsActions actions;
    actions.ui = &ui_;
    actions.today = [] { return drying_day_number({2026, 12, 8}); };
    actions.confirm = [this](const QString& q) {
        asked_.push_back(q);
        return true;
    };
    actions.ask_point = [] { return std::optional<QString>("BATH1,W/Plaster"); };
    actions.ask_removal = [](const QString&, const PointRemoval& proposed) {
        EXPECT_EQ(iso_date(proposed.on), "2026-03-09"); // the last day read
        return std::optional(PointRemoval{*parse_iso_date("2026-03-06"), "floor cut out"});
    };
    ProjectsWindow p(*opened.archive, actions);
    QTableWidget* points = p.pointsPage()->pointTable();
    const QTableWidget* log = p.logPage()->dryingTable();
    const int first = ProjectLogPage::kFirstDay;
    points->setCurrentCell(row_of(points, "KIT,F/Doug Fir"), 0);
    p.pointsPage()->removedButton()->click();
    int floor = row_of(log, "KIT,F/Doug Fir");
    EXPECT_EQ(cell(log, floor, first + 3), "14.6 removed 11:51");
    EXPECT_EQ(cell(log, floor, first + 2), "16.8 wet 11:51"); // judged before that day
    EXPECT_EQ(cell(log, floor, ProjectLogPage::kDrySince), "removed 2026-03-06");
    EXPECT_EQ(row_of(log, "HL1,W/Plaster"), log->rowCount() - 1);
    EXPECT_EQ(floor, log->rowCount() - 3); // after the dry points, before the references
    EXPECT_EQ(cell(points, row_of(points, "KIT,F/Doug Fir"), ProjectPointsPage::Status),
              "removed 2026-03-06: floor cut out");

    p.pointsPage()->addButton()->click();
    const int planned = row_of(points, "BATH1,W/Plaster");
    ASSERT_GE(planned, 0);
    EXPECT_EQ(cell(points, planned, ProjectPointsPage::Status), "planned, not read yet");
    EXPECT_EQ(cell(log, row_of(log, "BATH1,W/Plaster"), first), "");

    points->setCurrentCell(row_of(points, "KIT,F/Doug Fir"), 0);
    ASSERT_TRUE(p.pointsPage()->notRemovedButton()->isEnabled());
    p.pointsPage()->notRemovedButton()->click();
    ASSERT_EQ(asked_.size(), 1U);
    floor = row_of(log, "KIT,F/Doug Fir");
    EXPECT_EQ(cell(log, floor, first + 3), "14.6 wet 11:51");
    EXPECT_EQ(cell(log, floor, ProjectLogPage::kDrySince), "not dry");

    p.equipmentPage()->addButton()->click();
    QTableWidget* equipment = p.equipmentPage()->table();
    equipment->item(0, ProjectEquipmentPage::Unit)->setText("D-17");
    equipment->item(0, ProjectEquipmentPage::Capacity)->setText("130");
    EXPECT_EQ(cell(equipment, 0, ProjectEquipmentPage::Days), "6");
    const EquipmentEntry stored = p.view().settings.equipment.at(0).entry;
    EXPECT_EQ(stored.unit, "D-17");
    EXPECT_EQ(stored.capacity, 130.0);
    equipment->item(0, ProjectEquipmentPage::Capacity)->setText("lots");
    ASSERT_EQ(ui_.messages.size(), 1U);
    EXPECT_EQ(p.equipmentPage()->dailyTable()->rowCount(), 7);
    EXPECT_EQ(cell(p.equipmentPage()->dailyTable(), 6, 1), "1");

    // The dialog Material removed... opens when no answer is injected: OK takes a real day and a
    // reason only.
    RemovedMaterialDialog dialog("KIT,F/Doug Fir", {*parse_iso_date("2026-03-09"), ""}, &p);
    EXPECT_EQ(dialog.dayEdit()->text(), "2026-03-09");
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    dialog.dayEdit()->setText("2026-02-30");
    dialog.reasonEdit()->setText("floor cut out");
    EXPECT_FALSE(dialog.removal());
    dialog.dayEdit()->setText("2026-03-06");
    EXPECT_EQ(dialog.removal(), (PointRemoval{*parse_iso_date("2026-03-06"), "floor cut out"}));
}

// A downloaded visit whose meter and job ID continue a project: one question; Yes attaches, No
// leaves it for later, and neither changes the visit.
TEST_F(ProjectsTest, JobsOfADownloadAreOfferedToTheirProject) {
    archiveWeek(1);
    std::vector<QString> asked;
    for (const bool yes : {true, false}) {
        const Sim sim({"--drying-day", yes ? "2" : "3"}, false);
        setenv("QUELLMARK_PORTS", sim.link.c_str(), 1);
        ShellServices services;
        services.ui = &ui_;
        services.dialogs = &dialogs_;
        services.archive_path = path("archive.sqlite");
        services.lock_dir = folder_;
        services.ask_technician = [](const QString&) -> std::optional<QString> {
            return std::nullopt;
        };
        services.ask_attach = [&asked, yes](const QString& q) {
            asked.push_back(q);
            return yes;
        };
        state_ = std::make_unique<AppState>();
        state_->startup_folder = folder_;
        window_ = std::make_unique<MainWindow>(*state_, services);
        window_->showProjects(); // open during the download, it shows the jobs attached
        press(kForwardCommand);
        EXPECT_EQ(window_->projectsWindow()->view().jobs.size(), 4U);
        window_.reset();
        unsetenv("QUELLMARK_PORTS");
    }
    const QString question =
        QStringLiteral("Attach Job #2, ID# 118 and RH/T Job #2, ID# 118 to the project \"Kitchen "
                       "leak\"?");
    EXPECT_EQ(asked, (std::vector<QString>{question, question}));
    EXPECT_EQ(stored([](ProjectStore& s) { return s.jobs(s.list()->at(0).id)->size(); }), 4U);
    // Day 3's jobs, declined, stay on offer with those of the days not downloaded yet.
    EXPECT_EQ(stored([](ProjectStore& s) { return s.proposed_jobs(s.list()->at(0).id).size(); }),
              10U);
}

} // namespace
} // namespace qm::test

namespace qm::test {
namespace {

struct QuietSync : SyncObserver {
    void progress(std::string_view, std::size_t, std::size_t) override {}
    bool cancelled() override { return false; }
};

TEST_F(ProjectsTest, SyncBringsTheServersProjectIntoTheListAndThePages) {
    PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error();
    PgDb db = cluster.connect();
    std::string error;
    ASSERT_TRUE(migrate_server(db, error)) << error;
    OpenedArchive office = open_archive(path("office.sqlite"));
    ProjectDetails details;
    details.name = "Office leak";
    details.client = "Lee";
    ASSERT_TRUE(ProjectStore(*office.archive).create(details));
    QuietSync quiet;
    ASSERT_TRUE(sync_archive(db, *office.archive, quiet, RefusedPolicy::Keep).ok);
    set_team_server_setting(QString::fromStdString(cluster.uri()));

    openAnswering();
    ProjectsWindow& window = projects();
    ASSERT_EQ(window.projectList()->count(), 0);
    QTest::mouseClick(window.syncButton(), Qt::LeftButton);
    set_team_server_setting({});
    ASSERT_EQ(window.projectList()->count(), 1);
    EXPECT_EQ(window.projectList()->item(0)->text(), "Office leak");
    EXPECT_EQ(window.detailsPage()->clientEdit()->text(), "Lee");
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text,
              "Sync complete: 0 visits sent, 0 received; 0 projects sent, 1 received.");
}

} // namespace
} // namespace qm::test
