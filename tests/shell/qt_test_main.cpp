// Entry point of the Qt tests: one QApplication for the whole run (offscreen platform), with a
// configuration, data and cache folders of its own, so that no test reads or changes the user's
// settings or archive, or leaves a download transcript in the user's cache.
#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    // Nor the user's visit archive: a window that names none keeps its visits here.
    qputenv("XDG_DATA_HOME", config.path().toLocal8Bit());
    qunsetenv("QUELLMARK_ARCHIVE");
    const QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    // The technician's name, asked at the first download where none is set: set (a test that
    // answers the question takes it away).
    qputenv("QUELLMARK_TECHNICIAN", "Test Technician");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
