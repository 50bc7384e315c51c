#include "platform/gdi/colors.h"

#include <gtest/gtest.h>

using namespace gdi;

TEST(GdiColors, MapsPlainAndSystemColoursToFixedRgb) {
    struct Case {
        TColor in;
        TColor rgb;
    };
    const Case cases[] = {
        {clBlack, 0x000000},
        {clRed, 0x0000FF}, // red in the low byte
        {clBlue, 0xFF0000},
        {clTeal, 0x808000},
        {0x00123456, 0x123456},
        {clWindow, RGB(255, 255, 255)},
        {clWindowText, RGB(0, 0, 0)},
        {clBtnFace, RGB(212, 208, 200)},
        {clBtnShadow, RGB(128, 128, 128)},
        {clHighlight, RGB(10, 36, 106)},
        {clHighlightText, RGB(255, 255, 255)},
        {clInfoBk, RGB(255, 255, 225)},
        {clGrayText, RGB(128, 128, 128)},
        {clSystemColor | 200, clBlack}, // no such system colour
        {clNone, 0xFFFFFF},
    };
    for (const Case& c : cases) EXPECT_EQ(ColorToRGB(c.in), c.rgb) << std::hex << c.in;
}

TEST(GdiColors, ConvertsToQtColours) {
    EXPECT_EQ(ToQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(clBtnFace), QColor(212, 208, 200));
    EXPECT_EQ(ToQColor(RGB(1, 2, 3)), QColor(1, 2, 3));
    EXPECT_EQ(ToQColor(clNone).alpha(), 0);
    EXPECT_EQ(ToQColor(clBlack).alpha(), 255);

    EXPECT_EQ(FromQColor(QColor(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(FromQColor(QColor(Qt::transparent)), clNone);
}
