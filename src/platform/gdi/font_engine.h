#pragma once
// Turns a canvas font into a Qt font with device-pixel metrics and whole-pixel
// character advances, through the font substitution table. One per canvas:
// it caches what it measured, since text layout measures the same characters
// over and over.

#include "platform/gdi/canvas.h"

#include <QFont>
#include <map>
#include <string_view>
#include <tuple>
#include <unordered_map>

namespace gdi {

class FontEngine {
public:
    struct Face {
        QFont Font; // pixel size = character height; underline and strike-out drawn by the canvas
        TTextMetric Metrics;
        double UnderlinePos = 0; // below the baseline
        double StrikeOutPos = 0; // above the baseline
        double LineWidth = 1;
        std::unordered_map<int, int> Advances;
    };

    // `font.Height` must already be the negative character height in pixels.
    Face& FaceFor(const TFont& font);
    int Advance(const TFont& font, std::string_view character);

private:
    using Key = std::tuple<std::string, int, bool, bool>;
    std::map<Key, Face> faces_;
};

} // namespace gdi
