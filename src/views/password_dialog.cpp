#include "views/password_dialog.h"

#include <QInputDialog>
#include <QLineEdit>

#include <algorithm>

namespace qm {

namespace {

// Room reserved for a password, so that typing one of usual length never reallocates it.
constexpr std::size_t kPasswordRoom = 64;

} // namespace

std::optional<std::string> password_dialog(QWidget* parent, const QString& server,
                                           const QString& refusal) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Team server password"));
    dialog.setTextEchoMode(QLineEdit::Password);
    // "&" of a URI's query is text, not a mnemonic.
    QString label = QStringLiteral("Password for %1:").arg(QString(server).replace('&', "&&"));
    if (!refusal.isEmpty()) {
        label = QString(refusal).replace('&', "&&") + QStringLiteral("\n\n") + label;
    }
    dialog.setLabelText(label +
                        QStringLiteral("\n(held only until this sync is over, never written "
                                       "anywhere)"));
    const bool ok = dialog.exec() == QDialog::Accepted;
    QString typed = dialog.textValue();
    dialog.setTextValue(QString());
    std::optional<std::string> password;
    if (ok) {
        QByteArray utf8 = typed.toUtf8();
        password.emplace();
        password->reserve(
            std::max<std::size_t>(static_cast<std::size_t>(utf8.size()), kPasswordRoom));
        password->assign(utf8.constData(), static_cast<std::size_t>(utf8.size()));
        utf8.fill('\0');
    }
    typed.fill(QChar(u'\0'));
    return password;
}

} // namespace qm
