#pragma once
// Report units and their conversions, in one place. Geometry is in report
// units, 18 of them to 5 mm; paper sizes are in tenths of a millimetre. The
// printer layer (and everything that maps report units onto a device) counts
// kUnitsPerInch units to the inch, which is not quite 18 / 5 * 25.4 = 91.44:
// both constants are what stored templates and prepared pages were made with.

namespace gdi {

constexpr double kUnitsPerMm = 18.0 / 5.0;
constexpr double kUnitsPerInch = 91.6256157635468; // device conversions
constexpr double kMmPerInch = 25.4;

// The designer's display units (millimetres and inches as it shows them).
constexpr double UnitsToMm(double units) {
    return units * 5.0 / 18.0;
}
constexpr double MmToUnits(double mm) {
    return mm * 18.0 / 5.0;
}
constexpr double UnitsToInches(double units) {
    return units * 5.0 / 18.0 / kMmPerInch;
}
constexpr double InchesToUnits(double inches) {
    return inches * kMmPerInch * 18.0 / 5.0;
}

// A report page's Width/Height properties: round(tenths / 10 * 18 / 5) and back.
int PaperTenthsToUnits(int tenthsMm);
int UnitsToPaperTenths(int units);

// The printer layer's paper conversion: round(tenths * kUnitsPerInch / 254).
int PrinterTenthsToUnits(int tenthsMm);

// Device pixels at `dpi` and report units. All roundings go to the nearest
// whole number, halves to the even neighbour.
double UnitsPerPixel(int dpi);
int PixelsToUnits(double pixels, int dpi);
int UnitsToPixels(double units, int dpi);
double UnitsToPixelsF(double units, int dpi);
// Device pixels to tenths of a millimetre (paper sizes read from a printer).
int PixelsToTenthsMm(double pixels, int dpi);

} // namespace gdi
