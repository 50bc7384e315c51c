#include "model_test_support.h"

#include "report/model/band_view.h"
#include "report/model/line_view.h"
#include "report/model/picture_view.h"
#include "report/model/sub_report_view.h"

#include <QBuffer>
#include <QImage>

using namespace model_test;
using rtl::TVariant;

namespace {

class StreamRecords : public ModelTest {};

void FillCommon(TfrView& v) {
    v.Name = "Obj1";
    v.SetBounds(10, 20, 100, 30);
    v.FrameTyp = 15;
    v.FrameWidth = 0.5;
    v.FrameColor = 0x0000FF;
    v.FrameStyle = 1;
    v.FillColor = gdi::clYellow;
    v.FormatCode = 0x0102022E;
    v.FormatText = "#,##0.00";
    v.Memo.SetText("[NUM]\r\nsecond");
    v.BeforePrintScript.SetText("begin\r\nend");
    v.Visible = false;
    v.Restrictions = frrfDontModify | frrfDontDelete;
    v.Tag = "tag";
    v.GapX = 4;
    v.GapY = 3;
    v.BandAlign = baCenter;
}

// The record for FillCommon's values as the byte table lays it out.
Bytes CommonRecord(int minor, int flags) {
    Bytes b;
    b.str("Obj1").u8(2).u8(minor).i32(10).i32(20).i32(100).i32(30).u16(flags).u16(15);
    b.i32(500).i32(0x0000FF).u16(1).i32(0x00FFFF).i32(0x0102022E).str("#,##0.00");
    b.lines({"[NUM]", "second"}).lines({"begin", "end"}).u16(0);
    b.u16(72).str("tag").i32(4).i32(3).u8(3);
    return b;
}

} // namespace

TEST_F(StreamRecords, MemoRecordFollowsTheByteTable) {
    TfrMemoView memo;
    FillCommon(memo);
    memo.Font.Name = "Arial";
    memo.Font.Size = 12;
    memo.Font.Bold = true;
    memo.Font.Color = 0x800000;
    memo.Alignment = frtaCenter | frtaMiddle;
    memo.HighlightCondition = "[X] > 1";
    memo.HighlightFillColor = 0xC0C0C0;
    memo.LineSpacing = 5;
    memo.CharSpacing = 1;
    Bytes expected = CommonRecord(0, flStretched | flWordWrap);
    expected.str("Arial").i32(12).u16(2).i32(0x800000).i32(10).u16(134);
    expected.u16(2).i32(0).i32(0xC0C0C0).str("[X] > 1").i32(5).i32(1);
    EXPECT_EQ(Hex(RecordOf(memo)), Hex(expected));
}

TEST_F(StreamRecords, BandRecordWritesMinorOneAndItsColumns) {
    TfrBandView band;
    FillCommon(band);
    band.ChildBand = "Child1";
    band.Columns = 2;
    band.ColumnWidth = 300;
    band.ColumnGap = 10;
    band.NewColumnAfter = 3;
    band.Master = "MasterData1";
    Bytes expected = CommonRecord(1, flBandOnFirstPage | flBandOnLastPage);
    expected.str("Child1").i32(2).i32(300).i32(10).i32(3).str("MasterData1");
    EXPECT_EQ(Hex(RecordOf(band)), Hex(expected));
}

TEST_F(StreamRecords, EveryKindRoundTripsByteForByte) {
    QImage img(3, 2, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray bmp;
    QBuffer buf(&bmp);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(img.save(&buf, "BMP"));

    for (int code : {gtMemo, gtPicture, gtBand, gtSubReport, gtLine}) {
        SCOPED_TRACE(code);
        auto original = CreateObject(code, "");
        FillCommon(*original);
        if (auto* memo = dynamic_cast<TfrMemoView*>(original.get())) {
            memo->Font.Name = "\xCB\xCE\xCC\xE5"; // 宋体
            memo->Font.Italic = true;
            memo->HighlightCondition = "[A]";
        } else if (auto* pict = dynamic_cast<TfrPictureView*>(original.get())) {
            pict->Picture.LoadFromBytes(TfrPictureKind::Bitmap, bmp.toStdString());
            pict->BlobType = btJPG;
        } else if (auto* sub = dynamic_cast<TfrSubReportView*>(original.get())) {
            sub->SubPage = 3;
        } else if (auto* band = dynamic_cast<TfrBandView*>(original.get())) {
            band->Master = "M";
            band->Columns = 4;
        }
        const std::string bytes = RecordOf(*original);
        auto copy = CreateObject(code, "");
        auto in = StreamOf(bytes);
        copy->ReadFromStream(*in);
        EXPECT_EQ(in->Position(), in->Size());
        EXPECT_EQ(Hex(RecordOf(*copy)), Hex(bytes));
        EXPECT_EQ(copy->Name, "Obj1");
        EXPECT_EQ(copy->FrameWidth, 0.5);
        EXPECT_EQ(copy->Memo.Text(), "[NUM]\r\nsecond\r\n");
        EXPECT_FALSE(copy->Visible);
    }
}

TEST_F(StreamRecords, PictureKeepsItsImageAndEndPosition) {
    QImage img(4, 5, QImage::Format_RGB32);
    img.fill(Qt::blue);
    QByteArray bmp;
    QBuffer buf(&bmp);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "BMP");

    // Other data before the record: the end position counts from the stream's start.
    rtl::TMemoryStream ms;
    ms.WriteBytes("prefix");
    TfrPictureView pict;
    pict.Picture.LoadFromBytes(TfrPictureKind::Bitmap, bmp.toStdString());
    pict.WriteToStream(ms);
    const int64_t pictureEnd = ms.Position();
    TfrLineView line;
    line.Name = "Line1";
    line.WriteToStream(ms);
    EXPECT_EQ(ms.Position(), ms.Size());

    const std::string bytes = ms.Bytes();
    ms.SetPosition(6);
    TfrPictureView back;
    back.ReadFromStream(ms);
    EXPECT_EQ(ms.Position(), pictureEnd);
    EXPECT_EQ(back.Picture.Kind(), TfrPictureKind::Bitmap);
    EXPECT_EQ(back.Picture.Bytes(), bmp.toStdString());
    EXPECT_EQ(back.Picture.Width(), 4);
    EXPECT_EQ(back.Picture.Height(), 5);
    TfrLineView nextRecord;
    nextRecord.ReadFromStream(ms);
    EXPECT_EQ(nextRecord.Name, "Line1");

    // The stored end position is the absolute offset after the image data.
    const std::string tail = bytes.substr(static_cast<std::size_t>(pictureEnd) - bmp.size() - 4, 4);
    int32_t stored = 0;
    std::memcpy(&stored, tail.data(), 4);
    EXPECT_EQ(stored, pictureEnd);
}

TEST_F(StreamRecords, DamagedPictureRecordsRaiseReadErrors) {
    TfrPictureView pict;
    const std::string good = RecordOf(pict); // no image: kind 0, blob type, end position
    const std::size_t endAt = good.size() - 4;
    for (int32_t badEnd : {-1, 0, static_cast<int32_t>(good.size()) + 1, 0x7FFFFFFF}) {
        std::string bytes = good;
        std::memcpy(&bytes[endAt], &badEnd, 4);
        TfrPictureView back;
        EXPECT_THROW(back.ReadFromStream(*StreamOf(bytes)), rtl::EReadError) << badEnd;
    }
    std::string badKind = good;
    badKind[endAt - 2] = 9;
    TfrPictureView back;
    EXPECT_THROW(back.ReadFromStream(*StreamOf(badKind)), rtl::EReadError);
    // Cut anywhere, a record never reads past its end.
    TfrMemoView memo;
    FillCommon(memo);
    const std::string full = RecordOf(memo);
    for (std::size_t n = 0; n < full.size(); ++n) {
        TfrMemoView m;
        EXPECT_THROW(m.ReadFromStream(*StreamOf(full.substr(0, n))), rtl::EReadError) << n;
    }
}

TEST_F(StreamRecords, FrameWidthIsStoredInThousandthsWhenItHasAFraction) {
    struct Case {
        double width;
        int32_t stored;
        double readBack;
    };
    // Whole widths above 10 go in thousandths too, or they would read back a
    // thousandth of themselves.
    for (const Case& c :
         {Case{0.5, 500, 0.5}, Case{2, 2, 2.0}, Case{1.25, 1250, 1.25}, Case{10, 10, 10.0},
          Case{11, 11000, 11.0}, Case{40, 40000, 40.0}, Case{0, 0, 0.0}}) {
        TfrLineView line;
        line.FrameWidth = c.width;
        std::string bytes = RecordOf(line);
        // Name (3 bytes for ""), major, minor, 4 × 4 geometry, flags, frame type.
        int32_t stored = 0;
        std::memcpy(&stored, bytes.data() + 3 + 2 + 16 + 4, 4);
        EXPECT_EQ(stored, c.stored) << c.width;
        TfrLineView back;
        back.ReadFromStream(*StreamOf(bytes));
        EXPECT_DOUBLE_EQ(back.FrameWidth, c.readBack) << c.width;
    }
}

TEST_F(StreamRecords, PreparedModeStoresTheWorkingText) {
    TfrMemoView memo;
    FillCommon(memo);
    memo.WorkMemo.SetText("12345");
    memo.PreparedMode = true;
    Bytes expected;
    expected.str("Obj1").u8(2).u8(0).i32(10).i32(20).i32(100).i32(30).u16(3).u16(15);
    expected.i32(500).i32(0x0000FF).u16(1).i32(0x00FFFF).lines({"12345"});
    expected.u16(72).str("tag").i32(4).i32(3).u8(3);
    expected.str("Arial").i32(10).u16(0).i32(0).i32(0).u16(134).i32(2).i32(0);
    const std::string bytes = RecordOf(memo);
    EXPECT_EQ(Hex(bytes), Hex(expected));

    TfrMemoView back;
    back.PreparedMode = true;
    back.ReadFromStream(*StreamOf(bytes));
    EXPECT_EQ(back.Memo.Text(), "12345\r\n");
    EXPECT_EQ(back.FormatText, "");
    EXPECT_EQ(back.HighlightCondition, "");
}

// ---------------------------------------------------------------------------
// Older versions, from hand-made records.

namespace {

class OldVersions : public ModelTest {
protected:
    std::unique_ptr<TfrMemoView> ReadMemo(int version, const std::string& bytes) {
        frEngine().Version = version;
        auto memo = std::make_unique<TfrMemoView>();
        auto in = StreamOf(bytes);
        memo->ReadFromStream(*in);
        EXPECT_EQ(in->Position(), in->Size()) << "version " << version;
        return memo;
    }
};

// Common record of versions 21 and 22, then the memo body.
Bytes OldMemo() {
    Bytes b;
    b.i32(1).i32(2).i32(3).i32(4).u16(flStretched).u16(0).i32(1).i32(0).u16(0).i32(0x1FFFFFFF);
    b.i32(0x22E).str0("fmt").lines0({"line1", "", "line3"});
    b.str0("Times New Roman").i32(9).u16(1).i32(0xFF).i32(1).u16(0);
    b.u16(2).i32(0).i32(0xFFFFFF).str0("[A]");
    return b;
}

} // namespace

TEST_F(OldVersions, Version21GetsAGeneratedNameWordWrapAndTheDefaultCharset) {
    int asked = 0;
    frReportLookups().FindObject = [&](const std::string& n) -> TfrView* {
        ++asked;
        static TfrLineView taken;
        return n == "Memo1" ? &taken : nullptr;
    };
    auto memo = ReadMemo(21, OldMemo());
    EXPECT_EQ(memo->Name, "Memo2");
    EXPECT_GE(asked, 2);
    EXPECT_EQ(memo->Flags, flStretched | flWordWrap);
    EXPECT_EQ(memo->Font.CharSet, 134);
    EXPECT_EQ(memo->Font.Name, "Times New Roman");
    EXPECT_TRUE(memo->Font.Italic);
    EXPECT_EQ(memo->Memo.Count(), 3);
    EXPECT_EQ(memo->Memo[1], "");
    EXPECT_EQ(memo->FormatText, "fmt");
    EXPECT_EQ(memo->HighlightCondition, "[A]");
    EXPECT_EQ(memo->FrameWidth, 1.0);
    EXPECT_EQ(memo->LineSpacing, 2); // not stored before version 24
    EXPECT_EQ(memo->BandAlign, baNone);
}

TEST_F(OldVersions, Version22KeepsTheStoredFlags) {
    auto memo = ReadMemo(22, OldMemo());
    EXPECT_EQ(memo->Flags, flStretched);
    EXPECT_EQ(memo->Name, "Memo1");
}

TEST_F(OldVersions, Version23ReadsNamesScriptsAndVisibility) {
    Bytes b;
    b.str("Title").i32(1).i32(2).i32(3).i32(4).u16(3).u16(0).i32(1).i32(0).u16(0).i32(0x1FFFFFFF);
    b.i32(0x22E).str("").lines({"x"}).lines({"script"}).u16(0);
    b.str("Arial").i32(10).u16(0).i32(0).i32(0).u16(0);
    b.u16(2).i32(0).i32(0xFFFFFF).str("");
    auto memo = ReadMemo(23, b);
    EXPECT_EQ(memo->Name, "Title");
    EXPECT_EQ(memo->BeforePrintScript.Text(), "script\r\n");
    EXPECT_FALSE(memo->Visible);
    EXPECT_EQ(memo->Font.CharSet, 0); // stored from version 23 on
    EXPECT_EQ(memo->GapX, 2);

    // In a prepared page of version 23 the name is not stored either.
    frEngine().Version = 23;
    TfrMemoView prepared;
    prepared.PreparedMode = true;
    Bytes p;
    p.i32(1).i32(2).i32(3).i32(4).u16(3).u16(0).i32(1).i32(0).u16(0).i32(0x1FFFFFFF);
    p.lines({"7"}).str("Arial").i32(10).u16(0).i32(0).i32(0).u16(0);
    auto in = StreamOf(p);
    prepared.ReadFromStream(*in);
    EXPECT_EQ(in->Position(), in->Size());
    EXPECT_EQ(prepared.Name, "Memo1");
    EXPECT_EQ(prepared.Memo[0], "7");
}

TEST_F(OldVersions, Version24ReadsSpacingAndBandAlignFromMajorTwo) {
    Bytes b;
    b.str("M").u8(2).u8(0).i32(1).i32(2).i32(3).i32(4).u16(3).u16(0).i32(1).i32(0).u16(0);
    b.i32(0x1FFFFFFF).i32(0x22E).str("").lines({}).lines({}).u16(1);
    b.u16(4).str("T").i32(5).i32(6).u8(baRest);
    b.str("Arial").i32(10).u16(0).i32(0).i32(0).u16(134).u16(2).i32(0).i32(0xFFFFFF).str("");
    b.i32(7).i32(8);
    auto memo = ReadMemo(24, b);
    EXPECT_EQ(memo->Restrictions, 4);
    EXPECT_EQ(memo->Tag, "T");
    EXPECT_EQ(memo->GapY, 6);
    EXPECT_EQ(memo->BandAlign, baRest);
    EXPECT_EQ(memo->LineSpacing, 7);
    EXPECT_EQ(memo->CharSpacing, 8);

    // Major version 1 records have no alignment byte.
    Bytes old;
    old.str("M").u8(1).u8(0).i32(1).i32(2).i32(3).i32(4).u16(3).u16(0).i32(1).i32(0).u16(0);
    old.i32(0x1FFFFFFF).i32(0x22E).str("").lines({}).lines({}).u16(1);
    old.u16(0).str("").i32(2).i32(1);
    old.str("Arial").i32(10).u16(0).i32(0).i32(0).u16(134).u16(2).i32(0).i32(0xFFFFFF).str("");
    old.i32(2).i32(0);
    auto memo1 = ReadMemo(24, old);
    EXPECT_EQ(memo1->BandAlign, baNone);
}

TEST_F(OldVersions, BandsReadMasterOnlyFromMinorOneAndColumnsFromVersion24) {
    const auto common = [](int major, int minor) {
        Bytes b;
        b.str("B").u8(major).u8(minor).i32(0).i32(50).i32(700).i32(40).u16(48).u16(btGroupHeader);
        b.i32(1).i32(0).u16(0).i32(0x1FFFFFFF).i32(0).str("[Cond]").lines({}).lines({}).u16(1);
        b.u16(0).str("").i32(2).i32(1);
        return b;
    };
    frEngine().Version = 24;
    {
        Bytes b = common(2, 0);
        b.u8(0).str("").i32(1).i32(200).i32(20).i32(1);
        TfrBandView band;
        auto in = StreamOf(b);
        band.ReadFromStream(*in);
        EXPECT_EQ(in->Position(), in->Size());
        EXPECT_EQ(band.Master, "");
        EXPECT_EQ(band.ReadProperty("Condition").AsString(), "[Cond]");
    }
    {
        Bytes b = common(2, 1);
        b.u8(0).str("Child1").i32(3).i32(150).i32(5).i32(2).str("Data1");
        TfrBandView band;
        auto in = StreamOf(b);
        band.ReadFromStream(*in);
        EXPECT_EQ(in->Position(), in->Size());
        EXPECT_EQ(band.ChildBand, "Child1");
        EXPECT_EQ(band.Columns, 3);
        EXPECT_EQ(band.NewColumnAfter, 2);
        EXPECT_EQ(band.Master, "Data1");
    }
    {
        // Version 23: the common record alone.
        Bytes b;
        b.str("B").i32(0).i32(50).i32(700).i32(40).u16(48).u16(btMasterData);
        b.i32(1)
            .i32(0)
            .u16(0)
            .i32(0x1FFFFFFF)
            .i32(0)
            .str("frDBDataSet1")
            .lines({})
            .lines({})
            .u16(1);
        frEngine().Version = 23;
        TfrBandView band;
        auto in = StreamOf(b);
        band.ReadFromStream(*in);
        EXPECT_EQ(in->Position(), in->Size());
        EXPECT_EQ(band.FormatText, "frDBDataSet1");
        EXPECT_EQ(band.Columns, 1);
    }
}

TEST_F(OldVersions, PicturesOfMinorZeroHaveNoBlobType) {
    Bytes b;
    b.str("P").u8(1).u8(0).i32(0).i32(0).i32(10).i32(10).u16(5).u16(0).i32(1).i32(0).u16(0);
    b.i32(0x1FFFFFFF).i32(0x22E).str("").lines({}).lines({}).u16(1).u16(0).str("").i32(2).i32(1);
    b.u8(0); // no image
    const int end = static_cast<int>(b.str().size()) + 4;
    b.i32(end);
    frEngine().Version = 24;
    TfrPictureView pict;
    pict.BlobType = btICO;
    auto in = StreamOf(b);
    pict.ReadFromStream(*in);
    EXPECT_EQ(in->Position(), in->Size());
    EXPECT_EQ(pict.BlobType, btICO);
    EXPECT_TRUE(pict.Picture.Empty());
}

// ---------------------------------------------------------------------------

TEST_F(StreamRecords, AssignCopiesEverythingThroughARecord) {
    frEngine().Version = 22; // whatever the current setting, Assign uses 25
    TfrMemoView source;
    FillCommon(source);
    source.Selected = true;
    source.Font.Size = 33;
    source.PreparedMode = true;
    TfrMemoView target;
    target.PreparedMode = true;
    target.Assign(source);
    EXPECT_TRUE(source.PreparedMode); // the source is left as it was
    EXPECT_FALSE(target.PreparedMode);
    EXPECT_TRUE(target.Selected);
    EXPECT_EQ(target.Font.Size, 33);
    source.PreparedMode = false; // compare the template records
    EXPECT_EQ(Hex(RecordOf(target)), Hex(RecordOf(source)));
    EXPECT_EQ(frEngine().Version, 22);
}

TEST_F(StreamRecords, AssignLeavesTheSourceAndTheStreamVersionAlone) {
    // A band read from an old record, then prepared for building.
    TfrBandView source;
    source.FrameTyp = btMasterData;
    source.FormatText = "frDBDataSet1";
    source.Memo.SetText("template");
    source.WorkMemo.SetText("working");
    source.StreamVersionMajor = 1;
    source.StreamVersionMinor = 0;
    source.PreparedMode = true;
    const std::string prepared = RecordOf(source);
    source.StreamVersionMajor = 1;
    source.StreamVersionMinor = 0;
    // The version of a template being read elsewhere: 23 has no record versions.
    frEngine().Version = 23;

    TfrBandView target;
    target.Assign(source);
    EXPECT_EQ(frEngine().Version, 23);
    EXPECT_TRUE(source.PreparedMode);
    EXPECT_EQ(source.StreamVersionMajor, 1);
    EXPECT_EQ(source.StreamVersionMinor, 0);
    EXPECT_EQ(Hex(RecordOf(source)), Hex(prepared));
    // The copy has the template text and the band's own part.
    EXPECT_EQ(target.Memo.Text(), "template\r\n");
    EXPECT_EQ(target.FormatText, "frDBDataSet1");
    EXPECT_EQ(target.Columns, source.Columns);
    EXPECT_EQ(target.StreamVersionMajor, 2);
    EXPECT_EQ(target.StreamVersionMinor, 1);
}

namespace {

class Output : public ModelTest {};

} // namespace

TEST_F(Output, WritesTheKindAndTheWorkingTextAfterTheBeforePrintStep) {
    TfrMemoView memo;
    memo.Name = "B";
    memo.Memo.SetText("template");
    memo.Tag = "[1+1]";
    memo.PreparedMode = true;
    frReportLookups().FireBeforePrint = [](rtl::TStringList& m, TfrView& v) {
        m.SetText("6901234567892");
        EXPECT_EQ(v.Name, "B");
    };
    frEngineHooks().Calculate = [](const std::string& e) -> TVariant {
        EXPECT_EQ(e, "1+1");
        return 2;
    };
    rtl::TMemoryStream ms;
    memo.OutputToPage(ms);
    EXPECT_EQ(memo.Memo.Text(), "template\r\n");
    EXPECT_EQ(memo.Tag, "[1+1]"); // restored after output
    const std::string bytes = ms.Bytes();
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes[0], 0);
    TfrMemoView back;
    back.PreparedMode = true;
    auto in = StreamOf(bytes.substr(1));
    back.ReadFromStream(*in);
    EXPECT_EQ(back.Memo.Text(), "6901234567892\r\n");
    EXPECT_EQ(back.Tag, "2");
    EXPECT_EQ(frEngine().CurrentObject, &memo);
}

TEST_F(Output, HiddenByItsScriptWritesNothing) {
    TfrLineView line;
    line.BeforePrintScript.SetText("Visible := False");
    int runs = 0;
    frEngineHooks().RunScript = [&](TfrView& v, const rtl::TStringList&) {
        ++runs;
        v.Visible = false;
    };
    rtl::TMemoryStream ms;
    line.OutputToPage(ms);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(ms.Size(), 0);
}

TEST_F(Output, AlignsToTheBandBeingOutput) {
    struct Band : TfrBandRuntime {
        int BandType() const override { return btCrossData; }
        int Left() const override { return 0; }
        int Top() const override { return 300; }
        int Width() const override { return 77; }
        int Height() const override { return 50; }
        bool Visible() const override { return true; }
        void SetLeft(int) override {}
        void SetTop(int) override {}
        void SetWidth(int) override {}
        void SetHeight(int) override {}
        void SetVisible(bool) override {}
        void SetChildBand(const std::string&) override {}
        bool PageBreak() const override { return false; }
        void SetPageBreak(bool) override {}
        void SetGroupCondition(const std::string&) override {}
        void SetDataSource(const std::string&) override {}
        bool HasDataSet() const override { return false; }
        bool DataSetEof() override { return true; }
        void DataSetFirst() override {}
        void DataSetNext() override {}
        void DataSetPrior() override {}
    } band;
    frEngine().OutputMode = true;
    frEngine().CurrentBand = &band;
    TfrLineView line;
    line.SetBounds(5, 0, 10, 20);
    rtl::TMemoryStream ms;
    line.BandAlign = baBottom;
    line.OutputToPage(ms);
    EXPECT_EQ(line.Top, 330);
    line.BandAlign = baTop;
    line.OutputToPage(ms);
    EXPECT_EQ(line.Top, 300);
    line.BandAlign = baWidth;
    line.OutputToPage(ms);
    EXPECT_EQ(line.Width, 77);
}

TEST_F(Output, RegisteredKindsCarryTheirClassName) {
    struct TfrTestView : public TfrLineView {
        std::string ClassName() const override { return "TfrTestView"; }
    } view;
    view.TypeCode = gtAddIn;
    rtl::TMemoryStream ms;
    view.OutputToPage(ms);
    const std::string bytes = ms.Bytes();
    EXPECT_EQ(bytes.substr(0, 15), Bytes().u8(10).str("TfrTestView").str());
}
