#include "views/team_server_setting.h"

#include <QSettings>

namespace qm {

namespace {

QSettings sync_settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quellmark"),
                     QStringLiteral("sync"));
}

} // namespace

QString team_server_setting() {
    return sync_settings().value(QStringLiteral("server")).toString();
}

void set_team_server_setting(const QString& server) {
    QSettings s = sync_settings();
    s.setValue(QStringLiteral("server"), server);
}

} // namespace qm
