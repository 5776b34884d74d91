#include "shell/about_dialog.h"

#include "resources/version.h"

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace qm {

AboutDialog::AboutDialog(const LayoutMetrics& metrics, QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(QStringLiteral("About"));
    setFont(dialog_font());
    setFixedSize(metrics.x(198), metrics.y(125));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* group = new QGroupBox(this);
    group->setGeometry(metrics.rect(6, 6, 184, 111));

    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/icons/quellmark-32.png")).pixmap(32, 32));
    icon->move(metrics.x(14), metrics.y(17));
    icon->resize(32, 32);

    auto* text = new QLabel(QStringLiteral("Quellmark %1 for Linux\n\nTrekmoor Series Application "
                                           "\nver. 2.2")
                                .arg(QLatin1String(kVersion)),
                            this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    text->setGeometry(metrics.rect(37, 17, 124, 51));

    auto* credit = new QLabel(QStringLiteral("Built with Qt"), this);
    credit->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    credit->setWordWrap(true);
    credit->setGeometry(metrics.rect(69, 70, 60, 19));

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setGeometry(metrics.rect(74, 94, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace qm
