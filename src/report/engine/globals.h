#pragma once
// The engine's process-wide objects (frGlobals(), declared with the other
// process-wide state in report/core/process_state.h): one expression
// language serves every report, and one report is built at a time.
//
// The shared parser asks the current report (CurReport()) for names and
// functions: its OnValueRequest is ResolveValue and its OnFunctionRequest
// DispatchFunction (report_values.h, report_functions.h).

#include "platform/rtl/variant.h"
#include "report/engine/function_library.h"
#include "report/engine/parser.h"
#include "report/engine/report_interpreter.h"
#include "report/model/variables.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class TfrRunBand;
class TfrRunPage;

class TfrGlobals {
public:
    TfrGlobals();
    ~TfrGlobals();
    TfrGlobals(const TfrGlobals&) = delete;
    TfrGlobals& operator=(const TfrGlobals&) = delete;

    // Back to the state of start-up: no script variables, the constants and
    // the two standard libraries only, no build state. The parser keeps its
    // compiled texts.
    void Reset();

    // The shared parser: memo expressions, conditions, aggregates, library
    // arguments.
    TfrParser Parser;
    // The shared script interpreter: object, band and page scripts.
    TInterpretator Interpreter;
    // Values scripts assign and SETARRAY elements; sorted.
    TfrVariables ScriptVariables;
    // Named constants of the expression language; sorted.
    TfrVariables EngineConstants;
    // Function libraries in registration order (at most
    // kMaxFunctionLibraries); the standard and the database library first.
    std::vector<std::unique_ptr<TfrFunctionLibrary>> Libraries;
    // Descriptions the designer's function picker shows.
    TfrInstalledFunctions FunctionDescriptions;

    // Display patterns by format index, from the string table at start-up.
    std::array<std::string, 4> DateFormats;
    std::array<std::string, 4> TimeFormats;
    std::array<std::string, 4> BooleanFormats;

    // Build state the value side reads.
    int PageNo = 0;       // zero-based index of the prepared page being filled
    double BuildDate = 0; // DATE: the day the build started
    double BuildTime = 0; // TIME: the time of day it started
    // The page being formed; set by the band engine with frEngine().CurrentPage.
    TfrRunPage* CurrentRunPage = nullptr;
    // The last memo expression GetFormattedValue evaluated, and its value (VALUE).
    std::string CurrentExpression;
    rtl::TVariant CurrentValue;
    // Aggregate registration is running: nothing is formatted, unknown names
    // stay unassigned instead of raising, aggregates register.
    bool CollectingAggregates = false;
    TfrRunBand* AggregateTargetBand = nullptr;
    // The name ResolveValue is evaluating as an expression.
    std::string RecursionGuard;

private:
    void MakeConstants();
    void LoadFormatPatterns();
    void RegisterStandardLibraries();
};

// Sets DATE and TIME to now and clears the page number: a build starts.
void frStartBuildClock();
