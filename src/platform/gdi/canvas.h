#pragma once
// The surface every report object, the memo layout, the barcode painter and
// the preview draw on. It behaves like the Windows device context the report
// code was written against, so positions, widths and colours come out the same:
//
// - coordinates are whole device pixels, (0, 0) at the top-left, y downwards;
// - rectangles exclude their right and bottom edge; LineTo does not paint the
//   end point; a Polygon's outline is drawn with the pen and its inside filled
//   with the brush, so a bar polygon (x,0)-(x+w-1,h) with a 1-pixel pen is
//   exactly w pixels wide;
// - text is CP936 bytes, placed with its cell's top-left at the given point,
//   rotated counter-clockwise by the font's Escapement around that point;
// - a font's Height, when non-zero, is in pixels: negative is the character
//   (em) height, positive the cell height; with Height 0 the Size in points is
//   converted at the device's vertical resolution;
// - text is measured and its glyphs placed by the TextService at 96 dpi (the
//   character height rounded to whole 96-dpi pixels) and scaled to the device,
//   so every device gives the same line breaks and proportional positions;
//   character extra and justification are device pixels;
// - as on the old canvas, choosing a solid brush makes the background opaque in
//   the brush colour, any other brush makes it transparent; SetBkMode and
//   SetBkColor afterwards override that until the brush changes again. The
//   background fills text cells, the gaps of styled pens and hatch brushes;
// - styled pens (dash, dot, ...) wider than 1 pixel draw solid, as they did.
//
// Implementations: QPainterCanvas (screen, QImage, printer, PDF) and
// RecordingCanvas (records every call; also the metafile canvas).

#include "platform/gdi/colors.h"
#include "platform/gdi/font.h"
#include "platform/gdi/geometry.h"
#include "platform/gdi/text_service.h"

#include <QImage>
#include <QRegion>
#include <QTransform>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace gdi {

class Metafile;

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

// pmXor and pmNot only work on raster surfaces (screen, QImage); printers and
// PDF draw as pmCopy.
enum TPenMode { pmCopy, pmXor, pmNot };

struct TPen {
    TColor Color = clBlack;
    int Width = 1; // pixels; 0 draws 1 pixel wide
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
    friend bool operator==(const TPen&, const TPen&) = default;
};

enum TBrushStyle {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal, // "\\\\" lines
    bsBDiagonal, // "////" lines
    bsCross,
    bsDiagCross
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    // When set, a tiled pattern (aligned to the device origin) replaces the style.
    QImage Pattern;
    friend bool operator==(const TBrush& a, const TBrush& b) {
        return a.Color == b.Color && a.Style == b.Style && a.Pattern == b.Pattern;
    }
};

enum TBkMode { bkTransparent, bkOpaque };

// SetTextAlign flags: the reference point of TextOut is the cell's
// top/baseline/bottom and left/centre/right (in the rotated direction).
constexpr unsigned TA_LEFT = 0;
constexpr unsigned TA_RIGHT = 2;
constexpr unsigned TA_CENTER = 6;
constexpr unsigned TA_TOP = 0;
constexpr unsigned TA_BOTTOM = 8;
constexpr unsigned TA_BASELINE = 24;

// ExtTextOut options.
constexpr unsigned ETO_OPAQUE = 2;        // fill the rectangle with the background colour first
constexpr unsigned ETO_CLIPPED = 4;       // clip the text to the rectangle
constexpr unsigned ETO_RTLREADING = 0x80; // right-to-left reading order

enum TStretchMode {
    smColorOnColor, // nearest pixel: what the screen did
    smHalftone      // smoothed: what printing pictures did
};

class Canvas {
public:
    Canvas();
    virtual ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // --- The device -------------------------------------------------------
    virtual int PixelsPerInchX() const = 0;
    virtual int PixelsPerInchY() const = 0;

    // --- Drawing objects --------------------------------------------------
    const TPen& Pen() const { return pen_; }
    void SetPen(const TPen& pen) { pen_ = pen; }
    void SetPenColor(TColor c) { pen_.Color = c; }
    void SetPenWidth(int w) { pen_.Width = w; }
    void SetPenStyle(TPenStyle s) { pen_.Style = s; }
    void SetPenMode(TPenMode m) { pen_.Mode = m; }

    const TBrush& Brush() const { return brush_; }
    void SetBrush(const TBrush& brush);
    // As on the old canvas, giving a clear brush a colour makes it solid.
    void SetBrushColor(TColor c);
    void SetBrushStyle(TBrushStyle s);

    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font) { font_ = font; }
    TFont& MutableFont() { return font_; }

    TBkMode BkMode() const { return bkMode_; }
    void SetBkMode(TBkMode mode) { bkMode_ = mode; }
    TColor BkColor() const { return bkColor_; }
    void SetBkColor(TColor color) { bkColor_ = color; }

    // Extra pixels after every character (a double-byte character counts once),
    // in output and in measuring.
    int TextCharacterExtra() const { return charExtra_; }
    void SetTextCharacterExtra(int extra) { charExtra_ = extra; }
    // Spreads `extra` pixels over `breakCount` blanks of the following text
    // output and measuring, until called again with (0, 0). The first
    // extra % breakCount blanks get one pixel more.
    void SetTextJustification(int extra, int breakCount);
    int JustificationExtra() const { return justifyExtra_; }
    int JustificationBreaks() const { return justifyBreaks_; }

    unsigned TextAlign() const { return textAlign_; }
    void SetTextAlign(unsigned flags) { textAlign_ = flags; }

    // --- Lines and shapes (pen outlines, brush fills) ---------------------
    TPoint PenPos() const { return penPos_; }
    void MoveTo(int x, int y) { penPos_ = {x, y}; }
    virtual void LineTo(int x, int y) = 0; // the end point is not painted
    virtual void Polyline(const std::vector<TPoint>& points) = 0;
    virtual void Rectangle(const TRect& r) = 0;
    void Rectangle(int left, int top, int right, int bottom) {
        Rectangle(TRect{left, top, right, bottom});
    }
    virtual void FillRect(const TRect& r) = 0;  // brush only
    virtual void FrameRect(const TRect& r) = 0; // 1-pixel border in the brush
    virtual void Polygon(const std::vector<TPoint>& points) = 0;
    virtual void Ellipse(const TRect& bounds) = 0;
    virtual void SetPixel(int x, int y, TColor color) = 0;
    virtual void InvertRect(const TRect& r) = 0; // raster surfaces only

    // --- Text ---------------------------------------------------------------
    void TextOut(int x, int y, std::string_view text) { ExtTextOut(x, y, 0, nullptr, text); }
    // `rect` is used by ETO_OPAQUE and ETO_CLIPPED; it may be null without them.
    virtual void ExtTextOut(int x, int y, unsigned options, const TRect* rect,
                            std::string_view text) = 0;
    // Text clipped to `r`; the rectangle is filled first unless the brush is clear.
    void TextRect(const TRect& r, int x, int y, std::string_view text);

    // Measuring in device pixels with the current font, character extra and
    // justification. The extent of rotated text is along its own direction.
    // Every canvas measures on the 96-dpi surface of the TextService and
    // scales the result to its resolution, so the same text gives the same
    // figures on screen, printer, PDF and recorder alike (see text_service.h).
    //
    // Where output places each character: byte offsets, left edges and the
    // total width, along the text. Layout code keeps these running sums
    // instead of measuring growing prefixes.
    TextRun TextLayout(std::string_view text);
    void TextLayout(std::string_view text, TextRun& run);
    TSize TextExtent(std::string_view text);
    int TextWidth(std::string_view text) { return TextExtent(text).cx; }
    int TextHeight(std::string_view text) { return TextExtent(text).cy; }
    // A block of lines split at CR LF, CR or LF: the widest line and the
    // height of all lines.
    TSize MultiLineTextExtent(std::string_view text);
    TTextMetric TextMetrics();

    // --- Clipping and saved states -----------------------------------------
    // Regions are in device pixels. No clip region means nothing is clipped.
    void SelectClipRegion(const QRegion& region);
    void SelectClipRect(const TRect& r) { SelectClipRegion(QRegion(ToQRect(r))); }
    void IntersectClipRect(const TRect& r);
    void ExcludeClipRect(const TRect& r);
    void RemoveClipRegion();
    bool HasClipRegion() const { return clip_.has_value(); }
    std::optional<QRegion> ClipRegion() const { return clip_; }
    // The bounds of what can be painted (the whole device without a clip).
    TRect ClipBox() const;
    bool RectVisible(const TRect& r) const;

    // Saves pen, brush, font, background, text settings, pen position and clip.
    int SaveDC();
    // A negative level counts back from the top (-1: the last save).
    bool RestoreDC(int level = -1);

    // --- Pictures -----------------------------------------------------------
    void Draw(int x, int y, const QImage& image) {
        StretchDraw(TRect{x, y, x + image.width(), y + image.height()}, image, smColorOnColor);
    }
    virtual void StretchDraw(const TRect& target, const QImage& image,
                             TStretchMode mode = smColorOnColor) = 0;
    // Plays a recorded metafile scaled so that its frame fills `target`.
    virtual void StretchDraw(const TRect& target, const Metafile& metafile);

    // Device extent (pixels); used for ClipBox without a clip region.
    virtual TSize DeviceSize() const = 0;

    static QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
    static TRect FromQRect(const QRect& r) {
        return TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }

    // The font's character height in logical (96-dpi) pixels on this canvas:
    // a Height in pixels is converted from the canvas's resolution, a Size in
    // points is taken at 96 dpi directly.
    int LogicalCharHeight(const TFont& font);

protected:
    // The current font as this canvas measures and draws it.
    struct DeviceFont {
        FontHandle Face;      // on the 96-dpi measuring surface
        TTextMetric Metrics;  // in device pixels
        int AlongDpi = 96;    // resolution along the text: runs are laid out for it
        double PixelSize = 0; // the em in device pixels, across the text
        double XScale = 1;    // along / across resolution (1 on square pixels)
    };
    const DeviceFont& CurrentFont();
    TextSpacing Spacing() const { return TextSpacing{charExtra_, justifyExtra_, justifyBreaks_}; }
    // True where text uses the recorder's fixed metrics instead of fonts.
    virtual bool UsesFixedTextMetrics() const { return false; }
    // Called whenever the clip region changed (including restores).
    virtual void ClipChanged() {}
    // Logical-to-device mapping while a metafile plays; identity otherwise.
    virtual void TransformChanged() {}

    // Where a text cell of `width` starts relative to the reference point,
    // along the text's own axes, for the current SetTextAlign flags.
    TPoint AlignmentOffset(int width, const TTextMetric& m) const;
    // Character height in pixels of `font` at this device.
    int CharHeightPixels(const TFont& font);
    const QTransform& WorldTransform() const { return transform_; }

private:
    struct SavedState;
    void SyncBackgroundToBrush();
    // The resolution text is scaled for: the device's, or while a metafile
    // plays, the one it was recorded at (its coordinates are its own).
    int TextDpiX() const { return textDpi_ > 0 ? textDpi_ : PixelsPerInchX(); }
    int TextDpiY() const { return textDpi_ > 0 ? textDpi_ : PixelsPerInchY(); }

    TPen pen_;
    TBrush brush_;
    TFont font_;
    TBkMode bkMode_ = bkOpaque;
    TColor bkColor_ = clWhite;
    int charExtra_ = 0;
    int justifyExtra_ = 0;
    int justifyBreaks_ = 0;
    unsigned textAlign_ = TA_LEFT | TA_TOP;
    TPoint penPos_;
    std::optional<QRegion> clip_;
    // While a metafile plays: the mapping of its coordinates and the clip it
    // may not paint outside of.
    QTransform transform_;
    std::optional<QRegion> metaClip_;
    int textDpi_ = 0;
    std::vector<SavedState> saved_;
    // The last font resolved, for as long as nothing it depends on changes.
    TFont deviceFontFor_;
    int deviceFontDpiX_ = 0;
    int deviceFontDpiY_ = 0;
    DeviceFont deviceFont_;
};

} // namespace gdi
