#include "report/model/band_view.h"

#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"

#include <algorithm>

using gdi::TRect;
using rtl::TVariant;

namespace {

bool In(int type, std::initializer_list<int> types) {
    return std::find(types.begin(), types.end(), type) != types.end();
}

bool Range(int type, int first, int last) {
    return type >= first && type <= last;
}

// Which band types offer which option.
bool HasStretched(int t) {
    return Range(t, 0, 2) || Range(t, 4, 12) || Range(t, 16, 18) || t == 21;
}
bool HasFormNewPage(int t) {
    return In(t, {0, 1, 5, 6, 8, 9, 11, 12, 16});
}
bool HasPrintIfSubsetEmpty(int t) {
    return t == 5 || t == 8;
}
bool HasBreaked(int t) {
    return t == 0 || t == 1 || Range(t, 4, 12) || t == 16 || t == 17 || t == 21;
}
bool HasOnFirstPage(int t) {
    return t == 2 || t == 3;
}
bool HasOnLastPage(int t) {
    return t == 3;
}
bool HasRepeatHeader(int t) {
    return In(t, {4, 7, 10, 16, 18});
}
bool IsDataBand(int t) {
    return t == 5 || t == 8 || t == 11;
}
bool IsCross(int t) {
    return Range(t, 18, 20);
}

struct FlagName {
    const char* name;
    uint16_t bit;
};

const FlagName kBandFlags[] = {{"FORMNEWPAGE", flBandNewPageAfter},
                               {"PRINTIFSUBSETEMPTY", flBandPrintIfSubsetEmpty},
                               {"BREAKED", flBandBreaked},
                               {"ONFIRSTPAGE", flBandOnFirstPage},
                               {"ONLASTPAGE", flBandOnLastPage},
                               {"REPEATHEADER", flBandRepeatHeader},
                               {"PRINTCHILDIFINVISIBLE", flBandPrintChildIfInvisible}};

} // namespace

std::string frBandName(int bandType) {
    if (bandType < 0 || bandType > btNone) return {};
    return LoadResourceString(frsBandNames + bandType);
}

TfrBandView::TfrBandView() {
    TypeCode = gtBand;
    FormatCode = 0;
    BaseName = "Band";
    Flags = flBandOnFirstPage | flBandOnLastPage;
}

TfrViewPage* TfrBandView::Page() const {
    if (OwnerPage) return OwnerPage;
    return DesignerEditorHooks().DesignerPage ? DesignerEditorHooks().DesignerPage() : nullptr;
}

bool TfrBandView::InOutput() const {
    return frEngine().OutputMode && OwnerBand;
}

std::string TfrBandView::BandNames(std::initializer_list<int> types) const {
    std::string names;
    TfrViewPage* page = Page();
    if (!page) return names;
    for (int i = 0; i < page->ObjectCount(); ++i) {
        const TfrView* v = page->ObjectAt(i);
        if (!v || v == this || v->TypeCode != gtBand || !In(v->FrameTyp, types)) continue;
        if (!names.empty()) names += ";";
        names += v->Name;
    }
    return names;
}

void TfrBandView::RegisterProperties() {
    TfrView::RegisterProperties();
    const int t = BandType();
    const bool output = frEngine().OutputMode;
    if (t != btPageFooter) {
        AddEnumProperty("ChildBand", output ? std::string() : BandNames({btChild}), {});
        AddProperty("PrintChildIfInvisible", frdtBoolean);
    }
    if (HasStretched(t)) AddProperty("Stretched", frdtBoolean);
    if (HasFormNewPage(t)) AddProperty("FormNewPage", frdtBoolean);
    if (HasPrintIfSubsetEmpty(t)) AddProperty("PrintIfSubsetEmpty", frdtBoolean);
    if (HasBreaked(t)) AddProperty("Breaked", frdtBoolean);
    if (HasOnFirstPage(t)) AddProperty("OnFirstPage", frdtBoolean);
    if (HasOnLastPage(t)) AddProperty("OnLastPage", frdtBoolean);
    if (HasRepeatHeader(t)) AddProperty("RepeatHeader", frdtBoolean);
    if (t == btCrossData)
        AddProperty("DataSource", frdtHasEditor,
                    EditorFor(&TfrDesignerEditorHooks::EditCrossSourceHook));
    if (IsDataBand(t)) {
        AddProperty("Columns", frdtInteger);
        AddProperty("ColumnWidth", frdtSize);
        AddProperty("ColumnGap", frdtSize);
        AddProperty("DataSource", frdtHasEditor,
                    EditorFor(&TfrDesignerEditorHooks::EditBandSourceHook));
    }
    if (t == btGroupHeader) {
        AddProperty("Condition", frdtString);
        AddEnumProperty(
            "Master",
            output ? std::string() : BandNames({btMasterData, btDetailData, btSubDetailData}), {});
    }
    AddProperty("EOF", 0);
    // A band's text is its script.
    if (TfrPropRec* memo = FindProperty("Memo")) memo->Name = "OnBeforePrint";
}

void TfrBandView::WriteProperty(const std::string& name, const TVariant& value) {
    TfrView::WriteProperty(name, value);
    const std::string n = rtl::UpperCase(name);
    const bool output = InOutput();
    if (output) {
        if (n == "LEFT") OwnerBand->SetLeft(Left);
        if (n == "TOP") OwnerBand->SetTop(Top);
        if (n == "WIDTH") OwnerBand->SetWidth(Width);
        if (n == "HEIGHT") OwnerBand->SetHeight(Height);
        if (n == "VISIBLE") OwnerBand->SetVisible(Visible);
        if (n == "DATASOURCE") OwnerBand->SetDataSource(value.AsString());
    }
    if (n == "CHILDBAND") {
        ChildBand = value.AsString();
        if (output) OwnerBand->SetChildBand(ChildBand);
    } else if (n == "MASTER") {
        Master = value.AsString();
    } else if (n == "CONDITION") {
        FormatText = value.AsString();
        if (output) OwnerBand->SetGroupCondition(FormatText);
    } else if (n == "COLUMNS") {
        Columns = value.AsInteger();
    } else if (n == "COLUMNGAP") {
        ColumnGap = value.AsInteger();
    } else if (n == "COLUMNWIDTH") {
        ColumnWidth = value.AsInteger();
    } else if (n == "NEWCOLUMNAFTER") {
        NewColumnAfter = value.AsInteger();
    } else {
        for (const FlagName& f : kBandFlags) {
            if (n == f.name) {
                const bool on = value.AsBoolean();
                SetFlag(f.bit, on);
                if (output && f.bit == flBandBreaked) OwnerBand->SetPageBreak(on);
                return;
            }
        }
    }
}

TVariant TfrBandView::ReadProperty(const std::string& name) {
    const std::string n = rtl::UpperCase(name);
    const bool output = InOutput();
    if (output) {
        if (n == "LEFT") return TVariant(OwnerBand->Left());
        if (n == "TOP") return TVariant(OwnerBand->Top());
        if (n == "WIDTH") return TVariant(OwnerBand->Width());
        if (n == "HEIGHT") return TVariant(OwnerBand->Height());
        if (n == "VISIBLE") return TVariant(OwnerBand->Visible());
    }
    TVariant result = TfrView::ReadProperty(name);
    if (!result.IsNull()) return result;
    if (n == "CHILDBAND") return TVariant(ChildBand);
    if (n == "MASTER") return TVariant(Master);
    if (n == "EOF") {
        // Without a run-time band or data set there is nothing more to read.
        if (!OwnerBand || !OwnerBand->HasDataSet()) return TVariant(true);
        return TVariant(OwnerBand->DataSetEof());
    }
    if (n == "BREAKED" && output) return TVariant(OwnerBand->PageBreak());
    for (const FlagName& f : kBandFlags)
        if (n == f.name) return TVariant((Flags & f.bit) != 0);
    if (n == "CONDITION") return TVariant(FormatText);
    if (n == "COLUMNS") return TVariant(Columns);
    if (n == "COLUMNGAP") return TVariant(ColumnGap);
    if (n == "NEWCOLUMNAFTER") return TVariant(NewColumnAfter);
    if (n == "COLUMNWIDTH") return TVariant(ColumnWidth);
    return TVariant::Null();
}

TVariant TfrBandView::CallMethod(const std::string& name, const TVariant& a1, const TVariant& a2,
                                 const TVariant& a3) {
    TVariant result = TfrView::CallMethod(name, a1, a2, a3);
    if (OwnerBand && OwnerBand->HasDataSet()) {
        if (name == "NEXT") {
            OwnerBand->DataSetNext();
        } else if (name == "PRIOR") {
            OwnerBand->DataSetPrior();
        } else if (name == "FIRST") {
            OwnerBand->DataSetFirst();
        }
    }
    return result;
}

void TfrBandView::ReadFromStream(rtl::TStream& stream) {
    TfrView::ReadFromStream(stream);
    if (frEngine().Version > 23) {
        ChildBand = rtl::frReadNewString(stream);
        Columns = stream.ReadInt32();
        ColumnWidth = stream.ReadInt32();
        ColumnGap = stream.ReadInt32();
        NewColumnAfter = stream.ReadInt32();
        if (StreamVersionMajor * 10 + StreamVersionMinor > 20)
            Master = rtl::frReadNewString(stream);
    }
}

void TfrBandView::WriteToStream(rtl::TStream& stream) {
    StreamVersionMinor = 1;
    TfrView::WriteToStream(stream);
    rtl::frWriteNewString(stream, ChildBand);
    stream.WriteInt32(Columns);
    stream.WriteInt32(ColumnWidth);
    stream.WriteInt32(ColumnGap);
    stream.WriteInt32(NewColumnAfter);
    rtl::frWriteNewString(stream, Master);
}

TRect TfrBandView::TitleTab() const {
    if (IsCross(BandType())) return TRect{Left - 18, Top, Left, Top + tabWidth_};
    return TRect{Left, Top - 18, Left + tabWidth_, Top};
}

void TfrBandView::Paint(gdi::Canvas& canvas) {
    FrameWidth = 1;
    TfrViewPage* page = Page();
    const bool cross = IsCross(BandType());
    if (page) {
        if (cross) {
            Top = 0;
            Height = page->PageHeight();
        } else {
            Left = 0;
            Width = page->PageWidth();
        }
    }
    BeginPaint(canvas);
    ScaleForOutput();
    const TfrDesignerEditorHooks& d = DesignerEditorHooks();

    gdi::TBrush hatch;
    if (!d.BandHatch.isNull()) {
        hatch.Pattern = d.BandHatch;
    } else {
        hatch.Color = gdi::clBtnShadow;
        hatch.Style = gdi::bsBDiagonal;
    }
    canvas.SetBrush(hatch);
    canvas.FillRect(OutputRect);

    canvas.SetPen(gdi::TPen{gdi::clBtnFace, 1, gdi::psSolid, gdi::pmCopy});
    canvas.SetBrush(gdi::TBrush{gdi::clWhite, gdi::bsClear, {}});
    canvas.Rectangle(OutputRect);

    if (Columns > 1) {
        canvas.SetPen(gdi::TPen{gdi::clBlack, 1, gdi::psDot, gdi::pmCopy});
        const int start = page ? page->LeftLimit() : 0;
        for (int col = 0; col < Columns; ++col) {
            const int x = start + col * (ColumnWidth + ColumnGap);
            canvas.Rectangle(x, Top, x + ColumnWidth, Top + Height);
        }
    }

    gdi::TFont font;
    font.Name = "Arial";
    font.Size = 8;
    font.Color = gdi::clBlack;
    canvas.SetFont(font);
    const std::string title = frBandName(BandType());
    const int textWidth = canvas.TextWidth(title);
    tabWidth_ = std::max(textWidth + 8, 100);

    if (d.ShowBandTitles) {
        const TRect tab = TitleTab();
        canvas.SetBrush(gdi::TBrush{gdi::clBtnFace, gdi::bsSolid, {}});
        canvas.FillRect(tab);
        canvas.SetPen(gdi::TPen{gdi::clBtnShadow, 1, gdi::psSolid, gdi::pmCopy});
        if (cross) {
            // The tab's outer edge is its bottom.
            canvas.MoveTo(tab.Left, tab.Bottom - 2);
            canvas.LineTo(tab.Right, tab.Bottom - 2);
            canvas.SetPenColor(gdi::clBlack);
            canvas.MoveTo(tab.Left, tab.Bottom - 1);
            canvas.LineTo(tab.Right, tab.Bottom - 1);
        } else {
            canvas.MoveTo(tab.Right - 2, tab.Top);
            canvas.LineTo(tab.Right - 2, tab.Bottom);
            canvas.SetPenColor(gdi::clBlack);
            canvas.MoveTo(tab.Right - 1, tab.Top);
            canvas.LineTo(tab.Right - 1, tab.Bottom);
        }
        canvas.SetBkMode(gdi::bkTransparent);
        if (cross) {
            font.Escapement = 900;
            canvas.SetFont(font);
            canvas.TextOut(Left - 15, Top + textWidth + 4, title);
        } else {
            canvas.TextOut(Left + 4, Top - 17, title);
        }
    } else {
        canvas.SetBkMode(gdi::bkTransparent);
        if (cross) {
            font.Escapement = 900;
            canvas.SetFont(font);
            canvas.TextOut(Left + 2, Top + 94, title);
        } else {
            canvas.TextOut(Left + 4, Top + 2, title);
        }
    }
    RestoreGeometry();
}

QRegion TfrBandView::CreateClipRegion(bool enlarge) {
    QRegion region = TfrView::CreateClipRegion(enlarge);
    if (!DesignerEditorHooks().ShowBandTitles) return region;
    const int grow = enlarge ? 10 : 0;
    region = QRegion(gdi::Canvas::ToQRect(
        TRect{Left - grow, Top - grow, Left + Width + 1 + grow, Top + Height + 1 + grow}));
    return region.united(gdi::Canvas::ToQRect(TitleTab()));
}

void TfrBandView::AddPopupItems(TfrPopupMenu& menu) {
    const int t = BandType();
    if (t == btPageFooter) {
        TfrPopupItem separator;
        separator.Separator = true;
        menu.push_back(separator);
    } else if (!In(t, {13, 14, 15, 19, 20, 22})) {
        TfrView::AddPopupItems(menu);
    }
    if (HasFormNewPage(t))
        menu.push_back(FlagItem(LoadResourceString(frsFormNewPage), flBandNewPageAfter));
    if (HasPrintIfSubsetEmpty(t))
        menu.push_back(
            FlagItem(LoadResourceString(frsPrintIfSubsetEmpty), flBandPrintIfSubsetEmpty));
    if (HasBreaked(t)) menu.push_back(FlagItem(LoadResourceString(frsBreaked), flBandBreaked));
    if (HasOnFirstPage(t))
        menu.push_back(FlagItem(LoadResourceString(frsOnFirstPage), flBandOnFirstPage));
    if (HasOnLastPage(t))
        menu.push_back(FlagItem(LoadResourceString(frsOnLastPage), flBandOnLastPage));
    if (HasRepeatHeader(t))
        menu.push_back(FlagItem(LoadResourceString(frsRepeatHeader), flBandRepeatHeader));
    if (t != btPageFooter)
        menu.push_back(
            FlagItem(LoadResourceString(frsPrintChildIfInvisible), flBandPrintChildIfInvisible));
}
