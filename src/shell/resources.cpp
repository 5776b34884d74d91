#include "shell/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void init_quellmark_resources() {
    Q_INIT_RESOURCE(quellmark);
}

namespace qm {

void init_resources() {
    static const bool done = [] {
        init_quellmark_resources();
        return true;
    }();
    (void)done;
}

QIcon application_icon() {
    init_resources();
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quellmark-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/quellmark-16.png"), QSize(16, 16));
    return icon;
}

} // namespace qm
