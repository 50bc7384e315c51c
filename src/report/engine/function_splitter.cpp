#include "report/engine/function_splitter.h"

#include "platform/rtl/sysutils.h"
#include "report/core/string_ids.h"
#include "report/engine/parser.h"
#include "report/core/resource_strings.h"
#include "report/model/variables.h"

#include <algorithm>

namespace {

bool SkippedAfterName(unsigned char c) {
    switch (c) {
    case 13:
    case ' ':
    case '*':
    case '+':
    case '-':
    case '/':
    case '<':
    case '=':
    case '>':
        return true;
    default:
        return false;
    }
}

} // namespace

TfrFunctionSplitter::TfrFunctionSplitter(const rtl::TStringList& wantedFunctions,
                                         rtl::TStringList& foundCalls,
                                         const TfrVariables* variables)
    : WantedFunctions(wantedFunctions), FoundCalls(foundCalls), Variables(variables) {}

void TfrFunctionSplitter::CollectCalls(std::string_view expression) {
    expanding_.clear();
    Collect(expression, 0);
}

void TfrFunctionSplitter::CollectVariable(const std::string& name, int depth) {
    const bool looping = std::any_of(expanding_.begin(), expanding_.end(),
                                     [&](const std::string& n) { return rtl::SameText(n, name); });
    if (looping) throw EParserError(LoadResourceString(frsCircularReference) + " \"" + name + "\"");
    expanding_.push_back(name);
    Collect(Variables->GetVariable(name).AsString(), depth + 1);
    expanding_.pop_back();
}

void TfrFunctionSplitter::Collect(std::string_view expression, int depth) {
    if (depth > kMaxNesting) throw EParserError(LoadResourceString(frsNestedTooDeeply));
    const std::string s = rtl::Trim(expression);
    if (s.empty() || s[0] == '\'') return; // a literal holds no calls
    const int n = static_cast<int>(s.size());
    int i = 1;
    while (i <= n) {
        const int before = i;
        if (s[static_cast<std::size_t>(i - 1)] == '[') {
            int start = i;
            int end = i;
            const std::string content = ExtractBracketed(s, start, end);
            if (Variables && Variables->Contains(content))
                CollectVariable(content, depth);
            else
                Collect(content, depth + 1);
            i = end + 1;
            continue;
        }
        std::string token = TfrParser::ReadOperand(s, i);
        const int nameStart = i - static_cast<int>(token.size());
        const char next = i <= n ? s[static_cast<std::size_t>(i - 1)] : '\0';
        // Blanks before a bracket ("a + [b]") lead to the bracket, not to the end.
        if (token.empty() && next == '[') continue;
        if (next == '(') {
            std::string a1, a2, a3;
            TfrParser::SplitArguments(s, i, a1, a2, a3);
            Collect(a1, depth + 1);
            Collect(a2, depth + 1);
            Collect(a3, depth + 1);
            if (!token.empty() && WantedFunctions.IndexOf(token) >= 0)
                FoundCalls.Add(s.substr(static_cast<std::size_t>(nameStart - 1),
                                        static_cast<std::size_t>(i - nameStart)));
        } else if (!token.empty() && Variables && Variables->Contains(token)) {
            CollectVariable(token, depth);
        } else if (i <= n && SkippedAfterName(static_cast<unsigned char>(next))) {
            ++i;
        } else if (token.empty()) {
            break;
        }
        if (i == before) break; // no progress: nothing more to read
    }
}
