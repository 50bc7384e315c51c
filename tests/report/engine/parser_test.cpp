// The expression language: compiling to postfix text, evaluating it, the
// tokenisers, the function splitter and the variable list.

#include "platform/rtl/dateutils.h"
#include "platform/rtl/locale.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/function_splitter.h"
#include "report/engine/parser.h"
#include "report/model/variables.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using rtl::TVariant;

std::string G(const char* utf8) {
    return text::Utf8ToCp936(utf8);
}

// A parser whose names and functions answer from small tables: PRICE and
// the bracketed Price are 10, TOTAL 7, A 5, and every Chinese name "名"
// plus its own bytes; functions answer "NAME|p1|p2|p3", BOOM raises.
struct TestParser {
    TestParser() {
        parser.OnValueRequest = [this](const std::string& name, TVariant& value) {
            requested.push_back(name);
            if (name == "PRICE" || name == "Price")
                value = TVariant(10);
            else if (name == "TOTAL")
                value = TVariant(7);
            else if (name == "A")
                value = TVariant(5);
            else if (!name.empty() && static_cast<unsigned char>(name[0]) >= 0x81)
                value = TVariant(G("名") + name);
        };
        parser.OnFunctionRequest = [](const std::string& name, const TVariant& p1,
                                      const TVariant& p2, const TVariant& p3, TVariant& value) {
            if (name == "BOOM") throw std::runtime_error("BOOM was evaluated");
            value =
                TVariant(name + "|" + p1.AsString() + "|" + p2.AsString() + "|" + p3.AsString());
        };
    }
    TfrParser parser;
    std::vector<std::string> requested;
};

enum class Fails { No, Parser, Convert };

struct Case {
    std::string expression;
    TVariant value;
    std::optional<std::string> postfix = std::nullopt;
    Fails fails = Fails::No;
};

std::string Visible(const std::string& s) {
    std::string r;
    for (unsigned char c : s) {
        if (c < 32) {
            r += "\\x" + std::to_string(c);
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

TEST(Parser, ExpressionsGiveTheirValuesAndPostfixText) {
    const std::string tab(1, fropNegate);
    const std::vector<Case> cases = {
        // Precedence and associativity.
        {"2 + 3 * 4", TVariant(14.0), "2 3 4 *+"},
        {"(2 + 3) * 4", TVariant(20.0), "2 3 +4 *"},
        {"10 - 4 - 3", TVariant(3.0), "10 4 -3 -"},
        {"7 MOD 2", TVariant(1), "7 2 \x0d"},
        {"5 / 0", TVariant(0)},
        {"6 / 4", TVariant(1.5)},
        {"-2 * 3", TVariant(-6.0), "2 3 *" + tab},
        {"+2", TVariant(2.0), "2 \x0a"},
        // Comparisons give integers; AND and OR bind like *.
        {"1 = 1", TVariant(1), "1 1 ="},
        {"2 <> 2", TVariant(0), "2 2 \x03"},
        {"A >= 5", TVariant(1), "A 5 \x01"},
        {"A <= 4", TVariant(0), "A 4 \x02"},
        {"NOT 0", TVariant(1)},
        {"NOT 5", TVariant(0)},
        {"(1 < 2) AND (3 > 2)", TVariant(1)},
        {"1 < 2 AND 3 > 2", TVariant(0), "1 2 3 \x05<2 >"},
        {"'abc' = 'abc'", TVariant(1)},
        // Prefix operators on the next operand or group, never calls.
        {"INT 2.9999999999999", TVariant(3.0), "2.9999999999999 \x06"},
        {"INT(-2.5)", TVariant(-2.0), "2.5 " + tab + "\x06"},
        {"FRAC 3.75", TVariant(0.75)},
        {"ROUND 2.5", TVariant(2.0)},
        {"ROUND 3.5", TVariant(4.0)},
        {"STR(12) + 'a'", TVariant("12a"), "12 \x0b'a' +"},
        {"STR Nobody", TVariant("")},
        // Literals.
        {"'It''s'", TVariant("It's"), "'It''s' "},
        {"''''''", TVariant("'")},
        {"'ab' + 'cd'", TVariant("abcd")},
        {"3,5 + 1", TVariant(4.5), "3,5 1 +"},
        {"3.5 + 1", TVariant(4.5)},
        {"TRUE", TVariant(true)},
        {"false", TVariant(false)},
        // Built-ins: only the chosen IF branch is evaluated.
        {"IF(2 > 1, 'yes', BOOM())", TVariant("yes"), "IF(2 > 1, 'yes', BOOM())"},
        {"IF(0.5, BOOM(), 'no')", TVariant("no")},
        {"IF(TRUE, 1, 2)", TVariant(), std::nullopt, Fails::Convert},
        {"COPY('abcdef', 2, 3)", TVariant("bcd")},
        {"COPY('abcdef', 1.5, 3)", TVariant(), std::nullopt, Fails::Convert},
        {"STRTODATE('2024-3-5')", TVariant::Date(rtl::EncodeDate(2024, 3, 5))},
        // Names and other functions go to the callbacks.
        {"[Price] * 2", TVariant(20.0), "[Price] 2 *"},
        {"SUM([Price]) + '1'", TVariant("SUM|[Price]||1"), "SUM([Price])'1' +"},
        {"A[1]", TVariant("GETARRAY|A| 1|"), "A[1] "},
        {"F(a, b, c, d)", TVariant("F|a| c|")},
        {"total; anything", TVariant(7), "total "},
        {"Nobody", TVariant::Null()},
        {"Nobody + 1", TVariant::Null()},
        {"1 + 2)", TVariant(3.0)},
        // Chinese text whose trail bytes look like '[', ']' or letters.
        {G("[价俔] + '!'"), TVariant(G("名价俔!"))},
        {G("乕 + '!'"), TVariant(G("名乕!")), G("乕 '!' +")},
        {G("俛"), TVariant(G("名俛"))},
        {G("COPY('乚乕俛', 3, 2)"), TVariant(G("乕"))},
        // Short of operands and unbalanced calls: clear parser errors.
        {"2 * -3", TVariant(), std::nullopt, Fails::Parser},
        {"1 +", TVariant(), std::nullopt, Fails::Parser},
        {"F(1, (2)", TVariant(), std::nullopt, Fails::Parser},
        {"(1 + 2", TVariant(), std::nullopt, Fails::Parser},
        {"1 + 'x'", TVariant(), std::nullopt, Fails::Convert},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Visible(c.expression));
        TestParser t;
        if (c.postfix) {
            EXPECT_EQ(Visible(t.parser.CompileToPostfix(c.expression)), Visible(*c.postfix));
        }
        switch (c.fails) {
        case Fails::No: {
            const TVariant v = t.parser.Evaluate(c.expression);
            EXPECT_TRUE(v.Identical(c.value))
                << rtl::VarTypeName(v.VarType()) << " " << v.AsString() << " wanted "
                << rtl::VarTypeName(c.value.VarType()) << " " << c.value.AsString();
            break;
        }
        case Fails::Parser:
            EXPECT_THROW(t.parser.Evaluate(c.expression), EParserError);
            break;
        case Fails::Convert:
            EXPECT_ANY_THROW(t.parser.Evaluate(c.expression));
            break;
        }
    }
}

TEST(Parser, EitherDecimalMarkReadsWhateverTheLocaleSeparator) {
    rtl::DecimalSeparatorScope comma(',');
    TestParser t;
    EXPECT_TRUE(t.parser.Evaluate("3,5 + 1").Identical(TVariant(4.5)));
    EXPECT_TRUE(t.parser.Evaluate("3.5 + 1").Identical(TVariant(4.5)));
}

TEST(Parser, CallbacksSeeNamesAsTheRulesSay) {
    TestParser t;
    t.parser.Evaluate("price + [Price] + [a b]");
    EXPECT_EQ(t.requested, (std::vector<std::string>{"PRICE", "Price", "a b"}));

    // Without callbacks names and calls still take their slot, as Null.
    TfrParser bare;
    EXPECT_TRUE(bare.Evaluate("X").IsNull());
    EXPECT_TRUE(bare.Evaluate("F(1) + 1").IsNull());
}

TEST(Parser, DeepInputEndsInParserErrorsNotOverruns) {
    TestParser t;
    // 32 pending values fit; the 33rd is refused.
    std::string fits, overflows;
    for (int i = 0; i < 31; ++i) fits += "1+(";
    fits += "1" + std::string(31, ')');
    EXPECT_TRUE(t.parser.Evaluate(fits).Identical(TVariant(32.0)));
    for (int i = 0; i < 32; ++i) overflows += "1+(";
    overflows += "1" + std::string(32, ')');
    try {
        t.parser.Evaluate(overflows);
        ADD_FAILURE() << "no error";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.what(), LoadResourceString(frsExpressionTooComplex));
    }

    // Nested built-ins deeper than the limit.
    std::string nested;
    for (int i = 0; i < 500; ++i) nested += "IF(1, ";
    nested += "1";
    for (int i = 0; i < 500; ++i) nested += ", 0)";
    EXPECT_THROW(t.parser.Evaluate(nested), EParserError);
    EXPECT_TRUE(t.parser.Evaluate("IF(1, IF(1, 'ok', 0), 0)").Identical(TVariant("ok")));
}

TEST(Parser, TokenisersWalkDoubleByteCharactersWhole) {
    // A quoted field name keeps its blanks and operators.
    int pos = 1;
    const std::string operand = "  DS.\"My Field-1\"+2";
    EXPECT_EQ(TfrParser::ReadOperand(operand, pos), "DS.\"My Field-1\"");
    EXPECT_EQ(pos, 18);

    pos = 3;
    EXPECT_EQ(TfrParser::ReadQuoted("x 'a''b' y", pos), "'a''b'");
    EXPECT_EQ(pos, 9);
    pos = 1;
    EXPECT_EQ(TfrParser::ReadQuoted("'open", pos), "'open");
    EXPECT_EQ(pos, 6);

    // The trail byte of 俔 is ']'; quotes hide brackets.
    const std::string bracketed = G("[a[俔]'[]'\"]\"]tail");
    int start = 1, end = 0;
    EXPECT_EQ(ExtractBracketed(bracketed, start, end), G("a[俔]'[]'\"]\""));
    EXPECT_EQ(bracketed.substr(static_cast<std::size_t>(end)), "tail");
    start = 2;
    EXPECT_EQ(ExtractBracketed(bracketed, start, end), "");
    EXPECT_EQ(end, 2);
    start = 1;
    EXPECT_EQ(ExtractBracketed("[open", start, end), "open");
    EXPECT_EQ(end, 6);

    std::string a1, a2, a3;
    const std::string call = G("F(x, '),', (乕,y))!");
    pos = 2;
    TfrParser::SplitArguments(call, pos, a1, a2, a3);
    EXPECT_EQ(a1, "x");
    EXPECT_EQ(a2, " '),'");
    EXPECT_EQ(a3, G(" (乕,y)"));
    EXPECT_EQ(call.substr(static_cast<std::size_t>(pos - 1)), "!");
    pos = 2;
    try {
        TfrParser::SplitArguments("F(1, (2)", pos, a1, a2, a3);
        ADD_FAILURE() << "no error";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.what(), LoadResourceString(frsUnbalancedParentheses));
    }

    EXPECT_EQ(OperatorPriority('('), 5);
    EXPECT_EQ(OperatorPriority(')'), 4);
    EXPECT_EQ(OperatorPriority(fropStr), 0);
    EXPECT_EQ(OperatorPriority('a'), 0);
}

TEST(FunctionSplitter, CollectsInnerCallsFirstAndRefusesLoopingVariables) {
    rtl::TStringList wanted{"SUM", "MIN", "MAX"};
    rtl::TStringList found;
    TfrVariables vars;
    vars.SetVariable("Total", TVariant("sum([z]) + 1"));
    TfrFunctionSplitter splitter(wanted, found, &vars);
    splitter.CollectCalls("MAX([x]) + SUM(MIN([y]))");
    EXPECT_EQ(found.Text(), "MAX([x])\r\nMIN([y])\r\nSUM(MIN([y]))\r\n");

    found.Clear();
    splitter.CollectCalls(G("[Total] * Total + COUNT(MAX([俔])) + 'SUM(q)'"));
    EXPECT_EQ(found.Text(), G("sum([z])\r\nsum([z])\r\nMAX([俔])\r\n"));

    // Directly and through another variable.
    vars.SetVariable("Self", TVariant("Self + 1"));
    vars.SetVariable("Ping", TVariant("[Pong]"));
    vars.SetVariable("Pong", TVariant("SUM(Ping)"));
    EXPECT_THROW(splitter.CollectCalls("Self"), EParserError);
    EXPECT_THROW(splitter.CollectCalls("MAX(1) + [Ping]"), EParserError);
    // A variable used twice side by side is no loop.
    found.Clear();
    splitter.CollectCalls("Total + Total");
    EXPECT_EQ(found.Count(), 2);
}

TEST(Variables, UnsortedKeepsOrderAndSortedSearches) {
    TfrVariables v;
    v.SetVariable("b", TVariant(1));
    v.SetVariable("A", TVariant(2));
    v.SetVariable("B", TVariant(3)); // overwrites b
    EXPECT_EQ(v.Count(), 2);
    EXPECT_EQ(v.GetNameAt(0), "b");
    EXPECT_TRUE(v.GetVariable("a").Identical(TVariant(2)));
    EXPECT_TRUE(v.GetVariable("zz").IsNull());
    // Lenient index access.
    EXPECT_TRUE(v.GetValueAt(9).Identical(TVariant(0)));
    EXPECT_EQ(v.GetNameAt(-1), "");
    v.SetValueAt(9, TVariant(1));
    v.DeleteAt(9);
    v.InsertVariable(0, "new");
    EXPECT_EQ(v.GetNameAt(0), "new");
    EXPECT_TRUE(v.GetValueAt(0).Identical(TVariant(0)));

    TfrVariables copy;
    copy.Assign(v);
    copy.SetSorted(true);
    EXPECT_EQ(copy.GetNameAt(0), "A");
    EXPECT_EQ(copy.GetNameAt(2), "new");
    copy.SetVariable("C", TVariant(4));
    EXPECT_EQ(copy.GetNameAt(2), "C");
    EXPECT_EQ(copy.IndexOf("c"), 2);
    copy.SetNameAt(0, "z");
    EXPECT_EQ(copy.GetNameAt(copy.Count() - 1), "z");
    EXPECT_EQ(v.Count(), 3); // the copy is a copy
}

} // namespace
