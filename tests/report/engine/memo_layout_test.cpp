// Memo text layout: wrapping, alignment, highlight, suppress, splitting,
// output records and drawing on real devices.
//
// Most cases use 宋体 at 10 points: on the 96-dpi measuring surface it is 13
// pixels high, an ASCII character (a blank too) is 7 pixels wide and a
// Chinese one 13, so the expected positions are plain numbers. With the
// default line spacing of 2 the lines are 15 pixels apart.

#include "report/engine/memo_layout.h"

#include "platform/gdi/gui_app.h"
#include "platform/gdi/qpainter_canvas.h"
#include "platform/gdi/recording_canvas.h"
#include "platform/rtl/stream.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/model/band_view.h"
#include "report/model/line_view.h"
#include "report/model/view_context.h"

#include <QDir>
#include <QImage>
#include <QPdfWriter>
#include <QPrinter>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

using rtl::TVariant;
using text::L;

namespace {

constexpr int kAscii = 7;
constexpr int kHan = 13;
constexpr int kAdvance = 15;
const std::string kMarker(1, frParagraphMarker);

// UTF-8 test text to CP936, "¶" standing for the paragraph marker.
std::string Cp(std::string_view utf8) {
    std::string out;
    const std::string_view mark = "¶";
    for (std::size_t at; (at = utf8.find(mark)) != std::string_view::npos;) {
        out += L(utf8.substr(0, at)) + kMarker;
        utf8.remove_prefix(at + mark.size());
    }
    return out + L(utf8);
}

// And back, for messages and comparisons.
std::string Show(const std::string& cp936) {
    std::string s = text::Cp936ToUtf8(cp936);
    std::string out;
    for (char c : s) out += c == frParagraphMarker ? std::string("¶") : std::string(1, c);
    return out;
}

std::vector<std::string> Lines(const rtl::TStringList& list) {
    std::vector<std::string> v;
    for (int i = 0; i < list.Count(); ++i) v.push_back(Show(list[i]));
    return v;
}

// A memo in 宋体 10 pt with the text area `width` pixels wide (GapX 2 on each side).
std::unique_ptr<TfrMemoView> SongMemo(int left, int top, int width, int height) {
    auto memo = std::make_unique<TfrMemoView>();
    memo->Font.Name = L("宋体");
    memo->Font.Size = 10;
    memo->SetBounds(left, top, width, height);
    memo->PreparedMode = true; // as every template object while a report is built
    return memo;
}

struct TextCall {
    int x = 0, y = 0;
    std::string text; // UTF-8
    std::string call;
    int end = 0;
};

std::vector<TextCall> TextCalls(const gdi::RecordingCanvas& canvas) {
    std::vector<TextCall> calls;
    for (const gdi::CanvasRecord& r : canvas.Records()) {
        if (r.Call.rfind("ExtTextOut(", 0) != 0) continue;
        TextCall c;
        std::sscanf(r.Call.c_str(), "ExtTextOut(%d,%d,", &c.x, &c.y);
        c.text = Show(r.Text);
        c.call = r.Call;
        calls.push_back(c);
    }
    return calls;
}

// The memo as a prepared page stores it: the record after its kind byte.
std::unique_ptr<TfrMemoView> ReadBack(const std::string& bytes) {
    EXPECT_FALSE(bytes.empty());
    EXPECT_EQ(bytes[0], static_cast<char>(gtMemo));
    auto memo = std::make_unique<TfrMemoView>();
    memo->PreparedMode = true;
    rtl::TMemoryStream ms;
    ms.WriteBytes(bytes.substr(1));
    ms.SetPosition(0);
    memo->ReadFromStream(ms);
    return memo;
}

class MemoLayoutTest : public gdi_test::GuiTest {
protected:
    void SetUp() override {
        InstallMemoLayout();
        frEngine().OutputMode = true;
    }
};

// --- Wrapping ---------------------------------------------------------------------

TEST_F(MemoLayoutTest, WrapCases) {
    struct Case {
        const char* name;
        const char* text;
        int width; // available pixels
        uint16_t flags;
        int charSpacing;
        std::vector<std::string> lines;
    };
    const uint16_t ww = flWordWrap;
    const uint16_t wb = flWordWrap | flWordBreak;
    const Case cases[] = {
        {"fits", "Hello", 40, ww, 0, {"Hello¶"}},
        {"word wrap at the blank", "aaa bbb ccc", 7 * kAscii, ww, 0, {"aaa bbb", "ccc¶"}},
        {"the last blank of the line breaks", "ab  cd", 4 * kAscii, ww, 0, {"ab ", "cd¶"}},
        {"a word longer than the line", "abcdefghij", 4 * kAscii, ww, 0, {"abcd", "efgh", "ij¶"}},
        {"a long word after a blank", "ab cdefghij", 4 * kAscii, ww, 0, {"ab", "cdef", "ghij¶"}},
        {"hard breaks end paragraphs", "ab\r\n\r\ncd\nef", 100, ww, 0, {"ab¶", "cd¶", "ef¶"}},
        {"Chinese breaks between characters",
         "中文测试文本",
         2 * kHan + 4,
         ww,
         0,
         {"中文", "测试", "文本¶"}},
        {"mixed ASCII and Chinese", "AB中文CD", 2 * kAscii + 2 * kHan, ww, 0, {"AB中文", "CD¶"}},
        {"Chinese after a blank",
         "标签 中文测试",
         3 * kHan + kAscii,
         ww,
         0,
         {"标签", "中文测", "试¶"}},
        {"word break keeps Chinese characters whole",
         "中文中文中文",
         2 * kHan + 4,
         wb,
         0,
         {"中文", "中文", "中文¶"}},
        {"word break without hyphenation points", "abcdefgh", 4 * kAscii, wb, 0, {"abcd", "efgh¶"}},
        {"a character wider than the memo", "中a中", 10, ww, 0, {"中", "a", "中¶"}},
        {"no width at all", "ab中", 0, ww, 0, {"a", "b", "中¶"}},
        {"negative width", "中文", -30, ww, 0, {"中", "文¶"}},
        {"a single character never breaks", "中", 5, ww, 0, {"中¶"}},
        {"character spacing counts", "abcd", 4 * kAscii, ww, 3, {"ab", "cd¶"}},
        {"word wrap off", "aaa bbb ccc", 20, 0, 0, {"aaa bbb ccc¶"}},
    };
    for (const Case& c : cases) {
        auto memo = SongMemo(0, 0, c.width + 4, 100);
        memo->Flags = c.flags;
        memo->CharSpacing = c.charSpacing;
        memo->WorkMemo.Clear();
        memo->WorkMemo.Add(Cp(c.text));
        WrapMemoText(*memo);
        EXPECT_EQ(Lines(frEngine().WrappedLines), c.lines) << c.name;
        EXPECT_EQ(memo->TextExtent, static_cast<int>(c.lines.size()) * kAdvance + 2) << c.name;
        EXPECT_EQ(memo->LineAdvance, kAdvance) << c.name;
    }
}

TEST_F(MemoLayoutTest, RotatedTextWrapsAlongTheHeight) {
    auto memo = SongMemo(0, 0, 20, 2 * kHan + 2);
    memo->Alignment = frtaVertical;
    memo->WorkMemo.SetText(L("中文测试"));
    WrapMemoText(*memo);
    EXPECT_EQ(Lines(frEngine().WrappedLines), (std::vector<std::string>{"中文", "测试¶"}));
    EXPECT_EQ(memo->TextExtent, 2 * kAdvance + 2 * memo->GapX);
}

TEST_F(MemoLayoutTest, TheDesignerKeepsAnOverlongExpressionOnOneLineAndShowsItsEnd) {
    frEngine().OutputMode = false;
    auto memo = SongMemo(0, 0, 40, 30);
    memo->Memo.SetText("[frDBDataSet1.\"Title\"]");
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
    memo->Paint(canvas);
    const auto calls = TextCalls(canvas);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "[frDBDataSet1.\"Title\"]");
    // Right-aligned: the end of the expression shows.
    EXPECT_EQ(calls[0].x, 0 + 41 - 2 - 22 * kAscii - 1);
}

// Whatever the bytes and the width: the walk ends, every line fits or holds a
// single character, no double-byte character is split, and nothing but blanks
// and line breaks is lost.
TEST_F(MemoLayoutTest, WrappingAnyTextEndsAndKeepsCharactersWhole) {
    gdi::Canvas& canvas = frMeasuringCanvas();
    gdi::TFont font;
    font.Name = L("宋体");
    font.Height = -13;
    canvas.SetFont(font);
    const std::vector<std::string> alphabet = {"a",     "W",        " ",       " ",     "\r",
                                               "\n",    ",",        "-",       L("中"), L("丂"),
                                               L("亐"), "\x81\x5b", "\xfe\x40"};
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::string> chars;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i) chars.push_back(alphabet[random() % alphabet.size()]);
        std::string textBytes;
        for (const std::string& c : chars) textBytes += c;
        const int width = static_cast<int>(random() % 80) - 10;
        const bool wordBreak = random() % 2 == 0;
        rtl::TStringList lines;
        WrapParagraph(canvas, textBytes, width, wordBreak, lines);

        std::vector<std::string> kept; // characters other than blanks and line breaks
        for (const std::string& c : chars)
            if (c != " " && c != "\r" && c != "\n") kept.push_back(c);
        std::size_t k = 0;
        for (int i = 0; i < lines.Count(); ++i) {
            std::string line = lines[i];
            if (!line.empty() && line.back() == frParagraphMarker) line.pop_back();
            int count = 0;
            for (std::size_t pos = 0; pos < line.size(); ++count) {
                const std::size_t len = gdi::CharLength(line, pos);
                const std::string c = line.substr(pos, len);
                pos += len;
                if (c == " " || c == "\r" || c == "\n") continue;
                ASSERT_LT(k, kept.size()) << Show(textBytes);
                ASSERT_EQ(c, kept[k]) << "split or changed in " << Show(textBytes);
                ++k;
            }
            // Blanks before a break stay on the line, where they show nothing;
            // a paragraph may end in blanks alone.
            std::string shown = line;
            while (!shown.empty() && shown.back() == ' ') shown.pop_back();
            EXPECT_TRUE(count <= 1 || shown.empty() || canvas.TextWidth(shown) <= width)
                << Show(line) << " in " << width;
        }
        EXPECT_EQ(k, kept.size()) << "lost text of " << Show(textBytes);
    }
}

TEST_F(MemoLayoutTest, HyphenationPointsFollowTheVowelRules) {
    EXPECT_TRUE(FindHyphenPoints("abc").empty()); // under four characters
    EXPECT_TRUE(FindHyphenPoints("abcdefgh").empty());
    // The vowel set only holds bytes that start double-byte characters, so
    // Chinese words have no points and are never split.
    EXPECT_TRUE(FindHyphenPoints(L("中文中文中文")).empty());
    // Only a lone byte at the end is a single character of that set.
    EXPECT_EQ(FindHyphenPoints("abc\xC0"), (std::vector<int>{2}));
    EXPECT_EQ(FindHyphenPoints(L("中") + "bc\xC0"), (std::vector<int>{2}));
}

// --- Alignment on the recording canvas ---------------------------------------------

TEST_F(MemoLayoutTest, AlignmentPositions) {
    // Memo (10, 20) 104 × 61: OutputRect (10,20)-(115,82), 105 × 62. Two
    // wrapped lines: "ab cd" (35 pixels, one blank, not a paragraph's end) and
    // "中文" (26 pixels, the paragraph's end).
    struct Case {
        int alignment;
        int x0, y0, x1, y1;
        const char* justify; // of the first line, or ""
    };
    const int L0 = frtaLeft, R = frtaRight, C = frtaCenter, J = frtaJustify;
    const int M = frtaMiddle, B = frtaDown, V = frtaVertical;
    const Case cases[] = {
        // Horizontal: x by alignment, y by vertical alignment.
        {L0, 12, 21, 12, 36, ""},
        {R, 77, 21, 86, 36, ""},
        {C, 45, 21, 49, 36, ""},
        {J, 12, 21, 12, 36, "justify=66/1"},
        {L0 | M, 12, 36, 12, 51, ""}, // two lines in room for four: one line lower
        {R | M, 77, 36, 86, 51, ""},
        {C | M, 45, 36, 49, 51, ""},
        {J | M, 12, 36, 12, 51, "justify=66/1"},
        {L0 | B, 12, 50, 12, 65, ""},
        {R | B, 77, 50, 86, 65, ""},
        {C | B, 45, 50, 49, 65, ""},
        {J | B, 12, 50, 12, 65, "justify=66/1"},
        // Rotated, reading upwards: y by alignment, x by vertical alignment.
        {V | L0, 12, 81, 27, 81, ""}, // from the lower edge
        {V | R, 12, 56, 27, 47, ""},
        {V | C, 12, 68, 27, 63, ""},
        {V | J, 12, 81, 27, 81, "justify=25/1"},
        {V | L0 | M, 47, 81, 62, 81, ""},
        {V | R | M, 47, 56, 62, 47, ""},
        {V | C | M, 47, 68, 62, 63, ""},
        {V | J | M, 47, 81, 62, 81, "justify=25/1"},
        {V | L0 | B, 83, 81, 98, 81, ""},
        {V | R | B, 83, 56, 98, 47, ""},
        {V | C | B, 83, 68, 98, 63, ""},
        {V | J | B, 83, 81, 98, 81, "justify=25/1"},
    };
    for (const Case& c : cases) {
        auto memo = SongMemo(10, 20, 104, 61);
        memo->Alignment = c.alignment;
        memo->Memo.Add(L("ab cd"));
        memo->Memo.Add(L("中文") + kMarker);
        gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
        memo->Paint(canvas);
        const auto calls = TextCalls(canvas);
        ASSERT_EQ(calls.size(), 2u) << c.alignment;
        EXPECT_EQ(calls[0].text, "ab cd");
        EXPECT_EQ(calls[1].text, "中文");
        EXPECT_EQ(calls[0].x, c.x0) << c.alignment;
        EXPECT_EQ(calls[0].y, c.y0) << c.alignment;
        EXPECT_EQ(calls[1].x, c.x1) << c.alignment;
        EXPECT_EQ(calls[1].y, c.y1) << c.alignment;
        const bool justified = calls[0].call.find("justify=") != std::string::npos;
        EXPECT_EQ(justified, *c.justify != 0) << calls[0].call;
        if (justified) {
            EXPECT_NE(calls[0].call.find(c.justify), std::string::npos) << calls[0].call;
        }
        // The paragraph's last line is never stretched.
        EXPECT_EQ(calls[1].call.find("justify="), std::string::npos) << calls[1].call;
        const bool rotated = c.alignment & frtaVertical;
        EXPECT_EQ(calls[0].call.find("esc900") != std::string::npos, rotated);
        EXPECT_NE(calls[0].call.find("[clipped],(10,20,115,82)"), std::string::npos)
            << calls[0].call;
        // Memo geometry and alignment are what they were.
        EXPECT_EQ(memo->Left, 10);
        EXPECT_EQ(memo->Top, 20);
        EXPECT_EQ(memo->Alignment, c.alignment);
    }
}

TEST_F(MemoLayoutTest, JustifyStretchesOnlyLinesWithBlanksThatDoNotEndAParagraph) {
    auto memo = SongMemo(0, 0, 100, 80);
    memo->Alignment = frtaJustify;
    memo->Memo.Add("abcdefgh");                     // no blank
    memo->Memo.Add("ab cd" + kMarker);              // paragraph end
    memo->Memo.Add("a b c");                        // stretched: two blanks
    memo->Memo.Add(L("中") + "\xA0\xA1" + L("文")); // byte 160 starts a character here
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
    memo->Paint(canvas);
    const auto calls = TextCalls(canvas);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].call.find("justify="), std::string::npos);
    EXPECT_EQ(calls[1].call.find("justify="), std::string::npos);
    EXPECT_NE(calls[2].call.find("justify=" + std::to_string(101 - 4 - 5 * kAscii) + "/2"),
              std::string::npos)
        << calls[2].call;
    EXPECT_EQ(calls[3].call.find("justify="), std::string::npos);
    for (const TextCall& c : calls) EXPECT_EQ(c.x, 2);
}

TEST_F(MemoLayoutTest, WithoutWordWrapALongLineIsClippedNotBroken) {
    auto memo = SongMemo(0, 0, 30, 20);
    memo->Flags = 0;
    memo->Memo.SetText("a long line of text");
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
    memo->Paint(canvas);
    const auto calls = TextCalls(canvas);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, "a long line of text");
    EXPECT_NE(calls[0].call.find("[clipped],(0,0,31,21)"), std::string::npos) << calls[0].call;
}

TEST_F(MemoLayoutTest, AutoWidthKeepsTheRightEdgeOfARightAlignedMemo) {
    auto memo = SongMemo(100, 0, 200, 20);
    memo->Flags |= flAutoSize;
    memo->Alignment = frtaRight;
    memo->Memo.SetText("Hello world");
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
    memo->Paint(canvas);
    // 77 pixels of text, a frame of 1, gaps of 2 and one pixel.
    EXPECT_EQ(memo->Width, 77 + 1 + 4 + 1);
    EXPECT_EQ(memo->Left + memo->Width, 300);
    const auto calls = TextCalls(canvas);
    ASSERT_EQ(calls.size(), 1u); // not wrapped, however narrow the text
    EXPECT_EQ(calls[0].x, memo->Left + (memo->Width + 1) - 2 - 77 - 1);
}

TEST_F(MemoLayoutTest, UnderlinesRuleEveryLineTheHeightHolds) {
    auto memo = SongMemo(10, 20, 104, 61);
    memo->Flags |= flUnderlines;
    memo->FrameColor = gdi::clRed;
    memo->Memo.SetText("x");
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
    memo->Paint(canvas);
    std::vector<std::string> rules;
    for (const std::string& call : canvas.Calls())
        if (call.rfind("LineTo(", 0) == 0) rules.push_back(call.substr(0, call.find(" pen")));
    // 61 div 15 = 4 lines, 2 + 13 below each line's top.
    EXPECT_EQ(rules, (std::vector<std::string>{
                         "LineTo(113,36) from (10,36)", "LineTo(113,51) from (10,51)",
                         "LineTo(113,66) from (10,66)", "LineTo(113,81) from (10,81)"}));
}

TEST_F(MemoLayoutTest, RightToLeftReadingReachesTheCanvas) {
    auto memo = SongMemo(0, 0, 100, 20);
    memo->Flags |= flRTLReading;
    memo->Memo.SetText("abc");
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
    memo->Paint(canvas);
    const auto calls = TextCalls(canvas);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_NE(calls[0].call.find("[clipped|rtl]"), std::string::npos) << calls[0].call;
}

TEST_F(MemoLayoutTest, NegativeLineSpacingNeverStacksLinesOrDividesByZero) {
    auto memo = SongMemo(0, 0, 40, 50);
    memo->LineSpacing = -13; // with 13-pixel characters: no advance at all
    EXPECT_EQ(MeasureMemoMinHeight(*memo), 2 + 1 + 2);
    EXPECT_EQ(memo->LineAdvance, 1);
    EXPECT_EQ(MeasureMemoRemainder(*memo), 2 + 2);
    memo->LineSpacing = -1000;
    memo->Flags |= flUnderlines;
    memo->Memo.SetText("one two three four");
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
    memo->Paint(canvas);
    const auto calls = TextCalls(canvas);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[1].y - calls[0].y, 1);

    // One-pixel rules in a memo two billion pixels tall: only those the
    // device can show are drawn.
    memo->Height = 2000000000;
    gdi::RecordingCanvas clipped(gdi::TextMetricsSource::Fonts);
    clipped.SelectClipRect(gdi::TRect{0, 0, 300, 300});
    memo->Paint(clipped);
    int rules = 0;
    for (const std::string& call : clipped.Calls()) rules += call.rfind("LineTo(", 0) == 0;
    EXPECT_GT(rules, 250);
    EXPECT_LE(rules, 300);
}

TEST_F(MemoLayoutTest, HeightsForTheBandEngine) {
    auto memo = SongMemo(0, 0, 40, 35);
    EXPECT_EQ(MeasureMemoMinHeight(*memo), 2 + kAdvance + 2);
    // Room for two lines of 15 in 35 - 2 - 2: one pixel is left below them.
    EXPECT_EQ(MeasureMemoRemainder(*memo), 2 + 2 + 1);
    memo->FrameWidth = 2.5; // both frame lines: round(5.0)
    EXPECT_EQ(MeasureMemoMinHeight(*memo), 5 + kAdvance + 2);
}

TEST_F(MemoLayoutTest, CalcWidthIsTheWidthTheTextNeeds) {
    auto memo = SongMemo(0, 0, 300, 20);
    memo->Memo.SetText("Hi\r\nHello" + kMarker); // the widest line; markers take no room
    EXPECT_EQ(CalcWidthValue(memo.get()), 5 * kAscii + 1 + 4 + 1);
    TfrLineView line;
    line.Width = 77;
    EXPECT_EQ(CalcWidthValue(&line), 77);
    EXPECT_EQ(CalcWidthValue(nullptr), 0);
}

// --- Output into prepared pages ------------------------------------------------------

class MemoOutputTest : public MemoLayoutTest {
protected:
    std::string Output(TfrMemoView& memo) {
        rtl::TMemoryStream ms;
        memo.OutputToPage(ms);
        return ms.Bytes();
    }
};

TEST_F(MemoOutputTest, ExpandsBracketsThroughTheFormattingSeam) {
    std::vector<std::string> asked;
    frEngineHooks().GetFormattedValue = [&](const std::string& e) {
        asked.push_back(e);
        EXPECT_NE(frEngine().CurrentObject, nullptr);
        return std::string(e == "SUM([Amount]) #N2" ? "1,234.50" : "first\r\nsecond");
    };
    auto memo = SongMemo(0, 0, 200, 40);
    memo->Memo.Add("Total [SUM([Amount]) #N2] kg");
    memo->Memo.Add("");
    memo->Memo.Add("a [Lines] b");
    auto back = ReadBack(Output(*memo));
    EXPECT_EQ(Lines(back->Memo),
              (std::vector<std::string>{"Total 1,234.50 kg", "", "a first", "second b"}));
    EXPECT_EQ(asked, (std::vector<std::string>{"SUM([Amount]) #N2", "Lines"}));
    EXPECT_EQ(memo->PaintPart, 0);

    memo->Flags |= flTextOnly;
    asked.clear();
    back = ReadBack(Output(*memo));
    EXPECT_EQ(back->Memo[0], "Total [SUM([Amount]) #N2] kg");
    EXPECT_TRUE(asked.empty());
}

TEST_F(MemoOutputTest, WithoutAFormatterValuesShowAsTheirPlainText) {
    frEngineHooks().Calculate = [](const std::string&) { return TVariant(12.5); };
    auto memo = SongMemo(0, 0, 200, 40);
    memo->Memo.SetText("=[x]=");
    EXPECT_EQ(ReadBack(Output(*memo))->Memo[0], "=12.5=");
}

TEST_F(MemoOutputTest, TheTagIsExpandedUnformattedAndPutBack) {
    std::vector<int> codes;
    frEngineHooks().GetFormattedValue = [&](const std::string& e) {
        codes.push_back(static_cast<TfrView*>(frEngine().CurrentObject)->FormatCode);
        return e;
    };
    auto memo = SongMemo(0, 0, 200, 40);
    memo->FormatCode = 0x01010200;
    memo->Memo.SetText("[v]");
    memo->Tag = "[t]";
    auto back = ReadBack(Output(*memo));
    EXPECT_EQ(back->Tag, "t");
    EXPECT_EQ(memo->Tag, "[t]");
    EXPECT_EQ(codes, (std::vector<int>{0x01010200, 0}));
}

TEST_F(MemoOutputTest, ScriptThenBeforePrintAndAChangedTextIsNotExpanded) {
    std::vector<std::string> order;
    frEngineHooks().RunScript = [&](TfrView&, const rtl::TStringList&) {
        order.push_back("script");
    };
    frEngineHooks().GetFormattedValue = [&](const std::string&) {
        order.push_back("expand");
        return std::string("v");
    };
    std::string handlerText;
    frReportLookups().FireBeforePrint = [&](rtl::TStringList& m, TfrView&) {
        order.push_back("event");
        if (!handlerText.empty()) m.SetText(handlerText);
    };
    auto memo = SongMemo(0, 0, 200, 40);
    memo->BeforePrintScript.SetText("x := 1");
    memo->Memo.SetText("[a]");
    EXPECT_EQ(ReadBack(Output(*memo))->Memo[0], "v");
    EXPECT_EQ(order, (std::vector<std::string>{"script", "event", "expand"}));
    order.clear();
    handlerText = "[from the handler]";
    EXPECT_EQ(ReadBack(Output(*memo))->Memo[0], "[from the handler]");
    EXPECT_EQ(order, (std::vector<std::string>{"script", "event"}));
}

TEST_F(MemoOutputTest, HighlightChangesFontAndFillOfTheRecordOnly) {
    TVariant condition;
    bool fail = false;
    frEngineHooks().Calculate = [&](const std::string& e) -> TVariant {
        EXPECT_EQ(e, "[Amount] > 100");
        if (fail) throw std::runtime_error("bad condition");
        return condition;
    };
    auto memo = SongMemo(0, 0, 200, 40);
    memo->Memo.SetText("text");
    memo->HighlightCondition = "[Amount] > 100";
    memo->HighlightStyle = 2 | 1; // bold italic
    memo->HighlightFontColor = gdi::clRed;
    memo->HighlightFillColor = gdi::clYellow;
    struct Case {
        TVariant value;
        bool fails;
        bool highlighted;
    } cases[] = {
        {TVariant(true), false, true},    {TVariant(1), false, true},
        {TVariant(false), false, false},  {TVariant(0), false, false},
        {TVariant::Null(), false, false}, {TVariant(true), true, false},
    };
    for (const Case& c : cases) {
        condition = c.value;
        fail = c.fails;
        auto back = ReadBack(Output(*memo));
        EXPECT_EQ(back->Font.Bold && back->Font.Italic, c.highlighted) << c.value.AsString();
        EXPECT_EQ(back->Font.Color, c.highlighted ? gdi::clRed : gdi::clBlack);
        EXPECT_EQ(back->FillColor, c.highlighted ? gdi::clYellow : gdi::clNone);
        // The template object is as it was.
        EXPECT_FALSE(memo->Font.Bold);
        EXPECT_EQ(memo->Font.Color, gdi::clBlack);
        EXPECT_EQ(memo->FillColor, gdi::clNone);
    }
}

TEST_F(MemoOutputTest, SuppressWritesNothingForARepeatedText) {
    TVariant value("A");
    frEngineHooks().Calculate = [&](const std::string&) { return value; };
    auto memo = SongMemo(0, 0, 200, 40);
    memo->Flags |= flSuppressRepeated;
    memo->Memo.SetText("[v]");
    EXPECT_FALSE(Output(*memo).empty());
    EXPECT_TRUE(Output(*memo).empty()); // the second record with the same text
    value = TVariant("B");
    EXPECT_FALSE(Output(*memo).empty());
    // Measured for the band engine, a repeated text needs no room.
    EXPECT_EQ(CalcMemoHeight(*memo), kAdvance + 2);
    EXPECT_FALSE(Output(*memo).empty()); // PaintPart 1: the measured text
    EXPECT_EQ(CalcMemoHeight(*memo), 0);
    EXPECT_TRUE(Output(*memo).empty());

    memo->Flags &= static_cast<uint16_t>(~flSuppressRepeated);
    EXPECT_FALSE(Output(*memo).empty());

    // The first pass of a two-pass build writes nothing but remembers.
    memo->Flags |= flSuppressRepeated;
    memo->LastPrintedText.clear();
    frEngine().ScriptPass = true;
    EXPECT_EQ(CalcMemoHeight(*memo), kAdvance + 2);
    EXPECT_EQ(Show(memo->LastPrintedText), "B¶\r\n");
    EXPECT_EQ(CalcMemoHeight(*memo), 0);
}

TEST_F(MemoOutputTest, CalcHeightPreparesTheTextOutputWritesIt) {
    int expansions = 0;
    frEngineHooks().GetFormattedValue = [&](const std::string&) {
        ++expansions;
        return std::string("aaa bbb ccc");
    };
    auto memo = SongMemo(0, 0, 3 * kAscii + 4, 40);
    memo->Memo.SetText("[v]");
    EXPECT_EQ(CalcMemoHeight(*memo), 3 * kAdvance + 2);
    EXPECT_EQ(memo->PaintPart, 1);
    auto back = ReadBack(Output(*memo));
    EXPECT_EQ(expansions, 1);
    EXPECT_EQ(memo->PaintPart, 0);
    EXPECT_EQ(Lines(back->Memo), (std::vector<std::string>{"aaa", "bbb", "ccc¶"}));

    memo->Visible = false;
    EXPECT_EQ(CalcMemoHeight(*memo), 0);
    EXPECT_TRUE(Output(*memo).empty());
    EXPECT_EQ(memo->PaintPart, 0);
}

TEST_F(MemoOutputTest, ASplitMemoPrintsWhatFitsAndKeepsTheRest) {
    auto memo = SongMemo(0, 0, 3 * kAscii + 4, 200);
    memo->Memo.SetText("aaa bbb ccc ddd eee");
    EXPECT_EQ(CalcMemoHeight(*memo), 5 * kAdvance + 2);

    // The band engine gives it 35 units on this page: two lines fit.
    memo->Height = 35;
    EXPECT_LT(MeasureMemoMinHeight(*memo), memo->Height);
    EXPECT_EQ(MeasureMemoRemainder(*memo), 5);
    memo->PaintPart = 2;
    auto first = ReadBack(Output(*memo));
    EXPECT_EQ(memo->LinesShown, 2);
    EXPECT_EQ(Lines(first->Memo), (std::vector<std::string>{"aaa", "bbb", "¶"}));
    EXPECT_EQ(Lines(memo->WorkMemo), (std::vector<std::string>{"ccc", "ddd", "eee¶"}));

    memo->Height = 200;
    memo->PaintPart = 2;
    auto second = ReadBack(Output(*memo));
    EXPECT_EQ(Lines(second->Memo), (std::vector<std::string>{"ccc", "ddd", "eee¶"}));
    EXPECT_TRUE(memo->WorkMemo.Empty());

    // Each part draws its own lines, never wrapped again.
    frEngine().OutputMode = true;
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fonts);
    first->Paint(canvas);
    const auto calls = TextCalls(canvas);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].text, "aaa");
    EXPECT_EQ(calls[1].text, "bbb");
    EXPECT_TRUE(first->PreWrapped);
}

TEST_F(MemoOutputTest, BandAlignmentForThisOutputOnly) {
    struct Band : TfrBandRuntime {
        int type = btMasterData;
        int BandType() const override { return type; }
        int Left() const override { return 0; }
        int Top() const override { return 300; }
        int Width() const override { return 77; }
        int Height() const override { return 50; }
        bool Visible() const override { return true; }
        void SetLeft(int) override {}
        void SetTop(int) override {}
        void SetWidth(int) override {}
        void SetHeight(int) override {}
        void SetVisible(bool) override {}
        void SetChildBand(const std::string&) override {}
        bool PageBreak() const override { return false; }
        void SetPageBreak(bool) override {}
        void SetGroupCondition(const std::string&) override {}
        void SetDataSource(const std::string&) override {}
        bool HasDataSet() const override { return false; }
        bool DataSetEof() override { return true; }
        void DataSetFirst() override {}
        void DataSetNext() override {}
        void DataSetPrior() override {}
    } band;
    frEngine().CurrentBand = &band;
    auto memo = SongMemo(5, 320, 10, 20);
    memo->Memo.SetText("x");

    memo->BandAlign = baBottom; // keeps its place; the record is not aligned again
    auto back = ReadBack(Output(*memo));
    EXPECT_EQ(back->Top, 320);
    EXPECT_EQ(back->BandAlign, baNone);
    EXPECT_EQ(memo->BandAlign, baBottom);

    memo->BandAlign = baTop;
    back = ReadBack(Output(*memo));
    EXPECT_EQ(back->Top, 300);
    EXPECT_EQ(back->BandAlign, baTop);

    band.type = btCrossData;
    memo->BandAlign = baWidth;
    back = ReadBack(Output(*memo));
    EXPECT_EQ(back->Width, 77);
    EXPECT_EQ(back->BandAlign, baNone);
    EXPECT_EQ(memo->BandAlign, baWidth);
}

TEST_F(MemoOutputTest, ExportHandsEveryLineWithItsFrameLines) {
    struct Line {
        std::string text;
        int x, y;
        uint16_t frame;
    };
    std::vector<Line> exported;
    int views = 0;
    frEngineHooks().ExportToFilter = [&](TfrView&, int, int) { ++views; };
    frEngineHooks().ExportMemoLine = [&](TfrMemoView&, const gdi::TRect&, int x, int y,
                                         const std::string& line, uint16_t frame) {
        exported.push_back({line, x, y, frame});
    };
    auto memo = SongMemo(0, 0, 3 * kAscii + 4, 60);
    memo->FrameTyp = frftAll;
    memo->Memo.SetText("aaa bbb ccc");
    memo->ExportToFilter();
    EXPECT_EQ(views, 1);
    ASSERT_EQ(exported.size(), 3u);
    EXPECT_EQ(exported[0].text, "aaa");
    EXPECT_EQ(exported[2].text, "ccc");
    EXPECT_EQ(exported[0].frame, frftAll & ~frftBottom);
    EXPECT_EQ(exported[1].frame, frftLeft | frftRight);
    EXPECT_EQ(exported[2].frame, frftAll & ~frftTop);
    EXPECT_EQ(exported[1].y - exported[0].y, kAdvance);
    EXPECT_FALSE(memo->ExportMode);
}

TEST_F(MemoOutputTest, MeasurementsNeedTheLayout) {
    frResetProcessState();
    TfrMemoView memo;
    EXPECT_THROW(memo.CalcHeight(), EfrNoMemoLayout);
    EXPECT_THROW(memo.MeasureMinHeight(), EfrNoMemoLayout);
    InstallMemoLayout();
    EXPECT_NO_THROW(memo.MeasureMinHeight());
}

// --- Devices -------------------------------------------------------------------------

// A canvas on a real device that notes the text it draws.
class TracingCanvas : public gdi::QPainterCanvas {
public:
    using QPainterCanvas::QPainterCanvas;
    void ExtTextOut(int x, int y, unsigned options, const gdi::TRect* rect,
                    std::string_view text) override {
        // Where the line ends as drawn: justification included.
        drawn.push_back({x, y, Show(std::string(text)), {}, x + TextWidth(text)});
        QPainterCanvas::ExtTextOut(x, y, options, rect, text);
    }
    std::vector<TextCall> drawn;
};

// A paragraph whose breaks depend on every advance: Chinese, ASCII, blanks.
std::unique_ptr<TfrMemoView> SampleParagraph() {
    auto memo = SongMemo(20, 30, 180, 200);
    memo->Font.Name = "Arial"; // proportional advances
    memo->Font.Size = 9;
    memo->Alignment = frtaJustify;
    memo->Memo.SetText(L("条码标签 Barcode labels print from database records; 每条记录一张标签, "
                         "with the value under the bars and the name above them."));
    return memo;
}

// The lines `canvas` was given; every justified line must end at the
// memo's right gap, on every device.
std::vector<std::string> DrawnLines(TracingCanvas& canvas, int dpi, bool printer) {
    auto memo = SampleParagraph();
    memo->ZoomX = memo->ZoomY = dpi / 96.0;
    memo->PrinterOutput = printer;
    memo->Paint(canvas);
    std::vector<std::string> lines;
    for (const TextCall& c : canvas.drawn) lines.push_back(c.text);
    if (canvas.drawn.empty()) return lines;
    // Lines start after the left gap; justified ones end before the right gap.
    const int gap = canvas.drawn[0].x - memo->OutputRect.Left;
    for (std::size_t i = 0; i + 1 < canvas.drawn.size(); ++i)
        EXPECT_EQ(canvas.drawn[i].end, memo->OutputRect.Right - gap)
            << dpi << " dpi: " << canvas.drawn[i].text;
    EXPECT_LT(canvas.drawn.back().end, memo->OutputRect.Right - gap); // the paragraph's end
    return lines;
}

TEST_F(MemoLayoutTest, ScreenPrinterAndPdfBreakLinesAlike) {
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    std::vector<std::string> screen;
    {
        TracingCanvas canvas(&image);
        ASSERT_EQ(canvas.PixelsPerInchX(), 96);
        screen = DrawnLines(canvas, 96, false);
    }
    const QString dir = QStringLiteral(TEST_OUTPUT_DIR) + "/memo";
    QDir().mkpath(dir);
    std::vector<std::string> printed;
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir + "/memo_printer_300dpi.pdf");
        printer.setResolution(300);
        TracingCanvas canvas(&printer);
        ASSERT_EQ(canvas.PixelsPerInchY(), 300);
        printed = DrawnLines(canvas, 300, true);
    }
    std::vector<std::string> pdf;
    {
        QPdfWriter writer(dir + "/memo_pdf.pdf");
        writer.setResolution(720);
        TracingCanvas canvas(&writer);
        pdf = DrawnLines(canvas, 720, false);
    }
    ASSERT_GE(screen.size(), 3u);
    EXPECT_EQ(printed, screen);
    EXPECT_EQ(pdf, screen);

    // And those are the breaks of the measuring surface.
    auto memo = SampleParagraph();
    memo->WorkMemo.Assign(memo->Memo);
    memo->ScaleForOutput();
    WrapMemoText(*memo);
    memo->RestoreGeometry();
    std::vector<std::string> measured = Lines(frEngine().WrappedLines);
    for (std::string& line : measured)
        if (line.size() >= 2 && line.compare(line.size() - 2, 2, "¶") == 0)
            line.resize(line.size() - 2);
    EXPECT_EQ(measured, screen);
}

// Memos of every kind drawn on a 96-dpi image, kept as
// test-output/memo/memo_sampler.png.
TEST_F(MemoLayoutTest, RendersASampler) {
    QImage image(560, 300, QImage::Format_RGB32);
    image.fill(Qt::white);
    image.setDotsPerMeterX(3780);
    image.setDotsPerMeterY(3780);
    struct Sample {
        int left, top, width, height, alignment;
        uint16_t flags;
        const char* text;
    };
    const Sample samples[] = {
        {10, 10, 120, 60, frtaLeft, flWordWrap, "左对齐 Left aligned text that wraps"},
        {140, 10, 120, 60, frtaRight, flWordWrap, "右对齐 Right aligned text that wraps"},
        {270, 10, 120, 60, frtaCenter | frtaMiddle, flWordWrap, "居中 Centred in the middle"},
        {400, 10, 150, 60, frtaJustify, flWordWrap,
         "Justified text spreads its blanks over the line. 最后一行"},
        {10, 90, 60, 200, frtaVertical, flWordWrap, "竖排 Rotated upwards"},
        {80, 90, 60, 200, frtaVertical | frtaRight | frtaDown, flWordWrap, "Rotated right"},
        {150, 90, 200, 90, frtaLeft, flWordWrap | flUnderlines,
         "带下划线 Ruled lines under the text"},
        {150, 190, 200, 40, frtaRight, flWordWrap | flRTLReading, "(ABC)! 123 abc"},
        {360, 90, 190, 60, frtaLeft | frtaDown, flWordWrap, "底部 Bottom aligned"},
        {360, 160, 190, 60, frtaCenter, flWordWrap, "[highlighted] 高亮"},
    };
    frEngineHooks().GetFormattedValue = [](const std::string& e) { return e; };
    frEngineHooks().Calculate = [](const std::string&) { return TVariant(true); };
    {
        gdi::QPainterCanvas canvas(&image);
        for (const Sample& s : samples) {
            auto memo = SongMemo(s.left, s.top, s.width, s.height);
            memo->Alignment = s.alignment;
            memo->Flags = s.flags;
            memo->FrameTyp = frftAll;
            memo->FrameColor = gdi::clGray;
            memo->Memo.SetText(L(s.text));
            if (s.text[0] == '[') {
                memo->HighlightCondition = "1";
                memo->HighlightFillColor = gdi::clYellow;
                memo->HighlightFontColor = gdi::clRed;
                // Through the output path, as a build does, then painted.
                rtl::TMemoryStream ms;
                memo->OutputToPage(ms);
                auto back = ReadBack(ms.Bytes());
                back->Paint(canvas);
            } else {
                memo->Paint(canvas);
            }
        }
    }
    const QString dir = QStringLiteral(TEST_OUTPUT_DIR) + "/memo";
    QDir().mkpath(dir);
    ASSERT_TRUE(image.save(dir + "/memo_sampler.png"));

    // Ink where the layout put the text: the right-aligned memo's text ends
    // at its right gap, the rotated one starts at its lower edge.
    const auto inked = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) n += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        return n;
    };
    EXPECT_GT(inked(140 + 120 - 20, 12, 140 + 120 - 3, 25), 0); // right-aligned first line
    EXPECT_EQ(inked(142, 12, 160, 25), 0);                      // nothing at its left
    EXPECT_GT(inked(12, 250, 25, 287), 0);                      // rotated: bottom of the memo
    EXPECT_EQ(qGray(image.pixel(362, 162)) > 200 && qRed(image.pixel(362, 162)) > 200 &&
                  qBlue(image.pixel(362, 162)) < 80,
              true); // highlight fill is yellow
}

} // namespace
