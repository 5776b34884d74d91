#include "summaries/qt_batch_print.h"

#include "summaries/fake_job_list.h"
#include "summaries/job_annotations.h"
#include "summaries/summary_test_data.h"
#include "support/pdf_words.h"

#include <QFile>

#include <gtest/gtest.h>

#include <vector>

namespace qm {
namespace {

using namespace test;

// MC jobs 1 (60 readings: two table pages at 4800 x 6400) and 4 (3 readings), RH/T jobs 2 and 5.
class BatchPrintTest : public ::testing::Test {
protected:
    BatchPrintTest() {
        std::vector<Reading> readings;
        for (int i = 0; i < 60; ++i) {
            readings.push_back(dated_reading(PinWithTemperature, 1, kKit, 0, 10.0 + i % 5, i));
        }
        for (int i = 0; i < 3; ++i) {
            readings.push_back(dated_reading(Scan, 4, kLocation3, kSubW, 20.0 + i, i));
        }
        for (const int job : {2, 5}) {
            readings.push_back(dated_reading(RhTemperature, job, kKit, 0, 70.0, 1));
        }
        load_readings(app, {}, ManagedKind::Mc);
        app.store.all_readings = readings;
        rebuild_job_lists(app.store);
        select_both(ManagedKind::Mc);
        jobs.entries = {"Job #1", "Job #4"};
        jobs.selected = {0, 1};
    }

    void select_both(ManagedKind management_type) {
        app.wizard.management_type = management_type;
        app.selection.selected_count = 2;
        app.selection.selected_jobs[0] = 0;
        app.selection.selected_jobs[1] = 1;
        app.selection.current_job_index = 0;
        fill_working_set(app.store, 0, management_type);
    }

    // Prints the batch into a PDF 4800 x 6400 pixels a page; returns the result.
    BatchPrintResult print(std::int32_t print_parts, const BatchProgress& progress = {}) {
        app.settings.print_parts = print_parts;
        QPrinter printer(QPrinter::HighResolution);
        set_up_pdf_printer(printer, path(), 4800, 6400);
        return print_batch(printer, app, jobs, progress);
    }

    QString path() const { return dir.filePath("batch.pdf"); }
    std::string text_of(int page) {
        std::string all;
        for (const PdfWord& w : pdf_words(path().toStdString(), page)) {
            all += w.text + ' ';
        }
        return all;
    }

    AppState app;
    FakeJobList jobs;
    QTemporaryDir dir;
};

TEST_F(BatchPrintTest, OneDocumentWithThePartsOfEachSelectedJob) {
    store_job_notes(app.store, ManagedKind::Mc, 1, "Second job notes");
    const std::vector<Reading> working_set = app.store.working_set;

    const BatchPrintResult all = print(kPrintAllParts);
    ASSERT_EQ(all.status, BatchPrintStatus::Printed);
    // Job 1: two table pages, summary, histogram; job 4: table, summary, histogram.
    EXPECT_EQ(all.pages, 7);
    EXPECT_EQ(pdf_page_count(path().toStdString()), 7);
    EXPECT_NE(text_of(1).find("Page 1"), std::string::npos);
    EXPECT_NE(text_of(2).find("Page 2"), std::string::npos);
    EXPECT_NE(text_of(3).find("PIN"), std::string::npos);
    EXPECT_NE(text_of(3).find("ID#101"), std::string::npos);
    EXPECT_NE(text_of(4).find("Histogram"), std::string::npos);
    EXPECT_NE(text_of(5).find("Job #4"), std::string::npos);
    EXPECT_NE(text_of(6).find("Second job notes"), std::string::npos);
    EXPECT_NE(text_of(7).find("Histogram"), std::string::npos);

    // The selection and the working set are as before the batch.
    EXPECT_EQ(app.selection.current_job_index, 0);
    EXPECT_EQ(app.store.working_set, working_set);

    EXPECT_EQ(print(kPrintSummary).pages, 2);
    EXPECT_EQ(pdf_page_count(path().toStdString()), 2);
    EXPECT_EQ(print(kPrintReadings).pages, 3);
    EXPECT_EQ(print(kPrintHistogram).pages, 2);
    EXPECT_EQ(print(kPrintSummary | kPrintHistogram).pages, 4);
    EXPECT_EQ(print(0).status, BatchPrintStatus::NothingToPrint);
}

TEST_F(BatchPrintTest, RhJobsHaveNoHistogram) {
    select_both(ManagedKind::Rh);
    jobs.entries = {"Job #2", "Job #5"};
    const BatchPrintResult all = print(kPrintAllParts);
    ASSERT_EQ(all.status, BatchPrintStatus::Printed);
    EXPECT_EQ(all.pages, 4);
    EXPECT_NE(text_of(2).find("GPP"), std::string::npos);
    EXPECT_NE(text_of(4).find("Job #5"), std::string::npos);
    EXPECT_EQ(print(kPrintHistogram).status, BatchPrintStatus::NothingToPrint);
}

TEST_F(BatchPrintTest, CancellingStopsTheBatchAndKeepsTheSelection) {
    // Progress and Cancel come page by page, also within a job's table of several pages.
    std::vector<int> pages;
    const BatchPrintResult result = print(kPrintAllParts, [&pages](int page, int total) {
        pages.push_back(page);
        EXPECT_EQ(total, 7);
        return page < 2;
    });
    EXPECT_EQ(result.status, BatchPrintStatus::Cancelled);
    EXPECT_EQ(pages, (std::vector<int>{1, 2}));
    // Nothing of a cancelled batch is left behind.
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_EQ(app.selection.current_job_index, 0);
    EXPECT_EQ(app.store.working_set.front().job, 1);
}

} // namespace
} // namespace qm
