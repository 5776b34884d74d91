#include "views/technician_setting.h"

#include "archive/visit_evidence.h"

#include <QSettings>

namespace qm {

namespace {

QSettings visit_settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("quellmark"),
                     QStringLiteral("visits"));
}

} // namespace

QString technician_setting() {
    const QString name = visit_settings().value(QStringLiteral("technician")).toString();
    return name.isEmpty() ? QString::fromStdString(technician_from_environment()) : name;
}

void set_technician_setting(const QString& name) {
    QSettings s = visit_settings();
    s.setValue(QStringLiteral("technician"), name.trimmed());
    s.setValue(QStringLiteral("technician_asked"), true);
}

bool technician_asked() {
    return visit_settings().value(QStringLiteral("technician_asked")).toBool();
}

bool technician_setting_writable() {
    return visit_settings().isWritable();
}

void set_technician_asked() {
    QSettings s = visit_settings();
    s.setValue(QStringLiteral("technician_asked"), true);
}

} // namespace qm
