// quellmark: the desktop program for the Trekmoor moisture meters and their RQ-5200 base unit.
#include "app_state.h"
#include "shell/main_window.h"

#include <QApplication>

#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quellmark"));
    QApplication::setDesktopFileName(QStringLiteral("quellmark"));

    // One state for the whole run; the main window records the start-up folder and reads the
    // options from "qm.dat" there.
    auto state = std::make_unique<qm::AppState>();
    qm::MainWindow window(*state);
    window.show();
    return QApplication::exec();
}
