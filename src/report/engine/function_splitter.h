#pragma once
// Finds the calls of chosen functions in an expression, looking into
// bracketed names, arguments and dictionary variables, so aggregates and
// scripts can register them before a report is built.

#include "platform/rtl/string_list.h"

#include <string>
#include <string_view>
#include <vector>

class TfrVariables;

class TfrFunctionSplitter {
public:
    // Nesting of expressions, arguments and variables followed before the
    // expression counts as malformed.
    static constexpr int kMaxNesting = 64;

    // None of the three is owned; `variables` may be null.
    TfrFunctionSplitter(const rtl::TStringList& wantedFunctions, rtl::TStringList& foundCalls,
                        const TfrVariables* variables);

    // Appends to FoundCalls the text of every call of a wanted function,
    // inner calls before the calls that contain them. A variable whose value
    // leads back to itself raises EParserError.
    void CollectCalls(std::string_view expression);

    const rtl::TStringList& WantedFunctions;
    rtl::TStringList& FoundCalls;
    const TfrVariables* Variables;

private:
    void Collect(std::string_view expression, int depth);
    void CollectVariable(const std::string& name, int depth);

    // Variables being expanded, outermost first.
    std::vector<std::string> expanding_;
};
