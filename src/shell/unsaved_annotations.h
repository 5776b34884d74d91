#pragma once

#include "state/app_state.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

class QWidget;

namespace qm {

// The answers to "Save changes to the job titles and notes?".
enum class SaveAnswer { Save, Discard, Cancel };

// The question asked before unsaved titles and notes are dropped.
inline constexpr std::string_view kSaveChangesText = "Save changes to the job titles and notes?";

// Asks a question (text, Windows-1252) with Save, Discard and Cancel.
using SaveQuestion = std::function<SaveAnswer(std::string_view text)>;

// The desktop's question box for it, owned by the window.
SaveAnswer ask_save_in_box(std::string_view text, QWidget* owner);

// Keeps the titles and notes as the data was downloaded, opened or last saved, and asks before
// changes made since are dropped.
class UnsavedAnnotations {
public:
    // save_all saves every job of a kind (Save all Jobs) with the save dialog.
    UnsavedAnnotations(const ReadingStore& store, const WizardState& wizard, SaveQuestion ask,
                       std::function<void(ManagedKind)> save_all);

    // New data came, or the old can no longer be reached: nothing of it is unsaved.
    void reset() { saved_ = store_.annotations; }
    // A save wrote these jobs with their titles and notes.
    void saved(std::span<const std::int32_t> jobs);
    // The title and notes of one job of one kind are kept elsewhere (the archive).
    void kept(RecordKind kind, std::int32_t job);
    bool unsaved() const { return !(store_.annotations == saved_); }
    // Before the changes are dropped: asks, and on Save saves every job of each kind holding
    // changes (the managed kind first). False when the user cancelled, or a save dialog was
    // cancelled or a file could not be written: nothing may be dropped then.
    bool mayDrop();

private:
    bool saveChanges();

    const ReadingStore& store_;
    const WizardState& wizard_;
    SaveQuestion ask_;
    std::function<void(ManagedKind)> saveAll_;
    JobAnnotations saved_;
};

} // namespace qm
