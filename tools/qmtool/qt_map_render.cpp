// A day's map painted with Qt Gui into an image, shape for shape as the SVG draws it.
#include "tools/qmtool/map_render.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cstdlib>

namespace qmtool {

namespace {

constexpr double kPointsPerInch = 72.0;

void text(QPainter& p, const qm::MapText& t) {
    QFont font("sans-serif");
    font.setPointSizeF(t.size_pt);
    font.setBold(t.bold);
    p.setFont(font);
    const QString s = QString::fromUtf8(t.text.data(), static_cast<qsizetype>(t.text.size()));
    const double x = t.middle ? t.x - p.fontMetrics().horizontalAdvance(s) / 2.0 : t.x;
    p.setPen(Qt::black);
    p.drawText(QPointF(x, t.y), s);
}

// The marker shapes of plan_svg.cpp: a filled disc, a ring, a square, a cross, a dashed ring.
void marker(QPainter& p, const qm::MapMarker& m) {
    const double r = qm::kMarkerRadiusPt;
    const QPointF c(m.x, m.y);
    switch (m.state) {
    case qm::MapState::Wet:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(0x1f, 0x4f, 0x9c));
        p.drawEllipse(c, r, r);
        break;
    case qm::MapState::Dry:
        p.setPen(QPen(QColor(0x2e, 0x7d, 0x32), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, r, r);
        break;
    case qm::MapState::Unjudged:
        p.setPen(QPen(QColor(0x44, 0x44, 0x44), 1));
        p.setBrush(QColor(0xbb, 0xbb, 0xbb));
        p.drawRect(QRectF(m.x - r, m.y - r, 2 * r, 2 * r));
        break;
    case qm::MapState::Removed:
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(m.x - r, m.y - r), QPointF(m.x + r, m.y + r));
        p.drawLine(QPointF(m.x - r, m.y + r), QPointF(m.x + r, m.y - r));
        break;
    case qm::MapState::Unread:
        p.setPen(QPen(QColor(0x77, 0x77, 0x77), 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, r, r);
        break;
    }
    text(p, m.label);
    if (!m.value.text.empty()) {
        text(p, m.value);
    }
}

void paint(QPainter& p, const qm::MapScene& scene, const QImage& underlay) {
    p.fillRect(QRectF(0, 0, scene.width_pt, scene.height_pt), Qt::white);
    text(p, scene.title);
    if (scene.underlay && !underlay.isNull()) {
        const qm::MapRect& u = *scene.underlay;
        p.drawImage(QRectF(u.x, u.y, u.width, u.height), underlay);
    }
    for (const qm::MapRoomShape& room : scene.rooms) {
        QPolygonF polygon;
        for (const qm::SheetXY& c : room.corners) {
            polygon << QPointF(c.x, c.y);
        }
        p.setPen(QPen(Qt::black, 1.5));
        p.setBrush(room.affected ? QBrush(QColor(0x3a, 0x6f, 0xb5), Qt::BDiagPattern)
                                 : QBrush(Qt::NoBrush));
        p.drawPolygon(polygon);
        text(p, room.name);
        text(p, room.area);
    }
    for (const qm::MapMarker& m : scene.markers) {
        marker(p, m);
    }
    for (const qm::MapMarker& m : scene.legend) {
        marker(p, m);
    }
}

} // namespace

bool map_png_available() {
    return true;
}

std::vector<std::uint8_t> map_png(const qm::MapScene& scene,
                                  std::span<const std::uint8_t> underlay_bytes, int dpi) {
    // Painting needs fonts and a paint device, not a display.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }
    int argc = 1;
    char name[] = "qmtool";
    char* argv[] = {name, nullptr};
    const QGuiApplication application(argc, argv);
    const double scale = dpi / kPointsPerInch;
    QImage image(static_cast<int>(scene.width_pt * scale + 0.5),
                 static_cast<int>(scene.height_pt * scale + 0.5), QImage::Format_RGB32);
    if (image.isNull()) {
        return {};
    }
    QImage underlay;
    underlay.loadFromData(underlay_bytes.data(), static_cast<int>(underlay_bytes.size()));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        painter.scale(scale, scale);
        // One unit is one point: the fonts' points are taken at 72 dpi while painting.
        paint(painter, scene, underlay);
    }
    image.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
    image.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return {};
    }
    return {png.begin(), png.end()};
}

} // namespace qmtool
