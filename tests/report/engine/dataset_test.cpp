// Report data sets walking real queries: range rules, counted "virtual" data
// sets, events, empty and vanishing tables, look-up by name, and the
// database routines for binary fields, field names and field values.

#include "platform/db/db_test_util.h"

#include "platform/rtl/stream.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/engine/db_dataset.h"
#include "report/model/object_registry.h"
#include "report/model/picture.h"
#include "report/model/report.h"

#include <QBuffer>
#include <QImage>

#include <memory>

using namespace dbtest;

namespace {

constexpr const char* kLabels = "select [B] as [NUM],[L] as [Title] from [Goods]";

class DataSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        path_ = dir_.path().toStdString() + "/货品.db";
        MakeSqlite(path_, R"sql(
            CREATE TABLE Goods (B VARCHAR(20), L TEXT, P BLOB, Q BIGINT, F BOOLEAN, N INTEGER);
            INSERT INTO Goods VALUES ('r1', '苹果', NULL, 5000000000, NULL, NULL),
                ('r2', NULL, x'00', NULL, 1, 2), ('r3', 'c', NULL, 1, 0, 3),
                ('r4', 'd', NULL, 2, 1, 4), ('r5', 'e', NULL, 3, 0, 5);
            CREATE TABLE Empty (B VARCHAR(20), L TEXT);
        )sql");
        conn_.SetConnectionString(JetConnectionString(G(path_)));
        query_.SetSQL(kLabels);
        ds_.SetDataSet(&query_);
        form_ = std::make_unique<TfrComponentContainer>("frmPrint", TfrContainerKind::Form);
        form_->AddComponent("ADOQuery1", &query_);
        form_->AddComponent("frDBDataSet1", &ds_);
        form_->AddComponent("frReport1", &report_);
        SetCurReport(&report_);
    }
    void TearDown() override {
        SetCurReport(nullptr);
        form_.reset();
    }

    // The records a band would print: NUM of each, at most 20.
    static std::vector<std::string> Walk(TfrDataset& ds, db::TADOQuery* q) {
        std::vector<std::string> seen;
        ds.First();
        for (int guard = 0; !ds.Eof() && guard < 20; ++guard) {
            seen.push_back(q ? q->FieldByName("NUM").AsString() : std::to_string(ds.RecordNumber));
            ds.Next();
        }
        return seen;
    }

    void Exec(const std::string& sql) { MakeSqlite(path_, sql); }

    QTemporaryDir dir_;
    std::string path_;
    db::TADOConnection conn_;
    db::TADOQuery query_{&conn_};
    TfrDBDataSet ds_{"frDBDataSet1"};
    TfrReport report_;
    std::unique_ptr<TfrComponentContainer> form_;
};

using V = std::vector<std::string>;

TEST_F(DataSetTest, RangeRulesPickTheRecordsAndEndWalkReturnsToTheStart) {
    struct Case {
        TRangeBegin begin;
        TRangeEnd end;
        int count;
        int startAt; // records to move past before the walk
        V records;
        std::string after; // NUM current after EndWalk
    };
    const Case cases[] = {
        {rbFirst, reLast, 0, 2, {"r1", "r2", "r3", "r4", "r5"}, "r5"},
        {rbCurrent, reLast, 0, 2, {"r3", "r4", "r5"}, "r3"},
        {rbCurrent, reCurrent, 0, 2, {"r3"}, "r3"},
        {rbFirst, reCurrent, 0, 2, {"r1", "r2", "r3"}, "r3"},
        {rbFirst, reCount, 3, 0, {"r1", "r2", "r3"}, "r4"},
        {rbFirst, reCount, 9, 0, {"r1", "r2", "r3", "r4", "r5"}, "r5"},
        {rbCurrent, reCount, 3, 3, {"r4", "r5"}, "r4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.begin) + "/" + std::to_string(c.end));
        query_.Close();
        query_.Open();
        for (int i = 0; i < c.startAt; ++i) query_.Next();
        ds_.RangeBegin = c.begin;
        ds_.RangeEnd = c.end;
        ds_.RangeEndCount = c.count;
        ds_.BeginWalk();
        EXPECT_EQ(Walk(ds_, &query_), c.records);
        ds_.EndWalk();
        EXPECT_EQ(query_.FieldByName("NUM").AsString(), c.after);
        EXPECT_TRUE(query_.Active()); // never closed by default
    }
}

TEST_F(DataSetTest, OpensWhenNeededClosesWhenAskedAndRaisesItsEvents) {
    std::string events;
    ds_.OnOpen = [&](TfrDataset*) { events += "open "; };
    ds_.OnFirst = [&](TfrDataset*) { events += "first "; };
    ds_.OnNext = [&](TfrDataset* s) { events += "next" + std::to_string(s->RecordNumber) + " "; };
    ds_.OnClose = [&](TfrDataset*) { events += "close"; };
    ds_.RangeEnd = reCount;
    ds_.RangeEndCount = 2;
    ds_.CloseDataSource = true;
    ASSERT_FALSE(query_.Active());
    ds_.BeginWalk();
    EXPECT_EQ(Walk(ds_, &query_), (V{"r1", "r2"}));
    ds_.EndWalk();
    EXPECT_EQ(events, "open first next1 close");
    EXPECT_FALSE(query_.Active());

    // OnCheckEOF may end the walk anywhere.
    ds_.RangeEnd = reLast;
    ds_.OnCheckEOF = [](TfrDataset* s, bool& eof) { eof = eof || s->RecordNumber == 3; };
    ds_.BeginWalk();
    EXPECT_EQ(Walk(ds_, &query_), (V{"r1", "r2", "r3"}));
    ds_.Prior();
    EXPECT_EQ(query_.FieldByName("NUM").AsString(), "r3");
    EXPECT_EQ(ds_.RecordNumber, 2);
    ds_.EndWalk();
}

TEST_F(DataSetTest, NamesGiveComponentsOrCountedDataSets) {
    TfrFoundDataSet five = FindDataSetByName("5");
    ASSERT_NE(five.Owned, nullptr);
    EXPECT_EQ(five.DataSet, five.Owned.get());
    EXPECT_EQ(five.DataSet->ClassName(), "TfrUserDataset");
    int nexts = 0;
    five.DataSet->OnNext = [&](TfrDataset*) { ++nexts; };
    EXPECT_EQ(Walk(*five.DataSet, nullptr), (V{"0", "1", "2", "3", "4"}));
    EXPECT_EQ(nexts, 4);

    // OnCheckEOF ends a user data set at any record.
    TfrFoundDataSet many = FindDataSetByName("100");
    many.DataSet->OnCheckEOF = [](TfrDataset* s, bool& eof) { eof = s->RecordNumber >= 2; };
    EXPECT_EQ(Walk(*many.DataSet, nullptr), (V{"0", "1"}));

    EXPECT_EQ(FindDataSetByName("0").DataSet, nullptr); // a name, found nowhere
    EXPECT_EQ(FindDataSetByName("Nothing").DataSet, nullptr);
    EXPECT_THROW(FindDataSetByName("5x"), rtl::EConvertError);
    EXPECT_THROW(FindDataSetByName("ADOQuery1"), EInvalidCast);

    // By its own name, or with the form's name; started at once.
    TfrFoundDataSet byName = FindDataSetByName("frdbdataset1");
    EXPECT_EQ(byName.DataSet, &ds_);
    EXPECT_EQ(byName.Owned, nullptr);
    EXPECT_TRUE(query_.Active());
    EXPECT_EQ(FindDataSetByName("frmPrint.frDBDataSet1").DataSet, &ds_);

    // From another form the owner's components need the form's name.
    TfrComponentContainer other("DataModule1", TfrContainerKind::DataModule);
    EXPECT_EQ(FindDataSetByName("frDBDataSet1", &other).DataSet, nullptr);
    EXPECT_EQ(FindDataSetByName("frmPrint.frDBDataSet1", &other).DataSet, &ds_);
}

TEST_F(DataSetTest, EmptyAndVanishingRowsEndTheWalkQuietly) {
    for (TRangeBegin begin : {rbFirst, rbCurrent}) {
        for (TRangeEnd end : {reLast, reCurrent, reCount}) {
            SCOPED_TRACE(std::to_string(begin) + "/" + std::to_string(end));
            query_.Close();
            query_.SetSQL("select [B] as [NUM],[L] as [Title] from [Empty]");
            ds_.RangeBegin = begin;
            ds_.RangeEnd = end;
            ds_.RangeEndCount = 3;
            ds_.BeginWalk();
            EXPECT_EQ(Walk(ds_, &query_), V{});
            EXPECT_NO_THROW(ds_.EndWalk());
        }
    }

    // The rows go after the walk started at the current record: the query is
    // read afresh, and the start record is gone.
    query_.Close();
    query_.SetSQL(kLabels);
    query_.Open();
    query_.Next();
    ds_.RangeBegin = rbCurrent;
    ds_.RangeEnd = reCurrent;
    ds_.BeginWalk();
    Exec("DELETE FROM Goods;");
    query_.Close();
    query_.Open();
    EXPECT_EQ(Walk(ds_, &query_), V{});
    EXPECT_NO_THROW(ds_.EndWalk());

    // A closed query opened by the walk sees the table as it is then.
    query_.Close();
    ds_.RangeBegin = rbFirst;
    ds_.RangeEnd = reLast;
    ds_.BeginWalk();
    EXPECT_EQ(Walk(ds_, &query_), V{});
    ds_.EndWalk();
}

TEST_F(DataSetTest, WalksAnAccessTable) {
    db::TADOConnection access;
    access.SetConnectionString(JetConnectionString(AccessFixture("jet4-plain.mdb")));
    db::TADOQuery table(&access);
    table.SetSQL("select [ID] as [NUM],[Data] as [Title] from [Table1]");
    TfrDBDataSet ds("frDBDataSet2");
    ds.SetDataSet(&table);
    ds.RangeEnd = reCount;
    ds.RangeEndCount = 2;
    ds.BeginWalk();
    std::vector<std::string> titles;
    for (ds.First(); !ds.Eof(); ds.Next()) titles.push_back(table.FieldByName("Title").AsString());
    ds.EndWalk();
    EXPECT_EQ(titles, (V{"One", "Two"}));
}

TEST_F(DataSetTest, MissingDataSetIsNamedAndRemovedComponentsAreForgotten) {
    TfrDBDataSet lone("frDBDataSet2");
    EXPECT_EQ(MessageOf([&] { lone.BeginWalk(); }), "Unable to open dataset frDBDataSet2");

    // A data source wins over DataSet; setting one clears the other.
    TDataSource source{"DataSource1", &query_};
    lone.SetDataSet(&query_);
    lone.SetDataSource(&source);
    EXPECT_EQ(lone.DataSet(), nullptr);
    EXPECT_EQ(&lone.GetDataSet(), &query_);

    form_->AddComponent("DataSource1", &source);
    form_->RemoveComponent(&source);
    EXPECT_EQ(ds_.DataSet(), &query_);
    form_->RemoveComponent(&query_);
    EXPECT_EQ(ds_.DataSet(), nullptr);
    EXPECT_THROW(FindDataSetByName("frDBDataSet1"), db::EDatabaseError);

    // A data set that goes leaves its form.
    auto temporary = std::make_unique<TfrUserDataset>("Temp");
    form_->AddComponent("Temp", temporary.get());
    temporary.reset();
    EXPECT_EQ(form_->FindComponent("Temp"), nullptr);
}

TEST_F(DataSetTest, BinaryFieldsFieldNamesAndValues) {
    // A real bitmap in a binary field.
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "BMP"));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "UPDATE Goods SET P = ? WHERE B = 'r1'", -1, &st, nullptr);
    sqlite3_bind_blob(st, 1, bmp.constData(), static_cast<int>(bmp.size()), SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(st), SQLITE_DONE);
    sqlite3_finalize(st);
    sqlite3_close(db);

    db::TADOQuery all(&conn_);
    all.SetSQL("select * from [Goods]");
    rtl::TStringList names{"keep"};
    GetFieldNames(&all, names); // closed: opened for the look-up and closed again
    EXPECT_EQ(names.CommaText(), "B,L,P,Q,F,N");
    EXPECT_FALSE(all.Active());
    db::TADOQuery broken(&conn_);
    broken.SetSQL("select * from [Nowhere]");
    GetFieldNames(&broken, names);
    EXPECT_EQ(names.CommaText(), "B,L,P,Q,F,N");

    all.Open();
    EXPECT_TRUE(IsBlobField(all.FindField("P")));
    EXPECT_FALSE(IsBlobField(all.FindField("B")));
    EXPECT_FALSE(IsBlobField(nullptr));

    TfrPicture picture;
    AssignBlobTo(all.FieldByName("P"), picture);
    EXPECT_EQ(picture.Kind(), TfrPictureKind::Bitmap);
    EXPECT_EQ(picture.Width(), 3);
    rtl::TMemoryStream stream;
    AssignBlobTo(all.FieldByName("P"), stream);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(stream.Size(), bmp.size());
    rtl::TStringList lines;
    AssignBlobTo(all.FieldByName("L"), lines);
    EXPECT_EQ(lines.Text(), G("苹果\r\n"));

    // Field values as a report shows them: 64-bit integers as text.
    EXPECT_TRUE(GetFieldValue(all.FieldByName("Q")).Identical(rtl::TVariant("5000000000")));
    all.Next();
    EXPECT_THROW(AssignBlobTo(all.FieldByName("P"), picture), EfrPictureError);
    EXPECT_TRUE(GetFieldValue(all.FieldByName("L")).Identical(rtl::TVariant("")));
    EXPECT_TRUE(GetFieldValue(all.FieldByName("Q")).Identical(rtl::TVariant(0)));
    all.First();
    EXPECT_TRUE(GetFieldValue(all.FieldByName("F")).Identical(rtl::TVariant(false)));
    EXPECT_TRUE(GetFieldValue(all.FieldByName("N")).Identical(rtl::TVariant(0)));
    AssignBlobTo(all.FieldByName("N"), picture); // null clears
    EXPECT_TRUE(picture.Empty());
}

TEST_F(DataSetTest, FieldTextsResolveToDataSetsAndFields) {
    db::TADOQuery* dataSet = nullptr;
    std::string field;
    EXPECT_TRUE(FindDataField("frDBDataSet1.\"Title\"", dataSet, field));
    EXPECT_EQ(dataSet, &query_);
    EXPECT_EQ(field, "Title");
    dataSet = nullptr;
    EXPECT_TRUE(FindDataField("frmPrint.ADOQuery1.num", dataSet, field));
    EXPECT_EQ(field, "NUM");
    EXPECT_FALSE(FindDataField("frDBDataSet1.\"No.Such\"", dataSet, field));
    EXPECT_EQ(dataSet, &query_);
    EXPECT_EQ(field, "");
    // A bare name is a field of the data set given.
    db::TADOQuery* given = &query_;
    EXPECT_TRUE(FindDataField("\"Title\"", given, field));
    db::TADOQuery* none = nullptr;
    EXPECT_FALSE(FindDataField("Title", none, field));
    try {
        FindDataField("Memo2.Visible", dataSet, field);
        ADD_FAILURE() << "no error";
    } catch (const EClassNotFound& e) {
        EXPECT_STREQ(e.what(), "Missing Memo2");
    }
    // The report's own data set is the default one.
    EXPECT_EQ(DefaultDataSet(), nullptr);
    report_.Dataset = &ds_;
    EXPECT_EQ(DefaultDataSet(), &query_);
}

} // namespace
