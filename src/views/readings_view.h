#pragma once

#include "analysis/readings_layout.h"
#include "state/app_state.h"
#include "ui/layout_metrics.h"
#include "ui/qt_job_printer.h"
#include "views/histogram_dialog.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <string>

class QPrinter;
class QPushButton;
class QScrollBar;

namespace qm {

// What the readings view asks of its owner. Every member may be left empty.
struct ReadingsViewHooks {
    // The job list's text of the selected job (Windows-1252), for the headings. Empty: "Job #n".
    std::function<std::string()> job_entry;
    // "Save Job": the shell's save command; the view has set save_mode to one job before.
    std::function<void()> save_job;
    // "View Summary": opens the job summary of the managed kind.
    std::function<void()> view_summary;
};

// Control ids of the "Readings" dialog.
constexpr int kReadingsDoneId = 1061;
constexpr int kReadingsPrintId = 1047;
constexpr int kReadingsScrollBarId = 1044;
constexpr int kReadingsSaveId = 3;
constexpr int kReadingsHistogramId = 4;
constexpr int kReadingsSummaryId = 5;

// The "Readings" dialog: the selected job's readings as a striped table of sixteen rows with a
// scroll bar, and the job's actions. Everything shown is rebuilt from the state on each paint.
// Modeless; it deletes itself when closed, so an owner keeps it in a QPointer to have at most one.
class ReadingsView : public QDialog {
    Q_OBJECT

public:
    ReadingsView(AppState& app, const LayoutMetrics& metrics, ReadingsViewHooks hooks,
                 QWidget* parent = nullptr);

    // "View" on the job list: back to the first reading, and the buttons and the scroll range
    // brought up to date with the current job.
    void restart();

    int scrollPosition() const { return scrollPosition_; }
    int scrollMaximum() const;
    // Carries out one scroll-bar request, as the scroll bar and the keys send them.
    void scroll(ScrollRequest request, int thumb = 0);

    // "Print Job" without the print dialog: prints on an already set-up printer (a batch print,
    // the preview). A long printout shows its progress and can be cancelled; a cancelled or
    // failed printout leaves no file.
    JobPrintResult printJobTo(QPrinter& printer);

    // "View Histogram": counts the job's pin readings and shows the histogram dialog.
    void viewHistogram();
    HistogramDialog* histogram() const { return histogram_; }

    void setHooks(ReadingsViewHooks hooks) { hooks_ = std::move(hooks); }

    // The heading's first line: the job list entry of the selected job.
    std::string jobEntry() const;

    QPushButton* doneButton() const { return done_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* previewButton() const { return preview_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* histogramButton() const { return histogramButton_; }
    QPushButton* summaryButton() const { return summary_; }
    QScrollBar* scrollBar() const { return scrollBar_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void buildControls();
    void updateControls();
    void onScrollAction(int action);
    void onSliderReleased();
    void setPosition(int position);
    void printWithDialog();
    void printPreview();
    void saveJob();
    void afterPrinting();
    bool rhManagement() const;
    static std::string jobEntryText(const AppState& app,
                                    const std::function<std::string()>& entry_hook);

    AppState& app_;
    LayoutMetrics metrics_;
    ReadingsViewHooks hooks_;
    ReadingsViewLayout layout_;
    int scrollPosition_ = 0;
    QScrollBar* scrollBar_ = nullptr;
    QPushButton* done_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* preview_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* histogramButton_ = nullptr;
    QPushButton* summary_ = nullptr;
    QPointer<HistogramDialog> histogram_;
};

// Keeps the application's one readings view and opens it for "View" on the job list: back to
// the first reading; the view is created only when none is open and no other job window (a job
// summary, the histogram) is; then it is shown and raised.
class ReadingsViewHost {
public:
    explicit ReadingsViewHost(AppState& app);

    void open(QWidget* owner, const LayoutMetrics& metrics, ReadingsViewHooks hooks);
    ReadingsView* view() const { return view_; }

    // Whether another job window is open; by default whether the owner has a visible histogram.
    std::function<bool()> other_windows_open;

private:
    static bool histogramOpen(QWidget* owner);

    AppState& app_;
    QPointer<ReadingsView> view_;
};

} // namespace qm
