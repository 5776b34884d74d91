#pragma once

// Thumbnails of the project photos: made once from a photo's bytes (turned as its EXIF says) and
// kept by its SHA-256 in the user's cache folder, owner-only like the photos.

#include <QImage>
#include <QString>

#include <string>

namespace qm {

// The longest side of a thumbnail, in pixels.
constexpr int kThumbnailSide = 160;

// $XDG_CACHE_HOME/quellmark/thumbnails, else ~/.cache/quellmark/thumbnails.
QString default_thumbnail_folder();

// The thumbnail file of a photo in `folder`.
QString thumbnail_path(const QString& folder, const std::string& sha256);

// The photo at `path` scaled to kThumbnailSide and turned upright; null when it cannot be read.
QImage make_thumbnail(const std::string& path);

// Keeps a thumbnail in `folder` (made 0700 when missing), through a temporary file and a rename.
bool save_thumbnail(const QString& folder, const std::string& sha256, const QImage& thumbnail);

} // namespace qm
