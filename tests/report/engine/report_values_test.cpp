// Names to values, assignments from scripts, and values to display text.

#include "report/engine/value_fixture.h"

#include "platform/rtl/locale.h"
#include "platform/rtl/sysutils.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/parser.h"
#include "report/engine/report_values.h"
#include "report/model/page.h"

namespace {

using enginetest::FakeRunBand;
using enginetest::FakeRunPage;
using enginetest::kFixedNow;
using rtl::TVariant;

class ReportValues : public enginetest::ValueTest {
protected:
    void SetUp() override {
        ValueTest::SetUp();
        report_.Pages->Add();
        auto memo = std::make_unique<TfrMemoView>();
        memo->Name = "Memo1";
        memo->Left = 30;
        memo1_ = static_cast<TfrMemoView*>(&report_.Pages->Items(0).AddObject(std::move(memo)));
    }

    // The current object is a memo with this display format.
    TfrMemoView& FormattingMemo(int32_t code, const std::string& text, uint16_t flags = 0) {
        memo_.FormatCode = code;
        memo_.FormatText = text;
        memo_.Flags = flags;
        frEngine().CurrentObject = &memo_;
        return memo_;
    }

    TfrMemoView* memo1_ = nullptr;
    TfrMemoView memo_;
};

TEST_F(ReportValues, NamesResolveInTheirOrder) {
    TfrGlobals& g = frGlobals();
    frStartBuildClock();
    g.PageNo = 2;
    g.CurrentValue = TVariant(12);
    FakeRunPage page;
    page.recordNo = 5;
    g.CurrentRunPage = &page;
    FakeRunBand data(btMasterData, "MasterData1");
    data.hasDataSet = true;
    data.LineNo = 7;
    data.LineThroughNo = 9;
    frEngine().CurrentBand = &data;
    report_.TotalPages = 4;
    report_.InfoName = "Labels";
    report_.InfoAuthor = "Li";
    report_.InfoVersionMajor = "2";
    report_.InfoCreated = 45000;
    g.ScriptVariables.SetVariable("Counter", TVariant(4));
    g.ScriptVariables.SetVariable("Shared", TVariant(5));
    report_.Dictionary->Variables.SetVariable("Twice", TVariant("21 * 2"));
    report_.Dictionary->Variables.SetVariable("Shared", TVariant("1"));
    report_.OnGetValue = [](const std::string& name, TVariant& value) {
        if (name == "TOTALPAGES") value = TVariant(99); // the report's own answer wins
    };

    struct Case {
        const char* expression;
        TVariant expected;
    };
    const Case cases[] = {
        {"VALUE", TVariant(12)},
        {"PAGE#", TVariant(3)},
        {"[Page#]", TVariant(3)}, // a bracketed name as written comes back as an expression
        {"DATE", TVariant::Date(45356)},
        {"TIME", TVariant::Date(kFixedNow - 45356)},
        {"LINE#", TVariant(7)},
        {"LINETHROUGH#", TVariant(9)},
        {"COLUMN#", TVariant(1)},
        {"CURRENT#", TVariant(5)},
        {"TOTALPAGES", TVariant(99)},
        {"REPORTNAME", TVariant("Labels")},
        {"REPORTAUTOR", TVariant("Li")},
        {"VMAJOR", TVariant("2")},
        {"REPORTCOMMENT", TVariant("")},
        {"REPORTDATE", TVariant::Date(45000)},
        {"CURY", TVariant(100)},
        {"FREESPACE", TVariant(900)},
        {"PAGEHEIGHT", TVariant(1000)},
        {"PAGEWIDTH", TVariant(756)},
        {"FINALPASS", TVariant(false)},
        {"CALCWIDTH", TVariant(0)}, // no current object
        {"Counter", TVariant(4)},
        {"[Counter * 2]", TVariant(8.0)}, // numbers in expressions are reals
        {"Twice", TVariant(42.0)},        // a dictionary variable's expression
        {"Shared", TVariant(5)},          // a script variable of the same name wins
        {"clRed", TVariant(0x0000FF)},
        {"clBtnFace", TVariant(static_cast<int32_t>(0xFF00000F))},
        {"mb_YesNo + mrNo", TVariant(11)},
        {"CRLF", TVariant("\r\n")},
        {"Memo1.Left", TVariant(30)},
        {"Memo1.Visible", TVariant(true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        const TVariant v = Calc(c.expression);
        EXPECT_TRUE(v.Identical(c.expected)) << v.AsString() << " vs " << c.expected.AsString();
    }
    EXPECT_TRUE(Calc("Null").IsNull());
}

TEST_F(ReportValues, LineCountersOfABandWithoutDataSetComeFromItsChain) {
    FakeRunBand first(btMasterData, "MasterData1");
    first.hasDataSet = true;
    first.LineNo = 3;
    first.LineThroughNo = 8;
    FakeRunBand second(btMasterData, "MasterData2");
    second.first = &first;
    second.LineNo = 50;
    frEngine().CurrentBand = &second;
    EXPECT_EQ(Calc("LINE#").AsInteger(), 3);
    EXPECT_EQ(Calc("LINETHROUGH#").AsInteger(), 8);
    // Without a page being formed the page values read 0.
    EXPECT_EQ(Calc("CURY").AsInteger(), 0);
    EXPECT_EQ(Calc("COLUMN#").AsInteger(), 0);
}

TEST_F(ReportValues, AnUnknownNameIsAnErrorExceptWhileAggregatesRegister) {
    try {
        Calc("Nowhere + 1");
        ADD_FAILURE() << "no error";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.what(), LoadResourceString(frsUndefinedSymbol) + " \"NOWHERE\"");
        EXPECT_EQ(e.what(), G("符号没定义 \"NOWHERE\""));
    }
    // The guard is free again after the error.
    EXPECT_THROW(Calc("[Nowhere]"), EParserError);
    frGlobals().CollectingAggregates = true;
    EXPECT_TRUE(Calc("Nowhere").IsUnassigned());
}

TEST_F(ReportValues, ScriptAssignmentsLandByTheirRules) {
    TfrGlobals& g = frGlobals();
    FakeRunPage page;
    g.CurrentRunPage = &page;
    FakeRunBand band(btMasterData, "MasterData1");
    frEngine().CurrentBand = &band;
    frEngine().CurrentObject = memo1_;
    g.ScriptVariables.SetVariable("Total", TVariant(1));
    report_.Dictionary->Variables.SetVariable("Tax", TVariant("0"));
    std::string progress;
    frGuiHooks().SetProgressDetail = [&](const std::string& text) { progress = text; };

    AssignVariableValue("total", TVariant(2));
    EXPECT_TRUE(g.ScriptVariables.GetVariable("Total").Identical(TVariant(2)));
    AssignVariableValue("Tax", TVariant("7"));
    EXPECT_EQ(report_.Dictionary->Variables.GetVariable("Tax").AsString(), "7");
    EXPECT_EQ(Calc("Tax").AsInteger(), 7);

    AssignVariableValue("ModalResult", TVariant(1)); // not a dialog page: nothing
    EXPECT_EQ(page.modalResult, 0);
    page.dialog = true;
    AssignVariableValue("MODALRESULT", TVariant(2));
    EXPECT_EQ(page.modalResult, 2);

    AssignVariableValue("CurY", TVariant(250));
    EXPECT_EQ(page.currentY, 250);
    EXPECT_FALSE(band.CurYSetByScript);
    band.NewPageRequests = 1;
    AssignVariableValue("CURY", TVariant(300));
    EXPECT_TRUE(band.CurYSetByScript);

    AssignVariableValue("Progress", TVariant(40));
    EXPECT_EQ(progress, "40");

    AssignVariableValue("Memo1.Left", TVariant(77));
    EXPECT_EQ(memo1_->Left, 77);
    AssignVariableValue("Visible", TVariant(false)); // the current object's property
    EXPECT_FALSE(memo1_->Visible);

    AssignVariableValue("Fresh", TVariant("x"));
    EXPECT_EQ(g.ScriptVariables.GetVariable("FRESH").AsString(), "x");
    EXPECT_EQ(g.ScriptVariables.IndexOf("ModalResult"), -1);
    EXPECT_EQ(g.ScriptVariables.IndexOf("CurY"), -1);
}

TEST_F(ReportValues, ExpressionAndFormatToText) {
    TfrGlobals& g = frGlobals();
    const double day = 45356; // 2024-03-05
    g.ScriptVariables.SetVariable("Price", TVariant(1234.5));
    g.ScriptVariables.SetVariable("Neg", TVariant(-0.004));
    g.ScriptVariables.SetVariable("Zero", TVariant(0));
    g.ScriptVariables.SetVariable("ZeroText", TVariant("0"));
    g.ScriptVariables.SetVariable("Blank", TVariant("  "));
    g.ScriptVariables.SetVariable("Word", TVariant("abc"));
    g.ScriptVariables.SetVariable("Flag", TVariant(1));
    g.ScriptVariables.SetVariable("D", TVariant::Date(day + 14.5 / 24));
    g.ScriptVariables.SetVariable("T", TVariant::Date(day + (9 * 3600 + 5 * 60 + 7) / 86400.0));

    const int32_t text = frFormatCode(fcText, 0, 2, '.');
    const int32_t customNumber = frFormatCode(fcNumber, kCustomFormatIndex, 0, '.');
    struct Case {
        int32_t code;
        const char* formatText;
        uint16_t flags;
        const char* expression;
        const char* expected; // UTF-8
    };
    const Case cases[] = {
        {text, "", 0, "Price", "1234.5"},
        {text, "", 0, "Price #N2,2", "1234,50"},
        {text, "", 0, "Price #N#,##0.00", "1,234.50"},
        {text, "", 0, "Price #2", "1234.50"},
        {text, "", 0, "Price #n3-1", "1234-5"},
        {text, "", 0, "Flag #BNo;Yes", "Yes"},
        {text, "", 0, "Zero #BNo;Yes", "No"},
        {text, "", 0, "D #Dyyyy-mm-dd", "2024-03-05"},
        {text, "", 0, "D #thh:nn", "14:30"},
        // An unknown suffix is the format text of the memo's format.
        {frFormatCode(fcBoolean, 4, 0, 0), "no;yes", 0, "Flag #X;Y", "Y"},
        {frFormatCode(fcNumber, 0, 1, '.'), "", 0, "Price", "1234.5"},
        {frFormatCode(fcNumber, 0, 0, '.'), "", 0, "Price", "1235"},
        {frFormatCode(fcNumber, 1, 2, ','), "", 0, "Price", "1234,50"},
        {frFormatCode(fcNumber, 2, 2, '.'), "", 0, "Price", "1,234.5"},
        {frFormatCode(fcNumber, 3, 2, '.'), "", 0, "Price", "1,234.50"},
        {frFormatCode(fcNumber, 1, 2, '.'), "", 0, "Neg", "0.00"},
        {frFormatCode(fcNumber, 1, 2, 0), "", 0, "Price", "1234.50"}, // no separator stored
        {customNumber, "#,##0.00;(#,##0.00)", 0, "-Price", "(1,234.50)"},
        {frFormatCode(fcDate, 0, 0, 0), "", 0, "D", "24.03.05"},
        {frFormatCode(fcDate, 1, 0, 0), "", 0, "D", "2024.03.05"},
        {frFormatCode(fcDate, 2, 0, 0), "", 0, "D", "2024年03月05日"},
        {frFormatCode(fcDate, 3, 0, 0), "", 0, "D", "2024年3月5日"},
        {frFormatCode(fcDate, 4, 0, 0), "dd/mm/yyyy", 0, "D", "05-03-2024"},
        {frFormatCode(fcTime, 0, 0, 0), "", 0, "T", "09:05:07"},
        {frFormatCode(fcTime, 1, 0, 0), "", 0, "T", "9:05:07"},
        {frFormatCode(fcTime, 2, 0, 0), "", 0, "T", "09:05"},
        {frFormatCode(fcTime, 3, 0, 0), "", 0, "T", "9:05"},
        {frFormatCode(fcBoolean, 0, 0, 0), "", 0, "Flag", "1"},
        {frFormatCode(fcBoolean, 1, 0, 0), "", 0, "Zero", "否"},
        {frFormatCode(fcBoolean, 2, 0, 0), "", 0, "Flag", "x"},
        {frFormatCode(fcBoolean, 3, 0, 0), "", 0, "Flag", "真"},
        {frFormatCode(fcBoolean, 4, 0, 0), "off;on", 0, "Zero", "off"},
        {frFormatCode(fcBoolean, 4, 0, 0), "on", 0, "Zero", ""},
        // Hide zeros: a numeric 0 is empty, the text "0" is not.
        {frFormatCode(fcNumber, 1, 2, '.'), "", flHideZeros, "Zero", ""},
        {text, "", flHideZeros, "ZeroText", "0"},
        {text, "", flHideZeros, "Price - Price", ""},
        // Blank text is empty in every category; a value a format cannot
        // take shows as it is.
        {text, "", 0, "Blank", ""},
        {frFormatCode(fcNumber, 1, 2, '.'), "", 0, "Blank", ""},
        {frFormatCode(fcDate, 0, 0, 0), "", 0, "Blank", ""},
        {frFormatCode(fcBoolean, 1, 0, 0), "", 0, "Blank", ""},
        {frFormatCode(fcNumber, 1, 2, '.'), "", 0, "Word", "abc"},
        {frFormatCode(fcDate, 1, 0, 0), "", 0, "Word", "abc"},
        {frFormatCode(fcBoolean, 1, 0, 0), "", 0, "Word", "abc"},
        {frFormatCode(fcNumber, 9, 2, '.'), "", 0, "Price", "1234.5"},
        {text, "", 0, "Null", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.expression) + " / " + c.formatText);
        FormattingMemo(c.code, G(c.formatText), c.flags);
        EXPECT_EQ(frGetFormattedValue(G(c.expression)), G(c.expected));
    }
    // The separator is the format's for the moment only.
    EXPECT_EQ(rtl::FormatSettings().DecimalSeparator, '.');
}

TEST_F(ReportValues, TheLastFormattedValueIsVALUE) {
    frGlobals().ScriptVariables.SetVariable("Price", TVariant(2.5));
    FormattingMemo(frFormatCode(fcNumber, 1, 2, ','), "");
    EXPECT_EQ(frGetFormattedValue("Price * 2"), "5,00");
    EXPECT_EQ(frGlobals().CurrentExpression, "Price * 2");
    EXPECT_TRUE(Calc("VALUE").Identical(TVariant(5.0)));
    // While aggregates register nothing is formatted.
    frGlobals().CollectingAggregates = true;
    EXPECT_EQ(frGetFormattedValue("Price"), "");
}

} // namespace
