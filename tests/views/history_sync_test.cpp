// The History window's Sync against a PostgreSQL cluster of the test's own: the wait dialog's
// Cancel stops it, and a sync brings the office's visits into the list.
#include "sync/server_schema.h"
#include "ui/qt_text.h"
#include "views/history_model.h"
#include "views/history_window.h"
#include "views/refused_edits_dialog.h"
#include "views/team_sync_flow.h"
#include "views/wait_dialog.h"

#include "support/archive_fixture.h"
#include "support/pg_cluster.h"
#include "support/recording_ui.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QPushButton>
#include <QTest>

namespace qm {
namespace {

struct Quiet : SyncObserver {
    void progress(std::string_view, std::size_t, std::size_t) override {}
    bool cancelled() override { return false; }
};

struct HistorySyncTest : test::ArchiveFolder {
    test::PgCluster cluster;
    const LayoutMetrics metrics = LayoutMetrics::measure(window_font(), dialog_font());

    void SetUp() override {
        ArchiveFolder::SetUp();
        ASSERT_TRUE(cluster.ok()) << cluster.error();
        PgDb db = cluster.connect();
        std::string error;
        ASSERT_TRUE(migrate_server(db, error)) << error;
        auto office = open("office.sqlite");
        for (int variant : {1, 2}) {
            ASSERT_EQ(archive_source(*office, test::variant_stream(variant), received_now()).status,
                      AddVisitResult::Status::Added);
        }
        Quiet quiet;
        ASSERT_TRUE(sync_archive(db, *office, quiet, RefusedPolicy::Keep).ok);
        set_team_server_setting(QString::fromStdString(cluster.uri()));
    }
    void TearDown() override {
        set_team_server_setting({});
        ArchiveFolder::TearDown();
    }
};

TEST_F(HistorySyncTest, CancelStopsASyncAndSyncBringsTheOfficesVisits) {
    auto laptop = open("laptop.sqlite");
    test::RecordingUi ui;
    bool cancel = true;
    std::vector<QString> waited; // the wait dialog's line when it showed
    TeamSyncActions actions;
    actions.ui = &ui;
    actions.ask_password = [](QWidget*, const QString&, const QString&) {
        ADD_FAILURE() << "no password is wanted";
        return std::optional<std::string>();
    };
    actions.waiting = [&](WaitDialog& dialog) {
        waited.push_back(dialog.progressText());
        if (cancel) {
            QTest::mouseClick(dialog.findChild<QPushButton*>("cancel"), Qt::LeftButton);
        }
    };
    TeamSyncFlow flow(metrics, path("laptop.sqlite"), std::move(actions));
    HistoryActions history;
    history.ui = &ui;
    HistoryWindow* shown = nullptr;
    history.sync = [&] { flow.run(shown); };
    HistoryWindow window(*laptop, std::move(history));
    shown = &window;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QTest::mouseClick(window.syncButton(), Qt::LeftButton);
    EXPECT_EQ(window.model()->rowCount(), 0);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Sync cancelled: 0 visits sent, 0 received; 0 projects sent, "
                                   "0 received.\nWhat was sent is kept; the next sync completes "
                                   "it.");

    cancel = false;
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_S, Qt::AltModifier); // the keyboard's way to Sync
    // A mnemonic clicks on a timer.
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui.messages.size() == 2; }, 30000));
    EXPECT_EQ(window.model()->rowCount(), 2);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text,
              "Sync complete: 0 visits sent, 2 received; 0 projects sent, 0 received.");
    EXPECT_EQ(ui.messages[1].icon, MessageIcon::Information);
    EXPECT_EQ(waited, std::vector<QString>(2, QStringLiteral("Connecting to the team server…")));
}

TEST(RefusedEditsDialogTest, EachEditTakesTheChoiceMadeForIt) {
    std::vector<RefusedEdit> edits(3);
    for (std::size_t i = 0; i < edits.size(); ++i) {
        edits[i].key = "project/P" + std::to_string(i) + "/details";
        edits[i].what = "Project \u201cP" + std::to_string(i) + "\u201d: details and jobs";
    }
    RefusedEditsDialog dialog(edits);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    EXPECT_TRUE(dialog.choices().by_key.empty()); // each is left for later until chosen
    QTest::mouseClick(dialog.group(0)->button(0), Qt::LeftButton); // apply mine again
    dialog.group(1)->button(2)->setFocus();
    QTest::keyClick(dialog.group(1)->button(2), Qt::Key_Left); // take the server's
    const RefusedChoices chosen = dialog.choices();
    EXPECT_EQ(chosen.others, RefusedPolicy::Keep);
    EXPECT_EQ(chosen.by_key,
              (std::map<std::string, RefusedPolicy>{{"project/P0/details", RefusedPolicy::Reapply},
                                                    {"project/P1/details", RefusedPolicy::Drop}}));
}

} // namespace
} // namespace qm
