#include "report/core/resource_strings.h"

#include "platform/text/cp936.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace {

std::string WriteFile(const QTemporaryDir& dir, const std::string& name,
                      const std::string& content) {
    const std::string path = dir.path().toStdString() + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

TEST(ResourceStrings, TextsOfEverySubsystemInCp936) {
    struct Case {
        int id;
        const char* text; // UTF-8
    };
    const Case cases[] = {
        {53000, "查找文本"},
        {53048, "请键入页码和或用逗号分隔的页码范围（例如：1,3,5-12）。"},
        {53156, "打开(&O)..."},
        {53401, "顶(&T), mm"},
        {53636, "包含(&bands)"},
        {55000, "确认"},
        {55016, "A4 210 x 297 mm"},
        {55027, "#10 Envelope, 4 1/8  x 9 1/2\""},
        {55162, "1998年11月15日"},
        {55171, "否;是"},
        {55177, "yyyy''年''mm''月''dd''日''"},
        {55182, "h:nn"},
        {55199, "从"},
        {55210, "所选打印机错误"},
        {55337, "1"},
        {55348, "所有函数"},
        {55371, "NAMECASE(<String>)/转换<String>符号为小写,\"首字符大写."},
        {55439, "符号没定义"},
        {55442, "You can't place two or more %s objects on one page."},
        {55631, "REPORTLASTCHANGE/Returns report modification date"},
        {55665, "Release"},
        {55670, "Created"},
        {55111, ""}, // the system-variable slot without a caption
        {1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(LoadResourceString(c.id), text::L(c.text));
    }
}

TEST(ResourceStrings, LocalizeHookAndResourceModule) {
    TfrLocale& locale = TfrLocale::Instance();
    locale.OnLocalize = [](int id, std::string& s) {
        if (id == 55007) s = "Virtual";
    };
    EXPECT_EQ(LoadResourceString(55007), "Virtual");
    EXPECT_EQ(LoadResourceString(55435), text::L("缺省")); // hook left it empty
    locale.OnLocalize = nullptr;

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string good = WriteFile(dir, "en.txt",
                                       "; English texts\r\n"
                                       "55000=OK\r\n"
                                       "\n"
                                       "55439=Undefined symbol\n"
                                       "55200=Error\\nwhile calculating\\\\\n"
                                       "55435=默认\n");
    ASSERT_TRUE(locale.LoadResourceModule(good));
    EXPECT_EQ(LoadResourceString(55000), "OK");
    EXPECT_EQ(LoadResourceString(55439), "Undefined symbol");
    EXPECT_EQ(LoadResourceString(55200), "Error\nwhile calculating\\");
    EXPECT_EQ(LoadResourceString(55435), text::L("默认"));
    EXPECT_EQ(LoadResourceString(55001), text::L("取消")); // not in the module
    // A faulty module is refused and the loaded one stays.
    for (const char* bad : {"55000\n", "x=1\n", "55000=a\\q\n", "55000=trailing\\"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(locale.LoadResourceModule(WriteFile(dir, "bad.txt", bad)));
        EXPECT_EQ(LoadResourceString(55000), "OK");
    }
    EXPECT_FALSE(locale.LoadResourceModule(dir.path().toStdString() + "/missing.txt"));
    locale.UnloadResourceModule();
    EXPECT_EQ(LoadResourceString(55000), text::L("确认"));
}

TEST(ResourceStrings, TextsAreCutAtTheBufferOnACharacterBoundary) {
    TfrLocale& locale = TfrLocale::Instance();
    const std::string chinese = text::L("中");
    locale.OnLocalize = [&](int, std::string& s) {
        s = "ab";
        for (int i = 0; i < 600; ++i) s += chinese;
    };
    const std::string text = LoadResourceString(55000);
    locale.OnLocalize = nullptr;
    EXPECT_EQ(text.size(), 1022u); // "ab" and 510 whole characters: 1023 would split one
    EXPECT_EQ(text.substr(1020), chinese);
}

} // namespace
