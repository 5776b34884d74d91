#include "summaries/job_title_dialog.h"

#include "store/job_index.h"
#include "summaries/fake_job_list.h"
#include "summaries/job_annotations.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

namespace qm {
namespace {

using test::FakeJobList;

void flush_deletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST(JobTitleDialog, RetitlesTheSelectedJobAndOpensEmptyEveryTime) {
    ReadingStore store;
    store.all_readings = {Reading{.kind = Pin, .job = 1}, Reading{.kind = Pin, .job = 3}};
    rebuild_job_lists(store);
    ManagedKind management_type = ManagedKind::Mc;
    LayoutMetrics metrics;
    FakeJobList jobs;
    jobs.entries = {"Job #1", "Job #3"};
    jobs.selected = {1};
    jobs.caption = "Job #3       ID#12";

    QPointer<JobTitleDialog> dialog = new JobTitleDialog(store, management_type, jobs, metrics);
    dialog->show();
    EXPECT_EQ(dialog->windowTitle(), "Job Title/Description");
    EXPECT_TRUE(dialog->edit()->text().isEmpty());
    dialog->edit()->setText("North wall");
    dialog->okButton()->click();
    flush_deletes();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(jobs.entries, (std::vector<std::string>{"Job #1", "North wall"}));
    EXPECT_EQ(jobs.selected_positions(), std::vector<int>{1});
    EXPECT_EQ(jobs.caption, "North wall");
    EXPECT_EQ(store.annotations.title(RecordKind::Mc, 3), "North wall");

    // Opened again: the stored title is not shown; Cancel changes nothing.
    dialog = new JobTitleDialog(store, management_type, jobs, metrics);
    EXPECT_TRUE(dialog->edit()->text().isEmpty());
    EXPECT_EQ(dialog->edit()->maxLength(), 259);
    dialog->edit()->setText("Discarded");
    dialog->cancelButton()->click();
    flush_deletes();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(jobs.entries[1], "North wall");
    EXPECT_EQ(store.annotations.title(RecordKind::Mc, 3), "North wall");
}

} // namespace
} // namespace qm
