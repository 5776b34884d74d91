#include "views/photo_thumbnails.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSaveFile>

namespace qm {

QString default_thumbnail_folder() {
    QString cache = QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME"));
    if (!cache.startsWith(QLatin1Char('/'))) {
        cache = QString::fromLocal8Bit(qgetenv("HOME")) + QStringLiteral("/.cache");
    }
    return cache + QStringLiteral("/quellmark/thumbnails");
}

QString thumbnail_path(const QString& folder, const std::string& sha256) {
    return folder + QLatin1Char('/') + QString::fromStdString(sha256) + QStringLiteral(".png");
}

QImage make_thumbnail(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (stored.isEmpty()) {
        return {};
    }
    // Scaled while decoding (the stored orientation), then turned.
    reader.setScaledSize(
        stored.scaled(kThumbnailSide, kThumbnailSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return reader.read();
}

bool save_thumbnail(const QString& folder, const std::string& sha256, const QImage& thumbnail) {
    const QFileDevice::Permissions owner =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    if (!QDir(folder).exists() &&
        (!QDir().mkpath(folder) || !QFile::setPermissions(folder, owner))) {
        return false;
    }
    // The folder is the owner's alone, so its files need no mode of their own.
    QSaveFile file(thumbnail_path(folder, sha256));
    return file.open(QIODevice::WriteOnly) && thumbnail.save(&file, "PNG") && file.commit();
}

} // namespace qm
