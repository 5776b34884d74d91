// The Report dialog as a user fills it in: the PDF it writes, what it remembers for the next
// report, and what it says when it cannot write.
#include "report/report_dialog.h"

#include "report/report_test_jobs.h"
#include "support/pdf_reader.h"
#include "support/recording_ui.h"
#include "support/scripted_file_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qm {
namespace {

using namespace test;

class ReportDialogTest : public ::testing::Test {
protected:
    ReportDialogTest() {
        // The Qt tests keep their configuration in a folder of their own (qt_test_main.cpp).
        QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quellmark"),
                  QStringLiteral("report"))
            .clear();
    }
    std::string path(const char* name) const { return dir.filePath(name).toStdString(); }

    QTemporaryDir dir;
    ScriptedFileDialogs dialogs;
    RecordingUi ui;
    std::vector<ReportJob> job2 = {report_mc_job(20)};
};

TEST_F(ReportDialogTest, WritesTheReportAndRemembersTheChoicesForNextTime) {
    {
        ReportDialog d(job2, {}, dialogs, ui);
        EXPECT_EQ(d.titleEdit()->text(), "");
        EXPECT_EQ(d.titleEdit()->placeholderText(), "Job #2");
        d.titleEdit()->setText(QStringLiteral("Smith residence"));
        d.preparedForEdit()->setText(QStringLiteral("Acme Insurance"));
        d.siteEdit()->setText(QStringLiteral("12 Elm Street"));
        d.preparedByEdit()->setText(QStringLiteral("J. Tech"));
        d.paperBox()->setCurrentIndex(1); // Letter
        d.sectionBox(3)->setChecked(false);
        dialogs.answers = {path("visit.pdf")};
        ASSERT_TRUE(d.savePdf());
    }
    EXPECT_EQ(dialogs.calls.at(0).request.file_name, "Smith residence.pdf");
    const std::string text = pdf_text(path("visit.pdf"));
    EXPECT_NE(text.find("Prepared by: J. Tech"), std::string::npos);
    EXPECT_EQ(text.find("All readings"), std::string::npos);
    EXPECT_NE(run_command("pdfinfo '" + path("visit.pdf") + "'").find("612 x 792"),
              std::string::npos);

    // The same jobs again: everything as it was. Other data (another job, the same job numbers
    // and IDs downloaded another day or with more readings): its own title, no client or site;
    // "Prepared by" and the layout stay.
    ReportDialog again(job2, {}, dialogs, ui);
    EXPECT_EQ(again.titleEdit()->text(), "Smith residence");
    EXPECT_EQ(again.preparedForEdit()->text(), "Acme Insurance");
    EXPECT_EQ(again.siteEdit()->text(), "12 Elm Street");
    EXPECT_EQ(again.preparedByEdit()->text(), "J. Tech");
    EXPECT_EQ(again.paperBox()->currentIndex(), 1);
    EXPECT_FALSE(again.sectionBox(3)->isChecked());
    std::vector<ReportJob> laterDay = job2;
    laterDay[0].readings.front().day = 2;
    const std::vector<std::vector<ReportJob>> others = {{report_mc_job(5, 3)},
                                                        laterDay,
                                                        {report_mc_job(21)},
                                                        {report_mc_job(20), report_mc_job(5, 3)}};
    for (const std::vector<ReportJob>& jobs : others) {
        ReportDialog other(jobs, {}, dialogs, ui);
        EXPECT_EQ(other.titleEdit()->text(), "");
        EXPECT_EQ(other.preparedForEdit()->text(), "");
        EXPECT_EQ(other.siteEdit()->text(), "");
        EXPECT_EQ(other.preparedByEdit()->text(), "J. Tech");
        EXPECT_EQ(other.paperBox()->currentIndex(), 1);
        EXPECT_FALSE(other.sectionBox(3)->isChecked());
    }
}

TEST_F(ReportDialogTest, SaysWhatWentWrongAndWhenNoJobIsSelected) {
    ReportDialog d(job2, {}, dialogs, ui);
    dialogs.answers = {path("no/such/folder/visit.pdf")};
    EXPECT_FALSE(d.savePdf());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "The report could not be written to " +
                                       path("no/such/folder/visit.pdf") +
                                       ".\nNo such file or directory");
    dialogs.answers = {};
    EXPECT_FALSE(d.savePdf()); // the file dialog cancelled: nothing said

    open_report_dialog({}, {}, dialogs, ui, nullptr);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text, "Select one or more jobs in the job list for the report.");
}

TEST_F(ReportDialogTest, OffersTheReportOfTheProjectTheJobsBelongTo) {
    EXPECT_EQ(ReportDialog(job2, {}, dialogs, ui).projectBox(), nullptr);
    bool fails = false;
    ReportProjectChoice project{
        "Miller kitchen", [&](const ReportUnits&, ProjectReportData& data, std::string& error) {
            if (fails) {
                error = "visit 3 cannot be opened";
                return false;
            }
            auto pages = std::make_shared<ProjectReport>();
            pages->title = "Miller kitchen";
            data.project = pages;
            data.jobs = {report_mc_job(5, 3)};
            return true;
        }};
    ReportDialog d(job2, {}, dialogs, ui, nullptr, project);
    ASSERT_NE(d.projectBox(), nullptr);
    EXPECT_TRUE(d.projectBox()->text().contains(QStringLiteral("\u201CMiller kitchen\u201D")));
    EXPECT_FALSE(d.projectBox()->isChecked()); // the report of the selected jobs, as before
    EXPECT_EQ(d.titleEdit()->placeholderText(), "Job #2");
    d.projectBox()->setChecked(true);
    EXPECT_EQ(d.titleEdit()->placeholderText(), "Miller kitchen"); // the title it will have
    dialogs.answers = {path("project.pdf")};
    ASSERT_TRUE(d.savePdf());
    EXPECT_EQ(dialogs.calls.at(0).request.file_name, "Miller kitchen.pdf");
    // The project's pages, then its jobs rather than the selected ones.
    const std::string text = pdf_text(path("project.pdf"));
    EXPECT_LT(text.find("Miller kitchen"), text.find("Job #3"));
    EXPECT_EQ(text.find("Job #2"), std::string::npos);

    fails = true;
    dialogs.answers = {path("failed.pdf")};
    EXPECT_FALSE(d.savePdf());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "The project's report cannot be made: visit 3 cannot be opened");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(path("failed.pdf"))));
}

} // namespace
} // namespace qm
