// quellmark: the desktop program for the Trekmoor moisture meters and their RQ-5200 base unit.
#include "files/file_commands.h"
#include "resources/version.h"
#include "shell/job_windows.h"
#include "shell/main_window.h"
#include "state/app_state.h"
#include "ui/qt_text.h"
#include "views/readings_view.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: quellmark [--help | --version]\n"
    "\n"
    "Opens the Quellmark window: download the readings of the meter in the RQ-5200 base unit\n"
    "(\"Manage Data\") or open a save file (\"Manage Files\"), and work with them job by job.\n"
    "QUELLMARK_PORTS, when set, lists the serial ports to search (colon-separated paths).\n"
    "The standard options of Qt programs, such as -platform, are accepted too.\n"
    "\n"
    "  --help     show this text\n"
    "  --version  show the version\n";

// --help and --version answer on the terminal, before a display is needed. Returns the exit
// status when the program should stop here.
std::optional<int> answer_command_line(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return EXIT_SUCCESS;
        }
        if (arg == "--version") {
            std::printf("quellmark %s\n", qm::kVersion);
            return EXIT_SUCCESS;
        }
    }
    return std::nullopt;
}

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
    if (const auto status = answer_command_line(argc, argv)) {
        return *status;
    }
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

    // "View" on the job list opens the one readings view, unless a job summary or the histogram
    // is open; the view's "Save Job" and "View Summary" go back to the main window.
    qm::ReadingsViewHost views(*state);
    views.other_windows_open = [&window] {
        const auto histograms = window.findChildren<qm::HistogramDialog*>();
        return window.jobWindows()->summaryOpen() ||
               std::any_of(histograms.begin(), histograms.end(),
                           [](const qm::HistogramDialog* d) { return d->isVisible(); });
    };
    window.setViewOpener([&views](qm::MainWindow& w) {
        qm::ReadingsViewHooks hooks;
        hooks.job_entry = [&w] {
            return qm::to_cp1252(w.jobListEntryText(w.state().selection.current_job_index));
        };
        hooks.save_job = [&w] { w.runFileCommand(qm::FileCommand::Save); };
        hooks.view_summary = [&w] { w.jobWindows()->viewSummary(); };
        views.open(&w, w.metrics(), std::move(hooks));
    });
    window.show();
    return QApplication::exec();
}
