#pragma once
// Puts the engine's value side behind the model's hooks, so memo tags, list
// methods (.ADD and the like), LOADFROMFILE, dictionary variables and the
// memo layout evaluate through the current report:
// - frEngineHooks().Calculate: the shared parser (frGlobals().Parser), whose
//   names go to ResolveValue and whose calls go to DispatchFunction;
// - frEngineHooks().GetFormattedValue: GetFormattedValue;
// - frEngineHooks().DefineConstant: the engine's named constants;
// - frEngineHooks().CompileScript, RunScript, RunPageScript: the shared
//   script interpreter (report_interpreter.h);
// - frDictionaryHooks(): data sets and fields from the component registry,
//   and the script variables.

// frDictionaryHooks() only.
void InstallDictionaryLookups();
// Everything above.
void InstallExpressionEvaluator();
