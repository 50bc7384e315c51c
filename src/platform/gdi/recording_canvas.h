#pragma once
// A canvas that draws nothing and records every call with its arguments and
// the drawing state it used, as a readable list tests can assert on. The same
// records replay onto another canvas, which makes it the metafile canvas too.

#include "platform/gdi/canvas.h"
#include "platform/gdi/metafile.h"

#include <functional>
#include <string>
#include <vector>

namespace gdi {

// How a recording canvas answers measuring calls.
enum class TextMetricsSource {
    // Fixed metrics, independent of installed fonts: for a character height
    // N, Height = N, Ascent = N - N / 5, Descent = N / 5, no leading, a
    // single-byte character is (N + 1) / 2 wide and a double-byte one N
    // (at 96 dpi; other resolutions scale these as every canvas does).
    Fixed,
    // The metrics of the real (substituted) fonts, exactly as QPainterCanvas
    // measures (both go through the TextService): for pictures that will be
    // played onto a real device, and for layout tests.
    Fonts
};

class RecordingCanvas : public Canvas {
public:
    explicit RecordingCanvas(TextMetricsSource metrics = TextMetricsSource::Fixed, int dpiX = 96,
                             int dpiY = 96, TSize deviceSize = TSize{32767, 32767});

    const std::vector<CanvasRecord>& Records() const { return records_; }
    // The readable form of every record, in order.
    std::vector<std::string> Calls() const;
    // The calls, one per line.
    std::string Dump() const;
    void Clear() { records_.clear(); }

    int PixelsPerInchX() const override { return dpiX_; }
    int PixelsPerInchY() const override { return dpiY_; }
    TSize DeviceSize() const override { return deviceSize_; }

    void LineTo(int x, int y) override;
    void Polyline(const std::vector<TPoint>& points) override;
    void Rectangle(const TRect& r) override;
    using Canvas::Rectangle;
    void FillRect(const TRect& r) override;
    void FrameRect(const TRect& r) override;
    void Polygon(const std::vector<TPoint>& points) override;
    void Ellipse(const TRect& bounds) override;
    void SetPixel(int x, int y, TColor color) override;
    void InvertRect(const TRect& r) override;
    void ExtTextOut(int x, int y, unsigned options, const TRect* rect,
                    std::string_view text) override;
    void StretchDraw(const TRect& target, const QImage& image,
                     TStretchMode mode = smColorOnColor) override;
    void StretchDraw(const TRect& target, const Metafile& metafile) override;

protected:
    bool UsesFixedTextMetrics() const override { return metrics_ == TextMetricsSource::Fixed; }
    void ClipChanged() override;

private:
    struct State;
    State Snapshot();
    void Record(std::string call, const TRect& bounds, std::function<void(Canvas&)> draw,
                std::string text = {});

    TextMetricsSource metrics_;
    int dpiX_;
    int dpiY_;
    TSize deviceSize_;
    std::vector<CanvasRecord> records_;
};

// Records a picture of a given frame size, measuring text with the real
// fonts so that positions computed while drawing hold when it is played.
class MetafileCanvas : public RecordingCanvas {
public:
    MetafileCanvas(int width, int height, int dpi = 96);
    Metafile GetMetafile() const { return Metafile(width_, height_, Records(), PixelsPerInchY()); }

private:
    int width_;
    int height_;
};

// Readable forms used in the records (and handy in test messages).
std::string ColorToText(TColor color);
std::string PenToText(const TPen& pen);
std::string BrushToText(const TBrush& brush);
std::string FontToText(const TFont& font);
std::string RectToText(const TRect& r);

} // namespace gdi
