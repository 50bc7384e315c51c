#include "platform/rtl/edit_mask.h"
#include "platform/rtl/locale.h"
#include "platform/text/cp936.h"

#include <gtest/gtest.h>

using namespace rtl;
using text::L;

TEST(FormatMaskText, FillsSlotsAndInsertsLiterals) {
    // FORMATTEXT hands its pattern on with ";0; " appended.
    const std::string ft = ";0; ";
    struct {
        std::string mask, value, text;
    } cases[] = {
        {"000-0000" + ft, "5551234", "555-1234"},
        {"(999)000-0000;0;_", "5551234", "(555)123-4___"},
        {"!(999)000-0000;0;_", "5551234", "(___)555-1234"},
        {"0-00" + ft, "12345", "1-2345"}, // left-overs stay, after the result
        {"!0-00" + ft, "12345", "123-45"},
        {"000" + ft, "1", "1  "},
        {"" + ft, "abc", "abc"},
        {"000;1;*" + ft, "1", "1**"}, // the mask's own fields win
        {">LL-000" + ft, "ab123", "AB-123"},
        {"<LL>LL<>LL" + ft, "AbCdEf", "abCDEf"},
        {"00/00/0000" + ft, "01022024", "01-02-2024"}, // the locale's separators
        {"00:00" + ft, "1230", "12:30"},
        {"\\(000\\)\\0" + ft, "123", "(123)0"},
        {"0_0" + ft, "12", "1 2"},
        {"aaa;0;", "x", "x  "}, // empty blank field: a blank
        // Save-literals: a stored value holds the literals already.
        {"000-0000;1;_", "555-1234", "555-1234"},
        {"000-0000;1;_", "5551234", "555-1234"},
        {"000-0000", "555-1234", "555-1234"}, // no fields: literals saved
        {"000-0000" + ft, "555-1234", "555--1234"},
        // Double-byte text: whole characters, in the pattern, value and blank.
        {"0000" + L("年") + "00" + L("月") + ft, "202403", L("2024年03月")},
        {L("乗") + "00" + L("丩") + ft, "12", L("乗12丩")}, // trail bytes '\' and 'L'
        {"CCC;0;_", L("中文"), L("中文_")},
        {">CCC;0;_", L("乤") + "b", L("乤B_")}, // trail byte 'a' stays
        {"000;0;" + L("口"), "1", L("1口口")},
    };
    for (auto& c : cases) EXPECT_EQ(FormatMaskText(c.mask, c.value), c.text) << c.mask;
}
