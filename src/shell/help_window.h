#pragma once

#include <QTextBrowser>

namespace qm {

// The user guide shipped inside the program, in a window of its own.
class HelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* owner);
    // Whether the guide is part of this build.
    static bool available();
};

constexpr const char* kHelpContents = "qrc:/help/index.html";

} // namespace qm
