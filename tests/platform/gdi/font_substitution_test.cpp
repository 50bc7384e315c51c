#include "platform/gdi/font_substitution.h"

#include "gui_app.h"
#include "platform/text/cp936.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <gtest/gtest.h>

using namespace gdi;

namespace {

class FontSubstitutionTest : public gdi_test::GuiTest {};

struct Case {
    const char* utf8Name;
    const char* family;
};

const Case kCases[] = {
    {"宋体", "Noto Serif CJK SC"},
    {"SimSun", "Noto Serif CJK SC"},
    {"NSimSun", "Noto Serif CJK SC"},
    {"黑体", "Noto Sans CJK SC"},
    {"SimHei", "Noto Sans CJK SC"},
    {"微软雅黑", "Noto Sans CJK SC"},
    {"MS Sans Serif", "Noto Sans CJK SC"},
    {"Tahoma", "Noto Sans CJK SC"},
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
    {"Courier New", "Liberation Mono"},
    // Windows names ignore letter case; '@' names the vertical variant.
    {"arial", "Liberation Sans"},
    {"COURIER NEW", "Liberation Mono"},
    {"@宋体", "Noto Serif CJK SC"},
    // Anything unknown still gets Chinese glyphs.
    {"楷体_GB2312", "Noto Sans CJK SC"},
    {"No Such Face", "Noto Sans CJK SC"},
    {"", "Noto Sans CJK SC"},
};

} // namespace

TEST_F(FontSubstitutionTest, TableFromQStringAndCp936Names) {
    for (const Case& c : kCases) {
        const QString name = QString::fromUtf8(c.utf8Name);
        EXPECT_EQ(SubstituteFont(name).Family.toStdString(), c.family) << c.utf8Name;
        const std::string cp936 = text::Utf8ToCp936(c.utf8Name);
        EXPECT_EQ(SubstituteFont(std::string_view(cp936)).Family.toStdString(), c.family)
            << c.utf8Name << " as CP936";
    }
}

TEST_F(FontSubstitutionTest, InstalledFamiliesAreUsedAsTheyAre) {
    EXPECT_EQ(SubstituteFont(QStringLiteral("Liberation Serif")).Family,
              QStringLiteral("Liberation Serif"));
    EXPECT_EQ(SubstituteFont(QStringLiteral("noto serif cjk sc")).Family,
              QStringLiteral("Noto Serif CJK SC"));
}

TEST_F(FontSubstitutionTest, EveryTargetIsAnInstalledFamilyAndQtResolvesTheWindowsNames) {
    InstallFontSubstitutions();
    const QStringList families = QFontDatabase::families();
    for (const FontSubstitution& entry : FontSubstitutionTable()) {
        EXPECT_TRUE(families.contains(entry.Substitute.Family))
            << entry.Substitute.Family.toStdString() << " is not installed";
        // What a window asking for the Windows name really gets.
        QFont font(entry.WindowsName);
        font.setPixelSize(20);
        EXPECT_EQ(QFontInfo(font).family(), entry.Substitute.Family)
            << entry.WindowsName.toStdString();
    }
}
