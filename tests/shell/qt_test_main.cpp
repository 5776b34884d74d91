// Entry point of the Qt tests: one QApplication for the whole run (offscreen platform), with a
// configuration, data and cache folders of its own, so that no test reads or changes the user's
// settings or archive, or leaves a download transcript in the user's cache.
#include <QApplication>
#include <QSettings>
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
    qunsetenv("QUELLMARK_TECHNICIAN");
    QApplication app(argc, argv);
    // The technician's name is asked at the first download: a test that answers it asks again.
    QSettings(QSettings::IniFormat, QSettings::UserScope, "quellmark", "visits")
        .setValue("technician_asked", true);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
