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
// Chinese text always has glyphs.
FontSubstitute SubstituteFont(const QString& name);
FontSubstitute SubstituteFont(std::string_view cp936Name);

// Registers the table with QFont::insertSubstitutions; call once at start-up
// after the QGuiApplication exists.
void InstallFontSubstitutions();

} // namespace gdi
