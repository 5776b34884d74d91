#include "ui/qt_file_dialogs.h"

#include "ui/qt_text.h"

#include <QDir>
#include <QFileDialog>

namespace qm {

namespace {

std::optional<std::string> run(const FileDialogRequest& request, bool save) {
    QFileDialog dialog(nullptr);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirm_replace);
    QStringList filters;
    for (const FileFilter& f : request.filters) {
        // "All Files (*.*)" means every file; on Linux names need not contain a dot.
        const QString pattern = f.pattern == "*.*" ? QStringLiteral("*") : from_cp1252(f.pattern);
        const QString description = from_cp1252(f.description);
        filters << (description.contains(QLatin1Char('('))
                        ? description.left(description.indexOf(QLatin1Char('('))).trimmed() +
                              QStringLiteral(" (") + pattern + QLatin1Char(')')
                        : description + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(from_cp1252(request.default_extension));
    dialog.setDirectory(from_file_name(request.initial_folder));
    const QString name = from_file_name(request.file_name);
    if (!name.isEmpty()) {
        dialog.selectFile(name);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return to_file_name(QDir::toNativeSeparators(dialog.selectedFiles().constFirst()));
}

} // namespace

std::optional<std::string> QtFileDialogs::open_file(const FileDialogRequest& request) {
    return run(request, false);
}

std::optional<std::string> QtFileDialogs::save_file(const FileDialogRequest& request) {
    return run(request, true);
}

} // namespace qm
