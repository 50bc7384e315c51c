#include "report/engine/report_functions.h"

#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/globals.h"
#include "report/engine/parser.h"
#include "report/engine/report_values.h"
#include "report/engine/run_band.h"
#include "report/model/object.h"
#include "report/model/report.h"

#include <array>
#include <string_view>

using rtl::TVariant;

namespace {

constexpr std::array<std::string_view, 4> kParserBuiltIns = {"COPY", "IF", "STRTODATE",
                                                             "STRTOTIME"};
constexpr std::array<std::string_view, 8> kReportFunctions = {
    "STOPREPORT", "NEWPAGE", "NEWCOLUMN", "SHOWBAND", "INC", "DEC", "SETARRAY", "GETARRAY"};
// Written like calls, these are operators of the expression language.
constexpr std::array<std::string_view, 8> kOperatorWords = {"INT", "FRAC", "ROUND", "STR",
                                                            "NOT", "AND",  "OR",    "MOD"};

template <std::size_t N>
bool IsOneOf(const std::array<std::string_view, N>& names, std::string_view upperName) {
    for (const std::string_view n : names)
        if (n == upperName) return true;
    return false;
}

TfrRunBand* CurrentRunBand() {
    return dynamic_cast<TfrRunBand*>(frEngine().CurrentBand);
}

TVariant Evaluate(const TVariant& argument) {
    return frGlobals().Parser.Evaluate(argument.AsString());
}

// An array element's name in the script variables.
std::string ElementName(const std::string& array, const TVariant& index) {
    const std::string indexText =
        index.IsString() ? index.RawString() : rtl::IntToStr(index.AsInteger());
    return "Arr_" + array + "_" + indexText;
}

void StepVariable(const TVariant& nameArgument, int step) {
    const std::string name = rtl::Trim(nameArgument.AsString());
    TVariant value = TVariant::Null();
    if (const auto& request = frGlobals().Parser.OnValueRequest) request(name, value);
    AssignVariableValue(name, value + TVariant(step));
}

void SetArray(const TVariant& p1, const TVariant& p2, const TVariant& p3) {
    const std::string array = rtl::Trim(p1.AsString());
    if (array.find('.') != std::string::npos) {
        auto [object, property] = ResolvePropertyOwner(array);
        if (object)
            object->CallMethod("SETINDEXPROPERTY", TVariant(rtl::UpperCase(property)), Evaluate(p2),
                               Evaluate(p3));
        return;
    }
    const TVariant index = Evaluate(p2);
    frGlobals().ScriptVariables.SetVariable(ElementName(array, index), Evaluate(p3));
}

TVariant GetArray(const TVariant& p1, const TVariant& p2) {
    const std::string array = rtl::Trim(p1.AsString());
    if (array.find('.') != std::string::npos) {
        auto [object, property] = ResolvePropertyOwner(array);
        if (!object) return TVariant::Null();
        return object->CallMethod("GETINDEXPROPERTY", TVariant(rtl::UpperCase(property)),
                                  Evaluate(p2), TVariant());
    }
    return frGlobals().ScriptVariables.GetVariable(ElementName(array, Evaluate(p2)));
}

void CollectUnknown(std::string_view expression, rtl::TStringList& names, int depth) {
    if (depth > TfrParser::kMaxNesting) throw EParserError(LoadResourceString(frsNestedTooDeeply));
    const std::string s = rtl::Trim(expression);
    const int n = static_cast<int>(s.size());
    int i = 1;
    while (i <= n) {
        const char c = s[static_cast<std::size_t>(i - 1)];
        if (static_cast<unsigned char>(c) <= ' ') {
            ++i;
            continue;
        }
        if (c == '\'') {
            TfrParser::ReadQuoted(s, i);
            continue;
        }
        if (c == '[') {
            int start = i;
            int end = i;
            const std::string content = ExtractBracketed(s, start, end);
            CollectUnknown(content, names, depth + 1);
            i = end + 1;
            continue;
        }
        const int before = i;
        const std::string token = TfrParser::ReadOperand(s, i);
        if (i <= n && s[static_cast<std::size_t>(i - 1)] == '(') {
            std::string a1, a2, a3;
            TfrParser::SplitArguments(s, i, a1, a2, a3);
            for (const std::string* argument : {&a1, &a2, &a3})
                CollectUnknown(*argument, names, depth + 1);
            const std::string upper = rtl::UpperCase(token);
            const bool number =
                !token.empty() && (std::isdigit(static_cast<unsigned char>(token[0])) ||
                                   token[0] == ',' || token[0] == '.');
            if (!token.empty() && !number && !IsOneOf(kOperatorWords, upper) &&
                !IsKnownFunction(upper) && names.IndexOf(upper) < 0)
                names.Add(upper);
            continue;
        }
        if (i == before) ++i; // a delimiter
    }
}

} // namespace

void DispatchFunction(const std::string& name, const TVariant& p1, const TVariant& p2,
                      const TVariant& p3, TVariant& value) {
    value = TVariant("0");
    for (const auto& library : frGlobals().Libraries)
        if (library->CallFunction(name, p1, p2, p3, value)) return;
    DoReportFunction(name, p1, p2, p3, value);
    if (TfrReport* report = CurReport(); report && report->OnUserFunction)
        report->OnUserFunction(name, p1, p2, p3, value);
}

void DoReportFunction(const std::string& name, const TVariant& p1, const TVariant& p2,
                      const TVariant& p3, TVariant& value) {
    if (name == "STOPREPORT") {
        // Ends the build after the band being printed, keeping its pages.
        if (TfrReport* report = CurReport()) report->StopReport();
    } else if (name == "NEWPAGE") {
        if (TfrRunBand* band = CurrentRunBand()) ++band->NewPageRequests;
    } else if (name == "NEWCOLUMN") {
        if (TfrRunBand* band = CurrentRunBand()) ++band->NewColumnRequests;
    } else if (name == "SHOWBAND") {
        if (TfrRunPage* page = frGlobals().CurrentRunPage)
            page->ShowBandByName(rtl::Trim(p1.AsString()));
    } else if (name == "INC") {
        StepVariable(p1, 1);
    } else if (name == "DEC") {
        StepVariable(p1, -1);
    } else if (name == "SETARRAY") {
        SetArray(p1, p2, p3);
    } else if (name == "GETARRAY") {
        value = GetArray(p1, p2);
    } else if (name.find('.') != std::string::npos) {
        auto [object, method] = ResolvePropertyOwner(name);
        if (object) {
            TVariant result = object->CallMethod(method, p1, p2, p3);
            if (!result.IsNull() && !result.IsUnassigned()) value = std::move(result);
        }
    }
}

bool IsKnownFunction(const std::string& name) {
    const std::string upper = rtl::UpperCase(rtl::Trim(name));
    if (upper.find('.') != std::string::npos) return true;
    if (IsOneOf(kParserBuiltIns, upper) || IsOneOf(kReportFunctions, upper)) return true;
    for (const auto& library : frGlobals().Libraries)
        if (library->List().IndexOf(upper) >= 0) return true;
    return false;
}

void CollectUnknownFunctions(std::string_view expression, rtl::TStringList& names) {
    CollectUnknown(expression, names, 0);
}
