#include "platform/gdi/qpainter_canvas.h"

#include "platform/text/cp936.h"

#include <QPaintEngine>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace gdi {

namespace {

QBrush MakeBrush(const TBrush& brush) {
    if (!brush.Pattern.isNull()) return QBrush(brush.Pattern);
    const QColor color = ToQColor(brush.Color);
    switch (brush.Style) {
    case bsSolid:
        return QBrush(color, Qt::SolidPattern);
    case bsClear:
        return QBrush(Qt::NoBrush);
    case bsHorizontal:
        return QBrush(color, Qt::HorPattern);
    case bsVertical:
        return QBrush(color, Qt::VerPattern);
    case bsFDiagonal:
        return QBrush(color, Qt::FDiagPattern);
    case bsBDiagonal:
        return QBrush(color, Qt::BDiagPattern);
    case bsCross:
        return QBrush(color, Qt::CrossPattern);
    case bsDiagCross:
        return QBrush(color, Qt::DiagCrossPattern);
    }
    return QBrush(Qt::NoBrush);
}

bool IsHatched(const TBrush& brush) {
    return brush.Pattern.isNull() && brush.Style != bsSolid && brush.Style != bsClear;
}

bool IsStyled(const TPen& pen) {
    return pen.Style == psDash || pen.Style == psDot || pen.Style == psDashDot ||
           pen.Style == psDashDotDot;
}

// Dash lengths of the old device's 1-pixel styled pens, stretched on
// high-resolution devices so dots stay visible on paper.
QVector<qreal> DashPattern(TPenStyle style, int dpi) {
    QVector<qreal> p;
    switch (style) {
    case psDash:
        p = {18, 6};
        break;
    case psDot:
        p = {3, 3};
        break;
    case psDashDot:
        p = {9, 6, 3, 6};
        break;
    case psDashDotDot:
        p = {9, 3, 3, 3, 3, 3};
        break;
    default:
        break;
    }
    const qreal scale = std::max(1, dpi / 96);
    for (qreal& v : p) v *= scale;
    return p;
}

QPen MakePen(const TPen& pen, int dpi, bool background = false, TColor bkColor = clWhite) {
    if (pen.Style == psClear) return QPen(Qt::NoPen);
    QPen q(ToQColor(background ? bkColor : pen.Color));
    if (pen.Width <= 0) {
        q.setWidth(1);
        q.setCosmetic(true);
    } else {
        q.setWidthF(pen.Width);
    }
    if (pen.Width > 1) {
        // Wide pens were geometric: round ends and joins, and never styled.
        q.setCapStyle(Qt::RoundCap);
        q.setJoinStyle(Qt::RoundJoin);
    } else {
        q.setCapStyle(Qt::FlatCap);
        q.setJoinStyle(Qt::RoundJoin);
        if (IsStyled(pen) && !background) q.setDashPattern(DashPattern(pen.Style, dpi));
    }
    return q;
}

bool IsSolidThin(const TPen& pen) {
    return (pen.Style == psSolid || pen.Style == psInsideFrame) && pen.Width <= 1;
}

// Four corners on two x and two y values, in drawing order (a bar).
bool IsAxisAlignedRectangle(const std::vector<TPoint>& p) {
    if (p.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const TPoint& a = p[i];
        const TPoint& b = p[(i + 1) % 4];
        if (a.X != b.X && a.Y != b.Y) return false;
    }
    return true;
}

QPointF Px(const TPoint& p) {
    return QPointF(p.X, p.Y);
}

} // namespace

QPainterCanvas::QPainterCanvas(QPainter* painter, int dpiX, int dpiY) : painter_(painter) {
    initial_ = painter_->worldTransform();
    QPaintDevice* device = painter_->device();
    dpiX_ = dpiX > 0 ? dpiX : (device ? device->logicalDpiX() : 96);
    dpiY_ = dpiY > 0 ? dpiY : (device ? device->logicalDpiY() : 96);
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
    painter_->setBrushOrigin(0, 0);
}

QPainterCanvas::QPainterCanvas(QPaintDevice* device)
    : ownPainter_(std::make_unique<QPainter>(device)) {
    painter_ = ownPainter_.get();
    initial_ = painter_->worldTransform();
    dpiX_ = device->logicalDpiX();
    dpiY_ = device->logicalDpiY();
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, true);
}

QPainterCanvas::~QPainterCanvas() {
    if (ownPainter_ && ownPainter_->isActive()) ownPainter_->end();
}

TSize QPainterCanvas::DeviceSize() const {
    QPaintDevice* device = painter_->device();
    if (!device) return TSize{};
    const QRect r = initial_.inverted().mapRect(QRect(0, 0, device->width(), device->height()));
    return TSize{r.width(), r.height()};
}

bool QPainterCanvas::IsRaster() const {
    QPaintEngine* engine = painter_->paintEngine();
    return engine && engine->type() == QPaintEngine::Raster;
}

void QPainterCanvas::ApplyPenMode() {
    if (!IsRaster()) return;
    switch (Pen().Mode) {
    case pmCopy:
        painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
        break;
    case pmXor:
        painter_->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        break;
    case pmNot:
        painter_->setCompositionMode(QPainter::RasterOp_NotDestination);
        break;
    }
}

void QPainterCanvas::StrokeWithPen(const QPainterPath& outline) {
    const TPen& pen = Pen();
    if (pen.Style == psClear) return;
    // A pen covers the pixel a coordinate names, [x, x + 1). Qt's one-pixel
    // lines already do; a wider or scaled stroke has its centre line moved to
    // the pixel centres, which keeps bar widths exact in a stretched picture.
    const QTransform& t = painter_->worldTransform();
    const double scale = std::sqrt(std::abs(t.determinant()));
    const bool thin = pen.Width <= 0 || pen.Width * scale <= 1.0;
    const QPainterPath path = thin ? outline : outline.translated(0.5, 0.5);
    painter_->save();
    painter_->setBrush(Qt::NoBrush);
    ApplyPenMode();
    if (IsStyled(pen) && pen.Width <= 1 && BkMode() == bkOpaque && pen.Mode == pmCopy) {
        painter_->setPen(MakePen(pen, dpiX_, true, BkColor()));
        painter_->drawPath(path);
    }
    painter_->setPen(MakePen(pen, dpiX_));
    painter_->drawPath(path);
    painter_->restore();
}

void QPainterCanvas::FillWithPenColor(const QPainterPath& area) {
    painter_->save();
    ApplyPenMode();
    painter_->setPen(Qt::NoPen);
    painter_->fillPath(area, ToQColor(Pen().Color));
    painter_->restore();
}

void QPainterCanvas::FillWithBrush(const QPainterPath& path) {
    const TBrush& brush = Brush();
    if (brush.Pattern.isNull() && brush.Style == bsClear) return;
    painter_->save();
    painter_->setPen(Qt::NoPen);
    if (IsHatched(brush) && BkMode() == bkOpaque) painter_->fillPath(path, ToQColor(BkColor()));
    painter_->fillPath(path, MakeBrush(brush));
    painter_->restore();
}

void QPainterCanvas::LineTo(int x, int y) {
    QPainterPath path(Px(PenPos()));
    path.lineTo(x, y);
    StrokeWithPen(path);
    MoveTo(x, y);
}

void QPainterCanvas::Polyline(const std::vector<TPoint>& points) {
    if (points.size() < 2) return;
    QPainterPath path(Px(points[0]));
    for (std::size_t i = 1; i < points.size(); ++i) path.lineTo(Px(points[i]));
    StrokeWithPen(path);
}

void QPainterCanvas::Rectangle(const TRect& r) {
    if (r.IsEmpty()) return;
    const TPen& pen = Pen();
    if (pen.Style == psClear) {
        // Without a pen the filled area is one pixel narrower and lower.
        QPainterPath fill;
        fill.addRect(QRectF(r.Left, r.Top, r.Width() - 1, r.Height() - 1));
        FillWithBrush(fill);
        return;
    }
    const QRectF outer(r.Left, r.Top, r.Width(), r.Height());
    if (IsSolidThin(pen)) {
        // Exact at any scale: a one-pixel frame and the brush inside it.
        QPainterPath inside;
        inside.addRect(outer.adjusted(1, 1, -1, -1));
        FillWithBrush(inside);
        QPainterPath frame;
        frame.addRect(outer);
        FillWithPenColor(frame.subtracted(inside));
        return;
    }
    const int w = std::max(1, pen.Width);
    QRectF outline(r.Left, r.Top, r.Width() - 1, r.Height() - 1);
    if (pen.Style == psInsideFrame && w > 1) {
        const qreal in = (w - 1) / 2.0;
        outline.adjust(in, in, -in, -in);
    }
    QPainterPath fill;
    fill.addRect(outer);
    FillWithBrush(fill);
    QPainterPath path;
    path.addRect(outline);
    StrokeWithPen(path);
}

void QPainterCanvas::FillRect(const TRect& r) {
    if (r.IsEmpty()) return;
    QPainterPath path;
    path.addRect(QRectF(r.Left, r.Top, r.Width(), r.Height()));
    FillWithBrush(path);
}

void QPainterCanvas::FillRects(const std::vector<TRect>& rects) {
    const TBrush& brush = Brush();
    if (brush.Pattern.isNull() && brush.Style == bsSolid) {
        // Plain rectangles: a PDF writes each as one short operator.
        QVector<QRectF> plain;
        plain.reserve(static_cast<qsizetype>(rects.size()));
        for (const TRect& r : rects)
            if (!r.IsEmpty()) plain.append(QRectF(r.Left, r.Top, r.Width(), r.Height()));
        if (plain.isEmpty()) return;
        painter_->save();
        painter_->setPen(Qt::NoPen);
        painter_->setBrush(MakeBrush(brush));
        painter_->drawRects(plain);
        painter_->restore();
        return;
    }
    QPainterPath path;
    path.setFillRule(Qt::WindingFill); // rectangles that touch or overlap fill as their union
    for (const TRect& r : rects)
        if (!r.IsEmpty()) path.addRect(QRectF(r.Left, r.Top, r.Width(), r.Height()));
    if (!path.isEmpty()) FillWithBrush(path);
}

void QPainterCanvas::FrameRect(const TRect& r) {
    if (r.IsEmpty()) return;
    QPainterPath path;
    path.addRect(QRectF(r.Left, r.Top, r.Width(), r.Height()));
    QPainterPath inner;
    inner.addRect(QRectF(r.Left + 1, r.Top + 1, r.Width() - 2, r.Height() - 2));
    FillWithBrush(path.subtracted(inner));
}

void QPainterCanvas::Polygon(const std::vector<TPoint>& points) {
    if (points.size() < 2) return;
    QPolygonF poly;
    for (const TPoint& p : points) poly << Px(p);
    const TPen& pen = Pen();
    const QRectF box = poly.boundingRect();
    if (IsAxisAlignedRectangle(points) && (pen.Style == psClear || IsSolidThin(pen))) {
        // Bars: pixel-exact at any scale. The outline covers the corner pixels
        // inclusively; without a pen the right and bottom edges stay out.
        if (pen.Style == psClear) {
            QPainterPath fill;
            fill.addRect(box);
            FillWithBrush(fill);
            return;
        }
        const QRectF outer = box.adjusted(0, 0, 1, 1);
        QPainterPath inside;
        if (box.width() >= 2 && box.height() >= 2) inside.addRect(outer.adjusted(1, 1, -1, -1));
        FillWithBrush(inside);
        QPainterPath frame;
        frame.addRect(outer);
        FillWithPenColor(frame.subtracted(inside));
        return;
    }
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addPolygon(poly);
    path.closeSubpath();
    FillWithBrush(path);
    StrokeWithPen(path);
}

void QPainterCanvas::Ellipse(const TRect& bounds) {
    if (bounds.IsEmpty()) return;
    QPainterPath path;
    path.addEllipse(QRectF(bounds.Left, bounds.Top, bounds.Width() - 1, bounds.Height() - 1));
    FillWithBrush(path);
    StrokeWithPen(path);
}

void QPainterCanvas::SetPixel(int x, int y, TColor color) {
    painter_->fillRect(QRectF(x, y, 1, 1), ToQColor(color));
}

void QPainterCanvas::InvertRect(const TRect& r) {
    if (r.IsEmpty() || !IsRaster()) return;
    painter_->save();
    painter_->setCompositionMode(QPainter::RasterOp_NotDestination);
    painter_->fillRect(QRectF(r.Left, r.Top, r.Width(), r.Height()), Qt::black);
    painter_->restore();
}

void QPainterCanvas::ExtTextOut(int x, int y, unsigned options, const TRect* rect,
                                std::string_view text) {
    const TFont& font = Font();
    const DeviceFont& f = CurrentFont();
    const TTextMetric& m = f.Metrics;
    TextLayout(text, run_);
    const int width = run_.Width;

    painter_->save();
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (rect && (options & ETO_OPAQUE) && !rect->IsEmpty())
        painter_->fillRect(QRectF(rect->Left, rect->Top, rect->Width(), rect->Height()),
                           ToQColor(BkColor()));
    if (rect && (options & ETO_CLIPPED)) {
        painter_->setClipRect(QRectF(rect->Left, rect->Top, rect->Width(), rect->Height()),
                              painter_->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    }
    painter_->translate(x, y);
    if (font.Escapement % 3600 != 0) painter_->rotate(-font.Escapement / 10.0);
    const TPoint offset = AlignmentOffset(width, m);
    painter_->translate(offset.X, offset.Y);
    if (BkMode() == bkOpaque && !text.empty())
        painter_->fillRect(QRectF(0, 0, width, m.Height), ToQColor(BkColor()));

    // Our own glyph placement: every glyph where the measurement put it.
    const QColor color = ToQColor(font.Color);
    const PlacedGlyphs glyphs = f.Face->Glyphs(text, run_, f.PixelSize, m.Ascent, f.XScale,
                                               (options & ETO_RTLREADING) != 0);
    if (!glyphs.Runs.empty()) {
        painter_->save();
        if (f.XScale != 1.0) painter_->scale(f.XScale, 1.0);
        painter_->setPen(color);
        for (const QGlyphRun& run : glyphs.Runs) painter_->drawGlyphRun(QPointF(0, 0), run);
        painter_->restore();
    }
    // Underline and strike-out run under the whole text, spacing included.
    if ((font.Underline || font.StrikeOut) && width > 0) {
        const double scale = f.PixelSize / f.Face->Em();
        const qreal lw = std::max<qreal>(1.0, std::round(f.Face->LineThickness() * scale));
        if (font.Underline)
            painter_->fillRect(
                QRectF(0, std::round(m.Ascent + f.Face->UnderlinePosition() * scale), width, lw),
                color);
        if (font.StrikeOut)
            painter_->fillRect(
                QRectF(0, std::round(m.Ascent - f.Face->StrikeOutPosition() * scale), width, lw),
                color);
    }
    painter_->restore();
}

void QPainterCanvas::StretchDraw(const TRect& target, const QImage& image, TStretchMode mode) {
    if (image.isNull() || target.IsEmpty()) return;
    painter_->save();
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, mode == smHalftone);
    painter_->drawImage(QRectF(target.Left, target.Top, target.Width(), target.Height()), image);
    painter_->restore();
}

void QPainterCanvas::ClipChanged() {
    const QTransform current = painter_->worldTransform();
    painter_->setWorldTransform(initial_);
    const std::optional<QRegion> clip = ClipRegion();
    if (clip) {
        painter_->setClipRegion(*clip);
    } else {
        painter_->setClipping(false);
    }
    painter_->setWorldTransform(current);
}

void QPainterCanvas::TransformChanged() {
    painter_->setWorldTransform(WorldTransform() * initial_);
}

} // namespace gdi
