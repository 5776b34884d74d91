#include "views/server_address_dialog.h"

#include "views/sync_texts.h"

#include <QInputDialog>
#include <QLineEdit>

namespace qm {

const char* const kServerAddressPrompt =
    "The address of the team server, as whoever runs it gave it to you, for example:\n"
    "postgresql://anna@db.example.com/quellmark\n\n"
    "Leave the password out: it is asked for when the server wants one, and never written "
    "anywhere.";

std::optional<QString> server_address_dialog(QWidget* parent, const QString& current) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, QString::fromUtf8(kTeamServerCaption),
                                               QString::fromUtf8(kServerAddressPrompt),
                                               QLineEdit::Normal, current, &ok);
    return ok ? std::optional<QString>(text.trimmed()) : std::nullopt;
}

} // namespace qm
