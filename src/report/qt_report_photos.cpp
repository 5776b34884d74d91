// The photo section of a project's report: two photos a page, each scaled to what the page
// prints of it, never embedded at its full size.
#include "archive/sha256.h"
#include "files/regular_file.h"
#include "photos/photo_files.h"
#include "report/qt_report_layout.h"
#include "report/qt_report_painter.h"
#include "report/report_photos.h"
#include "ui/qt_text.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <algorithm>

namespace qm {

namespace {

constexpr int kPhotosPerPage = 2;
// The most pixels an inch of a printed photo holds: what a printer renders, and a 4 MB photo
// printed half a page high still weighs some hundred kilobytes.
constexpr double kPhotoDpi = 300.0;
constexpr double kPointsPerInch = 72.0;
constexpr double kPhotoGap = 6.0; // between the photo and its texts, and below them

// The photo decoded at no more pixels than kPhotoDpi gives the printed size `fit` (points),
// turned as its EXIF orientation says; a null image with `error` when it cannot be shown.
QImage printable_photo(const ReportPhoto& photo, const QSizeF& fit, QString& error) {
    std::vector<std::uint8_t> bytes;
    if (const int e = read_regular_file(photo.path, kMaxPhotoBytes, bytes); e != 0) {
        error = QStringLiteral("The photo cannot be read: ") + from_cp1252(file_error_text(e));
        return {};
    }
    if (sha256_hex(bytes) != photo.sha256) {
        error = QStringLiteral("The photo is damaged: its bytes no longer match its SHA-256.");
        return {};
    }
    QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    const bool turned = photo.orientation >= 5; // EXIF 5..8 swap width and height
    const QSizeF shown = turned ? QSizeF(stored.height(), stored.width()) : QSizeF(stored);
    if (shown.isEmpty()) {
        error = QStringLiteral("The photo cannot be shown: ") + reader.errorString();
        return {};
    }
    const double printed_width =
        shown.width() * std::min(fit.width() / shown.width(), fit.height() / shown.height());
    const double k = std::min(1.0, printed_width / kPointsPerInch * kPhotoDpi / shown.width());
    const QSize target(std::max(1, static_cast<int>(shown.width() * k)),
                       std::max(1, static_cast<int>(shown.height() * k)));
    // The reader scales the stored pixels, then turns them.
    reader.setScaledSize(turned ? target.transposed() : target);
    QImage image = reader.read();
    if (image.isNull()) {
        error = QStringLiteral("The photo cannot be shown: ") + reader.errorString();
    }
    return image;
}

} // namespace

void ReportLayout::lay_out_photos(std::size_t index) {
    const std::vector<ReportPhoto>& photos = jobs_[index].project->photos;
    if (photos.empty()) {
        return;
    }
    new_page(index, false);
    place({BlockKind::Section, index, 0, section_height(), 0, 0, QStringLiteral("Photos")});
    const double height = (content_.bottom() - y_) / kPhotosPerPage;
    for (std::size_t i = 0; i < photos.size(); ++i) {
        if (!fits(height)) {
            new_page(index, false);
        }
        place({BlockKind::Photo, index, 0, height, i, i + 1, {}});
    }
}

void paint_report_photo(QPainter& painter, const ReportLayout& layout, const ReportPhoto& photo,
                        const QRectF& box) {
    const ReportFonts& f = layout.fonts();
    const PointMapper px(layout.scale());
    const QString caption = from_cp1252(photo.caption);
    const QString facts = from_cp1252(photo_facts_text(photo));
    const double caption_height =
        caption.isEmpty() ? 0.0 : layout.wrapped_height(f.body, caption, box.width());
    const double facts_height = layout.wrapped_height(f.footer, facts, box.width());
    const double texts = caption_height + facts_height + kPhotoGap;
    const QRectF area(box.left(), box.top() + kPhotoGap, box.width(),
                      std::max(0.0, box.height() - texts - 2 * kPhotoGap));
    QString error;
    const QImage image = printable_photo(photo, area.size(), error);
    double bottom = area.bottom();
    painter.save();
    if (image.isNull()) {
        painter.setPen(report_colors::kMuted);
        painter.drawRect(px(area));
        draw_wrapped_text(painter, f.body, px(area.adjusted(6, 6, -6, -6)), error);
    } else {
        const QSizeF size = QSizeF(image.size()).scaled(area.size(), Qt::KeepAspectRatio);
        const QRectF at(area.left(), area.top(), size.width(), size.height());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(px(at), image);
        bottom = at.bottom();
    }
    double y = bottom + kPhotoGap;
    painter.setPen(report_colors::kInk);
    if (!caption.isEmpty()) {
        draw_wrapped_text(painter, f.body, px(QRectF(box.left(), y, box.width(), caption_height)),
                          caption);
        y += caption_height;
    }
    painter.setPen(report_colors::kMuted);
    draw_wrapped_text(painter, f.footer, px(QRectF(box.left(), y, box.width(), facts_height)),
                      facts);
    painter.restore();
}

} // namespace qm
