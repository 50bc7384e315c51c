// Function calls: the standard and database libraries, the report's own
// functions, OnUserFunction, the library table and the descriptions.

#include "report/engine/data_fixture.h"
#include "report/engine/value_fixture.h"

#include "platform/rtl/sysutils.h"
#include "platform/rtl/variant.h"
#include "report/core/resource_strings.h"
#include "report/engine/function_library.h"
#include "report/engine/parser.h"
#include "report/engine/report_functions.h"
#include "report/engine/std_function_library.h"
#include "report/model/page.h"

#include <optional>
#include <utility>

namespace {

using enginetest::FakeRunBand;
using enginetest::FakeRunPage;
using rtl::TVariant;

// A memo that keeps indexed values, as objects with list properties do.
class IndexedMemo : public TfrMemoView {
public:
    TVariant CallMethod(const std::string& name, const TVariant& a1, const TVariant& a2,
                        const TVariant& a3) override {
        if (name == "SETINDEXPROPERTY") {
            stored[a1.AsString() + "/" + a2.AsString()] = a3;
            return TVariant::Null();
        }
        if (name == "GETINDEXPROPERTY") return stored[a1.AsString() + "/" + a2.AsString()];
        return TfrMemoView::CallMethod(name, a1, a2, a3);
    }
    std::map<std::string, TVariant> stored;
};

class ReportFunctions : public enginetest::ValueTest {
protected:
    void SetUp() override {
        ValueTest::SetUp();
        report_.Pages->Add();
        auto memo = std::make_unique<IndexedMemo>();
        memo->Name = "Memo1";
        memo1_ = static_cast<IndexedMemo*>(&report_.Pages->Items(0).AddObject(std::move(memo)));
    }
    IndexedMemo* memo1_ = nullptr;
};

TEST_F(ReportFunctions, FunctionCallsGiveTheirResults) {
    TfrGlobals& g = frGlobals();
    g.ScriptVariables.SetVariable("D", TVariant::Date(45356.75)); // 2024-03-05 18:00
    g.ScriptVariables.SetVariable("Counter", TVariant(4));

    struct Case {
        const char* expression;           // UTF-8
        std::optional<TVariant> expected; // none: the call raises an error
    };
    const TVariant kNoValue = TVariant::Null();
    const Case cases[] = {
        {"DAYOF(D)", TVariant(5)},
        {"MONTHOF(D)", TVariant(3)},
        {"YEAROF(D)", TVariant(2024)},
        {"DAYOF('2024-3-9')", TVariant(9)},
        {"FORMATDATETIME('yyyy/mm hh:nn', D)", TVariant("2024-03 18:00")},
        {"FORMATFLOAT('#,##0.00', 1234.5)", TVariant("1,234.50")},
        {"FORMATFLOAT('0.###', 2.5)", TVariant("2.5")},
        {"FORMATTEXT('000-000', '123456')", TVariant("123-456")},
        {"INPUT('Name?', 'Bob')", TVariant("Bob")},
        {"INPUT('Name?')", TVariant("")},
        {"LENGTH('abc')", TVariant(3)},
        {"LENGTH('中文')", TVariant(4)},
        {"LOWERCASE('ABC中文')", TVariant("abc中文")},
        {"UPPERCASE('abc')", TVariant("ABC")},
        {"NAMECASE('hELLO wORLD')", TVariant("Hello world")},
        {"NAMECASE('')", TVariant("")},
        {"MAXNUM(3, 5)", TVariant(5.0)},
        {"MINNUM(3, 5)", TVariant(3.0)},
        {"MAXNUM('b', 'a')", TVariant("b")},
        {"MESSAGEBOX('Text', 'Title', mb_YesNo)", TVariant(6)},
        {"MESSAGEBOX('Text', 'Title', mb_Ok + mb_IconError)", TVariant(1)},
        {"MESSAGEBOX('Text', 'Title', mb_YesNoCancel + mb_IconQuestion)", TVariant(6)},
        {"POS('lo', 'Hello')", TVariant(4)},
        {"POS('x', 'Hello')", TVariant(0)},
        {"TRIM('  a b  ')", TVariant("a b")},
        {"NoSuchFunction(1)", TVariant("0")},
        {"SUM([Price])", TVariant("0")}, // an aggregate outside a footer keeps "0"
        {"DAYOF('abc')", std::nullopt},
        {"FORMATFLOAT('0', 'abc')", std::nullopt},
        {"MESSAGEBOX('a', 'b', 'x')", std::nullopt},
        {"TRIM(Nowhere)", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        if (!c.expected) {
            EXPECT_ANY_THROW(Calc(G(c.expression)));
            continue;
        }
        const TVariant v = Calc(G(c.expression));
        const TVariant expected =
            c.expected->IsString() ? TVariant(G(c.expected->RawString())) : *c.expected;
        EXPECT_TRUE(v.Identical(expected)) << v.AsString();
    }
}

TEST_F(ReportFunctions, ReportFunctionsActOnTheBuild) {
    FakeRunPage page;
    frGlobals().CurrentRunPage = &page;
    FakeRunBand band(btMasterData, "MasterData1");
    frEngine().CurrentBand = &band;
    frGlobals().ScriptVariables.SetVariable("Counter", TVariant(4));

    Calc("NEWPAGE(0)");
    Calc("NEWPAGE(0) + NEWCOLUMN(0)");
    EXPECT_EQ(band.NewPageRequests, 2);
    EXPECT_EQ(band.NewColumnRequests, 1);
    Calc("SHOWBAND( Footer1)");
    EXPECT_EQ(page.shownBands, std::vector<std::string>{"Footer1"});
    Calc("INC(Counter)");
    EXPECT_TRUE(Calc("Counter").Identical(TVariant(5)));
    Calc("DEC(Counter) + DEC(Counter)");
    EXPECT_EQ(Calc("Counter").AsInteger(), 3);
    EXPECT_FALSE(report_.CancelRequested);
    Calc("STOPREPORT(0)");
    EXPECT_TRUE(report_.CancelRequested);

    // Arrays live in the script variables; A[i] reads them too.
    Calc("SETARRAY(A, 1, 5)");
    Calc("SETARRAY(A, 1 + 1, 'two')");
    Calc("SETARRAY(B, 'key', 7)");
    EXPECT_TRUE(Calc("GETARRAY(A, 1)").Identical(TVariant(5.0)));
    EXPECT_TRUE(Calc("A[1]").Identical(TVariant(5.0)));
    EXPECT_EQ(Calc("A[2]").AsString(), "two");
    EXPECT_TRUE(Calc("A[3]").IsNull());
    EXPECT_EQ(Calc("B['key']").AsInteger(), 7);
    EXPECT_TRUE(frGlobals().ScriptVariables.Contains("Arr_A_1"));
    // Object.Property arrays go to the object's index methods.
    Calc("SETARRAY(Memo1.Items, 2, 'x')");
    EXPECT_EQ(memo1_->stored["ITEMS/2"].AsString(), "x");
    EXPECT_EQ(Calc("Memo1.Items[2]").AsString(), "x");

    // Object.Method calls the object's methods.
    Calc("Memo1.Memo.Add('line')");
    EXPECT_EQ(memo1_->Memo.Text(), "line\r\n");
    Calc("Memo1.Hide(0)");
    EXPECT_FALSE(memo1_->Visible);
}

TEST_F(ReportFunctions, OnUserFunctionAnswersLastAndMayOverwrite) {
    std::vector<std::string> asked;
    report_.OnUserFunction = [&](const std::string& name, const TVariant& p1, const TVariant&,
                                 const TVariant&, TVariant& value) {
        asked.push_back(name);
        if (name == "TWICE") value = frCalculate(p1.AsString()) * TVariant(2);
        if (name == "GETARRAY") value = TVariant("mine");
    };
    EXPECT_TRUE(Calc("TWICE(21)").Identical(TVariant(42.0)));
    EXPECT_EQ(Calc("Elsewhere(1)").AsString(), "0");
    // Called after a report function too, and it may replace its value.
    EXPECT_EQ(Calc("GETARRAY(A, 1)").AsString(), "mine");
    // A library function ends the dispatch.
    EXPECT_EQ(Calc("TRIM(' a ')").AsString(), "a");
    EXPECT_EQ(asked, (std::vector<std::string>{"TWICE", "ELSEWHERE", "GETARRAY"}));
}

TEST_F(ReportFunctions, InputAndMessageBoxGoThroughTheUserInterfaceHooks) {
    std::string seen;
    frGuiHooks().InputBox = [&](const std::string& caption, const std::string& prompt,
                                const std::string& defaultText) {
        seen = "[" + caption + "|" + prompt + "|" + defaultText + "]";
        return std::string("typed");
    };
    frGuiHooks().MessageBox = [&](const std::string& text, const std::string& caption, int flags) {
        seen = text + "|" + caption + "|" + std::to_string(flags);
        return 7;
    };
    EXPECT_EQ(Calc("INPUT('Name?', 'Bob')").AsString(), "typed");
    EXPECT_EQ(seen, "[|Name?|Bob]");
    EXPECT_EQ(Calc("MESSAGEBOX('Text', 'Title', mb_YesNo + mb_IconQuestion)").AsInteger(), 7);
    EXPECT_EQ(seen, "Text|Title|36");
    EXPECT_EQ(frFirstButtonOf(2), frIdAbort);
    EXPECT_EQ(frFirstButtonOf(5 + 48), frIdRetry);
    EXPECT_EQ(frFirstButtonOf(6), frIdCancel);
}

class TestLibrary : public TfrFunctionLibrary {
public:
    TestLibrary() {
        AddFunction("TWICE");
        DescribeFunction("TWICE", "Test", "TWICE(<Value>)/doubles");
    }
    static std::string StaticClassName() { return "TestLibrary"; }
    std::string ClassName() const override { return StaticClassName(); }
    void DoFunction(int, const TVariant& p1, const TVariant&, const TVariant&,
                    TVariant& value) override {
        value = frCalculate(p1.AsString()) * TVariant(2);
    }
};

template <int N> class NumberedLibrary : public TestLibrary {
public:
    static std::string StaticClassName() { return "Library" + std::to_string(N); }
    std::string ClassName() const override { return StaticClassName(); }
};

TEST_F(ReportFunctions, LibrariesRegisterOnceAndLeaveWithTheirDescriptions) {
    TfrGlobals& g = frGlobals();
    ASSERT_EQ(g.Libraries.size(), 2u);
    EXPECT_EQ(g.Libraries[0]->ClassName(), "TfrStdFunctionLibrary");
    EXPECT_EQ(g.Libraries[1]->ClassName(), "TDatabaseFunctionLibrary");
    EXPECT_FALSE(IsKnownFunction("twice"));

    EXPECT_TRUE(RegisterFunctionLibrary(frLibraryClass<TestLibrary>()));
    EXPECT_TRUE(RegisterFunctionLibrary(frLibraryClass<TestLibrary>()));
    EXPECT_EQ(g.Libraries.size(), 3u);
    EXPECT_EQ(Calc("twice(4)").AsInteger(), 8);
    EXPECT_TRUE(IsKnownFunction("twice"));
    EXPECT_EQ(g.FunctionDescriptions.GetDescription("Twice"), "TWICE(<Value>)/doubles");

    UnregisterFunctionLibrary("TestLibrary");
    EXPECT_EQ(g.Libraries.size(), 2u);
    EXPECT_EQ(Calc("twice(4)").AsString(), "0");
    EXPECT_EQ(g.FunctionDescriptions.GetDescription("TWICE"), "");

    // The table holds 64 libraries.
    const bool allTaken = []<int... N>(std::integer_sequence<int, N...>) {
        return (RegisterFunctionLibrary(frLibraryClass<NumberedLibrary<N>>()) && ...);
    }
    (std::make_integer_sequence<int, kMaxFunctionLibraries - 2>());
    EXPECT_TRUE(allTaken);
    EXPECT_FALSE(RegisterFunctionLibrary(frLibraryClass<TestLibrary>()));
    EXPECT_EQ(g.Libraries.size(), static_cast<std::size_t>(kMaxFunctionLibraries));
}

TEST_F(ReportFunctions, DescriptionsByCategory) {
    const TfrInstalledFunctions& d = frGlobals().FunctionDescriptions;
    EXPECT_EQ(d.GetDescription("sum"),
              G("SUM(<Expression> [,BandName [,1]])/计算[BandName]上<Expression>的和. "
                "若使用[1]参数,则计算包括非可见行."));
    EXPECT_EQ(d.GetDescription("FIELDISNULL"),
              "FIELDISNULL(<FieldName>)/Returns 'true' if DB-field is null");
    EXPECT_EQ(d.GetDescription("NAMECASE"),
              G("NAMECASE(<String>)/转换<String>符号为小写,\"首字符大写."));

    rtl::TStringList list;
    d.GetCategories(list);
    EXPECT_EQ(list.Count(), 9);
    EXPECT_GE(list.IndexOf(G("数学")), 0);
    EXPECT_GE(list.IndexOf("Report info"), 0);
    d.GetFunctionsOfCategory(G("数学"), list);
    EXPECT_EQ(list.CommaText(), "FRAC,INT,MAXNUM,MINNUM,MOD,ROUND");
    d.GetFunctionsOfCategory(G("所有函数"), list);
    EXPECT_EQ(list.Count(), static_cast<int>(d.Items().size()));
    EXPECT_EQ(list.Count(), 67);
    rtl::TStringList all;
    d.GetFunctionsOfCategory("", all);
    EXPECT_TRUE(all.Equals(list));
}

TEST_F(ReportFunctions, TheSyntaxCheckFindsUnknownFunctions) {
    rtl::TStringList names;
    CollectUnknownFunctions("Foo(1) + SUM([x]) + [Bar(COPY('a', 1, 1))] + Memo1.Hide(0) + "
                            "INT(2.5) + 'Baz(1)' + foo(2) + IF(1, Qux(0), 0) + A[1]",
                            names);
    EXPECT_EQ(names.CommaText(), "FOO,BAR,QUX");
    EXPECT_TRUE(IsKnownFunction("strtodate"));
    EXPECT_TRUE(IsKnownFunction("SetArray"));
    EXPECT_TRUE(IsKnownFunction("FIELDISNULL"));
    EXPECT_FALSE(IsKnownFunction("INT")); // an operator, never a call
}

class DatabaseFunctions : public enginetest::DataFixture {};

TEST_F(DatabaseFunctions, FieldIsNull) {
    const std::string path = dir_.path().toStdString() + "/notes.db";
    dbtest::MakeSqlite(path, "CREATE TABLE Notes (Code TEXT, Note TEXT);"
                             "INSERT INTO Notes VALUES ('n1', NULL);");
    db::TADOConnection notes;
    notes.SetConnectionString(dbtest::JetConnectionString(dbtest::G(path)));
    db::TADOQuery nulls{&notes};
    nulls.SetSQL("select * from [Notes]");
    form_->AddComponent("NullQuery", &nulls);
    query_.Open();
    struct Case {
        const char* expression;
        bool expected;
    };
    const Case cases[] = {
        {"FIELDISNULL('frDBDataSet1.Code')", false},
        {"FIELDISNULL('frDBDataSet1.\"Item Name\"')", false},
        {"FIELDISNULL('NullQuery.Note')", true}, // opened for the look-up
        {"FIELDISNULL('NullQuery.Code')", false},
        {"FIELDISNULL('frDBDataSet1.Missing')", true},
        {"FIELDISNULL('Nowhere.Code')", true},
        {"FIELDISNULL('Code')", true}, // no default data set in use
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expression);
        EXPECT_TRUE(frCalculate(c.expression).Identical(rtl::TVariant(c.expected)));
    }
    report_.UseDefaultDataSetName = true;
    EXPECT_TRUE(frCalculate("FIELDISNULL('Code')").Identical(rtl::TVariant(false)));
    form_->RemoveComponent(&nulls);
}

TEST_F(DatabaseFunctions, BareFieldNamesFollowTheBandBeingPrinted) {
    TfrDBDataSet detailSet{"frDBDataSet2"};
    db::TADOQuery detailQuery{&conn_};
    detailQuery.SetSQL("select Price from [Goods]");
    detailSet.SetDataSet(&detailQuery);
    FakeRunPage page;
    FakeRunBand master(btMasterData, "MasterData1");
    master.dataSet = &dataSet_;
    FakeRunBand detail(btDetailData, "DetailData1");
    detail.dataSet = &detailSet;
    page.Put(master);
    page.Put(detail);
    frGlobals().CurrentRunPage = &page;
    struct Case {
        int bandType;
        db::TADOQuery* expected;
    };
    const Case cases[] = {
        {btReportTitle, &query_},     {btMasterFooter, &query_},      {btGroupFooter, &query_},
        {btDetailData, &detailQuery}, {btDetailFooter, &detailQuery}, {btDetailHeader, &query_},
        {btSubDetailData, nullptr},   {btColumnHeader, &query_},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bandType);
        FakeRunBand band(c.bandType, "Band");
        frEngine().CurrentBand = &band;
        EXPECT_EQ(DefaultDataSet(), c.expected);
    }
    // A dialog page, or no band, uses the report's own data set (the loop's
    // band is gone: a band that lives stands current).
    frEngine().CurrentBand = &detail;
    page.dialog = true;
    EXPECT_EQ(DefaultDataSet(), &query_);
    page.dialog = false;
    frEngine().CurrentBand = nullptr;
    EXPECT_EQ(DefaultDataSet(), &query_);
    frGlobals().CurrentRunPage = nullptr;
}

} // namespace
