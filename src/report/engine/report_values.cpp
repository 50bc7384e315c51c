#include "report/engine/report_values.h"

#include "platform/rtl/dateutils.h"
#include "platform/rtl/float_format.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/globals.h"
#include "report/engine/memo_layout.h"
#include "report/engine/parser.h"
#include "report/engine/run_band.h"
#include "report/model/memo_view.h"
#include "report/model/object.h"
#include "report/model/report.h"

#include <cctype>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

using rtl::TVariant;

namespace {

enum class SystemVariable {
    Value,
    Page,
    Date,
    Time,
    Line,
    LineThrough,
    Column,
    Current,
    TotalPages,
    ReportComment,
    ReportName,
    ReportAuthor,
    VersionMajor,
    VersionMinor,
    VersionRelease,
    VersionBuild,
    ReportDate,
    ReportLastChange,
    CalcWidth,
};

const std::unordered_map<std::string_view, SystemVariable>& SystemVariables() {
    static const std::unordered_map<std::string_view, SystemVariable> names = {
        {"VALUE", SystemVariable::Value},
        {"PAGE#", SystemVariable::Page},
        {"DATE", SystemVariable::Date},
        {"TIME", SystemVariable::Time},
        {"LINE#", SystemVariable::Line},
        {"LINETHROUGH#", SystemVariable::LineThrough},
        {"COLUMN#", SystemVariable::Column},
        {"CURRENT#", SystemVariable::Current},
        {"TOTALPAGES", SystemVariable::TotalPages},
        {"REPORTCOMMENT", SystemVariable::ReportComment},
        {"REPORTNAME", SystemVariable::ReportName},
        {"REPORTAUTOR", SystemVariable::ReportAuthor},
        {"VMAJOR", SystemVariable::VersionMajor},
        {"VMINOR", SystemVariable::VersionMinor},
        {"VRELEASE", SystemVariable::VersionRelease},
        {"VBUILD", SystemVariable::VersionBuild},
        {"REPORTDATE", SystemVariable::ReportDate},
        {"REPORTLASTCHANGE", SystemVariable::ReportLastChange},
        {"CALCWIDTH", SystemVariable::CalcWidth},
    };
    return names;
}

TfrRunBand* CurrentRunBand() {
    return dynamic_cast<TfrRunBand*>(frEngine().CurrentBand);
}

// The band whose counters LINE# and LINETHROUGH# show: the current band, or
// the first of its chain when it walks no data set.
const TfrRunBand* CounterBand() {
    const TfrRunBand* band = CurrentRunBand();
    if (band && !band->HasDataSet())
        if (const TfrRunBand* first = band->FirstBand()) return first;
    return band;
}

bool SystemValue(const TfrReport* report, const std::string& name, TVariant& value) {
    const auto& names = SystemVariables();
    const auto it = names.find(name);
    if (it == names.end()) return false;
    const TfrGlobals& g = frGlobals();
    const TfrRunPage* page = g.CurrentRunPage;
    auto text = [&](std::string TfrReport::*field) {
        return TVariant(report ? report->*field : std::string());
    };
    switch (it->second) {
    case SystemVariable::Value:
        value = g.CurrentValue;
        break;
    case SystemVariable::Page:
        value = TVariant(g.PageNo + 1);
        break;
    case SystemVariable::Date:
        value = TVariant::Date(g.BuildDate);
        break;
    case SystemVariable::Time:
        value = TVariant::Date(g.BuildTime);
        break;
    case SystemVariable::Line: {
        const TfrRunBand* band = CounterBand();
        value = TVariant(band ? band->LineNo : 0);
        break;
    }
    case SystemVariable::LineThrough: {
        const TfrRunBand* band = CounterBand();
        value = TVariant(band ? band->LineThroughNo : 0);
        break;
    }
    case SystemVariable::Column:
        value = TVariant(page ? page->CrossColumnNo() : 0);
        break;
    case SystemVariable::Current:
        value = TVariant(page ? page->RecordNo() : 0);
        break;
    case SystemVariable::TotalPages:
        value = TVariant(report ? report->TotalPages : 0);
        break;
    case SystemVariable::ReportComment:
        value = text(&TfrReport::InfoComment);
        break;
    case SystemVariable::ReportName:
        value = text(&TfrReport::InfoName);
        break;
    case SystemVariable::ReportAuthor:
        value = text(&TfrReport::InfoAuthor);
        break;
    case SystemVariable::VersionMajor:
        value = text(&TfrReport::InfoVersionMajor);
        break;
    case SystemVariable::VersionMinor:
        value = text(&TfrReport::InfoVersionMinor);
        break;
    case SystemVariable::VersionRelease:
        value = text(&TfrReport::InfoVersionRelease);
        break;
    case SystemVariable::VersionBuild:
        value = text(&TfrReport::InfoVersionBuild);
        break;
    case SystemVariable::ReportDate:
        value = TVariant::Date(report ? report->InfoCreated : 0.0);
        break;
    case SystemVariable::ReportLastChange:
        value = TVariant::Date(report ? report->InfoChanged : 0.0);
        break;
    case SystemVariable::CalcWidth:
        value = TVariant(CalcWidthValue(frEngine().CurrentObject));
        break;
    }
    return true;
}

bool HasProperty(TfrObject& object, const std::string& property) {
    return object.FindProperty(property) || object.Properties().Find(property);
}

bool StartsWithDigit(std::string_view s) {
    return !s.empty() && std::isdigit(static_cast<unsigned char>(s[0]));
}

// The decimals written after a separator: the leading digits, 0 when none.
int LeadingNumber(std::string_view s) {
    int n = 0;
    for (const char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        n = n * 10 + (c - '0');
        if (n > 255) return 255;
    }
    return n;
}

unsigned char SeparatorOf(int32_t formatCode) {
    const auto separator = static_cast<unsigned char>(formatCode & 0xFF);
    return separator ? separator
                     : static_cast<unsigned char>(rtl::FormatSettings().DecimalSeparator);
}

std::string NumberText(double x, int index, int decimals, const std::string& formatText) {
    switch (index) {
    case 0:
        return rtl::FormatFloat("##0." + std::string(static_cast<std::size_t>(decimals), '#'), x);
    case 1:
        return rtl::FloatToStrF(x, rtl::TFloatFormat::ffFixed, 15, decimals);
    case 2:
        return rtl::FormatFloat("#,##0." + std::string(static_cast<std::size_t>(decimals), '#'), x);
    case 3:
        return rtl::FloatToStrF(x, rtl::TFloatFormat::ffNumber, 15, decimals);
    case kCustomFormatIndex:
        return rtl::FormatFloat(formatText, x);
    default:
        throw std::invalid_argument("format index");
    }
}

std::string DateTimeText(double t, int category, int index, const std::string& formatText) {
    if (index == kCustomFormatIndex) return rtl::FormatDateTime(formatText, t);
    if (index < 0 || index > 3) throw std::invalid_argument("format index");
    const TfrGlobals& g = frGlobals();
    const auto slot = static_cast<std::size_t>(index);
    return rtl::FormatDateTime(category == fcDate ? g.DateFormats[slot] : g.TimeFormats[slot], t);
}

std::string BooleanText(const TVariant& value, int index, const std::string& formatText) {
    std::string pattern;
    if (index >= 0 && index < 4)
        pattern = frGlobals().BooleanFormats[static_cast<std::size_t>(index)];
    else if (index == kCustomFormatIndex)
        pattern = formatText;
    else
        throw std::invalid_argument("format index");
    // "false;true": without a semicolon the whole text is the true text.
    const int semicolon = rtl::Pos(";", pattern);
    return value.AsInteger() != 0
               ? rtl::Copy(pattern, semicolon + 1, static_cast<int>(pattern.size()))
               : rtl::Copy(pattern, 1, semicolon - 1);
}

} // namespace

void ResolveValue(const std::string& name, TVariant& value) {
    TfrReport* report = CurReport();
    TfrGlobals& g = frGlobals();

    value = TVariant();
    if (report && report->OnGetValue) {
        report->OnGetValue(name, value);
        if (!value.IsUnassigned()) return;
    }

    value = TVariant(0);
    if (report && report->Dictionary->IsVariable(name)) {
        value = report->Dictionary->GetValue(name);
        return;
    }

    if (SystemValue(report, name, value)) return;

    if (const int i = g.ScriptVariables.IndexOf(name); i >= 0) {
        value = g.ScriptVariables.Value(i);
        return;
    }

    value = TVariant();
    ResolveSpecialValue(name, value);
    if (!value.IsUnassigned()) return;

    // Anything else is an expression of its own ([Price * 2]); a name that
    // comes back to itself is unknown.
    if (name == g.RecursionGuard) {
        if (g.CollectingAggregates) return;
        throw EParserError(LoadResourceString(frsUndefinedSymbol) + " \"" + name + "\"");
    }
    rtl::ScopedRestore<std::string> guard(g.RecursionGuard, name);
    value = g.Parser.Evaluate(name);
}

void ResolveSpecialValue(const std::string& name, TVariant& value) {
    const TfrRunPage* page = frGlobals().CurrentRunPage;
    if (name == "CURY") {
        value = TVariant(page ? page->CurrentY() : 0);
    } else if (name == "FREESPACE") {
        value = TVariant(page ? page->BottomY() - page->CurrentY() : 0);
    } else if (name == "FINALPASS") {
        const TfrReport* report = CurReport();
        value = TVariant(report && report->FinalPass);
    } else if (name == "PAGEHEIGHT") {
        value = TVariant(page ? page->BottomY() : 0);
    } else if (name == "PAGEWIDTH") {
        const TfrViewPage* viewPage = frEngine().CurrentPage;
        value = TVariant(page ? page->PageWidth() : viewPage ? viewPage->PageWidth() : 0);
    } else if (name.find('.') == std::string::npos || !ReadObjectProperty(name, value)) {
        const TfrVariables& constants = frGlobals().EngineConstants;
        if (const int i = constants.IndexOf(name); i >= 0) value = constants.Value(i);
    }
}

bool ReadObjectProperty(const std::string& name, TVariant& value) {
    auto [object, property] = ResolvePropertyOwner(name);
    if (!object || !HasProperty(*object, property)) return false;
    value = object->ReadProperty(property);
    return true;
}

void AssignVariableValue(const std::string& name, const TVariant& value) {
    TfrGlobals& g = frGlobals();
    if (const int i = g.ScriptVariables.IndexOf(name); i >= 0) {
        g.ScriptVariables.SetValue(i, value);
        return;
    }
    TfrReport* report = CurReport();
    if (report && report->Dictionary->IsVariable(name)) {
        report->Dictionary->Variables.SetVariable(name, value);
        return;
    }
    TfrRunPage* page = g.CurrentRunPage;
    if (rtl::SameText(name, "MODALRESULT")) {
        if (page && page->IsDialogPage()) page->SetModalResult(value.AsInteger());
        return;
    }
    if (rtl::SameText(name, "CURY")) {
        if (TfrRunBand* band = CurrentRunBand();
            band && (band->NewPageRequests > 0 || band->NewColumnRequests > 0))
            band->CurYSetByScript = true;
        if (page) page->SetCurrentY(value.AsInteger());
        return;
    }
    if (rtl::SameText(name, "PROGRESS")) {
        const TfrGuiHooks& gui = frGuiHooks();
        if (gui.SetProgressDetail) gui.SetProgressDetail(value.AsString());
        if (gui.ProcessMessages) gui.ProcessMessages();
        return;
    }
    auto [object, property] = ResolvePropertyOwner(name);
    if (object && HasProperty(*object, property)) {
        object->WriteProperty(property, value);
        return;
    }
    g.ScriptVariables.SetVariable(name, value);
}

bool SplitFormatSuffix(std::string& expression, int32_t& formatCode, std::string& formatText) {
    const std::size_t at = expression.find(" #");
    if (at == std::string::npos) return false;
    std::string suffix = expression.substr(at + 2);
    expression.resize(at);
    if (StartsWithDigit(suffix)) suffix.insert(0, 1, 'N');
    const char kind = suffix.empty() ? '\0' : suffix[0];
    switch (kind) {
    case 'N':
    case 'n': {
        // The last ',', '-' or '.' is the decimal separator.
        const std::size_t mark = suffix.find_last_of(",-.");
        const bool hasMark = mark != std::string::npos && mark > 0;
        const unsigned char separator =
            hasMark ? static_cast<unsigned char>(suffix[mark]) : SeparatorOf(formatCode);
        const std::string rest = suffix.substr(1);
        if (StartsWithDigit(rest)) {
            const int decimals = LeadingNumber(hasMark ? suffix.substr(mark + 1) : rest);
            formatCode = frFormatCode(fcNumber, 1, decimals, separator);
        } else {
            formatText = rest;
            if (hasMark) formatText[mark - 1] = '.';
            formatCode = frFormatCode(fcNumber, kCustomFormatIndex, 0, separator);
        }
        break;
    }
    case 'B':
    case 'b':
        formatCode = frFormatCode(fcBoolean, kCustomFormatIndex, 0, SeparatorOf(formatCode));
        formatText = suffix.substr(1);
        break;
    case 'D':
    case 'd':
    case 'T':
    case 't':
        formatCode = frFormatCode(fcDate, kCustomFormatIndex, 0, SeparatorOf(formatCode));
        formatText = suffix.substr(1);
        break;
    default:
        formatText = suffix;
        break;
    }
    return true;
}

std::string GetFormattedValue(const std::string& expression) {
    TfrGlobals& g = frGlobals();
    const auto* view = dynamic_cast<const TfrView*>(frEngine().CurrentObject);
    int32_t formatCode = view ? view->FormatCode : 0;
    std::string formatText = view ? view->FormatText : std::string();
    std::string text = expression;
    SplitFormatSuffix(text, formatCode, formatText);

    g.CurrentExpression = text;
    g.CurrentValue = TVariant(0);
    TVariant value;
    ResolveValue(text, value);
    g.CurrentValue = value;

    const auto* memo = dynamic_cast<const TfrMemoView*>(view);
    if (memo && (memo->Flags & flHideZeros) && !g.CurrentValue.IsString()) {
        try {
            if (g.CurrentValue == TVariant(0)) g.CurrentValue = TVariant(std::string());
        } catch (const std::exception&) {
            // A value that cannot be compared with 0 is shown as it is.
        }
    }
    if (g.CollectingAggregates) return {};
    return FormatValue(g.CurrentValue, formatCode, formatText);
}

std::string FormatValue(const TVariant& value, int32_t formatCode, const std::string& formatText) {
    if (value.IsUnassigned() || value.IsNull()) return {};
    if (value.IsString() && rtl::Trim(value.RawString()).empty()) return {};
    const int category = (formatCode >> 24) & 0x0F;
    const int index = (formatCode >> 16) & 0xFF;
    const int decimals = (formatCode >> 8) & 0xFF;
    // Text that is no number or date shows as it is. Checked before
    // converting, as labels often show text through a number format and an
    // exception per record is dear.
    const bool text = value.IsString();
    int whole = 0;
    double real = 0;
    try {
        switch (category) {
        case fcNumber: {
            rtl::DecimalSeparatorScope separator(static_cast<char>(SeparatorOf(formatCode)));
            if (text && !rtl::TryStrToInt(value.RawString(), whole) &&
                !rtl::TryStrToFloat(value.RawString(), real))
                return value.RawString();
            return NumberText(value.AsDouble(), index, decimals, formatText);
        }
        case fcDate:
        case fcTime:
            if (text && !rtl::TryStrToDateTime(value.RawString(), real)) return value.RawString();
            return DateTimeText(value.AsDate(), category, index, formatText);
        case fcBoolean:
            return BooleanText(value, index, formatText);
        default:
            return value.AsString();
        }
    } catch (const std::exception&) {
        return value.AsString();
    }
}
