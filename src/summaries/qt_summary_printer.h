#pragma once

#include "summaries/summary_printout.h"

#include <QFont>
#include <QPainter>
#include <QSize>

class QPrinter;
class QWidget;

namespace qm {

// One printed document that several printouts add their pages to, so that a batch print of
// several jobs goes to the printer as one job. A printout calls nextPage() before each page it
// paints: the first call uses the page the document starts with, later calls start new ones.
class PrintDocument {
public:
    explicit PrintDocument(QPrinter& printer);
    ~PrintDocument();
    PrintDocument(const PrintDocument&) = delete;
    PrintDocument& operator=(const PrintDocument&) = delete;

    // Starts the document; false when the printer cannot be started.
    bool begin();
    // Starts the next page; false when the printer refuses it.
    bool nextPage();
    // Finishes the document; false when the printer reported a failure.
    bool end();
    // Drops everything printed so far (a cancelled batch).
    void abort();

    QPainter& painter() { return painter_; }
    QPrinter& printer() { return printer_; }
    // The printable area in device pixels.
    QSize pageSize() const;
    int pageCount() const { return pages_; }

private:
    QPrinter& printer_;
    QPainter painter_;
    int pages_ = 0;
};

// The font the summaries are printed in: 9 units high, so that rows 12 units apart never touch.
QFont summary_print_font(int unit);

// Paints a laid-out summary page through any painter: the texts, then the notes centred and
// wrapped in their box and cut at its bottom.
void paint_summary_page(QPainter& painter, const SummaryPage& page);

// The print dialog for one printout; true with the printer set up when the user accepted it.
bool ask_for_printer(QPrinter& printer, QWidget* parent, const QString& title);

// Tells the user that a printout failed.
void report_print_failure(QWidget* parent);

} // namespace qm
