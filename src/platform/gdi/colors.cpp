#include "platform/gdi/colors.h"

#include <array>

namespace gdi {

namespace {

// The classic Windows scheme, by system colour index. Fixed on purpose: labels
// and the designer must look the same on every desktop.
constexpr std::array<TColor, 31> kSystemColors = {
    RGB(212, 208, 200), // 0 scroll bar
    RGB(58, 110, 165),  // 1 desktop background
    RGB(10, 36, 106),   // 2 active caption
    RGB(128, 128, 128), // 3 inactive caption
    RGB(212, 208, 200), // 4 menu
    RGB(255, 255, 255), // 5 window
    RGB(0, 0, 0),       // 6 window frame
    RGB(0, 0, 0),       // 7 menu text
    RGB(0, 0, 0),       // 8 window text
    RGB(255, 255, 255), // 9 caption text
    RGB(212, 208, 200), // 10 active border
    RGB(212, 208, 200), // 11 inactive border
    RGB(128, 128, 128), // 12 application workspace
    RGB(10, 36, 106),   // 13 highlight
    RGB(255, 255, 255), // 14 highlight text
    RGB(212, 208, 200), // 15 button face
    RGB(128, 128, 128), // 16 button shadow
    RGB(128, 128, 128), // 17 grey text
    RGB(0, 0, 0),       // 18 button text
    RGB(212, 208, 200), // 19 inactive caption text
    RGB(255, 255, 255), // 20 button highlight
    RGB(64, 64, 64),    // 21 3-D dark shadow
    RGB(212, 208, 200), // 22 3-D light
    RGB(0, 0, 0),       // 23 tooltip text
    RGB(255, 255, 225), // 24 tooltip background
    RGB(181, 181, 181), // 25 (unused index)
    RGB(0, 0, 128),     // 26 hot-tracked item
    RGB(166, 202, 240), // 27 active caption gradient
    RGB(192, 192, 192), // 28 inactive caption gradient
    RGB(49, 106, 197),  // 29 menu highlight
    RGB(212, 208, 200), // 30 menu bar
};

} // namespace

TColor ColorToRGB(TColor color) {
    if ((color & 0xFF000000u) == clSystemColor) {
        const TColor index = color & 0xFFu;
        return index < kSystemColors.size() ? kSystemColors[index] : clBlack;
    }
    return color & 0x00FFFFFFu;
}

QColor ToQColor(TColor color) {
    if (color == clNone) return QColor(Qt::transparent);
    const TColor rgb = ColorToRGB(color);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

TColor FromQColor(const QColor& color) {
    if (color.alpha() == 0) return clNone;
    return RGB(color.red(), color.green(), color.blue());
}

} // namespace gdi
