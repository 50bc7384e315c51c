// Template streams: the bytes we write, what every readable version reads,
// and the message and outcome of every kind of bad template.

#include "template_test_support.h"

#include "gauge_view.h"

#include "platform/rtl/sysutils.h"
#include "report/model/band_view.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"
#include "report/model/sub_report_view.h"

#include <QBuffer>
#include <QImage>
#include <cstring>
#include <filesystem>

using namespace model_test;

namespace {

std::string Double(double d) {
    std::string s(8, '\0');
    std::memcpy(s.data(), &d, 8);
    return s;
}

// The information block as written with empty texts at the test clock.
std::string EmptyInfo() {
    Bytes b;
    for (int i = 0; i < 8; ++i) b.u16(0);
    return b.u8(88).u8(0).raw(Double(kClock)).raw(Double(kClock));
}

std::string SmallBitmap() {
    QImage img(3, 2, QImage::Format_RGB32);
    img.fill(Qt::red);
    QByteArray data;
    QBuffer buf(&data);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "BMP");
    return data.toStdString();
}

// A memo record body at version 22: no name, zero-terminated strings.
Bytes& Memo22(Bytes& b, int left, const std::string& text) {
    b.i32(left).i32(10).i32(100).i32(20);                 // geometry
    b.u16(1).u16(0).i32(1).i32(0).u16(0).i32(0x1FFFFFFF); // flags, frame, fill
    b.i32(0).str0("");                                    // format
    b.lines0({text});
    b.str0("Arial").i32(10).u16(2).i32(0).i32(0).u16(0); // font, alignment, charset
    return b.u16(0).i32(0).i32(0).str0("");              // highlight
}

// A version-23 page record: no paper source, no dialog fields.
Bytes& Page23(Bytes& b) {
    b.u8(255).i32(9).i32(2100).i32(2970).i32(36).i32(36).i32(36).i32(36).u8(0);
    return b.u16(0).u16(1).i32(1).i32(0);
}

// Keeps a fixture as a file: seeds for the reader's fuzzer.
void Keep(const std::string& name, const std::string& bytes) {
    std::filesystem::create_directories(TEST_OUTPUT_DIR);
    rtl::TMemoryStream out;
    out.WriteBytes(bytes);
    out.SaveToFile(std::string(TEST_OUTPUT_DIR) + "/" + name);
}

// Where the object records start in a template with an empty dictionary and
// empty texts, saved before its objects were added.
std::size_t ObjectsOffset(const std::string& savedWithoutObjects) {
    return savedWithoutObjects.size() - 1 - 14 - 1 - EmptyInfo().size();
}

} // namespace

class TemplateFile : public TemplateTest {};

TEST_F(TemplateFile, EmptyTemplateIsWrittenByteForByte) {
    TfrReport report;
    const std::string expected = Bytes()
                                     .u8(25)
                                     .u16(0)
                                     .u16(0)
                                     .str("\x01")
                                     .u8(254)
                                     .u16(0xFFFE)
                                     .i32(0)
                                     .i32(0)
                                     .i32(0)
                                     .u8(252)
                                     .raw(EmptyInfo());
    EXPECT_EQ(Hex(Save(report)), Hex(expected));

    TfrReport again;
    ASSERT_EQ(Load(again, expected), TfrLoadResult::Loaded);
    EXPECT_EQ(again.Pages->Count(), 0);
    EXPECT_EQ(Save(again), expected);
}

TEST_F(TemplateFile, EveryKindOnTwoPagesReloadsToIdenticalBytes) {
    RegisterObject(TfrViewClass::Of<TfrTestGaugeView>(), QImage(), "gauge");
    TfrReport report;
    report.DoublePass = true;
    report.InfoName = Gbk("标签");
    report.InfoAuthor = "Ops";
    report.InfoVersionBuild = "7";
    report.Dictionary->Variables.Set(" Goods", rtl::TVariant(""));
    report.Dictionary->Variables.Set("Code", rtl::TVariant("Orders.\"Num\""));
    report.Dictionary->FieldAliases.Set("Orders", rtl::TVariant(Gbk("订单")));
    report.Dictionary->BandDatasources.Set("frDBDataSet1", rtl::TVariant("Data"));
    report.Pages->Add();
    report.Pages->Add();
    TfrPage& p1 = report.Pages->Items(0);
    TfrPage& p2 = report.Pages->Items(1);
    p1.Margins = {36, 40, 30, 20};
    p1.PageScript.Add("x := 1;");
    p2.WriteProperty("Type", rtl::TVariant(1));
    p2.Caption = Gbk("选择");

    auto& band = static_cast<TfrBandView&>(p1.AddObject(CreateObject(gtBand, "")));
    band.Name = "MasterData1";
    band.FrameTyp = btMasterData;
    band.SetBounds(0, 100, 700, 40);
    band.FormatText = "frDBDataSet1";
    auto& memo = static_cast<TfrMemoView&>(p1.AddObject(CreateObject(gtMemo, "")));
    memo.Name = "B";
    memo.SetBounds(10, 110, 200, 20);
    memo.Memo.Add("[NUM]");
    memo.Memo.Add(Gbk("名称"));
    memo.BeforePrintScript.Add("begin end");
    memo.Tag = "t";
    auto& pic = static_cast<TfrPictureView&>(p1.AddObject(CreateObject(gtPicture, "")));
    pic.Name = "Picture1";
    pic.Picture.LoadFromBytes(TfrPictureKind::Bitmap, SmallBitmap());
    auto& line = p1.AddObject(CreateObject(gtLine, ""));
    line.Name = "Line1";
    line.SetBounds(0, 150, 300, 0);
    auto& sub = static_cast<TfrSubReportView&>(p2.AddObject(CreateObject(gtSubReport, "")));
    sub.Name = "SubReport1";
    sub.SubPage = 1;
    auto& gauge =
        static_cast<TfrTestGaugeView&>(p2.AddObject(CreateObject(gtAddIn, "TfrTestGaugeView")));
    gauge.Name = "Gauge1";
    gauge.Level = 77;

    const std::string first = Save(report);
    TfrReport loaded;
    ASSERT_EQ(Load(loaded, first), TfrLoadResult::Loaded);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Hex(Save(loaded)), Hex(first));

    ASSERT_EQ(loaded.Pages->Count(), 2);
    EXPECT_EQ(loaded.Pages->Items(0).ObjectCount(), 4);
    EXPECT_EQ(loaded.Pages->Items(1).PageType, ptDialog);
    EXPECT_EQ(loaded.Pages->Items(1).Caption, Gbk("选择"));
    EXPECT_EQ(loaded.Pages->Items(0).PageScript.Text(), "x := 1;\r\n");
    EXPECT_TRUE(loaded.DoublePass);
    EXPECT_EQ(loaded.InfoName, Gbk("标签"));
    auto* g = dynamic_cast<TfrTestGaugeView*>(loaded.FindObject("gauge1"));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Level, 77);
    auto* b = dynamic_cast<TfrMemoView*>(loaded.FindObject("B"));
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Memo.Text(), "[NUM]\r\n" + Gbk("名称") + "\r\n");
    EXPECT_EQ(b->OwnerPage, &loaded.Pages->Items(0));
    EXPECT_EQ(loaded.Dictionary->FieldAliases.Get("orders").AsString(), Gbk("订单"));
    auto* p = dynamic_cast<TfrPictureView*>(loaded.FindObject("Picture1"));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Picture.Bytes(), SmallBitmap());

    Keep("every_kind.frf", first);
}

TEST_F(TemplateFile, ObjectRecordCarriesKindPageAndEndPosition) {
    TfrReport report;
    report.Pages->Add();
    auto& memo = report.Pages->Items(0).AddObject(CreateObject(gtMemo, ""));
    memo.Name = "Memo1";
    const std::string bytes = Save(report);
    rtl::TMemoryStream ms;
    frEngine().Version = 25;
    memo.WriteToStream(ms);
    const std::string body = ms.Bytes();
    const std::size_t at = bytes.find(body);
    ASSERT_NE(at, std::string::npos);
    // kind 0, page 0, end position just after the body
    EXPECT_EQ(bytes.substr(at - 6, 2), std::string("\0\0", 2));
    EXPECT_EQ(Hex(bytes.substr(at - 4, 4)),
              Hex(Bytes().i32(static_cast<long long>(at + body.size()))));
}

TEST_F(TemplateFile, Version22ReadsZeroTerminatedStringsAndGeneratesNames) {
    Bytes b;
    b.u8(22).u16(0).u16(0).raw("\x01").u8(0);
    Page23(b); // a version-22 page also carries six unused bytes
    std::string page = b.str();
    page.insert(page.size() - 16, std::string(6, '\x7F'));
    Bytes t;
    t.raw(page);
    for (int i = 0; i < 2; ++i) {
        t.u8(0).u8(0);
        Memo22(t, 10 + i * 100, i == 0 ? "[NUM]" : "");
    }
    // The oldest dictionary layout: two entries, then the names.
    t.u8(254).i32(2);
    t.u8(1).i32(0).u8(6).raw("Orders").u8(3).raw("Num").u8(4).raw("code");
    t.u8(2).i32(1).u8(0).u8(2).raw("12").u8(3).raw("qty");
    t.lines0({"Goods", " code", " qty"});
    t.u8(252);

    Keep("v22.frf", t);
    TfrReport report;
    ASSERT_EQ(Load(report, t), TfrLoadResult::Loaded) << (messages.empty() ? "" : messages[0]);
    ASSERT_EQ(report.Pages->Count(), 1);
    TfrPage& page1 = report.Pages->Items(0);
    EXPECT_EQ(page1.Name, "Page1");
    EXPECT_EQ(page1.Margins.Left, 36);
    EXPECT_EQ(page1.PaperBin, frDefaultPaperBin);
    ASSERT_EQ(page1.ObjectCount(), 2);
    EXPECT_EQ(page1.ObjectAt(0)->Name, "Memo1");
    EXPECT_EQ(page1.ObjectAt(1)->Name, "Memo2");
    EXPECT_EQ(page1.ObjectAt(0)->Memo[0], "[NUM]");
    EXPECT_EQ(page1.ObjectAt(1)->Left, 110);
    EXPECT_EQ(static_cast<TfrMemoView*>(page1.ObjectAt(0))->Font.Name, "Arial");

    const TfrVariables& vars = report.Dictionary->Variables;
    ASSERT_EQ(vars.Count(), 3);
    EXPECT_EQ(vars.Name(0), " Goods");
    EXPECT_EQ(vars.Name(1), "code");
    EXPECT_EQ(vars.Value(1).AsString(), "Orders.\"Num\"");
    EXPECT_EQ(vars.Value(2).AsString(), "12");
    // Documents without an information block get fresh information.
    EXPECT_EQ(report.InfoCreated, kClock);
}

TEST_F(TemplateFile, Version21HasNoVersionByteAndWrapsText) {
    Bytes t;
    t.u16(0).u16(0).raw("\x01").u8(0);
    std::string page = Page23(t).str();
    page.insert(page.size() - 16, std::string(6, '\0'));
    Bytes b;
    b.raw(page).u8(0).u8(0);
    Memo22(b, 5, "old");
    b.u8(252);
    Keep("v21.frf", b);
    TfrReport report;
    ASSERT_EQ(Load(report, b), TfrLoadResult::Loaded);
    EXPECT_EQ(frEngine().Version, 21);
    ASSERT_EQ(report.Pages->Items(0).ObjectCount(), 1);
    TfrView* memo = report.Pages->Items(0).ObjectAt(0);
    EXPECT_EQ(memo->Memo[0], "old");
    EXPECT_TRUE(memo->Flags & flWordWrap);
}

TEST_F(TemplateFile, Version23ReadsNamesAndScriptsButNoPaperSource) {
    Bytes b;
    b.u8(23).u16(1).u16(0).str("\x01");
    Page23(b);
    b.u8(4).u8(0); // a line on page 0
    b.str("Rule").i32(0).i32(5).i32(90).i32(0);
    b.u16(1).u16(8).i32(2).i32(0).u16(0).i32(0xFFFFFF);
    b.i32(0).str("").lines({}).lines({"a;"}).u16(0);
    b.u8(252);
    Keep("v23.frf", b);
    TfrReport report;
    ASSERT_EQ(Load(report, b), TfrLoadResult::Loaded);
    EXPECT_TRUE(report.KeepCurrentPrinter);
    TfrView* line = report.FindObject("RULE");
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->Width, 90);
    EXPECT_EQ(line->BeforePrintScript[0], "a;");
    EXPECT_FALSE(line->Visible);
    EXPECT_EQ(report.Pages->Items(0).Name, "Page1");
}

TEST_F(TemplateFile, Version24PageWithoutScriptAndDialogFields) {
    Bytes b;
    b.u8(24).u16(0).u16(0).str("\x01");
    // First value 9 is the paper number itself: no script at the end.
    b.u8(255).i32(9).i32(2100).i32(2970).i32(0).i32(0).i32(0).i32(0).u8(0).i32(0xFFFF);
    b.u16(0).u16(1).i32(2).i32(18);
    b.u8(1).str("Dlg").u8(0).str("Ask").i32(0xFF000F).i32(1).i32(2).i32(3).i32(4).u8(1);
    b.u8(255).i32(-1).i32(9).i32(2100).i32(2970).i32(0).i32(0).i32(0).i32(0).u8(0).i32(0xFFFF);
    b.u16(0).u16(1).i32(1).i32(0);
    b.u8(0).str("Main").u8(1).str("").i32(0).i32(0).i32(0).i32(0).i32(0).u8(0).lines({"go;"});
    b.u8(252);
    Keep("v24.frf", b);
    TfrReport report;
    ASSERT_EQ(Load(report, b), TfrLoadResult::Loaded);
    ASSERT_EQ(report.Pages->Count(), 2);
    const TfrPage& dlg = report.Pages->Items(0);
    EXPECT_EQ(dlg.Name, "Dlg");
    EXPECT_EQ(dlg.PageType, ptDialog);
    EXPECT_EQ(dlg.BorderStyle, frbsDialog); // stored 0
    EXPECT_EQ(dlg.Position, frpoScreenCenter);
    EXPECT_EQ(dlg.Columns, 2);
    EXPECT_TRUE(dlg.PageScript.Empty());
    const TfrPage& main = report.Pages->Items(1);
    EXPECT_EQ(main.BorderStyle, frbsSizeable); // stored 1
    EXPECT_EQ(main.Position, frpoDesigned);
    EXPECT_EQ(main.PageScript[0], "go;");
}

TEST_F(TemplateFile, UnknownClassesAreSkippedAndNamedOnce) {
    TfrReport report;
    report.Pages->Add();
    const std::size_t objects = ObjectsOffset(Save(report));
    report.Pages->Items(0).AddObject(CreateObject(gtMemo, "")).Name = "After";
    const std::string good = Save(report);
    // Put two records of a kind nobody registered in front of the memo.
    Bytes unknown;
    for (int i = 0; i < 2; ++i) {
        const std::size_t at = objects + unknown.str().size();
        const std::size_t end = at + 1 + 2 + 12 + 1 + 1 + 4 + 5;
        unknown.u8(10).str("TfrChartView").u8(0).i32(static_cast<long long>(end)).raw("junk!");
    }
    // The memo's end position moves by what was put in front of it.
    std::string tail = good.substr(objects);
    const int32_t oldEnd = static_cast<int32_t>(static_cast<unsigned char>(tail[2]) |
                                                static_cast<unsigned char>(tail[3]) << 8);
    const std::string newEnd = Bytes().i32(oldEnd + static_cast<long long>(unknown.str().size()));
    tail.replace(2, 4, newEnd);

    TfrReport loaded;
    loaded.InfoComment = "kept";
    const std::string withUnknown = good.substr(0, objects) + unknown.str() + tail;
    Keep("unknown_class.frf", withUnknown);
    EXPECT_EQ(Load(loaded, withUnknown), TfrLoadResult::MissingComponents);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], MissingMessage("TfrChartView\r"));
    ASSERT_EQ(loaded.Pages->Items(0).ObjectCount(), 1);
    EXPECT_EQ(loaded.Pages->Items(0).ObjectAt(0)->Name, "After");
}

TEST_F(TemplateFile, BadTemplatesEndInTheirMessage) {
    TfrReport base;
    base.Pages->Add();
    const std::size_t objects = ObjectsOffset(Save(base));
    base.Pages->Items(0).AddObject(CreateObject(gtMemo, "")).Name = "M";
    const std::string good = Save(base);

    struct Case {
        const char* what;
        std::string bytes;
        TfrLoadResult result;
    };
    std::string badRecord = good;
    badRecord[good.size() - EmptyInfo().size() - 1] = 99; // 252 -> an unknown record
    std::string backwards = good;
    const std::size_t memoEnd = objects + 2;
    backwards.replace(memoEnd, 4, Bytes().i32(3));
    const std::vector<Case> cases = {
        {"version above 25", Bytes().u8(26).u16(0), TfrLoadResult::Unsupported},
        {"unknown record byte", badRecord, TfrLoadResult::FormatError},
        {"truncated in a page", good.substr(0, 30), TfrLoadResult::FormatError},
        {"truncated in an object", good.substr(0, memoEnd + 20), TfrLoadResult::FormatError},
        {"truncated information", good.substr(0, good.size() - 3), TfrLoadResult::FormatError},
        {"end position backwards", backwards, TfrLoadResult::FormatError},
        {"dictionary count too large",
         Bytes().u8(25).u16(0).u16(0).str("").u8(254).u16(0xFFFE).i32(0x7FFFFFFF),
         TfrLoadResult::FormatError},
        {"odd password digits",
         good.substr(0, good.size() - EmptyInfo().size()) +
             Bytes().u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).u16(0).u16(1).raw("A").str(),
         TfrLoadResult::FormatError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages.clear();
        TfrReport report;
        report.Pages->Add();
        report.Pages->Add();
        report.Dictionary->Variables.Set("keep", rtl::TVariant("1"));
        EXPECT_EQ(Load(report, c.bytes), c.result);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], UnsupportedMessage());
        if (c.result == TfrLoadResult::Unsupported) {
            EXPECT_EQ(report.Pages->Count(), 2); // nothing changed
            EXPECT_EQ(report.Dictionary->Variables.Count(), 1);
        } else {
            EXPECT_EQ(report.Pages->Count(), 1);
            EXPECT_EQ(report.Pages->Items(0).ObjectCount(), 0);
        }
    }
}

TEST_F(TemplateFile, EmptyStreamChangesNothing) {
    TfrReport report;
    report.Pages->Add();
    EXPECT_EQ(Load(report, ""), TfrLoadResult::Empty);
    EXPECT_EQ(report.Pages->Count(), 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(TemplateFile, PasswordIsStoredAsUpperCaseHexAndAskedFromFiles) {
    TfrReport report;
    report.Pages->Add();
    report.InfoPassword = "k\xB5";
    report.InfoProtected = 1;
    const std::string bytes = Save(report);
    EXPECT_NE(bytes.find(Bytes().u16(4).raw("6BB5").str()), std::string::npos);

    // Read back case-insensitively.
    std::string lower = bytes;
    lower.replace(lower.find("6BB5"), 4, "6bb5");
    const std::string path = std::string(TEST_OUTPUT_DIR) + "/protected.frf";
    std::filesystem::create_directories(TEST_OUTPUT_DIR);
    {
        rtl::TMemoryStream ms;
        ms.WriteBytes(lower);
        ms.SaveToFile(path);
    }

    struct Case {
        bool confirm;
        std::string typed;
        bool opens;
    };
    for (const Case& c :
         {Case{true, "k\xB5", true}, Case{true, "K\xB5", false}, Case{false, "k\xB5", false}}) {
        int asked = 0;
        frGuiHooks().AskPassword = [&](std::string& typed) {
            ++asked;
            typed = c.typed;
            return c.confirm;
        };
        TfrReport r;
        ASSERT_TRUE(r.LoadTemplateFile(path));
        EXPECT_EQ(asked, 1);
        if (c.opens) {
            EXPECT_EQ(r.FileName, path);
            EXPECT_EQ(r.InfoPassword, "k\xB5");
        } else {
            EXPECT_EQ(r.FileName, "Untitled");
            EXPECT_EQ(r.InfoProtected, 0);
            EXPECT_TRUE(r.InfoPassword.empty());
            ASSERT_EQ(r.Pages->Count(), 1);
        }
        EXPECT_TRUE(messages.empty());
    }

    // A template held in memory opens without asking.
    frGuiHooks().AskPassword = [](std::string&) -> bool {
        ADD_FAILURE();
        return false;
    };
    TfrReport mem;
    EXPECT_EQ(Load(mem, bytes), TfrLoadResult::Loaded);
    EXPECT_EQ(mem.InfoProtected, 1);
}

TEST_F(TemplateFile, FilesLoadSaveAndMissingFilesChangeNothing) {
    const std::string path = std::string(TEST_OUTPUT_DIR) + "/Print.frf";
    std::filesystem::create_directories(TEST_OUTPUT_DIR);
    TfrReport report;
    report.Pages->Add();
    report.Pages->Items(0).AddObject(CreateObject(gtMemo, "")).Name = "B";
    report.SaveTemplateFile(path);

    TfrReport loaded;
    EXPECT_FALSE(loaded.LoadTemplateFile(path + ".missing"));
    EXPECT_FALSE(loaded.LoadTemplateFile(TEST_OUTPUT_DIR)); // a folder is not a template
    EXPECT_EQ(loaded.FileName, "Untitled");
    EXPECT_EQ(loaded.Pages->Count(), 0);
    ASSERT_TRUE(loaded.LoadTemplateFile(path));
    EXPECT_EQ(loaded.FileName, path);
    EXPECT_NE(loaded.FindObject("b"), nullptr);
    rtl::TMemoryStream file;
    file.LoadFromFile(path);
    EXPECT_EQ(file.Bytes(), Save(loaded));
}

TEST_F(TemplateFile, StoredFormPropertyHoldsTheTemplate) {
    TfrReport report;
    report.StoreInDFM = true;
    report.Pages->Add();
    report.Pages->Items(0).AddObject(CreateObject(gtLine, "")).Name = "L";
    rtl::TMemoryStream prop;
    report.WriteReportForm(prop);
    prop.SetPosition(0);
    EXPECT_EQ(prop.ReadInt32(), 25);
    EXPECT_EQ(prop.ReadInt32(), prop.Size() - 8);

    TfrReport form;
    form.StoreInDFM = true;
    prop.SetPosition(0);
    form.ReadReportForm(prop);
    EXPECT_EQ(form.Pages->Count(), 0); // read once the form has loaded
    form.Loaded();
    EXPECT_NE(form.FindObject("L"), nullptr);

    TfrReport plain;
    rtl::TMemoryStream small;
    plain.WriteReportForm(small);
    EXPECT_EQ(small.Size(), 4);
}

TEST_F(TemplateFile, ExtensionBlockIsReadAndWrittenOnlyWhenInstalled) {
    TfrReport report;
    std::string stored;
    frEngineHooks().WriteExtension = [](rtl::TStream& s) { s.WriteBytes("EXT"); };
    frEngineHooks().ReadExtension = [&](rtl::TStream& s) { stored = s.ReadBytes(3); };
    const std::string bytes = Save(report);
    EXPECT_NE(bytes.find(Bytes().u8(253).raw("EXT").u8(252).str()), std::string::npos);
    TfrReport loaded;
    loaded.InfoAuthor = "x";
    ASSERT_EQ(Load(loaded, bytes), TfrLoadResult::Loaded);
    EXPECT_EQ(stored, "EXT");
    EXPECT_EQ(loaded.InfoAuthor, ""); // the information block after it was read
    EXPECT_EQ(loaded.InfoChanged, kClock);
}

TEST_F(TemplateFile, XmlExportWritesTheXmlFormBesideTheName) {
    const std::string base = std::string(TEST_OUTPUT_DIR) + "/export.frf";
    std::filesystem::create_directories(TEST_OUTPUT_DIR);
    TfrReport report;
    bool flagSeen = false;
    DesignerEditorHooks().WriteXmlTemplate = [&](TfrReport& r, rtl::TStream& s) {
        flagSeen = r.XmlExport;
        s.WriteBytes("<xml/>");
    };
    report.ExportXmlTemplateFile(base);
    EXPECT_TRUE(flagSeen);
    EXPECT_FALSE(report.XmlExport);
    rtl::TMemoryStream file;
    file.LoadFromFile(std::string(TEST_OUTPUT_DIR) + "/export.fr3");
    EXPECT_EQ(file.Bytes(), "<xml/>");

    DesignerEditorHooks().WriteXmlTemplate = [](TfrReport&, rtl::TStream&) {
        throw std::runtime_error("disk full");
    };
    EXPECT_THROW(report.ExportXmlTemplateFile(base), std::runtime_error);
    EXPECT_FALSE(report.XmlExport);
}
