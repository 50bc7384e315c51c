#include "model_test_support.h"

#include "platform/gdi/gui_app.h"
#include "platform/gdi/qpainter_canvas.h"
#include "platform/gdi/recording_canvas.h"
#include "platform/text/cp936.h"
#include "report/model/band_view.h"
#include "report/model/line_view.h"
#include "report/model/picture_view.h"
#include "report/model/sub_report_view.h"

#include <QBuffer>
#include <gmock/gmock.h>

using namespace model_test;
using gdi::RecordingCanvas;
using gdi::TRect;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class Painting : public ModelTest {
protected:
    RecordingCanvas canvas;
};

std::string Rect(const TRect& r) {
    return gdi::RectToText(r);
}

// A view that paints only its fill and frame.
class PlainView : public TfrView {
public:
    void Paint(gdi::Canvas& c) override {
        BeginPaint(c);
        ScaleForOutput();
        PaintFill();
        PaintFrame();
        RestoreGeometry();
    }
};

} // namespace

// ---------------------------------------------------------------------------
// Output geometry.

TEST_F(Painting, ScaleForOutputFollowsZoomShiftAndFrameWidth) {
    struct Case {
        bool output;
        double zoom;
        int shiftX, shiftY;
        double frameWidth;
        uint16_t frame;
        int left, top, width, height, gapX, gapY;
        TRect outputRect;
    };
    const Case cases[] = {
        // Width 1 at zoom 1: halves round to even, the gaps do not grow.
        {false, 1, 0, 0, 1, 15, 10, 20, 100, 30, 2, 1, {10, 20, 111, 51}},
        // Width 3: the horizontal gap grows by 2, the vertical one by half of that.
        {false, 1, 0, 0, 3, 15, 10, 20, 100, 30, 4, 2, {11, 21, 109, 49}},
        {false, 1, 0, 0, 3, 0, 10, 20, 100, 30, 4, 2, {10, 20, 111, 51}},
        // The designer ignores zoom and shift.
        {false, 2, 5, 7, 1, 15, 10, 20, 100, 30, 2, 1, {10, 20, 111, 51}},
        {true, 2, 5, 7, 1, 15, 25, 47, 200, 60, 5, 2, {25, 47, 225, 107}},
        // Ties go to the even neighbour: 7.5 -> 8, 22.5 -> 22, 45 -> 45.
        {true, 1.5, 0, 0, 1, 0, 15, 30, 150, 45, 4, 2, {15, 30, 166, 76}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "zoom " << c.zoom << " width " << c.frameWidth);
        frEngine().OutputMode = c.output;
        PlainView v;
        v.SetBounds(10, 20, 100, 30);
        v.ZoomX = v.ZoomY = c.zoom;
        v.ShiftX = c.shiftX;
        v.ShiftY = c.shiftY;
        v.FrameWidth = c.frameWidth;
        v.FrameTyp = c.frame;
        v.ScaleForOutput();
        EXPECT_EQ(v.Left, c.left);
        EXPECT_EQ(v.Top, c.top);
        EXPECT_EQ(v.Width, c.width);
        EXPECT_EQ(v.Height, c.height);
        EXPECT_EQ(v.GapX, c.gapX);
        EXPECT_EQ(v.GapY, c.gapY);
        EXPECT_EQ(Rect(v.OutputRect), Rect(c.outputRect));
        EXPECT_DOUBLE_EQ(v.FrameWidth, c.frameWidth * (c.output ? c.zoom : 1));
        v.RestoreGeometry();
        EXPECT_EQ(v.Left, 10);
        EXPECT_EQ(v.Top, 20);
        EXPECT_EQ(v.Width, 100);
        EXPECT_EQ(v.Height, 30);
        EXPECT_EQ(v.GapX, 2);
        EXPECT_EQ(v.GapY, 1);
        EXPECT_DOUBLE_EQ(v.FrameWidth, c.frameWidth);
    }
}

TEST_F(Painting, TransparentFillIsWhiteInTheDesignerAndNothingInOutput) {
    PlainView v;
    v.SetBounds(10, 20, 100, 30);
    v.Paint(canvas);
    EXPECT_EQ(canvas.Calls().front(), "FillRect(10,20,111,51) brush{$FFFFFF,bsSolid}");

    canvas.Clear();
    frEngine().OutputMode = true;
    v.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), IsEmpty());

    // A coloured fill in output covers the unshrunk rectangle.
    v.FillColor = gdi::clYellow;
    v.FrameTyp = 15;
    v.FrameWidth = 3;
    v.PaintFill(); // outside a paint: nothing scaled yet, so use Paint
    canvas.Clear();
    v.Paint(canvas);
    EXPECT_EQ(canvas.Calls().front(), "FillRect(10,20,110,50) brush{$00FFFF,bsSolid}");

    canvas.Clear();
    frEngine().ScriptPass = true;
    v.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), IsEmpty());
}

TEST_F(Painting, DesignerFrameHasCornerMarksAndItsLinesInOrder) {
    PlainView v;
    v.SetBounds(10, 20, 100, 30);
    v.FrameTyp = 15;
    v.FrameWidth = 3;
    v.FillColor = gdi::clYellow;
    v.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), ElementsAre("FillRect(11,21,109,49) brush{$00FFFF,bsSolid}",
                                            "LineTo(10,20) from (10,23) pen{$000000,1,psSolid}",
                                            "LineTo(14,20) from (10,20) pen{$000000,1,psSolid}",
                                            "LineTo(10,50) from (10,47) pen{$000000,1,psSolid}",
                                            "LineTo(14,50) from (10,50) pen{$000000,1,psSolid}",
                                            "LineTo(110,20) from (107,20) pen{$000000,1,psSolid}",
                                            "LineTo(110,24) from (110,20) pen{$000000,1,psSolid}",
                                            "LineTo(110,50) from (107,50) pen{$000000,1,psSolid}",
                                            "LineTo(110,46) from (110,50) pen{$000000,1,psSolid}",
                                            // right, left, bottom, top
                                            "LineTo(110,50) from (110,20) pen{$000000,3,psSolid}",
                                            "LineTo(10,50) from (10,20) pen{$000000,3,psSolid}",
                                            "LineTo(110,50) from (10,50) pen{$000000,3,psSolid}",
                                            "LineTo(110,20) from (10,20) pen{$000000,3,psSolid}"));
}

TEST_F(Painting, FrameEdgeCases) {
    PlainView v;
    v.FillColor = gdi::clWhite;
    // No corner marks for a view without area.
    v.SetBounds(10, 20, 0, 30);
    v.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), ElementsAre("FillRect(10,20,11,51) brush{$FFFFFF,bsSolid}"));

    // In output, no frame bits means no frame at all.
    canvas.Clear();
    frEngine().OutputMode = true;
    v.SetBounds(10, 20, 100, 30);
    v.FillColor = gdi::clNone;
    v.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), IsEmpty());

    // A double line: outer lines in the frame colour, the middle erased in the fill colour.
    v.FrameTyp = frftLeft;
    v.FrameStyle = frsDouble;
    v.FrameWidth = 2;
    v.FillColor = gdi::clYellow;
    canvas.Clear();
    v.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), ElementsAre("FillRect(10,20,110,50) brush{$00FFFF,bsSolid}",
                                            "LineTo(8,50) from (8,20) pen{$000000,2,psSolid}",
                                            "LineTo(10,50) from (10,20) pen{$00FFFF,2,psSolid}",
                                            "LineTo(12,50) from (12,20) pen{$000000,2,psSolid}"));

    // A dotted line 3 wide is three thin dotted lines.
    v.FrameTyp = frftTop;
    v.FrameStyle = 2;
    v.FrameWidth = 3;
    v.FillColor = gdi::clNone;
    canvas.Clear();
    v.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), ElementsAre("LineTo(110,19) from (10,19) pen{$000000,1,psDot}",
                                            "LineTo(110,20) from (10,20) pen{$000000,1,psDot}",
                                            "LineTo(110,21) from (10,21) pen{$000000,1,psDot}"));
}

TEST_F(Painting, ClipRegionCoversViewAndFrame) {
    struct Case {
        double width;
        uint16_t style;
        uint16_t frame;
        bool enlarge;
        TRect expected;
    };
    const Case cases[] = {
        {1, frsSolid, 0, false, {10, 20, 111, 51}},
        {1, frsSolid, 15, false, {10, 20, 111, 51}},
        // outer round(1.5) = 2, inner round(1) = 1
        {3, frsSolid, 15, false, {8, 18, 112, 52}},
        {3, frsSolid, frftRight | frftBottom, false, {10, 20, 112, 52}},
        // double: outer round(4.5) = 4, inner round(4) = 4
        {3, frsDouble, 15, false, {6, 16, 115, 55}},
        {1, frsSolid, 0, true, {0, 10, 121, 61}},
    };
    for (const Case& c : cases) {
        PlainView v;
        v.SetBounds(10, 20, 100, 30);
        v.FrameWidth = c.width;
        v.FrameStyle = c.style;
        v.FrameTyp = c.frame;
        const QRegion r = v.CreateClipRegion(c.enlarge);
        EXPECT_EQ(r.rectCount(), 1);
        EXPECT_EQ(Rect(gdi::Canvas::FromQRect(r.boundingRect())), Rect(c.expected))
            << c.width << " " << c.style << " " << c.frame;
    }
}

// ---------------------------------------------------------------------------
// Alignment inside the band.

namespace {

class Alignment : public Painting {
protected:
    void SetUp() override {
        Painting::SetUp();
        DesignerEditorHooks().DesignerPage = [this] { return &page; };
        auto& band = page.Add<TfrBandView>();
        band.FrameTyp = btMasterData;
        band.SetBounds(0, 100, 756, 40);
    }
    PlainView& Add(int left, int top, int width, uint8_t align) {
        auto& v = page.Add<PlainView>();
        v.SetBounds(left, top, width, 10);
        v.BandAlign = align;
        return v;
    }
    FakePage page; // limits 36 .. 720
};

} // namespace

TEST_F(Alignment, PlacesTheViewAgainstItsNeighboursAndThePageLimits) {
    auto& leftMost = Add(300, 110, 50, baLeft);
    leftMost.Paint(canvas);
    EXPECT_EQ(leftMost.Left, 36);

    auto& next = Add(400, 110, 60, baLeft); // left neighbour: leftMost
    next.Paint(canvas);
    EXPECT_EQ(next.Left, 86);

    auto& right = Add(600, 110, 40, baRight);
    right.Paint(canvas);
    EXPECT_EQ(right.Left, 680);
    auto& beforeRight = Add(500, 110, 40, baRight); // right neighbour: right
    beforeRight.Paint(canvas);
    EXPECT_EQ(beforeRight.Left, 639);

    auto& rest = Add(200, 110, 5, baRest);
    rest.Paint(canvas);
    EXPECT_EQ(rest.Left, 146); // after next
    EXPECT_EQ(rest.Width, 639 - 146);

    auto& centred = Add(0, 200, 84, baCenter);
    centred.Paint(canvas);
    EXPECT_EQ(centred.Left, 36 + (684 - 84) / 2);

    auto& wide = Add(50, 120, 10, baWidth);
    wide.Paint(canvas);
    EXPECT_EQ(wide.Left, 36);
    EXPECT_EQ(wide.Width, 684);

    auto& bottom = Add(50, 105, 10, baBottom);
    bottom.Paint(canvas);
    EXPECT_EQ(bottom.Top, 130);
    auto& top = Add(60, 125, 10, baTop);
    top.Paint(canvas);
    EXPECT_EQ(top.Top, 100);
}

TEST_F(Alignment, WidthFollowsACrossTabBand) {
    auto& cross = page.Add<TfrBandView>();
    cross.FrameTyp = btCrossData;
    cross.SetBounds(200, 0, 80, 1000);
    auto& v = Add(210, 300, 10, baWidth);
    v.Paint(canvas);
    EXPECT_EQ(v.Left, 200);
    EXPECT_EQ(v.Width, 80);
}

TEST_F(Alignment, OutputModeUsesTheCurrentPage) {
    frEngine().OutputMode = true;
    FakePage current;
    current.leftLimit = 0;
    current.rightLimit = 500;
    frEngine().CurrentPage = &current;
    auto& v = Add(50, 120, 10, baWidth);
    v.Paint(canvas);
    EXPECT_EQ(v.Left, 0);
    EXPECT_EQ(v.Width, 499);
    // Bottom and top alignment wait for the band being output.
    auto& b = Add(50, 105, 10, baBottom);
    b.Paint(canvas);
    EXPECT_EQ(b.Top, 105);
}

TEST_F(Alignment, FindBandUnderTakesTheLastBandContainingTheCorner) {
    auto& second = page.Add<TfrBandView>();
    second.SetBounds(0, 140, 756, 20);
    auto& v = Add(10, 140, 10, baNone); // on the shared edge
    EXPECT_EQ(v.FindBandUnder(), &second);
    v.Top = 170;
    EXPECT_EQ(v.FindBandUnder(), nullptr);
}

// ---------------------------------------------------------------------------
// Names.

TEST_F(Painting, UniqueNamesSkipTakenOnesAndGiveUpAfter10000) {
    std::set<std::string> taken = {"Memo1", "Memo2"};
    TfrLineView stand;
    frReportLookups().FindObject = [&](const std::string& n) -> TfrView* {
        return taken.count(n) ? &stand : nullptr;
    };
    TfrMemoView memo;
    memo.CreateUniqueName();
    EXPECT_EQ(memo.Name, "Memo3");
    frReportLookups().FindObject = [&](const std::string&) -> TfrView* { return &stand; };
    memo.CreateUniqueName();
    EXPECT_EQ(memo.Name, "");
}

// ---------------------------------------------------------------------------
// Kinds.

TEST_F(Painting, LineTakesItsDirectionFromItsLongerSideAndKeepsIt) {
    TfrLineView line;
    line.SetBounds(10, 20, 100, 3);
    line.Paint(canvas);
    EXPECT_EQ(line.Height, 0);
    EXPECT_EQ(line.FrameTyp, frftTop);
    EXPECT_THAT(canvas.Calls(), ElementsAre("LineTo(110,20) from (10,20) pen{$000000,1,psSolid}"));

    TfrLineView vertical;
    vertical.SetBounds(10, 20, 5, 5);
    vertical.Paint(canvas);
    EXPECT_EQ(vertical.Width, 0);
    EXPECT_EQ(vertical.FrameTyp, frftLeft);
    EXPECT_EQ(vertical.CalcHeight(), 5);
    EXPECT_EQ(vertical.MeasureMinHeight(), 1);
    EXPECT_EQ(vertical.MeasureRemainder(), 0);
}

TEST_F(Painting, LineClipRegionWidensAcrossTheLine) {
    TfrLineView line;
    line.SetBounds(10, 20, 0, 50);
    line.FrameWidth = 3;
    line.FrameStyle = frsDouble; // outer trunc(4.5) = 4, inner trunc(1 + 3) = 4
    EXPECT_EQ(Rect(gdi::Canvas::FromQRect(line.CreateClipRegion(false).boundingRect())),
              "6,20,15,71");
    line.FrameTyp = frftTop;
    line.SetBounds(10, 20, 50, 0);
    line.FrameStyle = frsSolid; // outer trunc(1.5) = 1, inner 1
    EXPECT_EQ(Rect(gdi::Canvas::FromQRect(line.CreateClipRegion(true).boundingRect())),
              "0,9,71,32");
}

TEST_F(Painting, SubReportShowsItsNameInAWhiteBox) {
    TfrSubReportView sub;
    sub.Name = "SubReport1";
    sub.SetBounds(10, 20, 100, 30);
    sub.FrameWidth = 4;
    sub.Paint(canvas);
    EXPECT_EQ(sub.FrameWidth, 1);
    EXPECT_THAT(canvas.Calls(),
                ElementsAre("Rectangle(10,20,111,51) pen{$000000,1,psSolid} brush{$FFFFFF,bsSolid}",
                            "ExtTextOut(12,22,[clipped],(10,20,111,51),\"SubReport1\") "
                            "font{\"Arial\",-11,$000000} bk{opaque,$FFFFFF}"));
}

TEST_F(Painting, BandsSpanThePageAndCarryATitleTab) {
    FakePage page;
    DesignerEditorHooks().DesignerPage = [&] { return &page; };
    DesignerEditorHooks().BandHatch = QImage(8, 8, QImage::Format_Mono);
    TfrBandView band;
    band.FrameTyp = btMasterData;
    band.SetBounds(30, 100, 10, 40);
    band.Columns = 2;
    band.Paint(canvas);
    EXPECT_EQ(band.Left, 0);
    EXPECT_EQ(band.Width, 756);
    EXPECT_THAT(
        canvas.Calls(),
        ElementsAre("FillRect(0,100,757,141) brush{pattern 8x8}",
                    "Rectangle(0,100,757,141) pen{$FF00000F,1,psSolid} brush{$FFFFFF,bsClear}",
                    "Rectangle(36,100,236,140) pen{$000000,1,psDot} brush{$FFFFFF,bsClear}",
                    "Rectangle(256,100,456,140) pen{$000000,1,psDot} brush{$FFFFFF,bsClear}",
                    "FillRect(0,82,100,100) brush{$FF00000F,bsSolid}",
                    "LineTo(98,100) from (98,82) pen{$FF000010,1,psSolid}",
                    "LineTo(99,100) from (99,82) pen{$000000,1,psSolid}",
                    "TextOut(4,83,\"" + text::Cp936ToUtf8(frBandName(btMasterData)) +
                        "\") font{\"Arial\",-11,$000000} bk{transparent}"));
    EXPECT_EQ(frBandName(btMasterData), text::L("主项数据"));

    // The tab joins the clip region; without titles it does not.
    EXPECT_EQ(band.CreateClipRegion(false).boundingRect().top(), 82);
    DesignerEditorHooks().ShowBandTitles = false;
    EXPECT_EQ(band.CreateClipRegion(false).boundingRect().top(), 100);

    // Cross-tab bands run down the page with the title turned.
    canvas.Clear();
    TfrBandView cross;
    cross.FrameTyp = btCrossHeader;
    cross.SetBounds(300, 20, 60, 10);
    cross.Paint(canvas);
    EXPECT_EQ(cross.Top, 0);
    EXPECT_EQ(cross.Height, 1069);
    EXPECT_THAT(canvas.Calls().back(), ::testing::StartsWith("TextOut(302,94,"));
    EXPECT_THAT(canvas.Calls().back(), ::testing::HasSubstr("esc900"));
}

// ---------------------------------------------------------------------------
// Pictures.

namespace {

std::string BmpBytes(int w, int h, QImage::Format format = QImage::Format_RGB32,
                     QRgb color = qRgb(255, 0, 0)) {
    QImage img(w, h, format);
    if (format == QImage::Format_Mono) {
        img.fill(0);
    } else {
        img.fill(color);
    }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "BMP");
    return bytes.toStdString();
}

} // namespace

TEST_F(Painting, PicturePlacement) {
    struct Case {
        uint16_t flags;
        int width, height; // the view's
        TRect target;      // for a 40 x 20 image
    };
    const Case cases[] = {
        {flStretched, 100, 30, {10, 20, 111, 51}},
        // Centring a stretched picture without keep aspect changes nothing.
        {flStretched | flPictCenter, 100, 30, {10, 20, 111, 51}},
        // kx 2.5 >= ky 1.5: the height decides.
        {flStretched | flPictRatio, 100, 30, {10, 20, 70, 51}},
        {flStretched | flPictRatio | flPictCenter, 100, 30, {30, 20, 90, 51}},
        // kx 0.75 < ky 5: the width decides.
        {flStretched | flPictRatio, 30, 100, {10, 20, 41, 35}},
        {flStretched | flPictRatio | flPictCenter, 30, 100, {10, 63, 41, 78}},
        {0, 100, 30, {10, 20, 50, 40}},
        {flPictCenter, 100, 30, {40, 25, 80, 45}},
    };
    for (const Case& c : cases) {
        TfrPictureView pict;
        pict.Picture.LoadFromBytes(TfrPictureKind::Bitmap, BmpBytes(40, 20));
        ASSERT_EQ(pict.Picture.Width(), 40);
        pict.Flags = c.flags;
        pict.SetBounds(10, 20, c.width, c.height);
        canvas.Clear();
        pict.Paint(canvas);
        EXPECT_THAT(canvas.Calls(), ::testing::Contains("StretchDraw(" + Rect(c.target) +
                                                        ",image 40x20,smColorOnColor)"))
            << c.flags << " " << c.width << "x" << c.height;
    }
}

TEST_F(Painting, PrintersGetSmoothedTrueColourAndNoIcons) {
    TfrPictureView pict;
    pict.SetBounds(0, 0, 40, 20);
    pict.Flags = flStretched;
    pict.PrinterOutput = true;
    frEngine().OutputMode = true;
    pict.Picture.LoadFromBytes(TfrPictureKind::Bitmap, BmpBytes(4, 2));
    pict.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), ElementsAre("StretchDraw(0,0,41,21,image 4x2,smHalftone)"));

    canvas.Clear();
    pict.Picture.LoadFromBytes(TfrPictureKind::Bitmap, BmpBytes(8, 2, QImage::Format_Mono));
    pict.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), ElementsAre("StretchDraw(0,0,41,21,image 8x2,smColorOnColor)"));

    // An icon shows in the preview but is not printed.
    QImage icon(16, 16, QImage::Format_ARGB32);
    icon.fill(qRgb(0, 128, 0));
    QByteArray ico;
    QBuffer buf(&ico);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(icon.save(&buf, "ICO"));
    pict.Picture.LoadFromBytes(TfrPictureKind::Icon, ico.toStdString());
    ASSERT_EQ(pict.Picture.Width(), 16);
    canvas.Clear();
    pict.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), IsEmpty());
    pict.PrinterOutput = false;
    pict.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), ElementsAre("StretchDraw(0,0,41,21,image 16x16,smColorOnColor)"));
}

TEST_F(Painting, EmptyPictureShowsAPlaceholderOnlyInTheDesigner) {
    TfrPictureView pict;
    pict.SetBounds(10, 20, 100, 30);
    pict.FillColor = gdi::clWhite;
    DesignerEditorHooks().EmptyPicture = QImage(16, 16, QImage::Format_RGB32);
    pict.Paint(canvas);
    const auto calls = canvas.Calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[1], "ExtTextOut(30,23,[clipped],(10,20,111,51),\"[图片]\") "
                        "font{\"Arial\",-11,$000000} bk{transparent}");
    EXPECT_EQ(calls[2], "StretchDraw(11,22,27,38,image 16x16,smColorOnColor)");

    canvas.Clear();
    frEngine().OutputMode = true;
    pict.Paint(canvas);
    EXPECT_THAT(canvas.Calls(), ElementsAre("FillRect(10,20,110,50) brush{$FFFFFF,bsSolid}"));
}

// ---------------------------------------------------------------------------
// On a real surface.

class RenderedViews : public gdi_test::GuiTest {
protected:
    void SetUp() override { frEngine() = TfrEngineState{}; }
    void TearDown() override { frEngine() = TfrEngineState{}; }
};

TEST_F(RenderedViews, FrameAndPicturePixelsLandWhereTheGeometrySays) {
    frEngine().OutputMode = true;
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        gdi::QPainterCanvas c(&image);
        PlainView framed;
        framed.SetBounds(10, 10, 50, 30);
        framed.FrameTyp = frftLeft | frftTop;
        framed.FrameColor = gdi::clBlue;
        framed.Paint(c);

        TfrPictureView pict;
        pict.SetBounds(100, 10, 80, 40);
        pict.Flags = flStretched | flPictRatio | flPictCenter;
        pict.Picture.LoadFromBytes(TfrPictureKind::Bitmap, BmpBytes(20, 20));
        pict.Paint(c);
    }
    EXPECT_EQ(image.pixel(10, 25), qRgb(0, 0, 255));     // left line
    EXPECT_EQ(image.pixel(30, 10), qRgb(0, 0, 255));     // top line
    EXPECT_EQ(image.pixel(60, 25), qRgb(255, 255, 255)); // no right line
    EXPECT_EQ(image.pixel(30, 40), qRgb(255, 255, 255)); // no bottom line
    // A square picture in an 81 x 41 box: 40 wide, centred at x 120..160.
    EXPECT_EQ(image.pixel(140, 30), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(121, 12), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(118, 30), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(162, 30), qRgb(255, 255, 255));
}

TEST_F(Painting, ObjectsPaintedAfterABandDoNotInheritItsHatch) {
    DesignerEditorHooks().BandHatch = QImage(8, 8, QImage::Format_Mono);
    TfrBandView band;
    band.FrameTyp = btMasterData;
    band.SetBounds(0, 100, 700, 40);
    band.Paint(canvas);
    PlainView v;
    v.SetBounds(10, 110, 50, 20);
    v.FillColor = gdi::clAqua;
    v.FrameTyp = frftLeft;
    v.FrameStyle = 1;
    v.FrameWidth = 0; // a hairline still shows
    canvas.Clear();
    v.Paint(canvas);
    const auto calls = canvas.Calls();
    EXPECT_EQ(calls.front(), "FillRect(10,110,61,131) brush{$FFFF00,bsSolid}");
    EXPECT_EQ(calls.back(), "LineTo(10,130) from (10,110) pen{$000000,1,psDash}");
}

TEST_F(Painting, ExpandTagEvaluatesEachBracketLeftToRight) {
    std::vector<std::string> asked;
    frEngineHooks().Calculate = [&](const std::string& e) -> rtl::TVariant {
        asked.push_back(e);
        return "<" + std::to_string(asked.size()) + ">";
    };
    PlainView v;
    // A trail byte that looks like "]" belongs to its character.
    std::string text = "a[x]\x81\x5D[IF([y] > 1, ']', 'z')]b[open";
    v.ExpandTag(text);
    EXPECT_EQ(text, "a<1>\x81\x5D<2>b[open");
    EXPECT_EQ(asked, (std::vector<std::string>{"x", "IF([y] > 1, ']', 'z')"}));
}
