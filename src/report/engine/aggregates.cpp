#include "report/engine/aggregates.h"

#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/engine/globals.h"
#include "report/engine/parser.h"
#include "report/engine/run_band.h"
#include "report/model/report.h"
#include "report/model/view.h"

#include <algorithm>
#include <unordered_set>

namespace {

constexpr char kFieldEnd = '\x01';
// MIN starts above every value it may meet.
constexpr double kMinStart = 1e300;

rtl::TVariant StartValue(int code) {
    return code == agMin ? rtl::TVariant(kMinStart) : rtl::TVariant(0);
}

const rtl::TStringList& AggregateNames() {
    static const rtl::TStringList names{"AVG", "COUNT", "MAX", "MIN", "SUM"};
    return names;
}

bool IsAggregateCode(int code) {
    return code >= agSum && code <= agCount;
}

int CodeOfName(const std::string& name) {
    const std::string upper = rtl::UpperCase(rtl::Trim(name));
    if (upper == "SUM") return agSum;
    if (upper == "MIN") return agMin;
    if (upper == "MAX") return agMax;
    if (upper == "AVG") return agAvg;
    if (upper == "COUNT") return agCount;
    return 0;
}

// The footer-like band types a data band of each type totals for, in the
// order registration scans them.
const std::vector<int>& FooterTypes(int dataType) {
    static const std::vector<int> master = {btPageFooter, btColumnFooter, btMasterFooter,
                                            btGroupFooter, btReportSummary};
    static const std::vector<int> detail = {btPageFooter,   btColumnFooter, btMasterFooter,
                                            btDetailFooter, btGroupFooter,  btReportSummary};
    static const std::vector<int> subDetail = {btPageFooter,   btColumnFooter,    btMasterFooter,
                                               btDetailFooter, btSubDetailFooter, btGroupFooter,
                                               btReportSummary};
    static const std::vector<int> cross = {btCrossFooter};
    static const std::vector<int> none;
    switch (dataType) {
    case btMasterData:
        return master;
    case btDetailData:
        return detail;
    case btSubDetailData:
        return subDetail;
    case btCrossData:
        return cross;
    default:
        return none;
    }
}

// The data band type a footer-like band totals when its aggregate names none.
int DefaultDataType(int bandType) {
    switch (bandType) {
    case btReportSummary:
    case btPageFooter:
    case btMasterFooter:
    case btGroupFooter:
        return btMasterData;
    case btDetailFooter:
        return btDetailData;
    case btSubDetailFooter:
        return btSubDetailData;
    case btCrossFooter:
        return btCrossData;
    default:
        return -1;
    }
}

// A band with cross-tab cells keeps one set of accumulators per column,
// except the cross-tab footer, which is the column total itself.
bool KeepsColumns(const TfrRunBand& band) {
    return band.HasCrossObjects() && band.BandType() != btCrossFooter;
}

struct AggregateKey {
    std::string Column; // empty for a key without a column field
    std::string Band;
    int Code = 0;
    std::string Expression;
    std::string Flag;
};

std::string MakeKey(const std::string& band, int code, const std::string& expression,
                    const std::string& flag) {
    std::string key;
    key.reserve(band.size() + expression.size() + flag.size() + 6);
    key += band;
    key += kFieldEnd;
    key += static_cast<char>(code);
    key += kFieldEnd;
    key += expression;
    key += kFieldEnd;
    key += flag;
    key += kFieldEnd;
    return key;
}

// Fields from both ends, so an expression holding byte 1 still parses.
bool ParseKey(const std::string& key, AggregateKey& out) {
    if (key.empty() || key.back() != kFieldEnd) return false;
    const std::string body = key.substr(0, key.size() - 1);
    const std::size_t flagStart = body.rfind(kFieldEnd);
    if (flagStart == std::string::npos) return false;
    out.Flag = body.substr(flagStart + 1);
    std::vector<std::string> head;
    std::size_t from = 0;
    for (int k = 0; k < 3; ++k) {
        const std::size_t end = body.find(kFieldEnd, from);
        if (end == std::string::npos || end > flagStart) break;
        head.push_back(body.substr(from, end - from));
        from = end + 1;
    }
    auto isCode = [](const std::string& field) {
        return field.size() == 1 && IsAggregateCode(static_cast<unsigned char>(field[0]));
    };
    std::size_t codeField;
    if (head.size() >= 2 && isCode(head[1])) {
        out.Column.clear();
        out.Band = head[0];
        codeField = 1;
    } else if (head.size() == 3 && isCode(head[2])) {
        out.Column = head[0];
        out.Band = head[1];
        codeField = 2;
    } else {
        return false;
    }
    out.Code = static_cast<unsigned char>(head[codeField][0]);
    // The expression runs from after the code field to the flag field.
    std::size_t exprStart = 0;
    for (std::size_t k = 0; k <= codeField; ++k) exprStart += head[k].size() + 1;
    out.Expression = exprStart <= flagStart ? body.substr(exprStart, flagStart - exprStart) : "";
    return true;
}

std::string ColumnField(int column) {
    return std::to_string(column) + kFieldEnd;
}

int CurrentColumn() {
    const TfrRunPage* page = frGlobals().CurrentRunPage;
    return page ? page->CrossColumnNo() : 1;
}

TfrRunBand* CurrentRunBand() {
    return dynamic_cast<TfrRunBand*>(frEngine().CurrentBand);
}

void RegisterCall(int code, const rtl::TVariant& p1, const rtl::TVariant& p2,
                  const rtl::TVariant& p3) {
    TfrRunBand* footer = CurrentRunBand();
    TfrRunBand* data = frGlobals().AggregateTargetBand;
    if (!footer || !data) return;
    // COUNT(band [, flag]); the others (expression [, band [, flag]]).
    std::string bandName = (code == agCount ? p1 : p2).AsString();
    const std::string flag = (code == agCount ? p2 : p3).AsString();
    if (rtl::Trim(bandName).empty()) {
        const int dataType = DefaultDataType(footer->BandType());
        if (dataType < 0 || data->BandType() != dataType) return;
        bandName = data->Name;
    }
    if (!rtl::SameText(rtl::Trim(bandName), data->Name)) return;
    std::string key = MakeKey(footer->Name, code, p1.AsString(), flag);
    if (KeepsColumns(*footer)) key = ColumnField(0) + key;
    data->Accumulators.SetVariable(key, StartValue(code));
    footer->AggregateSource = data;
    auto& sources = footer->AggregateSources;
    if (std::find(sources.begin(), sources.end(), data) == sources.end()) sources.push_back(data);
}

// The data band a footer's call reads: the one it names, or for a call that
// names none the first the footer registered in of the footer's default
// type; AggregateSource when neither is found.
TfrRunBand& SourceOf(const TfrRunBand& footer, const std::string& bandName) {
    const std::string name = rtl::Trim(bandName);
    const int defaultType = DefaultDataType(footer.BandType());
    for (TfrRunBand* data : footer.AggregateSources) {
        if (!data) continue;
        if (name.empty() ? data->BandType() == defaultType : rtl::SameText(data->Name, name))
            return *data;
    }
    return *footer.AggregateSource;
}

void ReadTotal(int code, const rtl::TVariant& p1, const rtl::TVariant& p2, const rtl::TVariant& p3,
               rtl::TVariant& value) {
    TfrRunBand* footer = CurrentRunBand();
    if (!footer || !footer->AggregateSource) return;
    TfrRunBand& data = SourceOf(*footer, (code == agCount ? p1 : p2).AsString());
    const std::string flag = (code == agCount ? p2 : p3).AsString();
    std::string key = MakeKey(footer->Name, code, p1.AsString(), flag);
    if (KeepsColumns(*footer)) key = ColumnField(CurrentColumn()) + key;
    rtl::TVariant total = data.Accumulators.GetVariable(key);
    if (code == agAvg)
        total =
            data.AggregatedRows > 0 ? total / rtl::TVariant(data.AggregatedRows) : rtl::TVariant(0);
    value = std::move(total);
}

// Scans one footer-like band: its calls register in the target data band.
void ScanBand(TfrRunBand& band) {
    if (!band.IsPresent()) return;
    frEngine().CurrentBand = &band;
    rtl::TStringList calls;
    TAggregateFunctionsSplitter splitter(calls);
    splitter.CollectScriptCalls(band.Script());
    for (int i = 0; i < band.ObjectCount(); ++i) {
        if (const TfrView* view = band.ObjectAt(i)) {
            splitter.CollectMemoCalls(view->Memo);
            splitter.CollectScriptCalls(view->BeforePrintScript);
        }
    }
    for (int i = 0; i < calls.Count(); ++i) frGlobals().Parser.EvaluatePostfix(calls[i]);
}

void RegisterForDataBand(TfrRunPage& page, TfrRunBand& data) {
    frGlobals().AggregateTargetBand = &data;
    for (const int type : FooterTypes(data.BandType())) {
        TfrRunBand* first = page.RunBand(type);
        if (!first) continue;
        // The first band with its children, then the later bands alone. A
        // chain that comes back to a band it passed is not followed again.
        std::unordered_set<const TfrRunBand*> seen;
        for (TfrRunBand* b = first; b && seen.insert(b).second; b = b->ChildLink()) ScanBand(*b);
        for (TfrRunBand* b = first->NextBand(); b && seen.insert(b).second; b = b->NextBand())
            ScanBand(*b);
    }
}

} // namespace

TAggregateFunctionsSplitter::TAggregateFunctionsSplitter(rtl::TStringList& foundCalls)
    : TfrFunctionSplitter(AggregateNames(), foundCalls,
                          CurReport() ? &CurReport()->Dictionary->Variables : nullptr) {}

void TAggregateFunctionsSplitter::CollectMemoCalls(const rtl::TStringList& memo) {
    for (int line = 0; line < memo.Count(); ++line) {
        const std::string& text = memo[line];
        const int n = static_cast<int>(text.size());
        int i = 1;
        while (i <= n) {
            const unsigned char c =
                static_cast<unsigned char>(text[static_cast<std::size_t>(i - 1)]);
            if (text::IsLeadByte(c) && i < n) {
                i += 2;
                continue;
            }
            if (c != '[') {
                ++i;
                continue;
            }
            int start = i;
            int end = i;
            const std::string expression = ExtractBracketed(text, start, end);
            CollectCalls("[" + expression + "]");
            i = end + 1;
        }
    }
}

void TAggregateFunctionsSplitter::CollectScriptCalls(const rtl::TStringList& code) {
    for (int i = 0; i < code.Count(); ++i) {
        const std::string& line = code[i];
        if (line.empty()) continue;
        switch (line[0]) {
        case 1: // conditional jump: byte, two target bytes, condition
            if (line.size() > 3) CollectCalls(std::string_view(line).substr(3));
            break;
        case 2: // jump: nothing to evaluate
            break;
        case 3: // call
            CollectCalls(std::string_view(line).substr(1));
            break;
        default: { // assignment: the variable, then the value
            std::size_t k = 0;
            while (k < line.size() && static_cast<unsigned char>(line[k]) > ' ') ++k;
            CollectCalls(std::string_view(line).substr(k));
            break;
        }
        }
    }
}

void CallAggregate(TfrAggregateCode code, const rtl::TVariant& p1, const rtl::TVariant& p2,
                   const rtl::TVariant& p3, rtl::TVariant& value) {
    if (frGlobals().CollectingAggregates)
        RegisterCall(code, p1, p2, p3);
    else
        ReadTotal(code, p1, p2, p3, value);
}

void RegisterBandAggregates(TfrRunPage& page) {
    TfrGlobals& g = frGlobals();
    rtl::ScopedRestore<bool> collecting(g.CollectingAggregates, true);
    rtl::ScopedRestore<TfrRunBand*> target(g.AggregateTargetBand);
    rtl::ScopedRestore<TfrBandRuntime*> current(frEngine().CurrentBand);
    for (const int type : {btMasterData, btDetailData, btSubDetailData}) {
        std::unordered_set<const TfrRunBand*> seen;
        for (TfrRunBand* d = page.RunBand(type); d && seen.insert(d).second; d = d->NextBand())
            if (d->HasDataSet()) RegisterForDataBand(page, *d);
    }
    if (TfrRunBand* cross = page.RunBand(btCrossData); cross && cross->IsPresent())
        RegisterForDataBand(page, *cross);
}

void AccumulateRow(TfrRunBand& dataBand) {
    TfrVariables& accumulators = dataBand.Accumulators;
    const bool columns = dataBand.HasCrossObjects();
    std::string prefix;
    if (columns) {
        prefix = ColumnField(CurrentColumn());
        const std::string templatePrefix = ColumnField(0);
        std::vector<std::string> copies;
        for (int i = 0; i < accumulators.Count(); ++i) {
            const std::string& name = accumulators.Name(i);
            if (name.compare(0, templatePrefix.size(), templatePrefix) == 0)
                copies.push_back(prefix + name.substr(templatePrefix.size()));
        }
        for (const std::string& copy : copies)
            if (!accumulators.Contains(copy)) accumulators.SetVariable(copy, rtl::TVariant(0));
    }
    const bool counted = dataBand.Visible();
    bool haveLast = false;
    std::string lastExpression;
    rtl::TVariant lastValue;
    for (int i = 0; i < accumulators.Count(); ++i) {
        const std::string& name = accumulators.Name(i);
        if (columns && name.compare(0, prefix.size(), prefix) != 0) continue;
        AggregateKey key;
        if (!ParseKey(name, key)) continue;
        if (columns != !key.Column.empty()) continue;
        rtl::TVariant total = accumulators.Value(i);
        if (total.IsNull()) total = rtl::TVariant(0);
        rtl::TVariant value;
        if (key.Code != agCount) {
            if (!haveLast || key.Expression != lastExpression) {
                lastValue = frGlobals().Parser.Evaluate(key.Expression);
                lastExpression = key.Expression;
                haveLast = true;
            }
            value = lastValue.IsNull() ? rtl::TVariant(0) : lastValue;
        }
        if (!counted && rtl::Trim(key.Flag) != "1") continue;
        switch (key.Code) {
        case agSum:
        case agAvg:
            total = total + value;
            break;
        case agMin:
            if (value < total) total = value;
            break;
        case agMax:
            if (value > total) total = value;
            break;
        case agCount:
            total = total + rtl::TVariant(1);
            break;
        default:
            break;
        }
        accumulators.SetValue(i, std::move(total));
    }
    ++dataBand.AggregatedRows;
}

void ResetAggregates(TfrRunBand& band) {
    // A group header stores its group values instead; the band engine does that.
    if (band.BandType() == btGroupHeader) return;
    std::vector<TfrRunBand*> sources = band.AggregateSources;
    if (band.AggregateSource &&
        std::find(sources.begin(), sources.end(), band.AggregateSource) == sources.end())
        sources.push_back(band.AggregateSource);
    for (TfrRunBand* data : sources) {
        if (!data) continue;
        TfrVariables& accumulators = data->Accumulators;
        for (int i = 0; i < accumulators.Count(); ++i) {
            AggregateKey key;
            if (ParseKey(accumulators.Name(i), key) && rtl::SameText(key.Band, band.Name))
                accumulators.SetValue(i, StartValue(key.Code));
        }
        data->AggregatedRows = 0;
    }
}

TfrAggregateCheck CheckAggregateCall(const std::string& callText, int bandType,
                                     const std::vector<std::pair<std::string, int>>& dataBands) {
    int pos = 1;
    const std::string name = TfrParser::ReadOperand(callText, pos);
    const int code = CodeOfName(name);
    if (!code || pos > static_cast<int>(callText.size()) ||
        callText[static_cast<std::size_t>(pos - 1)] != '(')
        return TfrAggregateCheck::NotAnAggregate;
    std::string a1, a2, a3;
    TfrParser::SplitArguments(callText, pos, a1, a2, a3);
    const std::string bandName = rtl::Trim(code == agCount ? a1 : a2);
    auto totals = [&](int dataType) {
        const auto& types = FooterTypes(dataType);
        return std::find(types.begin(), types.end(), bandType) != types.end();
    };
    if (bandName.empty()) {
        const int dataType = DefaultDataType(bandType);
        for (const auto& [dataName, type] : dataBands)
            if (type == dataType && totals(type)) return TfrAggregateCheck::Registered;
        return TfrAggregateCheck::NoDataBand;
    }
    for (const auto& [dataName, type] : dataBands)
        if (rtl::SameText(dataName, bandName) && totals(type)) return TfrAggregateCheck::Registered;
    return TfrAggregateCheck::UnknownBand;
}
