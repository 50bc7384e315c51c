#include "model_test_support.h"

#include "report/model/band_view.h"
#include "report/model/line_view.h"
#include "report/model/picture_view.h"
#include "report/model/sub_report_view.h"

using namespace model_test;

namespace {

class Registry : public ModelTest {
protected:
    void TearDown() override {
        frClearAddIns();
        ModelTest::TearDown();
    }
};

class TfrTestBarView : public TfrLineView {
public:
    std::string ClassName() const override { return "TfrTestBarView"; }
};

} // namespace

TEST_F(Registry, MakesTheBuiltInKindsByCodeAndNothingForOtherCodes) {
    struct Case {
        int code;
        const char* className;
        const char* baseName;
    };
    for (const Case& c : {Case{0, "TfrMemoView", "Memo"}, Case{1, "TfrPictureView", "Picture"},
                          Case{2, "TfrBandView", "Band"}, Case{3, "TfrSubReportView", "SubReport"},
                          Case{4, "TfrLineView", "Line"}}) {
        auto v = CreateObject(c.code, "ignored");
        ASSERT_TRUE(v) << c.code;
        EXPECT_EQ(v->ClassName(), c.className);
        EXPECT_EQ(v->TypeCode, c.code);
        EXPECT_EQ(v->BaseName, c.baseName);
    }
    for (int code : {5, 6, 7, 8, 9, 11, 12, 200, -1}) EXPECT_FALSE(CreateObject(code, "")) << code;
}

TEST_F(Registry, CreationDefaultsOfEachKind) {
    TfrMemoView memo;
    EXPECT_EQ(memo.Flags, 3);
    EXPECT_EQ(memo.FormatCode, 0x22E); // '.' and 2 decimals
    EXPECT_EQ(memo.Font.Name, "Arial");
    EXPECT_EQ(memo.Font.Size, 10);
    EXPECT_EQ(memo.Font.CharSet, 134);
    EXPECT_EQ(memo.HighlightStyle, 2);
    EXPECT_EQ(memo.HighlightFillColor, gdi::clWhite);
    EXPECT_EQ(memo.LineSpacing, 2);
    EXPECT_EQ(memo.FillColor, gdi::clNone);
    EXPECT_EQ(memo.FrameWidth, 1.0);
    EXPECT_EQ(memo.GapX, 2);
    EXPECT_EQ(memo.GapY, 1);
    EXPECT_TRUE(memo.Visible);

    TfrBandView band;
    EXPECT_EQ(band.Flags, 48);
    EXPECT_EQ(band.FormatCode, 0);
    EXPECT_EQ(band.Columns, 1);
    EXPECT_EQ(band.ColumnWidth, 200);
    EXPECT_EQ(band.ColumnGap, 20);
    EXPECT_EQ(band.NewColumnAfter, 1);

    TfrPictureView pict;
    EXPECT_EQ(pict.Flags, flStretched | flPictRatio);
    EXPECT_TRUE(pict.Picture.Empty());

    TfrLineView line;
    EXPECT_EQ(line.FrameTyp, frftLeft);
    EXPECT_EQ(line.FillColor, gdi::clWhite);
}

TEST_F(Registry, EveryObjectMadeTakesTheNextId) {
    const int32_t first = frNextObjectId();
    auto a = CreateObject(gtMemo, "");
    auto b = CreateObject(gtBand, "");
    EXPECT_EQ(a->ObjectId, first);
    EXPECT_EQ(b->ObjectId, first + 1);
    CreateObject(7, ""); // makes nothing, takes no number
    EXPECT_EQ(frNextObjectId(), first + 2);
}

TEST_F(Registry, RegisteredKindsAreFoundByExactClassName) {
    RegisterObject(TfrViewClass::Of<TfrTestBarView>(), QImage(), "55338");
    RegisterObject(TfrViewClass::Of<TfrTestBarView>(), QImage(), "again");
    ASSERT_EQ(frAddIns().size(), 1u);
    EXPECT_EQ(frAddIns()[0].ButtonHint, "55338");
    EXPECT_EQ(frAddIns()[0].IsControl, 0);

    auto v = CreateObject(gtAddIn, "TfrTestBarView");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->ClassName(), "TfrTestBarView");
    EXPECT_EQ(v->TypeCode, gtAddIn);
    EXPECT_FALSE(frEngine().LoadError);
}

TEST_F(Registry, UnknownClassNamesAreCollectedIntoTheError) {
    RegisterObject(TfrViewClass::Of<TfrTestBarView>(), QImage(), "");
    try {
        CreateObject(gtAddIn, "tfrtestbarview"); // letter case counts
        FAIL() << "no error";
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(std::string(e.what()), "tfrtestbarview\r");
    }
    try {
        CreateObject(gtAddIn, "TfrChartView");
        FAIL() << "no error";
    } catch (const EClassNotFound& e) {
        EXPECT_EQ(std::string(e.what()), "tfrtestbarview\rTfrChartView\r");
    }
    EXPECT_TRUE(frEngine().LoadError);
    EXPECT_EQ(NonPluggedComponentsMessage(frEngine().LoadErrorMessage),
              "Report contains the following non-plugged components:\rtfrtestbarview\r"
              "TfrChartView\rYou must include these components into your project.");
}

TEST_F(Registry, TheTableHoldsSixtyFourKinds) {
    for (int i = 0; i < frMaxAddIns; ++i)
        RegisterObject(TfrViewClass{"TfrKind" + std::to_string(i),
                                    [] { return std::make_unique<TfrTestBarView>(); }},
                       QImage(), "");
    EXPECT_THROW(RegisterObject(TfrViewClass::Of<TfrTestBarView>(), QImage(), ""),
                 std::length_error);
    EXPECT_EQ(static_cast<int>(frAddIns().size()), frMaxAddIns);
    // A kind already there is still accepted silently.
    RegisterObject(TfrViewClass{"TfrKind0", nullptr}, QImage(), "");
}
