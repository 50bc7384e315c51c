// The barcode object: its record inside templates and prepared pages, its
// painting on a recording canvas, and its output for a record.

#include "report/barcode/barcode_view.h"

#include "platform/gdi/gui_app.h"
#include "platform/gdi/recording_canvas.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/stream_versions.h"
#include "report/model/template_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

namespace {

using model_test::Bytes;
using model_test::Hex;
using model_test::RecordOf;
using model_test::StreamOf;
using rtl::TVariant;

std::string Double(double v) {
    std::string s(8, '\0');
    std::memcpy(s.data(), &v, 8);
    return s;
}

// The 24 bytes after the common record, as the byte table lays them out.
std::string Tail(int checkSum, int showText, int reserved, int barType, int legacyModule,
                 double zoom, double rotation) {
    return Bytes()
        .u8(checkSum)
        .u8(showText)
        .u8(reserved)
        .u8(barType)
        .i32(legacyModule)
        .raw(Double(zoom))
        .raw(Double(rotation));
}

// Records metafiles as they are played too, so the text inside shows in
// the picture's own units.
class ExpandingRecorder : public gdi::RecordingCanvas {
public:
    using gdi::RecordingCanvas::StretchDraw;
    void StretchDraw(const gdi::TRect& target, const gdi::Metafile& metafile) override {
        RecordingCanvas::StretchDraw(target, metafile);
        metafile.PlayOn(*this);
    }
    std::vector<std::string> Matching(const std::string& part) const {
        std::vector<std::string> out;
        for (const std::string& c : Calls())
            if (c.find(part) != std::string::npos) out.push_back(c);
        return out;
    }
};

const char* const kBarBrush = "brush{$000000,bsSolid}";

class BarCodeViewTest : public model_test::TemplateTest {
protected:
    void SetUp() override {
        TemplateTest::SetUp();
        gdi_test::EnsureGuiApplication();
        frRegisterBarCodeView();
        frEngineHooks().ReportOutputProblem = [this](TfrView& view, const std::string& message) {
            problems.push_back(view.Name + ": " + message);
        };
    }

    // The record a view writes for the current record, read back as the
    // preview reads it.
    std::unique_ptr<TfrBarCodeView> Output(TfrBarCodeView& v) {
        v.PreparedMode = true;
        rtl::TMemoryStream ms;
        v.OutputToPage(ms);
        auto prepared = std::make_unique<TfrBarCodeView>();
        if (ms.Size() == 0) return nullptr;
        ms.SetPosition(0);
        EXPECT_EQ(ms.ReadByte(), gtAddIn);
        EXPECT_EQ(rtl::frReadString(ms, frStreamVersionCurrent), "TfrBarCodeView");
        prepared->PreparedMode = true;
        prepared->ReadRecord(ms, frStreamVersionCurrent);
        EXPECT_EQ(ms.Remaining(), 0);
        return prepared;
    }

    std::vector<std::string> problems;
};

TEST_F(BarCodeViewTest, NewObjectAndItsRecord) {
    TfrBarCodeView v;
    EXPECT_EQ(v.TypeCode, gtAddIn);
    EXPECT_EQ(v.BaseName, "Bar");
    EXPECT_EQ(v.Memo.Text(), "12345678\r\n");
    ASSERT_NE(v.Encoder, nullptr);
    const std::string record = RecordOf(v);
    EXPECT_EQ(Hex(record.substr(record.size() - 24)), Hex(Tail(1, 1, 0, bcCode39, 2, 1.0, 0.0)));

    // Read back from a hand-made tail, after the common record.
    const std::string common = record.substr(0, record.size() - 24);
    TfrBarCodeView r;
    auto ms = StreamOf(common + Tail(0, 0, 7, bcCodeUPC_A, 2, 2.5, 270.0));
    r.ReadRecord(*ms, frStreamVersionCurrent);
    EXPECT_EQ(ms->Remaining(), 0);
    EXPECT_FALSE(r.CalcCheckSum);
    EXPECT_FALSE(r.ShowText);
    EXPECT_EQ(r.Reserved, 7);
    EXPECT_EQ(r.BarType, bcCodeUPC_A);
    EXPECT_EQ(r.Zoom, 2.5);
    EXPECT_EQ(r.Rotation, 270.0);
    EXPECT_EQ(r.Memo.Text(), "12345678\r\n");

    // Older templates stored the zoom for two units per module.
    struct Legacy {
        int stored;
        double zoom;
        int module;
    } legacy[] = {{1, 1.5, 2}, {2, 3.0, 2}, {0, 3.0, 0}};
    for (const Legacy& l : legacy) {
        TfrBarCodeView old;
        auto s = StreamOf(common + Tail(1, 1, 0, bcCode39, l.stored, 3.0, 0.0));
        old.ReadRecord(*s, frStreamVersionCurrent);
        EXPECT_EQ(old.Zoom, l.zoom) << l.stored;
        EXPECT_EQ(old.LegacyModule, l.module) << l.stored;
    }
}

TEST_F(BarCodeViewTest, TemplateWithBarcodesSavesAndReloadsToIdenticalBytes) {
    TfrReport report;
    report.Pages->Add();
    TfrPage& page = report.Pages->Items(0);
    auto add = [&](const char* name) -> TfrBarCodeView& {
        auto& v =
            static_cast<TfrBarCodeView&>(page.AddObject(CreateObject(gtAddIn, "TfrBarCodeView")));
        v.Name = name;
        return v;
    };
    TfrBarCodeView& b = add("B");
    b.SetBounds(20, 30, 190, 60);
    b.Memo.SetText("[NUM]");
    b.BarType = bcCodeEAN13;
    b.Zoom = 2;
    TfrBarCodeView& side = add("Side");
    side.SetBounds(250, 10, 50, 120);
    side.Memo.SetText("Velkor-128b");
    side.BarType = bcCode128B;
    side.Rotation = 90;
    side.ShowText = false;
    side.CalcCheckSum = false;
    side.Zoom = 0.75;
    side.FillColor = gdi::clYellow;
    side.FrameTyp = frftAll;
    // What a damaged file may hold is kept as it is, so it saves back unchanged.
    TfrBarCodeView& odd = add("Odd");
    odd.Reserved = 9;
    odd.BarType = 40;
    odd.Zoom = std::numeric_limits<double>::quiet_NaN();
    odd.Rotation = 45;
    odd.LegacyModule = 7;

    const std::string first = Save(report);
    TfrReport loaded;
    ASSERT_EQ(Load(loaded, first), TfrLoadResult::Loaded);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Hex(Save(loaded)), Hex(first));

    auto* lb = dynamic_cast<TfrBarCodeView*>(loaded.FindObject("B"));
    auto* ls = dynamic_cast<TfrBarCodeView*>(loaded.FindObject("Side"));
    auto* lo = dynamic_cast<TfrBarCodeView*>(loaded.FindObject("Odd"));
    ASSERT_TRUE(lb && ls && lo);
    EXPECT_EQ(lb->Memo.Text(), "[NUM]\r\n");
    EXPECT_EQ(lb->BarType, bcCodeEAN13);
    EXPECT_EQ(lb->Zoom, 2.0);
    EXPECT_EQ(lb->Width, 190);
    EXPECT_EQ(ls->Rotation, 90.0);
    EXPECT_FALSE(ls->ShowText);
    EXPECT_FALSE(ls->CalcCheckSum);
    EXPECT_EQ(ls->Zoom, 0.75);
    EXPECT_EQ(ls->FillColor, gdi::clYellow);
    EXPECT_EQ(lo->Reserved, 9);
    EXPECT_EQ(lo->BarType, 40);
    EXPECT_TRUE(std::isnan(lo->Zoom));
    EXPECT_FALSE(lo->SettingsProblem().empty());
}

TEST_F(BarCodeViewTest, PaintingSetsTheNaturalLengthAndPlacesTheDigits) {
    const std::string digits = "6901234567892"; // 690123456789 and its check digit
    gdi::TFont font;
    font.Name = "Courier New";
    font.Height = -12;
    gdi::MetafileCanvas measure(1, 1);
    measure.SetFont(font);
    const int tw = measure.TextWidth(digits);

    // EAN-13 is 95 modules; at zoom 2 the object is 190 units along the bars.
    // The picture is 95 x 60 (60 x 95 upright) and the digits sit 12 units
    // from the edge the table names.
    struct Case {
        int rotation;
        int width, height; // after painting
        int x, y;          // the digits, in the picture's units
    } cases[] = {
        {0, 190, 60, (95 - tw) / 2, 60 - 12},
        {90, 60, 190, 60 - 12, 95 - (95 - tw) / 2},
        {180, 190, 60, 95 - (95 - tw) / 2, 12},
        {270, 60, 190, 12, (95 - tw) / 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotation);
        TfrBarCodeView v;
        v.Memo.SetText("690123456789");
        v.BarType = bcCodeEAN13;
        v.Zoom = 2;
        v.Rotation = c.rotation;
        v.SetBounds(10, 20, 60, 60);
        ExpandingRecorder canvas;
        v.Paint(canvas);
        EXPECT_EQ(v.Width, c.width);
        EXPECT_EQ(v.Height, c.height);
        EXPECT_EQ(v.Left, 10);

        const auto text = canvas.Matching("TextOut(");
        ASSERT_EQ(text.size(), 1u);
        const std::string esc = c.rotation ? ",esc" + std::to_string(c.rotation * 10) : "";
        EXPECT_EQ(text[0].substr(0, text[0].find(" bk")),
                  "TextOut(" + std::to_string(c.x) + "," + std::to_string(c.y) + ",\"" + digits +
                      "\") font{\"Courier New\",-12,$000000" + esc + "}");
        // The picture is stretched over the object's rectangle, one unit wider
        // and higher as every output rectangle is.
        const auto stretch = canvas.Matching("StretchDraw(");
        ASSERT_EQ(stretch.size(), 1u);
        const bool upright = c.rotation == 90 || c.rotation == 270;
        EXPECT_EQ(stretch[0], "StretchDraw(10,20," + std::to_string(10 + c.width + 1) + "," +
                                  std::to_string(20 + c.height + 1) + ",metafile " +
                                  (upright ? "60x95" : "95x60") + ")");

        // 30 bars, each a whole number of pixels per module (2.01 here), and
        // none outside the object.
        const auto bars = canvas.Matching(kBarBrush);
        EXPECT_EQ(bars.size(), 30u);
        for (const gdi::CanvasRecord& r : canvas.Records()) {
            if (r.Call.find(kBarBrush) == std::string::npos) continue;
            const int across = upright ? r.Bounds.Height() : r.Bounds.Width();
            EXPECT_TRUE(across == 2 || across == 4 || across == 6 || across == 8) << r.Call;
            EXPECT_GE(r.Bounds.Left, 10);
            EXPECT_LE(r.Bounds.Right, 10 + c.width + 1);
            EXPECT_GE(r.Bounds.Top, 20);
            EXPECT_LE(r.Bounds.Bottom, 20 + c.height + 1);
        }
    }
}

TEST_F(BarCodeViewTest, BarsTakeTheFullHeightWithoutTheDigits) {
    for (bool showText : {true, false}) {
        TfrBarCodeView v;
        v.SetBounds(0, 0, 100, 50);
        v.ShowText = showText;
        gdi::RecordingCanvas canvas;
        v.Paint(canvas);
        int tallest = 0;
        for (const gdi::CanvasRecord& r : canvas.Records())
            if (r.Call.find(kBarBrush) != std::string::npos)
                tallest = std::max(tallest, r.Bounds.Height());
        // The bars' outline covers one unit more than their height (36 + 1
        // with the digits), kept inside the 50-unit picture, which is
        // stretched over 51 pixels.
        EXPECT_EQ(tallest, showText ? 38 : 51) << showText;
    }

    // PostNet's short bars stand on the baseline with the tall ones.
    TfrBarCodeView post;
    post.BarType = bcCodePostNet;
    post.SetBounds(0, 0, 100, 50);
    post.ShowText = false;
    gdi::RecordingCanvas canvas;
    post.Paint(canvas);
    std::set<int> bottoms, heights;
    for (const gdi::CanvasRecord& r : canvas.Records()) {
        if (r.Call.find(kBarBrush) == std::string::npos) continue;
        bottoms.insert(r.Bounds.Bottom);
        heights.insert(r.Bounds.Height());
    }
    EXPECT_EQ(bottoms, std::set<int>{51});
    EXPECT_EQ(heights, (std::set<int>{20, 51})); // two fifths of the height, and all of it
}

TEST_F(BarCodeViewTest, DesignerShowsAValidCodeOfTheChosenKindWhereTheValueIsNotKnown) {
    // The placeholder prints with and without the check character, for every kind.
    for (int type = 0; type < BarcodeTypeCount; ++type)
        for (bool checkSum : {false, true})
            EXPECT_EQ(frBarCodeValueProblem(static_cast<uint8_t>(type), checkSum,
                                            frBarCodePlaceholder(static_cast<uint8_t>(type))),
                      "")
                << BarcodeTypeTable[type].Name << " " << checkSum;

    struct Case {
        uint8_t type;
        const char* memo;
        const char* shown; // the digits under the bars
    } cases[] = {
        {bcCode39, "12345678", "12345678"},             // a new object
        {bcCode39, "[NUM]", "12345678"},                // an expression
        {bcCodeEAN13, "ABC", "0000123456784"},          // letters for digits
        {bcCodeEAN8, "[NUM]", "1234567"},               // 12345678 has the wrong check digit
        {bcCodeUPC_E0, "", "1234565"},                  // no first line
        {bcCodeUPC_Supp5, "  ", "123451"},              // a blank one
        {bcCodeEAN13, "690123456789", "6901234567892"}, // a literal value
    };
    for (const Case& c : cases) {
        TfrBarCodeView v;
        v.SetBounds(0, 0, 100, 60);
        v.BarType = c.type;
        v.Memo.SetText(c.memo);
        if (c.memo[0] == '\0') v.Memo.Clear();
        ExpandingRecorder canvas;
        v.Paint(canvas);
        const auto text = canvas.Matching("TextOut(");
        ASSERT_EQ(text.size(), 1u) << c.memo;
        EXPECT_NE(text[0].find(std::string("\"") + c.shown + "\""), std::string::npos)
            << c.memo << ": " << text[0];
        EXPECT_FALSE(canvas.Matching(kBarBrush).empty());
    }
}

TEST_F(BarCodeViewTest, WhatCannotBePaintedLeavesFillFrameAndGeometry) {
    struct Case {
        const char* what;
        bool output;
        uint8_t type;
        const char* memo;
        bool noLines = false;
        double zoom = 1, rotation = 0;
    } cases[] = {
        {"zero, the failed-expression mark", true, bcCodeEAN13, "0"},
        {"zero in the designer", false, bcCode39, "0"},
        {"letters for digits", true, bcCodeEAN13, "ABC"},
        {"no value", true, bcCodeEAN13, "", true},
        {"a blank value", true, bcCode39, "   "},
        {"an expression left unevaluated", true, bcCodeEAN13, "[NUM]"},
        {"a wrong check digit", true, bcCodeEAN13, "6901234567890"},
        {"a wrong check digit in the designer", false, bcCodeEAN13, "6901234567890"},
        {"lower case for Code 93", false, bcCode93, "abc"},
        {"a type outside the table", false, 23, "123"},
        {"a zoom of 0", false, bcCode39, "123", false, 0},
        {"a zoom that is no number", true, bcCode39, "123", false,
         std::numeric_limits<double>::quiet_NaN()},
        {"a rotation outside the table", false, bcCode39, "123", false, 1, 45},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        frEngine().OutputMode = c.output;
        TfrBarCodeView v;
        v.SetBounds(10, 20, 150, 60);
        v.FillColor = gdi::clYellow;
        v.FrameTyp = frftAll;
        v.BarType = c.type;
        v.Zoom = c.zoom;
        v.Rotation = c.rotation;
        v.Memo.SetText(c.memo);
        if (c.noLines) v.Memo.Clear();
        gdi::RecordingCanvas canvas;
        v.Paint(canvas);
        const auto calls = canvas.Calls();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front(), std::string("FillRect(10,20,") + (c.output ? "160,80" : "161,81") +
                                     ") brush{$00FFFF,bsSolid}");
        EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                                [](const std::string& s) { return s.rfind("LineTo(", 0) == 0; }),
                  c.output ? 4 : 12); // the frame (and the designer's corner marks)
        for (const std::string& call : calls) {
            EXPECT_EQ(call.find("StretchDraw"), std::string::npos) << call;
            EXPECT_EQ(call.find(kBarBrush), std::string::npos) << call;
        }
        EXPECT_EQ(v.Width, 150);
        EXPECT_EQ(v.Height, 60);
        EXPECT_EQ(v.Left, 10);
    }

    // One empty line is nothing at all, not even the fill.
    TfrBarCodeView empty;
    empty.SetBounds(0, 0, 100, 50);
    empty.FillColor = gdi::clYellow;
    empty.Memo.SetText("\r\n");
    gdi::RecordingCanvas canvas;
    empty.Paint(canvas);
    EXPECT_TRUE(canvas.Calls().empty());
}

TEST_F(BarCodeViewTest, OutputEvaluatesTheFirstLineAndThePreparedPageCarriesItsValue) {
    std::vector<std::string> asked;
    frEngineHooks().Calculate = [&](const std::string& e) -> TVariant {
        asked.push_back(e);
        if (e == "[NUM]" || e == "NUM") return TVariant(std::string("6901234567892"));
        throw std::runtime_error("unknown variable " + e);
    };
    // The main window's hook gives the working text its record's value.
    frReportLookups().FireBeforePrint = [](rtl::TStringList& memo, TfrView& view) {
        if (view.Name == "B") memo.SetText("[NUM]");
    };
    TfrBarCodeView b;
    b.Name = "B";
    b.BarType = bcCodeEAN13;
    b.Tag = "[NUM]-tag";
    b.SetBounds(5, 6, 95, 60);
    auto prepared = Output(b);
    ASSERT_NE(prepared, nullptr);
    EXPECT_EQ(prepared->Memo.Text(), "6901234567892\r\n");
    EXPECT_EQ(prepared->Tag, "6901234567892-tag");
    EXPECT_EQ(b.Tag, "[NUM]-tag");            // put back
    EXPECT_EQ(b.Memo.Text(), "12345678\r\n"); // the template's text stays
    EXPECT_EQ(asked, (std::vector<std::string>{"NUM", "[NUM]"}));
    EXPECT_TRUE(problems.empty());

    // Invisible after the script: nothing is written.
    frEngineHooks().RunScript = [](TfrView& view, const rtl::TStringList&) {
        view.Visible = false;
    };
    b.BeforePrintScript.SetText("Visible := False");
    EXPECT_EQ(Output(b), nullptr);
}

TEST_F(BarCodeViewTest, UnprintableValuesAreReportedAndPrintNoCode) {
    frEngineHooks().Calculate = [](const std::string& e) -> TVariant {
        if (e == "[BLANK]") return TVariant(std::string("  "));
        throw std::runtime_error("unknown variable " + e);
    };
    const std::string empty = LoadResourceString(frsBarCodeEmpty);
    struct Case {
        uint8_t type;
        bool checkSum;
        const char* memo;
        const char* prepared; // first line of the prepared record
        std::string problem;
    } cases[] = {
        {bcCodeEAN13, true, "[NUM]", "0", "unknown variable [NUM]"},
        {bcCodeEAN13, true, "[BLANK]", "  ", empty},
        {bcCodeEAN13, true, "ABC", "ABC", "Barcode must be numeric"},
        {bcCode39, true, "", "", empty},
        {bcCodeEAN128B, true, " ", " ", empty},
        {bcCodeEAN13, true, "6901234567890", "6901234567890", "Invalid check digit (EAN13)"},
        {bcCodeUPC_A, true, "12345678901234", "12345678901234", "Invalid Text len (UPC_A)"},
        {bcCode93, false, "abc", "abc", "TfrBarcode:Code93 bad Data <abc>"},
        {bcCode39, false, "0", "0", LoadResourceString(frsBarCodeZero)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.memo);
        problems.clear();
        frEngine().OutputMode = false;
        TfrBarCodeView v;
        v.Name = "B";
        v.BarType = c.type;
        v.CalcCheckSum = c.checkSum;
        v.Memo.SetText(c.memo);
        v.SetBounds(0, 0, 120, 60);
        auto prepared = Output(v);
        ASSERT_NE(prepared, nullptr);
        EXPECT_EQ(prepared->Memo.Count() > 0 ? prepared->Memo[0] : "", c.prepared);
        EXPECT_EQ(problems, std::vector<std::string>{"B: " + c.problem});

        frEngine().OutputMode = true;
        gdi::RecordingCanvas canvas;
        prepared->Paint(canvas);
        for (const std::string& call : canvas.Calls()) {
            EXPECT_EQ(call.find("StretchDraw"), std::string::npos) << call;
            EXPECT_EQ(call.find(kBarBrush), std::string::npos) << call;
        }
    }
}

TEST_F(BarCodeViewTest, RegistrationPropertiesAndEditor) {
    frClearAddIns();
    TfrBarCodeObject component; // placing the component registers the kind
    frRegisterBarCodeView();    // once
    ASSERT_EQ(frAddIns().size(), 1u);
    EXPECT_EQ(frAddIns()[0].ClassRef.ClassName, "TfrBarCodeView");
    EXPECT_EQ(frAddIns()[0].ButtonHint, "55338");
    EXPECT_EQ(LoadResourceString(55338), model_test::Gbk("插入 Barcode 对象"));
    EXPECT_FALSE(frAddIns()[0].ButtonBmp.isNull());
    auto made = CreateObject(gtAddIn, "TfrBarCodeView");
    ASSERT_NE(dynamic_cast<TfrBarCodeView*>(made.get()), nullptr);

    TfrBarCodeView v;
    std::vector<std::string> listed;
    for (const auto& p : v.PropList())
        listed.push_back(p->Name + ":" + std::to_string(p->PropType));
    ASSERT_GE(listed.size(), 2u);
    EXPECT_EQ(listed[listed.size() - 2], "Barcode:320");
    EXPECT_EQ(listed.back(), "DataField:321");

    std::vector<std::string> opened;
    DesignerEditorHooks().EditBarCodeHook = [&](TfrView& view) {
        opened.push_back("barcode " + view.Name);
    };
    DesignerEditorHooks().EditDataFieldHook = [&](TfrView& view) {
        opened.push_back("field " + view.Name);
        view.WriteProperty("DataField", TVariant(std::string("[Orders.\"Num\"]")));
    };
    v.Name = "Bar1";
    v.FindProperty("Barcode")->Editor();
    v.FindProperty("DataField")->Editor();
    EXPECT_EQ(opened, (std::vector<std::string>{"barcode Bar1", "field Bar1"}));
    EXPECT_EQ(v.Memo.Text(), "[Orders.\"Num\"]\r\n");
    EXPECT_EQ(v.ReadProperty("DataField").AsString(), "[Orders.\"Num\"]");
    EXPECT_TRUE(v.ReadProperty("Barcode").IsNull());

    TfrPopupMenu menu;
    v.AddPopupItems(menu);
    EXPECT_TRUE(menu.empty());
}

} // namespace
