#include "model_test_support.h"

#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/model/band_view.h"
#include "report/model/line_view.h"
#include "report/model/picture_view.h"
#include "report/model/sub_report_view.h"

#include <gmock/gmock.h>

using namespace model_test;
using rtl::TVariant;
using ::testing::ElementsAreArray;

namespace {

std::vector<std::string> Registered(TfrObject& object) {
    std::vector<std::string> names;
    for (const auto& p : object.PropList())
        names.push_back(p->Name + ":" + std::to_string(p->PropType));
    return names;
}

const std::vector<std::string> kViewProps = {
    "Name:257",     "Left:128",       "Top:128",       "Width:128",     "Height:128",     "Flags:0",
    "FrameTyp:2",   "FrameWidth:132", "FrameColor:16", "FrameStyle:32", "FillColor:16",   "Tag:320",
    "BandAlign:32", "Visible:8",      "Memo:320",      "Memo.Count:0",  "Restrictions:64"};

std::vector<std::string> Plus(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct KindCase {
    int code;
    std::vector<std::string> props;
};

class KindProperties : public ModelTest, public ::testing::WithParamInterface<KindCase> {};

} // namespace

TEST_P(KindProperties, RegistersItsTableInOrder) {
    auto view = CreateObject(GetParam().code, "");
    ASSERT_TRUE(view);
    EXPECT_THAT(Registered(*view), ElementsAreArray(GetParam().props));
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, KindProperties,
    ::testing::Values(
        KindCase{
            gtMemo,
            Plus(kViewProps, {"Font.Name:0",   "Font.Size:0",   "Font.Style:0",     "Font.Color:0",
                              "Font:64",       "Alignment:0",   "DisplayFormat:64", "Highlight:64",
                              "LineSpacing:2", "CharSpacing:2", "GapX:2",           "GapY:2",
                              "Stretched:8",   "WordWrap:8",    "WordBreak:8",      "AutoWidth:8",
                              "TextOnly:8",    "Suppress:8",    "HideZeros:8",      "Lines.Count:0",
                              "Underlines:8",  "RTLReading:8"})},
        KindCase{gtPicture, Plus(kViewProps, {"Picture:64", "Stretched:8", "Center:8",
                                              "KeepAspect:8", "DataField:321", "BlobType:32"})},
        KindCase{gtLine, Plus(kViewProps, {"Stretched:8"})},
        KindCase{gtSubReport,
                 {"Name:257", "Left:128", "Top:128", "Width:128", "Height:128", "Flags:0",
                  "Visible:8", "Memo:320", "Memo.Count:0", "Restrictions:64"}}),
    [](const auto& p) { return std::to_string(p.param.code); });

namespace {

struct BandCase {
    int type;
    std::vector<std::string> own;
};

class BandProperties : public ModelTest, public ::testing::WithParamInterface<BandCase> {};

const std::vector<std::string> kBandBase = {"Name",       "Left",        "Top",     "Width",
                                            "Height",     "Flags",       "Visible", "OnBeforePrint",
                                            "Memo.Count", "Restrictions"};

} // namespace

TEST_P(BandProperties, DependOnTheBandType) {
    TfrBandView band;
    band.FrameTyp = static_cast<uint16_t>(GetParam().type);
    std::vector<std::string> names;
    for (const auto& p : band.PropList()) names.push_back(p->Name);
    EXPECT_THAT(names, ElementsAreArray(Plus(kBandBase, GetParam().own)));
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, BandProperties,
    ::testing::Values(
        BandCase{
            0,
            {"ChildBand", "PrintChildIfInvisible", "Stretched", "FormNewPage", "Breaked", "EOF"}},
        BandCase{
            1,
            {"ChildBand", "PrintChildIfInvisible", "Stretched", "FormNewPage", "Breaked", "EOF"}},
        BandCase{2, {"ChildBand", "PrintChildIfInvisible", "Stretched", "OnFirstPage", "EOF"}},
        BandCase{3, {"OnFirstPage", "OnLastPage", "EOF"}},
        BandCase{
            4,
            {"ChildBand", "PrintChildIfInvisible", "Stretched", "Breaked", "RepeatHeader", "EOF"}},
        BandCase{5,
                 {"ChildBand", "PrintChildIfInvisible", "Stretched", "FormNewPage",
                  "PrintIfSubsetEmpty", "Breaked", "Columns", "ColumnWidth", "ColumnGap",
                  "DataSource", "EOF"}},
        BandCase{
            6,
            {"ChildBand", "PrintChildIfInvisible", "Stretched", "FormNewPage", "Breaked", "EOF"}},
        BandCase{
            7,
            {"ChildBand", "PrintChildIfInvisible", "Stretched", "Breaked", "RepeatHeader", "EOF"}},
        BandCase{8,
                 {"ChildBand", "PrintChildIfInvisible", "Stretched", "FormNewPage",
                  "PrintIfSubsetEmpty", "Breaked", "Columns", "ColumnWidth", "ColumnGap",
                  "DataSource", "EOF"}},
        BandCase{
            9,
            {"ChildBand", "PrintChildIfInvisible", "Stretched", "FormNewPage", "Breaked", "EOF"}},
        BandCase{
            10,
            {"ChildBand", "PrintChildIfInvisible", "Stretched", "Breaked", "RepeatHeader", "EOF"}},
        BandCase{11,
                 {"ChildBand", "PrintChildIfInvisible", "Stretched", "FormNewPage", "Breaked",
                  "Columns", "ColumnWidth", "ColumnGap", "DataSource", "EOF"}},
        BandCase{
            12,
            {"ChildBand", "PrintChildIfInvisible", "Stretched", "FormNewPage", "Breaked", "EOF"}},
        BandCase{13, {"ChildBand", "PrintChildIfInvisible", "EOF"}},
        BandCase{14, {"ChildBand", "PrintChildIfInvisible", "EOF"}},
        BandCase{15, {"ChildBand", "PrintChildIfInvisible", "EOF"}},
        BandCase{16,
                 {"ChildBand", "PrintChildIfInvisible", "Stretched", "FormNewPage", "Breaked",
                  "RepeatHeader", "Condition", "Master", "EOF"}},
        BandCase{17, {"ChildBand", "PrintChildIfInvisible", "Stretched", "Breaked", "EOF"}},
        BandCase{18, {"ChildBand", "PrintChildIfInvisible", "Stretched", "RepeatHeader", "EOF"}},
        BandCase{19, {"ChildBand", "PrintChildIfInvisible", "DataSource", "EOF"}},
        BandCase{20, {"ChildBand", "PrintChildIfInvisible", "EOF"}},
        BandCase{21, {"ChildBand", "PrintChildIfInvisible", "Stretched", "Breaked", "EOF"}},
        BandCase{22, {"ChildBand", "PrintChildIfInvisible", "EOF"}}),
    [](const auto& p) { return std::to_string(p.param.type); });

class BandChoices : public ModelTest {};

TEST_F(BandChoices, ListTheOtherBandsOfThePageOutsideOutputMode) {
    FakePage page;
    auto& group = page.Add<TfrBandView>();
    group.Name = "GroupHeader1";
    group.FrameTyp = btGroupHeader;
    for (auto [name, type] :
         {std::pair{"Child1", btChild}, std::pair{"Child2", btChild},
          std::pair{"MasterData1", btMasterData}, std::pair{"DetailData1", btDetailData}}) {
        auto& b = page.Add<TfrBandView>();
        b.Name = name;
        b.FrameTyp = static_cast<uint16_t>(type);
    }
    group.OwnerPage = &page;
    EXPECT_EQ(group.FindProperty("ChildBand")->Enum->CommaText(), "Child1,Child2");
    EXPECT_EQ(group.FindProperty("Master")->Enum->CommaText(), "MasterData1,DetailData1");
    EXPECT_EQ(group.FindProperty("Master")->PropType, frdtEnum);
    EXPECT_EQ(group.FindProperty("Master")->EnumValues.size(), 2u);

    // A child band is not its own child.
    auto& child = static_cast<TfrBandView&>(*page.views[1]);
    child.OwnerPage = &page;
    EXPECT_EQ(child.FindProperty("childband")->Enum->CommaText(), "Child2");

    frEngine().OutputMode = true;
    group.RegisterProperties();
    EXPECT_EQ(group.FindProperty("ChildBand")->Enum->Count(), 0);
    EXPECT_EQ(group.FindProperty("Master")->Enum->Count(), 0);
}

// ---------------------------------------------------------------------------
// Reading and writing by name.

namespace {

struct RwCase {
    int code;
    const char* name; // written in mixed case: names ignore letter case
    TVariant value;
    TVariant expected;
};

class ReadWrite : public ModelTest, public ::testing::WithParamInterface<RwCase> {};

std::string CaseName(const ::testing::TestParamInfo<RwCase>& info) {
    std::string n = std::to_string(info.param.code) + "_";
    for (char c : std::string(info.param.name))
        n += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return n + "_" + std::to_string(info.index);
}

} // namespace

TEST_P(ReadWrite, WritesAndReadsBackByName) {
    const RwCase& c = GetParam();
    auto view = CreateObject(c.code, "");
    view->WriteProperty(c.name, c.value);
    const TVariant got = view->ReadProperty(c.name);
    EXPECT_TRUE(got.Identical(c.expected))
        << c.name << ": got " << got.AsString() << " (" << rtl::VarTypeName(got.VarType()) << ")";
}

INSTANTIATE_TEST_SUITE_P(
    View, ReadWrite,
    ::testing::Values(
        RwCase{gtLine, "Name", "Line7", "Line7"}, RwCase{gtLine, "left", 10, 10},
        RwCase{gtLine, "TOP", "12", 12}, RwCase{gtLine, "Width", 30.5, 30},
        RwCase{gtLine, "Height", -4, -4}, RwCase{gtLine, "Flags", 3, 3},
        RwCase{gtLine, "FrameTyp", 15, 15}, RwCase{gtLine, "FrameWidth", 2, 2.0},
        RwCase{gtLine, "FrameWidth", 0.5, 0.5}, RwCase{gtLine, "FrameColor", 255, 255},
        RwCase{gtLine, "FrameStyle", 5, 5}, RwCase{gtLine, "FillColor", 0x1FFFFFFF, 0x1FFFFFFF},
        RwCase{gtLine, "Visible", false, false}, RwCase{gtLine, "Visible", 1, true},
        RwCase{gtLine, "Memo", "a\r\nb", "a\r\nb\r\n"}, RwCase{gtLine, "GapX", 5, 5},
        RwCase{gtLine, "GapY", 6, 6}, RwCase{gtLine, "Stretched", false, false},
        RwCase{gtLine, "BandAlign", 7, 7}, RwCase{gtLine, "DataField", "[Field]\r\nx", "[Field]"},
        RwCase{gtLine, "Tag", "[Page#]", "[Page#]"}, RwCase{gtLine, "Memo.Count", 9, 0},
        RwCase{gtLine, "NoSuchProperty", 1, TVariant::Null()},
        RwCase{gtLine, "Restrictions", 8, TVariant::Null()}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Memo, ReadWrite,
    ::testing::Values(
        RwCase{gtMemo, "Font.Name", "Courier New", "Courier New"},
        RwCase{gtMemo, "font.size", 14, 14}, RwCase{gtMemo, "Font.Style", 13, 13},
        RwCase{gtMemo, "Font.Color", 0x0000FF, 0x0000FF}, RwCase{gtMemo, "Alignment", 10, 10},
        RwCase{gtMemo, "LineSpacing", 4, 4}, RwCase{gtMemo, "CharSpacing", 1, 1},
        RwCase{gtMemo, "WordWrap", false, false}, RwCase{gtMemo, "WordBreak", true, true},
        RwCase{gtMemo, "AutoWidth", true, true}, RwCase{gtMemo, "TextOnly", true, true},
        RwCase{gtMemo, "Suppress", true, true}, RwCase{gtMemo, "HideZeros", true, true},
        RwCase{gtMemo, "Underlines", true, true}, RwCase{gtMemo, "RTLReading", true, true},
        RwCase{gtMemo, "Lines.Count", 5, 0}, RwCase{gtMemo, "Highlight", 1, TVariant::Null()}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Band, ReadWrite,
    ::testing::Values(
        RwCase{gtBand, "ChildBand", "Child1", "Child1"},
        RwCase{gtBand, "Master", "MasterData1", "MasterData1"},
        RwCase{gtBand, "FormNewPage", true, true}, RwCase{gtBand, "PrintIfSubsetEmpty", true, true},
        RwCase{gtBand, "Breaked", true, true}, RwCase{gtBand, "OnFirstPage", false, false},
        RwCase{gtBand, "OnLastPage", false, false}, RwCase{gtBand, "RepeatHeader", true, true},
        RwCase{gtBand, "PrintChildIfInvisible", true, true},
        RwCase{gtBand, "Condition", "[Cust.\"Name\"]", "[Cust.\"Name\"]"},
        RwCase{gtBand, "Columns", 3, 3}, RwCase{gtBand, "ColumnGap", 7, 7},
        RwCase{gtBand, "ColumnWidth", 150, 150}, RwCase{gtBand, "NewColumnAfter", 4, 4},
        RwCase{gtBand, "EOF", false, true}, RwCase{gtBand, "DataSource", "X", TVariant::Null()}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(Picture, ReadWrite,
                         ::testing::Values(RwCase{gtPicture, "Center", true, true},
                                           RwCase{gtPicture, "KeepAspect", false, false},
                                           RwCase{gtPicture, "BlobType", 3, 3},
                                           RwCase{gtPicture, "DataField", "[Photo]", "[Photo]"}),
                         CaseName);

class Properties : public ModelTest {};

TEST_F(Properties, FlagsAndFieldsMoveTogether) {
    TfrMemoView memo;
    EXPECT_EQ(memo.Flags, flStretched | flWordWrap);
    memo.WriteProperty("Stretched", false);
    memo.WriteProperty("HideZeros", true);
    EXPECT_EQ(memo.Flags, flWordWrap | flHideZeros);
    memo.WriteProperty("Font.Style", 6);
    EXPECT_TRUE(memo.Font.Bold && memo.Font.Underline && !memo.Font.Italic);

    TfrBandView band;
    band.FrameTyp = btGroupHeader;
    band.FormatText = "[Orders.\"Date\"]";
    // The group condition and the data source share one field.
    band.WriteProperty("CONDITION", "[Orders.\"Customer\"]");
    EXPECT_EQ(band.FormatText, "[Orders.\"Customer\"]");
    band.WriteProperty("Breaked", true);
    EXPECT_EQ(band.Flags, flBandOnFirstPage | flBandOnLastPage | flBandBreaked);

    TfrPictureView pict;
    pict.WriteProperty("Center", true);
    pict.WriteProperty("KeepAspect", false);
    EXPECT_EQ(pict.Flags, flStretched | flPictCenter);
}

TEST_F(Properties, UnknownNamesChangeNothingAndReadNull) {
    TfrMemoView memo;
    memo.Memo.SetText("x");
    const std::string before = RecordOf(memo);
    memo.WriteProperty("Colour", 5);
    memo.WriteProperty("", 5);
    EXPECT_EQ(RecordOf(memo), before);
    EXPECT_TRUE(memo.ReadProperty("Colour").IsNull());
    EXPECT_TRUE(memo.CallMethod("NOSUCHMETHOD", 1, 2, 3).IsNull());
}

TEST_F(Properties, BadValuesRaiseTheConversionError) {
    TfrMemoView memo;
    EXPECT_THROW(memo.WriteProperty("Left", "abc"), std::exception);
    EXPECT_THROW(memo.WriteProperty("Visible", "perhaps"), std::exception);
}

TEST_F(Properties, DataFieldOfAnEmptyMemoIsEmptyText) {
    TfrPictureView pict;
    const TVariant v = pict.ReadProperty("DataField");
    EXPECT_TRUE(v.IsString());
    EXPECT_EQ(v.AsString(), "");
}

TEST_F(Properties, FindPropertyIgnoresCaseAndRebuildsTheList) {
    TfrMemoView memo;
    EXPECT_EQ(memo.FindProperty("WORDWRAP")->Name, "WordWrap");
    EXPECT_EQ(memo.FindProperty("frametyp")->PropType, frdtInteger);
    EXPECT_EQ(memo.FindProperty("Nope"), nullptr);
    const int n = memo.PropCount();
    memo.RegisterProperties();
    EXPECT_EQ(memo.PropCount(), n);
    const TfrPropRec* style = memo.FindProperty("FrameStyle");
    EXPECT_EQ(style->Enum->CommaText(), "psSolid,psDash,psDot,psDashDot,psDashDotDot,psDouble");
    EXPECT_TRUE(style->EnumValues[5].Identical(TVariant(5)));
}

TEST_F(Properties, EditorButtonsCallTheDesignerHooks) {
    TfrMemoView memo;
    int tagCalls = 0;
    TfrView* seen = nullptr;
    // Hooks installed after the list was built are still the ones called.
    const TfrPropRec* tag = memo.FindProperty("Tag");
    ASSERT_TRUE(tag->Editor);
    tag->Editor(); // no designer: nothing happens
    DesignerEditorHooks().EditTagHook = [&](TfrView& v) {
        ++tagCalls;
        seen = &v;
    };
    tag->Editor();
    EXPECT_EQ(tagCalls, 1);
    EXPECT_EQ(seen, &memo);
    EXPECT_FALSE(memo.FindProperty("Left")->Editor);
}

// ---------------------------------------------------------------------------
// Methods.

class Methods : public ModelTest {
protected:
    void SetUp() override {
        ModelTest::SetUp();
        // The expressions these tests pass are plain numbers or quoted text.
        frEngineHooks().Calculate = [](const std::string& e) -> TVariant {
            if (e.size() >= 2 && e.front() == '\'') return e.substr(1, e.size() - 2);
            return rtl::StrToInt(e);
        };
    }
};

TEST_F(Methods, StringListMethodsWorkOnTheMemoText) {
    TfrMemoView memo;
    memo.Memo.SetText("a\r\nb\r\nc");
    memo.CallMethod("MEMO.ADD", "'d'", {}, {});
    memo.CallMethod("LINES.ADD", "'e'", {}, {});
    EXPECT_EQ(memo.Memo.Count(), 5);
    EXPECT_TRUE(memo.CallMethod("MEMO.INDEXOF", "'c'", {}, {}).Identical(TVariant(2)));
    EXPECT_TRUE(memo.CallMethod("LINES.INDEXOF", "'C'", {}, {}).Identical(TVariant(-1)));
    memo.CallMethod("MEMO.DELETE", "0", {}, {});
    EXPECT_EQ(memo.Memo[0], "b");
    memo.CallMethod("SETINDEXPROPERTY", "MEMO", 1, "x");
    EXPECT_TRUE(memo.CallMethod("GETINDEXPROPERTY", "MEMO", 1, {}).Identical(TVariant("x")));
    // Another list's name leaves the memo alone.
    EXPECT_TRUE(memo.CallMethod("GETINDEXPROPERTY", "ITEMS", 1, {}).IsNull());
    memo.CallMethod("LINES.CLEAR", {}, {}, {});
    EXPECT_EQ(memo.Memo.Count(), 0);
}

TEST_F(Methods, IndexOutsideTheListRaises) {
    TfrMemoView memo;
    memo.Memo.SetText("a");
    EXPECT_THROW(memo.CallMethod("MEMO.DELETE", "3", {}, {}), rtl::EStringListError);
    EXPECT_THROW(memo.CallMethod("GETINDEXPROPERTY", "MEMO", 1, {}), rtl::EStringListError);
}

TEST_F(Methods, NamesAreMatchedInUpperCaseOnly) {
    TfrLineView line;
    line.CallMethod("hide", {}, {}, {});
    EXPECT_TRUE(line.Visible);
    line.CallMethod("HIDE", {}, {}, {});
    EXPECT_FALSE(line.Visible);
    line.CallMethod("SHOW", {}, {}, {});
    EXPECT_TRUE(line.Visible);
    line.Height = 17;
    EXPECT_TRUE(line.CallMethod("CALCHEIGHT", {}, {}, {}).Identical(TVariant(17)));
}

TEST_F(Methods, AddWithoutAnEvaluatorIsAnError) {
    frEngineHooks().Calculate = nullptr;
    TfrMemoView memo;
    EXPECT_THROW(memo.CallMethod("MEMO.ADD", "'x'", {}, {}), EfrNoEvaluator);
}

namespace {

class FakeBand : public TfrBandRuntime {
public:
    int BandType() const override { return btMasterData; }
    int Left() const override { return left; }
    int Top() const override { return top; }
    int Width() const override { return width; }
    int Height() const override { return height; }
    bool Visible() const override { return visible; }
    void SetLeft(int v) override { left = v; }
    void SetTop(int v) override { top = v; }
    void SetWidth(int v) override { width = v; }
    void SetHeight(int v) override { height = v; }
    void SetVisible(bool v) override { visible = v; }
    void SetChildBand(const std::string& n) override { child = n; }
    bool PageBreak() const override { return pageBreak; }
    void SetPageBreak(bool v) override { pageBreak = v; }
    void SetGroupCondition(const std::string& c) override { condition = c; }
    void SetDataSource(const std::string& n) override { dataSource = n; }
    bool HasDataSet() const override { return hasDataSet; }
    bool DataSetEof() override { return record >= 3; }
    void DataSetFirst() override { record = 0; }
    void DataSetNext() override { ++record; }
    void DataSetPrior() override { --record; }

    int left = 0, top = 100, width = 700, height = 40, record = 0;
    bool visible = true, pageBreak = false, hasDataSet = true;
    std::string child, condition, dataSource;
};

} // namespace

TEST_F(Methods, BandReachesItsRunTimeBandInOutputMode) {
    FakeBand rt;
    TfrBandView band;
    band.FrameTyp = btMasterData;
    band.OwnerBand = &rt;
    band.Top = 5;

    // In the designer the template values answer.
    EXPECT_TRUE(band.ReadProperty("TOP").Identical(TVariant(5)));

    frEngine().OutputMode = true;
    EXPECT_TRUE(band.ReadProperty("TOP").Identical(TVariant(100)));
    band.WriteProperty("Height", 55);
    band.WriteProperty("Visible", false);
    band.WriteProperty("ChildBand", "Child1");
    band.WriteProperty("Breaked", true);
    band.WriteProperty("Condition", "[X]");
    band.WriteProperty("DataSource", "frDBDataSet1");
    EXPECT_EQ(rt.height, 55);
    EXPECT_FALSE(rt.visible);
    EXPECT_EQ(rt.child, "Child1");
    EXPECT_EQ(rt.condition, "[X]");
    EXPECT_EQ(rt.dataSource, "frDBDataSet1");
    rt.pageBreak = false;
    EXPECT_TRUE(band.ReadProperty("BREAKED").Identical(TVariant(false)));

    EXPECT_TRUE(band.ReadProperty("EOF").Identical(TVariant(false)));
    band.CallMethod("NEXT", {}, {}, {});
    band.CallMethod("NEXT", {}, {}, {});
    band.CallMethod("NEXT", {}, {}, {});
    EXPECT_TRUE(band.ReadProperty("EOF").Identical(TVariant(true)));
    band.CallMethod("PRIOR", {}, {}, {});
    EXPECT_EQ(rt.record, 2);
    band.CallMethod("FIRST", {}, {}, {});
    EXPECT_EQ(rt.record, 0);
}

// ---------------------------------------------------------------------------
// Dotted names.

class Resolve : public ModelTest {};

TEST_F(Resolve, FindsObjectsPagesAndSubProperties) {
    FakePage page;
    auto& memo = page.Add<TfrMemoView>();
    memo.Name = "Memo1";
    auto& line = page.Add<TfrLineView>();
    line.Name = "Line1";
    TfrLineView pageStandIn; // any object will do as a page here
    frReportLookups().FindObject = [&](const std::string& n) -> TfrView* {
        for (auto& v : page.views)
            if (rtl::SameText(v->Name, n)) return v.get();
        return nullptr;
    };
    frReportLookups().FindPage = [&](int n) -> TfrObject* {
        return n == 2 ? &pageStandIn : nullptr;
    };
    frEngine().CurrentObject = &memo;

    auto [o1, p1] = ResolvePropertyOwner("Left");
    EXPECT_EQ(o1, &memo);
    EXPECT_EQ(p1, "Left");

    auto [o2, p2] = ResolvePropertyOwner("line1.Visible");
    EXPECT_EQ(o2, &line);
    EXPECT_EQ(p2, "Visible");

    auto [o3, p3] = ResolvePropertyOwner("Font.Name");
    EXPECT_EQ(o3, &memo);
    EXPECT_EQ(p3, "Font.Name");

    auto [o4, p4] = ResolvePropertyOwner("Page2.Width");
    EXPECT_EQ(o4, &pageStandIn);
    EXPECT_EQ(p4, "Width");

    auto [o5, p5] = ResolvePropertyOwner("Nobody.Left");
    EXPECT_EQ(o5, nullptr);
    EXPECT_EQ(p5, "Left");

    // The dotted tail may itself be dotted.
    auto [o6, p6] = ResolvePropertyOwner("Memo1.Font.Size");
    EXPECT_EQ(o6, &memo);
    EXPECT_EQ(p6, "Font.Size");
    o6->WriteProperty(p6, 20);
    EXPECT_EQ(memo.Font.Size, 20);
}
