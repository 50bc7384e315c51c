#include "report/engine/report_interpreter.h"

#include "platform/rtl/scoped_restore.h"
#include "report/core/process_state.h"
#include "report/engine/globals.h"
#include "report/engine/report_values.h"
#include "report/model/page.h"
#include "report/model/view.h"

void TInterpretator::GetVariableValue(const std::string& name, rtl::TVariant& value) {
    if (const auto& request = frGlobals().Parser.OnValueRequest) request(name, value);
}

void TInterpretator::SetVariableValue(const std::string& name, const rtl::TVariant& value) {
    AssignVariableValue(name, value);
}

void TInterpretator::CallScriptFunction(const std::string& name, const rtl::TVariant& p1,
                                        const rtl::TVariant& p2, const rtl::TVariant& p3,
                                        rtl::TVariant& value) {
    if (const auto& request = frGlobals().Parser.OnFunctionRequest)
        request(name, p1, p2, p3, value);
}

void frCompileScript(rtl::TStringList& script) {
    rtl::TStringList errors;
    frGlobals().Interpreter.PrepareScript(script, script, errors);
}

void frRunObjectScript(TfrView& view, const rtl::TStringList& code) {
    rtl::ScopedRestore<TfrObject*> current(frEngine().CurrentObject, &view);
    frGlobals().Interpreter.DoScript(code);
}

void frRunPageScript(TfrPage&, const rtl::TStringList& source) {
    rtl::TStringList code, errors;
    TInterpretator& interpreter = frGlobals().Interpreter;
    interpreter.PrepareScript(source, code, errors);
    interpreter.DoScript(code);
}
