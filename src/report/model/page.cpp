#include "report/model/page.h"

#include "platform/print/paper_sizes.h"
#include "platform/rtl/sysutils.h"
#include "report/model/band_view.h"
#include "report/model/popup_items.h"
#include "report/model/report.h"
#include "report/model/stream_versions.h"

#include <algorithm>

using rtl::TVariant;

namespace {

// The script editor works on views: a stand-in control carries the page
// script into the designer's memo editor and back.
class TfrScriptCarrier : public TfrControl {
public:
    void PaintControl() override {}

protected:
    void SetControlVisible(bool) override {}
    void SetControlSize(int, int) override {}
};

bool IsDefaultBin(int bin) {
    return bin == print::kDefaultBin || bin == frDefaultPaperBin;
}

int TenthsToUnits(int tenths) {
    return static_cast<int>(rtl::Round(tenths / 10.0 * 18.0 / 5.0));
}

int UnitsToTenths(int units) {
    return static_cast<int>(rtl::Round(units * 10.0 * 5.0 / 18.0));
}

} // namespace

TfrPage::TfrPage(int paperSize, int width, int height, int bin, int orientation) {
    ChangePaper(paperSize, width, height, bin, orientation);
}

TfrPage::~TfrPage() {
    if (frEngine().CurrentPage == this) frEngine().CurrentPage = nullptr;
}

void TfrPage::ChangePaper(int paperSize, int width, int height, int bin, int orientation) {
    TfrPrinter& printer = ReportPrinter();
    const int askedBin = IsDefaultBin(bin) ? print::kDefaultBin : bin;
    try {
        printer.SetPaper(paperSize, width, height, orientation, askedBin, false);
        printer.FillPageInfo(PrinterInfo);
    } catch (const std::exception&) {
        printer.SetPaper(print::kCustomPaper, width, height, orientation, print::kDefaultBin,
                         false);
        printer.FillPageInfo(PrinterInfo);
    }
    PaperSize = printer.PaperSize;
    PaperWidth = printer.PaperWidth;
    PaperHeight = printer.PaperHeight;
    Orientation = printer.Orientation;
    PaperBin = IsDefaultBin(bin) ? frDefaultPaperBin : printer.Bin;
}

int TfrPage::LeftLimit() const {
    if (!UseMargins) return 0;
    return Margins.Left != 0 ? Margins.Left : PrinterInfo.OffsetX;
}

int TfrPage::TopLimit() const {
    if (!UseMargins) return 0;
    return Margins.Top != 0 ? Margins.Top : PrinterInfo.OffsetY;
}

int TfrPage::RightLimit() const {
    if (!UseMargins) return PrinterInfo.PageWidth;
    return Margins.Right != 0 ? PrinterInfo.PageWidth - Margins.Right
                              : PrinterInfo.OffsetX + PrinterInfo.PrintableWidth;
}

int TfrPage::BottomLimit() const {
    int bottom;
    if (!UseMargins)
        bottom = PrinterInfo.PageHeight;
    else
        bottom = Margins.Bottom != 0 ? PrinterInfo.PageHeight - Margins.Bottom
                                     : PrinterInfo.OffsetY + PrinterInfo.PrintableHeight;
    if (frEngine().OutputMode) bottom -= FooterHeight();
    return bottom;
}

int TfrPage::FooterHeight() const {
    if (PageFooterHeight) return PageFooterHeight();
    for (const auto& v : Objects)
        if (v->TypeCode == gtBand && v->FrameTyp == btPageFooter) return v->Height;
    return 0;
}

TfrView& TfrPage::AddObject(std::unique_ptr<TfrView> view) {
    view->OwnerPage = this;
    Objects.push_back(std::move(view));
    return *Objects.back();
}

TfrView* TfrPage::FindObject(const std::string& name) const {
    for (const auto& v : Objects)
        if (rtl::SameText(v->Name, name)) return v.get();
    return nullptr;
}

int TfrPage::FindObjectById(int32_t id) const {
    for (int i = 0; i < ObjectCount(); ++i)
        if (Objects[i]->ObjectId == id) return i;
    return -1;
}

void TfrPage::DeleteObject(int index) {
    if (index < 0 || index >= ObjectCount()) return;
    Objects.erase(Objects.begin() + index);
}

void TfrPage::RunPageScript() {
    if (PageScript.Empty() || rtl::Trim(PageScript.Text()).empty()) return;
    frEngine().CurrentObject = nullptr;
    // Errors go on to the build, which reports them.
    if (frEngineHooks().RunPageScript) frEngineHooks().RunPageScript(*this, PageScript);
}

void TfrPage::EditScript() {
    TfrDesignerEditorHooks& hooks = DesignerEditorHooks();
    if (!hooks.EditMemoHook) return;
    TfrScriptCarrier carrier;
    carrier.BeforePrintScript.Assign(PageScript);
    hooks.EditMemoHook(carrier);
    PageScript.Assign(carrier.BeforePrintScript);
}

const TfrPropertyTable& TfrPage::PropertyTable() {
    static const TfrPropertyTable table = [] {
        TfrPropertyTableBuilder<TfrPage> t(TfrObject::PropertyTable());
        const auto dialog = [](const TfrPage& p) { return p.PageType == ptDialog; };
        const auto report = [](const TfrPage& p) { return p.PageType != ptDialog; };

        t.Add(
             "Type", frdtEnum, [](TfrPage& p) { return TVariant(static_cast<int>(p.PageType)); },
             [](TfrPage& p, const TVariant& v) {
                 p.PageType = static_cast<uint8_t>(v.AsInteger());
                 p.ClearPropList(); // the listed properties depend on the kind
             })
            .Choices("ptReport;ptDialog", {0, 1});
        t.Field("Visible", 0, &TfrPage::Visible);
        // A dialog page's form.
        t.Field("BorderStyle", frdtEnum, &TfrPage::BorderStyle)
            .When(dialog)
            .Choices("bsDialog;bsSizeable", {3, 2});
        t.Field("Caption", frdtString, &TfrPage::Caption).When(dialog);
        t.Field("Color", frdtColor, &TfrPage::Color).When(dialog);
        t.Field("Left", frdtSize, &TfrPage::Left).When(dialog);
        t.Field("Top", frdtSize, &TfrPage::Top).When(dialog);
        // A dialog page's size; a report page's paper size in report units,
        // stored in tenths of a millimetre (listed for report pages below).
        t.Add(
             "Width", frdtInteger,
             [](TfrPage& p) {
                 return TVariant(p.PageType == ptDialog ? p.Width : TenthsToUnits(p.PaperWidth));
             },
             [](TfrPage& p, const TVariant& v) {
                 if (p.PageType == ptDialog)
                     p.Width = v.AsInteger();
                 else
                     p.PaperWidth = UnitsToTenths(v.AsInteger());
             })
            .When(dialog);
        t.Add(
             "Height", frdtInteger,
             [](TfrPage& p) {
                 return TVariant(p.PageType == ptDialog ? p.Height : TenthsToUnits(p.PaperHeight));
             },
             [](TfrPage& p, const TVariant& v) {
                 if (p.PageType == ptDialog)
                     p.Height = v.AsInteger();
                 else
                     p.PaperHeight = UnitsToTenths(v.AsInteger());
             })
            .When(dialog);
        t.Field("Position", frdtEnum, &TfrPage::Position)
            .When(dialog)
            .Choices("poDesigned;poScreenCenter", {0, 4});
        t.Add("OnActivate", frdtOneObject | frdtHasEditor)
            .NotNamed()
            .When(dialog)
            .Editor([](TfrPage& p) { p.EditScript(); });

        // A report page's paper.
        t.Field("Size", frdtEnum, &TfrPage::PaperSize)
            .When(report)
            .MadeChoices([](TfrPage&, std::string& names, std::vector<TVariant>& codes) {
                TfrPrinter& printer = ReportPrinter();
                for (int i = 0; i < printer.PaperCount && i < printer.PaperNames.Count(); ++i) {
                    if (i > 0) names += ';';
                    names += printer.PaperNames[i];
                    codes.emplace_back(static_cast<int>(printer.PaperCodes[i]));
                }
                if (codes.empty()) names = "No data";
            });
        t.List("Width", "Width", frdtSize).When(report);
        t.List("Height", "Height", frdtSize).When(report);
        // Outside output mode the margins as stored; while built, the limits.
        using Limit = int (TfrPage::*)() const;
        const auto margin = [&t, report](const char* name, int gdi::TRect::*side, Limit limit) {
            t.Add(
                 name, frdtSize,
                 [side, limit](TfrPage& p) {
                     return TVariant(frEngine().OutputMode ? (p.*limit)() : p.Margins.*side);
                 },
                 [side](TfrPage& p, const TVariant& v) { p.Margins.*side = v.AsInteger(); })
                .When(report);
        };
        margin("LeftMargin", &gdi::TRect::Left, &TfrPage::LeftLimit);
        margin("TopMargin", &gdi::TRect::Top, &TfrPage::TopLimit);
        margin("RightMargin", &gdi::TRect::Right, &TfrPage::RightLimit);
        margin("BottomMargin", &gdi::TRect::Bottom, &TfrPage::BottomLimit);
        t.Field("Orientation", frdtEnum, &TfrPage::Orientation)
            .When(report)
            .Choices("poPortrait;poLandscape", {0, 1});
        t.Field("PrintToPrevPage", frdtBoolean, &TfrPage::PrintToPrevPage).When(report);
        t.Add(
             "StretchToPrintable", frdtBoolean, [](TfrPage& p) { return TVariant(!p.UseMargins); },
             [](TfrPage& p, const TVariant& v) { p.UseMargins = !v.AsBoolean(); })
            .When(report);
        t.Field("Columns", frdtInteger, &TfrPage::Columns).When(report);
        // Write-only.
        t.Add("ColumnWidth", 0, nullptr, [](TfrPage& p, const TVariant& v) {
             p.ColumnWidth = v.AsInteger();
         }).When(report);
        t.Field("ColumnGap", frdtSize, &TfrPage::ColumnGap).When(report);
        t.Add("OnBeforePrint", frdtOneObject | frdtHasEditor)
            .NotNamed()
            .When(report)
            .Editor([](TfrPage& p) { p.EditScript(); });

        // Reached by name only.
        t.Field("Name", frdtString, &TfrPage::Name).NotListed();
        return t.Build();
    }();
    return table;
}

void TfrPage::LoadFromStream(rtl::TStream& stream) {
    const int v = frEngine().Version;
    const int32_t first = stream.ReadInt32();
    const bool hasScript = first == -1;
    int32_t paperSize = hasScript ? stream.ReadInt32() : first;
    int32_t width = stream.ReadInt32();
    int32_t height = stream.ReadInt32();
    Margins.Left = stream.ReadInt32();
    Margins.Top = stream.ReadInt32();
    Margins.Right = stream.ReadInt32();
    Margins.Bottom = stream.ReadInt32();
    uint8_t orientation = stream.ReadByte();
    if (v < frStreamVersionNames) stream.Skip(6);
    int32_t bin = v >= frStreamVersionRecordVersions ? stream.ReadInt32() : print::kDefaultBin;
    PrintToPrevPage = stream.ReadWordBool();
    UseMargins = stream.ReadWordBool();
    Columns = stream.ReadInt32();
    ColumnGap = stream.ReadInt32();
    if (v >= frStreamVersionRecordVersions) {
        PageType = stream.ReadByte();
        Name = rtl::frReadNewString(stream);
        BorderStyle = stream.ReadByte();
        if (BorderStyle == 0)
            BorderStyle = frbsDialog;
        else if (BorderStyle == 1)
            BorderStyle = frbsSizeable;
        Caption = rtl::frReadNewString(stream);
        Color = stream.ReadUInt32();
        Left = stream.ReadInt32();
        Top = stream.ReadInt32();
        Width = stream.ReadInt32();
        Height = stream.ReadInt32();
        Position = stream.ReadByte() != 0 ? frpoScreenCenter : frpoDesigned;
        if (hasScript) rtl::frReadMemo(stream, PageScript, v);
    }
    ClearPropList();
    ChangePaper(paperSize, width, height, bin, orientation);
}

void TfrPage::SaveToStream(rtl::TStream& stream) {
    stream.WriteInt32(-1);
    stream.WriteInt32(PaperSize);
    stream.WriteInt32(PaperWidth);
    stream.WriteInt32(PaperHeight);
    stream.WriteInt32(Margins.Left);
    stream.WriteInt32(Margins.Top);
    stream.WriteInt32(Margins.Right);
    stream.WriteInt32(Margins.Bottom);
    stream.WriteByte(Orientation);
    stream.WriteInt32(PaperBin);
    stream.WriteWordBool(PrintToPrevPage);
    stream.WriteWordBool(UseMargins);
    stream.WriteInt32(Columns);
    stream.WriteInt32(ColumnGap);
    stream.WriteByte(PageType);
    rtl::frWriteNewString(stream, Name);
    stream.WriteByte(BorderStyle);
    rtl::frWriteNewString(stream, Caption);
    stream.WriteUInt32(Color);
    stream.WriteInt32(Left);
    stream.WriteInt32(Top);
    stream.WriteInt32(Width);
    stream.WriteInt32(Height);
    stream.WriteByte(Position);
    rtl::frWriteMemo(stream, PageScript);
}
