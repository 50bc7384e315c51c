#include "platform/gdi/qpainter_canvas.h"

#include "gui_app.h"
#include "platform/gdi/recording_canvas.h"
#include "platform/text/cp936.h"

#include <QDir>
#include <QFile>
#include <QPdfWriter>
#include <QPrinter>
#include <gtest/gtest.h>

using namespace gdi;
using text::L;

namespace {

class QPainterCanvasTest : public gdi_test::GuiTest {
protected:
    QImage image_{200, 120, QImage::Format_RGB32};
    void SetUp() override { image_.fill(Qt::white); }

    bool IsWhite(int x, int y) const { return image_.pixel(x, y) == qRgb(255, 255, 255); }
    QRgb At(int x, int y) const { return image_.pixel(x, y); }

    // The bounding box of every pixel that is not white.
    QRect Ink() const {
        QRect box;
        for (int y = 0; y < image_.height(); ++y)
            for (int x = 0; x < image_.width(); ++x)
                if (!IsWhite(x, y)) box |= QRect(x, y, 1, 1);
        return box;
    }
    int InkIn(const QRect& r) const {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                if (!IsWhite(x, y)) ++n;
        return n;
    }
};

TFont Song(int charHeight) {
    TFont f;
    f.Name = L("宋体");
    f.Height = -charHeight;
    return f;
}

} // namespace

TEST_F(QPainterCanvasTest, FillsAndOutlinesCoverExactlyTheirPixels) {
    {
        QPainterCanvas c(&image_);
        c.SetBrushColor(clRed);
        c.FillRect(Rect(2, 3, 12, 8));
        c.SetPenColor(clBlue);
        c.SetBrushColor(clLime);
        c.Rectangle(20, 20, 30, 26);
        // A bar as the barcode painter draws it: w = 3 columns.
        c.SetPenColor(clBlack);
        c.SetBrushColor(clBlack);
        c.Polygon({{50, 10}, {50, 40}, {52, 40}, {52, 10}});
        c.SetPenColor(clBlack);
        c.MoveTo(60, 5);
        c.LineTo(70, 5);
    }
    EXPECT_EQ(Ink(), QRect(QPoint(2, 3), QPoint(69, 40)));
    // The fill: right and bottom edges excluded.
    EXPECT_EQ(At(2, 3), qRgb(255, 0, 0));
    EXPECT_EQ(At(11, 7), qRgb(255, 0, 0));
    EXPECT_TRUE(IsWhite(12, 7));
    EXPECT_TRUE(IsWhite(11, 8));
    // The rectangle: outline in the pen on its outer pixels, inside in the brush.
    EXPECT_EQ(At(20, 20), qRgb(0, 0, 255));
    EXPECT_EQ(At(29, 25), qRgb(0, 0, 255));
    EXPECT_EQ(At(25, 23), qRgb(0, 255, 0));
    EXPECT_TRUE(IsWhite(30, 23));
    EXPECT_TRUE(IsWhite(25, 26));
    // The bar.
    EXPECT_TRUE(IsWhite(49, 20));
    for (int x = 50; x <= 52; ++x) EXPECT_EQ(At(x, 20), qRgb(0, 0, 0)) << x;
    EXPECT_TRUE(IsWhite(53, 20));
    // The line stops before its end point.
    EXPECT_FALSE(IsWhite(69, 5));
    EXPECT_TRUE(IsWhite(70, 5));
}

TEST_F(QPainterCanvasTest, ClippedFillDoesNotLeak) {
    {
        QPainterCanvas c(&image_);
        c.SaveDC();
        c.IntersectClipRect(Rect(10, 10, 30, 20));
        c.SetBrushColor(clBlack);
        c.FillRect(Rect(0, 0, 200, 120));
        c.RestoreDC();
        // After the restore nothing is clipped; an excluded hole stays empty.
        c.SetBrushColor(clBlack);
        c.ExcludeClipRect(Rect(110, 10, 120, 20));
        c.FillRect(Rect(100, 0, 130, 30));
    }
    EXPECT_EQ(InkIn(QRect(0, 0, 100, 120)), 20 * 10);
    EXPECT_FALSE(IsWhite(10, 10));
    EXPECT_FALSE(IsWhite(29, 19));
    EXPECT_TRUE(IsWhite(30, 19));
    EXPECT_TRUE(IsWhite(9, 10));
    EXPECT_EQ(InkIn(QRect(100, 0, 30, 30)), 30 * 30 - 10 * 10);
    EXPECT_TRUE(IsWhite(115, 15));
}

TEST_F(QPainterCanvasTest, StyledPensLeaveGapsButWidePensDrawSolid) {
    {
        QPainterCanvas c(&image_);
        c.SetBrushStyle(bsClear); // transparent background: gaps stay white
        for (TPenStyle style : {psSolid, psDash, psDot, psDashDot, psDashDotDot}) {
            const int y = 10 + 10 * style;
            c.SetPenStyle(style);
            c.MoveTo(0, y);
            c.LineTo(120, y);
        }
        c.SetPenStyle(psDot);
        c.SetPenWidth(3);
        c.MoveTo(0, 80);
        c.LineTo(120, 80);
        // Opaque background fills the gaps of a dotted pen.
        c.SetPen(TPen{clBlack, 1, psDot, pmCopy});
        c.SetBkMode(bkOpaque);
        c.SetBkColor(clRed);
        c.MoveTo(0, 100);
        c.LineTo(120, 100);
    }
    auto gaps = [&](int y) {
        int n = 0;
        for (int x = 0; x < 118; ++x) n += IsWhite(x, y) ? 1 : 0;
        return n;
    };
    EXPECT_EQ(gaps(10), 0);
    EXPECT_GT(gaps(20), 10); // dash
    EXPECT_GT(gaps(30), 40); // dot: every other few pixels
    EXPECT_GT(gaps(40), 10);
    EXPECT_GT(gaps(50), 10);
    EXPECT_EQ(gaps(80), 0);
    EXPECT_EQ(gaps(100), 0);
    int red = 0;
    for (int x = 0; x < 118; ++x) red += At(x, 100) == qRgb(255, 0, 0) ? 1 : 0;
    EXPECT_GT(red, 40);
}

TEST_F(QPainterCanvasTest, HatchBrushesDrawLinesOverOrOnTheBackground) {
    {
        QPainterCanvas c(&image_);
        c.SetBrush(TBrush{clBlack, bsHorizontal, {}});
        c.FillRect(Rect(0, 0, 40, 40));
        c.SetBrush(TBrush{clBlack, bsCross, {}});
        c.SetBkMode(bkOpaque);
        c.SetBkColor(clYellow);
        c.FillRect(Rect(50, 0, 90, 40));
    }
    const int ink = InkIn(QRect(0, 0, 40, 40));
    EXPECT_GT(ink, 0);
    EXPECT_LT(ink, 40 * 40 / 4); // one row in eight
    for (int y = 0; y < 40; ++y) EXPECT_EQ(InkIn(QRect(0, y, 40, 1)) % 40, 0) << y;
    int yellow = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 50; x < 90; ++x) yellow += At(x, y) == qRgb(255, 255, 0) ? 1 : 0;
    EXPECT_GT(yellow, 40 * 40 / 2);
    EXPECT_EQ(InkIn(QRect(50, 0, 40, 40)), 40 * 40);
}

TEST_F(QPainterCanvasTest, Cp936TextReachesTheImageInsideItsCell) {
    TTextMetric m;
    int width = 0;
    {
        QPainterCanvas c(&image_);
        c.SetFont(Song(24));
        c.SetBkMode(bkTransparent);
        width = c.TextWidth(L("条码打印"));
        m = c.TextMetrics();
        c.TextOut(20, 30, L("条码打印"));
    }
    EXPECT_EQ(width, 4 * 24);
    EXPECT_EQ(m.Height, 24); // the Song face's cell is its character height
    const QRect ink = Ink();
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(InkIn(ink), 200);
    EXPECT_TRUE(QRect(20, 30, width, m.Height).adjusted(-1, -1, 1, 1).contains(ink))
        << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
    EXPECT_GT(ink.width(), width * 3 / 4);
}

TEST_F(QPainterCanvasTest, ChineseIsAboutTwiceAsWideAsAsciiInSong) {
    QPainterCanvas c(&image_);
    c.SetFont(Song(20));
    const int chinese = c.TextWidth(L("中文条码"));
    const int ascii = c.TextWidth("abcd");
    ASSERT_GT(chinese, 0);
    ASSERT_GT(ascii, 0);
    EXPECT_GT(chinese, ascii * 16 / 10);
    EXPECT_LT(chinese, ascii * 25 / 10);
}

TEST_F(QPainterCanvasTest, RotatedTextStandsUpFromItsPoint) {
    int width = 0;
    {
        QPainterCanvas c(&image_);
        TFont f = Song(16);
        f.Escapement = 900;
        c.SetFont(f);
        c.SetBkMode(bkTransparent);
        width = c.TextWidth(L("条码12345"));
        c.TextOut(100, 110, L("条码12345"));
    }
    const QRect ink = Ink();
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_GT(ink.height(), 2 * ink.width());
    // Reading upwards: the cell lies above the point and to its right.
    EXPECT_TRUE(QRect(100, 110 - width, 16, width).adjusted(-1, -1, 1, 1).contains(ink))
        << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
}

TEST_F(QPainterCanvasTest, SpacingClippingAndOpaqueBackgroundOfText) {
    {
        QPainterCanvas c(&image_);
        TFont f;
        f.Name = "Arial";
        f.Height = -20;
        c.SetFont(f);
        c.SetBkMode(bkTransparent);
        const int plain = c.TextWidth("MMMM");
        c.SetTextCharacterExtra(5);
        EXPECT_EQ(c.TextWidth("MMMM"), plain + 20);
        c.SetTextCharacterExtra(0);
        // Clipped output: nothing outside the rectangle.
        const TRect r = Rect(10, 10, 30, 20);
        c.ExtTextOut(5, 5, ETO_CLIPPED, &r, "MMMMMMMM");
        // Opaque background: the whole cell takes the background colour.
        c.SetBkMode(bkOpaque);
        c.SetBkColor(clYellow);
        c.TextOut(100, 60, "i");
        const TSize cell = c.TextExtent("i");
        EXPECT_EQ(At(100, 60), qRgb(255, 255, 0));
        EXPECT_EQ(At(100 + cell.cx - 1, 60 + cell.cy - 1), qRgb(255, 255, 0));
    }
    EXPECT_GT(InkIn(QRect(10, 10, 20, 10)), 0);
    EXPECT_EQ(InkIn(QRect(0, 0, 90, 120)), InkIn(QRect(10, 10, 20, 10)));
}

TEST_F(QPainterCanvasTest, MetafileStretchesWithExactBarWidths) {
    // Bars 1 and 2 modules wide at x = 1 and x = 4, in a 10 x 5 picture.
    MetafileCanvas mf(10, 5);
    mf.SetPenColor(clBlack);
    mf.SetBrushColor(clBlack);
    mf.Polygon({{1, 0}, {1, 4}, {1, 4}, {1, 0}});
    mf.Polygon({{4, 0}, {4, 4}, {5, 4}, {5, 0}});
    {
        QPainterCanvas c(&image_);
        c.StretchDraw(Rect(20, 10, 60, 30), mf.GetMetafile()); // 4x horizontally and vertically
        c.SetBrushColor(clRed);
        c.FillRect(Rect(150, 100, 151, 101)); // the canvas is back to normal afterwards
    }
    std::string row;
    for (int x = 20; x < 60; ++x) row += IsWhite(x, 20) ? '.' : '#';
    EXPECT_EQ(row, "....####........########................");
    EXPECT_EQ(InkIn(QRect(0, 0, 200, 10)), 0);
    EXPECT_EQ(At(150, 100), qRgb(255, 0, 0));
    EXPECT_TRUE(IsWhite(151, 100));
}

TEST_F(QPainterCanvasTest, StretchesImagesAndKnowsItsResolution) {
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.setPixel(0, 0, qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(0, 255, 0));
    picture.setPixel(0, 1, qRgb(0, 0, 255));
    picture.setPixel(1, 1, qRgb(0, 0, 0));
    image_.setDotsPerMeterX(11811); // 300 dpi
    image_.setDotsPerMeterY(11811);
    {
        QPainterCanvas c(&image_);
        EXPECT_EQ(c.PixelsPerInchX(), 300);
        EXPECT_EQ(c.PixelsPerInchY(), 300);
        TFont f;
        f.Size = 12;
        c.SetFont(f);
        EXPECT_GE(c.TextMetrics().Height, 50); // 12 pt = 50 pixels of character height
        c.StretchDraw(Rect(10, 10, 30, 30), picture);
    }
    EXPECT_EQ(At(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(At(29, 10), qRgb(0, 255, 0));
    EXPECT_EQ(At(10, 29), qRgb(0, 0, 255));
    EXPECT_EQ(At(29, 29), qRgb(0, 0, 0));
    EXPECT_EQ(Ink(), QRect(10, 10, 20, 20));
}

TEST_F(QPainterCanvasTest, XorPenAndInvertUndoThemselves) {
    {
        QPainterCanvas c(&image_);
        c.SetPen(TPen{clWhite, 1, psSolid, pmXor});
        c.SetBrushStyle(bsClear);
        c.Rectangle(10, 10, 50, 50);
        EXPECT_EQ(At(10, 10), qRgb(0, 0, 0));
        c.Rectangle(10, 10, 50, 50);
        c.InvertRect(Rect(60, 60, 70, 70));
        EXPECT_EQ(At(65, 65), qRgb(0, 0, 0));
        c.InvertRect(Rect(60, 60, 70, 70));
        c.SetPixel(5, 5, clTeal);
    }
    EXPECT_EQ(Ink(), QRect(5, 5, 1, 1));
    EXPECT_EQ(At(5, 5), qRgb(0, 128, 128));
}

TEST_F(QPainterCanvasTest, DrawsOnAPdfWriterAndAPrinter) {
    auto draw = [](Canvas& c) {
        c.SetFont(Song(100));
        c.TextOut(200, 200, L("条码标签"));
        c.SetBrushColor(clBlack);
        c.Polygon({{200, 400}, {200, 800}, {220, 800}, {220, 400}});
    };
    const QString pdfPath = QDir(TEST_OUTPUT_DIR).filePath("gdi_canvas_writer.pdf");
    const QString printerPath = QDir(TEST_OUTPUT_DIR).filePath("gdi_canvas_printer.pdf");
    QFile::remove(pdfPath);
    QFile::remove(printerPath);
    {
        QPdfWriter writer(pdfPath);
        writer.setResolution(600);
        QPainterCanvas c(&writer);
        EXPECT_EQ(c.PixelsPerInchY(), 600);
        draw(c);
    }
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printerPath);
        QPainterCanvas c(&printer);
        EXPECT_EQ(c.PixelsPerInchX(), printer.resolution());
        EXPECT_GT(c.DeviceSize().cx, 1000);
        draw(c);
    }
    for (const QString& path : {pdfPath, printerPath}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_EQ(file.read(5), QByteArray("%PDF-"));
        EXPECT_GT(file.size(), 1000);
    }
}

TEST_F(QPainterCanvasTest, RightToLeftReadingReordersWithinTheSameCell) {
    TFont f;
    f.Name = "Arial";
    f.Height = -20;
    QImage ltr = image_.copy();
    const TRect cell = Rect(10, 10, 150, 40);
    {
        QPainterCanvas c(&ltr);
        c.SetFont(f);
        c.SetBkMode(bkTransparent);
        c.ExtTextOut(10, 10, ETO_CLIPPED, &cell, "(ABC)!");
    }
    {
        QPainterCanvas c(&image_);
        c.SetFont(f);
        c.SetBkMode(bkTransparent);
        c.ExtTextOut(10, 10, ETO_CLIPPED | ETO_RTLREADING, &cell, "(ABC)!");
    }
    EXPECT_GT(InkIn(QRect(10, 10, 140, 30)), 100);
    EXPECT_EQ(InkIn(QRect(0, 0, 200, 120)), InkIn(QRect(10, 10, 140, 30)));
    EXPECT_NE(ltr, image_); // the neutral "!" moves to the other end
}
