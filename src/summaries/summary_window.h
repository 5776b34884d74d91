#pragma once

#include "state/app_state.h"
#include "summaries/job_notes_dialog.h"
#include "summaries/summary_model.h"
#include "ui/layout_metrics.h"

#include <QDialog>
#include <QPointer>

#include <map>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace qm {

class JobListLink;
class PrintDocument;

// What the MC and the RH/T summary windows share: the job caption, the location list, the
// figure fields, "OK", "Print" (the page with the job's notes, through the print dialog) and
// "Append Notes" (the job's notes window, offered while at most one job is selected). A summary
// stays with the job that was selected when it opened. Modeless; it deletes itself when closed,
// so its opener keeps it in a QPointer.
class SummaryWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kCaptionId = 1067;
    static constexpr int kLocationListId = 1074;
    static constexpr int kAppendNotesId = 1072;

    // Adds the printed summary as the next page of a document.
    bool printPage(PrintDocument& document) const;
    // The laid-out page for a printable area, as "Print" prints it.
    virtual SummaryPage page(int width, int height) const = 0;
    // The temperature unit or the date order changed: the figures of the chosen group are
    // computed and shown again.
    virtual void refreshFigures() = 0;

    QLabel* field(int id) const;
    QComboBox* locationList() const { return locations_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* printButton() const { return print_; }
    QPushButton* appendNotesButton() const { return appendNotes_; }
    JobNotesDialog* notesDialog() const { return notes_; }

public Q_SLOTS:
    // "Append Notes" is offered while at most one job is selected in the job list.
    void updateAnnotationButton();

protected:
    // A modeless window of the given title and size in dialog units, for the managed kind.
    SummaryWindow(AppState& app, const LayoutMetrics& metrics, JobListLink& jobs, ManagedKind kind,
                  const QString& title, int widthDu, int heightDu, QWidget* parent);

    // The job the window shows, as its model holds it.
    virtual const SummaryJob& summaryJob() const = 0;

    // Once the controls are built: "OK", "Print" and "Append Notes" do their work, the list
    // entry of the job is kept for the printed page and the job's caption is shown.
    void connectCommonControls();
    // Shows a text in a field, widening the field when the text does not fit.
    void showField(int id, const QString& text);
    // Fills a list with the names of the places (locations or sub-locations) and picks the
    // first, without counting as a choice.
    static void fillList(QComboBox* list, const std::vector<int>& places,
                         std::string_view (*name)(int));
    // The job's list entry for its page: the entry as the job list shows it now while it lists
    // this kind, else the one it had when the window opened.
    std::string jobEntry() const;
    // The job's notes, printed on its page.
    const std::string& jobNotes() const;
    void changeEvent(QEvent* event) override;

    AppState& app_;
    const LayoutMetrics& metrics_;
    std::map<int, QLabel*> fields_;
    QComboBox* locations_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* print_ = nullptr;
    QPushButton* appendNotes_ = nullptr;

private:
    void printWithDialog();
    void openNotes();

    JobListLink& jobs_;
    ManagedKind kind_;
    std::string openingEntry_;
    QPointer<JobNotesDialog> notes_;
};

} // namespace qm
