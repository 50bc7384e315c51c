#include "platform/gdi/font_engine.h"

#include "platform/gdi/font_substitution.h"
#include "platform/text/cp936.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace gdi {

FontEngine::Face& FontEngine::FaceFor(const TFont& font) {
    const int em = std::max(1, -font.Height);
    const Key key{font.Name, em, font.Bold, font.Italic};
    auto it = faces_.find(key);
    if (it != faces_.end()) return it->second;

    const FontSubstitute sub = SubstituteFont(std::string_view(font.Name));
    Face face;
    face.Font = QFont(sub.Family);
    face.Font.setPixelSize(em);
    face.Font.setWeight(font.Bold ? QFont::Bold : QFont::Normal);
    face.Font.setItalic(font.Italic);
    face.Font.setKerning(false);
    // Glyph positions are ours (whole pixels, like the old device); keep Qt
    // from nudging glyphs to fractional positions of its own.
    face.Font.setHintingPreference(QFont::PreferFullHinting);
    face.Font.setStyleStrategy(QFont::PreferDefault);

    const QFontMetricsF fm(face.Font);
    TTextMetric& m = face.Metrics;
    if (sub.Ascent > 0) {
        m.Ascent = int(std::lround(em * sub.Ascent));
        m.Descent = int(std::lround(em * sub.Descent));
    } else {
        m.Ascent = int(std::lround(fm.ascent()));
        m.Descent = int(std::lround(fm.descent()));
    }
    m.Height = m.Ascent + m.Descent;
    m.InternalLeading = std::max(0, m.Height - em);
    m.ExternalLeading = std::max(0, int(std::lround(fm.leading())));
    m.AveCharWidth = sub.AveCharWidth > 0 ? int(std::lround(em * sub.AveCharWidth))
                                          : int(std::lround(fm.averageCharWidth()));
    m.MaxCharWidth = int(std::lround(fm.maxWidth()));
    face.UnderlinePos = fm.underlinePos();
    face.StrikeOutPos = fm.strikeOutPos();
    face.LineWidth = std::max(1.0, fm.lineWidth());
    return faces_.emplace(key, std::move(face)).first->second;
}

int FontEngine::Advance(const TFont& font, std::string_view character) {
    Face& face = FaceFor(font);
    int key = 0;
    for (char c : character) key = (key << 8) | static_cast<unsigned char>(c);
    auto it = face.Advances.find(key);
    if (it != face.Advances.end()) return it->second;
    const QFontMetricsF fm(face.Font);
    const int advance = int(std::lround(fm.horizontalAdvance(text::Cp936ToQString(character))));
    face.Advances.emplace(key, advance);
    return advance;
}

} // namespace gdi
