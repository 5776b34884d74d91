// Dialog units, the window font and labels that do not fit their boxes.
#include "ui/layout_metrics.h"

#include <QFontMetrics>
#include <QLabel>

#include <gtest/gtest.h>

#include <cstdlib>

namespace qm {
namespace {

TEST(LayoutMetricsTest, DialogUnitsConvertFromTheDialogFontWithRounding) {
    LayoutMetrics m;
    m.baseWidth = 6;
    m.baseHeight = 13;
    EXPECT_EQ(m.x(4), 6);
    EXPECT_EQ(m.y(8), 13);
    EXPECT_EQ(m.x(1), 2);    // 1.5 rounds up
    EXPECT_EQ(m.y(86), 140); // 139.75
    // Both edges are converted, so neighbouring controls meet.
    EXPECT_EQ(m.rect(116, 86, 86, 44), QRect(174, 140, 129, 71));
    EXPECT_EQ(m.rect(14, 216, 57, 25).right() + 1, m.x(71));

    m.charWidth = 8;
    EXPECT_EQ(m.windowWidth(), 632);
    EXPECT_EQ(m.windowHeight(), 520);
    EXPECT_EQ(m.sidePanelWidth(), 240);
    EXPECT_EQ(m.pageDrawingWidth(), 392);
}

TEST(LayoutMetricsTest, WindowFontStandsToTheDialogFontAsTheSystemFontDid) {
    const LayoutMetrics m = LayoutMetrics::measure(window_font(), dialog_font());
    EXPECT_TRUE(window_font().bold());
    EXPECT_GE(m.charWidth * 3, m.baseWidth * 4 - 2);
    EXPECT_GT(m.charHeight, 0);
    EXPECT_EQ(m.charHeight, QFontMetrics(window_font()).height());
}

TEST(LayoutMetricsTest, LabelsTooNarrowForTheirTextGrowAboutTheirAnchor) {
    QLabel centred(QStringLiteral("General Info:"));
    centred.setAlignment(Qt::AlignHCenter);
    centred.setGeometry(100, 10, 10, 12);
    widen_to_fit(&centred);
    EXPECT_GT(centred.width(), 10);
    EXPECT_LE(std::abs(centred.geometry().center().x() - 105), 1);

    QLabel right(QStringLiteral("Number of Readings"));
    right.setAlignment(Qt::AlignRight);
    right.setGeometry(100, 10, 10, 12);
    widen_to_fit(&right);
    EXPECT_EQ(right.geometry().right(), 109);

    QLabel fits(QStringLiteral("x"));
    fits.setGeometry(0, 0, 200, 12);
    widen_to_fit(&fits);
    EXPECT_EQ(fits.width(), 200);
}

} // namespace
} // namespace qm
