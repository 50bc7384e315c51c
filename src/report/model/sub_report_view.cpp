#include "report/model/sub_report_view.h"

TfrSubReportView::TfrSubReportView() {
    TypeCode = gtSubReport;
    BaseName = "SubReport";
}

void TfrSubReportView::Paint(gdi::Canvas& canvas) {
    BeginPaint(canvas);
    FrameWidth = 1;
    ScaleForOutput();
    canvas.SetBrush(gdi::TBrush{gdi::clWhite, gdi::bsSolid, {}});
    canvas.SetPen(gdi::TPen{gdi::clBlack, 1, gdi::psSolid, gdi::pmCopy});
    canvas.Rectangle(Left, Top, Left + Width + 1, Top + Height + 1);
    gdi::TFont font;
    font.Name = "Arial";
    font.Size = 8;
    font.Color = gdi::clBlack;
    canvas.SetFont(font);
    canvas.ExtTextOut(Left + 2, Top + 2, gdi::ETO_CLIPPED, &OutputRect, Name);
    RestoreGeometry();
}

void TfrSubReportView::ReadRecord(rtl::TStream& stream, int version) {
    TfrView::ReadRecord(stream, version);
    SubPage = stream.ReadInt32();
}

void TfrSubReportView::WriteToStream(rtl::TStream& stream) {
    TfrView::WriteToStream(stream);
    stream.WriteInt32(SubPage);
}
