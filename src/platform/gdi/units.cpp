#include "platform/gdi/units.h"

#include "platform/rtl/sysutils.h"

namespace gdi {

int PaperTenthsToUnits(int tenthsMm) {
    return int(rtl::Round(tenthsMm / 10.0 * 18.0 / 5.0));
}

int UnitsToPaperTenths(int units) {
    return int(rtl::Round(units * 10.0 * 5.0 / 18.0));
}

int PrinterTenthsToUnits(int tenthsMm) {
    return int(rtl::Round(tenthsMm * kUnitsPerInch / 254.0));
}

double UnitsPerPixel(int dpi) {
    return dpi > 0 ? kUnitsPerInch / dpi : 0.0;
}

int PixelsToUnits(double pixels, int dpi) {
    return int(rtl::Round(pixels * UnitsPerPixel(dpi)));
}

double UnitsToPixelsF(double units, int dpi) {
    return units * dpi / kUnitsPerInch;
}

int UnitsToPixels(double units, int dpi) {
    return int(rtl::Round(UnitsToPixelsF(units, dpi)));
}

int PixelsToTenthsMm(double pixels, int dpi) {
    return dpi > 0 ? int(rtl::Round(pixels / dpi * 254.0)) : 0;
}

} // namespace gdi
