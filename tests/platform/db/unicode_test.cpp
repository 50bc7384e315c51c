// The database layer's own UTF-8 to CP936 conversion gives exactly what the
// text module gives, for every character and for broken input.

#include "platform/db/unicode.h"
#include "platform/text/cp936.h"

#include <gtest/gtest.h>

namespace {

std::string Utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | c >> 6);
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | c >> 12);
        s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

} // namespace

TEST(DbUnicode, Cp936ConversionMatchesTheTextModuleForEveryCharacter) {
    // Every character of the plane but the surrogates, in runs of 64 between
    // ASCII, twice (the second time from what was kept).
    for (int round = 0; round < 2; ++round) {
        for (char32_t first = 1; first < 0x10000; first += 64) {
            std::string s = "a";
            for (char32_t c = first; c < first + 64 && c < 0x10000; ++c)
                if (c < 0xD800 || c > 0xDFFF) s += Utf8(c) + (c % 7 == 0 ? "b" : "");
            ASSERT_EQ(db::Utf8ToCp936(s), text::Utf8ToCp936(s))
                << "from U+" << std::hex << static_cast<unsigned>(first);
        }
    }
}

TEST(DbUnicode, Cp936ConversionOfBrokenOrUnusualInputMatchesTheTextModule) {
    const std::string cases[] = {
        "",
        "plain ascii",
        "\xE5\x95\x86\xE5\x93\x81 label",     // 商品
        "\xF0\x9F\x98\x80 outside the plane", // four bytes
        "\xC0\xAF overlong",
        "\xE0\x80\xAF overlong",
        "\xED\xA0\x80 surrogate",
        "cut \xE5\x95",
        "cut \xC3",
        "\x80 stray continuation",
        "\xFF\xFE bytes that never start UTF-8",
        "\xE2\x82\xAC euro \xC2\xA5 yen",
        std::string("nul \0 inside", 12),
    };
    for (const std::string& s : cases) EXPECT_EQ(db::Utf8ToCp936(s), text::Utf8ToCp936(s)) << s;
}
