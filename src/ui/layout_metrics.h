#pragma once

#include <QFont>
#include <QLabel>
#include <QRect>

namespace qm {

// The measures every window is laid out in. charWidth and charHeight come from the font the main
// window paints with (titles, banner text); the dialog base units from the font of the controls.
// Positions given in dialog units convert to pixels as x * baseWidth / 4 and y * baseHeight / 8.
struct LayoutMetrics {
    int charWidth = 8;
    int charHeight = 16;
    int baseWidth = 6;
    int baseHeight = 13;

    int x(int dialogUnits) const;
    int y(int dialogUnits) const;
    QRect rect(int x, int y, int width, int height) const;

    // The main window's outer size and the width of the side panel (the left edge of the pages).
    int windowWidth() const { return 79 * charWidth; }
    int windowHeight() const { return 65 * charWidth; }
    int sidePanelWidth() const { return 30 * charWidth; }
    // The width the pages centre their title and banner in.
    int pageDrawingWidth() const { return (79 - 30) * charWidth; }

    static LayoutMetrics measure(const QFont& windowFont, const QFont& dialogFont);
};

// The font the main window and the panels paint their own texts with: a bold face a little larger
// than the controls' font, the way the desktop's system font stands out from dialog text.
QFont window_font();
// The font of the controls of pages, panels and dialogs.
QFont dialog_font();

// Widens a one-line label whose text is wider than its box, about its anchor (the centre of a
// centred label, the left edge of a left-aligned one, the right edge of a right-aligned one), so
// fonts wider than the windows were laid out for do not cut texts off.
void widen_to_fit(QLabel* label);

} // namespace qm
