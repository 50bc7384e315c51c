#include "platform/gdi/units.h"

#include <gtest/gtest.h>

using namespace gdi;

TEST(GdiUnits, PaperAndDeviceConversions) {
    struct Case {
        const char* what;
        int got;
        int expected;
    };
    const Case cases[] = {
        // A report page's Width property of an A4 sheet, and back.
        {"A4 width as page property", PaperTenthsToUnits(2100), 756},
        {"756 units as paper tenths", UnitsToPaperTenths(756), 2100},
        {"A4 height as page property", PaperTenthsToUnits(2970), 1069},
        // The printer layer's conversion of the same paper.
        {"A4 width, printer layer", PrinterTenthsToUnits(2100), 758},
        {"A4 height, printer layer", PrinterTenthsToUnits(2970), 1071},
        {"5 mm offset, printer layer", PrinterTenthsToUnits(50), 18},
        // Devices: one inch of pixels is kUnitsPerInch units.
        {"1 inch at 600 dpi", PixelsToUnits(600, 600), 92},
        {"1 inch at 96 dpi", PixelsToUnits(96, 96), 92},
        {"a screen pixel", PixelsToUnits(1, 96), 1},
        {"100 units at 300 dpi", UnitsToPixels(100, 300), 327},
        {"100 units at 96 dpi", UnitsToPixels(100, 96), 105},
        {"A4 at 600 dpi in tenths", PixelsToTenthsMm(4960, 600), 2100},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

TEST(GdiUnits, DesignerLengths) {
    EXPECT_DOUBLE_EQ(UnitsToMm(18), 5.0);
    EXPECT_DOUBLE_EQ(MmToUnits(5), 18.0);
    EXPECT_DOUBLE_EQ(UnitsToMm(756), 210.0);
    EXPECT_NEAR(UnitsToInches(91.44), 1.0, 1e-12);
    EXPECT_NEAR(InchesToUnits(1), 91.44, 1e-12);
    // Round trip through device pixels stays within half a pixel.
    for (int dpi : {72, 96, 300, 600}) {
        for (int units : {0, 1, 17, 756, 1071}) {
            EXPECT_NEAR(UnitsToPixelsF(units, dpi) * UnitsPerPixel(dpi), units, 1e-9);
        }
    }
    EXPECT_EQ(UnitsPerPixel(0), 0.0);
    EXPECT_EQ(PixelsToTenthsMm(100, 0), 0);
}
