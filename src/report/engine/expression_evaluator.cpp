#include "report/engine/expression_evaluator.h"

#include "report/engine/db_dataset.h"
#include "report/core/string_ids.h"
#include "report/engine/parser.h"
#include "report/core/resource_strings.h"
#include "report/model/report.h"
#include "report/core/process_state.h"

#include <memory>

namespace {

class ReportEvaluator {
public:
    ReportEvaluator() {
        parser_.OnValueRequest = [this](const std::string& name, rtl::TVariant& value) {
            ResolveValue(name, value);
        };
        parser_.OnFunctionRequest = [](const std::string& name, const rtl::TVariant& p1,
                                       const rtl::TVariant& p2, const rtl::TVariant& p3,
                                       rtl::TVariant& value) {
            value = rtl::TVariant("0");
            TfrReport* report = CurReport();
            if (report && report->OnUserFunction) report->OnUserFunction(name, p1, p2, p3, value);
        };
    }

    rtl::TVariant Evaluate(const std::string& expression) { return parser_.Evaluate(expression); }

private:
    void ResolveValue(const std::string& name, rtl::TVariant& value) {
        TfrReport* report = CurReport();
        value = rtl::TVariant();
        if (report && report->OnGetValue) {
            report->OnGetValue(name, value);
            if (!value.IsUnassigned()) return;
        }
        value = rtl::TVariant(0);
        if (report && report->Dictionary->IsVariable(name)) {
            value = report->Dictionary->GetValue(name);
            return;
        }
        // Anything else is an expression of its own ([Price * 2]); a name
        // that comes back to itself is unknown.
        if (name == guard_)
            throw EParserError(LoadResourceString(frsUndefinedSymbol) + " \"" + name + "\"");
        struct Restore {
            std::string& guard;
            std::string saved;
            ~Restore() { guard = std::move(saved); }
        } restore{guard_, guard_};
        guard_ = name;
        value = parser_.Evaluate(name);
    }

    TfrParser parser_;
    std::string guard_;
};

} // namespace

void InstallDictionaryLookups() {
    TfrDictionaryHooks& hooks = frDictionaryHooks();
    hooks.FindDataField = [](const std::string& text, db::TADOQuery*& dataSet, std::string& field) {
        return FindDataField(text, dataSet, field);
    };
    hooks.DefaultDataSet = []() -> db::TADOQuery* {
        const TfrReport* report = CurReport();
        return report && report->UseDefaultDataSetName ? DefaultDataSet() : nullptr;
    };
    hooks.GetFieldValue = [](const db::TField& field) { return GetFieldValue(field); };
    hooks.EnumerateDataSets = [](bool reportDataSets, rtl::TStringList& names) {
        EnumerateComponents(
            reportDataSets ? TfrComponentClass::TfrDataset : TfrComponentClass::TDataSet, names);
    };
    hooks.GetFieldNames = [](const std::string& dataSetName, rtl::TStringList& names) {
        const TfrComponent* component = FindComponentByPath(ReportOwner(), dataSetName);
        db::TADOQuery* dataSet = component ? DataSetOfComponent(*component) : nullptr;
        if (!dataSet) return false;
        GetFieldNames(dataSet, names);
        return true;
    };
}

void InstallExpressionEvaluator() {
    InstallDictionaryLookups();
    frEngineHooks().Calculate =
        [evaluator = std::make_shared<ReportEvaluator>()](const std::string& expression) {
            return evaluator->Evaluate(expression);
        };
}
