#include "platform/gdi/recording_canvas.h"

#include "platform/text/cp936.h"

#include <gtest/gtest.h>

using namespace gdi;
using text::L;

namespace {

TFont FixedFont(int charHeight) {
    TFont f;
    f.Name = "Arial";
    f.Height = -charHeight;
    return f;
}

} // namespace

TEST(RecordingCanvas, RecordsCallsWithTheStateTheyUsed) {
    RecordingCanvas c;
    c.SetPen(TPen{clRed, 2, psSolid, pmCopy});
    c.MoveTo(1, 2);
    c.LineTo(30, 2);
    c.SetBrushColor(clYellow);
    c.FillRect(Rect(0, 0, 10, 5));
    c.SetPenStyle(psDot);
    c.SetBrushStyle(bsClear);
    c.Rectangle(0, 0, 8, 8);
    c.Polygon({{0, 0}, {0, 9}, {2, 9}, {2, 0}});
    TFont f = FixedFont(12);
    f.Name = L("宋体");
    f.Bold = true;
    f.Escapement = 900;
    c.SetFont(f);
    c.SetBkMode(bkTransparent);
    c.SetTextCharacterExtra(2);
    c.TextOut(5, 40, L("条码"));
    const TRect clip = Rect(0, 0, 20, 10);
    c.ExtTextOut(1, 1, ETO_CLIPPED, &clip, "A");

    const std::vector<std::string> expected = {
        "LineTo(30,2) from (1,2) pen{$0000FF,2,psSolid}",
        "FillRect(0,0,10,5) brush{$00FFFF,bsSolid}",
        "Rectangle(0,0,8,8) pen{$0000FF,2,psDot} brush{$00FFFF,bsClear}",
        "Polygon((0,0),(0,9),(2,9),(2,0)) pen{$0000FF,2,psDot} brush{$00FFFF,bsClear}",
        "TextOut(5,40,\"条码\") font{\"宋体\",-12,$000000,bold,esc900} bk{transparent} extra=2",
        "ExtTextOut(1,1,[clipped],(0,0,20,10),\"A\") font{\"宋体\",-12,$000000,bold,esc900} "
        "bk{transparent} extra=2",
    };
    EXPECT_EQ(c.Calls(), expected) << c.Dump();
    EXPECT_EQ(c.Records()[4].Text, L("条码"));
    EXPECT_EQ(c.PenPos(), (TPoint{30, 2}));
}

TEST(RecordingCanvas, FixedMetricsWithSpacingAndJustification) {
    RecordingCanvas c;
    c.SetFont(FixedFont(20));
    // Single-byte characters are half as wide as double-byte ones.
    EXPECT_EQ(c.TextWidth("AB"), 20);
    EXPECT_EQ(c.TextWidth(L("条码")), 40);
    EXPECT_EQ(c.TextExtent(L("A条")), (TSize{30, 20}));
    EXPECT_EQ(c.TextMetrics(), (TTextMetric{20, 16, 4, 0, 0, 10, 20}));
    // Extra spacing comes after every character, a double-byte one counting once.
    c.SetTextCharacterExtra(3);
    EXPECT_EQ(c.TextWidth(L("A条")), 36);
    c.SetTextCharacterExtra(0);
    // Justification spreads the pixels over the blanks until it is cleared.
    c.SetTextJustification(7, 2);
    EXPECT_EQ(c.TextWidth("a b c"), 57);
    EXPECT_EQ(c.TextWidth("abc"), 30);
    c.SetTextJustification(0, 0);
    EXPECT_EQ(c.TextWidth("a b c"), 50);
    // A block of lines: the widest line, and every line's height.
    EXPECT_EQ(c.MultiLineTextExtent("ab\r\ncdef\nx"), (TSize{40, 60}));
    EXPECT_EQ(c.MultiLineTextExtent(""), (TSize{0, 20}));
}

TEST(RecordingCanvas, FontSizeInPointsFollowsTheDeviceResolution) {
    TFont f;
    f.Size = 9;
    RecordingCanvas screen;
    screen.SetFont(f);
    EXPECT_EQ(screen.TextMetrics().Height, 12);
    RecordingCanvas printer(TextMetricsSource::Fixed, 600, 600);
    printer.SetFont(f);
    EXPECT_EQ(printer.TextMetrics().Height, 75);
    // A damaged size never reaches the font engine as it is.
    f.Size = 2000000000;
    printer.SetFont(f);
    EXPECT_LE(printer.TextMetrics().Height, 20000);
    // The recorded font carries the height resolved on the recording device.
    f.Size = 9;
    printer.SetFont(f);
    printer.TextOut(0, 0, "x");
    EXPECT_NE(printer.Calls().back().find("font{\"Arial\",-75,"), std::string::npos);
}

TEST(RecordingCanvas, BrushSetsTheBackgroundAsTheOldCanvasDid) {
    RecordingCanvas c;
    c.SetBrushStyle(bsClear);
    EXPECT_EQ(c.BkMode(), bkTransparent);
    // Colouring a clear brush makes it solid, and the background opaque in it.
    c.SetBrushColor(clAqua);
    EXPECT_EQ(c.Brush().Style, bsSolid);
    EXPECT_EQ(c.BkMode(), bkOpaque);
    EXPECT_EQ(c.BkColor(), clAqua);
    c.SetBrush(TBrush{clBlack, bsDiagCross, {}});
    EXPECT_EQ(c.BkMode(), bkTransparent);
    // An explicit background mode holds until the brush changes again.
    c.SetBkMode(bkOpaque);
    EXPECT_EQ(c.BkMode(), bkOpaque);
}

TEST(RecordingCanvas, ClipRegionsAndSavedStates) {
    RecordingCanvas c(TextMetricsSource::Fixed, 96, 96, TSize{100, 50});
    EXPECT_EQ(c.ClipBox(), Rect(0, 0, 100, 50));
    const int level = c.SaveDC();
    c.SetPenColor(clRed);
    c.IntersectClipRect(Rect(10, 10, 40, 30));
    c.IntersectClipRect(Rect(20, 0, 60, 20));
    EXPECT_EQ(c.ClipBox(), Rect(20, 10, 40, 20));
    EXPECT_TRUE(c.RectVisible(Rect(0, 0, 21, 11)));
    EXPECT_FALSE(c.RectVisible(Rect(0, 0, 20, 50)));
    c.ExcludeClipRect(Rect(25, 0, 30, 50));
    EXPECT_FALSE(c.RectVisible(Rect(25, 12, 30, 18)));
    EXPECT_TRUE(c.RestoreDC(level));
    EXPECT_FALSE(c.HasClipRegion());
    EXPECT_EQ(c.Pen().Color, clBlack);
    EXPECT_FALSE(c.RestoreDC(level)); // nothing saved any more

    const std::vector<std::string> expected = {
        "Clip(10,10,40,30)",
        "Clip(20,10,40,20)",
        "Clip((20,10,25,20),(30,10,40,20))",
        "Clip(none)",
    };
    EXPECT_EQ(c.Calls(), expected);
}

TEST(RecordingCanvas, RotatedTextBoundsRunUpwardsFromThePoint) {
    RecordingCanvas c;
    TFont f = FixedFont(10);
    c.SetFont(f);
    c.TextOut(50, 50, "ABCD"); // 20 x 10
    f.Escapement = 900;
    c.SetFont(f);
    c.TextOut(50, 50, "ABCD");
    f.Escapement = 2700;
    c.SetFont(f);
    c.TextOut(50, 50, "ABCD");
    // The reference point can also be the cell's right end and baseline.
    f.Escapement = 0;
    c.SetFont(f);
    c.SetTextAlign(TA_RIGHT | TA_BASELINE);
    c.TextOut(50, 50, "ABCD");
    ASSERT_EQ(c.Records().size(), 4u);
    EXPECT_EQ(c.Records()[0].Bounds, Rect(50, 50, 70, 60));
    EXPECT_EQ(c.Records()[1].Bounds, Rect(50, 30, 60, 50));
    EXPECT_EQ(c.Records()[2].Bounds, Rect(40, 50, 50, 70));
    EXPECT_EQ(c.Records()[3].Bounds, Rect(30, 42, 50, 52));
}

TEST(RecordingCanvas, MetafilePlaysBackScaledIntoTheTarget) {
    MetafileCanvas mf(10, 5);
    mf.SetBrushColor(clBlack);
    mf.SetPenColor(clBlack);
    mf.Polygon({{2, 0}, {2, 4}, {3, 4}, {3, 0}});
    mf.IntersectClipRect(Rect(0, 0, 5, 5));
    const Metafile picture = mf.GetMetafile();
    EXPECT_EQ(picture.Width(), 10);
    EXPECT_EQ(picture.Records().size(), 2u);

    RecordingCanvas target;
    target.StretchDraw(Rect(100, 100, 140, 120), picture);
    ASSERT_EQ(target.Calls().size(), 1u);
    EXPECT_EQ(target.Calls()[0], "StretchDraw(100,100,140,120,metafile 10x5)");

    // Playing it directly repeats the calls, the clip in the picture's frame.
    RecordingCanvas plain;
    picture.PlayOn(plain);
    EXPECT_EQ(plain.Calls()[0],
              "Polygon((2,0),(2,4),(3,4),(3,0)) pen{$000000,1,psSolid} brush{$000000,bsSolid}");
    EXPECT_EQ(plain.Calls()[1], "Clip(0,0,5,5)");
}
