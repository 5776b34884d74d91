// One whole session of the program as a user has it, against the emulated base unit: download,
// the readings view, a printout into a PDF file, save, reopen the saved file and export it. Run
// in the sanitizer tree with leak detection, it covers the windows, dialogs and printers that
// live and die along the way.
#include "shell/job_list_page.h"
#include "shell_fixture.h"
#include "ui/qt_text.h"
#include "views/readings_view.h"

#include <QListWidget>
#include <QPrinter>
#include <QProcess>
#include <QThread>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace qm::test {
namespace {

std::string file_start(const std::string& file, std::size_t n) {
    std::ifstream in(file, std::ios::binary);
    std::string text(n, '\0');
    in.read(text.data(), static_cast<std::streamsize>(n));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

class GuiSessionTest : public SimShellTest {
protected:
    // The window as the program builds it: the real serial download, and "View" opening the one
    // readings view whose "Save Job" runs the window's save command.
    MainWindow& openProgram() {
        window_ = std::make_unique<MainWindow>(*state_, serialServices());
        views_ = std::make_unique<ReadingsViewHost>(*state_);
        window_->setViewOpener([this](MainWindow& w) {
            ReadingsViewHooks hooks;
            hooks.job_entry = [&w] {
                return to_cp1252(w.jobListEntryText(w.state().selection.current_job_index));
            };
            hooks.save_job = [&w] { w.runFileCommand(FileCommand::Save); };
            views_->open(&w, w.metrics(), std::move(hooks));
        });
        window_->show();
        return *window_;
    }

    // From the data kind page (when the data holds both kinds) to the MC job list.
    JobListPage& jobList() {
        if (pageId() == kDataKindPageId) {
            press(kSecondCommand);
        }
        JobListPage* page = window_->jobListPage();
        EXPECT_NE(page, nullptr);
        return *page;
    }

    // Selects the list's first job alone.
    void selectFirst(JobListPage& page) {
        page.list()->clearSelection();
        page.list()->item(0)->setSelected(true);
        EXPECT_EQ(state_->selection.selected_count, 1);
    }

    std::unique_ptr<ReadingsViewHost> views_;
};

TEST_F(GuiSessionTest, DownloadViewPrintSaveReopenAndExport) {
    MainWindow& w = openProgram();
    w.pageCommand(kForwardCommand);
    ASSERT_TRUE(ui_.messages.empty());
    ASSERT_GT(state_->store.all_readings.size(), 0u);
    const std::size_t downloaded = state_->store.all_readings.size();

    JobListPage* page = &jobList();
    ASSERT_NE(page, nullptr);
    ASSERT_GT(page->list()->count(), 0);
    selectFirst(*page);
    const std::size_t jobReadings = state_->store.working_set.size();
    ASSERT_GT(jobReadings, 0u);

    // View: the readings view opens on the job and paints its rows.
    page->button(JobListPage::kViewId)->click();
    ReadingsView* view = views_->view();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(view->grab().isNull());
    view->scroll(ScrollRequest::LineDown);

    // Print into a PDF file through the view's printing.
    const std::string pdf = path("job.pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        const JobPrintResult printed = view->printJobTo(printer);
        EXPECT_TRUE(printed.started);
        EXPECT_FALSE(printed.cancelled);
        EXPECT_GE(printed.pages, 1);
    }
    EXPECT_EQ(file_start(pdf, 5), "%PDF-");
    EXPECT_EQ(view->scrollPosition(), 0);

    // "Save Job" from the view, then the view is closed.
    const std::string saved = path("job.qmk");
    dialogs_.answers = {saved};
    view->saveButton()->click();
    ASSERT_TRUE(std::filesystem::exists(saved));
    EXPECT_GT(std::filesystem::file_size(saved), 0u);
    view->doneButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(views_->view(), nullptr);

    // Reopen the saved job: the wizard continues from the file with just that job's readings.
    dialogs_.answers = {saved};
    w.menuAction(kMenuOpen)->trigger();
    ASSERT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(state_->wizard.fromFile);
    EXPECT_EQ(state_->store.all_readings.size(), jobReadings);
    EXPECT_LE(jobReadings, downloaded);

    // Export the reopened job as CSV.
    page = &jobList();
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->list()->count(), 1);
    selectFirst(*page);
    const std::string csv = path("job.csv");
    dialogs_.answers = {csv};
    page->button(JobListPage::kExportId)->click();
    ASSERT_TRUE(std::filesystem::exists(csv));
    EXPECT_GT(std::filesystem::file_size(csv), 0u);

    // The view opens again on the reopened job, and closing the window ends the session.
    page->button(JobListPage::kViewId)->click();
    ASSERT_NE(views_->view(), nullptr);
    EXPECT_FALSE(views_->view()->grab().isNull());
    w.close();
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(ui_.messages.empty());
}

} // namespace
} // namespace qm::test
