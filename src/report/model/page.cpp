#include "report/model/page.h"

#include "platform/print/paper_sizes.h"
#include "platform/rtl/sysutils.h"
#include "report/model/band_view.h"
#include "report/model/popup_items.h"
#include "report/model/report.h"

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

void TfrPage::RegisterProperties() {
    ClearPropList();
    AddEnumProperty("Type", "ptReport;ptDialog", {0, 1});
    AddProperty("Visible", 0);
    if (PageType == ptDialog) {
        AddEnumProperty("BorderStyle", "bsDialog;bsSizeable", {3, 2});
        AddProperty("Caption", frdtString);
        AddProperty("Color", frdtColor);
        AddProperty("Left", frdtSize);
        AddProperty("Top", frdtSize);
        AddProperty("Width", frdtInteger);
        AddProperty("Height", frdtInteger);
        AddEnumProperty("Position", "poDesigned;poScreenCenter", {0, 4});
        AddProperty("OnActivate", frdtOneObject | frdtHasEditor, [this] { EditScript(); });
        return;
    }
    TfrPrinter& printer = ReportPrinter();
    std::string names;
    std::vector<TVariant> codes;
    for (int i = 0; i < printer.PaperCount && i < printer.PaperNames.Count(); ++i) {
        if (i > 0) names += ';';
        names += printer.PaperNames[i];
        codes.emplace_back(static_cast<int>(printer.PaperCodes[i]));
    }
    if (codes.empty()) names = "No data";
    AddEnumProperty("Size", names, std::move(codes));
    for (const char* n :
         {"Width", "Height", "LeftMargin", "TopMargin", "RightMargin", "BottomMargin"})
        AddProperty(n, frdtSize);
    AddEnumProperty("Orientation", "poPortrait;poLandscape", {0, 1});
    AddProperty("PrintToPrevPage", frdtBoolean);
    AddProperty("StretchToPrintable", frdtBoolean);
    AddProperty("Columns", frdtInteger);
    AddProperty("ColumnWidth", 0);
    AddProperty("ColumnGap", frdtSize);
    AddProperty("OnBeforePrint", frdtOneObject | frdtHasEditor, [this] { EditScript(); });
}

void TfrPage::WriteProperty(const std::string& name, const TVariant& value) {
    const std::string n = rtl::UpperCase(name);
    const bool dialog = PageType == ptDialog;
    if (n == "LEFT") {
        Left = value.AsInteger();
    } else if (n == "TOP") {
        Top = value.AsInteger();
    } else if (n == "WIDTH") {
        if (dialog)
            Width = value.AsInteger();
        else
            PaperWidth = UnitsToTenths(value.AsInteger());
    } else if (n == "HEIGHT") {
        if (dialog)
            Height = value.AsInteger();
        else
            PaperHeight = UnitsToTenths(value.AsInteger());
    } else if (n == "TYPE") {
        PageType = static_cast<uint8_t>(value.AsInteger());
        ClearPropList(); // the property set depends on the kind
    } else if (n == "BORDERSTYLE") {
        BorderStyle = static_cast<uint8_t>(value.AsInteger());
    } else if (n == "CAPTION") {
        Caption = value.AsString();
    } else if (n == "NAME") {
        Name = value.AsString();
    } else if (n == "COLOR") {
        Color = static_cast<gdi::TColor>(value.AsInteger());
    } else if (n == "POSITION") {
        Position = static_cast<uint8_t>(value.AsInteger());
    } else if (n == "SIZE") {
        PaperSize = value.AsInteger();
    } else if (n == "LEFTMARGIN") {
        Margins.Left = value.AsInteger();
    } else if (n == "TOPMARGIN") {
        Margins.Top = value.AsInteger();
    } else if (n == "RIGHTMARGIN") {
        Margins.Right = value.AsInteger();
    } else if (n == "BOTTOMMARGIN") {
        Margins.Bottom = value.AsInteger();
    } else if (n == "ORIENTATION") {
        Orientation = static_cast<uint8_t>(value.AsInteger());
    } else if (n == "PRINTTOPREVPAGE") {
        PrintToPrevPage = value.AsBoolean();
    } else if (n == "STRETCHTOPRINTABLE") {
        UseMargins = !value.AsBoolean();
    } else if (n == "COLUMNS") {
        Columns = value.AsInteger();
    } else if (n == "COLUMNGAP") {
        ColumnGap = value.AsInteger();
    } else if (n == "VISIBLE") {
        Visible = value.AsBoolean();
    } else if (n == "COLUMNWIDTH") {
        ColumnWidth = value.AsInteger();
    }
}

TVariant TfrPage::ReadProperty(const std::string& name) {
    const std::string n = rtl::UpperCase(name);
    const bool dialog = PageType == ptDialog;
    const bool output = frEngine().OutputMode;
    if (n == "LEFT") return TVariant(Left);
    if (n == "TOP") return TVariant(Top);
    if (n == "WIDTH") return TVariant(dialog ? Width : TenthsToUnits(PaperWidth));
    if (n == "HEIGHT") return TVariant(dialog ? Height : TenthsToUnits(PaperHeight));
    if (n == "TYPE") return TVariant(static_cast<int>(PageType));
    if (n == "BORDERSTYLE") return TVariant(static_cast<int>(BorderStyle));
    if (n == "CAPTION") return TVariant(Caption);
    if (n == "NAME") return TVariant(Name);
    if (n == "COLOR") return TVariant(static_cast<int32_t>(Color));
    if (n == "POSITION") return TVariant(static_cast<int>(Position));
    if (n == "SIZE") return TVariant(PaperSize);
    if (n == "LEFTMARGIN") return TVariant(output ? LeftLimit() : Margins.Left);
    if (n == "TOPMARGIN") return TVariant(output ? TopLimit() : Margins.Top);
    if (n == "RIGHTMARGIN") return TVariant(output ? RightLimit() : Margins.Right);
    if (n == "BOTTOMMARGIN") return TVariant(output ? BottomLimit() : Margins.Bottom);
    if (n == "ORIENTATION") return TVariant(static_cast<int>(Orientation));
    if (n == "PRINTTOPREVPAGE") return TVariant(PrintToPrevPage);
    if (n == "STRETCHTOPRINTABLE") return TVariant(!UseMargins);
    if (n == "COLUMNS") return TVariant(Columns);
    if (n == "COLUMNGAP") return TVariant(ColumnGap);
    if (n == "VISIBLE") return TVariant(Visible);
    return TVariant::Null();
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
    if (v < 23) stream.Skip(6);
    int32_t bin = v > 23 ? stream.ReadInt32() : print::kDefaultBin;
    PrintToPrevPage = stream.ReadWordBool();
    UseMargins = stream.ReadWordBool();
    Columns = stream.ReadInt32();
    ColumnGap = stream.ReadInt32();
    if (v >= 24) {
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
