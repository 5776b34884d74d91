#pragma once

// Who reads with this computer, as it keeps it ("quellmark/visits.ini"): said with every visit
// downloaded or opened.

#include <QString>

namespace qm {

// The name set under File > Technician… (or asked at the first download); QUELLMARK_TECHNICIAN
// when none is set.
QString technician_setting();
void set_technician_setting(const QString& name);
// Whether the user has been asked for the name (asked once, at the first download).
bool technician_asked();
void set_technician_asked();
// Whether the name can be kept here (a settings file this user cannot write cannot).
bool technician_setting_writable();

} // namespace qm
