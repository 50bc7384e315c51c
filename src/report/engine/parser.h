#pragma once
// The expression language of memos, conditions and scripts: infix text is
// compiled to a postfix text, and postfix text evaluates to a variant.
//
// Postfix text, as stored by conditions and compiled scripts:
// - a plain operand (number, name, [bracketed name], name[index], 'quoted
//   literal', %-operand) is its source text followed by one blank;
// - a function call is its whole source text NAME(arguments), no blank after;
// - an operator is one byte (frop* below).
//
// The parser knows literals, operators and the built-ins COPY, IF, STRTODATE
// and STRTOTIME; every other name and function is asked of the owner through
// OnValueRequest and OnFunctionRequest.
//
// Positions are 1-based byte positions, as in the rest of the engine. The
// scanners step over a CP936 lead byte and its trail byte together, so a
// Chinese character whose trail byte looks like '[', ']' or a letter never
// ends a token or a bracket.

#include "platform/rtl/variant.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Malformed expressions and unknown names.
class EParserError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Operator bytes of the postfix text.
constexpr char fropGreaterEqual = 1;
constexpr char fropLessEqual = 2;
constexpr char fropNotEqual = 3;
constexpr char fropOr = 4;
constexpr char fropAnd = 5;
constexpr char fropInt = 6;
constexpr char fropFrac = 7;
constexpr char fropNegate = 9;
constexpr char fropUnaryPlus = 10;
constexpr char fropStr = 11;
constexpr char fropNot = 12;
constexpr char fropMod = 13;
constexpr char fropRound = 14;

// Binding class of an operator byte, 0 (tightest) to 5 ('(' on the operator
// stack); 0 for every byte that is no operator.
int OperatorPriority(unsigned char op);

// With a '[' at `start`, the text strictly between it and its matching ']';
// `end` is left on that ']' (one past the text when it is missing). Quoted
// text in single or double quotes does not count. Without a '[' at `start`
// the result is empty and `end` = `start`.
std::string ExtractBracketed(std::string_view text, int& start, int& end);

// (ParName, ParValue): a name's value; ParValue is Null on entry.
using TDetailEvent = std::function<void(const std::string& ParName, rtl::TVariant& ParValue)>;
// (Name, p1, p2, p3, Val): a function's value from its unevaluated argument
// texts (empty strings when absent); Val is Null on entry.
using TFunctionEvent =
    std::function<void(const std::string& Name, const rtl::TVariant& p1, const rtl::TVariant& p2,
                       const rtl::TVariant& p3, rtl::TVariant& Val)>;

class TfrParser {
public:
    // Value slots of one evaluation.
    static constexpr int kStackSize = 32;
    // Evaluations nested through built-in arguments, GETARRAY and the
    // callbacks; deeper nesting is refused rather than exhausting the stack.
    static constexpr int kMaxNesting = 64;

    // CompileToPostfix, then EvaluatePostfix. Compiled forms are remembered,
    // so texts evaluated again and again (built-in arguments) compile once.
    rtl::TVariant Evaluate(std::string_view expression);
    std::string CompileToPostfix(std::string_view expression) const;
    rtl::TVariant EvaluatePostfix(std::string_view postfix);

    // Bare names (upper-cased) and bracketed names (as written).
    TDetailEvent OnValueRequest;
    // Calls other than the built-ins; the name upper-cased.
    TFunctionEvent OnFunctionRequest;

    // Tokenisers, shared with the function splitter and the interpreter.
    // Skips codes 0..32, then reads up to a delimiter (CR, blank, ( ) * + - /
    // < = > [) met after an even number of double quotes; `pos` is left on
    // the delimiter.
    static std::string ReadOperand(std::string_view text, int& pos);
    // From the opening ' at `pos` to its closing one ('' inside is kept as
    // written); the literal includes both quotes and `pos` ends after it. An
    // unterminated literal runs to the end of the text.
    static std::string ReadQuoted(std::string_view text, int& pos);
    // With `pos` on '(': the argument texts up to the matching ')', which
    // `pos` ends after. Text after a third comma is dropped. EParserError
    // when the parentheses do not balance.
    static void SplitArguments(std::string_view text, int& pos, std::string& first,
                               std::string& second, std::string& third);

private:
    class NestingGuard;
    // A call at `pos` (on its '('); `name` as written.
    rtl::TVariant CallFunction(std::string_view text, int& pos, const std::string& name);
    const std::string& Compiled(std::string_view expression);

    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };

    using Stack = std::array<rtl::TVariant, kStackSize>;

    int nesting_ = 0;
    // The value stacks of nested evaluations, one per depth, made on first
    // use and kept: an evaluation builds no stack of its own.
    std::vector<std::unique_ptr<Stack>> stacks_;
    // Expression text -> postfix; bounded, emptied when full.
    std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> compiled_;
};
