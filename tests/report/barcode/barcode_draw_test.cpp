// Where and how the bars are painted, on a recording canvas.

#include "report/barcode/barcode.h"

#include "platform/gdi/recording_canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace {

using gdi::RecordingCanvas;
using gdi::TRect;

std::vector<const gdi::CanvasRecord*> Polygons(const RecordingCanvas& canvas) {
    std::vector<const gdi::CanvasRecord*> out;
    for (const auto& r : canvas.Records())
        if (r.Call.rfind("Polygon(", 0) == 0) out.push_back(&r);
    return out;
}

TRect Union(const std::vector<const gdi::CanvasRecord*>& records) {
    TRect u = records.front()->Bounds;
    for (const auto* r : records) {
        u.Left = std::min(u.Left, r->Bounds.Left);
        u.Top = std::min(u.Top, r->Bounds.Top);
        u.Right = std::max(u.Right, r->Bounds.Right);
        u.Bottom = std::max(u.Bottom, r->Bounds.Bottom);
    }
    return u;
}

TEST(BarcodeDraw, RotatedBoxStaysRightOfAndBelowTheOrigin) {
    struct Case {
        double angle;
        TRect box; // relative to (Left, Top); right and bottom exclusive
    };
    // EAN-13: 95 units long, 50 high; the bar at 0 lies on the reading start.
    const Case cases[] = {
        {0, {0, 0, 95, 51}},
        {90, {0, 1, 51, 96}},
        {180, {1, 0, 96, 51}},
        {270, {0, 0, 51, 95}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        TfrBarcode b;
        b.SetText("590123412345");
        b.SetCheckSum(true);
        b.SetHeight(50);
        b.SetLeft(7);
        b.SetTop(11);
        b.SetAngle(c.angle);
        RecordingCanvas canvas;
        b.DrawBarcode(canvas);
        const auto polygons = Polygons(canvas);
        ASSERT_EQ(polygons.size(), 59u); // every bar and space of the 59 elements
        EXPECT_EQ(Union(polygons),
                  (TRect{7 + c.box.Left, 11 + c.box.Top, 7 + c.box.Right, 11 + c.box.Bottom}));
    }
}

TEST(BarcodeDraw, ColoursShortBarsAndCanvasToolsKept) {
    TfrBarcode b;
    b.SetTyp(bcCodePostNet);
    b.SetText("1"); // frame bar, space, then short bars
    b.SetHeight(50);
    b.SetColor(gdi::clYellow);
    b.SetColorBar(gdi::clNavy);

    RecordingCanvas canvas;
    gdi::TFont font;
    font.Name = "Courier New";
    font.Height = -12;
    canvas.SetFont(font);
    canvas.SetPen(gdi::TPen{gdi::clRed, 3, gdi::psDash, gdi::pmCopy});
    canvas.SetBrush(gdi::TBrush{gdi::clGreen, gdi::bsCross, {}});
    const gdi::TFont fontBefore = canvas.Font();
    const gdi::TPen penBefore = canvas.Pen();
    const gdi::TBrush brushBefore = canvas.Brush();

    b.DrawBarcode(canvas);
    const auto polygons = Polygons(canvas);
    ASSERT_GE(polygons.size(), 3u);
    EXPECT_NE(polygons[0]->Call.find("pen{$800000,1,psSolid} brush{$800000,bsSolid}"),
              std::string::npos)
        << polygons[0]->Call;
    EXPECT_NE(polygons[1]->Call.find("pen{$00FFFF,1,psSolid} brush{$00FFFF,bsSolid}"),
              std::string::npos)
        << polygons[1]->Call;
    EXPECT_EQ(polygons[0]->Bounds, (TRect{0, 0, 1, 51})); // tall bar
    EXPECT_EQ(polygons[2]->Bounds, (TRect{3, 0, 4, 21})); // short: 2/5 of 50, from the top
    EXPECT_EQ(canvas.Font(), fontBefore);
    EXPECT_EQ(canvas.Pen(), penBefore);
    EXPECT_EQ(canvas.Brush(), brushBefore);
}

TEST(BarcodeDraw, NegativeHeightGrowsUpFromTop) {
    TfrBarcode b;
    b.SetTyp(bcCodePostNet);
    b.SetText("1");
    b.SetTop(40);
    b.SetHeight(-40);
    RecordingCanvas canvas;
    b.DrawBarcode(canvas);
    const auto polygons = Polygons(canvas);
    ASSERT_GE(polygons.size(), 3u);
    EXPECT_EQ(polygons[0]->Bounds, (TRect{0, 0, 1, 41}));
    EXPECT_EQ(polygons[2]->Bounds, (TRect{3, 24, 4, 41})); // short bars stand on the baseline
}

TEST(BarcodeDraw, RefusedTextOrAnglePaintsNothing) {
    TfrBarcode b;
    b.SetTyp(bcCode39);
    b.SetText("lower case");
    b.SetHeight(20);
    RecordingCanvas canvas;
    EXPECT_THROW(b.DrawBarcode(canvas), EBarcodeError);
    b.SetText("UPPER CASE");
    b.SetAngle(std::numeric_limits<double>::quiet_NaN());
    EXPECT_THROW(b.DrawBarcode(canvas), EBarcodeError);
    EXPECT_TRUE(canvas.Records().empty());
}

} // namespace
