// Built pages: their streams, painting, hit-testing, editing, and the
// prepared-report file in each of its layouts, from hand-made fixtures.

#include "report/engine/prepared_pages.h"

#include "platform/gdi/recording_canvas.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/band_view.h"
#include "report/model/gauge_view.h"
#include "report/model/line_view.h"
#include "report/model/picture_view.h"
#include "report/model/template_test_support.h"

#include <QDir>
#include <QFile>
#include <filesystem>
#include <gmock/gmock.h>

using namespace model_test;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

constexpr int kCustomPaper = 256;

// A line object's prepared record: kind, the common record without format,
// script and visibility, and no body of its own.
Bytes LineRecord(const std::string& name, int left, int top, int width, int height,
                 const std::string& tag = "") {
    Bytes b;
    b.u8(gtLine).str(name).u8(2).u8(0).i32(left).i32(top).i32(width).i32(height);
    b.u16(flStretched).u16(frftLeft).i32(1).i32(0).u16(0).i32(0xFFFFFF).lines({});
    b.u16(0).str(tag).i32(2).i32(1).u8(0);
    return b;
}

// The gauge kind (code 10) with its class name and its own field.
Bytes GaugeRecord(const std::string& name, int level) {
    Bytes b;
    b.u8(gtAddIn).str("TfrTestGaugeView").str(name).u8(2).u8(0).i32(5).i32(6).i32(7).i32(8);
    b.u16(flStretched).u16(0).i32(1).i32(0).u16(0).i32(0x1FFFFFFF).lines({"text"});
    b.u16(0).str("").i32(2).i32(1).u8(0).i32(level);
    return b;
}

struct BlockFields {
    int paper = kCustomPaper;
    int width = 600;
    int height = 400;
    int orientation = 0;
    int bin = -1;
    int useMargins = 1;
    int margins[4] = {10, 20, 30, 40};
};

// A page block of the current layout at the end of `file`; without bin and
// margins for files that have no version byte.
void AddBlock(Bytes& file, const std::string& stream, const BlockFields& f = {},
              bool binAndMargins = true) {
    const long long head = binAndMargins ? 36 : 16;
    const long long end =
        static_cast<long long>(file.str().size()) + head + static_cast<long long>(stream.size());
    file.i32(end).u16(f.paper).i32(f.width).i32(f.height).u8(f.orientation);
    if (binAndMargins) file.i32(f.bin);
    file.u8(f.useMargins);
    if (binAndMargins) file.i32(f.margins[0]).i32(f.margins[1]).i32(f.margins[2]).i32(f.margins[3]);
    file.raw(stream);
}

std::string VirtualPrinterName() {
    return Gbk("虚拟打印机");
}

// The smallest enhanced metafile header the picture layer recognises.
std::string EmfBytes() {
    Bytes b;
    b.i32(1).i32(88).i32(0).i32(0).i32(0).i32(0); // type, size, bounds
    b.i32(0).i32(0).i32(2540).i32(2540);          // frame: 1 inch
    b.i32(0x464D4520);                            // " EMF"
    b.i32(0x10000).i32(88).i32(1).u16(1).u16(0);
    while (b.str().size() < 88) b.u8(0);
    return b;
}

class TestCompressor : public TfrCompressor {
public:
    TestCompressor() { Active = true; }
    // "Z" and the bytes reversed: anything that is not the plain stream.
    void PackStream(rtl::TStream& source, rtl::TStream& destination) override {
        if (failPacking) throw rtl::EWriteError("packing failed");
        std::string bytes = source.ReadBytes(source.Remaining());
        destination.WriteBytes("Z" + std::string(bytes.rbegin(), bytes.rend()));
    }
    void UnpackStream(rtl::TStream& source, rtl::TStream& destination) override {
        std::string bytes = source.ReadBytes(source.Remaining());
        if (bytes.empty() || bytes[0] != 'Z') return;
        destination.WriteBytes(std::string(bytes.rbegin(), bytes.rend() - 1));
    }
    bool failPacking = false;
};

class PreparedPages : public TemplateTest {
protected:
    void SetUp() override {
        TemplateTest::SetUp();
        RegisterObject(TfrViewClass::Of<TfrTestGaugeView>(), QImage(), "gauge");
        std::filesystem::create_directories(TEST_OUTPUT_DIR);
    }

    void Read(TfrReport& r, const std::string& bytes) {
        auto in = StreamOf(bytes);
        r.PreparedPages->ReadPreparedFile(*in);
    }
    static std::string Write(TfrReport& r) {
        rtl::TMemoryStream out;
        r.PreparedPages->WritePreparedFile(out);
        return out.Bytes();
    }
    static std::string StreamOfPage(TfrReport& r, int index) {
        return r.PreparedPages->PageAt(index).Stream->Bytes();
    }
    // A page on custom paper of 2540 x 2540 tenths (916 units square on the
    // virtual printer), appended to the report's prepared pages.
    static PreparedPageInfo& AddPage(TfrReport& r, bool useMargins = true) {
        TfrPage paper(kCustomPaper, 2540, 2540, -1, 0);
        paper.UseMargins = useMargins;
        paper.Margins = gdi::TRect{36, 18, 72, 54};
        r.PreparedPages->AppendPage(paper);
        return r.PreparedPages->PageAt(r.PreparedPages->Count() - 1);
    }
    static TfrView& AddLive(PreparedPageInfo& page, int kind, const std::string& name, int left,
                            int top, int width, int height) {
        TfrView& v = page.Page->AddObject(CreateObject(kind, ""));
        v.Name = name;
        v.SetBounds(left, top, width, height);
        return v;
    }
    static std::string Path(const char* name) { return std::string(TEST_OUTPUT_DIR) + "/" + name; }

    TfrReport report;
};

} // namespace

// ---------------------------------------------------------------------------
// The file layouts.

TEST_F(PreparedPages, CurrentLayoutReadsEveryFieldAndSavesTheSameBytes) {
    const std::string page1 = Bytes().u8(25).raw(LineRecord("Line1", 1, 2, 300, 0, "t"));
    const std::string page2 = Bytes().u8(25).raw(GaugeRecord("G", 77));
    Bytes file;
    file.u8(25).u8(0).str(VirtualPrinterName()).i32(2);
    AddBlock(file, page1);
    BlockFields landscape;
    landscape.paper = 9;
    landscape.width = 2100;
    landscape.height = 2970;
    landscape.orientation = 1;
    landscape.bin = 7;
    landscape.useMargins = 0;
    AddBlock(file, page2, landscape);
    file.u8(77); // generator version

    Read(report, file);
    ASSERT_EQ(report.PreparedPages->Count(), 2);
    const PreparedPageInfo& first = report.PreparedPages->PageAt(0);
    EXPECT_EQ(first.PaperSize, kCustomPaper);
    EXPECT_EQ(first.PaperWidth, 600);
    EXPECT_EQ(first.PaperHeight, 400);
    EXPECT_EQ(first.Bin, -1);
    EXPECT_TRUE(first.UseMargins);
    EXPECT_EQ(first.Margins, (gdi::TRect{10, 20, 30, 40}));
    EXPECT_EQ(first.PageInfo.PageWidth, PaperToUnits(600));
    EXPECT_EQ(first.Page, nullptr); // nothing live after loading
    const PreparedPageInfo& second = report.PreparedPages->PageAt(1);
    EXPECT_EQ(second.PaperSize, 9);
    EXPECT_EQ(second.Orientation, 1);
    EXPECT_EQ(second.Bin, 7);
    EXPECT_FALSE(second.UseMargins);
    EXPECT_EQ(StreamOfPage(report, 0), page1);
    EXPECT_EQ(StreamOfPage(report, 1), page2);
    EXPECT_EQ(report.GeneratorVersion, 77);
    EXPECT_EQ(report.StoredPrinterName, VirtualPrinterName());

    EXPECT_EQ(Hex(Write(report)), Hex(file));
}

TEST_F(PreparedPages, FilesWithoutAVersionByteHaveNoBinsOrMargins) {
    const std::string page = Bytes().u8(25).raw(LineRecord("L", 0, 0, 10, 10));
    for (int packedFlag : {0, 1}) {
        SCOPED_TRACE(packedFlag);
        if (packedFlag) SetPageCompressor(std::make_unique<TestCompressor>());
        const std::string stored =
            packedFlag ? "Z" + std::string(page.rbegin(), page.rend()) : page;
        // The first byte is already the packed flag.
        Bytes file;
        file.u8(packedFlag).str("no such printer").i32(1);
        AddBlock(file, stored, BlockFields{}, false);
        file.u8(88);
        TfrReport r;
        Read(r, file);
        ASSERT_EQ(r.PreparedPages->Count(), 1);
        EXPECT_EQ(r.PreparedPages->PageAt(0).Bin, -1);
        EXPECT_EQ(r.PreparedPages->PageAt(0).Margins, (gdi::TRect{0, 0, 0, 0}));
        EXPECT_EQ(StreamOfPage(r, 0), page);
        EXPECT_EQ(r.StoredPrinterName, "no such printer");

        // Saved in the current layout, with the printer selected now.
        Bytes expected;
        expected.u8(25).u8(packedFlag).str(VirtualPrinterName()).i32(1);
        BlockFields f;
        for (int& m : f.margins) m = 0;
        AddBlock(expected, stored, f);
        expected.u8(88);
        EXPECT_EQ(Hex(Write(r)), Hex(expected));
    }
}

TEST_F(PreparedPages, OldPicturePagesBecomeOnePictureObjectEach) {
    Bytes file;
    file.raw("Office printer\r\nsecond line\r").u8(0).i32(1);
    const long long end = static_cast<long long>(file.str().size()) + 16 + 88;
    file.i32(end).u16(kCustomPaper).i32(2540).i32(1270).u8(0).u8(1).raw(EmfBytes());

    Read(report, file);
    EXPECT_EQ(report.StoredPrinterName, "Office printer");
    ASSERT_EQ(report.PreparedPages->Count(), 1);
    PreparedPageInfo& page = report.PreparedPages->PageAt(0);
    EXPECT_EQ(page.Bin, -1);
    EXPECT_TRUE(page.UseMargins);

    report.PreparedPages->MaterializePage(0);
    ASSERT_EQ(page.Page->ObjectCount(), 1);
    auto* picture = dynamic_cast<TfrPictureView*>(page.Page->ObjectAt(0));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Picture.Kind(), TfrPictureKind::Metafile);
    EXPECT_EQ(picture->Picture.Bytes(), EmfBytes());
    EXPECT_EQ(picture->Width, page.PageInfo.PageWidth);
    EXPECT_EQ(picture->Height, page.PageInfo.PageHeight);
    EXPECT_EQ(picture->Left, 0);

    // Saved in the current layout; that file reads back to the same bytes.
    const std::string saved = Write(report);
    TfrReport again;
    Read(again, saved);
    EXPECT_EQ(Hex(Write(again)), Hex(saved));
}

TEST_F(PreparedPages, AnEmptyListIsTheHeadTheCountAndTheGeneratorByte) {
    Read(report, Bytes().u8(25).u8(0).str("x").i32(0).u8(88));
    EXPECT_EQ(report.PreparedPages->Count(), 0);
    EXPECT_EQ(Hex(Write(report)),
              Hex(Bytes().u8(25).u8(0).str(VirtualPrinterName()).i32(0).u8(88)));
}

TEST_F(PreparedPages, PackedFilesRoundTripThroughAnActiveCompressor) {
    auto& page = AddPage(report);
    report.PreparedPages->MaterializePage(0);
    AddLive(page, gtLine, "L", 0, 0, 100, 1);
    report.PreparedPages->StorePageObjects(0);
    const std::string plain = StreamOfPage(report, 0);

    SetPageCompressor(std::make_unique<TestCompressor>());
    const std::string packed = Write(report);
    EXPECT_EQ(packed[1], 1);
    EXPECT_EQ(packed.find(plain), std::string::npos);
    TfrReport back;
    Read(back, packed);
    EXPECT_EQ(StreamOfPage(back, 0), plain);
    EXPECT_EQ(Write(back), packed);
}

// ---------------------------------------------------------------------------
// Damaged and hostile files.

TEST_F(PreparedPages, DamagedFilesAreRefusedAndTheListStaysAsItWas) {
    const std::string good = Bytes().u8(25).raw(LineRecord("L", 0, 0, 10, 10));
    const auto withPage = [](const std::string& stream, int count = 1, bool generator = true) {
        Bytes f;
        f.u8(25).u8(0).str("p").i32(count);
        AddBlock(f, stream);
        if (generator) f.u8(88);
        return f.str();
    };
    const std::string damaged = LoadResourceString(frsPreparedFileDamaged);
    const std::string head = Bytes().u8(25).u8(0).str("p");
    std::string endBeforeBlock = withPage(good);
    endBeforeBlock[head.size() + 4] = 3; // the first block ends before it starts
    std::string endPastFile = withPage(good);
    endPastFile[head.size() + 4 + 1] = 0x7F;
    Bytes pictureOut; // a picture record whose image end lies past its page
    pictureOut.u8(25).u8(gtPicture).str("P").u8(2).u8(0).i32(0).i32(0).i32(1).i32(1);
    pictureOut.u16(5).u16(0).i32(1).i32(0).u16(0).i32(0).lines({}).u16(0).str("").i32(2).i32(1);
    pictureOut.u8(0).u8(1).u8(0).i32(5000);

    Bytes negativePaper; // the printer layer compares sizes by subtracting them
    negativePaper.u8(25).u8(0).str("p").i32(1);
    BlockFields negative;
    negative.width = -2147483248;
    AddBlock(negativePaper, good, negative);
    negativePaper.u8(88);
    Bytes packedFile; // packed, and the built-in compressor cannot unpack
    packedFile.u8(25).u8(1).str("p").i32(1);
    AddBlock(packedFile, "Zpacked");
    packedFile.u8(88);

    struct Case {
        const char* what;
        std::string bytes;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"empty file", "", damaged},
        {"head only", head, damaged},
        {"negative page count", Bytes().raw(head).i32(-1).u8(88), damaged},
        {"page count beyond the file", Bytes().raw(head).i32(0x7FFFFFFF).u8(88), damaged},
        {"block ends before it starts", endBeforeBlock, damaged},
        {"block ends past the file", endPastFile, damaged},
        {"page with an empty stream", withPage(""), damaged},
        {"page stream of version 30", withPage(Bytes().u8(30)), damaged},
        {"page stream of version 20", withPage(Bytes().u8(20).raw(good.substr(1))), damaged},
        {"object kind 7", withPage(Bytes().u8(25).u8(7)), damaged},
        {"truncated record", withPage(good.substr(0, good.size() - 3)), damaged},
        {"picture data past its page", withPage(pictureOut), damaged},
        {"no generator byte", withPage(good, 1, false), damaged},
        {"negative paper width", negativePaper, damaged},
        {"unregistered class", withPage(Bytes().u8(25).u8(gtAddIn).str("TfrNoSuchView").str("X")),
         NonPluggedComponentsMessage("TfrNoSuchView\r")},
        {"packed pages", packedFile, LoadResourceString(frsPreparedFileCompressed)},
        {"old layout without the text's end", "Printer name with no end", damaged},
        {"old layout with no picture",
         Bytes().raw("Printer").u8(0).i32(1).i32(32).u16(9).i32(0).i32(0).u8(0).u8(0).raw("junk"),
         LoadResourceString(frsPreparedPictureUnreadable)},
    };

    AddPage(report);
    const std::string before = Write(report);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            Read(report, c.bytes);
            ADD_FAILURE() << "read without an error";
        } catch (const EPreparedFileError& e) {
            EXPECT_THAT(e.what(), StartsWith(c.message));
        }
        EXPECT_EQ(Write(report), before);
    }
}

// ---------------------------------------------------------------------------
// Streams of built pages.

TEST_F(PreparedPages, PagesCarryTheOutputTextAndRoundTripThroughAFile) {
    TfrPage templatePage(kCustomPaper, 2540, 2540, -1, 0);
    int begun = -1;
    report.OnBeginPage = [&](int pgNo) { begun = pgNo; };
    frEngine().PageNo = 4;
    report.PreparedPages->AppendPage(templatePage);
    EXPECT_EQ(begun, 4);
    EXPECT_EQ(StreamOfPage(report, 0), std::string(1, '\x19'));

    // The build writes each object in prepared mode as the before-print step
    // left its working text.
    TfrMemoView memo;
    memo.Name = "B";
    memo.Memo.SetText("[NUM]");
    memo.SetBounds(10, 10, 100, 20);
    memo.PreparedMode = true;
    report.OnBeforePrint = [](rtl::TStringList& text, TfrView&) { text.SetText("6901234567892"); };
    SetCurReport(&report);
    memo.OutputToPage(*report.PreparedPages->PageAt(0).Stream);
    TfrTestGaugeView gauge;
    gauge.Level = 42;
    gauge.PreparedMode = true;
    gauge.OutputToPage(*report.PreparedPages->PageAt(0).Stream);

    const std::string path = Path("labels.frp");
    report.SavePreparedFile(path);
    TfrReport loaded;
    loaded.InfoName = "template name";
    loaded.InfoCreated = 1;
    loaded.RebuildAllowed = true;
    loaded.LoadPreparedFile(path);
    EXPECT_EQ(loaded.InfoName, "");
    EXPECT_EQ(loaded.InfoCreated, kClock);
    EXPECT_FALSE(loaded.RebuildAllowed);
    ASSERT_EQ(loaded.PreparedPages->Count(), 1);

    loaded.PreparedPages->MaterializePage(0);
    const TfrPage& live = *loaded.PreparedPages->PageAt(0).Page;
    ASSERT_EQ(live.ObjectCount(), 2);
    EXPECT_EQ(live.ObjectAt(0)->Memo.Text(), "6901234567892\r\n");
    EXPECT_EQ(live.ObjectAt(0)->Name, "B");
    EXPECT_FALSE(live.ObjectAt(0)->PreparedMode);
    EXPECT_EQ(dynamic_cast<TfrTestGaugeView&>(*live.ObjectAt(1)).Level, 42);
    EXPECT_EQ(frEngine().CurrentPage, static_cast<const TfrViewPage*>(&live));

    // Saving right after loading writes the same bytes.
    const std::string again = Path("labels-again.frp");
    loaded.SavePreparedFile(again);
    rtl::TMemoryStream a, b;
    a.LoadFromFile(path);
    b.LoadFromFile(again);
    EXPECT_EQ(Hex(a.Bytes()), Hex(b.Bytes()));
}

TEST_F(PreparedPages, StoringWritesTheLiveObjectsTextsInPreparedMode) {
    auto& page = AddPage(report);
    report.PreparedPages->MaterializePage(0);
    TfrView& memo = AddLive(page, gtMemo, "M", 0, 0, 50, 10);
    memo.Memo.SetText("edited");
    report.PreparedPages->StorePageObjects(0);
    EXPECT_TRUE(memo.PreparedMode);

    report.PreparedPages->MaterializePage(0);
    ASSERT_EQ(page.Page->ObjectCount(), 1);
    EXPECT_EQ(page.Page->ObjectAt(0)->Memo.Text(), "edited\r\n");
}

TEST_F(PreparedPages, SavingWritesBesideTheTargetAndAFailureKeepsTheOldFile) {
    AddPage(report);
    const std::string path = Path("kept.frp");
    report.SavePreparedFile(path);
    rtl::TMemoryStream first;
    first.LoadFromFile(path);

    auto compressor = std::make_unique<TestCompressor>();
    compressor->failPacking = true;
    SetPageCompressor(std::move(compressor));
    EXPECT_THROW(report.SavePreparedFile(path), rtl::EWriteError);
    rtl::TMemoryStream after;
    after.LoadFromFile(path);
    EXPECT_EQ(after.Bytes(), first.Bytes());
    const QDir dir(QString::fromUtf8(TEST_OUTPUT_DIR));
    EXPECT_TRUE(dir.entryList({"kept.frp.*"}, QDir::Files).isEmpty()); // no temporary left

    EXPECT_THROW(report.SavePreparedFile(TEST_OUTPUT_DIR), rtl::EStreamError); // a folder
    TfrReport other;
    EXPECT_THROW(other.LoadPreparedFile(Path("missing.frp")), rtl::EFOpenError);
}

// ---------------------------------------------------------------------------
// Painting.

TEST_F(PreparedPages, DrawingScalesTheObjectsIntoTheTargetAndSkipsWhatIsOffCanvas) {
    auto& page = AddPage(report);
    ASSERT_EQ(page.PageInfo.PageWidth, 916);
    report.PreparedPages->MaterializePage(0);
    AddLive(page, gtLine, "Top", 100, 200, 400, 3);
    TfrView& fill = AddLive(page, gtMemo, "Box", 0, 0, 200, 100);
    fill.FillColor = gdi::clRed;
    fill.FrameTyp = frftNone;
    AddLive(page, gtLine, "Far", 800, 800, 100, 1);
    report.PreparedPages->StorePageObjects(0);
    page.Page.reset();
    page.Visible = true;

    gdi::RecordingCanvas canvas;
    canvas.SelectClipRect(gdi::TRect{0, 0, 300, 300});
    report.PreparedPages->DrawPage(0, canvas, gdi::TRect{10, 20, 468, 478}); // half size
    EXPECT_TRUE(frEngine().OutputMode);
    EXPECT_THAT(canvas.Dump(), HasSubstr("LineTo(260,120) from (60,120)"));
    EXPECT_THAT(canvas.Dump(), HasSubstr("FillRect(10,20,110,70)"));
    EXPECT_THAT(canvas.Dump(), ::testing::Not(HasSubstr("(410,420)"))); // Far: off the clip
    ASSERT_NE(page.Page, nullptr);
    EXPECT_DOUBLE_EQ(page.Page->ObjectAt(0)->ZoomX, 0.5);
    EXPECT_EQ(page.Page->ObjectAt(0)->ShiftY, 20);
    EXPECT_FALSE(page.Page->ObjectAt(0)->PrinterOutput);

    // A page out of view only lets its live objects go.
    page.Visible = false;
    canvas.Clear();
    report.PreparedPages->DrawPage(0, canvas, gdi::TRect{});
    EXPECT_EQ(page.Page, nullptr);
    EXPECT_TRUE(canvas.Calls().empty());
}

TEST_F(PreparedPages, PagesWithoutPaperOrWithHostileGeometryPaintNothingOfIt) {
    TfrPage noPaper(kCustomPaper, 0, 0, -1, 0);
    noPaper.UseMargins = false; // hit-testing then scales by the paper
    report.PreparedPages->AppendPage(noPaper);
    PreparedPageInfo& empty = report.PreparedPages->PageAt(0);
    ASSERT_EQ(empty.PageInfo.PageWidth, 0);
    empty.Stream->WriteBytes(LineRecord("L", 0, 0, 10, 10).str());
    empty.Visible = true;
    gdi::RecordingCanvas canvas;
    report.PreparedPages->DrawPage(0, canvas, gdi::TRect{0, 0, 100, 100});
    std::string link;
    int cursor = crDefault;
    EXPECT_FALSE(report.PreparedPages->HitTest(0, {0, 0}, true, link, cursor));
    EXPECT_TRUE(canvas.Calls().empty());

    auto& page = AddPage(report);
    report.PreparedPages->MaterializePage(1);
    // A band has only a designer look; these columns would never end.
    auto& band = static_cast<TfrBandView&>(AddLive(page, gtBand, "Band", 0, 0, 100, 20));
    band.Columns = 2000000000;
    report.PreparedPages->StorePageObjects(1);
    page.Page.reset();
    page.Stream->WriteBytes(LineRecord("Huge", 2000000000, 0, 2000000000, 0).str());
    page.Stream->WriteBytes(LineRecord("Fine", 0, 0, 10, 0).str());
    page.Visible = true;
    report.PreparedPages->DrawPage(1, canvas, gdi::TRect{0, 0, 916, 916});
    ASSERT_EQ(canvas.Calls().size(), 1u);
    EXPECT_THAT(canvas.Calls()[0], StartsWith("LineTo(10,0)"));

    // Aligned to a right margin no page can have: its limit is out of reach.
    TfrPage farMargins(kCustomPaper, 2540, 2540, -1, 0);
    farMargins.Margins = gdi::TRect{0, 0, -2147483000, 0};
    report.PreparedPages->AppendPage(farMargins);
    PreparedPageInfo& far = report.PreparedPages->PageAt(2);
    report.PreparedPages->MaterializePage(2);
    TfrView& aligned = AddLive(far, gtMemo, "Right", 0, 0, 10, 10);
    aligned.BandAlign = baRight;
    aligned.FillColor = gdi::clRed;
    report.PreparedPages->StorePageObjects(2);
    far.Visible = true;
    canvas.Clear();
    report.PreparedPages->DrawPage(2, canvas, gdi::TRect{0, 0, 916, 916});
    EXPECT_TRUE(canvas.Calls().empty());

    // A picture placed by its own size, when that size is a metafile frame
    // of thousands of kilometres.
    Bytes frame;
    frame.i32(1).i32(88).i32(0).i32(0).i32(0).i32(0).i32(0).i32(0).i32(0x7FFFFFFF).i32(2540);
    std::string emf = frame.str() + EmfBytes().substr(frame.str().size());
    report.PreparedPages->AppendPage(TfrPage(kCustomPaper, 2540, 2540, -1, 0));
    PreparedPageInfo& pictured = report.PreparedPages->PageAt(3);
    report.PreparedPages->MaterializePage(3);
    auto& picture = static_cast<TfrPictureView&>(AddLive(pictured, gtPicture, "P", 0, 0, 10, 10));
    picture.Picture.LoadFromBytes(TfrPictureKind::Metafile, emf);
    ASSERT_GT(picture.Picture.Width(), 80000000);
    picture.Flags = 0; // not stretched: its own size counts
    picture.FrameTyp = frftLeft | frftTop;
    pictured.Visible = true;
    canvas.Clear();
    report.PreparedPages->DrawPage(3, canvas, gdi::TRect{0, 0, 916 * 30, 916 * 30});
    EXPECT_TRUE(canvas.Calls().empty());
}

// ---------------------------------------------------------------------------
// Hit-testing.

TEST_F(PreparedPages, HitTestFindsTheTopmostObjectAndFollowsLinks) {
    auto& page = AddPage(report);
    report.PreparedPages->MaterializePage(0);
    AddLive(page, gtMemo, "Plain", 0, 0, 300, 300);
    AddLive(page, gtMemo, "URL1", 10, 10, 50, 20).Tag = "@3";
    AddLive(page, gtMemo, "url2", 100, 10, 50, 20).Tag = "https://example.com/label";
    report.PreparedPages->StorePageObjects(0);
    page.Page.reset();

    std::vector<std::string> opened;
    frGuiHooks().ShellOpen = [&](const std::string& target) { opened.push_back(target); };
    std::string link = "stale";
    int cursor = crDefault;

    // The page jump is handed back; nothing is opened.
    EXPECT_TRUE(report.PreparedPages->HitTest(0, {20, 15}, true, link, cursor));
    EXPECT_EQ(link, "@3");
    EXPECT_TRUE(opened.empty());
    // A web address goes to the shell.
    EXPECT_TRUE(report.PreparedPages->HitTest(0, {120, 15}, true, link, cursor));
    EXPECT_EQ(link, "");
    EXPECT_EQ(opened, std::vector<std::string>{"https://example.com/label"});
    // Moving over a link shows the hand and the target.
    EXPECT_TRUE(report.PreparedPages->HitTest(0, {120, 15}, false, link, cursor));
    EXPECT_EQ(cursor, crHandPoint);
    EXPECT_EQ(link, "https://example.com/label");
    // The right and bottom edges are outside; a plain object without
    // handlers answers nothing.
    cursor = crDefault;
    EXPECT_FALSE(report.PreparedPages->HitTest(0, {60, 15}, false, link, cursor));
    EXPECT_EQ(cursor, crDefault);
    EXPECT_FALSE(report.PreparedPages->HitTest(0, {400, 400}, true, link, cursor));

    // The report's handlers see the object under the point.
    std::string clicked, over;
    report.OnObjectClick = [&](TfrView* v) { clicked = v->Name; };
    report.OnMouseOverObject = [&](TfrView* v, int& c) {
        over = v->Name;
        c = 7;
    };
    EXPECT_TRUE(report.PreparedPages->HitTest(0, {200, 200}, true, link, cursor));
    EXPECT_TRUE(report.PreparedPages->HitTest(0, {20, 15}, false, link, cursor));
    EXPECT_EQ(clicked, "Plain");
    EXPECT_EQ(over, "URL1");
    EXPECT_EQ(cursor, crHandPoint); // a link's hand wins
}

TEST_F(PreparedPages, HitTestInsideMarginsScalesOntoThePrintableArea) {
    auto& page = AddPage(report, false);
    report.PreparedPages->MaterializePage(0);
    AddLive(page, gtMemo, "M", 0, 0, 100, 100);
    const PrinterPageInfo& info = page.PageInfo;
    const double kx = (info.PrintableWidth - 36.0 - 72.0) / info.PageWidth;
    const int left = 36 + info.OffsetX;
    const int right = static_cast<int>(std::nearbyint(left + kx * 100));
    std::string clicked, link;
    int cursor = crDefault;
    report.OnObjectClick = [&](TfrView* v) { clicked = v->Name; };
    const int top = 18 + info.OffsetY;
    EXPECT_FALSE(report.PreparedPages->HitTest(0, {left - 1, top}, true, link, cursor));
    EXPECT_TRUE(report.PreparedPages->HitTest(0, {left, top}, true, link, cursor));
    EXPECT_TRUE(report.PreparedPages->HitTest(0, {right - 1, top}, true, link, cursor));
    EXPECT_FALSE(report.PreparedPages->HitTest(0, {right, top}, true, link, cursor));
}

// ---------------------------------------------------------------------------
// Export, editing, and the list.

TEST_F(PreparedPages, ExportHandsEveryObjectToTheFilterAndFreesThem) {
    auto& page = AddPage(report);
    report.PreparedPages->MaterializePage(0);
    AddLive(page, gtMemo, "A", 1, 2, 3, 4);
    AddLive(page, gtLine, "B", 5, 6, 7, 0);
    report.PreparedPages->StorePageObjects(0);
    std::vector<std::string> exported;
    frEngineHooks().ExportToFilter = [&](TfrView& v, int left, int top) {
        exported.push_back(v.Name + "@" + std::to_string(left) + "," + std::to_string(top));
    };
    report.PreparedPages->ExportPage(0);
    EXPECT_EQ(exported, (std::vector<std::string>{"A@1,2", "B@5,6"}));
    EXPECT_EQ(page.Page, nullptr);
}

TEST_F(PreparedPages, EditingAPageShowsItAloneAndRestoresTheTemplate) {
    report.Pages->Add();
    report.Pages->Add();
    report.Pages->Items(1).AddObject(CreateObject(gtMemo, "")).Name = "TemplateMemo";
    auto& page = AddPage(report);
    report.PreparedPages->MaterializePage(0);
    AddLive(page, gtMemo, "Label", 0, 0, 10, 10).Memo.SetText("before");
    report.PreparedPages->StorePageObjects(0);
    page.Page.reset();

    // Without a designer nothing happens.
    report.EditPreparedPage(0);
    EXPECT_EQ(report.Pages->Count(), 2);

    for (bool save : {false, true}) {
        SCOPED_TRACE(save);
        int asked = 0;
        DesignerEditorHooks().EditPreparedPage = [&](TfrReport& r) {
            EXPECT_EQ(r.Pages->Count(), 1);
            r.Pages->Items(0).ObjectAt(0)->Memo.SetText("after");
            return true;
        };
        frGuiHooks().AskYesNo = [&](const std::string& text, const std::string& caption) {
            ++asked;
            EXPECT_EQ(text, Gbk("保存变动?"));
            EXPECT_EQ(caption, Gbk("确认"));
            return save;
        };
        report.EditPreparedPage(0);
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(report.Pages->Count(), 2);
        EXPECT_NE(report.FindObject("TemplateMemo"), nullptr);
        ASSERT_NE(page.Page, nullptr); // the live page stays with its prepared page
        report.PreparedPages->MaterializePage(0);
        EXPECT_EQ(page.Page->ObjectAt(0)->Memo.Text(), save ? "after\r\n" : "before\r\n");
    }

    // A designer that fails still gives the template back.
    DesignerEditorHooks().EditPreparedPage = [](TfrReport&) -> bool {
        throw std::runtime_error("designer failed");
    };
    EXPECT_THROW(report.EditPreparedPage(0), std::runtime_error);
    EXPECT_EQ(report.Pages->Count(), 2);
}

TEST_F(PreparedPages, InsertCopiesThePaperAndDeleteAndClearFreeEverything) {
    TfrPage a(kCustomPaper, 1000, 500, 3, 1);
    a.UseMargins = false;
    a.Margins = gdi::TRect{1, 2, 3, 4};
    TfrPage b(kCustomPaper, 700, 700, -1, 0);
    report.PreparedPages->InsertPage(0, a);
    report.PreparedPages->InsertPage(0, b);
    report.PreparedPages->InsertPage(99, b);
    ASSERT_EQ(report.PreparedPages->Count(), 3);
    const PreparedPageInfo& copied = report.PreparedPages->PageAt(1);
    EXPECT_EQ(copied.PaperWidth, a.PaperWidth);
    EXPECT_EQ(copied.Orientation, a.Orientation);
    EXPECT_EQ(copied.Bin, a.PaperBin);
    EXPECT_FALSE(copied.UseMargins);
    EXPECT_EQ(copied.Margins, a.Margins);
    EXPECT_EQ(copied.PageInfo, a.PrinterInfo);
    EXPECT_FALSE(copied.Visible);

    report.PreparedPages->MaterializePage(1);
    report.PreparedPages->DeletePage(1);
    EXPECT_EQ(frEngine().CurrentPage, nullptr);
    EXPECT_EQ(report.PreparedPages->PageAt(1).PaperWidth, 700);
    report.PreparedPages->DeletePage(5); // outside: nothing
    report.PreparedPages->Clear();
    EXPECT_EQ(report.PreparedPages->Count(), 0);
    EXPECT_THROW(report.PreparedPages->PageAt(0), std::out_of_range);
}
