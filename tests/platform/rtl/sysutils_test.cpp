#include "platform/rtl/locale.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace rtl;
using text::L;

TEST(RtlStrings, CopyPosDeleteInsert) {
    EXPECT_EQ(Copy("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Copy("abcdef", 0, 2), "ab"); // index below 1 counts as 1
    EXPECT_EQ(Copy("abcdef", -5, 2), "ab");
    EXPECT_EQ(Copy("abcdef", 7, 1), ""); // past the end
    EXPECT_EQ(Copy("abcdef", 3, 0), "");
    EXPECT_EQ(Copy("abcdef", 3, -1), "");
    EXPECT_EQ(Copy("abcdef", 5, 100), "ef"); // clipped

    EXPECT_EQ(Pos("cd", "abcdcd"), 3);
    EXPECT_EQ(Pos("x", "abc"), 0);
    EXPECT_EQ(Pos("", "abc"), 0);

    struct {
        const char* s;
        int index, count;
        const char* out;
    } deletes[] = {{"abcdef", 2, 2, "adef"},
                   {"abcdef", 5, 10, "abcd"},
                   {"abc", 0, 1, "abc"},
                   {"abc", 4, 1, "abc"},
                   {"abc", 1, 0, "abc"}};
    for (auto& d : deletes) {
        std::string s = d.s;
        Delete(s, d.index, d.count);
        EXPECT_EQ(s, d.out) << d.s << " " << d.index << " " << d.count;
    }
    struct {
        const char* s;
        int index;
        const char* out;
    } inserts[] = {
        {"abc", 2, "aXYbc"}, {"abc", 0, "XYabc"}, {"abc", 9, "abcXY"}, {"abc", 4, "abcXY"}};
    for (auto& c : inserts) {
        std::string s = c.s;
        Insert("XY", s, c.index);
        EXPECT_EQ(s, c.out);
    }
}

TEST(RtlStrings, TrimRemovesControlCharactersAndBlanks) {
    EXPECT_EQ(Trim(" \t\r\n x y \x01\x1F "), "x y");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x \n"), "  x");
    EXPECT_EQ(Trim("   "), "");
    // Full-width blanks are characters, not control codes: kept.
    EXPECT_EQ(Trim(L("　a")), L("　a"));
}

TEST(RtlStrings, CaseFoldingNeverTouchesTrailBytes) {
    // "佟" is 0xD9 0x61 in GBK: its trail byte looks like 'a'.
    const std::string tong = "\xD9\x61";
    EXPECT_EQ(UpperCase("ab" + tong + "cD"), "AB" + tong + "CD");
    EXPECT_EQ(LowerCase("AB\xD9\x41"), "ab\xD9\x41");
    EXPECT_EQ(AnsiUpperCase(L("名称abc")), L("名称ABC"));
    EXPECT_TRUE(SameText("Num", "NUM"));
    EXPECT_FALSE(SameText("Num", "Nu"));
    // Two different characters that differ only in the case of a trail byte.
    EXPECT_FALSE(SameText("\xD9\x61", "\xD9\x41"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_GT(CompareStr("abc", "ABC"), 0);
}

TEST(RtlNumbers, IntConversions) {
    EXPECT_EQ(IntToStr(-42), "-42");
    EXPECT_EQ(IntToStr(2147483648LL), "2147483648");
    struct {
        const char* in;
        int out;
    } good[] = {{"0", 0},
                {"  12", 12},
                {"-7", -7},
                {"+7", 7},
                {"$FF", 255},
                {"$ffffffff", -1},
                {"2147483647", 2147483647},
                {"-2147483648", -2147483647 - 1},
                {"0x10", 16}};
    for (auto& c : good) EXPECT_EQ(StrToInt(c.in), c.out) << c.in;
    const char* bad[] = {"",           " ",           "12 ", "1.5", "abc",
                         "2147483648", "-2147483649", "$",   "$1G", "--1"};
    for (const char* s : bad) {
        EXPECT_THROW(StrToInt(s), EConvertError) << s;
        EXPECT_EQ(StrToIntDef(s, 99), 99);
    }
    try {
        StrToInt("x1");
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'x1' is not a valid integer value");
    }
}

TEST(RtlNumbers, FloatConversions) {
    struct {
        const char* in;
        double out;
    } good[] = {{"1.5", 1.5}, {" -2.25 ", -2.25}, {"3", 3},          {".5", 0.5},
                {"5.", 5},    {"1e3", 1000},      {"1.5E-2", 0.015}, {"+4", 4}};
    for (auto& c : good) EXPECT_DOUBLE_EQ(StrToFloat(c.in), c.out) << c.in;
    const char* bad[] = {"", "abc", "1,5", "1e", "1.2.3", "--1", "e5", "1e5x", "inf", "nan"};
    for (const char* s : bad) EXPECT_THROW(StrToFloat(s), EConvertError) << s;
    try {
        StrToFloat("1,5");
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'1,5' is not a valid floating point value");
    }

    struct {
        double in;
        const char* out;
    } text[] = {{0, "0"},
                {-0.0, "0"},
                {1, "1"},
                {-2.5, "-2.5"},
                {0.1, "0.1"},
                {1.0 / 3, "0.333333333333333"},
                {123456789012345.0, "123456789012345"},
                {1e15, "1E15"},
                {1.5e-5, "1.5E-5"},
                {0.0001, "0.0001"},
                {1.23456789012345678e20, "1.23456789012346E20"},
                {-1e-10, "-1E-10"}};
    for (auto& c : text) EXPECT_EQ(FloatToStr(c.in), c.out) << c.out;
}

TEST(RtlNumbers, RoundHalvesToEvenAndTruncTowardZero) {
    struct {
        double in;
        long long round, trunc;
    } cases[] = {
        {0.5, 0, 0},    {1.5, 2, 1},    {2.5, 2, 2},    {-0.5, 0, 0},
        {-1.5, -2, -1}, {2.4999, 2, 2}, {-2.7, -3, -2}, {1e10 + 0.5, 10000000000LL, 10000000000LL}};
    for (auto& c : cases) {
        EXPECT_EQ(Round(c.in), c.round) << c.in;
        EXPECT_EQ(Trunc(c.in), c.trunc) << c.in;
    }
}

TEST(RtlLocale, DecimalSeparatorScopeRestoresOnException) {
    ASSERT_EQ(FormatSettings().DecimalSeparator, '.');
    try {
        DecimalSeparatorScope scope(',');
        EXPECT_EQ(FloatToStr(1.5), "1,5");
        EXPECT_DOUBLE_EQ(StrToFloat("2,5"), 2.5);
        throw std::runtime_error("x");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(FormatSettings().DecimalSeparator, '.');
    EXPECT_EQ(FormatSettings().LongDayNames[0], L("星期日"));
    EXPECT_EQ(FormatSettings().TimePMString, L("下午"));
}

TEST(RtlDates, EncodeDecodeAndText) {
    struct {
        int y, m, d;
        double serial;
    } dates[] = {{1899, 12, 30, 0},      {1900, 1, 1, 2},    {2000, 2, 29, 36585},
                 {2026, 12, 9, 46365},   {1899, 12, 29, -1}, {1, 1, 1, -693593},
                 {9999, 12, 31, 2958465}};
    for (auto& c : dates) {
        EXPECT_DOUBLE_EQ(EncodeDate(c.y, c.m, c.d), c.serial) << c.y << "-" << c.m;
        int y, m, d;
        DecodeDate(c.serial, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
    }
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);

    const double t = EncodeDate(2024, 3, 5) + EncodeTime(9, 7, 3, 0);
    int h, n, s, z;
    DecodeTime(t, h, n, s, z);
    EXPECT_EQ(h * 10000 + n * 100 + s, 90703);
    EXPECT_EQ(DateTimeToStr(t), "2024-3-5 9:07:03");
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 3, 5)), "2024-3-5"); // midnight: no time
    // Before 1899-12-30 the fraction is still the time of day.
    EXPECT_EQ(DateTimeToStr(-1.25), "1899-12-29 6:00:00");
}
