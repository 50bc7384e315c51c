// The script interpreter: compiling (code lines, labels, errors with line and
// column) and running (assignments, jumps, calls, the step limit), through a
// subclass that records what the scripts read, write and call.

#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/interpreter.h"
#include "report/model/variables.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using rtl::TVariant;

std::string G(const std::string& utf8) {
    return text::Utf8ToCp936(utf8);
}

// Byte 1 or 2 and a 16-bit target, low byte first.
std::string J(int kind, int target) {
    std::string s(3, static_cast<char>(kind));
    s[1] = static_cast<char>(target & 0xFF);
    s[2] = static_cast<char>(target >> 8);
    return s;
}

const std::string kCall(1, '\x03');

// Control bytes spelled out, for readable failures.
std::string Show(const std::string& line) {
    std::string s;
    for (unsigned char c : line) {
        if (c < 32) {
            const char* hex = "0123456789abcdef";
            s += "\\x";
            s += hex[c >> 4];
            s += hex[c & 15];
        } else {
            s += static_cast<char>(c);
        }
    }
    return s;
}

std::vector<std::string> Lines(const rtl::TStringList& list) {
    std::vector<std::string> v;
    for (int i = 0; i < list.Count(); ++i) v.push_back(Show(list[i]));
    return v;
}

std::vector<std::string> Shown(const std::vector<std::string>& lines) {
    std::vector<std::string> v;
    for (const std::string& l : lines) v.push_back(Show(l));
    return v;
}

rtl::TStringList Source(const std::string& utf8) {
    rtl::TStringList list;
    list.SetText(G(utf8));
    return list;
}

// Records every read, write and call; keeps variables and array elements so
// scripts can compute. Arguments are evaluated with a parser of its own, as
// the report's function dispatch evaluates them with the shared parser.
class RecordingInterpreter : public TfrInterpretator {
public:
    RecordingInterpreter() {
        args_.OnValueRequest = [this](const std::string& name, TVariant& value) {
            GetVariableValue(name, value);
        };
        args_.OnFunctionRequest = [this](const std::string& name, const TVariant& p1,
                                         const TVariant& p2, const TVariant& p3, TVariant& value) {
            CallScriptFunction(name, p1, p2, p3, value);
        };
    }

    void GetVariableValue(const std::string& name, TVariant& value) override {
        reads.push_back(name);
        if (variables.Contains(name)) value = variables.Get(name);
    }
    void SetVariableValue(const std::string& name, const TVariant& value) override {
        writes.push_back(name + "=" + value.AsString());
        variables.Set(name, value);
        if (name == "clear" && running) running->Clear();
    }
    void CallScriptFunction(const std::string& name, const TVariant& p1, const TVariant& p2,
                            const TVariant& p3, TVariant& value) override {
        calls.push_back(name + "(" + p1.AsString() + "|" + p2.AsString() + "|" + p3.AsString() +
                        ")");
        if (name == "SETARRAY") {
            arrays[Element(p1, p2)] = args_.Evaluate(p3.AsString());
        } else if (name == "GETARRAY") {
            value = arrays[Element(p1, p2)];
        } else if (name == "INNER") {
            DoScript(inner);
        }
    }

    // Compiles, expecting no errors, and runs.
    void Run(const std::string& utf8) {
        rtl::TStringList code, errors;
        PrepareScript(Source(utf8), code, errors);
        ASSERT_EQ(Lines(errors), std::vector<std::string>{}) << utf8;
        DoScript(code);
    }

    TfrVariables variables;
    std::vector<std::string> reads, writes, calls;
    rtl::TStringList inner;
    rtl::TStringList* running = nullptr;

private:
    std::string Element(const TVariant& name, const TVariant& index) {
        return rtl::UpperCase(rtl::Trim(name.AsString())) + "[" +
               args_.Evaluate(index.AsString()).AsString() + "]";
    }
    TfrParser args_;
    std::map<std::string, TVariant> arrays;
};

struct CodeCase {
    const char* source;
    std::vector<std::string> code;
};

TEST(ScriptCompiler, CodeLinesOfEachStatement) {
    const std::vector<CodeCase> cases = {
        {"begin a := 1; b := a + 1 end", {"a 1 ", "b a 1 +"}},
        // One statement only: without BEGIN the rest is ignored.
        {"a := 1; b := 2", {"a 1 "}},
        {"if a > 1 then b := 1 else b := 2", {J(1, 3) + "a 1 >", "b 1 ", J(2, 4), "b 2 "}},
        {"if a then b := 1", {J(1, 2) + "a ", "b 1 "}},
        {"while i < 3 do i := i + 1", {J(1, 3) + "i 3 <", "i i 1 +", J(2, 0)}},
        {"repeat i := i + 1; j := i until i >= 3", {"i i 1 +", "j i ", J(1, 0) + "i 3 \x01"}},
        {"for i := 1 to n do s := s + i",
         {"i 1 ", J(1, 5) + "i n \x02", "s s i +", "i i 1 +", J(2, 1)}},
        {"begin 10: i := i + 1; goto 10 end", {"i i 1 +", J(2, 0)}},
        {"begin goto 7; a := 1; 7: end", {J(2, 2), "a 1 "}},
        {"a[i + 1] := 5", {kCall + "SETARRAY(a, i + 1, 5)"}},
        {"for a[1] := 1 to 2 do",
         {kCall + "SETARRAY(a, 1, 1)", J(1, 4) + "a[1] 2 \x02", kCall + "SETARRAY(a, 1, a[1]+1)",
          J(2, 1)}},
        {"begin NewPage end", {kCall + "NewPage(0)"}},
        {"begin exit; a := 1 end", {kCall + "exit(0)", "a 1 "}},
        {"begin Memo1.Hide; x := f(1, 'a;b') end", {kCall + "Memo1.Hide(0)", "x f(1, 'a;b')"}},
        {"begin if c then NewPage else Stop end",
         {J(1, 3) + "c ", kCall + "NewPage(0)", J(2, 4), kCall + "Stop(0)"}},
        // Keywords in any letter case; a keyword is a whole word.
        {"BeGiN iF a ThEn B := 1 eNd", {J(1, 2) + "a ", "B 1 "}},
        {"if(a>1)then x := 1", {kCall + "if(a>1)"}},
        // Empty statements, and END; inside a block.
        {"begin ; a := 1;; begin b := 2 end; end", {"a 1 ", "b 2 "}},
        {"begin begin a := 1 end; b := 2 end", {"a 1 ", "b 2 "}},
        {"", {}},
        {"\n  \n", {}},
        // Comments are cut out, even between words they separate.
        {"begin{c}a := 1; // b := 9\nc := {x := 5} 2 end", {"a 1 ", "c 2 "}},
        {"begin s := 'a//b{c}'; t := '{' end", {"s 'a//b{c}' ", "t '{' "}},
        // Tabs are blanks.
        {"begin\ta\t:=\t1\tend", {"a 1 "}},
        // Operator words continue an expression; the parser gives them their meaning.
        {"x := (a > 1) and not b or c mod 2",
         {"x a 1 >\x05"
          "b \x0c"
          "c \x04"
          "2 \x0d"}},
        {"x := Table1.\"Full name\" + 1", {"x Table1.\"Full name\" 1 +"}},
    };
    for (const CodeCase& c : cases) {
        TfrInterpretator interpreter;
        rtl::TStringList code, errors;
        interpreter.PrepareScript(Source(c.source), code, errors);
        EXPECT_EQ(Lines(errors), std::vector<std::string>{}) << c.source;
        EXPECT_EQ(Lines(code), Shown(c.code)) << c.source;
    }
}

// Double-byte characters are one character wherever the compiler looks:
// a trail byte that looks like "}", "]" or "{" ends no comment, bracket or
// quoted text, and Chinese names are names.
TEST(ScriptCompiler, ChineseTextNeverBreaksAStatement) {
    ASSERT_EQ(G("皚").back(), '}');
    ASSERT_EQ(G("癩").back(), ']');
    ASSERT_EQ(G("皗").back(), '{');
    const std::vector<CodeCase> cases = {
        {"begin {注释皚} a := 1 end", {"a 1 "}},
        {"begin // 皗\na := 1 end", {"a 1 "}},
        {"begin 名称 := '皚癩'; 数量 := [数量癩] + 1 end",
         {G("名称 '皚癩' "), G("数量 [数量癩] 1 +")}},
        {"begin s := '中文''s' {皚} end", {G("s '中文''s' ")}},
    };
    for (const CodeCase& c : cases) {
        TfrInterpretator interpreter;
        rtl::TStringList code, errors;
        interpreter.PrepareScript(Source(c.source), code, errors);
        EXPECT_EQ(Lines(errors), std::vector<std::string>{}) << c.source;
        EXPECT_EQ(Lines(code), Shown(c.code)) << c.source;
    }
    // A lead byte cut off at the end of a line does not take the line end
    // with it: the comment still ends there.
    TfrInterpretator interpreter;
    rtl::TStringList source{"begin a := 1; // cut \xB0", "b := 2 end"}, code, errors;
    interpreter.PrepareScript(source, code, errors);
    EXPECT_EQ(Lines(errors), std::vector<std::string>{});
    EXPECT_EQ(Lines(code), (std::vector<std::string>{"a 1 ", "b 2 "}));
}

TEST(ScriptCompiler, SourceAndCodeMayBeOneList) {
    TfrInterpretator interpreter;
    rtl::TStringList list = Source("begin a := 1;\nb := 2 end");
    rtl::TStringList errors;
    interpreter.PrepareScript(list, list, errors);
    EXPECT_EQ(Lines(list), (std::vector<std::string>{"a 1 ", "b 2 "}));
}

struct ErrorCase {
    std::string source; // UTF-8
    std::string error;
    std::vector<std::string> code = {};
};

TEST(ScriptCompiler, OneErrorLineWithLineAndColumn) {
    const std::vector<ErrorCase> cases = {
        {"begin a := 1 b := 2 end", "Line 1/14: Need \";\" or \"end\" here", {"a 1 "}},
        {"begin\ta := 1\tb := 2 end", "Line 1/14: Need \";\" or \"end\" here", {"a 1 "}},
        {"NewPage", "Line 1/8: Need \":=\" here"},
        {"begin a[1]; end", "Line 1/11: Need \":=\" here"},
        {"if a b := 1", "Line 1/6: Need \"then\" here"},
        {"repeat a := 1 b := 2 until a", "Line 1/15: Need \";\" or \"until\" here", {"a 1 "}},
        {"while a b := 1", "Line 1/9: Need \"do\" here"},
        {"for i := 1 do x := 1", "Line 1/12: Need \"to\" here", {"i 1 "}},
        {"for i := 1 to 3 x := 1", "Line 1/17: Need \"do\" here", {"i 1 "}},
        {"for 5 := 1 to 3 do x := 1", "Line 1/5: Need a variable here"},
        // The jump line is still made; it ends the run.
        {"begin a := 1; goto x end",
         "Line 1/20: \"goto\" label must be a number",
         {"a 1 ", J(2, 0xFFFF)}},
        {"begin a := (1 + 2 end", "Line 1/19: Need \")\" here"},
        {"a := (1 + 2", "Line 1/12: Need \")\" here"},
        {"a := (1 + 2\n\n", "Line 1/12: Need \")\" here"},
        {"a := [x + 1", "Line 1/6: Need \"]\" here"},
        {"a := b[1", "Line 1/9: Need \"]\" here"},
        {"a := f(1 2)", "Line 1/10: Need \",\" or \")\" here"},
        {"begin a := 1; b := ; c := 3 end", "Line 1/20: Need an expression here", {"a 1 "}},
        {"a :=", "Line 1/5: Need an expression here"},
        {"a := 'abc\nb := 1", "Line 1/6: Need \"'\" here"},
        {"begin goto 20 end", "Line 1/12: Label \"20\" is not defined", {J(2, 0xFFFF)}},
        {"begin a := 1; goto 7; b := 2 end",
         "Line 1/20: Label \"7\" is not defined",
         {"a 1 ", J(2, 0xFFFF), "b 2 "}},
        {"begin 1234567890123456: a := 1 end", "Line 1/7: Label is too long (more than 15 digits)"},
        // The parser's own objection to an expression, at the statement.
        {"begin a := 1;\n  b := f(x.\"y'\") end",
         "Line 2/3: " + LoadResourceString(frsUnbalancedParentheses),
         {"a 1 ", "b f(x.\"y'\")"}},
        // Lines and columns count the script as written: comments before the
        // fault count, each line counts its length plus one.
        {"begin a := 1; {note} b := 2 c := 3 end",
         "Line 1/29: Need \";\" or \"end\" here",
         {"a 1 ", "b 2 "}},
        {"begin\n  a := 1; // note\n  b := 2 c := 3\nend",
         "Line 3/10: Need \";\" or \"end\" here",
         {"a 1 ", "b 2 "}},
        {"begin { a\nlong\ncomment } a := 1\n b := 2 end",
         "Line 4/2: Need \";\" or \"end\" here",
         {"a 1 "}},
        // Columns count bytes: a Chinese character is two.
        {"begin s := '中文'; b := 2 c := 3 end",
         "Line 1/27: Need \";\" or \"end\" here",
         {G("s '中文' "), "b 2 "}},
    };
    for (const ErrorCase& c : cases) {
        TfrInterpretator interpreter;
        rtl::TStringList code, errors;
        interpreter.PrepareScript(Source(c.source), code, errors);
        EXPECT_EQ(Lines(errors), std::vector<std::string>{c.error}) << c.source;
        EXPECT_EQ(Lines(code), Shown(c.code)) << c.source;
    }
}

TEST(ScriptCompiler, BufferLimitIsAnErrorNotAnOverrun) {
    // Lines of 79 characters plus their line end: 405 of them hold 32400.
    const std::string filler = "a := 1; " + std::string(71, ' ');
    rtl::TStringList source;
    source.Add("begin");
    while (source.Count() < 405) source.Add(filler);
    source.Add("end");
    TfrInterpretator interpreter;
    rtl::TStringList code, errors;
    interpreter.PrepareScript(source, code, errors);
    // "begin" and its line end take 6 bytes, each filler 80: the first byte
    // past the buffer (offset 32000) is on line 401, as 6 + 399 * 80 = 31926,
    // at column 32000 - 31926 + 1.
    EXPECT_EQ(Lines(errors), std::vector<std::string>{
                                 "Line 401/75: Script is too long (more than 32000 characters)"});
    EXPECT_EQ(code.Count(), 0);

    // Exactly 32000 bytes compile.
    source.Clear();
    source.Add("begin");
    std::size_t total = 6;
    while (total + 80 + 4 <= 32000) {
        source.Add(filler);
        total += 80;
    }
    source.Add("end");
    total += 4;
    source.Add("//" + std::string(32000 - total - 3, 'x'));
    interpreter.PrepareScript(source, code, errors);
    EXPECT_EQ(Lines(errors), std::vector<std::string>{});
    EXPECT_EQ(code.Count(), source.Count() - 3);
}

TEST(ScriptCompiler, LabelLimit) {
    auto script = [](int labels) {
        std::string s = "begin ";
        for (int k = 1; k <= labels; ++k)
            s += std::to_string(k) + ": a := " + std::to_string(k) + "; ";
        return s + "goto 1 end";
    };
    TfrInterpretator interpreter;
    rtl::TStringList code, errors;
    interpreter.PrepareScript(Source(script(101)), code, errors);
    EXPECT_EQ(Lines(errors), std::vector<std::string>{});
    EXPECT_EQ(code.Count(), 102);

    const std::string tooMany = script(102);
    interpreter.PrepareScript(Source(tooMany), code, errors);
    const std::string column = std::to_string(tooMany.find(" 102:") + 2);
    EXPECT_EQ(Lines(errors),
              std::vector<std::string>{"Line 1/" + column + ": Too many labels (more than 101)"});
    EXPECT_EQ(code.Count(), 101);

    // A label of 15 digits is the longest; a repeated label keeps its first line.
    interpreter.PrepareScript(
        Source("begin 123456789012345: a := 1; 123456789012345: b := 1; goto 123456789012345 end"),
        code, errors);
    EXPECT_EQ(Lines(errors), std::vector<std::string>{});
    EXPECT_EQ(Show(code[2]), Show(J(2, 0)));
}

TEST(ScriptCompiler, DeepNestingIsAnErrorNotAStackOverflow) {
    TfrInterpretator interpreter;
    rtl::TStringList code, errors;
    interpreter.PrepareScript(Source("a := " + std::string(50, '(') + "1" + std::string(50, ')')),
                              code, errors);
    EXPECT_EQ(errors.Count(), 0);
    EXPECT_EQ(code.Count(), 1);

    for (const std::string& deep :
         {"a := " + std::string(5000, '(') + "1", "a := " + std::string(5000, '-') + "1", [] {
              std::string s;
              for (int k = 0; k < 3000; ++k) s += "if 1 then ";
              return s;
          }()}) {
        interpreter.PrepareScript(Source(deep), code, errors);
        ASSERT_EQ(errors.Count(), 1);
        EXPECT_NE(errors[0].find(": Statements or expressions are nested too deeply"),
                  std::string::npos);
    }
    // Long chains of operators are no nesting.
    std::string sum = "a := 1";
    for (int k = 0; k < 5000; ++k) sum += "+1";
    interpreter.PrepareScript(Source(sum), code, errors);
    EXPECT_EQ(errors.Count(), 0);
}

struct RunCase {
    const char* source;
    std::vector<std::string> writes;
    std::vector<std::string> calls = {};
};

TEST(ScriptRunner, AssignmentsJumpsAndCalls) {
    const std::vector<RunCase> cases = {
        {"begin s := 0; for i := 1 to 3 do s := s + i end",
         {"s=0", "i=1", "s=1", "i=2", "s=3", "i=3", "s=6", "i=4"}},
        // The limit is evaluated at every test.
        {"begin n := 3; for i := 1 to n do n := n - 1 end",
         {"n=3", "i=1", "n=2", "i=2", "n=1", "i=3"}},
        {"begin i := 0; 10: i := i + 1; if i < 3 then goto 10 end", {"i=0", "i=1", "i=2", "i=3"}},
        {"begin goto 5; a := 1; 5: b := 2 end", {"b=2"}},
        {"begin i := 0; while i < 2 do i := i + 1 end", {"i=0", "i=1", "i=2"}},
        {"begin i := 5; while i < 2 do i := i + 1 end", {"i=5"}},
        {"begin i := 0; repeat i := i + 1 until i >= 2 end", {"i=0", "i=1", "i=2"}},
        {"begin i := 5; repeat i := i + 1 until i >= 2 end", {"i=5", "i=6"}},
        {"begin if 1 then begin a := 1; b := 2 end else c := 3; d := 4 end", {"a=1", "b=2", "d=4"}},
        {"BEGIN If 0 Then A := 1 ELSE a := 2 END", {"a=2"}},
        {"begin exit; a := 1 end", {}},
        {"begin a := 1; if a = 1 then exit; a := 2 end", {"a=1"}},
        // A null condition is false, whichever statement tests it.
        {"if unknown then a := 1 else a := 2", {"a=2"}},
        {"while unknown = 1 do a := 1", {}},
        {"begin a := 1; b := a = 1; c := 'x' + 'y' end", {"a=1", "b=1", "c=xy"}},
        {"begin a[2] := 5; b := a[2] + 1 end", {"b=6"}, {"SETARRAY(a| 2| 5)", "GETARRAY(a| 2|)"}},
        {"begin NewPage; Memo1.Show(1, 'x') end", {}, {"NEWPAGE(0||)", "MEMO1.SHOW(1| 'x'|)"}},
        {"if(a>1)then x := 1", {}},
        {"begin 名称 := '中文{'; 数 := 1 {注释皚} end", {G("名称=中文{"), G("数=1")}},
    };
    for (const RunCase& c : cases) {
        RecordingInterpreter interpreter;
        interpreter.Run(c.source);
        std::vector<std::string> expectedWrites;
        for (const std::string& w : c.writes) expectedWrites.push_back(w);
        EXPECT_EQ(interpreter.writes, expectedWrites) << c.source;
        EXPECT_EQ(interpreter.calls, c.calls) << c.source;
    }
}

TEST(ScriptRunner, NamesReachTheSubclassAsTheParserGivesThem) {
    RecordingInterpreter interpreter;
    interpreter.Run("begin total := [Unit Price] * qty; Memo1.Visible := False end");
    EXPECT_EQ(interpreter.reads, (std::vector<std::string>{"Unit Price", "QTY"}));
    EXPECT_EQ(interpreter.writes, (std::vector<std::string>{"total=", "Memo1.Visible=False"}));
}

TEST(ScriptRunner, ErrorsEndTheRunAndReachTheCaller) {
    RecordingInterpreter interpreter;
    EXPECT_THROW(interpreter.Run("begin a := 1; b := 'x' * 2; c := 3 end"), rtl::EVariantError);
    EXPECT_EQ(interpreter.writes, std::vector<std::string>{"a=1"});

    // Code kept after a compile error runs up to the fault: the jump to an
    // undefined label ends the run.
    rtl::TStringList code, errors;
    interpreter.writes.clear();
    interpreter.PrepareScript(Source("begin a := 1; goto 7; b := 2 end"), code, errors);
    ASSERT_EQ(errors.Count(), 1);
    interpreter.DoScript(code);
    EXPECT_EQ(interpreter.writes, std::vector<std::string>{"a=1"});
}

TEST(ScriptRunner, ARunawayScriptStopsAtTheStepLimit) {
    EXPECT_EQ(TfrInterpretator().StepLimit(), TfrInterpretator::kDefaultStepLimit);
    for (const char* endless :
         {"begin 1: goto 1 end", "while 1 do a := 1", "repeat a := 1 until unknown"}) {
        RecordingInterpreter interpreter;
        interpreter.SetStepLimit(1000);
        try {
            interpreter.Run(endless);
            ADD_FAILURE() << endless << " ended";
        } catch (const EScriptStepLimit& e) {
            EXPECT_EQ(std::string(e.what()),
                      G("脚本执行超过1000步仍未结束（可能是死循环），已停止"));
        }
    }
    // A finite loop of 998 steps is left alone, and the count starts afresh.
    RecordingInterpreter interpreter;
    interpreter.SetStepLimit(1000);
    for (int run = 0; run < 2; ++run)
        EXPECT_NO_THROW(interpreter.Run("begin i := 0; while i < 332 do i := i + 1 end"));
}

// Runs nested in a script's calls share its step count: a loop that calls a
// long inner script cannot multiply the limit.
TEST(ScriptRunner, NestedRunsShareTheStepCount) {
    RecordingInterpreter interpreter;
    interpreter.SetStepLimit(5000);
    rtl::TStringList errors;
    interpreter.PrepareScript(Source("begin j := 0; while j < 200 do j := j + 1 end"),
                              interpreter.inner, errors);
    ASSERT_EQ(errors.Count(), 0);
    EXPECT_NO_THROW(interpreter.Run("begin Inner(1); Inner(2) end")); // about 1200 steps
    EXPECT_THROW(interpreter.Run("for i := 1 to 10 do Inner(i)"), EScriptStepLimit);
    // After the failed run the next one counts from zero again.
    EXPECT_NO_THROW(interpreter.Run("Inner(3)"));
}

TEST(ScriptRunner, AScriptThatReplacesItsOwnCodeRunsToItsEnd) {
    RecordingInterpreter interpreter;
    rtl::TStringList code, errors;
    interpreter.PrepareScript(Source("begin clear := 1; b := 2 end"), code, errors);
    interpreter.running = &code;
    interpreter.DoScript(code);
    EXPECT_EQ(interpreter.writes, (std::vector<std::string>{"clear=1", "b=2"}));
    EXPECT_EQ(code.Count(), 0);
}

TEST(ScriptRunner, DamagedCodeLinesEndTheRunSafely) {
    RecordingInterpreter interpreter;
    rtl::TStringList code;
    for (const std::string& line :
         {std::string(), std::string(1, '\x03'), std::string(" 1 "), std::string("a 1 "),
          std::string("\x02\x05", 2), std::string("b 2 ")})
        code.Add(line);
    interpreter.DoScript(code);
    EXPECT_EQ(interpreter.writes, std::vector<std::string>{"a=1"});
    code.Clear();
    code.Add(std::string(1, '\x01'));
    code.Add("c 3 ");
    interpreter.DoScript(code); // an empty condition is false: jump past the end
    EXPECT_EQ(interpreter.writes, std::vector<std::string>{"a=1"});
}

TEST(ScriptCalls, CollectCodeCallsReadsEveryExpression) {
    TfrInterpretator interpreter;
    rtl::TStringList code, errors;
    interpreter.PrepareScript(
        Source("begin a := SUM([x]) + 1; if MAX(b) > 0 then c := 2; while MIN(1) < v do d; "
               "e(SUM(2)); for i := 1 to COUNT(1) do end"),
        code, errors);
    ASSERT_EQ(errors.Count(), 0);
    TfrVariables variables;
    variables.Set("V", TVariant("SUM(3)"));
    rtl::TStringList wanted{"SUM", "MIN", "MAX", "COUNT"};
    rtl::TStringList found;
    interpreter.CollectCodeCalls(code, wanted, &variables, found);
    EXPECT_EQ(Lines(found), (std::vector<std::string>{"SUM([x])", "MAX(b)", "MIN(1)", "SUM(3)",
                                                      "SUM(2)", "COUNT(1)"}));
}

TEST(ScriptCalls, CalledFunctionNamesForTheSyntaxCheck) {
    TfrInterpretator interpreter;
    rtl::TStringList code, errors;
    interpreter.PrepareScript(
        Source("begin a := f(g(1), [h(2)]); k; if STR(x) = 'q(1)' then exit; m.n(1); "
               "b := Int(2) + copy('a', 1, f(1)) end"),
        code, errors);
    ASSERT_EQ(errors.Count(), 0);
    rtl::TStringList names;
    TfrInterpretator::CollectCalledFunctions(code, names);
    EXPECT_EQ(Lines(names), (std::vector<std::string>{"F", "G", "H", "K", "M.N", "COPY"}));
}

} // namespace
