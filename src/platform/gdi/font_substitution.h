#pragma once
// The one table that maps the Windows font names of templates and windows to
// the fonts installed here. Everything that turns a font name into glyphs
// (the canvas, the windows through QFont substitutions) goes through it.

#include <QString>
#include <string_view>
#include <vector>

namespace gdi {

struct FontSubstitute {
    QString Family; // installed family drawn instead
    // Ascent and descent of the face it stands in for, as fractions of the
    // character height, so text sits where it sat on the original face. Zero
    // when the substitute's own metrics already match (the Liberation faces).
    double Ascent = 0.0;
    double Descent = 0.0;
    double AveCharWidth = 0.0; // likewise for the average character width
    // The Windows face is a fixed-pitch Chinese face: a single-byte character
    // advances half an em and a double-byte one a whole em, whatever the
    // substitute's own advances, so text wraps where it did.
    bool FixedPitch = false;
    // Where those faces take their single-byte glyphs from: a face whose
    // Latin letters are drawn for half-em cells.
    QString HalfWidthFamily;
};

struct FontSubstitution {
    QString WindowsName;
    FontSubstitute Substitute;
};

// The table itself (for the font box and for tests).
const std::vector<FontSubstitution>& FontSubstitutionTable();

// Windows names compare without regard to letter case; a leading '@' (the
// vertical variant) is ignored. A name outside the table that is itself an
// installed family is used as it is; any other name gets Noto Sans CJK SC, so
// Chinese text always has glyphs, with the Song vertical metrics; it is fixed
// pitch when the name is a Chinese one (non-ASCII, or ending in _GB2312).
FontSubstitute SubstituteFont(const QString& name);
FontSubstitute SubstituteFont(std::string_view cp936Name);

// Draws the characters a substitute has no glyph for (Chinese in Arial).
QString ChineseFallbackFamily();

// Registers the table with QFont::insertSubstitutions; call once at start-up
// after the QGuiApplication exists.
void InstallFontSubstitutions();

} // namespace gdi
