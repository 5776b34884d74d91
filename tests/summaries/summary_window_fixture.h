#pragma once

// What the MC and RH/T summary window tests share: the state, the metrics, the job list with its
// selection and caption, and a summary printed to a PDF page.

#include "summaries/fake_job_list.h"
#include "summaries/qt_summary_printer.h"
#include "summaries/summary_test_data.h"
#include "summaries/summary_window.h"
#include "support/pdf_words.h"

#include <QApplication>
#include <QLabel>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qm::test {

class SummaryWindowTest : public ::testing::Test {
protected:
    // The job list shows the entries with one selected, whose caption the side panel shows; the
    // store holds the readings and that job is selected under the managed kind.
    SummaryWindowTest(std::vector<std::string> entries, int selected, std::string caption,
                      std::initializer_list<Reading> readings, ManagedKind kind) {
        jobs.entries = std::move(entries);
        jobs.selected = {selected};
        jobs.caption = std::move(caption);
        load_readings(app, readings, kind, selected);
    }

    static QString text(const SummaryWindow& w, int id) { return w.field(id)->text(); }

    static void flush_deletes() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // The words of the window's page printed 4800 x 6400 pixels to a PDF file.
    std::vector<PdfWord> printed_words(const SummaryWindow& window) {
        const QString path = dir_.filePath("summary.pdf");
        {
            QPrinter printer(QPrinter::HighResolution);
            set_up_pdf_printer(printer, path, 4800, 6400);
            PrintDocument document(printer);
            EXPECT_TRUE(document.begin());
            EXPECT_EQ(document.pageSize(), QSize(4800, 6400));
            EXPECT_TRUE(window.printPage(document));
            EXPECT_TRUE(document.end());
        }
        page_count_ = pdf_page_count(path.toStdString());
        return pdf_words(path.toStdString());
    }
    int printed_page_count() const { return page_count_; }

    AppState app;
    LayoutMetrics metrics;
    FakeJobList jobs;

private:
    QTemporaryDir dir_;
    int page_count_ = 0;
};

} // namespace qm::test
