#pragma once
// Function calls of expressions and scripts for the report being built
// (CurReport()): the registered libraries, the report's own control
// functions, object methods and the report's OnUserFunction.

#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"

#include <string>
#include <string_view>

// The value starts as the string "0"; the first library that knows the
// name answers; otherwise DoReportFunction, and then OnUserFunction (called
// even when DoReportFunction knew the name, and free to overwrite the
// value). An unknown function therefore gives "0". p1..p3 are the
// unevaluated argument texts. The target of the shared parser's
// OnFunctionRequest.
void DispatchFunction(const std::string& name, const rtl::TVariant& p1, const rtl::TVariant& p2,
                      const rtl::TVariant& p3, rtl::TVariant& value);

// STOPREPORT, NEWPAGE, NEWCOLUMN, SHOWBAND(band), INC(name), DEC(name),
// SETARRAY(array, index, value), GETARRAY(array, index) (names exact), and
// Object.Method(...) for an object found by name. Anything else leaves the
// value as it is.
void DoReportFunction(const std::string& name, const rtl::TVariant& p1, const rtl::TVariant& p2,
                      const rtl::TVariant& p3, rtl::TVariant& value);

// For the designer's syntax check: whether a call of this name is answered
// by the parser itself, a registered library or the report functions. A
// dotted name (Object.Method) counts as known: its object is looked up only
// while the report runs. OnUserFunction may still answer an unknown name.
bool IsKnownFunction(const std::string& name);
// Appends the names of the calls in the expression (and in its brackets and
// arguments) that IsKnownFunction does not know, each once, upper case.
void CollectUnknownFunctions(std::string_view expression, rtl::TStringList& names);
