#include "report/engine/expression_evaluator.h"

#include "report/core/process_state.h"
#include "report/engine/db_dataset.h"
#include "report/engine/globals.h"
#include "report/engine/report_interpreter.h"
#include "report/engine/report_values.h"
#include "report/model/report.h"

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
    hooks.ScriptVariables = []() -> const TfrVariables* { return &frGlobals().ScriptVariables; };
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
    TfrEngineHooks& hooks = frEngineHooks();
    hooks.Calculate = [](const std::string& expression) {
        return frGlobals().Parser.Evaluate(expression);
    };
    hooks.GetFormattedValue = [](const std::string& expression) {
        return GetFormattedValue(expression);
    };
    hooks.DefineConstant = [](const std::string& name, const rtl::TVariant& value) {
        frGlobals().EngineConstants.SetVariable(name, value);
    };
    hooks.CompileScript = frCompileScript;
    hooks.RunScript = frRunObjectScript;
    hooks.RunPageScript = frRunPageScript;
}
