#pragma once
// The canvas on anything Qt can paint on: a QImage, a window, a QPrinter or a
// QPdfWriter. It draws in the painter's coordinates as device pixels.

#include "platform/gdi/canvas.h"

#include <QPainter>
#include <memory>

namespace gdi {

class QPainterCanvas : public Canvas {
public:
    // Paints through an active painter that the caller keeps. The resolution
    // is the painter's device's unless given.
    explicit QPainterCanvas(QPainter* painter, int dpiX = 0, int dpiY = 0);
    // Opens its own painter on `device` for as long as the canvas lives.
    explicit QPainterCanvas(QPaintDevice* device);
    ~QPainterCanvas() override;

    QPainter* Painter() const { return painter_; }

    int PixelsPerInchX() const override { return dpiX_; }
    int PixelsPerInchY() const override { return dpiY_; }
    TSize DeviceSize() const override;

    void LineTo(int x, int y) override;
    void Polyline(const std::vector<TPoint>& points) override;
    void Rectangle(const TRect& r) override;
    using Canvas::Rectangle;
    void FillRect(const TRect& r) override;
    // Many rectangles in the brush as one path: a PDF page gets one fill
    // per colour instead of one per bar.
    void FillRects(const std::vector<TRect>& rects);
    void FrameRect(const TRect& r) override;
    void Polygon(const std::vector<TPoint>& points) override;
    void Ellipse(const TRect& bounds) override;
    void SetPixel(int x, int y, TColor color) override;
    void InvertRect(const TRect& r) override;
    void ExtTextOut(int x, int y, unsigned options, const TRect* rect,
                    std::string_view text) override;
    void StretchDraw(const TRect& target, const QImage& image,
                     TStretchMode mode = smColorOnColor) override;
    using Canvas::StretchDraw;

protected:
    void ClipChanged() override;
    void TransformChanged() override;

private:
    bool IsRaster() const;
    // Strokes `path` with the pen, laying the background under styled pens.
    void StrokeWithPen(const QPainterPath& outline);
    // Fills `path` with the brush, laying the background under hatches.
    void FillWithBrush(const QPainterPath& path);
    // Fills `area` in the pen's colour and mode (exact one-pixel outlines).
    void FillWithPenColor(const QPainterPath& area);
    void ApplyPenMode();

    std::unique_ptr<QPainter> ownPainter_;
    QPainter* painter_ = nullptr;
    QTransform initial_;
    int dpiX_ = 96;
    int dpiY_ = 96;
    TextRun run_; // reused by every text output
};

} // namespace gdi
