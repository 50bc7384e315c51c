#include "report/model/band_view.h"

#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/stream_versions.h"

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
    return Range(t, btReportTitle, btPageHeader) || Range(t, btMasterHeader, btSubDetailFooter) ||
           Range(t, btGroupHeader, btCrossHeader) || t == btChild;
}
bool HasFormNewPage(int t) {
    return In(t, {btReportTitle, btReportSummary, btMasterData, btMasterFooter, btDetailData,
                  btDetailFooter, btSubDetailData, btSubDetailFooter, btGroupHeader});
}
bool HasPrintIfSubsetEmpty(int t) {
    return t == btMasterData || t == btDetailData;
}
bool HasBreaked(int t) {
    return t == btReportTitle || t == btReportSummary ||
           Range(t, btMasterHeader, btSubDetailFooter) || t == btGroupHeader ||
           t == btGroupFooter || t == btChild;
}
bool HasOnFirstPage(int t) {
    return t == btPageHeader || t == btPageFooter;
}
bool HasOnLastPage(int t) {
    return t == btPageFooter;
}
bool HasRepeatHeader(int t) {
    return In(t, {btMasterHeader, btDetailHeader, btSubDetailHeader, btGroupHeader, btCrossHeader});
}
bool IsDataBand(int t) {
    return t == btMasterData || t == btDetailData || t == btSubDetailData;
}
// The band's own record version (major × 10 + minor) that added Master.
constexpr int kRecordVersionMaster = 21;

// Band types whose popup menu has none of the view's items.
bool HasNoViewItems(int t) {
    return In(t, {btOverlay, btColumnHeader, btColumnFooter, btCrossData, btCrossFooter, btNone});
}

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

const TfrPropertyTable& TfrBandView::PropertyTable() {
    static const TfrPropertyTable table = [] {
        using Band = TfrBandView;
        TfrPropertyTableBuilder<Band> t(TfrView::PropertyTable());
        const auto typed = [](bool (*has)(int)) {
            return [has](const Band& b) { return has(b.BandType()); };
        };

        // While the band is built, its place and visibility are the run-time band's.
        using RunTimeGet = int (TfrBandRuntime::*)() const;
        using RunTimeSet = void (TfrBandRuntime::*)(int);
        const auto geometry = [&t](const char* name, int Band::*field, RunTimeGet get,
                                   RunTimeSet set) {
            t.Change(name)
                .Reads([field, get](Band& b) {
                    return TVariant(b.InOutput() ? (b.OwnerBand->*get)() : b.*field);
                })
                .Writes([field, set](Band& b, const TVariant& v) {
                    b.*field = v.AsInteger();
                    if (b.InOutput()) (b.OwnerBand->*set)(b.*field);
                });
        };
        geometry("Left", &Band::Left, &TfrBandRuntime::Left, &TfrBandRuntime::SetLeft);
        geometry("Top", &Band::Top, &TfrBandRuntime::Top, &TfrBandRuntime::SetTop);
        geometry("Width", &Band::Width, &TfrBandRuntime::Width, &TfrBandRuntime::SetWidth);
        geometry("Height", &Band::Height, &TfrBandRuntime::Height, &TfrBandRuntime::SetHeight);
        t.Change("Visible")
            .Reads(
                [](Band& b) { return TVariant(b.InOutput() ? b.OwnerBand->Visible() : b.Visible); })
            .Writes([](Band& b, const TVariant& v) {
                b.Visible = v.AsBoolean();
                if (b.InOutput()) b.OwnerBand->SetVisible(b.Visible);
            });
        // A band's text is its script: listed under that name, still "Memo" by name.
        t.ListAs("Memo", "OnBeforePrint");

        const auto notPageFooter = [](const Band& b) { return b.BandType() != btPageFooter; };
        t.Add(
             "ChildBand", frdtEnum, [](Band& b) { return TVariant(b.ChildBand); },
             [](Band& b, const TVariant& v) {
                 b.ChildBand = v.AsString();
                 if (b.InOutput()) b.OwnerBand->SetChildBand(b.ChildBand);
             })
            .When(notPageFooter)
            .MadeChoices([](Band& b, std::string& names, std::vector<TVariant>&) {
                if (!frEngine().OutputMode) names = b.BandNames({btChild});
            });
        t.FlagBit("PrintChildIfInvisible", frdtBoolean, flBandPrintChildIfInvisible)
            .When(notPageFooter);
        t.List("Stretched", "Stretched", frdtBoolean).When(typed(HasStretched));
        t.FlagBit("FormNewPage", frdtBoolean, flBandNewPageAfter).When(typed(HasFormNewPage));
        t.FlagBit("PrintIfSubsetEmpty", frdtBoolean, flBandPrintIfSubsetEmpty)
            .When(typed(HasPrintIfSubsetEmpty));
        // While built, the page-break permission is the run-time band's too.
        t.FlagBit("Breaked", frdtBoolean, flBandBreaked)
            .When(typed(HasBreaked))
            .Reads([](Band& b) {
                return TVariant(b.InOutput() ? b.OwnerBand->PageBreak()
                                             : (b.Flags & flBandBreaked) != 0);
            })
            .Writes([](Band& b, const TVariant& v) {
                const bool on = v.AsBoolean();
                b.SetFlag(flBandBreaked, on);
                if (b.InOutput()) b.OwnerBand->SetPageBreak(on);
            });
        t.FlagBit("OnFirstPage", frdtBoolean, flBandOnFirstPage).When(typed(HasOnFirstPage));
        t.FlagBit("OnLastPage", frdtBoolean, flBandOnLastPage).When(typed(HasOnLastPage));
        t.FlagBit("RepeatHeader", frdtBoolean, flBandRepeatHeader).When(typed(HasRepeatHeader));
        t.Field("Columns", frdtInteger, &Band::Columns).When(typed(IsDataBand));
        t.Field("ColumnWidth", frdtSize, &Band::ColumnWidth).When(typed(IsDataBand));
        t.Field("ColumnGap", frdtSize, &Band::ColumnGap).When(typed(IsDataBand));
        // Edited in the designer through its editor (the source is kept in
        // FormatText); while built, writing it rebinds the run-time band.
        // Not readable.
        t.Add("DataSource", frdtHasEditor, nullptr,
              [](Band& b, const TVariant& v) {
                  if (b.InOutput()) b.OwnerBand->SetDataSource(v.AsString());
              })
            .When([](const Band& b) {
                return b.BandType() == btCrossData || IsDataBand(b.BandType());
            })
            .Editor([](Band& b) {
                HookEditor(b.BandType() == btCrossData
                               ? &TfrDesignerEditorHooks::EditCrossSourceHook
                               : &TfrDesignerEditorHooks::EditBandSourceHook)(b);
            });
        const auto groupHeader = [](const Band& b) { return b.BandType() == btGroupHeader; };
        // The group condition shares FormatText with a data band's source.
        t.Add(
             "Condition", frdtString, [](Band& b) { return TVariant(b.FormatText); },
             [](Band& b, const TVariant& v) {
                 b.FormatText = v.AsString();
                 if (b.InOutput()) b.OwnerBand->SetGroupCondition(b.FormatText);
             })
            .When(groupHeader);
        t.Field("Master", frdtEnum, &Band::Master)
            .When(groupHeader)
            .MadeChoices([](Band& b, std::string& names, std::vector<TVariant>&) {
                if (!frEngine().OutputMode)
                    names = b.BandNames({btMasterData, btDetailData, btSubDetailData});
            });
        // Read-only: the end-of-data state of the run-time band's data set;
        // without a run-time band or data set there is nothing more to read.
        t.Add("EOF", 0, [](Band& b) {
            if (!b.OwnerBand || !b.OwnerBand->HasDataSet()) return TVariant(true);
            return TVariant(b.OwnerBand->DataSetEof());
        });
        t.Field("NewColumnAfter", frdtInteger, &Band::NewColumnAfter).NotListed();
        return t.Build();
    }();
    return table;
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

void TfrBandView::ReadRecord(rtl::TStream& stream, int version) {
    TfrView::ReadRecord(stream, version);
    if (version >= frStreamVersionRecordVersions) {
        ChildBand = rtl::frReadNewString(stream);
        Columns = stream.ReadInt32();
        ColumnWidth = stream.ReadInt32();
        ColumnGap = stream.ReadInt32();
        NewColumnAfter = stream.ReadInt32();
        if (StreamVersionMajor * 10 + StreamVersionMinor >= kRecordVersionMaster)
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
    if (frIsCrossBand(BandType())) return TRect{Left - 18, Top, Left, Top + tabWidth_};
    return TRect{Left, Top - 18, Left + tabWidth_, Top};
}

void TfrBandView::Paint(gdi::Canvas& canvas) {
    FrameWidth = 1;
    TfrViewPage* page = Page();
    const bool cross = frIsCrossBand(BandType());
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
    } else if (!HasNoViewItems(t)) {
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
