#include "platform/gdi/recording_canvas.h"

#include "platform/text/cp936.h"

#include <QTransform>
#include <algorithm>
#include <cstdio>
#include <sstream>

namespace gdi {

std::string ColorToText(TColor color) {
    if (color == clNone) return "clNone";
    char buf[16];
    if (color & 0xFF000000u) {
        std::snprintf(buf, sizeof buf, "$%08X", unsigned(color));
    } else {
        std::snprintf(buf, sizeof buf, "$%06X", unsigned(color));
    }
    return buf;
}

namespace {

const char* PenStyleName(TPenStyle s) {
    switch (s) {
    case psSolid:
        return "psSolid";
    case psDash:
        return "psDash";
    case psDot:
        return "psDot";
    case psDashDot:
        return "psDashDot";
    case psDashDotDot:
        return "psDashDotDot";
    case psClear:
        return "psClear";
    case psInsideFrame:
        return "psInsideFrame";
    }
    return "?";
}

const char* BrushStyleName(TBrushStyle s) {
    switch (s) {
    case bsSolid:
        return "bsSolid";
    case bsClear:
        return "bsClear";
    case bsHorizontal:
        return "bsHorizontal";
    case bsVertical:
        return "bsVertical";
    case bsFDiagonal:
        return "bsFDiagonal";
    case bsBDiagonal:
        return "bsBDiagonal";
    case bsCross:
        return "bsCross";
    case bsDiagCross:
        return "bsDiagCross";
    }
    return "?";
}

std::string Quoted(std::string_view cp936) {
    return "\"" + text::Cp936ToUtf8(cp936) + "\"";
}

std::string PointsToText(const std::vector<TPoint>& points) {
    std::string s;
    for (const TPoint& p : points) {
        if (!s.empty()) s += ",";
        s += "(" + std::to_string(p.X) + "," + std::to_string(p.Y) + ")";
    }
    return s;
}

TRect PointsBounds(const std::vector<TPoint>& points, int grow) {
    if (points.empty()) return TRect{};
    TRect r{points[0].X, points[0].Y, points[0].X, points[0].Y};
    for (const TPoint& p : points) {
        r.Left = std::min(r.Left, p.X);
        r.Top = std::min(r.Top, p.Y);
        r.Right = std::max(r.Right, p.X);
        r.Bottom = std::max(r.Bottom, p.Y);
    }
    return TRect{r.Left - grow, r.Top - grow, r.Right + grow + 1, r.Bottom + grow + 1};
}

std::string BkToText(TBkMode mode, TColor color) {
    return mode == bkOpaque ? "bk{opaque," + ColorToText(color) + "}" : "bk{transparent}";
}

} // namespace

std::string PenToText(const TPen& pen) {
    std::string s = "pen{" + ColorToText(pen.Color) + "," + std::to_string(pen.Width) + "," +
                    PenStyleName(pen.Style);
    if (pen.Mode == pmXor) s += ",pmXor";
    if (pen.Mode == pmNot) s += ",pmNot";
    return s + "}";
}

std::string BrushToText(const TBrush& brush) {
    if (!brush.Pattern.isNull())
        return "brush{pattern " + std::to_string(brush.Pattern.width()) + "x" +
               std::to_string(brush.Pattern.height()) + "}";
    return "brush{" + ColorToText(brush.Color) + "," + BrushStyleName(brush.Style) + "}";
}

std::string FontToText(const TFont& font) {
    std::string s = "font{" + Quoted(font.Name) + ",";
    s += font.Height != 0 ? std::to_string(font.Height) : std::to_string(font.Size) + "pt";
    s += "," + ColorToText(font.Color);
    if (font.Bold) s += ",bold";
    if (font.Italic) s += ",italic";
    if (font.Underline) s += ",underline";
    if (font.StrikeOut) s += ",strikeout";
    if (font.Escapement != 0) s += ",esc" + std::to_string(font.Escapement);
    return s + "}";
}

std::string RectToText(const TRect& r) {
    return std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) +
           "," + std::to_string(r.Bottom);
}

// Everything a call may depend on, so a record replays the same elsewhere.
struct RecordingCanvas::State {
    TPen pen;
    TBrush brush;
    TBkMode bkMode;
    TColor bkColor;
    TFont font; // Height resolved at the recording device
    int charExtra;
    int justifyExtra;
    int justifyBreaks;
    unsigned textAlign;
    TPoint penPos;

    void ApplyTo(Canvas& c) const {
        c.SetPen(pen);
        c.SetBrush(brush);
        c.SetBkMode(bkMode);
        c.SetBkColor(bkColor);
        c.SetFont(font);
        c.SetTextCharacterExtra(charExtra);
        c.SetTextJustification(justifyExtra, justifyBreaks);
        c.SetTextAlign(textAlign);
        c.MoveTo(penPos.X, penPos.Y);
    }
};

RecordingCanvas::RecordingCanvas(TextMetricsSource metrics, int dpiX, int dpiY, TSize deviceSize)
    : metrics_(metrics), dpiX_(dpiX), dpiY_(dpiY), deviceSize_(deviceSize) {}

RecordingCanvas::State RecordingCanvas::Snapshot() {
    TFont font = Font();
    font.Height = -CharHeightPixels(Font());
    return State{Pen(),
                 Brush(),
                 BkMode(),
                 BkColor(),
                 font,
                 TextCharacterExtra(),
                 JustificationExtra(),
                 JustificationBreaks(),
                 TextAlign(),
                 PenPos()};
}

void RecordingCanvas::Record(std::string call, const TRect& bounds,
                             std::function<void(Canvas&)> draw, std::string text) {
    records_.push_back(CanvasRecord{std::move(call), std::move(text), bounds, std::move(draw)});
}

std::vector<std::string> RecordingCanvas::Calls() const {
    std::vector<std::string> calls;
    calls.reserve(records_.size());
    for (const CanvasRecord& r : records_) calls.push_back(r.Call);
    return calls;
}

std::string RecordingCanvas::Dump() const {
    std::string s;
    for (const CanvasRecord& r : records_) s += r.Call + "\n";
    return s;
}

void RecordingCanvas::LineTo(int x, int y) {
    const State st = Snapshot();
    const TPoint from = PenPos();
    Record("LineTo(" + std::to_string(x) + "," + std::to_string(y) + ") from (" +
               std::to_string(from.X) + "," + std::to_string(from.Y) + ") " + PenToText(st.pen),
           PointsBounds({from, TPoint{x, y}}, std::max(1, st.pen.Width) / 2),
           [st, x, y](Canvas& c) {
               st.ApplyTo(c);
               c.LineTo(x, y);
           });
    MoveTo(x, y);
}

void RecordingCanvas::Polyline(const std::vector<TPoint>& points) {
    const State st = Snapshot();
    Record("Polyline(" + PointsToText(points) + ") " + PenToText(st.pen),
           PointsBounds(points, std::max(1, st.pen.Width) / 2), [st, points](Canvas& c) {
               st.ApplyTo(c);
               c.Polyline(points);
           });
}

void RecordingCanvas::Rectangle(const TRect& r) {
    const State st = Snapshot();
    Record("Rectangle(" + RectToText(r) + ") " + PenToText(st.pen) + " " + BrushToText(st.brush), r,
           [st, r](Canvas& c) {
               st.ApplyTo(c);
               c.Rectangle(r);
           });
}

void RecordingCanvas::FillRect(const TRect& r) {
    const State st = Snapshot();
    Record("FillRect(" + RectToText(r) + ") " + BrushToText(st.brush), r, [st, r](Canvas& c) {
        st.ApplyTo(c);
        c.FillRect(r);
    });
}

void RecordingCanvas::FrameRect(const TRect& r) {
    const State st = Snapshot();
    Record("FrameRect(" + RectToText(r) + ") " + BrushToText(st.brush), r, [st, r](Canvas& c) {
        st.ApplyTo(c);
        c.FrameRect(r);
    });
}

void RecordingCanvas::Polygon(const std::vector<TPoint>& points) {
    const State st = Snapshot();
    Record("Polygon(" + PointsToText(points) + ") " + PenToText(st.pen) + " " +
               BrushToText(st.brush),
           PointsBounds(points, std::max(1, st.pen.Width) / 2), [st, points](Canvas& c) {
               st.ApplyTo(c);
               c.Polygon(points);
           });
}

void RecordingCanvas::Ellipse(const TRect& bounds) {
    const State st = Snapshot();
    Record("Ellipse(" + RectToText(bounds) + ") " + PenToText(st.pen) + " " + BrushToText(st.brush),
           bounds, [st, bounds](Canvas& c) {
               st.ApplyTo(c);
               c.Ellipse(bounds);
           });
}

void RecordingCanvas::SetPixel(int x, int y, TColor color) {
    Record("SetPixel(" + std::to_string(x) + "," + std::to_string(y) + "," + ColorToText(color) +
               ")",
           TRect{x, y, x + 1, y + 1}, [x, y, color](Canvas& c) { c.SetPixel(x, y, color); });
}

void RecordingCanvas::InvertRect(const TRect& r) {
    Record("InvertRect(" + RectToText(r) + ")", r, [r](Canvas& c) { c.InvertRect(r); });
}

void RecordingCanvas::ExtTextOut(int x, int y, unsigned options, const TRect* rect,
                                 std::string_view text) {
    const State st = Snapshot();
    const TTextMetric m = TextMetrics();
    const int width = TextWidth(text);

    // The rotated cell, for the bounds.
    const TPoint offset = AlignmentOffset(width, m);
    QTransform t;
    t.translate(x, y);
    t.rotate(-st.font.Escapement / 10.0);
    const QRect cell = t.mapRect(QRectF(offset.X, offset.Y, width, m.Height)).toAlignedRect();
    TRect bounds = FromQRect(cell);
    if (rect && (options & ETO_CLIPPED)) {
        bounds = TRect{std::max(bounds.Left, rect->Left), std::max(bounds.Top, rect->Top),
                       std::min(bounds.Right, rect->Right), std::min(bounds.Bottom, rect->Bottom)};
    }

    std::string call;
    if (options == 0 && rect == nullptr) {
        call = "TextOut(" + std::to_string(x) + "," + std::to_string(y) + "," + Quoted(text) + ")";
    } else {
        std::string opts;
        if (options & ETO_CLIPPED) opts += "clipped";
        if (options & ETO_OPAQUE) opts += std::string(opts.empty() ? "" : "|") + "opaque";
        if (options & ETO_RTLREADING) opts += std::string(opts.empty() ? "" : "|") + "rtl";
        call = "ExtTextOut(" + std::to_string(x) + "," + std::to_string(y) + ",[" + opts + "]," +
               (rect ? "(" + RectToText(*rect) + ")" : std::string("nil")) + "," + Quoted(text) +
               ")";
    }
    call += " " + FontToText(st.font) + " " + BkToText(st.bkMode, st.bkColor);
    if (st.charExtra != 0) call += " extra=" + std::to_string(st.charExtra);
    if (st.justifyBreaks != 0)
        call +=
            " justify=" + std::to_string(st.justifyExtra) + "/" + std::to_string(st.justifyBreaks);
    if (st.textAlign != 0) call += " align=" + std::to_string(st.textAlign);

    std::optional<TRect> r;
    if (rect) r = *rect;
    Record(
        std::move(call), bounds,
        [st, x, y, options, r, s = std::string(text)](Canvas& c) {
            st.ApplyTo(c);
            c.ExtTextOut(x, y, options, r ? &*r : nullptr, s);
        },
        std::string(text));
}

void RecordingCanvas::StretchDraw(const TRect& target, const QImage& image, TStretchMode mode) {
    Record("StretchDraw(" + RectToText(target) + ",image " + std::to_string(image.width()) + "x" +
               std::to_string(image.height()) +
               (mode == smHalftone ? ",smHalftone)" : ",smColorOnColor)"),
           target, [target, image, mode](Canvas& c) { c.StretchDraw(target, image, mode); });
}

void RecordingCanvas::StretchDraw(const TRect& target, const Metafile& metafile) {
    Record("StretchDraw(" + RectToText(target) + ",metafile " + std::to_string(metafile.Width()) +
               "x" + std::to_string(metafile.Height()) + ")",
           target, [target, metafile](Canvas& c) { c.StretchDraw(target, metafile); });
}

void RecordingCanvas::ClipChanged() {
    const std::optional<QRegion> clip = ClipRegion();
    std::string call = "Clip(";
    if (!clip) {
        call += "none";
    } else if (clip->rectCount() == 1) {
        call += RectToText(FromQRect(clip->boundingRect()));
    } else if (clip->isEmpty()) {
        call += "empty";
    } else {
        bool first = true;
        for (const QRect& q : *clip) {
            call += std::string(first ? "" : ",") + "(" + RectToText(FromQRect(q)) + ")";
            first = false;
        }
    }
    call += ")";
    Record(std::move(call), TRect{}, [clip](Canvas& c) {
        if (clip) {
            c.SelectClipRegion(*clip);
        } else {
            c.RemoveClipRegion();
        }
    });
}

MetafileCanvas::MetafileCanvas(int width, int height, int dpi)
    : RecordingCanvas(TextMetricsSource::Fonts, dpi, dpi, TSize{width, height}), width_(width),
      height_(height) {}

} // namespace gdi
