#pragma once

#include <QIcon>

namespace qm {

// Makes the icon, banner and user guide compiled into the program available.
void init_resources();

// Icon 103: the application icon at 32 x 32 and 16 x 16.
QIcon application_icon();

} // namespace qm
