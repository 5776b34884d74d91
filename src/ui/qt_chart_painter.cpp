#include "ui/qt_chart_painter.h"

#include "ui/qt_text.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qm {

namespace {

void draw_pixel_line(QPainter& painter, int x1, int y1, int x2, int y2) {
    painter.drawLine(QPoint(x1, y1), QPoint(x2, y2));
}

QPen hairline(const QColor& color) {
    QPen pen(color);
    pen.setWidth(0);
    pen.setCosmetic(true);
    pen.setCapStyle(Qt::SquareCap);
    return pen;
}

int sign(int v) {
    return (v > 0) - (v < 0);
}

} // namespace

void paint_rect(QPainter& painter, const ChartRect& rect, const QColor& fill,
                std::optional<QColor> outline) {
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(rect.left, rect.top, w, h), fill);
    if (outline) {
        painter.setPen(hairline(*outline));
        const int r = rect.right - 1;
        const int b = rect.bottom - 1;
        draw_pixel_line(painter, rect.left, rect.top, r, rect.top);
        draw_pixel_line(painter, rect.left, b, r, b);
        draw_pixel_line(painter, rect.left, rect.top, rect.left, b);
        draw_pixel_line(painter, r, rect.top, r, b);
    }
    painter.restore();
}

void paint_line(QPainter& painter, const ChartLine& line, const QColor& color) {
    const int dx = line.x2 - line.x1;
    const int dy = line.y2 - line.y1;
    if (dx == 0 && dy == 0) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(hairline(color));
    // The end point is left out, as the platform's line drawing does; for the axis-parallel
    // lines drawn here that is one pixel less in the direction of travel.
    int x2 = line.x2;
    int y2 = line.y2;
    if (dx == 0 || dy == 0) {
        x2 -= sign(dx);
        y2 -= sign(dy);
    }
    draw_pixel_line(painter, line.x1, line.y1, x2, y2);
    painter.restore();
}

void paint_text(QPainter& painter, const ChartRect& box, ChartAlign align, std::string_view text) {
    QString s = from_cp1252(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    int flags = Qt::AlignTop | Qt::TextExpandTabs | Qt::TextDontClip;
    switch (align) {
    case ChartAlign::Left:
        flags |= Qt::AlignLeft;
        break;
    case ChartAlign::Center:
        flags |= Qt::AlignHCenter;
        break;
    case ChartAlign::Right:
        flags |= Qt::AlignRight;
        break;
    }
    painter.drawText(QRect(box.left, box.top, std::max(0, box.right - box.left),
                           std::max(0, box.bottom - box.top)),
                     flags, s);
}

QFont cell_font(const QString& family, int cell_height, int average_width, bool bold) {
    QFont font(family);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    font.setPixelSize(std::max(1, cell_height));
    // Pixel sizes name the em; shrink until the line height matches the asked cell height.
    const QFontMetrics first(font);
    if (first.height() > cell_height && first.height() > 0) {
        font.setPixelSize(std::max(
            1, static_cast<int>(std::lround(double(cell_height) * cell_height / first.height()))));
    }
    if (average_width > 0) {
        const QFontMetrics fm(font);
        const int natural = std::max(1, fm.averageCharWidth());
        font.setStretch(std::clamp(100 * average_width / natural, 50, 200));
    }
    return font;
}

} // namespace qm
