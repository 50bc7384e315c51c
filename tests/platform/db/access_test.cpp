// Reading the Access files that Access itself wrote.

#include "db_test_util.h"

#include "platform/db/database_error.h"
#include "platform/rtl/sysutils.h"

#include <QCryptographicHash>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <variant>

using namespace db;
using namespace dbtest;

namespace {

struct Connected {
    TADOConnection conn;
    TADOQuery query{&conn};
    explicit Connected(const std::string& file, const std::string& password = "") {
        conn.SetConnectionString(JetConnectionString(AccessFixture(file), password));
        conn.Open();
    }
    void Run(const std::string& sql) {
        query.Close();
        query.SetSQL(sql);
        query.Open();
    }
};

} // namespace

TEST(AccessFile, ListsUserTablesInFileOrderWithoutSystemTables) {
    struct Case {
        const char* file;
        std::vector<std::string> tables;
    } cases[] = {
        {"jet3-types.mdb", {"Table1", "Table2", "Table3", "Table4"}},
        {"jet4-plain.mdb", {"Table1"}},
        {"jet4-encoded.mdb", {"Table1"}},
        {"jet4-unicode.mdb", {"Table"}},
        {"jet4-empty.mdb", {}},
    };
    for (const Case& c : cases) {
        Connected db(c.file);
        EXPECT_TRUE(db.conn.Connected());
        EXPECT_EQ(db.conn.GetTableNames(), c.tables) << c.file;
    }
}

TEST(AccessFile, Jet3ColumnsKindsAndValuesOfEveryType) {
    Connected db("jet3-types.mdb");
    db.Run("select * from [Table1]");
    ASSERT_TRUE(db.query.Active());
    EXPECT_EQ(db.query.GetFieldNames(),
              (std::vector<std::string>{"A", "B", "C", "D", "E", "F", "G", "H", "I"}));
    const TFieldType kinds[] = {ftString, ftString,   ftWord,     ftSmallint, ftInteger,
                                ftFloat,  ftDateTime, ftCurrency, ftBoolean};
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(db.query.Fields(i)->DataType(), kinds[i]) << db.query.Fields(i)->FieldName();
    EXPECT_EQ(db.query.Fields(0)->Size(), 50);
    EXPECT_EQ(db.query.Fields(1)->Size(), 100);

    EXPECT_EQ(Rows(db.query), (std::vector<std::string>{
                                  "a|b|0|0|0|0|1981-12-12|0|False",
                                  "abcdefg|hijklmnop|2|222|333333333|444.555|1974-9-21|3.5|True"}));
    db.query.Last();
    EXPECT_EQ(db.query.FieldByName("E").AsValue(), Value::FromInteger(333333333));
    EXPECT_EQ(db.query.FieldByName("F").AsValue(), Value::FromFloat(444.555));
    EXPECT_EQ(db.query.FieldByName("G").AsValue(),
              Value::FromDateTime(rtl::EncodeDate(1974, 9, 21)));
    EXPECT_EQ(db.query.FieldByName("H").AsValue(), Value::FromFloat(3.5));
    EXPECT_EQ(db.query.FieldByName("I").AsValue(), Value::FromBoolean(true));
}

TEST(AccessFile, EmptyTablesKeepTheirColumns) {
    Connected db("jet3-types.mdb");
    db.Run("select * from [Table2]");
    EXPECT_EQ(db.query.FieldCount(), 89);
    EXPECT_EQ(db.query.Fields(88)->FieldName(), "column89");
    EXPECT_EQ(db.query.RecordCount(), 0);
    EXPECT_TRUE(db.query.Eof());
    EXPECT_TRUE(db.query.Bof());

    db.Run("select * from [Table4]");
    EXPECT_EQ(db.query.GetFieldNames(), (std::vector<std::string>{"name", "data"}));
    EXPECT_EQ(db.query.Fields(1)->DataType(), ftGuid);
}

TEST(AccessFile, Jet4PlainEncodedAndPasswordFilesReadTheSameWay) {
    struct Case {
        const char* file;
        const char* password;
        const char* sql;
        std::vector<std::string> rows;
    } cases[] = {
        {"jet4-plain.mdb", "", "select * from [Table1]", {"1|One", "2|Two", "3|Three"}},
        {"jet4-password.mdb", "password", "select * from [Table1]", {"1|One", "2|Two", "3|Three"}},
        {"jet4-encoded.mdb", "", "select * from [Table1]", {"1|hello|0", "2|world|42"}},
        {"jet4-plain.mdb",
         "",
         "select [ID] as [NUM],[Data] as [Title] from [Table1] where [Data] like \"%o%\"",
         {"1|One", "2|Two"}},
    };
    for (const Case& c : cases) {
        Connected db(c.file, c.password);
        db.Run(c.sql);
        EXPECT_EQ(Rows(db.query), c.rows) << c.file << ": " << c.sql;
    }
}

TEST(AccessFile, UnicodeTextBecomesCp936WithQuestionMarksForWhatItCannotHold) {
    Connected db("jet4-unicode.mdb");
    db.Run("select [ID],[Unicode] from [Table]");
    std::vector<std::string> texts;
    for (db.query.First(); !db.query.Eof(); db.query.Next())
        texts.push_back(db.query.FieldByName("unicode").AsString());
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_EQ(texts[0], "only ascii chars");
    EXPECT_EQ(texts[1], "??kk?si?");                // ä and ö are not in CP936
    EXPECT_EQ(texts[2], G("Мир"));                  // Cyrillic is
    EXPECT_EQ(texts[3], G("?α? τ?τ' ?γ? Κ??λωπα")); // basic Greek only, no accents
    EXPECT_EQ(texts[4], G("漢字仮名交じり文"));
    EXPECT_EQ(texts[6], G("ümlaut")); // pinyin ü is
    // Code points 1 to 255: the ASCII run survives whole.
    EXPECT_EQ(texts[7].substr(0, 3), "\x01\x02\x03");
    EXPECT_NE(texts[7].find(" !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`"
                            "abcdefghijklmnopqrstuvwxyz{|}~"),
              std::string::npos);
}

TEST(AccessFile, DatabasePasswordMustMatchExactly) {
    struct Case {
        const char* file;
        const char* password; // nullptr: the short connection string
        bool opens;
    } cases[] = {
        {"jet4-password.mdb", "password", true},   {"jet4-password.mdb", nullptr, false},
        {"jet4-password.mdb", "Password", false},  {"jet4-password.mdb", "passwor", false},
        {"jet4-password.mdb", "password1", false}, {"jet4-password.mdb", " password", false},
        {"jet4-plain.mdb", nullptr, true},         {"jet4-plain.mdb", "anything", true},
        {"jet3-types.mdb", "anything", true},
    };
    for (const Case& c : cases) {
        TADOConnection conn;
        std::string cs = JetConnectionString(AccessFixture(c.file));
        // Written out in full, so a password with blanks reaches the layer as is.
        if (c.password) cs += std::string(";Jet OLEDB:Database Password=\"") + c.password + "\"";
        conn.SetConnectionString(cs);
        if (c.opens) {
            EXPECT_NO_THROW(conn.Open()) << c.file << " / " << (c.password ? c.password : "-");
            EXPECT_TRUE(conn.Connected());
        } else {
            try {
                conn.Open();
                ADD_FAILURE() << c.file << " opened with " << (c.password ? c.password : "-");
            } catch (const EDatabaseError& e) {
                EXPECT_STREQ(e.what(), "Not a valid password.");
            }
            EXPECT_FALSE(conn.Connected());
            EXPECT_THROW(conn.GetTableNames(), EDatabaseError);
        }
    }
}

namespace {

// mdb-export's rows of a table (tab-separated, binary as hex), keyed by the
// first column, keeping the named columns.
std::map<std::string, std::vector<std::string>> MdbExport(const std::string& file,
                                                          const std::string& table,
                                                          const std::vector<std::string>& columns) {
    const std::string command =
        "mdb-export -b hex -d '\t' -Q '" + AccessFixture(file) + "' " + table;
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[65536];
    for (std::size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        out.append(buffer, n);
    if (pipe) pclose(pipe);
    std::vector<std::vector<std::string>> lines;
    std::size_t start = 0;
    while (start < out.size()) {
        std::size_t end = out.find('\n', start);
        if (end == std::string::npos) end = out.size();
        std::vector<std::string> fields;
        std::size_t f = start;
        for (;;) {
            const std::size_t tab = out.find('\t', f);
            if (tab == std::string::npos || tab > end) {
                fields.push_back(out.substr(f, end - f));
                break;
            }
            fields.push_back(out.substr(f, tab - f));
            f = tab + 1;
        }
        lines.push_back(std::move(fields));
        start = end + 1;
    }
    std::map<std::string, std::vector<std::string>> rows;
    if (lines.empty()) return rows;
    std::vector<std::size_t> at;
    for (const std::string& c : columns)
        at.push_back(std::find(lines[0].begin(), lines[0].end(), c) - lines[0].begin());
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::vector<std::string> kept;
        for (std::size_t a : at) kept.push_back(a < lines[i].size() ? lines[i][a] : "?");
        rows[kept[0]] = kept;
    }
    return rows;
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (unsigned char c : bytes) {
        s += digits[c >> 4];
        s += digits[c & 15];
    }
    return s;
}

} // namespace

// Long binary values sit inline, on one long-value page or on a chain of
// them; the system tables hold all three (one value in the Jet 3 file spans
// five pages). libmdb's own exporter is the reference.
TEST(AccessFile, LongBinaryValuesMatchMdbExport) {
    struct Case {
        const char* file;
        const char* table;
        std::vector<std::string> columns; // the key first
    } cases[] = {
        {"jet3-types.mdb", "MSysObjects", {"Id", "Lv", "LvProp", "LvExtra"}},
        {"jet4-plain.mdb", "MSysObjects", {"Id", "Lv", "LvProp", "LvExtra"}},
        {"jet4-plain.mdb", "MSysAccessStorage", {"Id", "Lv"}},
        {"jet4-unicode.mdb", "MSysNameMap", {"Id", "NameMap"}},
    };
    for (const Case& c : cases) {
        const auto expected = MdbExport(c.file, c.table, c.columns);
        ASSERT_FALSE(expected.empty()) << "mdb-export read nothing from " << c.file;
        Connected db(c.file);
        std::string sql = "select ";
        for (std::size_t i = 0; i < c.columns.size(); ++i)
            sql += (i ? ",[" : "[") + c.columns[i] + "]";
        db.Run(sql + " from [" + c.table + "]");
        std::map<std::string, std::vector<std::string>> actual;
        std::size_t longest = 0;
        for (db.query.First(); !db.query.Eof(); db.query.Next()) {
            std::vector<std::string> row{db.query.Fields(0)->AsString()};
            for (int i = 1; i < db.query.FieldCount(); ++i) {
                EXPECT_EQ(db.query.Fields(i)->DataType(), ftBlob);
                row.push_back(Hex(db.query.Fields(i)->AsBytes()));
                longest = std::max(longest, db.query.Fields(i)->AsBytes().size());
            }
            actual[row[0]] = row;
        }
        EXPECT_EQ(actual, expected) << c.file << " " << c.table;
        EXPECT_GT(longest, 100u);
    }
}

namespace {

// A long text, by its size, its ends and its SHA-256.
struct LongText {
    std::size_t size;
    std::string head, tail, sha256;
};
// A number Access computed in decimal arithmetic, known to about 12 digits.
struct Near {
    double value;
};
using Cell = std::variant<Value, LongText, Near>;

Value I(std::int64_t v) {
    return Value::FromInteger(v);
}
Value F(double v) {
    return Value::FromFloat(v);
}
Value S(const std::string& utf8) {
    return Value::FromString(G(utf8));
}
Value B(bool v) {
    return Value::FromBoolean(v);
}
Value D(int y, int m, int d) {
    return Value::FromDateTime(rtl::EncodeDate(y, m, d));
}
// A date and time of day; before 1899-12-30 the day counts down while the
// time still counts up.
Value DT(int y, int m, int d, int h, int n, int s = 0) {
    const double day = rtl::EncodeDate(y, m, d), time = rtl::EncodeTime(h, n, s, 0);
    return Value::FromDateTime(day < 0 ? day - time : day + time);
}
Value Single(float v) {
    return Value::FromFloat(v);
}

std::string Show(const Value& v) {
    static const char* kinds[] = {"null", "bool", "int", "float", "date", "text", "bytes"};
    char exact[64];
    std::snprintf(exact, sizeof exact, " (%.17g)", v.AsFloat());
    return std::string(kinds[static_cast<int>(v.GetKind())]) + " '" + v.ToString() + "'" +
           (v.GetKind() == Value::Kind::Float || v.GetKind() == Value::Kind::DateTime ? exact : "");
}

std::string Sha256(const std::string& bytes) {
    return QCryptographicHash::hash(
               QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size())),
               QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

// "" when the value is the expected one, else what differs.
std::string Differs(const Value& actual, const Cell& expected) {
    if (const Value* v = std::get_if<Value>(&expected))
        return actual == *v ? "" : Show(actual) + " instead of " + Show(*v);
    if (const Near* n = std::get_if<Near>(&expected))
        return actual.GetKind() == Value::Kind::Float &&
                       std::fabs(actual.AsFloat() - n->value) <= 1e-12 * std::fabs(n->value)
                   ? ""
                   : Show(actual) + " instead of about " + std::to_string(n->value);
    const LongText& t = std::get<LongText>(expected);
    const std::string& s = actual.Text();
    if (actual.GetKind() == Value::Kind::String && s.size() == t.size &&
        s.compare(0, t.head.size(), t.head) == 0 &&
        s.compare(s.size() - t.tail.size(), t.tail.size(), t.tail) == 0 && Sha256(s) == t.sha256)
        return "";
    return Show(Value::FromString(s.substr(0, 60))) + "... of " + std::to_string(s.size()) +
           " bytes instead of the long text '" + t.head + "...'";
}

// Code points 1 to 255 in order.
std::string Latin1Run() {
    std::string utf8;
    for (unsigned c = 1; c < 256; ++c) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | c >> 6);
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

} // namespace

// Every value of every row of every user table of every fixture, as Access
// wrote it (text in CP936), and the system columns whose kinds no user table
// shows with a value: a Replication ID and a date with its time of day.
TEST(AccessFile, EveryValueOfEveryRowReadsAsAccessWroteIt) {
    struct Case {
        const char* file;
        std::string sql;
        std::vector<std::vector<Cell>> rows;
        const char* password = "";
    } cases[] = {
        {"jet3-types.mdb",
         "select * from [Table1]",
         {{S("a"), S("b"), I(0), I(0), I(0), F(0), D(1981, 12, 12), F(0), B(false)},
          {S("abcdefg"), S("hijklmnop"), I(2), I(222), I(333333333), F(444.555), D(1974, 9, 21),
           F(3.5), B(true)}}},
        {"jet3-types.mdb", "select * from [Table2]", {}},
        {"jet3-types.mdb", "select * from [Table3]", {}},
        {"jet3-types.mdb", "select * from [Table4]", {}},
        {"jet4-plain.mdb",
         "select * from [Table1]",
         {{I(1), S("One")}, {I(2), S("Two")}, {I(3), S("Three")}}},
        {"jet4-password.mdb",
         "select * from [Table1]",
         {{I(1), S("One")}, {I(2), S("Two")}, {I(3), S("Three")}},
         "password"},
        {"jet4-encoded.mdb",
         "select * from [Table1]",
         {{I(1), S("hello"), I(0)}, {I(2), S("world"), I(42)}}},
        {"jet4-unicode.mdb",
         "select * from [Table]",
         {{I(1), S("only ascii chars")},
          {I(2), S("ääkkösiä")},
          {I(3), S("Мир")},
          {I(4), S("ϰαὶ τότ' ἐγὼ Κύϰλωπα")},
          {I(5), S("漢字仮名交じり文")},
          {I(6), S("3L9\x1D"
                   "52\x02_AB(¥\x05!!V")},
          {I(7), S("ümlaut")},
          {I(8), S(Latin1Run())}}},
        {"jet4-deleted-column.mdb",
         "select * from [Table1]",
         {{I(0), I(2), S("foo"), S("foo2")}, {I(3), I(5), S("bar"), S("bar2")}}},
        {"ace-longtext.accdb",
         "select * from [Table1]",
         {{I(1), LongText{5000, "Lorem ipsum dolor sit amet, consetetur s",
                          "cumsan et iusto odio dignissim",
                          "611b07de431e8e4739b331ad8a0bee29fba805c96ea3d805f82cbbf0cf95227b"}}}},
        // Calculated columns (Access 2010) decode as their result kinds.
        {"calc-fields.accdb",
         "select * from [Table1]",
         {{I(1), S("Bruce"), S("Wayne"), S("Wayne, Bruce"), S("Gotham"), I(12), F(1000000),
           F(83333.3333), B(true), S("Wayne, Bruce=Wayne, Bruce"), F(19230.7692307692), F(1000000),
           B(true), F(50.325), F(50.325), Single(2583.2092f),
           Near{1000000 * 83333.3333 / 50.325 * 34.12342134}},
          {I(2), S("Bart"), S("Simpson"), S("Simpson, Bart"), S("Springfield"), I(13), F(-1),
           F(-0.0833), B(false), S("Simpson, Bart=Simpson, Bart"), F(-0.0192307692307692), F(-1),
           B(true), F(-36.2222), F(-36.2222), Single(0.0035889593f),
           Near{-1 * -0.0833 / -36.2222 * 34.12342134}},
          {I(3), S("John"), S("Doe"), S("Doe, John"), S("Nowhere"), I(9), F(0), F(0), B(false),
           S("Doe, John=Doe, John"), F(0), F(0), B(true), F(0.0123), F(0.0123), Single(0), F(0)},
          {I(4), S("Test"), S("User"), S("User, Test"), S("Hockessin"), I(10), F(100), F(8.3333),
           B(false), S("User, Test=User, Test"), F(1.92307692307692), F(100), B(true),
           F(102030405060.654321), F(102030405060.654321), Single(1.27413E-10f),
           Near{100 * 8.3333 / 102030405060.654321 * 34.12342134}}}},
        // Date/Time Extended (Access 2019) as date-times; rows in ID order,
        // those before 1900 too.
        {"ext-date.accdb",
         "select * from [Table1]",
         {{I(1), S("row1"), D(2020, 6, 17), D(2020, 6, 17), S("6/17/2020"), D(2020, 6, 17)},
          {I(2), S("row2"), D(2021, 6, 14), D(2021, 6, 14), S("6/14/2021"), D(2021, 6, 14)},
          {I(3), S("row3"), DT(2021, 6, 14, 12, 45), DT(2021, 6, 14, 12, 45),
           S("6/14/2021 12:45:00.0000000 PM"), DT(2021, 6, 14, 12, 45)},
          {I(4), S("row4"), DT(2021, 6, 14, 1, 45), DT(2021, 6, 14, 1, 45),
           S("6/14/2021 1:45:00.0000000 AM"), DT(2021, 6, 14, 1, 45)},
          {I(5), S("row5"), Value(), Value(), Value(), Value()},
          {I(6), S("row6"),
           Value::FromDateTime(rtl::EncodeDate(2021, 6, 14) + 81912.3456789 / 86400),
           DT(2021, 6, 14, 22, 45, 12), S("6/14/2021 10:45:12.3456789 PM"),
           DT(2021, 6, 14, 22, 45, 12)},
          {I(7), S("row7"), DT(1765, 6, 14, 12, 45), DT(1765, 6, 14, 12, 45),
           S("6/14/1765 12:45:00.0000000 PM"), DT(1765, 6, 14, 12, 45)},
          {I(8), S("row8"),
           Value::FromDateTime(rtl::EncodeDate(100, 6, 14) - 45900.1234567 / 86400),
           DT(100, 6, 14, 12, 45), S("6/14/100 12:45:00.1234567 PM"), DT(100, 6, 14, 12, 45)},
          {I(9), S("row9"), DT(1265, 6, 14, 12, 45), DT(1265, 6, 14, 12, 45),
           S("6/14/1265 12:45:00.0000000 PM"), DT(1265, 6, 14, 12, 45)}}},
        // Encrypted with a password (Access 2010's AES, Access 2007's RC4).
        {"enc-agile.accdb",
         "select * from [Table1]",
         {{I(1), S("One")}, {I(2), S("Two")}, {I(3), S("Three")}},
         "password"},
        {"enc-rc4.accdb",
         "select * from [Table1]",
         {{I(1), S("One")}, {I(2), S("Two")}, {I(3), S("Three")}},
         "password"},
        {"jet4-plain.mdb",
         "select [GUID],[Id],[Name],[Type] from [MSysNameMap]",
         // The name map keeps the NUL that ends the name.
         {{S("{5E0513E6-96E9-43A9-A42F-58B4950CC05C}"), I(11), S(std::string("Table1", 7)), I(1)}}},
        {"jet4-plain.mdb",
         "select [Name],[DateCreate],[DateUpdate] from [MSysObjects] where [Name] like \"MSysDb\"",
         // Stored to the fraction of a second: 13:03:57.383 and 16:20:28.064.
         {{S("MSysDb"), Value::FromDateTime(44568.544414155091),
           Value::FromDateTime(44568.680880370368)}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ": " + c.sql);
        Connected db(c.file, c.password);
        db.Run(c.sql);
        ASSERT_EQ(db.query.RecordCount(), static_cast<int>(c.rows.size()));
        int r = 0;
        for (db.query.First(); !db.query.Eof(); db.query.Next(), ++r) {
            const std::vector<Cell>& expected = c.rows[static_cast<std::size_t>(r)];
            ASSERT_EQ(db.query.FieldCount(), static_cast<int>(expected.size()));
            for (int i = 0; i < db.query.FieldCount(); ++i)
                EXPECT_EQ(
                    Differs(db.query.Fields(i)->AsValue(), expected[static_cast<std::size_t>(i)]),
                    "")
                    << "row " << r + 1 << ", " << db.query.Fields(i)->FieldName();
        }
    }
}
