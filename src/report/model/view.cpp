#include "report/model/view.h"

#include "platform/rtl/locale.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/band_view.h"
#include "report/model/stream_versions.h"

#include <algorithm>
#include <cmath>
#include <iterator>

using gdi::TRect;
using rtl::TVariant;

namespace {

int RoundInt(double v) {
    return static_cast<int>(rtl::Round(v));
}

} // namespace

TfrView::TfrView() {
    FormatCode = static_cast<unsigned char>(rtl::FormatSettings().DecimalSeparator) | (2 << 8);
}

TfrView::~TfrView() {
    if (frEngine().CurrentObject == this) frEngine().CurrentObject = nullptr;
}

std::function<void(TfrView&)> TfrView::HookEditor(TfrEditorHook TfrDesignerEditorHooks::*hook) {
    return [hook](TfrView& view) {
        const TfrEditorHook& h = DesignerEditorHooks().*hook;
        if (h) h(view);
    };
}

std::function<void()> TfrView::EditorFor(TfrEditorHook TfrDesignerEditorHooks::*hook) {
    return [this, edit = HookEditor(hook)] { edit(*this); };
}

const TfrPropertyTable& TfrView::PropertyTable() {
    static const TfrPropertyTable table = [] {
        TfrPropertyTableBuilder<TfrView> t(TfrObject::PropertyTable());
        // Band and sub-report objects list no frame, fill, tag or alignment;
        // scripts still reach those by name.
        const auto framed = [](const TfrView& v) { return v.HasFrameProperties(); };
        t.Field("Name", frdtString | frdtOneObject, &TfrView::Name);
        t.Field("Left", frdtSize, &TfrView::Left);
        t.Field("Top", frdtSize, &TfrView::Top);
        t.Field("Width", frdtSize, &TfrView::Width);
        t.Field("Height", frdtSize, &TfrView::Height);
        t.Field("Flags", 0, &TfrView::Flags);
        t.Field("FrameTyp", frdtInteger, &TfrView::FrameTyp).When(framed);
        t.Field("FrameWidth", frdtSize | frdtFloat, &TfrView::FrameWidth).When(framed);
        t.Field("FrameColor", frdtColor, &TfrView::FrameColor).When(framed);
        t.Field("FrameStyle", frdtEnum, &TfrView::FrameStyle)
            .When(framed)
            .Choices("psSolid;psDash;psDot;psDashDot;psDashDotDot;psDouble", {0, 1, 2, 3, 4, 5});
        t.Field("FillColor", frdtColor, &TfrView::FillColor).When(framed);
        t.Field("Tag", frdtOneObject | frdtHasEditor, &TfrView::Tag)
            .When(framed)
            .Editor(HookEditor(&TfrDesignerEditorHooks::EditTagHook));
        t.Field("BandAlign", frdtEnum, &TfrView::BandAlign)
            .When(framed)
            .Choices("baNone;baLeft;baRight;baCenter;baWidth;baBottom;baTop;baRest",
                     {0, 1, 2, 3, 4, 5, 6, 7});
        t.Field("Visible", frdtBoolean, &TfrView::Visible);
        t.Add(
             "Memo", frdtOneObject | frdtHasEditor,
             [](TfrView& v) { return TVariant(v.Memo.Text()); },
             [](TfrView& v, const TVariant& x) { v.Memo.SetText(x.AsString()); })
            .Editor(HookEditor(&TfrDesignerEditorHooks::EditMemoHook));
        // Read-only.
        t.Add("Memo.Count", 0, [](TfrView& v) { return TVariant(v.Memo.Count()); });
        // Changed through its editor only: scripts cannot reach it.
        t.Add("Restrictions", frdtHasEditor)
            .NotNamed()
            .Editor(HookEditor(&TfrDesignerEditorHooks::EditRestrictionsHook));
        // Reached by name only; kinds list some of them.
        t.Field("GapX", frdtInteger, &TfrView::GapX).NotListed();
        t.Field("GapY", frdtInteger, &TfrView::GapY).NotListed();
        t.FlagBit("Stretched", frdtBoolean, flStretched).NotListed();
        // Writes the whole text; reads its first line (the field's name).
        t.Add(
             "DataField", frdtString,
             [](TfrView& v) { return TVariant(v.Memo.Count() > 0 ? v.Memo[0] : std::string()); },
             [](TfrView& v, const TVariant& x) { v.Memo.SetText(x.AsString()); })
            .NotListed()
            .ReadsOtherForm();
        return t.Build();
    }();
    return table;
}

TVariant TfrView::CallMethod(const std::string& name, const TVariant& a1, const TVariant& a2,
                             const TVariant& a3) {
    TVariant result = CallListMethod(Memo, "MEMO", name, a1, a2, a3);
    if (name == "HIDE") {
        WriteProperty("Visible", TVariant(false));
    } else if (name == "SHOW") {
        WriteProperty("Visible", TVariant(true));
    }
    return result;
}

void TfrView::LoadFromBlob(const TfrBlobData&) {}

void TfrView::SetBounds(int left, int top, int width, int height) {
    Left = left;
    Top = top;
    Width = width;
    Height = height;
}

int TfrView::ScaledRight() const {
    return RoundInt((Kept.Left + Kept.Width) * ZoomX + ShiftX);
}

int TfrView::ScaledBottom() const {
    return RoundInt((Kept.Top + Kept.Height) * ZoomY + ShiftY);
}

TfrViewGeometry TfrView::Geometry() const {
    return TfrViewGeometry{Left, Top, Width, Height, GapX, GapY, FrameWidth};
}

void TfrView::SetGeometry(const TfrViewGeometry& g) {
    Left = g.Left;
    Top = g.Top;
    Width = g.Width;
    Height = g.Height;
    GapX = g.GapX;
    GapY = g.GapY;
    FrameWidth = g.FrameWidth;
}

void TfrView::ScaleForOutput() {
    Kept = Geometry();
    if (!frEngine().OutputMode) {
        ZoomX = ZoomY = 1.0;
        ShiftX = ShiftY = 0;
    }
    Left = RoundInt(Left * ZoomX) + ShiftX;
    Top = RoundInt(Top * ZoomY) + ShiftY;
    Width = RoundInt(Width * ZoomX);
    Height = RoundInt(Height * ZoomY);
    FrameWidth = FrameWidth * ZoomX;

    const double w = Kept.FrameWidth;
    const int hx = RoundInt(w * ZoomX / 2);
    const int hy = RoundInt(w * ZoomY / 2);
    const int ix = RoundInt((w * ZoomX - 1) / 2);
    const int iy = RoundInt((w * ZoomY - 1) / 2);
    // The vertical gap gains half of what the horizontal one gains.
    GapX = RoundInt(Kept.GapX * ZoomX) + hx;
    GapY = RoundInt(Kept.GapY * ZoomY) + hy / 2;

    int right = ScaledRight();
    int bottom = ScaledBottom();
    if (FrameTyp & frftRight) right -= hx;
    if (FrameTyp & frftBottom) bottom -= hy;
    int left = Left;
    int top = Top;
    if (FrameTyp & frftLeft) left += ix;
    if (FrameTyp & frftTop) top += iy;
    OutputRect = TRect{left, top, right + 1, bottom + 1};
}

void TfrView::RestoreGeometry() {
    SetGeometry(Kept);
}

void TfrView::PaintFill() {
    const TfrEngineState& st = frEngine();
    if (st.ScriptPass || !Canvas) return;
    if (st.OutputMode && FillColor == gdi::clNone) return;
    // A fresh brush: a pattern left by an earlier painter must not leak in.
    Canvas->SetBrush(
        gdi::TBrush{FillColor == gdi::clNone ? gdi::clWhite : FillColor, gdi::bsSolid, {}});
    Canvas->SetBkMode(gdi::bkOpaque);
    if (st.OutputMode) {
        Canvas->FillRect(TRect{Left, Top, ScaledRight(), ScaledBottom()});
    } else {
        Canvas->FillRect(OutputRect);
    }
}

void TfrView::DrawFrameLine(int x1, int y1, int x2, int y2) {
    gdi::Canvas& c = *Canvas;
    const bool vertical = x1 == x2;
    // A pen of width 0 still draws one pixel.
    const int w = std::max(1, c.Pen().Width);
    if (FrameStyle == frsDouble) {
        const int d = RoundInt(FrameWidth);
        const int dx = vertical ? d : 0;
        const int dy = vertical ? 0 : d;
        const gdi::TColor fill = FillColor == gdi::clNone ? gdi::clWhite : FillColor;
        c.MoveTo(x1 - dx, y1 - dy);
        c.LineTo(x2 - dx, y2 - dy);
        c.SetPenColor(fill);
        c.MoveTo(x1, y1);
        c.LineTo(x2, y2);
        c.SetPenColor(FrameColor);
        c.MoveTo(x1 + dx, y1 + dy);
        c.LineTo(x2 + dx, y2 + dy);
    } else if (c.Pen().Style != gdi::psSolid) {
        // Styled pens are only dashed one pixel wide: draw w thin lines instead.
        c.SetBrush(gdi::TBrush{FillColor, gdi::bsSolid, {}});
        c.SetPenWidth(1);
        for (int i = -(w / 2); i <= w - 1 - (w / 2); ++i) {
            c.MoveTo(x1 + (vertical ? i : 0), y1 + (vertical ? 0 : i));
            c.LineTo(x2 + (vertical ? i : 0), y2 + (vertical ? 0 : i));
        }
        c.SetPenWidth(w);
    } else {
        c.MoveTo(x1, y1);
        c.LineTo(x2, y2);
    }
}

void TfrView::PaintFrame() {
    const TfrEngineState& st = frEngine();
    if (st.ScriptPass || !Canvas) return;
    if (st.OutputMode && (FrameTyp & frftAll) == 0) return;
    gdi::Canvas& c = *Canvas;
    c.SetBrush(gdi::TBrush{c.Brush().Color, gdi::bsSolid, {}});
    c.SetPenStyle(gdi::psSolid);
    if (!st.OutputMode && Width > 0 && Height > 0) {
        const int l = Left, t = Top, r = Left + Width, b = Top + Height;
        c.SetPen(gdi::TPen{gdi::clBlack, 1, gdi::psSolid, gdi::pmCopy});
        c.MoveTo(l, t + 3);
        c.LineTo(l, t);
        c.LineTo(l + 4, t);
        c.MoveTo(l, b - 3);
        c.LineTo(l, b);
        c.LineTo(l + 4, b);
        c.MoveTo(r - 3, t);
        c.LineTo(r, t);
        c.LineTo(r, t + 4);
        c.MoveTo(r - 3, b);
        c.LineTo(r, b);
        c.LineTo(r, b - 4);
    }
    // The frame styles below frsDouble, in order; the double line keeps the solid pen.
    static const gdi::TPenStyle kPenStyles[] = {gdi::psSolid, gdi::psDash, gdi::psDot,
                                                gdi::psDashDot, gdi::psDashDotDot};
    static_assert(std::size(kPenStyles) == frsDouble);
    c.SetPen(gdi::TPen{FrameColor, RoundInt(FrameWidth),
                       FrameStyle < std::size(kPenStyles) ? kPenStyles[FrameStyle] : gdi::psSolid,
                       gdi::pmCopy});
    const int r = ScaledRight();
    const int b = ScaledBottom();
    if (FrameTyp & frftRight) DrawFrameLine(r, Top, r, b);
    if (FrameTyp & frftLeft) DrawFrameLine(Left, Top, Left, b);
    if (FrameTyp & frftBottom) DrawFrameLine(Left, b, r, b);
    if (FrameTyp & frftTop) DrawFrameLine(Left, Top, r, Top);
}

QRegion TfrView::CreateClipRegion(bool enlarge) {
    const double w = FrameWidth;
    int outer, inner;
    if (FrameStyle == frsDouble) {
        outer = RoundInt(w * 1.5);
        inner = RoundInt(w + (w - 1) / 2);
    } else {
        outer = RoundInt(w / 2);
        inner = RoundInt((w - 1) / 2);
    }
    int left = Left, top = Top;
    int right = Left + Width + 1, bottom = Top + Height + 1;
    if (FrameTyp & frftLeft) left -= outer;
    if (FrameTyp & frftTop) top -= outer;
    if (FrameTyp & frftRight) right += inner;
    if (FrameTyp & frftBottom) bottom += inner;
    if (enlarge) {
        left -= 10;
        top -= 10;
        right += 10;
        bottom += 10;
    }
    return QRegion(gdi::Canvas::ToQRect(TRect{left, top, right, bottom}));
}

TfrView* TfrView::FindBandUnder() {
    TfrViewPage* page =
        DesignerEditorHooks().DesignerPage ? DesignerEditorHooks().DesignerPage() : nullptr;
    if (!page) return nullptr;
    TfrView* found = nullptr;
    for (int i = 0; i < page->ObjectCount(); ++i) {
        TfrView* v = page->ObjectAt(i);
        if (v && v->TypeCode == gtBand && Left >= v->Left && Left <= v->Left + v->Width &&
            Top >= v->Top && Top <= v->Top + v->Height)
            found = v;
    }
    return found;
}

void TfrView::BeginPaint(gdi::Canvas& canvas) {
    StartPaint(&canvas);
}

void TfrView::StartPaint(gdi::Canvas* canvas) {
    Canvas = canvas;
    frEngine().CurrentObject = this;
    ApplyBandAlign();
}

void TfrView::ApplyBandAlign() {
    if (BandAlign == baNone) return;
    const TfrEngineState& st = frEngine();
    TfrViewPage* page =
        st.OutputMode
            ? st.CurrentPage
            : (DesignerEditorHooks().DesignerPage ? DesignerEditorHooks().DesignerPage() : nullptr);
    if (!page) return;
    const int leftLimit = page->LeftLimit();
    const int rightLimit = page->RightLimit();

    TfrView* leftNeighbour = nullptr;
    TfrView* rightNeighbour = nullptr;
    for (int i = 0; i < page->ObjectCount(); ++i) {
        TfrView* v = page->ObjectAt(i);
        if (!v || v == this || v->TypeCode == gtBand || v->Top != Top) continue;
        if (v->BandAlign == baLeft && v->Left < Left &&
            (!leftNeighbour || v->Left > leftNeighbour->Left))
            leftNeighbour = v;
        if (v->BandAlign == baRight && v->Left > Left &&
            (!rightNeighbour || v->Left < rightNeighbour->Left))
            rightNeighbour = v;
    }
    const auto alignLeft = [&] {
        Left = leftNeighbour ? leftNeighbour->Left + leftNeighbour->Width : leftLimit;
    };

    switch (BandAlign) {
    case baLeft:
        alignLeft();
        break;
    case baRight:
        Left = rightNeighbour ? rightNeighbour->Left - Width - 1 : rightLimit - Width;
        break;
    case baCenter:
        Left = leftLimit + (rightLimit - leftLimit - Width) / 2;
        break;
    case baWidth:
        if (!st.OutputMode) {
            TfrView* band = FindBandUnder();
            if (band && frIsCrossBand(band->FrameTyp)) {
                Left = band->Left;
                Width = band->Width;
            } else {
                Left = leftLimit;
                Width = rightLimit - leftLimit;
            }
        } else if (!st.CurrentBand) {
            Left = leftLimit;
            Width = rightLimit - leftLimit - 1;
        }
        break;
    case baBottom:
    case baTop:
        if (!st.OutputMode) {
            if (TfrView* band = FindBandUnder())
                Top = BandAlign == baBottom ? band->Top + band->Height - Height : band->Top;
        }
        break;
    case baRest:
        alignLeft();
        Width = rightNeighbour ? rightNeighbour->Left - Left : rightLimit - Left;
        break;
    default:
        break;
    }
}

void TfrView::CreateUniqueName() {
    Name.clear();
    const TfrReportLookups& s = frReportLookups();
    for (int n = 1; n <= 10000; ++n) {
        const std::string candidate = BaseName + std::to_string(n);
        const bool taken = (s.FindObject && s.FindObject(candidate)) ||
                           (TypeCode == gtAddIn && dynamic_cast<TfrControl*>(this) &&
                            DesignerEditorHooks().DialogControlExists &&
                            DesignerEditorHooks().DialogControlExists(candidate));
        if (!taken) {
            WriteProperty("Name", TVariant(candidate));
            return;
        }
    }
}

void TfrView::ExpandTag(std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        if (text::IsLeadByte(ch) && i + 1 < text.size()) {
            i += 2;
            continue;
        }
        if (ch != '[') {
            ++i;
            continue;
        }
        // The matching bracket: nested brackets and quoted text count.
        std::size_t j = i + 1;
        int depth = 1;
        bool quoted = false;
        while (j < text.size() && depth > 0) {
            const unsigned char c = static_cast<unsigned char>(text[j]);
            if (text::IsLeadByte(c) && j + 1 < text.size()) {
                j += 2;
                continue;
            }
            if (c == '\'') {
                quoted = !quoted;
            } else if (!quoted && c == '[') {
                ++depth;
            } else if (!quoted && c == ']') {
                --depth;
            }
            ++j;
        }
        if (depth > 0) break; // an unclosed bracket stays as written
        const std::string expression = text.substr(i + 1, j - i - 2);
        const std::string value = frGetFormattedValue(expression);
        text.replace(i, j - i, value);
        i += value.size();
    }
}

void TfrView::OutputToPage(rtl::TStream& stream) {
    StartPaint(Canvas);
    WorkMemo.Assign(Memo);
    if (const auto& fire = frReportLookups().FireBeforePrint) fire(WorkMemo, *this);
    const auto& runScript = frEngineHooks().RunScript;
    if (runScript && BeforePrintScript.Count() > 0) runScript(*this, BeforePrintScript);
    if (!Visible) return;

    rtl::ScopedRestore<std::string> keepTag(Tag);
    if (Tag.find('[') != std::string::npos) ExpandTag(Tag);

    if (const TfrBandRuntime* band = frEngine().CurrentBand) {
        if (BandAlign == baBottom) {
            Top = band->Top() + band->Height() - Height;
        } else if (BandAlign == baTop) {
            Top = band->Top();
        } else if (BandAlign == baWidth && frIsCrossBand(band->BandType())) {
            Width = band->Width();
        }
    }
    stream.WriteByte(TypeCode);
    if (TypeCode == gtAddIn) rtl::frWriteString(stream, ClassName());
    WriteToStream(stream);
}

void TfrView::ExportToFilter() {
    if (frEngineHooks().ExportToFilter) frEngineHooks().ExportToFilter(*this, Left, Top);
}

namespace {

// Whole widths up to 10 are stored as they are (what old readers expect);
// every other width in thousandths, which every reader divides back. A whole
// width above 10 stored as it is would come back a thousandth of itself.
int32_t EncodeFrameWidth(double width) {
    constexpr int kLargestPlainWidth = 10;
    if (!std::isfinite(width)) return 1;
    if (width == std::floor(width) && width <= kLargestPlainWidth && width >= INT32_MIN)
        return static_cast<int32_t>(width);
    const double thousandths = std::clamp(width * 1000, -2147483648.0, 2147483647.0);
    return static_cast<int32_t>(rtl::Round(thousandths));
}

double DecodeFrameWidth(int32_t stored) {
    // Old records hold whole units; newer ones thousandths.
    const double thousandths = stored <= 10 ? stored * 1000.0 : stored;
    return thousandths / 1000.0;
}

} // namespace

void TfrView::ReadRecord(rtl::TStream& stream, int v) {
    if (v >= frStreamVersionRecordVersions || (v >= frStreamVersionNames && !PreparedMode)) {
        Name = rtl::frReadString(stream, v);
    } else {
        CreateUniqueName();
    }
    if (v >= frStreamVersionRecordVersions) {
        StreamVersionMajor = stream.ReadByte();
        StreamVersionMinor = stream.ReadByte();
    }
    Left = stream.ReadInt32();
    Top = stream.ReadInt32();
    Width = stream.ReadInt32();
    Height = stream.ReadInt32();
    Flags = stream.ReadUInt16();
    FrameTyp = stream.ReadUInt16();
    FrameWidth = DecodeFrameWidth(stream.ReadInt32());
    FrameColor = stream.ReadUInt32();
    FrameStyle = stream.ReadUInt16();
    FillColor = stream.ReadUInt32();
    if (!PreparedMode) {
        FormatCode = stream.ReadInt32();
        FormatText = rtl::frReadString(stream, v);
    }
    rtl::frReadMemo(stream, Memo, v);
    if (v >= frStreamVersionNames && !PreparedMode) {
        rtl::frReadMemo(stream, BeforePrintScript, v);
        Visible = stream.ReadWordBool();
    }
    if (v >= frStreamVersionRecordVersions) {
        Restrictions = stream.ReadUInt16();
        Tag = rtl::frReadString(stream, v);
        GapX = stream.ReadInt32();
        GapY = stream.ReadInt32();
    }
    if (StreamVersionMajor > 1) BandAlign = stream.ReadByte();
}

void TfrView::WriteToStream(rtl::TStream& stream) {
    StreamVersionMajor = 2;
    rtl::frWriteString(stream, Name);
    stream.WriteByte(StreamVersionMajor);
    stream.WriteByte(StreamVersionMinor);
    stream.WriteInt32(Left);
    stream.WriteInt32(Top);
    stream.WriteInt32(Width);
    stream.WriteInt32(Height);
    stream.WriteUInt16(Flags);
    stream.WriteUInt16(FrameTyp);
    stream.WriteInt32(EncodeFrameWidth(FrameWidth));
    stream.WriteUInt32(FrameColor);
    stream.WriteUInt16(FrameStyle);
    stream.WriteUInt32(FillColor);
    if (!PreparedMode) {
        stream.WriteInt32(FormatCode);
        rtl::frWriteString(stream, FormatText);
    }
    // A prepared page keeps the text as the before-print step left it.
    rtl::frWriteMemo(stream, PreparedMode ? WorkMemo : Memo);
    if (!PreparedMode) {
        rtl::frWriteMemo(stream, BeforePrintScript);
        stream.WriteWordBool(Visible);
    }
    stream.WriteUInt16(Restrictions);
    rtl::frWriteString(stream, Tag);
    stream.WriteInt32(GapX);
    stream.WriteInt32(GapY);
    stream.WriteByte(BandAlign);
}

void TfrView::Assign(TfrView& source) {
    Name = source.Name;
    TypeCode = source.TypeCode;
    Selected = source.Selected;
    PreparedMode = false;
    rtl::TMemoryStream ms;
    {
        // The template layout, whatever the source is doing; writing also
        // stamps the record version on the writer, which is put back too.
        rtl::ScopedRestore<bool> templateLayout(source.PreparedMode, false);
        rtl::ScopedRestore<uint8_t> major(source.StreamVersionMajor);
        rtl::ScopedRestore<uint8_t> minor(source.StreamVersionMinor);
        source.WriteToStream(ms);
    }
    ms.SetPosition(0);
    ReadRecord(ms, frStreamVersionCurrent);
}

void TfrView::ForSelection(const std::function<void(TfrView&)>& change) {
    TfrDesignerEditorHooks& d = DesignerEditorHooks();
    if (d.RecordEditUndo) d.RecordEditUndo();
    if (d.SelectedObjects) {
        for (TfrView* v : d.SelectedObjects())
            if (v && !(v->Restrictions & frrfDontModify)) change(*v);
    }
    if (d.RefreshSelection) d.RefreshSelection();
}

TfrPopupItem TfrView::FlagItem(const std::string& caption, uint16_t bit) {
    TfrPopupItem item;
    item.Caption = caption;
    item.Checkable = true;
    item.Checked = (Flags & bit) != 0;
    const bool newState = !item.Checked;
    item.OnClick = [bit, newState] {
        ForSelection([bit, newState](TfrView& v) { v.SetFlag(bit, newState); });
    };
    return item;
}

void TfrView::AddPopupItems(TfrPopupMenu& menu) {
    TfrPopupItem separator;
    separator.Separator = true;
    menu.push_back(separator);
    menu.push_back(FlagItem(LoadResourceString(frsStretched), flStretched));
}

TVariant TfrStretcheable::CallMethod(const std::string& name, const TVariant& a1,
                                     const TVariant& a2, const TVariant& a3) {
    TVariant result = TfrView::CallMethod(name, a1, a2, a3);
    if (name == "CALCHEIGHT") result = TVariant(CalcHeight());
    return result;
}

TfrControl::TfrControl() {
    TypeCode = gtAddIn;
    FillColor = gdi::clBtnFace;
    FrameTyp = 0;
}

const TfrPropertyTable& TfrControl::PropertyTable() {
    static const TfrPropertyTable table = [] {
        TfrPropertyTableBuilder<TfrControl> t(TfrView::PropertyTable());
        // A control lists only its place, visibility and restrictions; by
        // name it is a view like any other.
        t.ListOnly({"Name", "Left", "Top", "Width", "Height", "Visible", "Restrictions"});
        // Its visibility is also the window control's.
        t.Change("Visible").Writes([](TfrControl& c, const TVariant& v) {
            c.Visible = v.AsBoolean();
            c.SetControlVisible(c.Visible);
        });
        return t.Build();
    }();
    return table;
}

void TfrControl::Paint(gdi::Canvas& canvas) {
    BeginPaint(canvas);
    SetControlSize(Width, Height);
    ScaleForOutput();
    PaintControl();
    RestoreGeometry();
}
