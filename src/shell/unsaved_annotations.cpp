#include "shell/unsaved_annotations.h"

#include "summaries/job_annotations.h"
#include "ui/qt_text.h"

#include <QMessageBox>

namespace qm {

SaveAnswer ask_save_in_box(std::string_view text, QWidget* owner) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Trekmoor Series Application"),
                    from_cp1252(text),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, owner);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveAnswer::Save;
    case QMessageBox::Discard:
        return SaveAnswer::Discard;
    default:
        return SaveAnswer::Cancel;
    }
}

UnsavedAnnotations::UnsavedAnnotations(const ReadingStore& store, const WizardState& wizard,
                                       SaveQuestion ask, std::function<void(ManagedKind)> save_all)
    : store_(store), wizard_(wizard), ask_(std::move(ask)), saveAll_(std::move(save_all)) {}

void UnsavedAnnotations::saved(std::span<const std::int32_t> jobs) {
    mark_annotations_saved(saved_, store_.annotations, jobs);
}

void UnsavedAnnotations::kept(RecordKind kind, std::int32_t job) {
    saved_.set_title(kind, job, store_.annotations.title(kind, job));
    saved_.set_notes(kind, job, store_.annotations.notes(kind, job));
}

bool UnsavedAnnotations::mayDrop() {
    if (!unsaved()) {
        return true;
    }
    switch (ask_(kSaveChangesText)) {
    case SaveAnswer::Save:
        return saveChanges();
    case SaveAnswer::Discard:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

bool UnsavedAnnotations::saveChanges() {
    const ManagedKind managed = wizard_.management_type;
    const ManagedKind kinds[] = {managed,
                                 managed == ManagedKind::Rh ? ManagedKind::Mc : ManagedKind::Rh};
    for (const ManagedKind kind : kinds) {
        const std::optional<RecordKind> records = record_kind(kind);
        if (!records || !annotations_changed(saved_, store_.annotations, *records)) {
            continue;
        }
        saveAll_(kind);
        // A cancelled dialog or a file not written: the next kind's dialog is not shown.
        if (annotations_changed(saved_, store_.annotations, *records)) {
            return false;
        }
    }
    return !unsaved();
}

} // namespace qm
