#include "platform/rtl/collation.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace rtl;
using text::L;

namespace {

std::vector<std::string> Lines(const TStringList& l) {
    std::vector<std::string> r;
    for (int i = 0; i < l.Count(); ++i) r.push_back(l[i]);
    return r;
}

std::vector<std::string> Utf8Lines(std::initializer_list<const char*> utf8) {
    std::vector<std::string> r;
    for (const char* s : utf8) r.push_back(L(s));
    return r;
}

} // namespace

TEST(StringList, TextSplitsAtAnyLineBreakAndJoinsWithCrLf) {
    struct {
        std::string text;
        std::vector<std::string> lines;
        std::string joined;
    } cases[] = {
        {"", {}, ""},
        {"a", {"a"}, "a\r\n"},
        {"a\r\n", {"a"}, "a\r\n"},
        {"\r\n", {""}, "\r\n"},
        {"a\r\nb", {"a", "b"}, "a\r\nb\r\n"},
        {"a\rb\nc", {"a", "b", "c"}, "a\r\nb\r\nc\r\n"},
        {"a\n\nb", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
        {"a\r\r\nb", {"a", "", "b"}, "a\r\n\r\nb\r\n"},
        {"a\n\r", {"a", ""}, "a\r\n\r\n"},
        {std::string("x\0y", 3), {std::string("x\0y", 3)}, std::string("x\0y\r\n", 5)},
    };
    for (auto& c : cases) {
        TStringList l;
        l.SetText(c.text);
        EXPECT_EQ(Lines(l), c.lines);
        EXPECT_EQ(l.Text(), c.joined);
    }
}

TEST(StringList, IndexOfAndNamesIgnoreAsciiCaseOnly) {
    // 0xD9 0x61 / 0xD9 0x41: two characters whose trail bytes look like a / A.
    TStringList l{"Alpha", "\xD9\x61", "NUM=123", "Title=" + L("名称"), "plain", "=empty name"};
    EXPECT_EQ(l.IndexOf("ALPHA"), 0);
    EXPECT_EQ(l.IndexOf("\xD9\x61"), 1);
    EXPECT_EQ(l.IndexOf("\xD9\x41"), -1);
    EXPECT_EQ(l.IndexOf("alph"), -1);
    EXPECT_EQ(l.IndexOfName("num"), 2);
    EXPECT_EQ(l.Values("TITLE"), L("名称"));
    EXPECT_EQ(l.Values("missing"), "");
    EXPECT_EQ(l.Names(2), "NUM");
    EXPECT_EQ(l.Names(4), ""); // no '='
    EXPECT_EQ(l.ValueFromIndex(2), "123");
    EXPECT_EQ(l.IndexOfName(""), 5);

    l.SetValue("num", "7");
    EXPECT_EQ(l[2], "num=7");
    l.SetValue("New", "x");
    EXPECT_EQ(l[l.Count() - 1], "New=x");
    l.SetValue("NUM", "");
    EXPECT_EQ(l.IndexOfName("num"), -1);
}

TEST(StringList, SortedOrderIsPinyinWithLatinFirstIgnoringCase) {
    // GBK's second-level characters are ordered by radical, not by reading:
    // a byte-wise sort gets these wrong.
    TStringList l;
    l.SetSorted(true);
    for (const char* s : {"中", "兀", "丐", "佟", "乜", "北", "阿", "亟", "菜"}) l.Add(L(s));
    EXPECT_EQ(Lines(l), Utf8Lines({"阿", "北", "菜", "丐", "亟", "乜", "佟", "兀", "中"}));
    l.Clear();
    for (const char* s : {"中", "长", "阿", "北"}) l.Add(L(s));
    EXPECT_EQ(Lines(l), Utf8Lines({"阿", "北", "长", "中"}));

    TStringList mixed;
    mixed.SetDuplicates(TDuplicates::dupAccept);
    for (const char* s : {"b", "编号", "A", "中", "a", "10", "B", "阿", "9", "Zeta", "alpha"})
        mixed.Add(L(s));
    mixed.SetSorted(true);
    EXPECT_EQ(Lines(mixed),
              Utf8Lines({"10", "9", "A", "a", "alpha", "B", "b", "Zeta", "阿", "编号", "中"}));

    EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
    EXPECT_EQ(AnsiCompareText("abc", "ABC"), 0);
    EXPECT_LT(AnsiCompareText(L("中丐"), L("中兀")), 0); // gai before wu
    EXPECT_LT(AnsiCompareText(L("长安街"), L("长城")), 0);
    EXPECT_LT(AnsiCompareText("Z", L("阿")), 0);
}

TEST(StringList, SortedListFindsAndHandlesDuplicates) {
    TStringList l;
    l.SetSorted(true);
    EXPECT_EQ(l.Add("b"), 0);
    EXPECT_EQ(l.Add("a"), 0);
    EXPECT_EQ(l.Add("B"), 1); // dupIgnore: the line already there
    EXPECT_EQ(l.Count(), 2);
    int index;
    EXPECT_TRUE(l.Find("A", index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(l.Find("ab", index));
    EXPECT_EQ(index, 1);
    EXPECT_EQ(l.IndexOf("B"), 1);

    l.SetDuplicates(TDuplicates::dupError);
    EXPECT_THROW(l.Add("A"), EStringListError);
    l.SetDuplicates(TDuplicates::dupAccept);
    l.Add("A");
    EXPECT_EQ(Lines(l), (std::vector<std::string>{"A", "a", "b"}));

    EXPECT_THROW(l.Insert(0, "x"), EStringListError);
    EXPECT_THROW(l.Put(0, "x"), EStringListError);
    EXPECT_THROW(l.Exchange(0, 1), EStringListError);
    // Values on a sorted list re-sort the changed line.
    l.Clear();
    l.Add("k=1");
    l.Add("m=2");
    l.SetValue("K", "9");
    EXPECT_EQ(Lines(l), (std::vector<std::string>{"K=9", "m=2"}));
}

TEST(StringList, SortingManyLinesStaysConsistent) {
    // Random CP936 text: sorting it must give an order in which every
    // neighbouring pair compares in order, and Find must find each line.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> len(0, 6), kind(0, 3), ascii(1, 126), lead(0xB0, 0xF7),
        trail(0xA1, 0xFE);
    TStringList l;
    l.SetDuplicates(TDuplicates::dupAccept);
    for (int n = 0; n < 3000; ++n) {
        std::string s;
        for (int k = len(rng); k > 0; --k) {
            if (kind(rng) == 0) {
                s += static_cast<char>(lead(rng));
                s += static_cast<char>(trail(rng));
            } else {
                s += static_cast<char>(ascii(rng));
            }
        }
        l.Add(s);
    }
    l.SetSorted(true);
    for (int i = 1; i < l.Count(); ++i)
        ASSERT_LE(TStringList::CompareLines(l[i - 1], l[i]), 0) << i;
    for (int i = 0; i < l.Count(); i += 97) {
        int index;
        ASSERT_TRUE(l.Find(l[i], index)) << i;
        EXPECT_TRUE(SameText(l[index], l[i]));
    }
}

TEST(StringList, ObjectsCommaTextAndEditing) {
    int x = 1, y = 2;
    TStringList l;
    l.AddObject("x", &x);
    l.AddObject("y", &y);
    l.Insert(1, "mid");
    EXPECT_EQ(l.ObjectAs<int>(0), &x);
    EXPECT_EQ(l.Objects(1), nullptr);
    EXPECT_EQ(l.IndexOfObject(&y), 2);
    l.Move(2, 0);
    EXPECT_EQ(Lines(l), (std::vector<std::string>{"y", "x", "mid"}));
    l.Exchange(0, 2);
    EXPECT_EQ(l.ObjectAs<int>(2), &y);
    l.Delete(1);
    EXPECT_EQ(l.Count(), 2);
    EXPECT_THROW(l.Get(2), EStringListError);
    EXPECT_THROW(l.Delete(-1), EStringListError);
    try {
        l.Objects(5);
    } catch (const EStringListError& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (5)");
    }

    TStringList copy;
    copy.Assign(l);
    EXPECT_TRUE(copy.Equals(l));
    EXPECT_EQ(copy.ObjectAs<int>(1), &y);

    struct {
        std::vector<std::string> lines;
        std::string comma;
    } cases[] = {
        {{"a", "b c", "", "d\"e", L("名称")}, "a,\"b c\",,\"d\"\"e\"," + L("名称")},
        {{""}, "\"\""},
        {{}, ""},
    };
    for (auto& c : cases) {
        TStringList t;
        for (auto& s : c.lines) t.Add(s);
        EXPECT_EQ(t.CommaText(), c.comma);
        TStringList back;
        back.SetCommaText(c.comma);
        EXPECT_EQ(Lines(back), c.lines) << c.comma;
    }
    TStringList parsed;
    parsed.SetCommaText("  a b , \"c,d\" ,e,");
    EXPECT_EQ(Lines(parsed), (std::vector<std::string>{"a", "b", "c,d", "e", ""}));
}

TEST(StringList, StreamsItsTextAsBytes) {
    TStringList l{"one", L("二")};
    TMemoryStream m;
    l.SaveToStream(m);
    EXPECT_EQ(m.Bytes(), "one\r\n" + L("二") + "\r\n");
    m.SetPosition(5); // loads from the current position
    TStringList back;
    back.LoadFromStream(m);
    EXPECT_EQ(Lines(back), Utf8Lines({"二"}));
}
