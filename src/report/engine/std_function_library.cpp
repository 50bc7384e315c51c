#include "report/engine/std_function_library.h"

#include "platform/rtl/dateutils.h"
#include "platform/rtl/edit_mask.h"
#include "platform/rtl/float_format.h"
#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/aggregates.h"
#include "report/engine/db_dataset.h"
#include "report/engine/globals.h"
#include "report/model/object_registry.h"
#include "report/model/report.h"

namespace {

enum StdFunction {
    fnAvg,
    fnCount,
    fnDayOf,
    fnFormatDateTime,
    fnFormatFloat,
    fnFormatText,
    fnInput,
    fnLength,
    fnLowerCase,
    fnMax,
    fnMaxNum,
    fnMessageBox,
    fnMin,
    fnMinNum,
    fnMonthOf,
    fnNameCase,
    fnPos,
    fnSum,
    fnTrim,
    fnUpperCase,
    fnYearOf,
};

// In index order (the order of StdFunction).
const char* const kStdNames[] = {
    "AVG",        "COUNT",      "DAYOF",  "FORMATDATETIME", "FORMATFLOAT",
    "FORMATTEXT", "INPUT",      "LENGTH", "LOWERCASE",      "MAX",
    "MAXNUM",     "MESSAGEBOX", "MIN",    "MINNUM",         "MONTHOF",
    "NAMECASE",   "POS",        "SUM",    "TRIM",           "UPPERCASE",
    "YEAROF",
};

struct DescribedFunction {
    const char* name;
    int category;    // string identifier
    int description; // string identifier
};

// What the designer's function picker shows, with the parser's built-ins,
// operators, system variables and interpreter names among them.
const DescribedFunction kStdDescriptions[] = {
    {"AVG", frsCategoryAggregates, 55360},
    {"COUNT", frsCategoryAggregates, 55361},
    {"MAX", frsCategoryAggregates, 55368},
    {"MIN", frsCategoryAggregates, 55369},
    {"SUM", frsCategoryAggregates, 55374},
    {"DAYOF", frsCategoryDateTime, 55362},
    {"MONTHOF", frsCategoryDateTime, 55370},
    {"STRTODATE", frsCategoryDateTime, 55372},
    {"STRTOTIME", frsCategoryDateTime, 55373},
    {"YEAROF", frsCategoryDateTime, 55377},
    {"DATE", frsCategoryDateTime, 55391},
    {"TIME", frsCategoryDateTime, 55392},
    {"FORMATDATETIME", frsCategoryString, 55363},
    {"FORMATFLOAT", frsCategoryString, 55364},
    {"FORMATTEXT", frsCategoryString, 55416},
    {"LENGTH", frsCategoryString, 55366},
    {"LOWERCASE", frsCategoryString, 55367},
    {"NAMECASE", frsCategoryString, 55371},
    {"TRIM", frsCategoryString, 55375},
    {"UPPERCASE", frsCategoryString, 55376},
    {"POS", frsCategoryString, 55414},
    {"COPY", frsCategoryString, 55379},
    {"STR", frsCategoryString, 55381},
    {"INPUT", frsCategoryOther, 55365},
    {"MESSAGEBOX", frsCategoryOther, 55415},
    {"IF", frsCategoryOther, 55378},
    {"PAGE#", frsCategoryOther, 55390},
    {"LINE#", frsCategoryOther, 55393},
    {"LINETHROUGH#", frsCategoryOther, 55394},
    {"COLUMN#", frsCategoryOther, 55395},
    {"TOTALPAGES", frsCategoryOther, 55396},
    {"MAXNUM", frsCategoryMath, 55412},
    {"MINNUM", frsCategoryMath, 55413},
    {"MOD", frsCategoryMath, 55380},
    {"ROUND", frsCategoryMath, 55385},
    {"FRAC", frsCategoryMath, 55386},
    {"INT", frsCategoryMath, 55387},
    {"NOT", frsCategoryLogical, 55382},
    {"AND", frsCategoryLogical, 55383},
    {"OR", frsCategoryLogical, 55384},
    {"TRUE", frsCategoryLogical, 55388},
    {"FALSE", frsCategoryLogical, 55389},
    {"MROK", frsCategoryInterpreter, 55397},
    {"MRCANCEL", frsCategoryInterpreter, 55398},
    {"CURY", frsCategoryInterpreter, 55399},
    {"FREESPACE", frsCategoryInterpreter, 55400},
    {"FINALPASS", frsCategoryInterpreter, 55401},
    {"PAGEHEIGHT", frsCategoryInterpreter, 55402},
    {"PAGEWIDTH", frsCategoryInterpreter, 55403},
    {"PROGRESS", frsCategoryInterpreter, 55404},
    {"MODALRESULT", frsCategoryInterpreter, 55405},
    {"STOPREPORT", frsCategoryInterpreter, 55406},
    {"NEWPAGE", frsCategoryInterpreter, 55407},
    {"NEWCOLUMN", frsCategoryInterpreter, 55408},
    {"SHOWBAND", frsCategoryInterpreter, 55409},
    {"INC", frsCategoryInterpreter, 55410},
    {"DEC", frsCategoryInterpreter, 55411},
    {"REPORTCOMMENT", frsCategoryReportInfo, 55623},
    {"REPORTNAME", frsCategoryReportInfo, 55624},
    {"REPORTAUTOR", frsCategoryReportInfo, 55625},
    {"VMAJOR", frsCategoryReportInfo, 55626},
    {"VMINOR", frsCategoryReportInfo, 55627},
    {"VRELEASE", frsCategoryReportInfo, 55628},
    {"VBUILD", frsCategoryReportInfo, 55629},
    {"REPORTDATE", frsCategoryReportInfo, 55630},
    {"REPORTLASTCHANGE", frsCategoryReportInfo, 55631},
};

constexpr int kFieldIsNullDescription = 55621;

rtl::TVariant Evaluate(const rtl::TVariant& argument) {
    return frGlobals().Parser.Evaluate(argument.AsString());
}

std::string TextOf(const rtl::TVariant& argument) {
    return Evaluate(argument).AsString();
}

int DatePart(const rtl::TVariant& argument, int part) {
    int parts[3];
    rtl::DecodeDate(Evaluate(argument).AsDate(), parts[0], parts[1], parts[2]);
    return parts[part];
}

std::string NameCase(const std::string& text) {
    std::string s = rtl::AnsiLowerCase(text);
    if (!s.empty()) s.replace(0, 1, rtl::AnsiUpperCase(s.substr(0, 1)));
    return s;
}

rtl::TVariant InputBox(const std::string& prompt, const std::string& defaultText) {
    if (const auto& input = frGuiHooks().InputBox)
        return rtl::TVariant(input("", prompt, defaultText));
    return rtl::TVariant(defaultText);
}

rtl::TVariant MessageBox(const std::string& text, const std::string& title, int flags) {
    if (const auto& box = frGuiHooks().MessageBox) return rtl::TVariant(box(text, title, flags));
    return rtl::TVariant(frFirstButtonOf(flags));
}

} // namespace

int frFirstButtonOf(int flags) {
    switch (flags & frmbButtonsMask) {
    case 2: // abort, retry, ignore
        return frIdAbort;
    case 3: // yes, no, cancel
    case 4: // yes, no
        return frIdYes;
    case 5: // retry, cancel
        return frIdRetry;
    case 6: // cancel, try again, continue
        return frIdCancel;
    default: // OK, OK and cancel
        return frIdOk;
    }
}

TfrStdFunctionLibrary::TfrStdFunctionLibrary() {
    for (const char* name : kStdNames) AddFunction(name);
    for (const DescribedFunction& d : kStdDescriptions)
        DescribeFunction(d.name, LoadResourceString(d.category), LoadResourceString(d.description));
}

void TfrStdFunctionLibrary::DoFunction(int index, const rtl::TVariant& p1, const rtl::TVariant& p2,
                                       const rtl::TVariant& p3, rtl::TVariant& value) {
    using V = rtl::TVariant;
    switch (index) {
    case fnAvg:
        CallAggregate(agAvg, p1, p2, p3, value);
        break;
    case fnCount:
        CallAggregate(agCount, p1, p2, p3, value);
        break;
    case fnMax:
        CallAggregate(agMax, p1, p2, p3, value);
        break;
    case fnMin:
        CallAggregate(agMin, p1, p2, p3, value);
        break;
    case fnSum:
        CallAggregate(agSum, p1, p2, p3, value);
        break;
    case fnDayOf:
        value = V(DatePart(p1, 2));
        break;
    case fnMonthOf:
        value = V(DatePart(p1, 1));
        break;
    case fnYearOf:
        value = V(DatePart(p1, 0));
        break;
    case fnFormatDateTime: {
        const std::string pattern = TextOf(p1);
        value = V(rtl::FormatDateTime(pattern, Evaluate(p2).AsDate()));
        break;
    }
    case fnFormatFloat: {
        const std::string pattern = TextOf(p1);
        value = V(rtl::FormatFloat(pattern, Evaluate(p2).AsDouble()));
        break;
    }
    case fnFormatText: {
        const std::string mask = TextOf(p1) + ";0; ";
        value = V(rtl::FormatMaskText(mask, TextOf(p2)));
        break;
    }
    case fnInput: {
        const std::string prompt = TextOf(p1);
        value = InputBox(prompt, TextOf(p2));
        break;
    }
    case fnLength:
        value = V(static_cast<int>(TextOf(p1).size()));
        break;
    case fnLowerCase:
        value = V(rtl::AnsiLowerCase(TextOf(p1)));
        break;
    case fnUpperCase:
        value = V(rtl::AnsiUpperCase(TextOf(p1)));
        break;
    case fnNameCase:
        value = V(NameCase(TextOf(p1)));
        break;
    case fnMaxNum: {
        V a = Evaluate(p1);
        V b = Evaluate(p2);
        value = a > b ? std::move(a) : std::move(b);
        break;
    }
    case fnMinNum: {
        V a = Evaluate(p1);
        V b = Evaluate(p2);
        value = a < b ? std::move(a) : std::move(b);
        break;
    }
    case fnMessageBox: {
        const std::string text = TextOf(p1);
        const std::string title = TextOf(p2);
        value = MessageBox(text, title, Evaluate(p3).AsInteger());
        break;
    }
    case fnPos: {
        const std::string sub = TextOf(p1);
        value = V(rtl::Pos(sub, TextOf(p2)));
        break;
    }
    case fnTrim:
        value = V(rtl::Trim(TextOf(p1)));
        break;
    default:
        break;
    }
}

TDatabaseFunctionLibrary::TDatabaseFunctionLibrary() {
    AddFunction("FIELDISNULL");
    DescribeFunction("FIELDISNULL", LoadResourceString(frsCategoryDatabase),
                     LoadResourceString(kFieldIsNullDescription));
}

void TDatabaseFunctionLibrary::DoFunction(int index, const rtl::TVariant& p1, const rtl::TVariant&,
                                          const rtl::TVariant&, rtl::TVariant& value) {
    if (index != 0) return;
    const std::string text = TextOf(p1);
    const TfrReport* report = CurReport();
    db::TADOQuery* dataSet = report && report->UseDefaultDataSetName ? DefaultDataSet() : nullptr;
    std::string fieldName;
    try {
        FindDataField(text, dataSet, fieldName);
    } catch (const EClassNotFound&) {
        // A field that cannot be found counts as null.
        value = rtl::TVariant(true);
        return;
    }
    if (!dataSet || fieldName.empty()) {
        value = rtl::TVariant(true);
        return;
    }
    if (!dataSet->Active()) dataSet->Open();
    const db::TField* field = dataSet->FindField(fieldName);
    value = rtl::TVariant(!field || field->IsNull());
}
