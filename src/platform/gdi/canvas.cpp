#include "platform/gdi/canvas.h"

#include "platform/gdi/metafile.h"
#include "platform/text/cp936.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace gdi {

struct Canvas::SavedState {
    TPen pen;
    TBrush brush;
    TFont font;
    TBkMode bkMode;
    TColor bkColor;
    int charExtra;
    int justifyExtra;
    int justifyBreaks;
    unsigned textAlign;
    TPoint penPos;
    std::optional<QRegion> clip;
    QTransform transform;
    std::optional<QRegion> metaClip;
    int textDpi;
};

Canvas::Canvas() = default;
Canvas::~Canvas() = default;

void Canvas::SyncBackgroundToBrush() {
    if (brush_.Style == bsSolid && brush_.Pattern.isNull()) {
        bkMode_ = bkOpaque;
        bkColor_ = brush_.Color;
    } else {
        bkMode_ = bkTransparent;
    }
}

void Canvas::SetBrush(const TBrush& brush) {
    brush_ = brush;
    SyncBackgroundToBrush();
}

void Canvas::SetBrushColor(TColor c) {
    brush_.Color = c;
    if (brush_.Style == bsClear) brush_.Style = bsSolid;
    SyncBackgroundToBrush();
}

void Canvas::SetBrushStyle(TBrushStyle s) {
    brush_.Style = s;
    SyncBackgroundToBrush();
}

void Canvas::SetTextJustification(int extra, int breakCount) {
    if (breakCount <= 0) {
        justifyExtra_ = 0;
        justifyBreaks_ = 0;
    } else {
        justifyExtra_ = extra;
        justifyBreaks_ = breakCount;
    }
}

void Canvas::TextRect(const TRect& r, int x, int y, std::string_view text) {
    unsigned options = ETO_CLIPPED;
    if (brush_.Style != bsClear) options |= ETO_OPAQUE;
    ExtTextOut(x, y, options, &r, text);
}

namespace {

// Keeps absurd sizes from a damaged template from reaching the font engine.
constexpr int kMaxCharHeight = 20000;

int ClampedMulDiv(long long a, int b, int c) {
    if (c == 0) return 0;
    const long long p = a * b;
    const long long q = (std::llabs(p) * 2 + std::llabs(c)) / (2 * std::llabs(c));
    const long long r = ((p < 0) != (c < 0)) ? -q : q;
    return static_cast<int>(std::clamp<long long>(r, -0x7FFFFFFFLL, 0x7FFFFFFFLL));
}

} // namespace

int Canvas::LogicalCharHeight(const TFont& font) {
    const int dpi = std::max(1, TextDpiY());
    // No character may end up taller than kMaxCharHeight device pixels.
    const int maxEm =
        std::clamp(ClampedMulDiv(kMaxCharHeight, kMeasureDpi, dpi), 1, TextService::kMaxEm);
    const bool fixed = UsesFixedTextMetrics();
    TextService& service = TextService::Instance();
    int em;
    if (font.Height < 0) {
        em = ClampedMulDiv(-static_cast<long long>(font.Height), kMeasureDpi, dpi);
    } else if (font.Height > 0) {
        em = service.EmForCellHeight(font.Name, font.Bold, font.Italic,
                                     ClampedMulDiv(font.Height, kMeasureDpi, dpi), fixed);
    } else if (font.Size > 0) {
        em = ClampedMulDiv(font.Size, kMeasureDpi, 72);
    } else if (font.Size < 0) {
        em = service.EmForCellHeight(
            font.Name, font.Bold, font.Italic,
            ClampedMulDiv(-static_cast<long long>(font.Size), kMeasureDpi, 72), fixed);
    } else {
        em = 12; // the default character height
    }
    return std::clamp(em, 1, maxEm);
}

int Canvas::CharHeightPixels(const TFont& font) {
    const int dpi = TextDpiY();
    int em;
    if (font.Height < 0) {
        em = static_cast<int>(
            std::min<long long>(-static_cast<long long>(font.Height), kMaxCharHeight));
    } else if (font.Height == 0 && font.Size > 0) {
        em = ClampedMulDiv(font.Size, dpi, 72);
    } else {
        em = ClampedMulDiv(LogicalCharHeight(font), dpi, kMeasureDpi);
    }
    return std::clamp(em, 1, kMaxCharHeight);
}

const Canvas::DeviceFont& Canvas::CurrentFont() {
    const int dpiX = std::max(1, TextDpiX());
    const int dpiY = std::max(1, TextDpiY());
    if (deviceFont_.Face && deviceFontDpiX_ == dpiX && deviceFontDpiY_ == dpiY &&
        deviceFontFor_.Height == font_.Height && deviceFontFor_.Size == font_.Size &&
        deviceFontFor_.Bold == font_.Bold && deviceFontFor_.Italic == font_.Italic &&
        deviceFontFor_.Escapement == font_.Escapement && deviceFontFor_.Name == font_.Name)
        return deviceFont_;

    const int em = LogicalCharHeight(font_);
    TextService& service = TextService::Instance();
    DeviceFont f;
    f.Face = UsesFixedTextMetrics() ? service.FixedMetricsFont(em)
                                    : service.Font(font_.Name, em, font_.Bold, font_.Italic);
    // Text nearer to upright than to level runs along the device's y axis.
    const double angle = (font_.Escapement % 3600) / 10.0 * 3.14159265358979323846 / 180.0;
    const bool level = std::abs(std::cos(angle)) >= std::abs(std::sin(angle));
    const int along = level ? dpiX : dpiY;
    const int across = level ? dpiY : dpiX;
    const TTextMetric& m = f.Face->Metrics();
    f.Metrics.Height = MulDiv(m.Height, across, kMeasureDpi);
    f.Metrics.Ascent = MulDiv(m.Ascent, across, kMeasureDpi);
    f.Metrics.Descent = f.Metrics.Height - f.Metrics.Ascent;
    f.Metrics.InternalLeading = MulDiv(m.InternalLeading, across, kMeasureDpi);
    f.Metrics.ExternalLeading = MulDiv(m.ExternalLeading, across, kMeasureDpi);
    f.Metrics.AveCharWidth = MulDiv(m.AveCharWidth, along, kMeasureDpi);
    f.Metrics.MaxCharWidth = MulDiv(m.MaxCharWidth, along, kMeasureDpi);
    f.AlongDpi = along;
    f.PixelSize = double(f.Face->Em()) * across / kMeasureDpi;
    f.XScale = double(along) / across;
    deviceFont_ = std::move(f);
    deviceFontFor_ = font_;
    deviceFontDpiX_ = dpiX;
    deviceFontDpiY_ = dpiY;
    return deviceFont_;
}

void Canvas::TextLayout(std::string_view text, TextRun& run) {
    const DeviceFont& f = CurrentFont();
    f.Face->Layout(text, Spacing(), f.AlongDpi, run);
}

TextRun Canvas::TextLayout(std::string_view text) {
    TextRun run;
    TextLayout(text, run);
    return run;
}

TPoint Canvas::AlignmentOffset(int width, const TTextMetric& m) const {
    TPoint offset;
    if ((textAlign_ & TA_CENTER) == TA_CENTER) {
        offset.X = -width / 2;
    } else if (textAlign_ & TA_RIGHT) {
        offset.X = -width;
    }
    if ((textAlign_ & TA_BASELINE) == TA_BASELINE) {
        offset.Y = -m.Ascent;
    } else if (textAlign_ & TA_BOTTOM) {
        offset.Y = -m.Height;
    }
    return offset;
}

TSize Canvas::TextExtent(std::string_view text) {
    const DeviceFont& f = CurrentFont();
    return TSize{f.Face->Width(text, Spacing(), f.AlongDpi), f.Metrics.Height};
}

TSize Canvas::MultiLineTextExtent(std::string_view text) {
    TSize result;
    const int lineHeight = TextMetrics().Height;
    std::size_t start = 0;
    int lines = 0;
    while (true) {
        std::size_t end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
            end +=
                (text::IsLeadByte(static_cast<unsigned char>(text[end])) && end + 1 < text.size())
                    ? 2
                    : 1;
        }
        result.cx = std::max(result.cx, TextWidth(text.substr(start, end - start)));
        ++lines;
        if (end >= text.size()) break;
        if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
        // A break at the very end still starts an (empty) line, as DrawText counts it.
    }
    result.cy = lines * lineHeight;
    return result;
}

TTextMetric Canvas::TextMetrics() {
    return CurrentFont().Metrics;
}

// --- Clipping -----------------------------------------------------------------

void Canvas::SelectClipRegion(const QRegion& region) {
    QRegion mapped = transform_.isIdentity() ? region : transform_.map(region);
    if (metaClip_) mapped &= *metaClip_;
    clip_ = mapped;
    ClipChanged();
}

void Canvas::IntersectClipRect(const TRect& r) {
    QRegion mapped =
        transform_.isIdentity() ? QRegion(ToQRect(r)) : transform_.map(QRegion(ToQRect(r)));
    if (clip_) {
        clip_ = *clip_ & mapped;
    } else {
        clip_ = metaClip_ ? (*metaClip_ & mapped) : mapped;
    }
    ClipChanged();
}

void Canvas::ExcludeClipRect(const TRect& r) {
    QRegion mapped =
        transform_.isIdentity() ? QRegion(ToQRect(r)) : transform_.map(QRegion(ToQRect(r)));
    const TSize size = DeviceSize();
    QRegion base = clip_ ? *clip_ : QRegion(0, 0, size.cx, size.cy);
    clip_ = base - mapped;
    ClipChanged();
}

void Canvas::RemoveClipRegion() {
    clip_ = metaClip_;
    ClipChanged();
}

TRect Canvas::ClipBox() const {
    QRect box;
    if (clip_) {
        box = clip_->boundingRect();
    } else {
        const TSize size = DeviceSize();
        box = QRect(0, 0, size.cx, size.cy);
    }
    if (!transform_.isIdentity()) box = transform_.inverted().mapRect(box);
    return FromQRect(box);
}

bool Canvas::RectVisible(const TRect& r) const {
    if (r.IsEmpty()) return false;
    QRect q = ToQRect(r);
    if (!transform_.isIdentity()) q = transform_.mapRect(q);
    if (clip_) return clip_->intersects(q);
    const TSize size = DeviceSize();
    return QRect(0, 0, size.cx, size.cy).intersects(q);
}

int Canvas::SaveDC() {
    saved_.push_back(SavedState{pen_, brush_, font_, bkMode_, bkColor_, charExtra_, justifyExtra_,
                                justifyBreaks_, textAlign_, penPos_, clip_, transform_, metaClip_,
                                textDpi_});
    return static_cast<int>(saved_.size());
}

bool Canvas::RestoreDC(int level) {
    const int count = static_cast<int>(saved_.size());
    const int target = level < 0 ? count + level + 1 : level;
    if (target < 1 || target > count) return false;
    const bool transformDiffers = saved_[target - 1].transform != transform_;
    SavedState s = std::move(saved_[target - 1]);
    saved_.resize(target - 1);
    pen_ = s.pen;
    brush_ = s.brush;
    font_ = s.font;
    bkMode_ = s.bkMode;
    bkColor_ = s.bkColor;
    charExtra_ = s.charExtra;
    justifyExtra_ = s.justifyExtra;
    justifyBreaks_ = s.justifyBreaks;
    textAlign_ = s.textAlign;
    penPos_ = s.penPos;
    clip_ = std::move(s.clip);
    transform_ = s.transform;
    metaClip_ = std::move(s.metaClip);
    textDpi_ = s.textDpi;
    if (transformDiffers) TransformChanged();
    ClipChanged();
    return true;
}

void Canvas::StretchDraw(const TRect& target, const Metafile& metafile) {
    if (metafile.Width() <= 0 || metafile.Height() <= 0 || target.IsEmpty()) return;
    const int level = SaveDC();
    const QTransform local(double(target.Width()) / metafile.Width(), 0, 0,
                           double(target.Height()) / metafile.Height(), target.Left, target.Top);
    // The picture starts with fresh drawing objects, and cannot paint outside
    // the clip it was played into.
    metaClip_ = clip_;
    transform_ = local * transform_;
    textDpi_ = metafile.Dpi();
    TransformChanged();
    pen_ = TPen{};
    brush_ = TBrush{};
    font_ = TFont{};
    bkMode_ = bkOpaque;
    bkColor_ = clWhite;
    charExtra_ = 0;
    justifyExtra_ = 0;
    justifyBreaks_ = 0;
    textAlign_ = TA_LEFT | TA_TOP;
    penPos_ = TPoint{};
    metafile.PlayOn(*this);
    RestoreDC(level);
}

} // namespace gdi
