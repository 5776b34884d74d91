#include "plans/qt_map_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPolygonF>

namespace qm {

namespace {

constexpr double kPointsPerInch = 72.0;

void text(QPainter& p, const MapText& t) {
    QFont font("sans-serif");
    // A text of size_pt units whatever the device's resolution: one unit is one point.
    font.setPointSizeF(t.size_pt * kPointsPerInch / p.device()->logicalDpiY());
    font.setBold(t.bold);
    p.setFont(font);
    const QString s = QString::fromUtf8(t.text.data(), static_cast<qsizetype>(t.text.size()));
    const double x = t.middle ? t.x - p.fontMetrics().horizontalAdvance(s) / 2.0 : t.x;
    p.setPen(Qt::black);
    p.drawText(QPointF(x, t.y), s);
}

// The marker shapes of plan_svg.cpp: a filled disc, a ring, a square, a cross, a dashed ring.
void marker(QPainter& p, const MapMarker& m) {
    const double r = kMarkerRadiusPt;
    const QPointF c(m.x, m.y);
    switch (m.state) {
    case MapState::Wet:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(0x1f, 0x4f, 0x9c));
        p.drawEllipse(c, r, r);
        break;
    case MapState::Dry:
        p.setPen(QPen(QColor(0x2e, 0x7d, 0x32), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, r, r);
        break;
    case MapState::Unjudged:
        p.setPen(QPen(QColor(0x44, 0x44, 0x44), 1));
        p.setBrush(QColor(0xbb, 0xbb, 0xbb));
        p.drawRect(QRectF(m.x - r, m.y - r, 2 * r, 2 * r));
        break;
    case MapState::Removed:
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(m.x - r, m.y - r), QPointF(m.x + r, m.y + r));
        p.drawLine(QPointF(m.x - r, m.y + r), QPointF(m.x + r, m.y - r));
        break;
    case MapState::Unread:
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

} // namespace

void paint_map(QPainter& p, const MapScene& scene, const QImage& underlay) {
    p.fillRect(QRectF(0, 0, scene.width_pt, scene.height_pt), Qt::white);
    text(p, scene.title);
    if (scene.underlay && !underlay.isNull()) {
        const MapRect& u = *scene.underlay;
        p.drawImage(QRectF(u.x, u.y, u.width, u.height), underlay);
    }
    for (const MapRoomShape& room : scene.rooms) {
        QPolygonF polygon;
        for (const SheetXY& c : room.corners) {
            polygon << QPointF(c.x, c.y);
        }
        p.setPen(QPen(Qt::black, 1.5));
        p.setBrush(room.affected ? QBrush(QColor(0x3a, 0x6f, 0xb5), Qt::BDiagPattern)
                                 : QBrush(Qt::NoBrush));
        p.drawPolygon(polygon);
        text(p, room.name);
        text(p, room.area);
    }
    for (const MapMarker& m : scene.markers) {
        marker(p, m);
    }
    for (const MapMarker& m : scene.legend) {
        marker(p, m);
    }
}

} // namespace qm
