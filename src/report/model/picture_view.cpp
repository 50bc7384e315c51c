#include "report/model/picture_view.h"

#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"

#include <QFileInfo>

using gdi::TRect;
using rtl::TVariant;

namespace {

// The picture's own record version (major × 10 + minor) that added BlobType.
constexpr int kRecordVersionBlobType = 11;

int RoundInt(double v) {
    return static_cast<int>(rtl::Round(v));
}

TfrPictureKind KindOfBlob(uint8_t blobType) {
    switch (blobType) {
    case btJPG:
        return TfrPictureKind::JPEG;
    case btICO:
        return TfrPictureKind::Icon;
    case btWMF:
        return TfrPictureKind::Metafile;
    default:
        return TfrPictureKind::Bitmap;
    }
}

} // namespace

TfrPictureView::TfrPictureView() {
    TypeCode = gtPicture;
    Flags = flStretched | flPictRatio;
    BaseName = "Picture";
    if (const auto& define = frEngineHooks().DefineConstant) {
        define("btBMP", TVariant(0));
        define("btJPG", TVariant(1));
        define("btICO", TVariant(2));
        define("btWMF", TVariant(3));
    }
}

const TfrPropertyTable& TfrPictureView::PropertyTable() {
    static const TfrPropertyTable table = [] {
        using Pict = TfrPictureView;
        TfrPropertyTableBuilder<Pict> t(TfrView::PropertyTable());
        // Scripts pass pictures by number: reading gives this picture's, and
        // writing copies the picture another one's number names.
        t.Add(
             "Picture", frdtHasEditor, [](Pict& p) { return TVariant(p.Picture.Handle()); },
             [](Pict& p, const TVariant& v) {
                 if (const TfrPicture* source = TfrPicture::FromHandle(v.AsInteger()))
                     p.Picture.Assign(*source);
             })
            .Editor(HookEditor(&TfrDesignerEditorHooks::EditPictureHook))
            .ReadsOtherForm();
        t.List("Stretched", "Stretched", frdtBoolean);
        t.FlagBit("Center", frdtBoolean, flPictCenter);
        t.FlagBit("KeepAspect", frdtBoolean, flPictRatio);
        t.List("DataField", "DataField", frdtOneObject | frdtHasEditor | frdtString)
            .Editor(HookEditor(&TfrDesignerEditorHooks::EditDataFieldHook));
        t.Field("BlobType", frdtEnum, &Pict::BlobType)
            .Choices("btBMP;btJPG;btICO;btWMF", {0, 1, 2, 3});
        return t.Build();
    }();
    return table;
}

TVariant TfrPictureView::CallMethod(const std::string& name, const TVariant& a1, const TVariant& a2,
                                    const TVariant& a3) {
    TVariant result = TfrView::CallMethod(name, a1, a2, a3);
    if (name == "LOADFROMFILE") {
        const std::string fileName = frCalculate(a1.AsString()).AsString();
        if (!fileName.empty() && QFileInfo::exists(text::Cp936ToQString(fileName))) {
            Picture.LoadFromFile(fileName);
        } else {
            Picture.Clear();
        }
    }
    return result;
}

void TfrPictureView::LoadFromBlob(const TfrBlobData& field) {
    if (field.IsNull) {
        Picture.Clear();
        return;
    }
    Picture.LoadFromBytes(KindOfBlob(BlobType), field.Bytes);
}

TRect TfrPictureView::ImageTarget() const {
    const double iw = Picture.Width();
    const double ih = Picture.Height();
    TRect r = OutputRect;
    if (Flags & flStretched) {
        if ((Flags & flPictRatio) && iw > 0 && ih > 0) {
            const double kx = Width / iw;
            const double ky = Height / ih;
            if (kx >= ky) {
                r.Right = r.Left + RoundInt(iw * ky);
            } else {
                r.Bottom = r.Top + RoundInt(ih * kx);
            }
            if (Flags & flPictCenter) {
                const int dx = (OutputRect.Width() - r.Width()) / 2;
                const int dy = (OutputRect.Height() - r.Height()) / 2;
                r = TRect{r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
            }
        }
        return r;
    }
    const int w = RoundInt(iw * ZoomX);
    const int h = RoundInt(ih * ZoomY);
    if (Flags & flPictCenter) {
        r.Left += (OutputRect.Width() - w) / 2;
        r.Top += (OutputRect.Height() - h) / 2;
    }
    return TRect{r.Left, r.Top, r.Left + w, r.Top + h};
}

void TfrPictureView::DrawImage(const TRect& target) {
    gdi::Canvas& c = *Canvas;
    switch (Picture.Kind()) {
    case TfrPictureKind::Metafile:
        // Kept for the template, but there is no metafile decoder to draw it.
        return;
    case TfrPictureKind::Icon:
        if (PrinterOutput) return; // icons are for the screen only
        break;
    default:
        break;
    }
    if (Picture.Image().isNull()) return;
    if (PrinterOutput) {
        // Printers get true-colour pixels, smoothed unless the picture is black and white.
        const bool mono = Picture.Image().format() == QImage::Format_Mono ||
                          Picture.Image().format() == QImage::Format_MonoLSB;
        const QImage rgb = Picture.Image().convertToFormat(QImage::Format_RGB888);
        c.StretchDraw(target, rgb, mono ? gdi::smColorOnColor : gdi::smHalftone);
    } else {
        c.StretchDraw(target, Picture.Image());
    }
}

void TfrPictureView::Paint(gdi::Canvas& canvas) {
    BeginPaint(canvas);
    ScaleForOutput();
    PaintFill();
    if (Picture.Empty()) {
        if (!frEngine().OutputMode) {
            gdi::TFont font;
            font.Name = "Arial";
            font.Size = 8;
            font.Color = gdi::clBlack;
            canvas.SetFont(font);
            canvas.SetBkMode(gdi::bkTransparent);
            canvas.ExtTextOut(Left + 20, Top + 3, gdi::ETO_CLIPPED, &OutputRect,
                              LoadResourceString(frsPicturePlaceholder));
            const QImage& placeholder = DesignerEditorHooks().EmptyPicture;
            if (!placeholder.isNull()) canvas.Draw(Left + 1, Top + 2, placeholder);
        }
    } else {
        DrawImage(ImageTarget());
    }
    PaintFrame();
    RestoreGeometry();
}

void TfrPictureView::ReadRecord(rtl::TStream& stream, int version) {
    TfrView::ReadRecord(stream, version);
    const uint8_t kind = stream.ReadByte();
    if (kind > static_cast<uint8_t>(TfrPictureKind::JPEG))
        throw rtl::EReadError("Unknown picture kind " + std::to_string(kind));
    if (StreamVersionMajor * 10 + StreamVersionMinor >= kRecordVersionBlobType)
        BlobType = stream.ReadByte();
    const int64_t end = stream.ReadInt32();
    const int64_t here = stream.Position();
    if (end < here || end > stream.Size()) throw rtl::EReadError("Picture data outside the stream");
    Picture.LoadFromBytes(static_cast<TfrPictureKind>(kind), stream.ReadBytes(end - here));
    stream.SetPosition(end);
}

void TfrPictureView::WriteToStream(rtl::TStream& stream) {
    TfrView::WriteToStream(stream);
    stream.WriteByte(static_cast<uint8_t>(Picture.Kind()));
    stream.WriteByte(BlobType);
    const int64_t placeholder = stream.Position();
    stream.WriteInt32(0);
    stream.WriteBytes(Picture.Bytes());
    const int64_t end = stream.Position();
    if (end > INT32_MAX) throw rtl::EWriteError("Picture data beyond 2 GB");
    stream.SetPosition(placeholder);
    stream.WriteInt32(static_cast<int32_t>(end));
    stream.Seek(0, rtl::TSeekOrigin::soEnd);
}

void TfrPictureView::OpenEditor() {
    if (DesignerEditorHooks().EditPictureHook) DesignerEditorHooks().EditPictureHook(*this);
}

void TfrPictureView::AddPopupItems(TfrPopupMenu& menu) {
    TfrView::AddPopupItems(menu);
    menu.push_back(FlagItem(LoadResourceString(frsPictureCenter), flPictCenter));
    TfrPopupItem ratio = FlagItem(LoadResourceString(frsKeepAspect), flPictRatio);
    ratio.Enabled = (Flags & flStretched) != 0;
    ratio.Checked = ratio.Enabled && (Flags & flPictRatio);
    menu.push_back(ratio);
}
