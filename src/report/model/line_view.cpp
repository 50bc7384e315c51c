#include "report/model/line_view.h"

TfrLineView::TfrLineView() {
    TypeCode = gtLine;
    FrameTyp = frftLeft;
    FillColor = gdi::clWhite;
    BaseName = "Line";
}

const TfrPropertyTable& TfrLineView::PropertyTable() {
    static const TfrPropertyTable table = [] {
        TfrPropertyTableBuilder<TfrLineView> t(TfrStretcheable::PropertyTable());
        t.List("Stretched", "Stretched", frdtBoolean);
        return t.Build();
    }();
    return table;
}

void TfrLineView::Paint(gdi::Canvas& canvas) {
    BeginPaint(canvas);
    // The longer side decides the direction, and the object keeps it.
    if (Height < Width) {
        Height = 0;
        FrameTyp = frftTop;
    } else {
        Width = 0;
        FrameTyp = frftLeft;
    }
    ScaleForOutput();
    PaintFrame();
    RestoreGeometry();
}

QRegion TfrLineView::CreateClipRegion(bool enlarge) {
    const double w = FrameWidth;
    const bool isDouble = FrameStyle == frsDouble;
    const int outer = static_cast<int>(isDouble ? w * 1.5 : w / 2);
    const int inner = static_cast<int>((w - 1) / 2 + (isDouble ? w : 0));
    int left = Left, top = Top;
    int right = Left + Width + 1, bottom = Top + Height + 1;
    if (FrameTyp == frftLeft) {
        left -= outer;
        right += inner;
    } else {
        top -= outer;
        bottom += inner;
    }
    if (enlarge) {
        left -= 10;
        top -= 10;
        right += 10;
        bottom += 10;
    }
    return QRegion(gdi::Canvas::ToQRect(gdi::TRect{left, top, right, bottom}));
}
