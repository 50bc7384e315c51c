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

// Splits CP936 bytes into characters: a lead byte takes the byte after it.
std::vector<std::string_view> SplitCharacters(std::string_view text) {
    std::vector<std::string_view> chars;
    chars.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t n = 1;
        if (text::IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) n = 2;
        chars.push_back(text.substr(i, n));
        i += n;
    }
    return chars;
}

// Windows' MulDiv: the product over the divisor, halves away from zero.
int MulDiv(int a, int b, int c) {
    if (c == 0) return 0;
    const long long p = static_cast<long long>(a) * b;
    const long long q = (std::llabs(p) * 2 + std::llabs(c)) / (2 * std::llabs(c));
    return static_cast<int>(((p < 0) != (c < 0)) ? -q : q);
}

// Keeps absurd sizes from a damaged template from reaching the font engine.
constexpr int kMaxCharHeight = 20000;

} // namespace

int Canvas::CharHeightPixels(const TFont& font) {
    int height = font.Height;
    if (height == 0) height = font.Size != 0 ? -MulDiv(font.Size, PixelsPerInchY(), 72) : 0;
    int em;
    if (height < 0) {
        em = -height;
    } else if (height > 0) {
        // A cell height: scale by how much of the cell the character takes.
        TFont probe = font;
        probe.Height = -1000;
        const TTextMetric m = FontMetricsFor(probe);
        em = m.Height > 0 ? int(std::lround(height * 1000.0 / m.Height)) : height;
    } else {
        em = MulDiv(12, PixelsPerInchY(), 96); // the default character height
    }
    return std::clamp(em, 1, kMaxCharHeight);
}

std::vector<int> Canvas::Advances(std::string_view text, std::vector<std::string_view>* chars) {
    std::vector<std::string_view> parts = SplitCharacters(text);
    TFont font = font_;
    font.Height = -CharHeightPixels(font_);
    std::vector<int> advances;
    advances.reserve(parts.size());
    int breakIndex = 0;
    for (std::string_view ch : parts) {
        int a = CharAdvance(font, ch) + charExtra_;
        if (justifyBreaks_ > 0 && ch.size() == 1 && ch[0] == ' ') {
            a += justifyExtra_ / justifyBreaks_;
            if (breakIndex < std::abs(justifyExtra_ % justifyBreaks_))
                a += justifyExtra_ < 0 ? -1 : 1;
            ++breakIndex;
        }
        advances.push_back(a);
    }
    if (chars) *chars = std::move(parts);
    return advances;
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
    const std::vector<int> advances = Advances(text, nullptr);
    int width = 0;
    for (int a : advances) width += a;
    return TSize{width, TextMetrics().Height};
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
    TFont font = font_;
    font.Height = -CharHeightPixels(font_);
    return FontMetricsFor(font);
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
                                justifyBreaks_, textAlign_, penPos_, clip_, transform_, metaClip_});
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
