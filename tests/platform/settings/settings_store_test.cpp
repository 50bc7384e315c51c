#include "platform/settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using settings::TRegIniFile;

namespace {

// Every test gets its own configuration folder.
class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }

    QString File() const { return home.path() + QStringLiteral("/Quorbel/Labelprint.ini"); }
    void WriteFile(const QByteArray& bytes) const {
        QDir().mkpath(home.path() + QStringLiteral("/Quorbel"));
        QFile f(File());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray ReadFile(const QString& name) const {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    const QString key = QStringLiteral("Software\\Quorbel\\Labelprint");
    QTemporaryDir home;
};

} // namespace

TEST(SettingsKey, TitleAndFileFollowTheKey) {
    EXPECT_EQ(settings::DefaultTitleFromProgram("/usr/bin/labelprint"), "labelprint");
    EXPECT_EQ(settings::DefaultTitleFromProgram("/opt/LabelPrint.Bin.x"), "Labelprint");
    EXPECT_EQ(settings::DefaultTitleFromProgram("A"), "A");
    qputenv("XDG_CONFIG_HOME", "/cfg");
    struct Case {
        const char* key;
        const char* file;
    } cases[] = {
        {"Software\\Quorbel\\Labelprint", "/cfg/Quorbel/Labelprint.ini"},
        {"\\Software\\Quorbel\\MRUFont", "/cfg/Quorbel/MRUFont.ini"},
        {"Software\\..\\..\\etc\\passwd", "/cfg/etc/passwd.ini"},
        {"Software/Quorbel//x", "/cfg/Quorbel/x.ini"},
        {"", "/cfg/settings.ini"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(settings::SettingsFileForKey(c.key), QString::fromUtf8(c.file)) << c.key;
    qunsetenv("XDG_CONFIG_HOME");
}

TEST_F(SettingsStore, ValuesComeBackInTheirSections) {
    {
        TRegIniFile store(key);
        EXPECT_EQ(store.FileName(), File());
        store.WriteInteger("Form\\TfrPreviewForm", "XPosition", -12);
        store.WriteBool("Form\\TfrPreviewForm", "Maximized", false);
        store.WriteString("ToolBar\\Standard", "DockName", QStringLiteral("顶部停靠"));
    }
    TRegIniFile store(key);
    EXPECT_EQ(store.ReadInteger("Form\\TfrPreviewForm", "XPosition", 5), -12);
    EXPECT_FALSE(store.ReadBool("Form\\TfrPreviewForm", "Maximized", true));
    EXPECT_EQ(store.ReadString("ToolBar\\Standard", "DockName", {}), QStringLiteral("顶部停靠"));
    EXPECT_TRUE(store.ValueExists("Form\\TfrPreviewForm", "XPosition"));
    EXPECT_FALSE(store.ValueExists("Form\\TfrDesignerForm", "XPosition"));
    EXPECT_TRUE(ReadFile(File()).contains("[Form]"));
}

TEST_F(SettingsStore, MissingOrHostileValuesGiveTheDefaults) {
    WriteFile("[Form]\n"
              "A\\Int=abc\nA\\Huge=99999999999\nA\\Spaced= 42 \nA\\Bool=maybe\nA\\One=1\n"
              "A\\List=a, b\nA\\Text=plain\nUnknown\\Key=whatever\n");
    TRegIniFile store(key);
    EXPECT_EQ(store.ReadInteger("Form\\A", "Int", 7), 7);
    EXPECT_EQ(store.ReadInteger("Form\\A", "Huge", 7), 7);
    EXPECT_EQ(store.ReadInteger("Form\\A", "Spaced", 7), 42);
    EXPECT_EQ(store.ReadInteger("Form\\A", "Missing", 7), 7);
    EXPECT_TRUE(store.ReadBool("Form\\A", "Bool", true));
    EXPECT_FALSE(store.ReadBool("Form\\A", "Bool", false));
    EXPECT_TRUE(store.ReadBool("Form\\A", "One", false));
    EXPECT_EQ(store.ReadString("Form\\A", "List", "d"), "d");
    EXPECT_EQ(store.ReadString("Form\\A", "Text", "d"), "plain");
    EXPECT_EQ(store.ReadString("Nowhere", "Text", "d"), "d");
}

TEST_F(SettingsStore, AWriteKeepsEveryOtherSectionAndValue) {
    WriteFile("[ToolBar]\nStandard\\isFloat=true\nStandard\\Width=300\n"
              "[Form]\nTfrDesignerForm\\TextFontName=Arial\n[Other]\nforeign=kept\n");
    {
        TRegIniFile store(key);
        store.WriteInteger("Form\\TfrPreviewForm", "Width", 640);
        store.EraseSection("Form\\Gone");
    }
    TRegIniFile store(key);
    EXPECT_TRUE(store.ReadBool("ToolBar\\Standard", "isFloat", false));
    EXPECT_EQ(store.ReadInteger("ToolBar\\Standard", "Width", 0), 300);
    EXPECT_EQ(store.ReadString("Form\\TfrDesignerForm", "TextFontName", {}), "Arial");
    EXPECT_EQ(store.ReadString("Other", "foreign", {}), "kept");
    EXPECT_EQ(store.ReadInteger("Form\\TfrPreviewForm", "Width", 0), 640);
}

TEST_F(SettingsStore, ADamagedFileGivesDefaultsAndIsKeptAsideOnTheFirstWrite) {
    const QByteArray damaged("[ToolBar]\nStandard\\Width=300\n\x01\x02\xff\xfe [Form\n"
                             "TfrPreviewForm\\Width=5\n");
    WriteFile(damaged);
    {
        TRegIniFile store(key);
        EXPECT_EQ(store.ReadInteger("Form\\TfrPreviewForm", "Width", 9), 9);
    }
    EXPECT_EQ(ReadFile(File()), damaged); // reading never rewrites it
    {
        TRegIniFile store(key);
        store.WriteInteger("Form\\TfrPreviewForm", "Width", 640);
    }
    EXPECT_EQ(ReadFile(File() + ".damaged"), damaged);
    EXPECT_EQ(TRegIniFile(key).ReadInteger("Form\\TfrPreviewForm", "Width", 0), 640);
    EXPECT_EQ(TRegIniFile(key).ReadInteger("ToolBar\\Standard", "Width", 0), 300);
}
