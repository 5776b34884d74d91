#include "shell/help_window.h"

#include <QFile>
#include <QUrl>

namespace qm {

HelpWindow::HelpWindow(QWidget* owner) : QTextBrowser(owner) {
    setObjectName(QStringLiteral("helpWindow"));
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Trekmoor Series Application Help"));
    setOpenExternalLinks(false);
    resize(560, 600);
    setSource(QUrl(QString::fromLatin1(kHelpContents)));
}

bool HelpWindow::available() {
    return QFile::exists(QStringLiteral(":/help/index.html"));
}

} // namespace qm
