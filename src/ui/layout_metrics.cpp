#include "ui/layout_metrics.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>

#include <cmath>

namespace qm {

namespace {

// Scales a dialog-unit value by base / divisor, rounding halves away from zero.
int scale(int units, int base, int divisor) {
    const long long n = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<int>(n >= 0 ? (n + half) / divisor : -((-n + half) / divisor));
}

} // namespace

int LayoutMetrics::x(int dialogUnits) const {
    return scale(dialogUnits, baseWidth, 4);
}

int LayoutMetrics::y(int dialogUnits) const {
    return scale(dialogUnits, baseHeight, 8);
}

QRect LayoutMetrics::rect(int left, int top, int width, int height) const {
    // Both edges are converted, so neighbouring controls meet as they do in the window's layout.
    const int l = x(left);
    const int t = y(top);
    return QRect(l, t, x(left + width) - l, y(top + height) - t);
}

namespace {

// The average advance of the 52 letters, rounded: the width base of the dialog units.
int letter_width(const QFont& font) {
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetrics fm(font);
    return std::max(1, static_cast<int>(std::lround(fm.horizontalAdvance(kLetters) / 52.0)));
}

} // namespace

LayoutMetrics LayoutMetrics::measure(const QFont& windowFont, const QFont& dialogFont) {
    LayoutMetrics m;
    const QFontMetrics wm(windowFont);
    m.charWidth = std::max(1, wm.averageCharWidth());
    m.charHeight = std::max(1, wm.height());
    m.baseWidth = letter_width(dialogFont);
    m.baseHeight = std::max(1, QFontMetrics(dialogFont).height());
    return m;
}

QFont window_font() {
    // The window font stands to the dialog font as the desktop's system font did to its dialog
    // font: a third wider per character, bold. Every layout is measured in it, so the pages
    // and panels keep their proportions whatever font the user has chosen.
    QFont f = dialog_font();
    f.setBold(true);
    const int target = (letter_width(dialog_font()) * 4 + 1) / 3;
    int pixels = std::max(1, QFontInfo(f).pixelSize());
    for (int i = 0; i < 64 && QFontMetrics(f).averageCharWidth() < target; ++i) {
        f.setPixelSize(++pixels);
    }
    return f;
}

QFont dialog_font() {
    return QApplication::font();
}

void widen_to_fit(QLabel* label) {
    if (label->wordWrap() || label->text().contains(QLatin1Char('\n'))) {
        return;
    }
    const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text().trimmed()) + 2;
    const QRect r = label->geometry();
    const int extra = needed - r.width();
    if (extra <= 0) {
        return;
    }
    const Qt::Alignment a = label->alignment();
    if (a & Qt::AlignHCenter) {
        label->setGeometry(r.adjusted(-extra / 2, 0, extra - extra / 2, 0));
    } else if (a & Qt::AlignRight) {
        label->setGeometry(r.adjusted(-extra, 0, 0, 0));
    } else {
        label->setGeometry(r.adjusted(0, 0, extra, 0));
    }
}

} // namespace qm
