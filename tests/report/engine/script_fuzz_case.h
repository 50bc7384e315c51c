#pragma once
// One input of the script fuzzer, shared with the test that replays its
// corpus: the bytes are compiled as a script and the code is run, the bytes
// are also run as if they were stored code lines, and the code is searched
// for calls. Names answer values of every kind, functions evaluate their
// arguments, store array elements or compile and run further scripts, so
// runs nest the way the report's own functions make them nest. Errors are
// the expected outcome of most inputs; crashes, overruns, hangs and unbounded
// growth are not.

#include "expression_fuzz_case.h"
#include "platform/rtl/string_list.h"
#include "report/engine/interpreter.h"
#include "report/engine/parser.h"
#include "report/model/variables.h"

#include <cstdlib>
#include <exception>
#include <map>
#include <string>
#include <string_view>

namespace fuzzcase {

class FuzzInterpreter : public TfrInterpretator {
public:
    // Small enough that a runaway input costs milliseconds.
    static constexpr int64_t kSteps = 2000;
    // Bounds on what a script can pile up.
    static constexpr std::size_t kMaxText = 4096;
    static constexpr int kMaxEntries = 1000;
    static constexpr int kMaxNestedScripts = 10;

    FuzzInterpreter() {
        SetStepLimit(kSteps);
        args_.OnValueRequest = [this](const std::string& name, rtl::TVariant& value) {
            GetVariableValue(name, value);
        };
        args_.OnFunctionRequest = [this](const std::string& name, const rtl::TVariant& p1,
                                         const rtl::TVariant& p2, const rtl::TVariant& p3,
                                         rtl::TVariant& value) {
            CallScriptFunction(name, p1, p2, p3, value);
        };
    }

    void GetVariableValue(const std::string& name, rtl::TVariant& value) override {
        if (variables_.Contains(name))
            value = variables_.Get(name);
        else
            value = ValueOf(name);
    }

    void SetVariableValue(const std::string& name, const rtl::TVariant& value) override {
        if (variables_.Count() >= kMaxEntries && !variables_.Contains(name)) return;
        variables_.Set(name, Bounded(value));
    }

    void CallScriptFunction(const std::string& name, const rtl::TVariant& p1,
                            const rtl::TVariant& p2, const rtl::TVariant& p3,
                            rtl::TVariant& value) override {
        if (name == "SETARRAY") {
            const std::string key = p1.AsString() + "|" + args_.Evaluate(p2.AsString()).AsString();
            if (arrays_.size() < static_cast<std::size_t>(kMaxEntries) || arrays_.count(key))
                arrays_[Bounded(rtl::TVariant(key)).AsString()] =
                    Bounded(args_.Evaluate(p3.AsString()));
        } else if (name == "GETARRAY") {
            const auto it =
                arrays_.find(p1.AsString() + "|" + args_.Evaluate(p2.AsString()).AsString());
            if (it != arrays_.end()) value = it->second;
        } else if (name == "RUN") {
            // A script that compiles and runs another while it runs.
            if (++nestedScripts_ > kMaxNestedScripts) return;
            rtl::TStringList source, code, errors;
            source.SetText(Bounded(args_.Evaluate(p1.AsString())).AsString());
            PrepareScript(source, code, errors);
            DoScript(code);
        } else if (name.size() % 2 == 0) {
            value = Bounded(args_.Evaluate(p1.AsString()));
        } else {
            value = Bounded(rtl::TVariant(name + p2.AsString() + p3.AsString()));
        }
    }

private:
    static rtl::TVariant Bounded(const rtl::TVariant& v) {
        if (v.IsString() && v.RawString().size() > kMaxText)
            return rtl::TVariant(v.RawString().substr(0, kMaxText));
        return v;
    }

    TfrParser args_;
    TfrVariables variables_;
    std::map<std::string, rtl::TVariant> arrays_;
    int nestedScripts_ = 0;
};

inline void CheckCompiled(const rtl::TStringList& code, const rtl::TStringList& errors) {
    // One fault gives one error line, and it says where.
    if (errors.Count() > 1) std::abort();
    if (errors.Count() == 1 && errors[0].rfind("Line ", 0) != 0) std::abort();
    for (int i = 0; i < code.Count(); ++i) {
        const std::string& line = code[i];
        // Jumps always carry their target.
        if (!line.empty() && (line[0] == 1 || line[0] == 2) && line.size() < 3) std::abort();
        if (!line.empty() && line[0] == 2 && line.size() != 3) std::abort();
    }
}

// Inputs up to this size also run as stored code lines.
constexpr std::size_t kMaxRawCode = 256;

inline void RunScript(std::string_view input) {
    rtl::TStringList source;
    source.SetText(input);
    FuzzInterpreter interpreter;
    rtl::TStringList code, errors;
    interpreter.PrepareScript(source, code, errors);
    CheckCompiled(code, errors);
    {
        // Compiling is a pure function of the text.
        rtl::TStringList again, againErrors;
        interpreter.PrepareScript(source, again, againErrors);
        if (!again.Equals(code) || !againErrors.Equals(errors)) std::abort();
    }
    try {
        interpreter.DoScript(code);
    } catch (const std::exception&) {
    }
    // The same bytes as stored code lines. Only short inputs: long random
    // text as postfix mostly measures the parser's bracket handling, which
    // the expression fuzzer covers, and slows this one down a hundredfold.
    if (input.size() <= kMaxRawCode) {
        try {
            interpreter.DoScript(source);
        } catch (const std::exception&) {
        }
    }

    rtl::TStringList wanted{"SUM", "MIN", "MAX", "AVG", "COUNT"};
    rtl::TStringList found, names;
    TfrVariables variables;
    variables.SetVariable("V", rtl::TVariant("SUM([W]) + V2"));
    variables.SetVariable("V2", rtl::TVariant("MIN(1)"));
    variables.SetVariable("W", rtl::TVariant("[V]"));
    try {
        interpreter.CollectCodeCalls(code, wanted, &variables, found);
    } catch (const EParserError&) {
    }
    TfrInterpretator::CollectCalledFunctions(code, names);
    TfrInterpretator::CollectCalledFunctions(source, names);
}

} // namespace fuzzcase
