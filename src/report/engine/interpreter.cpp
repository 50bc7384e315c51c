#include "report/engine/interpreter.h"

#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/function_splitter.h"

#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr char kConditionalJump = 1;
constexpr char kJump = 2;
constexpr char kCall = 3;
// The target of a jump not resolved (yet): past the end of any script, so
// code kept after a compile error ends there instead of jumping at random.
constexpr int kNoTarget = 0xFFFF;
// No statement makes more than one code line per two bytes of its source
// ("a;" is the densest), so the lines of a script that fits the buffer are
// always within a jump's 16 bits.
static_assert(TfrInterpretator::kBufferSize / 2 < kNoTarget);

unsigned char Byte(std::string_view s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

std::string JumpLine(char kind, int target) {
    std::string line(3, kind);
    line[1] = static_cast<char>(target & 0xFF);
    line[2] = static_cast<char>((target >> 8) & 0xFF);
    return line;
}

void SetTarget(std::string& line, int target) {
    line[1] = static_cast<char>(target & 0xFF);
    line[2] = static_cast<char>((target >> 8) & 0xFF);
}

// A jump line too short to hold its target ends the run.
std::size_t TargetOf(std::string_view line) {
    if (line.size() < 3) return kNoTarget;
    return static_cast<std::size_t>(Byte(line, 1) | (Byte(line, 2) << 8));
}

std::string_view Tail(std::string_view s, std::size_t from) {
    return from < s.size() ? s.substr(from) : std::string_view();
}

// The end of an assignment line's name: its first byte of code 32 or less.
std::size_t NameEnd(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && Byte(line, i) > ' ') ++i;
    return i;
}

// The expression of a code line, as the call collectors read it.
std::string_view ExpressionPart(std::string_view line) {
    if (line.empty()) return {};
    switch (line[0]) {
    case kConditionalJump:
        return Tail(line, 3);
    case kJump:
        return {};
    case kCall:
        return Tail(line, 1);
    default:
        return Tail(line, NameEnd(line) + 1);
    }
}

bool IsExit(std::string_view callText) {
    return rtl::SameText(callText, "EXIT(0)");
}

std::string Message(int identifier) {
    return LoadResourceString(identifier);
}

std::string MessageWith(int identifier, const std::string& argument) {
    std::string text = Message(identifier);
    const std::size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument);
    return text;
}

bool IsDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

// A lead byte and a trail byte (0x40-0xFE) are one character. A lead byte
// before anything else (a line end, a quote) is left alone, so malformed
// text never swallows the end of a line.
bool DoubleByte(unsigned char lead, unsigned char trail) {
    return text::IsLeadByte(lead) && trail >= 0x40 && trail <= 0xFE;
}

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// ---------------------------------------------------------------------------
// One compilation: the script text, the read position, the labels and the
// code made so far. Positions are 0-based offsets into the text.

class ScriptCompiler {
public:
    ScriptCompiler(const TfrParser& parser, rtl::TStringList& code, rtl::TStringList& errors)
        : parser_(parser), code_(code), errors_(errors) {}

    void Compile(const rtl::TStringList& source);

private:
    // A comment replaced by one blank at `pos`; `extra` bytes were dropped.
    struct Comment {
        std::size_t pos;
        std::size_t extra;
    };
    struct Label {
        std::string text; // digits and colon
        int line;
    };
    struct PendingJump {
        int line;
        std::string label; // digits and colon
        std::size_t pos;
    };

    class Nesting {
    public:
        explicit Nesting(ScriptCompiler& compiler) : compiler_(compiler) { ++compiler_.depth_; }
        ~Nesting() { --compiler_.depth_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        // Reports and answers true when the nesting went too deep.
        bool TooDeep() {
            if (compiler_.depth_ <= TfrInterpretator::kMaxNesting) return false;
            compiler_.Error(frsScriptTooDeep);
            return true;
        }

    private:
        ScriptCompiler& compiler_;
    };

    // Text.
    unsigned char Ch(std::size_t p) const { return p < buf_.size() ? Byte(buf_, p) : 0; }
    bool DoubleByteAt(std::size_t p) const { return DoubleByte(Ch(p), Ch(p + 1)); }
    void ReadText(const std::string& raw);
    void SkipBlanks() {
        while (cur_ < buf_.size() && Byte(buf_, cur_) <= ' ') ++cur_;
    }
    // Whether the next word starts with `prefix`, or is exactly `word`
    // (letter case ignored); either marks the word as the last examined.
    bool NextStarts(std::string_view prefix);
    bool NextIs(std::string_view word);
    bool NextIsEnd() { return NextIs("END") || NextIs("END;"); }
    bool StartsName(std::size_t p) const {
        const unsigned char c = Ch(p);
        return IsAsciiLetter(c) || c == '_' || DoubleByteAt(p);
    }
    // The end of a name starting at `p`: letters, digits, "_", "." and
    // Chinese characters; `quoted` also takes double-quoted runs, as in
    // DataSet."Field name".
    std::size_t NameEndAt(std::size_t p, bool quoted) const;

    // Errors.
    std::string Where(std::size_t pos) const;
    void Error(int identifier) { ErrorText(Message(identifier)); }
    void ErrorText(const std::string& message);

    // Code.
    // `pos`: where the line's statement or expression begins, for errors
    // found when the line is finished.
    int Emit(std::string line, std::size_t pos);
    void EmitAssignment(const std::string& variable, const std::string& index, bool indexed,
                        const std::string& value, std::size_t pos);
    // Points the jump at `line` to the next line to be made.
    void JumpHere(int line);
    void Finish();
    void AddLabel(std::size_t from, std::size_t to);

    // Grammar.
    void Statement();
    void Block();
    void If();
    void Repeat();
    void While();
    void For();
    void Goto();
    // variable ":=" expression; the variable's text goes to `variable`.
    void Assignment(std::string& variable, std::string& index, bool& indexed);
    void VariableStatement();
    void ExpressionStatement();
    // The text of an expression, trimmed; `start` receives where it begins.
    std::string ExpressionText(std::size_t& start);
    void Expression();
    void Simple();
    void Term();
    void Factor();
    void CallArguments();
    void QuotedText();

    const TfrParser& parser_;
    rtl::TStringList& code_;
    rtl::TStringList& errors_;

    std::vector<std::size_t> lineLengths_; // of the source lines
    std::string buf_;
    std::size_t cur_ = 0;
    std::size_t lastWord_ = 0;
    bool error_ = false;
    int depth_ = 0;
    std::vector<Comment> comments_;
    std::vector<Label> labels_;
    std::vector<PendingJump> jumps_;
    std::vector<std::size_t> linePos_; // where each code line's statement began
};

void ScriptCompiler::Compile(const rtl::TStringList& source) {
    // The source is read before the code list is emptied: they may be one list.
    std::size_t total = 0;
    std::string raw;
    lineLengths_.reserve(static_cast<std::size_t>(source.Count()));
    for (int i = 0; i < source.Count(); ++i) total += source[i].size() + 1;
    if (total <= static_cast<std::size_t>(TfrInterpretator::kBufferSize)) {
        raw.reserve(total);
        for (int i = 0; i < source.Count(); ++i) {
            raw += source[i];
            raw.push_back('\r');
        }
    }
    for (int i = 0; i < source.Count(); ++i) lineLengths_.push_back(source[i].size());
    code_.Clear();
    errors_.Clear();
    if (total > static_cast<std::size_t>(TfrInterpretator::kBufferSize)) {
        // Nothing of a script that does not fit is compiled.
        errors_.Add(Where(static_cast<std::size_t>(TfrInterpretator::kBufferSize)) +
                    Message(frsScriptTooLong));
        return;
    }
    for (char& c : raw)
        if (c == '\t') c = ' ';
    ReadText(raw);
    Statement();
    // Text after the first statement is ignored.
    Finish();
}

// Cuts the comments out of the text, each leaving one blank so it still
// separates the words around it. Quoted texts and names are stepped over
// (a "{" or "//" in them is text), and so are double-byte characters, whose
// trail byte may look like a brace.
void ScriptCompiler::ReadText(const std::string& raw) {
    buf_.reserve(raw.size());
    const std::size_t n = raw.size();
    char quote = 0;
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = Byte(raw, i);
        if (i + 1 < n && DoubleByte(c, Byte(raw, i + 1))) {
            buf_.append(raw, i, 2);
            i += 2;
            continue;
        }
        if (c == '\r' || c == '\n') {
            quote = 0; // quoted texts end with their line
        } else if (quote) {
            if (c == static_cast<unsigned char>(quote)) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = static_cast<char>(c);
        } else if (c == '{' || (c == '/' && i + 1 < n && raw[i + 1] == '/')) {
            const char close = c == '{' ? '}' : '\r';
            std::size_t end = i + 1;
            while (end < n && raw[end] != close)
                end += end + 1 < n && DoubleByte(Byte(raw, end), Byte(raw, end + 1)) ? 2 : 1;
            end = end < n ? end + 1 : n; // the closing character belongs to the comment
            comments_.push_back({buf_.size(), end - i - 1});
            buf_.push_back(' ');
            i = end;
            continue;
        }
        buf_.push_back(static_cast<char>(c));
        ++i;
    }
}

bool ScriptCompiler::NextStarts(std::string_view prefix) {
    SkipBlanks();
    lastWord_ = cur_;
    for (std::size_t k = 0; k < prefix.size(); ++k) {
        unsigned char c = Ch(cur_ + k);
        if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
        if (c != static_cast<unsigned char>(prefix[k])) return false;
    }
    return true;
}

bool ScriptCompiler::NextIs(std::string_view word) {
    return NextStarts(word) && Ch(cur_ + word.size()) <= ' ';
}

std::size_t ScriptCompiler::NameEndAt(std::size_t p, bool quoted) const {
    while (p < buf_.size()) {
        const unsigned char c = Ch(p);
        if (DoubleByteAt(p)) {
            p += 2;
        } else if (IsAsciiLetter(c) || IsDigit(c) || c == '_' || c == '.') {
            ++p;
        } else if (quoted && c == '"') {
            ++p;
            while (p < buf_.size() && Ch(p) != '"' && Ch(p) != '\r' && Ch(p) != '\n')
                p += DoubleByteAt(p) ? 2 : 1;
            if (Ch(p) == '"') ++p;
        } else {
            break;
        }
    }
    return p;
}

// "Line n/c: ", n and c 1-based in the source as written: the first
// non-blank character at or after `pos`, with the removed comments counted
// back in. Past the last word it is the end of that word.
std::string ScriptCompiler::Where(std::size_t pos) const {
    std::size_t p = pos;
    while (p < buf_.size() && Byte(buf_, p) <= ' ') ++p;
    if (p >= buf_.size() && pos <= buf_.size()) {
        p = buf_.size();
        while (p > 0 && Byte(buf_, p - 1) <= ' ') --p;
    }
    std::size_t offset = p;
    for (const Comment& c : comments_)
        if (c.pos < p) offset += c.extra;

    std::size_t line = 1;
    std::size_t column = 1;
    std::size_t start = 0;
    bool found = false;
    for (std::size_t k = 0; k < lineLengths_.size(); ++k) {
        const std::size_t next = start + lineLengths_[k] + 1;
        if (offset < next) {
            line = k + 1;
            column = offset - start + 1;
            found = true;
            break;
        }
        start = next;
    }
    if (!found && !lineLengths_.empty()) {
        line = lineLengths_.size();
        column = lineLengths_.back() + 1;
    }
    return "Line " + rtl::IntToStr(static_cast<long long>(line)) + "/" +
           rtl::IntToStr(static_cast<long long>(column)) + ": ";
}

// One fault gives one error line: the first stops everything after it.
void ScriptCompiler::ErrorText(const std::string& message) {
    if (error_) return;
    error_ = true;
    errors_.Add(Where(lastWord_) + message);
}

int ScriptCompiler::Emit(std::string line, std::size_t pos) {
    linePos_.push_back(pos);
    return code_.Add(line);
}

void ScriptCompiler::EmitAssignment(const std::string& variable, const std::string& index,
                                    bool indexed, const std::string& value, std::size_t pos) {
    // Array elements are kept by the report function SETARRAY.
    if (indexed)
        Emit(std::string(1, kCall) + "SETARRAY(" + variable + ", " + index + ", " + value + ")",
             pos);
    else
        Emit(variable + " " + value, pos);
}

void ScriptCompiler::JumpHere(int line) {
    std::string jump = code_[line];
    SetTarget(jump, code_.Count());
    code_.Put(line, jump);
}

void ScriptCompiler::AddLabel(std::size_t from, std::size_t to) {
    std::string label = buf_.substr(from, to - from);
    if (label.size() > static_cast<std::size_t>(TfrInterpretator::kMaxLabelLength)) {
        Error(frsLabelTooLong);
        return;
    }
    for (const Label& known : labels_)
        if (known.text == label) return; // the first definition wins
    if (labels_.size() >= static_cast<std::size_t>(TfrInterpretator::kMaxLabels)) {
        Error(frsTooManyLabels);
        return;
    }
    labels_.push_back({std::move(label), code_.Count()});
}

// Expressions become postfix text; jumps get their label's line.
void ScriptCompiler::Finish() {
    for (int i = 0; i < code_.Count(); ++i) {
        std::string line = code_[i];
        if (line.empty()) continue;
        try {
            switch (line[0]) {
            case kConditionalJump:
                line = line.substr(0, 3) + parser_.CompileToPostfix(Tail(line, 3));
                break;
            case kJump:
                break;
            case kCall:
                line = line.substr(0, 1) + parser_.CompileToPostfix(Tail(line, 1));
                break;
            default: {
                const std::size_t nameEnd = NameEnd(line);
                if (nameEnd < line.size())
                    line = line.substr(0, nameEnd + 1) +
                           parser_.CompileToPostfix(Tail(line, nameEnd + 1));
                break;
            }
            }
        } catch (const EParserError& e) {
            lastWord_ = linePos_[static_cast<std::size_t>(i)];
            ErrorText(e.what());
        }
        code_.Put(i, line);
    }
    for (const PendingJump& jump : jumps_) {
        std::string line = code_[jump.line];
        bool resolved = false;
        for (const Label& label : labels_) {
            if (label.text == jump.label) {
                SetTarget(line, label.line);
                resolved = true;
                break;
            }
        }
        if (!resolved) {
            lastWord_ = jump.pos;
            ErrorText(MessageWith(frsUndefinedLabel, jump.label.substr(0, jump.label.size() - 1)));
        }
        code_.Put(jump.line, line);
    }
}

void ScriptCompiler::Statement() {
    Nesting nesting(*this);
    if (error_ || nesting.TooDeep()) return;
    // Labels: digits directly followed by ":" (not ":=").
    for (;;) {
        SkipBlanks();
        lastWord_ = cur_;
        std::size_t p = cur_;
        while (IsDigit(Ch(p))) ++p;
        if (p == cur_ || Ch(p) != ':' || Ch(p + 1) == '=') break;
        AddLabel(cur_, p + 1);
        if (error_) return;
        cur_ = p + 1;
    }
    if (NextIs("BEGIN")) {
        cur_ += 5;
        Block();
    } else if (NextIs("IF")) {
        cur_ += 2;
        If();
    } else if (NextIs("REPEAT")) {
        cur_ += 6;
        Repeat();
    } else if (NextIs("WHILE")) {
        cur_ += 5;
        While();
    } else if (NextIs("FOR")) {
        cur_ += 3;
        For();
    } else if (NextIs("GOTO")) {
        cur_ += 4;
        Goto();
    } else if (cur_ >= buf_.size() || Ch(cur_) == ';' || NextIsEnd() || NextIs("UNTIL") ||
               NextIs("ELSE")) {
        // The empty statement.
    } else if (StartsName(cur_)) {
        VariableStatement();
    } else {
        ExpressionStatement();
    }
}

void ScriptCompiler::Block() {
    for (;;) {
        Statement();
        if (error_) return;
        if (NextStarts(";")) {
            ++cur_;
            continue;
        }
        if (NextIsEnd()) {
            cur_ += 3; // a ";" written right after END is left to the enclosing block
            return;
        }
        Error(frsNeedSemicolonOrEnd);
        return;
    }
}

void ScriptCompiler::If() {
    std::size_t at = 0;
    const std::string condition = ExpressionText(at);
    if (error_) return;
    if (!NextIs("THEN")) {
        Error(frsNeedThen);
        return;
    }
    cur_ += 4;
    const int test = Emit(JumpLine(kConditionalJump, kNoTarget) + condition, at);
    Statement();
    if (error_) return;
    if (NextIs("ELSE")) {
        cur_ += 4;
        const int skip = Emit(JumpLine(kJump, kNoTarget), at);
        JumpHere(test);
        Statement();
        if (error_) return;
        JumpHere(skip);
    } else {
        JumpHere(test);
    }
}

void ScriptCompiler::Repeat() {
    const int first = code_.Count();
    for (;;) {
        Statement();
        if (error_) return;
        if (NextStarts(";")) {
            ++cur_;
            continue;
        }
        if (NextIs("UNTIL")) {
            cur_ += 5;
            break;
        }
        Error(frsNeedSemicolonOrUntil);
        return;
    }
    std::size_t at = 0;
    const std::string condition = ExpressionText(at);
    if (error_) return;
    // Back to the first line while the condition is false.
    Emit(JumpLine(kConditionalJump, first) + condition, at);
}

void ScriptCompiler::While() {
    std::size_t at = 0;
    const std::string condition = ExpressionText(at);
    if (error_) return;
    if (!NextIs("DO")) {
        Error(frsNeedDo);
        return;
    }
    cur_ += 2;
    const int test = Emit(JumpLine(kConditionalJump, kNoTarget) + condition, at);
    Statement();
    if (error_) return;
    Emit(JumpLine(kJump, test), at);
    JumpHere(test);
}

// The limit is evaluated at every test and the variable counts up by one.
void ScriptCompiler::For() {
    std::string variable;
    std::string index;
    bool indexed = false;
    SkipBlanks();
    lastWord_ = cur_;
    if (!StartsName(cur_)) {
        Error(frsNeedVariable);
        return;
    }
    const std::size_t at = cur_;
    Assignment(variable, index, indexed);
    if (error_) return;
    if (!NextIs("TO")) {
        Error(frsNeedTo);
        return;
    }
    cur_ += 2;
    std::size_t limitAt = 0;
    const std::string limit = ExpressionText(limitAt);
    if (error_) return;
    if (!NextIs("DO")) {
        Error(frsNeedDo);
        return;
    }
    cur_ += 2;
    const std::string counter = indexed ? variable + "[" + index + "]" : variable;
    const int test = Emit(JumpLine(kConditionalJump, kNoTarget) + counter + "<=" + limit, at);
    Statement();
    if (error_) return;
    EmitAssignment(variable, index, indexed, counter + "+1", at);
    Emit(JumpLine(kJump, test), at);
    JumpHere(test);
}

void ScriptCompiler::Goto() {
    SkipBlanks();
    lastWord_ = cur_;
    std::size_t p = cur_;
    while (IsDigit(Ch(p))) ++p;
    const int line = Emit(JumpLine(kJump, kNoTarget), cur_);
    if (p == cur_) {
        Error(frsGotoLabelNotNumber);
        return;
    }
    jumps_.push_back({line, buf_.substr(cur_, p - cur_) + ":", cur_});
    cur_ = p;
}

void ScriptCompiler::Assignment(std::string& variable, std::string& index, bool& indexed) {
    const std::size_t start = cur_;
    const std::size_t end = NameEndAt(cur_, false);
    variable = buf_.substr(start, end - start);
    cur_ = end;
    indexed = false;
    if (Ch(cur_) == '[') {
        ++cur_;
        std::size_t indexAt = 0;
        index = ExpressionText(indexAt);
        if (error_) return;
        if (!NextStarts("]")) {
            Error(frsNeedCloseBracket);
            return;
        }
        ++cur_;
        indexed = true;
    }
    if (!NextStarts(":=")) {
        Error(frsNeedAssignment);
        return;
    }
    cur_ += 2;
    std::size_t valueAt = 0;
    const std::string value = ExpressionText(valueAt);
    if (error_) return;
    EmitAssignment(variable, index, indexed, value, start);
}

void ScriptCompiler::VariableStatement() {
    const std::size_t start = cur_;
    const std::size_t end = NameEndAt(cur_, false);
    // A name directly followed by "(" is a call written out: an expression.
    if (Ch(end) == '(') {
        ExpressionStatement();
        return;
    }
    if (Ch(end) != '[') {
        cur_ = end;
        const bool call = NextStarts(";") || NextIsEnd() || NextIs("ELSE");
        if (call) {
            // A bare name is a call with the argument 0.
            Emit(std::string(1, kCall) + buf_.substr(start, end - start) + "(0)", start);
            return;
        }
        cur_ = start;
    }
    std::string variable;
    std::string index;
    bool indexed = false;
    Assignment(variable, index, indexed);
}

void ScriptCompiler::ExpressionStatement() {
    std::size_t start = 0;
    const std::string expression = ExpressionText(start);
    if (error_) return;
    Emit(std::string(1, kCall) + expression, start);
}

std::string ScriptCompiler::ExpressionText(std::size_t& start) {
    SkipBlanks();
    start = cur_;
    Expression();
    return rtl::Trim(std::string_view(buf_).substr(start, cur_ - start));
}

void ScriptCompiler::Expression() {
    Nesting nesting(*this);
    if (error_ || nesting.TooDeep()) return;
    Simple();
    if (error_) return;
    if (NextStarts(">=") || NextStarts("<=") || NextStarts("<>")) {
        cur_ += 2;
        Simple();
    } else if (NextStarts("<") || NextStarts("=") || NextStarts(">")) {
        cur_ += 1;
        Simple();
    }
}

// Operators of one class chain left to right; only where each operand ends
// matters here, the parser gives them their meaning.
void ScriptCompiler::Simple() {
    for (;;) {
        Term();
        if (error_) return;
        if (NextStarts("+") || NextStarts("-")) {
            cur_ += 1;
        } else if (NextStarts("OR")) {
            cur_ += 2;
        } else {
            return;
        }
    }
}

void ScriptCompiler::Term() {
    for (;;) {
        Factor();
        if (error_) return;
        if (NextStarts("*") || NextStarts("/")) {
            cur_ += 1;
        } else if (NextStarts("AND") || NextStarts("MOD")) {
            cur_ += 3;
        } else {
            return;
        }
    }
}

void ScriptCompiler::Factor() {
    Nesting nesting(*this);
    if (error_ || nesting.TooDeep()) return;
    SkipBlanks();
    lastWord_ = cur_;
    const unsigned char c = Ch(cur_);
    if (cur_ >= buf_.size()) {
        Error(frsNeedExpression);
    } else if (c == '(') {
        ++cur_;
        Expression();
        if (error_) return;
        if (!NextStarts(")")) {
            Error(frsNeedCloseParenthesis);
            return;
        }
        ++cur_;
    } else if (c == '[') {
        // Brackets nest; brackets inside quoted text do not count.
        int start = static_cast<int>(cur_) + 1;
        int end = start;
        ExtractBracketed(buf_, start, end);
        if (static_cast<std::size_t>(end) > buf_.size()) {
            Error(frsNeedCloseBracket);
            return;
        }
        cur_ = static_cast<std::size_t>(end);
    } else if (c == '+' || c == '-') {
        ++cur_;
        Expression();
    } else if (NextIs("NOT")) {
        cur_ += 3;
        Expression();
    } else if (StartsName(cur_)) {
        cur_ = NameEndAt(cur_, true);
        if (Ch(cur_) == '(') {
            ++cur_;
            CallArguments();
        } else if (Ch(cur_) == '[') {
            ++cur_;
            Expression();
            if (error_) return;
            if (!NextStarts("]")) {
                Error(frsNeedCloseBracket);
                return;
            }
            ++cur_;
        }
    } else if (IsDigit(c)) {
        while (IsDigit(Ch(cur_))) ++cur_;
        if (Ch(cur_) == '.') {
            ++cur_;
            while (IsDigit(Ch(cur_))) ++cur_;
        }
    } else if (c == '\'') {
        QuotedText();
    } else {
        Error(frsNeedExpression);
    }
}

// After the "(" of a call: [ expression { "," expression } ] ")".
void ScriptCompiler::CallArguments() {
    if (NextStarts(")")) {
        ++cur_;
        return;
    }
    for (;;) {
        Expression();
        if (error_) return;
        if (NextStarts(",")) {
            ++cur_;
        } else if (NextStarts(")")) {
            ++cur_;
            return;
        } else {
            Error(frsNeedCommaOrParenthesis);
            return;
        }
    }
}

// A quoted text ends on its own line; a doubled quote stands for one.
void ScriptCompiler::QuotedText() {
    std::size_t p = cur_ + 1;
    for (;;) {
        const unsigned char c = Ch(p);
        if (p >= buf_.size() || c == '\r' || c == '\n') {
            Error(frsNeedQuote); // at the opening quote
            return;
        }
        if (DoubleByteAt(p)) {
            p += 2;
        } else if (c == '\'' && Ch(p + 1) == '\'') {
            p += 2;
        } else if (c == '\'') {
            cur_ = p + 1;
            return;
        } else {
            ++p;
        }
    }
}

// ---------------------------------------------------------------------------
// Function names in expression text (infix, or postfix with its calls kept
// as written).

bool IsOperatorWord(const std::string& upper) {
    return upper == "INT" || upper == "FRAC" || upper == "ROUND" || upper == "STR" ||
           upper == "NOT" || upper == "AND" || upper == "OR" || upper == "MOD";
}

bool IsExpressionPunctuation(unsigned char c) {
    switch (c) {
    case '(':
    case ')':
    case '*':
    case '+':
    case '-':
    case '/':
    case '<':
    case '=':
    case '>':
    case ']':
    case ';':
        return true;
    default:
        return false;
    }
}

void CollectNames(std::string_view text, rtl::TStringList& names, int depth) {
    if (depth > TfrInterpretator::kMaxNesting) return;
    const int n = static_cast<int>(text.size());
    int p = 1;
    while (p <= n) {
        const unsigned char c = Byte(text, static_cast<std::size_t>(p - 1));
        if (c == '\'') {
            TfrParser::ReadQuoted(text, p);
            continue;
        }
        if (c == '[') {
            int start = p;
            int end = p;
            const std::string inner = ExtractBracketed(text, start, end);
            CollectNames(inner, names, depth + 1);
            p = end + 1;
            continue;
        }
        if (c <= ' ' || IsExpressionPunctuation(c)) {
            ++p;
            continue;
        }
        const int before = p;
        const std::string token = TfrParser::ReadOperand(text, p);
        if (p <= n && text[static_cast<std::size_t>(p - 1)] == '(') {
            const std::string name = rtl::UpperCase(token);
            if (!name.empty() && !IsOperatorWord(name) && names.IndexOf(name) < 0) names.Add(name);
            std::string first, second, third;
            try {
                TfrParser::SplitArguments(text, p, first, second, third);
            } catch (const EParserError&) {
                return; // unbalanced: nothing more can be told apart
            }
            CollectNames(first, names, depth + 1);
            CollectNames(second, names, depth + 1);
            CollectNames(third, names, depth + 1);
            continue;
        }
        if (p == before) ++p;
    }
}

} // namespace

// ---------------------------------------------------------------------------

class TfrInterpretator::RunGuard {
public:
    explicit RunGuard(TfrInterpretator& interpreter) : interpreter_(interpreter) {
        if (interpreter_.runDepth_++ == 0) interpreter_.steps_ = 0;
    }
    ~RunGuard() { --interpreter_.runDepth_; }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    TfrInterpretator& interpreter_;
};

TfrInterpretator::TfrInterpretator() {
    parser_.OnValueRequest = [this](const std::string& name, rtl::TVariant& value) {
        GetVariableValue(name, value);
    };
    parser_.OnFunctionRequest = [this](const std::string& name, const rtl::TVariant& p1,
                                       const rtl::TVariant& p2, const rtl::TVariant& p3,
                                       rtl::TVariant& value) {
        CallScriptFunction(name, p1, p2, p3, value);
    };
}

TfrInterpretator::~TfrInterpretator() = default;

void TfrInterpretator::GetVariableValue(const std::string&, rtl::TVariant&) {}

void TfrInterpretator::SetVariableValue(const std::string&, const rtl::TVariant&) {}

void TfrInterpretator::CallScriptFunction(const std::string&, const rtl::TVariant&,
                                          const rtl::TVariant&, const rtl::TVariant&,
                                          rtl::TVariant&) {}

void TfrInterpretator::PrepareScript(const rtl::TStringList& source, rtl::TStringList& code,
                                     rtl::TStringList& errors) {
    ScriptCompiler compiler(parser_, code, errors);
    compiler.Compile(source);
}

void TfrInterpretator::DoScript(const rtl::TStringList& code) {
    RunGuard guard(*this);
    // A copy: an assignment may replace the very script that runs.
    std::vector<std::string> lines;
    lines.reserve(static_cast<std::size_t>(code.Count()));
    for (int i = 0; i < code.Count(); ++i) lines.push_back(code[i]);

    std::size_t i = 0;
    while (i < lines.size()) {
        if (++steps_ > stepLimit_)
            throw EScriptStepLimit(MessageWith(frsScriptStepLimit, rtl::IntToStr(stepLimit_)));
        const std::string_view line = lines[i];
        if (line.empty()) {
            ++i;
            continue;
        }
        switch (line[0]) {
        case kConditionalJump: {
            // Null counts as false.
            const bool holds = parser_.EvaluatePostfix(Tail(line, 3)).AsCondition();
            i = holds ? i + 1 : TargetOf(line);
            break;
        }
        case kJump:
            i = TargetOf(line);
            break;
        case kCall: {
            const std::string_view text = Tail(line, 1);
            if (IsExit(text)) return;
            parser_.EvaluatePostfix(text);
            ++i;
            break;
        }
        default: {
            const std::size_t nameEnd = NameEnd(line);
            const rtl::TVariant value = parser_.EvaluatePostfix(Tail(line, nameEnd));
            // A line without a name is no assignment the compiler makes.
            if (nameEnd > 0) SetVariableValue(std::string(line.substr(0, nameEnd)), value);
            ++i;
            break;
        }
        }
    }
}

void TfrInterpretator::CollectCodeCalls(const rtl::TStringList& code,
                                        const rtl::TStringList& wanted,
                                        const TfrVariables* variables, rtl::TStringList& found) {
    TfrFunctionSplitter splitter(wanted, found, variables);
    for (int i = 0; i < code.Count(); ++i) {
        const std::string_view expression = ExpressionPart(code[i]);
        if (!expression.empty()) splitter.CollectCalls(expression);
    }
}

void TfrInterpretator::CollectCalledFunctions(const rtl::TStringList& code,
                                              rtl::TStringList& names) {
    for (int i = 0; i < code.Count(); ++i) {
        const std::string& line = code[i];
        if (!line.empty() && line[0] == kCall && IsExit(Tail(line, 1))) continue;
        CollectNames(ExpressionPart(line), names, 0);
    }
}
