// quellmark: the desktop program for the Trekmoor moisture meters and their RQ-5200 base unit.
#include "app_state.h"
#include "shell/main_window.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace {

// With QUELLMARK_FIRST_PAINT_EXIT set, the program prints the CLOCK_MONOTONIC time at which its
// first window was painted ("first-paint SECONDS") and exits: the start-up benchmark measures
// launches with it.
class FirstPaintExit : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Runs once the paint that is under way has been done.
            QTimer::singleShot(0, [] {
                timespec now{};
                ::clock_gettime(CLOCK_MONOTONIC, &now);
                std::printf("first-paint %lld.%09ld\n", static_cast<long long>(now.tv_sec),
                            now.tv_nsec);
                std::fflush(stdout);
                QApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool seen_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quellmark"));
    QApplication::setDesktopFileName(QStringLiteral("quellmark"));

    // One state for the whole run; the main window records the start-up folder and reads the
    // options from "qm.dat" there.
    auto state = std::make_unique<qm::AppState>();
    if (std::getenv("QUELLMARK_FIRST_PAINT_EXIT") != nullptr) {
        app.installEventFilter(new FirstPaintExit(&app));
    }
    qm::MainWindow window(*state);
    window.show();
    return QApplication::exec();
}
