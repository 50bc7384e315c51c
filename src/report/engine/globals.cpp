#include "report/engine/globals.h"

#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/report_functions.h"
#include "report/engine/report_values.h"
#include "report/engine/std_function_library.h"

#include <cmath>
#include <cstdint>

namespace {

struct Constant {
    const char* name;
    int32_t value;
};

// Colours are window-system colour values (red in the low byte); system
// colours carry 0xFF in the high byte and their index in the low one.
constexpr int32_t SystemColor(int index) {
    return static_cast<int32_t>(0xFF000000u | static_cast<uint32_t>(index));
}

const Constant kConstants[] = {
    {"clWhite", 0xFFFFFF},
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clTransparent", 0x1FFFFFFF},
    {"clScrollBar", SystemColor(0)},
    {"clBackground", SystemColor(1)},
    {"clActiveCaption", SystemColor(2)},
    {"clInactiveCaption", SystemColor(3)},
    {"clMenu", SystemColor(4)},
    {"clWindow", SystemColor(5)},
    {"clWindowFrame", SystemColor(6)},
    {"clMenuText", SystemColor(7)},
    {"clWindowText", SystemColor(8)},
    {"clCaptionText", SystemColor(9)},
    {"clActiveBorder", SystemColor(10)},
    {"clInactiveBorder", SystemColor(11)},
    {"clAppWorkSpace", SystemColor(12)},
    {"clHighlight", SystemColor(13)},
    {"clHighlightText", SystemColor(14)},
    {"clBtnFace", SystemColor(15)},
    {"clBtnShadow", SystemColor(16)},
    {"clGrayText", SystemColor(17)},
    {"clBtnText", SystemColor(18)},
    {"clInactiveCaptionText", SystemColor(19)},
    {"clBtnHighlight", SystemColor(20)},
    {"cl3DDkShadow", SystemColor(21)},
    {"cl3DLight", SystemColor(22)},
    {"clInfoText", SystemColor(23)},
    {"clInfoBk", SystemColor(24)},
    {"mrNone", 0},
    {"mrOk", 1},
    {"mrCancel", 2},
    {"mrYes", 6},
    {"mrNo", 7},
    {"fsBold", 2},
    {"fsItalic", 1},
    {"fsUnderline", 4},
    {"fsStrikeOut", 8},
    {"frftNone", 0},
    {"frftRight", 1},
    {"frftBottom", 2},
    {"frftLeft", 4},
    {"frftTop", 8},
    {"frtaLeft", 0},
    {"frtaRight", 1},
    {"frtaCenter", 2},
    {"frtaVertical", 4},
    {"frtaMiddle", 8},
    {"frtaDown", 16},
    {"baNone", 0},
    {"baLeft", 1},
    {"baRight", 2},
    {"baCenter", 3},
    {"baWidth", 4},
    {"baBottom", 5},
    {"baTop", 6},
    {"baRest", 7},
    {"psSolid", 0},
    {"psDash", 1},
    {"psDot", 2},
    {"psDashDot", 3},
    {"psDashDotDot", 4},
    {"psDouble", 5},
    {"mb_Ok", 0},
    {"mb_OkCancel", 1},
    {"mb_YesNo", 4},
    {"mb_YesNoCancel", 3},
    {"mb_IconError", 16},
    {"mb_IconQuestion", 32},
    {"mb_IconInformation", 64},
    {"mb_IconWarning", 48},
};

} // namespace

TfrGlobals::TfrGlobals() {
    Parser.OnValueRequest = [](const std::string& name, rtl::TVariant& value) {
        ResolveValue(name, value);
    };
    Parser.OnFunctionRequest = [](const std::string& name, const rtl::TVariant& p1,
                                  const rtl::TVariant& p2, const rtl::TVariant& p3,
                                  rtl::TVariant& value) {
        DispatchFunction(name, p1, p2, p3, value);
    };
    ScriptVariables.SetSorted(true);
    EngineConstants.SetSorted(true);
    MakeConstants();
    LoadFormatPatterns();
    RegisterStandardLibraries();
}

TfrGlobals::~TfrGlobals() = default;

void TfrGlobals::MakeConstants() {
    EngineConstants.Clear();
    for (const Constant& c : kConstants)
        EngineConstants.SetVariable(c.name, rtl::TVariant(c.value));
    EngineConstants.SetVariable("CRLF", rtl::TVariant("\r\n"));
    EngineConstants.SetVariable("Null", rtl::TVariant::Null());
}

void TfrGlobals::LoadFormatPatterns() {
    for (int i = 0; i < 4; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        DateFormats[slot] = LoadResourceString(frsDateFormats + i);
        TimeFormats[slot] = LoadResourceString(frsTimeFormats + i);
        BooleanFormats[slot] = LoadResourceString(frsBooleanFormats + i);
    }
}

void TfrGlobals::RegisterStandardLibraries() {
    // Not through RegisterFunctionLibrary: that reaches these globals, which
    // are being made.
    Libraries.clear();
    FunctionDescriptions.Clear();
    Libraries.push_back(std::make_unique<TfrStdFunctionLibrary>());
    Libraries.push_back(std::make_unique<TDatabaseFunctionLibrary>());
    for (const auto& library : Libraries)
        for (const auto& d : library->Descriptions())
            FunctionDescriptions.AddDescription(*library, d.Name, d.Category, d.Text);
}

void TfrGlobals::Reset() {
    ScriptVariables.Clear();
    Interpreter.SetStepLimit(TfrInterpretator::kDefaultStepLimit);
    MakeConstants();
    LoadFormatPatterns();
    RegisterStandardLibraries();
    PageNo = 0;
    BuildDate = 0;
    BuildTime = 0;
    CurrentRunPage = nullptr;
    CurrentExpression.clear();
    CurrentValue = rtl::TVariant();
    CollectingAggregates = false;
    AggregateTargetBand = nullptr;
    RecursionGuard.clear();
}

TfrGlobals& frGlobals() {
    static TfrGlobals globals;
    static const bool resetRegistered = [] {
        frRegisterReset([] { frGlobals().Reset(); });
        return true;
    }();
    (void)resetRegistered;
    return globals;
}

void frStartBuildClock() {
    TfrGlobals& g = frGlobals();
    const double now = frNow();
    g.BuildDate = std::floor(now);
    g.BuildTime = now - g.BuildDate;
    g.PageNo = 0;
}
