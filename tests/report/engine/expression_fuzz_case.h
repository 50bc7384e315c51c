#pragma once
// One input of the expression fuzzer, shared with the test that replays its
// corpus: the bytes are compiled and evaluated as an expression, evaluated
// as if they were stored postfix text, and searched for calls, with
// callbacks that answer values of every kind and evaluate further texts the
// way the report's own resolver does. Errors are the expected outcome of
// most inputs; crashes, overruns and hangs are not.

#include "platform/rtl/string_list.h"
#include "report/engine/function_splitter.h"
#include "report/engine/parser.h"
#include "report/model/variables.h"

#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

namespace fuzzcase {

inline rtl::TVariant ValueOf(const std::string& name) {
    std::size_t h = std::hash<std::string>{}(name);
    switch (h % 6) {
    case 0:
        return rtl::TVariant::Null();
    case 1:
        return rtl::TVariant(static_cast<int>(h % 2001) - 1000);
    case 2:
        return rtl::TVariant(static_cast<double>(h % 10007) / 7.0);
    case 3:
        return rtl::TVariant((h & 8) != 0);
    case 4:
        return rtl::TVariant::Date(static_cast<double>(h % 50000));
    default:
        return rtl::TVariant(name);
    }
}

inline void RunExpression(std::string_view input) {
    TfrParser parser;
    // Bracketed names and function arguments are expressions of their own,
    // as the report's resolver and function libraries treat them.
    parser.OnValueRequest = [&](const std::string& name, rtl::TVariant& value) {
        if (name.size() > 1 && name.size() < input.size())
            value = parser.Evaluate(name);
        else
            value = ValueOf(name);
    };
    parser.OnFunctionRequest = [&](const std::string& name, const rtl::TVariant& p1,
                                   const rtl::TVariant& p2, const rtl::TVariant&,
                                   rtl::TVariant& value) {
        if (name.size() % 2 == 0)
            value = parser.Evaluate(p1.AsString());
        else
            value = rtl::TVariant(name + p2.AsString());
    };

    std::string postfix;
    try {
        postfix = parser.CompileToPostfix(input);
        // Compiling is a pure function of the text: stored forms stay valid.
        if (parser.CompileToPostfix(input) != postfix) std::abort();
    } catch (const EParserError&) {
    }
    try {
        parser.EvaluatePostfix(postfix);
    } catch (const std::exception&) {
    }
    try {
        parser.EvaluatePostfix(input);
    } catch (const std::exception&) {
    }

    rtl::TStringList wanted{"SUM", "MIN", "MAX", "AVG", "COUNT"};
    rtl::TStringList found;
    TfrVariables variables;
    variables.SetVariable("V", rtl::TVariant("SUM([W]) + V2"));
    variables.SetVariable("V2", rtl::TVariant("MIN(1)"));
    variables.SetVariable("W", rtl::TVariant("[V]"));
    TfrFunctionSplitter splitter(wanted, found, &variables);
    try {
        splitter.CollectCalls(input);
    } catch (const EParserError&) {
    }
}

} // namespace fuzzcase
