// Statements, fields, moves and bookmarks, on SQLite files made here.

#include "db_test_util.h"

#include "platform/db/database_error.h"
#include "platform/rtl/sysutils.h"

using namespace db;
using namespace dbtest;

namespace {

// A folder and file name with blanks and Chinese, as users have them.
class QueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        const std::string folder = dir_.path().toStdString() + "/my labels 条码";
        std::filesystem::create_directory(folder);
        path_ = folder + "/货品 数据.db";
        MakeSqlite(path_, R"sql(
            CREATE TABLE "货品" (
                "编号" INTEGER PRIMARY KEY, "条码" VARCHAR(20), "名称" TEXT, "价格" REAL,
                "入库" DATETIME, "在售" BOOLEAN, "图片" BLOB, "备注" MEMO, "数量" BIGINT);
            INSERT INTO "货品" VALUES
                (1, '6901234567892', '可口可乐 330ml', 2.5, '2024-03-01 08:30:00', 1, x'00FF10', '冷藏', 5000000000),
                (2, '6909876543210', '矿泉水', 1, '2024-03-02', 0, NULL, NULL, 3),
                (3, NULL, '散装糖果', NULL, NULL, NULL, NULL, '', NULL),
                (4, 'ABC-001', '', 0.1, NULL, 1, x'', 'x', -7);
            CREATE TABLE "Labels" ("B" TEXT, "L" TEXT);
            INSERT INTO "Labels" VALUES ('A1', 'apple'), ('a2', 'Banana'), ('B3', 'cherry'),
                ('b4', NULL), (NULL, 'date'), ('', 'elderberry');
            CREATE VIEW "Cheap" AS SELECT "条码", "价格" * 2 AS "Double" FROM "货品" WHERE "价格" < 2;
            CREATE TABLE "Gone" (x); CREATE VIEW "Broken" AS SELECT x FROM "Gone"; DROP TABLE "Gone";
        )sql");
        conn_.SetConnectionString(JetConnectionString(G(path_)));
    }

    void Run(const std::string& sql) {
        query_.Close();
        query_.SetSQL(sql);
        query_.Open();
    }

    std::string Error(const std::string& sql) {
        query_.Close();
        query_.SetSQL(sql);
        try {
            query_.Open();
        } catch (const EDatabaseError& e) {
            EXPECT_FALSE(query_.Active());
            return e.what();
        }
        return "(opened)";
    }

    QTemporaryDir dir_;
    std::string path_;
    TADOConnection conn_;
    TADOQuery query_{&conn_};
};

} // namespace

TEST_F(QueryTest, ConnectsByContentAndListsTablesAndViews) {
    conn_.Open();
    EXPECT_EQ(conn_.GetTableNames(),
              (std::vector<std::string>{G("货品"), "Labels", "Cheap", "Broken"}));
    conn_.Close();
    EXPECT_FALSE(conn_.Connected());
}

TEST_F(QueryTest, TableChangeListsFieldNamesInColumnOrder) {
    conn_.Open();
    Run(G("select * from [货品]"));
    EXPECT_EQ(query_.GetFieldNames(),
              (std::vector<std::string>{G("编号"), G("条码"), G("名称"), G("价格"), G("入库"),
                                        G("在售"), G("图片"), G("备注"), G("数量")}));
    const TFieldType kinds[] = {ftInteger, ftString, ftString, ftFloat,   ftDateTime,
                                ftBoolean, ftBlob,   ftMemo,   ftLargeint};
    for (int i = 0; i < query_.FieldCount(); ++i)
        EXPECT_EQ(query_.Fields(i)->DataType(), kinds[i]) << FieldTypeName(kinds[i]);
    EXPECT_EQ(query_.Fields(1)->Size(), 20);
}

TEST_F(QueryTest, ValuesKeepTheirKindsAndReadAsText) {
    conn_.Open();
    Run(G("select * from [货品]"));
    ASSERT_EQ(query_.RecordCount(), 4);
    EXPECT_EQ(Rows(query_), (std::vector<std::string>{
                                G("1|6901234567892|可口可乐 330ml|2.5|2024-3-1 8:30:00|True|") +
                                    std::string("\x00\xFF\x10", 3) + G("|冷藏|5000000000"),
                                G("2|6909876543210|矿泉水|1|2024-3-2|False|||3"),
                                G("3||散装糖果||||||"),
                                "4|ABC-001||0.1||True||x|-7",
                            }));
    query_.First();
    EXPECT_EQ(query_.Fields(4)->AsValue(),
              Value::FromDateTime(rtl::EncodeDate(2024, 3, 1) + rtl::EncodeTime(8, 30, 0, 0)));
    EXPECT_EQ(query_.Fields(6)->AsBytes(), std::string("\x00\xFF\x10", 3));
    EXPECT_EQ(query_.Fields(6)->AsValue().GetKind(), Value::Kind::Bytes);
    EXPECT_EQ(query_.Fields(8)->AsValue(), Value::FromInteger(5000000000));
    query_.Next();
    EXPECT_EQ(query_.Fields(3)->AsValue(), Value::FromFloat(1.0)); // REAL column, integer stored
    query_.Next();
    for (int i : {1, 3, 4, 5, 6}) EXPECT_TRUE(query_.Fields(i)->IsNull()) << i;
    EXPECT_FALSE(query_.Fields(7)->IsNull()); // '' is not null
    EXPECT_EQ(query_.Fields(7)->AsString(), "");
}

TEST_F(QueryTest, MainWindowAndSearchStatements) {
    const std::string select = "select [B] as [NUM],[L] as [Title] from [Labels]";
    struct Case {
        std::string where;
        std::vector<std::string> rows;
    } cases[] = {
        {"", {"A1|apple", "a2|Banana", "B3|cherry", "b4|", "|date", "|elderberry"}},
        {" where [B] like \"%a%\"", {"A1|apple", "a2|Banana"}}, // ASCII case ignored
        {" where [L] like \"%an%\"", {"a2|Banana"}},
        {" where [B] like \"%b%\" and [L] like \"%e%\"", {"B3|cherry"}},
        {" where [B] like \"%%\"", {"A1|apple", "a2|Banana", "B3|cherry", "b4|", "|elderberry"}},
        {" where [L] like \"%%\"", {"A1|apple", "a2|Banana", "B3|cherry", "|date", "|elderberry"}},
        {" where [B] like \"%%\" and [L] like \"%%\"",
         {"A1|apple", "a2|Banana", "B3|cherry", "|elderberry"}},
        {" where [B] like \"%zzz%\"", {}},
    };
    conn_.Open();
    for (const Case& c : cases) {
        Run(select + c.where);
        EXPECT_EQ(query_.GetFieldNames(), (std::vector<std::string>{"NUM", "Title"}));
        EXPECT_EQ(Rows(query_), c.rows) << c.where;
    }
    // The before-print hook looks the barcode up as "Num".
    Run(select);
    ASSERT_NE(query_.FindField("Num"), nullptr);
    EXPECT_EQ(query_.FindField("Num")->AsString(), "A1");
    EXPECT_EQ(query_.FindField("title")->Index(), 1);
    EXPECT_EQ(query_.FindField("B"), nullptr);
}

TEST_F(QueryTest, SearchMatchesChineseAndNonTextColumns) {
    conn_.Open();
    const std::string select = G("select [条码] as [NUM],[名称] as [Title] from [货品]");
    Run(select + G(" where [名称] like \"%可乐%\""));
    EXPECT_EQ(Rows(query_), (std::vector<std::string>{G("6901234567892|可口可乐 330ml")}));
    Run(G("select [编号] from [货品] where [价格] like \"%.5%\" and [入库] like \"2024-3%\""));
    EXPECT_EQ(Rows(query_), (std::vector<std::string>{"1"}));
    Run(G("select [价格] as [P],[价格] as [Q] from [货品] where [编号] like \"4\""));
    EXPECT_EQ(Rows(query_), (std::vector<std::string>{"0.1|0.1"}));
}

TEST_F(QueryTest, ViewsOpenLikeTables) {
    Run("select * from [cheap]"); // opens the connection on demand
    EXPECT_TRUE(conn_.Connected());
    EXPECT_EQ(query_.GetFieldNames(), (std::vector<std::string>{G("条码"), "Double"}));
    EXPECT_EQ(query_.Fields(1)->DataType(), ftFloat); // undeclared: taken from the values
    EXPECT_EQ(Rows(query_), (std::vector<std::string>{"6909876543210|2", "ABC-001|0.2"}));
}

TEST_F(QueryTest, BadStatementsFailNamingTheProblem) {
    conn_.Open();
    struct Case {
        std::string sql;
        std::string messagePart;
    } cases[] = {
        {"select * from [Nope]", "Cannot find the input table or query 'Nope'"},
        {"select [B] as [NUM],[X] as [Title] from [Labels]",
         "Unknown column 'X' in table 'Labels'"},
        {"select [B] from [Labels] where [Q] like \"%a%\"", "Unknown column 'Q' in WHERE"},
        {"select * from [Lab]els]", "Syntax error"},
        {"select [B] as [NUM],[L] as [Title] from [Labels] where [B] like \"%a\"b%\"",
         "Syntax error"},
        {"select * from [sqlite_master]", "Cannot find the input table"},
        {"select * from [Broken]", "Cannot read 'Broken' of the database"},
        {"select * from [Broken]", "no such table: main.Gone"},
    };
    for (const Case& c : cases) {
        const std::string msg = Error(c.sql);
        EXPECT_NE(msg.find(c.messagePart), std::string::npos) << c.sql << " -> " << msg;
    }
    // A failed open leaves the query closed and empty.
    EXPECT_EQ(query_.FieldCount(), 0);
    EXPECT_EQ(query_.FindField("B"), nullptr);
    EXPECT_THROW(query_.Next(), EDatabaseError);
}

TEST_F(QueryTest, MovesFollowTheDataSetRules) {
    conn_.Open();
    Run("select [L] from [Labels] where [L] like \"%an%\" and [B] like \"%a%\"");
    EXPECT_EQ(query_.RecordCount(), 1);
    EXPECT_TRUE(query_.Bof());
    EXPECT_FALSE(query_.Eof());
    query_.Next();
    EXPECT_TRUE(query_.Eof());
    EXPECT_EQ(query_.Fields(0)->AsString(), "Banana"); // still on the last record

    Run("select [B] from [Labels] where [B] like \"%zz%\"");
    EXPECT_TRUE(query_.Bof() && query_.Eof());
    EXPECT_EQ(query_.RecNo(), 0);
    EXPECT_TRUE(query_.Fields(0)->IsNull());
    EXPECT_TRUE(query_.GetBookmark().Empty());

    Run("select * from [Labels]");
    query_.Last();
    EXPECT_TRUE(query_.Eof());
    EXPECT_EQ(query_.RecNo(), 6);
    query_.Prior();
    EXPECT_FALSE(query_.Eof());
    EXPECT_EQ(query_.RecNo(), 5);
    query_.First();
    query_.Prior();
    EXPECT_TRUE(query_.Bof());
    EXPECT_EQ(query_.RecNo(), 1);
    int walked = 0;
    for (query_.First(); !query_.Eof(); query_.Next()) ++walked;
    EXPECT_EQ(walked, 6);
}

TEST_F(QueryTest, BookmarksReturnToTheirRecord) {
    conn_.Open();
    Run("select * from [Labels]");
    query_.Next();
    TBookmark second = query_.GetBookmark();
    query_.Next();
    query_.Next();
    TBookmark fourth = query_.GetBookmark();
    EXPECT_EQ(query_.CompareBookmarks(second, fourth), -1);
    EXPECT_EQ(query_.CompareBookmarks(fourth, second), 1);
    EXPECT_EQ(query_.CompareBookmarks(fourth, query_.GetBookmark()), 0);

    query_.Last();
    query_.Next();
    ASSERT_TRUE(query_.Eof());
    query_.GotoBookmark(second);
    EXPECT_FALSE(query_.Eof());
    EXPECT_EQ(query_.RecNo(), 2);
    EXPECT_EQ(query_.FieldByName("b").AsString(), "a2");

    query_.FreeBookmark(second);
    EXPECT_TRUE(second.Empty());
    EXPECT_THROW(query_.GotoBookmark(second), EDatabaseError);

    // A bookmark belongs to one opening of the query.
    Run("select * from [Labels]");
    EXPECT_FALSE(query_.BookmarkValid(fourth));
    EXPECT_THROW(query_.GotoBookmark(fourth), EDatabaseError);
}

TEST_F(QueryTest, ClosingTheConnectionOrChangingTheStatementClosesTheQuery) {
    conn_.Open();
    Run("select * from [Labels]");
    query_.SetSQL("select [B] from [Labels]");
    EXPECT_FALSE(query_.Active());
    query_.Open();
    EXPECT_TRUE(query_.Active());
    conn_.Close();
    EXPECT_FALSE(query_.Active());
    EXPECT_EQ(query_.FindField("B"), nullptr);
    {
        TADOConnection other;
        query_.SetConnection(&other);
    }
    EXPECT_EQ(query_.Connection(), nullptr); // cleared when the connection went away
    EXPECT_THROW(query_.Open(), EDatabaseError);
}

TEST_F(QueryTest, LargeTablesReadWholeAcrossStorageChunks) {
    MakeSqlite(dir_.path().toStdString() + "/big.db",
               "CREATE TABLE Big (N INTEGER, L TEXT);"
               "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 30000)"
               "INSERT INTO Big SELECT x, 'label ' || x FROM c;");
    conn_.SetConnectionString(JetConnectionString(dir_.path().toStdString() + "/big.db"));
    Run("select [N] as [NUM],[L] as [Title] from [Big]");
    ASSERT_EQ(query_.RecordCount(), 30000);
    std::int64_t expected = 1;
    TBookmark late;
    for (query_.First(); !query_.Eof(); query_.Next(), ++expected) {
        ASSERT_EQ(query_.Fields(0)->AsValue(), Value::FromInteger(expected));
        ASSERT_EQ(query_.Fields(1)->AsString(), "label " + std::to_string(expected));
        if (expected == 25000) late = query_.GetBookmark();
    }
    EXPECT_EQ(expected, 30001);
    query_.First();
    query_.GotoBookmark(late);
    EXPECT_EQ(query_.RecNo(), 25000);
    EXPECT_EQ(query_.FindField("title")->AsString(), "label 25000");

    Run("select [L] from [Big] where [L] like \"%0\"");
    EXPECT_EQ(query_.RecordCount(), 3000);
    query_.Last();
    EXPECT_EQ(query_.Fields(0)->AsString(), "label 30000");
}

// The sample database the program ships, walked as the main window does.
TEST_F(QueryTest, ShippedSampleDatabaseReadsThroughTheMainWindowsStatements) {
    const std::string path = dir_.path().toStdString() + "/sample.db";
    MakeSqlite(path, ReadFile(std::string(SOURCE_DATA_DIR) + "/sample.sql"));
    conn_.SetConnectionString(JetConnectionString(G(path)));
    conn_.Open();
    EXPECT_EQ(conn_.GetTableNames(),
              (std::vector<std::string>{G("商品"), G("供应商"), G("高价商品")}));
    Run(G("select * from [商品]"));
    EXPECT_EQ(query_.GetFieldNames(),
              (std::vector<std::string>{G("编号"), G("条码"), G("名称"), G("规格"), G("单价")}));
    const std::string select = G("select [条码] as [NUM],[名称] as [Title] from [商品]");
    Run(select + G(" where [名称] like \"%可乐%\""));
    EXPECT_EQ(Rows(query_), (std::vector<std::string>{G("  6901610426485 |可口可乐"),
                                                      G("6961574613383|百事可乐")}));
    Run(select + G(" where [名称] like \"%凉茶%\""));
    ASSERT_EQ(query_.RecordCount(), 1);
    EXPECT_TRUE(query_.FindField("Num")->IsNull());
    Run(G("select [条码] as [NUM],[名称] as [Title] from [高价商品]"));
    EXPECT_GT(query_.RecordCount(), 0);
}

// A statement naming some columns reads only those from SQLite; each must
// still read its own column, whatever the names of a table's or view's
// columns look like.
TEST_F(QueryTest, ChosenColumnsReadTheirOwnValuesWhateverTheirNames) {
    MakeSqlite(path_, R"sql(
        CREATE TABLE "Q" ("a""b" TEXT, "c" INTEGER, "名 称" TEXT);
        INSERT INTO "Q" VALUES ('x', 1, '甲'), ('z', 2, NULL), (NULL, 3, '乙');
        CREATE VIEW "Dup" AS SELECT c, c, "a""b", c + 1, "名 称" FROM "Q";
    )sql");
    struct Case {
        std::string table;
        std::vector<std::string> columns;
    } cases[] = {
        {"Q", {"c", "a\"b"}},
        {"Q", {G("名 称"), "c", "c"}},
        {"Dup", {"c:1", "c + 1", G("名 称")}},
        {"Dup", {"a\"b", "c"}},
        {G("货品"), {G("名称"), G("编号"), G("入库"), G("图片")}},
    };
    for (const Case& c : cases) {
        Run("select * from [" + c.table + "]");
        std::vector<std::vector<Value>> expected;
        for (query_.First(); !query_.Eof(); query_.Next()) {
            std::vector<Value>& row = expected.emplace_back();
            for (const std::string& column : c.columns)
                row.push_back(query_.FieldByName(column).AsValue());
        }
        std::string sql = "select ";
        for (std::size_t i = 0; i < c.columns.size(); ++i)
            sql += (i ? ",[" : "[") + c.columns[i] + "]";
        Run(sql + " from [" + c.table + "]");
        std::vector<std::vector<Value>> actual;
        for (query_.First(); !query_.Eof(); query_.Next()) {
            std::vector<Value>& row = actual.emplace_back();
            for (int i = 0; i < query_.FieldCount(); ++i)
                row.push_back(query_.Fields(i)->AsValue());
        }
        EXPECT_EQ(actual, expected) << sql;
        EXPECT_EQ(actual.size(), c.table == G("货品") ? 4u : 3u) << sql;
    }
}
