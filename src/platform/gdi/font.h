#pragma once
// A font as templates and the report code describe it, and the metrics the
// old device reported for it.

#include "platform/gdi/colors.h"

#include <string>

namespace gdi {

constexpr int DEFAULT_CHARSET = 1;
constexpr int GB2312_CHARSET = 134;

struct TFont {
    std::string Name = "Arial"; // CP936; resolved through the font substitution table
    int Size = 10;              // points, used when Height is 0
    int Height = 0;             // pixels: < 0 character height, > 0 cell height
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    TColor Color = clBlack;
    int CharSet = DEFAULT_CHARSET; // kept for the template; glyphs come from the font
    int Escapement = 0;            // tenths of a degree, counter-clockwise
    friend bool operator==(const TFont&, const TFont&) = default;
};

// Font metrics as the old TEXTMETRIC reported them (pixels of the surface
// measured on).
struct TTextMetric {
    int Height = 0; // Ascent + Descent
    int Ascent = 0;
    int Descent = 0;
    int InternalLeading = 0; // Height - character height
    int ExternalLeading = 0;
    int AveCharWidth = 0;
    int MaxCharWidth = 0;
    friend bool operator==(const TTextMetric&, const TTextMetric&) = default;
};

} // namespace gdi
