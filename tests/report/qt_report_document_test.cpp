// The report's pages as a reader gets them: their number, their footers, and no file at all
// when the report is cancelled.
#include "report/qt_report_document.h"

#include "report/report_test_jobs.h"
#include "support/pdf_reader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cctype>
#include <string>

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

// The text of a PDF without its white space, so that a word broken over lines reads whole.
std::string joined_text(const std::string& file) {
    std::string text = pdf_text(file);
    std::erase_if(text, [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
    return text;
}

TEST_F(ReportDocumentTest, NothingRunsOffThePage) {
    // A 300-character title of words and 200-character words in every field: each character is
    // in the text; the running head keeps the job; "fl" stays two letters.
    std::string title;
    while (title.size() < 300) {
        title += "Flooded basement " + std::to_string(title.size()) + " ";
    }
    title.resize(300);
    std::string word;
    for (int i = 0; word.size() < 200; ++i) {
        word += static_cast<char>('a' + i % 26);
    }
    ReportRequest r = request();
    r.fields = {title, "A" + word, "S" + word, "P" + word};
    std::vector<ReportJob> jobs = {test::report_mc_job(300, 5)};
    jobs[0].job_id = 755;
    jobs[0].notes = "N" + word + "\r\nfloor of the hall";
    const std::string file = path("long.pdf");
    ASSERT_EQ(write_report_pdf(file, jobs, r).status, ReportStatus::Done);
    const std::string text = joined_text(file);
    for (const std::string& field : {title, "A" + word, "S" + word, "P" + word, "N" + word}) {
        std::string whole = field;
        std::erase(whole, ' ');
        EXPECT_NE(text.find(whole), std::string::npos) << field.substr(0, 20);
    }
    EXPECT_NE(pdf_text(file).find("floor of the hall"), std::string::npos);
    const std::string page2 = pdf_text(file, 2);
    const std::size_t ellipsis = page2.find("\u2026");
    EXPECT_NE(ellipsis, std::string::npos);
    EXPECT_EQ(page2.find("Job #5, ID# 755 (continued)"), page2.find(" - ", ellipsis) + 3) << page2;

    const std::string info = test::run_command("pdfinfo '" + file + "'");
    EXPECT_NE(info.find("Author:          P" + word), std::string::npos) << info;
    EXPECT_NE(info.find("Subject:         Moisture content readings at S" + word),
              std::string::npos);
    EXPECT_NE(info.find("Title:           " + title.substr(0, 40)), std::string::npos);
}

} // namespace
} // namespace qm
