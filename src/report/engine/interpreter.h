#pragma once
// The script language of objects, bands and pages: a small structured
// language (assignments, calls, IF, REPEAT, WHILE, FOR, GOTO with numeric
// labels, BEGIN ... END) compiled into code lines and run against whatever a
// subclass connects names and functions to.
//
// Code lines, one instruction each; the first byte decides the kind:
//   1, target low, target high, postfix   jump to target when the value is false
//   2, target low, target high            jump to target
//   3, postfix                            call: evaluate and drop; "EXIT(0)" ends the run
//   name, blank, postfix                  assignment: SetVariableValue(name, value)
// Targets are zero-based line indexes; a target at or past the last line
// ends the run. Postfix text is the parser's (parser.h). Compiled code is
// kept and run again and again, so this encoding must not change.
//
// The expressions inside a script are the expression language itself: the
// compiler only finds where each one begins and ends and hands the text to
// the parser.

#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"
#include "report/engine/parser.h"

#include <cstdint>
#include <string>

class TfrVariables;

// A script ran more code lines than its step limit allows.
class EScriptStepLimit : public EParserError {
public:
    using EParserError::EParserError;
};

class TfrInterpretator {
public:
    // The compiler's text buffer: source lines each counted with one byte
    // for their line end. Longer scripts are refused with an error line.
    static constexpr int kBufferSize = 32000;
    // Labels one script may define, and the length of a label with its colon.
    static constexpr int kMaxLabels = 101;
    static constexpr int kMaxLabelLength = 16;
    // Statements and expressions nested inside one another; deeper nesting
    // is refused rather than exhausting the stack.
    static constexpr int kMaxNesting = 200;
    // Code lines one DoScript may execute, runs nested in it included, before
    // it is taken for a script that never ends.
    static constexpr int64_t kDefaultStepLimit = 5'000'000;

    TfrInterpretator();
    virtual ~TfrInterpretator();
    TfrInterpretator(const TfrInterpretator&) = delete;
    TfrInterpretator& operator=(const TfrInterpretator&) = delete;

    // A name's value: bare names upper-cased, bracketed names as written.
    // `value` is Null on entry; the base leaves it so.
    virtual void GetVariableValue(const std::string& name, rtl::TVariant& value);
    // An assignment; `name` as written in the script. The base does nothing.
    virtual void SetVariableValue(const std::string& name, const rtl::TVariant& value);
    // A function other than the parser's built-ins: `name` upper-cased, the
    // arguments their unevaluated texts ("" when absent). `value` is Null on
    // entry; the base leaves it so.
    virtual void CallScriptFunction(const std::string& name, const rtl::TVariant& p1,
                                    const rtl::TVariant& p2, const rtl::TVariant& p3,
                                    rtl::TVariant& value);

    // Compiles one statement (several need BEGIN ... END). `code` and
    // `errors` are emptied first; each fault found adds one line
    // "Line <line>/<column>: <message>" (1-based, counted in the source as
    // written) and compilation stops there, the code made so far kept.
    // `source` and `code` may be the same list.
    virtual void PrepareScript(const rtl::TStringList& source, rtl::TStringList& code,
                               rtl::TStringList& errors);
    // Runs code from its first line. Evaluation errors end the run and reach
    // the caller; so does EScriptStepLimit when the step limit is exceeded.
    virtual void DoScript(const rtl::TStringList& code);

    // Appends to `found` the calls of the `wanted` functions in every code
    // line's expression, expanding `variables` (may be null) as the function
    // splitter does.
    void CollectCodeCalls(const rtl::TStringList& code, const rtl::TStringList& wanted,
                          const TfrVariables* variables, rtl::TStringList& found);
    // The name of every function the code calls (upper-cased, each once, in
    // order of appearance, the parser's built-ins included), so a syntax
    // check can report the ones nothing answers. EXIT is a statement, not a
    // call, and the operator words (INT, STR, NOT...) are operators even
    // when written with parentheses.
    static void CollectCalledFunctions(const rtl::TStringList& code, rtl::TStringList& names);

    int64_t StepLimit() const { return stepLimit_; }
    void SetStepLimit(int64_t limit) { stepLimit_ = limit; }

private:
    class RunGuard;

    TfrParser parser_;
    int64_t stepLimit_ = kDefaultStepLimit;
    // Lines executed by the outermost DoScript and the runs nested in it.
    int64_t steps_ = 0;
    int runDepth_ = 0;
};
