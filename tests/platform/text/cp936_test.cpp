#include "platform/text/cp936.h"

#include <gtest/gtest.h>

using namespace text;

TEST(Cp936, RoundTripsChineseAsciiAndEuro) {
    const std::string utf8 = "条码 ABC 打印€";
    const std::string gbk = Utf8ToCp936(utf8);
    // 条 = CC F5, 码 = C2 EB, € = 80 in the Windows code page.
    EXPECT_EQ(gbk.substr(0, 4), "\xCC\xF5\xC2\xEB");
    EXPECT_EQ(static_cast<unsigned char>(gbk.back()), 0x80);
    EXPECT_EQ(Cp936ToUtf8(gbk), utf8);
    EXPECT_EQ(QStringToCp936(Cp936ToQString(gbk)), gbk);
}

TEST(Cp936, UnconvertibleAndInvalidInputBecomesQuestionMarks) {
    struct Case {
        std::string in;
        std::string out;
    } toGbk[] = {
        {"Ωмир", "\xA6\xB8\xA7\xDE\xA7\xDA\xA7\xE2"}, // Greek and Cyrillic are in GBK
        {"à😀äb", "\xA8\xA4??b"},                      // the emoji and ä are not
        {"a\xC3(b", "a?(b"},                          // broken UTF-8 keeps the next char
        {"\xE4\xB8", "?"},                            // truncated at the end
        {"ῼ", "?"},
    };
    for (const auto& c : toGbk) EXPECT_EQ(Utf8ToCp936(c.in), c.out) << c.in;

    struct Case2 {
        std::string in;
        std::string out;
    } fromGbk[] = {
        {"\xFF", "?"},             // never a valid byte
        {"ab\xCC", "ab?"},         // lead byte without its trail
        {"\xCC\xF5\xFFx", "条?x"}, // good, bad, good
    };
    for (const auto& c : fromGbk) EXPECT_EQ(Cp936ToUtf8(c.in), c.out);
    EXPECT_EQ(QStringToCp936(QString(QChar(0xD800))), "?"); // lone surrogate
}

TEST(Cp936, LeadBytes) {
    EXPECT_FALSE(IsLeadByte(0x80));
    EXPECT_TRUE(IsLeadByte(0x81));
    EXPECT_TRUE(IsLeadByte(0xFE));
    EXPECT_FALSE(IsLeadByte(0xFF));
    EXPECT_FALSE(IsLeadByte('A'));
}
