#pragma once
// The interpreter scripts of objects, bands and pages run on: it connects
// the script language to the report being built. Names read what memo
// expressions read (the shared parser's OnValueRequest, ResolveValue during
// a build), calls go where expression calls go (DispatchFunction), and
// assignments follow AssignVariableValue's rules (script variables,
// dictionary variables, MODALRESULT, CURY, PROGRESS, object properties).
// One serves the process: frGlobals().Interpreter.

#include "report/engine/interpreter.h"

class TfrPage;
class TfrView;

class TInterpretator : public TfrInterpretator {
public:
    void GetVariableValue(const std::string& name, rtl::TVariant& value) override;
    void SetVariableValue(const std::string& name, const rtl::TVariant& value) override;
    void CallScriptFunction(const std::string& name, const rtl::TVariant& p1,
                            const rtl::TVariant& p2, const rtl::TVariant& p3,
                            rtl::TVariant& value) override;
};

// Compiles a script in place into its code lines; syntax faults are dropped
// (the code made up to the fault stays), as the build ignores them.
void frCompileScript(rtl::TStringList& script);
// Runs an object's compiled script with the object current, so bare
// property names (Visible := False) are the object's own.
void frRunObjectScript(TfrView& view, const rtl::TStringList& code);
// Compiles and runs a page's script (no current object).
void frRunPageScript(TfrPage& page, const rtl::TStringList& source);
