#include "ui/qt_histogram_painter.h"

#include "ui/qt_chart_painter.h"
#include "ui/qt_text.h"

#include <QPainter>

namespace qm {

namespace {

const QColor kBarFill(0, 255, 0);
const QColor kInk(0, 0, 0);
const QColor kFrameFill(255, 255, 255);

void paint_title(QPainter& painter, const QFont& font, int x, int y, std::string_view text,
                 bool upwards) {
    painter.save();
    painter.setFont(font);
    painter.translate(x, y);
    if (upwards) {
        painter.rotate(-90);
    }
    const int width = QFontMetrics(font, painter.device()).horizontalAdvance(from_cp1252(text));
    paint_text(painter, {0, 0, width + 1, font.pixelSize()}, ChartAlign::Left, text);
    painter.restore();
}

} // namespace

void paint_histogram(QPainter& painter, const HistogramChart& chart, const QFont& label_font) {
    painter.save();
    painter.setPen(kInk);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFont title_font =
        cell_font(QStringLiteral("Arial"), chart.title_font_height, chart.title_font_width, true);
    paint_title(painter, title_font, chart.y_title_x, chart.y_title_y, kHistogramYTitle, true);
    paint_title(painter, title_font, chart.x_title_x, chart.x_title_y, kHistogramXTitle, false);
    if (chart.title) {
        painter.setFont(title_font);
        painter.setPen(kInk);
        paint_text(painter, chart.title->box, chart.title->align, chart.title->text);
    }
    paint_rect(painter, chart.frame, kFrameFill, kInk);
    painter.setFont(label_font);
    painter.setPen(kInk);
    for (const ChartText& t : chart.x_labels) {
        paint_text(painter, t.box, t.align, t.text);
    }
    for (const ChartText& t : chart.y_labels) {
        paint_text(painter, t.box, t.align, t.text);
    }
    for (const ChartLine& l : chart.ticks) {
        paint_line(painter, l, kInk);
    }
    for (const ChartRect& r : chart.bars) {
        paint_rect(painter, r, kBarFill, kInk);
    }
    if (chart.note) {
        paint_text(painter, chart.note->box, chart.note->align, chart.note->text);
    }
    painter.restore();
}

} // namespace qm
