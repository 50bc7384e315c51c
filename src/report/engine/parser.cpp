#include "report/engine/parser.h"

#include "platform/rtl/dateutils.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/string_ids.h"
#include "report/core/resource_strings.h"

#include <array>
#include <climits>
#include <cmath>

namespace {

// Compiled texts kept by one parser before the memory is emptied.
constexpr std::size_t kCompiledLimit = 4096;
// INT and FRAC take a value this close to a whole number as that number,
// so 2.9999999999999 is 3 and not 2.
constexpr double kWholeSnap = 1e-10;

int Length(std::string_view s) {
    return s.size() > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(s.size());
}

// The byte at a 1-based position.
unsigned char At(std::string_view s, int pos) {
    return static_cast<unsigned char>(s[static_cast<std::size_t>(pos - 1)]);
}

// A lead byte with its trail byte inside the text: the two are one character.
bool DoubleByteAt(std::string_view s, int pos, int length) {
    return text::IsLeadByte(At(s, pos)) && pos < length;
}

std::string Slice(std::string_view s, int from, int count) {
    if (count <= 0) return {};
    return std::string(
        s.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count)));
}

bool IsOperandDelimiter(unsigned char c) {
    switch (c) {
    case 13:
    case ' ':
    case '(':
    case ')':
    case '*':
    case '+':
    case '-':
    case '/':
    case '<':
    case '=':
    case '>':
    case '[':
        return true;
    default:
        return false;
    }
}

bool StartsNumber(unsigned char c) {
    return c == ',' || c == '.' || (c >= '0' && c <= '9');
}

std::string Message(int identifier) {
    return LoadResourceString(identifier);
}

[[noreturn]] void MissingOperand() {
    throw EParserError(Message(frsMissingOperand));
}

// INT, FRAC and ROUND leave doubles; the snapping keeps decimal noise out.
double IntPart(double x) {
    const double whole = std::nearbyint(x);
    return std::fabs(whole - x) < kWholeSnap ? whole : std::trunc(x);
}

double FracPart(double x) {
    const double whole = std::nearbyint(x);
    if (std::fabs(whole - x) < kWholeSnap) return 0.0;
    return x - std::trunc(x);
}

// The literal without its outer quotes, every run of quotes made one quote.
std::string UnquoteLiteral(const std::string& literal) {
    std::size_t from = 1;
    std::size_t to = literal.size();
    if (to >= 2 && literal.back() == '\'') --to; // an unterminated literal has no closing quote
    std::string s;
    s.reserve(to > from ? to - from : 0);
    for (std::size_t i = from; i < to; ++i) {
        if (literal[i] == '\'' && !s.empty() && s.back() == '\'') continue;
        s.push_back(literal[i]);
    }
    return s;
}

// A number written with either decimal mark, read with the locale's.
rtl::TVariant ParseNumber(std::string token) {
    const char separator = rtl::FormatSettings().DecimalSeparator;
    for (char& c : token)
        if (c == ',' || c == '.') c = separator;
    return rtl::TVariant(rtl::StrToFloat(token));
}

} // namespace

int OperatorPriority(unsigned char op) {
    switch (op) {
    case fropInt:
    case fropFrac:
    case fropRound:
    case fropStr:
        return 0;
    case '*':
    case '/':
    case fropMod:
    case fropOr:
    case fropAnd:
    case fropNot:
        return 1;
    case '+':
    case '-':
    case fropNegate:
    case fropUnaryPlus:
        return 2;
    case fropGreaterEqual:
    case fropLessEqual:
    case fropNotEqual:
    case '<':
    case '=':
    case '>':
        return 3;
    case ')':
        return 4;
    case '(':
        return 5;
    default:
        return 0;
    }
}

std::string ExtractBracketed(std::string_view text, int& start, int& end) {
    const int n = Length(text);
    if (start < 1 || start > n || At(text, start) != '[') {
        end = start;
        return {};
    }
    bool inSingle = false;
    bool inDouble = false;
    int depth = 0;
    int i = start;
    while (i <= n) {
        if (DoubleByteAt(text, i, n)) {
            i += 2;
            continue;
        }
        const unsigned char c = At(text, i);
        if (c == '"' && !inSingle)
            inDouble = !inDouble;
        else if (c == '\'' && !inDouble)
            inSingle = !inSingle;
        else if (!inSingle && !inDouble && c == '[')
            ++depth;
        else if (!inSingle && !inDouble && c == ']')
            --depth;
        if (depth == 0) {
            end = i;
            return Slice(text, start + 1, i - start - 1);
        }
        ++i;
    }
    end = n + 1;
    return Slice(text, start + 1, n - start);
}

std::string TfrParser::ReadOperand(std::string_view text, int& pos) {
    const int n = Length(text);
    if (pos < 1) pos = 1;
    while (pos <= n && At(text, pos) <= ' ') ++pos;
    const int start = pos;
    bool oddQuotes = false;
    while (pos <= n) {
        if (DoubleByteAt(text, pos, n)) {
            pos += 2;
            continue;
        }
        const unsigned char c = At(text, pos);
        if (c == '"')
            oddQuotes = !oddQuotes;
        else if (!oddQuotes && IsOperandDelimiter(c))
            break;
        ++pos;
    }
    if (pos > n + 1) pos = n + 1;
    return Slice(text, start, pos - start);
}

std::string TfrParser::ReadQuoted(std::string_view text, int& pos) {
    const int n = Length(text);
    if (pos < 1 || pos > n) return {};
    const int start = pos++;
    while (pos <= n) {
        if (DoubleByteAt(text, pos, n)) {
            pos += 2;
            continue;
        }
        if (At(text, pos) == '\'') {
            if (pos < n && At(text, pos + 1) == '\'') {
                pos += 2;
                continue;
            }
            ++pos;
            return Slice(text, start, pos - start);
        }
        ++pos;
    }
    pos = n + 1;
    return Slice(text, start, n - start + 1);
}

void TfrParser::SplitArguments(std::string_view text, int& pos, std::string& first,
                               std::string& second, std::string& third) {
    first.clear();
    second.clear();
    third.clear();
    // 0-based from here: `i` walks the bytes after the '(' at pos.
    const std::size_t n = static_cast<std::size_t>(Length(text));
    const char* const d = text.data();
    int depth = 1;
    bool quoted = false;
    int closed = 0;
    std::size_t argStart = static_cast<std::size_t>(pos);
    std::size_t i = argStart;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(d[i]);
        if (text::IsLeadByte(c) && i + 1 < n) {
            i += 2;
            continue;
        }
        if (c == '\'') {
            quoted = !quoted;
        } else if (!quoted) {
            if (c == '(') {
                ++depth;
            } else if (c == ')') {
                if (--depth == 0) break;
            } else if (c == ',' && depth == 1) {
                (closed == 0 ? first : second).assign(d + argStart, i - argStart);
                ++closed;
                argStart = i + 1;
            }
        }
        ++i;
    }
    if (depth != 0) throw EParserError(Message(frsUnbalancedParentheses));
    if (closed == 0)
        first.assign(d + argStart, i - argStart);
    else if (closed == 1)
        second.assign(d + argStart, i - argStart);
    else if (closed == 2)
        third.assign(d + argStart, i - argStart);
    pos = static_cast<int>(i) + 2;
}

std::string TfrParser::CompileToPostfix(std::string_view expression) const {
    const std::string text(expression); // a private copy, as the scanners may read past a view
    const int n = Length(text);
    std::string out;
    out.reserve(text.size() + 8);
    std::string ops; // the operator stack; its top is the back
    bool lastWasOperand = false;

    auto pushOperator = [&](char op) {
        lastWasOperand = false;
        const int priority = OperatorPriority(static_cast<unsigned char>(op));
        if (ops.empty() || priority < OperatorPriority(static_cast<unsigned char>(ops.back()))) {
            ops.push_back(op);
            return;
        }
        while (!ops.empty() &&
               priority >= OperatorPriority(static_cast<unsigned char>(ops.back()))) {
            out.push_back(ops.back());
            ops.pop_back();
        }
        ops.push_back(op);
    };
    // The source text of a bracket starting at `p`, up to its ']' (or the end).
    auto appendBracket = [&](std::string& token, int& p) {
        int start = p;
        int end = p;
        ExtractBracketed(text, start, end);
        const int last = end > n ? n : end;
        token += Slice(text, start, last - start + 1);
        p = last + 1;
    };

    int p = 1;
    while (p <= n) {
        const unsigned char c = At(text, p);
        // Blanks and control characters separate tokens, like CR and the blank.
        if (c <= ' ') {
            ++p;
            continue;
        }
        if (c == '(') {
            ops.push_back('(');
            lastWasOperand = false;
            ++p;
            continue;
        }
        if (c == ')') {
            const std::size_t open = ops.rfind('(');
            if (open != std::string::npos) {
                for (std::size_t k = ops.size(); k > open + 1; --k) out.push_back(ops[k - 1]);
                ops.resize(open);
            }
            ++p;
            continue;
        }
        if (c == ';') break;
        if (c == '*' || c == '+' || c == '-' || c == '/' || c == '<' || c == '=' || c == '>') {
            char op = static_cast<char>(c);
            const unsigned char next = p < n ? At(text, p + 1) : 0;
            if (c == '<' && next == '>') {
                op = fropNotEqual;
                ++p;
            } else if (c == '>' && next == '=') {
                op = fropGreaterEqual;
                ++p;
            } else if (c == '<' && next == '=') {
                op = fropLessEqual;
                ++p;
            }
            if (!lastWasOperand) {
                if (op == '-') op = fropNegate;
                if (op == '+') op = fropUnaryPlus;
            }
            ++p;
            pushOperator(op);
            continue;
        }

        // An operand.
        lastWasOperand = true;
        const int nameStart = p;
        std::string token;
        if (c == '%') {
            // '%' takes the next character whatever it is.
            const int width = p + 1 <= n && DoubleByteAt(text, p + 1, n) ? 2 : 1;
            token = Slice(text, p, p + width <= n ? 1 + width : n - p + 1);
            p += 1 + width;
        }
        if (p <= n && At(text, p) == '\'') {
            token += ReadQuoted(text, p);
        } else if (p <= n && At(text, p) == '[') {
            appendBracket(token, p);
        } else {
            std::string operand = ReadOperand(text, p);
            // ';' ends the expression even right after a name ("total; x").
            bool quoted = false;
            for (std::size_t k = 0; k < operand.size(); ++k) {
                if (operand[k] == '"') {
                    quoted = !quoted;
                } else if (operand[k] == ';' && !quoted) {
                    p -= static_cast<int>(operand.size() - k);
                    operand.resize(k);
                    break;
                }
            }
            token += operand;
            if (p <= n && At(text, p) == '[') appendBracket(token, p);
        }
        if (token.empty()) continue; // nothing but blanks were left

        if (StartsNumber(static_cast<unsigned char>(token[0]))) {
            out += token;
            out.push_back(' ');
            continue;
        }
        const std::string upper = rtl::UpperCase(token);
        char keyword = 0;
        if (upper == "INT")
            keyword = fropInt;
        else if (upper == "FRAC")
            keyword = fropFrac;
        else if (upper == "ROUND")
            keyword = fropRound;
        else if (upper == "OR")
            keyword = fropOr;
        else if (upper == "AND")
            keyword = fropAnd;
        else if (upper == "NOT")
            keyword = fropNot;
        else if (upper == "STR")
            keyword = fropStr;
        else if (upper == "MOD")
            keyword = fropMod;
        if (keyword) {
            pushOperator(keyword);
            continue;
        }
        if (p <= n && At(text, p) == '(') {
            std::string a1, a2, a3;
            SplitArguments(text, p, a1, a2, a3);
            out += Slice(text, nameStart, p - nameStart);
            continue;
        }
        out += token;
        out.push_back(' ');
    }
    for (std::size_t k = ops.size(); k > 0; --k) out.push_back(ops[k - 1]);
    return out;
}

class TfrParser::NestingGuard {
public:
    explicit NestingGuard(TfrParser& parser) : parser_(parser) {
        if (parser_.nesting_ >= kMaxNesting) throw EParserError(Message(frsNestedTooDeeply));
        ++parser_.nesting_;
    }
    ~NestingGuard() { --parser_.nesting_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

private:
    TfrParser& parser_;
};

const std::string& TfrParser::Compiled(std::string_view expression) {
    auto it = compiled_.find(expression);
    if (it != compiled_.end()) return it->second;
    // Emptied only between top-level evaluations: nested ones still read
    // their postfix from here.
    if (compiled_.size() >= kCompiledLimit && nesting_ == 0) compiled_.clear();
    return compiled_.emplace(std::string(expression), CompileToPostfix(expression)).first->second;
}

rtl::TVariant TfrParser::Evaluate(std::string_view expression) {
    return EvaluatePostfix(Compiled(expression));
}

namespace {

// The whole number a value's text form reads as (StrToInt of AsString),
// without the round trip through text for numbers.
int WholeNumberOf(const rtl::TVariant& v) {
    if (v.VarType() == rtl::TVarType::Integer) return v.RawInteger();
    if (v.VarType() == rtl::TVarType::Double) {
        const double x = v.RawDouble();
        if (x == std::trunc(x) && std::fabs(x) <= 2147483647.0) return static_cast<int>(x);
    }
    return rtl::StrToInt(v.AsString());
}

// The number a condition's text form reads as (StrToFloat of AsString).
double ConditionOf(const rtl::TVariant& v) {
    if (v.VarType() == rtl::TVarType::Integer) return v.RawInteger();
    return rtl::StrToFloat(v.AsString());
}

} // namespace

rtl::TVariant TfrParser::CallFunction(std::string_view text, int& pos, const std::string& name) {
    std::string a1, a2, a3;
    SplitArguments(text, pos, a1, a2, a3);
    if (rtl::SameText(name, "COPY")) {
        const std::string s = Evaluate(a1).AsString();
        const int from = WholeNumberOf(Evaluate(a2));
        const int count = WholeNumberOf(Evaluate(a3));
        return rtl::TVariant(rtl::Copy(s, from, count));
    }
    if (rtl::SameText(name, "IF")) {
        const double condition = ConditionOf(Evaluate(a1));
        return std::trunc(condition) != 0 ? Evaluate(a2) : Evaluate(a3);
    }
    if (rtl::SameText(name, "STRTODATE"))
        return rtl::TVariant::Date(rtl::StrToDate(Evaluate(a1).AsString()));
    if (rtl::SameText(name, "STRTOTIME"))
        return rtl::TVariant::Date(rtl::StrToTime(Evaluate(a1).AsString()));
    rtl::TVariant value = rtl::TVariant::Null();
    if (OnFunctionRequest)
        OnFunctionRequest(rtl::UpperCase(name), rtl::TVariant(std::move(a1)),
                          rtl::TVariant(std::move(a2)), rtl::TVariant(std::move(a3)), value);
    return value;
}

rtl::TVariant TfrParser::EvaluatePostfix(std::string_view postfix) {
    NestingGuard nesting(*this);
    if (stacks_.size() < static_cast<std::size_t>(nesting_))
        stacks_.push_back(std::make_unique<Stack>());
    Stack& stack = *stacks_[static_cast<std::size_t>(nesting_ - 1)];
    int count = 0;
    auto push = [&](rtl::TVariant v) {
        if (count == kStackSize) throw EParserError(Message(frsExpressionTooComplex));
        stack[static_cast<std::size_t>(count++)] = std::move(v);
    };
    auto top = [&](int depth) -> rtl::TVariant& {
        return stack[static_cast<std::size_t>(count - 1 - depth)];
    };
    auto binary = [&](auto op) {
        if (count < 2) MissingOperand();
        top(1) = op(top(1), top(0));
        --count;
    };
    auto unary = [&](auto op) {
        if (count < 1) MissingOperand();
        top(0) = op(top(0));
    };
    using V = rtl::TVariant;
    auto truth = [](bool b) { return V(b ? 1 : 0); };

    const std::string_view s = postfix;
    const int n = Length(s);
    int p = 1;
    while (p <= n) {
        const unsigned char b = At(s, p);
        switch (b) {
        case ' ':
        case fropUnaryPlus:
            ++p;
            continue;
        case '+':
            binary([](const V& l, const V& r) { return l + r; });
            ++p;
            continue;
        case '-':
            binary([](const V& l, const V& r) { return l - r; });
            ++p;
            continue;
        case '*':
            binary([](const V& l, const V& r) { return l * r; });
            ++p;
            continue;
        case '/':
            binary([](const V& l, const V& r) { return r == V(0) ? V(0) : l / r; });
            ++p;
            continue;
        case fropMod:
            binary([](const V& l, const V& r) { return rtl::VarMod(l, r); });
            ++p;
            continue;
        case fropAnd:
            binary([](const V& l, const V& r) { return rtl::VarAnd(l, r); });
            ++p;
            continue;
        case fropOr:
            binary([](const V& l, const V& r) { return rtl::VarOr(l, r); });
            ++p;
            continue;
        case '=':
            binary([&](const V& l, const V& r) { return truth(l == r); });
            ++p;
            continue;
        case fropNotEqual:
            binary([&](const V& l, const V& r) { return truth(l != r); });
            ++p;
            continue;
        case '<':
            binary([&](const V& l, const V& r) { return truth(l < r); });
            ++p;
            continue;
        case '>':
            binary([&](const V& l, const V& r) { return truth(l > r); });
            ++p;
            continue;
        case fropLessEqual:
            binary([&](const V& l, const V& r) { return truth(l <= r); });
            ++p;
            continue;
        case fropGreaterEqual:
            binary([&](const V& l, const V& r) { return truth(l >= r); });
            ++p;
            continue;
        case fropNot:
            unary([&](const V& v) { return truth(v == V(0)); });
            ++p;
            continue;
        case fropNegate:
            unary([](const V& v) { return -v; });
            ++p;
            continue;
        case fropInt:
            unary([](const V& v) { return V(IntPart(v.AsDouble())); });
            ++p;
            continue;
        case fropFrac:
            unary([](const V& v) { return V(FracPart(v.AsDouble())); });
            ++p;
            continue;
        case fropRound:
            unary([](const V& v) { return V(std::nearbyint(v.AsDouble())); });
            ++p;
            continue;
        case fropStr:
            unary([](const V& v) { return v.IsNull() ? V(std::string()) : V(v.AsString()); });
            ++p;
            continue;
        case '[': {
            int start = p;
            int end = p;
            const std::string name = ExtractBracketed(s, start, end);
            rtl::TVariant value = rtl::TVariant::Null();
            if (OnValueRequest) OnValueRequest(name, value);
            push(std::move(value));
            p = end + 1;
            continue;
        }
        case '\'':
            push(V(UnquoteLiteral(ReadQuoted(s, p))));
            continue;
        default:
            break;
        }

        const int before = p;
        std::string token = ReadOperand(s, p);
        const unsigned char next = p <= n ? At(s, p) : 0;
        if (token.empty() && next != '(' && next != '[') {
            // Nothing but control bytes, or a stray delimiter: step over it.
            if (p == before) ++p;
            continue;
        }
        if (!token.empty() && StartsNumber(static_cast<unsigned char>(token[0]))) {
            push(ParseNumber(std::move(token)));
        } else if (rtl::SameText(token, "TRUE")) {
            push(V(true));
        } else if (rtl::SameText(token, "FALSE")) {
            push(V(false));
        } else if (next == '[') {
            // name[index] is the function GETARRAY(name, index).
            int start = p;
            int end = p;
            const std::string index = ExtractBracketed(s, start, end);
            p = end + 1;
            push(Evaluate("GETARRAY(" + token + ", " + index + ")"));
        } else if (next == '(') {
            push(CallFunction(s, p, token));
        } else {
            rtl::TVariant value = rtl::TVariant::Null();
            if (OnValueRequest) OnValueRequest(rtl::UpperCase(token), value);
            push(std::move(value));
        }
    }
    return count > 0 ? std::move(stack[0]) : rtl::TVariant();
}
