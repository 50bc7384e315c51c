#include "platform/gdi/font_substitution.h"

#include "platform/text/cp936.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <algorithm>

namespace gdi {

namespace {

const QString kSerifCjk = QStringLiteral("Noto Serif CJK SC");
const QString kSansCjk = QStringLiteral("Noto Sans CJK SC");
const QString kMonoCjk = QStringLiteral("Noto Sans Mono CJK SC");

// Vertical metrics of the Windows faces (units of the character height):
// 宋体 and 黑体 share 220/256 above and 36/256 below the baseline.
constexpr double kSongAscent = 220.0 / 256.0;
constexpr double kSongDescent = 36.0 / 256.0;

QString NormalizedName(const QString& name) {
    QString n = name.trimmed();
    if (n.startsWith(QLatin1Char('@'))) n.remove(0, 1);
    return n.toCaseFolded();
}

} // namespace

const std::vector<FontSubstitution>& FontSubstitutionTable() {
    static const std::vector<FontSubstitution> table = {
        {QStringLiteral("宋体"), {kSerifCjk, kSongAscent, kSongDescent, 0.5, true, kMonoCjk}},
        {QStringLiteral("SimSun"), {kSerifCjk, kSongAscent, kSongDescent, 0.5, true, kMonoCjk}},
        {QStringLiteral("新宋体"), {kSerifCjk, kSongAscent, kSongDescent, 0.5, true, kMonoCjk}},
        {QStringLiteral("NSimSun"), {kSerifCjk, kSongAscent, kSongDescent, 0.5, true, kMonoCjk}},
        {QStringLiteral("黑体"), {kSansCjk, kSongAscent, kSongDescent, 0.5, true, kMonoCjk}},
        {QStringLiteral("SimHei"), {kSansCjk, kSongAscent, kSongDescent, 0.5, true, kMonoCjk}},
        {QStringLiteral("微软雅黑"), {kSansCjk, 2167.0 / 2048.0, 536.0 / 2048.0, 0.5, false, {}}},
        {QStringLiteral("Microsoft YaHei"),
         {kSansCjk, 2167.0 / 2048.0, 536.0 / 2048.0, 0.5, false, {}}},
        {QStringLiteral("MS Sans Serif"), {kSansCjk, 1.0, 2.0 / 11.0, 5.0 / 11.0, false, {}}},
        {QStringLiteral("Tahoma"),
         {kSansCjk, 2049.0 / 2048.0, 423.0 / 2048.0, 1000.0 / 2048.0, false, {}}},
        {QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), 0.0, 0.0, 0.0, false, {}}},
        {QStringLiteral("Times New Roman"),
         {QStringLiteral("Liberation Serif"), 0.0, 0.0, 0.0, false, {}}},
        {QStringLiteral("Courier New"),
         {QStringLiteral("Liberation Mono"), 0.0, 0.0, 0.0, false, {}}},
    };
    return table;
}

FontSubstitute SubstituteFont(const QString& name) {
    const QString key = NormalizedName(name);
    for (const FontSubstitution& entry : FontSubstitutionTable()) {
        if (entry.WindowsName.toCaseFolded() == key) return entry.Substitute;
    }
    if (!key.isEmpty()) {
        const QStringList families = QFontDatabase::families();
        for (const QString& family : families) {
            if (family.toCaseFolded() == key)
                return FontSubstitute{family, 0.0, 0.0, 0.0, false, {}};
        }
    }
    // Unknown faces get the Song metrics: most templates name a Chinese face.
    // Chinese faces (a Chinese name, or a GB2312 one) are fixed pitch on
    // Windows like 宋体; a Latin name keeps the substitute's own advances.
    const bool chinese =
        key.endsWith(QStringLiteral("_gb2312")) ||
        std::any_of(key.begin(), key.end(), [](QChar c) { return c.unicode() >= 0x80; });
    if (chinese) return FontSubstitute{kSansCjk, kSongAscent, kSongDescent, 0.5, true, kMonoCjk};
    return FontSubstitute{kSansCjk, kSongAscent, kSongDescent, 0.5, false, {}};
}

FontSubstitute SubstituteFont(std::string_view cp936Name) {
    return SubstituteFont(text::Cp936ToQString(cp936Name));
}

QString ChineseFallbackFamily() {
    return kSansCjk;
}

void InstallFontSubstitutions() {
    for (const FontSubstitution& entry : FontSubstitutionTable()) {
        QFont::removeSubstitutions(entry.WindowsName);
        QFont::insertSubstitutions(entry.WindowsName, QStringList{entry.Substitute.Family});
    }
}

} // namespace gdi
