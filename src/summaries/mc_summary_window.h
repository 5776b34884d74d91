#pragma once

#include "state/app_state.h"
#include "summaries/job_notes_dialog.h"
#include "summaries/summary_model.h"
#include "ui/layout_metrics.h"

#include <QDialog>
#include <QPointer>

#include <map>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace qm {

class JobListLink;
class PrintDocument;

// The "Job Summary" window (134) of an MC job: a location and a sub-location list, and the
// figures of the chosen group (first and last reading, the PIN and SCAN counts, minimum and
// maximum, the material). "Print" prints them with the job's notes on one page; "Append Notes"
// opens the job's notes. The window stays with the job that was selected when it opened.
// Modeless; it deletes itself when closed, so its opener keeps it in a QPointer.
class McSummaryWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCaptionId = 1067;
    static constexpr int kLocationListId = 1074;
    static constexpr int kSubLocationListId = 1005;
    static constexpr int kFirstId = 1061;
    static constexpr int kLastId = 1068;
    static constexpr int kCountId = 1060;
    static constexpr int kMaterialId = 1069;
    static constexpr int kMinId = 1050;
    static constexpr int kMaxId = 1051;
    static constexpr int kScanCountId = 1062;
    static constexpr int kScanMinId = 1052;
    static constexpr int kScanMaxId = 1053;
    static constexpr int kAppendNotesId = 1072;

    McSummaryWindow(AppState& app, const LayoutMetrics& metrics, JobListLink& jobs,
                    QWidget* parent = nullptr);

    // "View Summary" under MC management: creates the window the first time, then shows it and
    // brings it forward every time.
    static McSummaryWindow* showSummary(QPointer<McSummaryWindow>& remembered, AppState& app,
                                        const LayoutMetrics& metrics, JobListLink& jobs,
                                        QWidget* parent);

    // Adds the printed summary as the next page of a document.
    bool printPage(PrintDocument& document) const;
    // The laid-out page for a printable area, as "Print" prints it.
    SummaryPage page(int width, int height) const;

    const McSummaryModel& model() const { return model_; }
    QLabel* field(int id) const;
    QComboBox* locationList() const { return locations_; }
    QComboBox* subLocationList() const { return subLocations_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* appendNotesButton() const { return appendNotes_; }
    JobNotesDialog* notesDialog() const { return notes_; }

    // The temperature unit or the date order changed: the figures of the chosen group are
    // computed and shown again.
    void refreshFigures();

public Q_SLOTS:
    // "Append Notes" is offered while at most one job is selected in the job list.
    void updateAnnotationButton();

protected:
    void changeEvent(QEvent* event) override;

private:
    void buildControls(const LayoutMetrics& m);
    void fillLocationList();
    void fillSubLocationList();
    void showFigures();
    void onLocationChosen(int index);
    void onSubLocationChosen(int index);
    void printWithDialog();
    void openNotes();
    std::string jobEntry() const;

    AppState& app_;
    const LayoutMetrics& metrics_;
    JobListLink& jobs_;
    McSummaryModel model_;
    std::string openingEntry_;
    std::map<int, QLabel*> fields_;
    QComboBox* locations_ = nullptr;
    QComboBox* subLocations_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* appendNotes_ = nullptr;
    QPointer<JobNotesDialog> notes_;
};

} // namespace qm
