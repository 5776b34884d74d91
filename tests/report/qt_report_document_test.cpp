// The report's pages as a reader gets them: their number, their footers, and no file at all
// when the report is cancelled.
#include "report/qt_report_document.h"

#include "report/report_test_jobs.h"
#include "support/pdf_reader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qm {
namespace {

using test::pdf_page_count;
using test::pdf_text;

ReportRequest request() {
    ReportRequest r;
    r.fields.title = "Smith residence";
    r.printed = {2025, 12, 7};
    return r;
}

class ReportDocumentTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }
    QTemporaryDir dir;
};

TEST_F(ReportDocumentTest, EveryPageSaysWhichOfHowMany) {
    struct Case {
        int readings;
        int min_pages;
        int max_pages;
    };
    // No reading: the heading alone. A few: everything on one page or two. Many: the readings
    // table runs over pages, its headings repeated.
    for (const Case c : {Case{0, 1, 1}, Case{6, 1, 2}, Case{600, 12, 20}}) {
        const std::vector<ReportJob> jobs = {test::report_mc_job(c.readings)};
        const std::string file = path("report.pdf");
        const ReportOutcome outcome = write_report_pdf(file, jobs, request());
        ASSERT_EQ(outcome.status, ReportStatus::Done);
        const int pages = pdf_page_count(file);
        EXPECT_EQ(pages, outcome.pages);
        EXPECT_GE(pages, c.min_pages) << c.readings;
        EXPECT_LE(pages, c.max_pages) << c.readings;
        for (int page = 1; page <= pages; ++page) {
            const std::string text = pdf_text(file, page);
            EXPECT_NE(text.find("Page " + std::to_string(page) + " of " + std::to_string(pages)),
                      std::string::npos)
                << c.readings << " readings, page " << page;
            EXPECT_NE(text.find("Printed Dec 7, 2025"), std::string::npos);
            EXPECT_NE(text.find("Quellmark "), std::string::npos);
            if (page > 1 && c.readings > 100) {
                EXPECT_NE(text.find("Location"), std::string::npos) << "headings on " << page;
            }
        }
        if (c.readings == 0) {
            EXPECT_NE(pdf_text(file).find("This job has no readings."), std::string::npos);
        }
    }
}

TEST_F(ReportDocumentTest, CancelledReportLeavesNoFileAndTheOldOneWhole) {
    const std::vector<ReportJob> jobs = {test::report_mc_job(600)};
    const auto cancel_at_page_3 = [](int page, int) { return page < 3; };
    const std::string fresh = path("fresh.pdf");
    EXPECT_EQ(write_report_pdf(fresh, jobs, request(), cancel_at_page_3).status,
              ReportStatus::Cancelled);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(fresh)));

    const std::string old = path("old.pdf");
    const std::vector<ReportJob> small = {test::report_mc_job(6)};
    ASSERT_EQ(write_report_pdf(old, small, request()).status, ReportStatus::Done);
    QFile before(QString::fromStdString(old));
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray old_bytes = before.readAll();
    before.close();
    EXPECT_EQ(write_report_pdf(old, jobs, request(), cancel_at_page_3).status,
              ReportStatus::Cancelled);
    QFile after(QString::fromStdString(old));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), old_bytes);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

} // namespace
} // namespace qm
