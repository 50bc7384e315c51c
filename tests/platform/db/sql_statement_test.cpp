#include "db_test_util.h"

#include "platform/db/database_error.h"
#include "platform/db/sql_statement.h"

using namespace db;
using dbtest::G;

namespace {

// "col>alias,col,...|table|col~pattern,..." for compact expectations.
std::string Describe(const TSelectStatement& s) {
    std::string d;
    if (s.AllColumns) d = "*";
    for (std::size_t i = 0; i < s.Items.size(); ++i) {
        if (i) d += ',';
        d += s.Items[i].Column;
        if (!s.Items[i].Alias.empty()) d += '>' + s.Items[i].Alias;
    }
    d += '|' + s.Table + '|';
    for (std::size_t i = 0; i < s.Where.size(); ++i) {
        if (i) d += ',';
        d += s.Where[i].Column + '~' + s.Where[i].Pattern;
    }
    return d;
}

} // namespace

TEST(SqlStatement, ParsesTheProgramsStatements) {
    struct Case {
        std::string sql;
        std::string parsed;
    } cases[] = {
        {"select * from [Table1]", "*|Table1|"},
        {"SELECT * FROM [My Table]", "*|My Table|"},
        {"select [B] as [NUM],[L] as [Title] from [T]", "B>NUM,L>Title|T|"},
        {"select [B] as [NUM],[L] as [Title] from [T] where [B] like \"%x%\"",
         "B>NUM,L>Title|T|B~%x%"},
        {"select [B] as [NUM],[L] as [Title] from [T] where [B] like \"%x%\" and [L] like \"%y%\"",
         "B>NUM,L>Title|T|B~%x%,L~%y%"},
        {"Select B As NUM , L aS Title From T Where L Like '%it''s%' ;",
         "B>NUM,L>Title|T|L~%it's%"},
        {"select [B] from [T] where [B] like \"%say \"\"hi\"\"%\"", "B|T|B~%say \"hi\"%"},
        {"select [B] as [NUM],[L] as [Title] from [T] where [B] like \"%%\"",
         "B>NUM,L>Title|T|B~%%"},
        {"select\t*\r\nfrom\n[T]", "*|T|"},
        // A doubled "]" inside brackets is one "]" of the name.
        {"select [a]]b] as [NUM] from [x]]]]]", "a]b>NUM|x]]|"},
        // A trail byte of 0x5D (']') or 0x5B ('[') stays inside its character.
        {G("select [条码] as [NUM] from [货品表]"), G("条码>NUM|货品表|")},
        {"select [\x81\x5D\x81\x5B] from [T]", "\x81\x5D\x81\x5B|T|"},
        {G("select 条码 from 货品"), G("条码|货品|")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Describe(ParseSelect(c.sql)), c.parsed) << c.sql;
    }
}

TEST(SqlStatement, RefusesOtherAndMalformedStatementsSayingWhere) {
    struct Case {
        std::string sql;
        std::string messagePart;
    } cases[] = {
        {"", "must start with SELECT"},
        {"delete from [T]", "must start with SELECT"},
        {"select * from [a]b]", "near 'b]'"}, // "]" in a name
        {"select [a]b] as [NUM] from [T]", "near 'b] as [NUM] from [T]'"},
        {"select [B] from [T] where [B] like \"%a\"b%\"", "near 'b%\"'"}, // quote in the text
        {"select [B] from [T] where [B] like \"%abc", "not closed"},
        {"select * from [T", "missing ']'"},
        {"select * from []", "empty name"},
        {"select * from [T] where", "expected a column name in WHERE (at the end"},
        {"select * from [T] where [B] = \"x\"", "expected LIKE near '= \"x\"'"},
        {"select * from [T] where [B] like x", "expected a quoted text"},
        {"select * [T]", "expected FROM"},
        {"select [B] [NUM] from [T]", "expected FROM near '[NUM] from [T]'"},
        {"select * from [T] order by [B]",
         "unexpected text at the end of the statement near 'order by [B]'"},
        {"select * from [T]; drop table [T]", "near 'drop table [T]'"},
        {"select * from [T] where [B] like \"%x%\" or [L] like \"%y%\"", "near 'or [L]"},
        {"select , from [T]", "expected a column name"},
        {"select * from [T[x]]", "may not contain '['"},
    };
    for (const Case& c : cases) {
        const std::string msg = dbtest::MessageOf([&] { ParseSelect(c.sql); });
        EXPECT_NE(msg.find(c.messagePart), std::string::npos) << c.sql << " -> " << msg;
    }
}

TEST(SqlStatement, LikeFollowsJetRules) {
    struct Case {
        std::string text;
        std::string pattern;
        bool matches;
    } cases[] = {
        {"ABC123", "%c1%", true}, // ASCII letters ignore case
        {"ABC123", "%C2%", false},
        {"", "%%", true}, // an empty text still matches "contains nothing"
        {"", "%x%", false},
        {"abc", "abc", true},
        {"abc", "ab", false},
        {"abc", "a_c", true},
        {"abc", "a_", false},
        {"a%c", "a%", true},
        {"aaab", "%a%b", true},
        {"abcabd", "%ab_", true},
        {"mississippi", "%s%s%s%s%", true},
        {"mississippi", "%s%s%s%s%s%", false},
        {G("打印条码标签"), G("%条码%"), true},
        {G("打印条码标签"), G("%条_标%"), true}, // '_' takes a whole double-byte character
        {G("打印条码标签"), G("打印____"), true},
        {G("打印条码标签"), G("打印_____"), false},
        // "阿" is B0 A2 and "鞍" B0 B0; a trail byte never lines up with a lead byte.
        {"\xB0\xA2\xB0\xB0", "%\xA2\xB0%", false},
        // Trail bytes that look like letters keep their case.
        {"\x81\x41", "\x81\x61", false},
        {"\x81\x41", "\x81\x41", true},
        {"[x]", "%[x]%", true}, // brackets are plain characters here
    };
    for (const Case& c : cases)
        EXPECT_EQ(LikeMatch(c.text, c.pattern), c.matches) << c.text << " like " << c.pattern;
}
