#include "report/engine/report_build.h"

#include "platform/db/ado_query.h"
#include "platform/rtl/scoped_restore.h"
#include "platform/rtl/sysutils.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/engine/aggregates.h"
#include "report/engine/component_registry.h"
#include "report/engine/dataset.h"
#include "report/engine/db_dataset.h"
#include "report/engine/globals.h"
#include "report/engine/prepared_pages.h"
#include "report/model/memo_view.h"
#include "report/model/report.h"
#include "report/model/sub_report_view.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kDataTypeOfLevel[] = {-1, btMasterData, btDetailData, btSubDetailData};
constexpr int kLevels = 3;

// Header, data and footer types of each data level.
struct LevelTypes {
    int Header, Data, Footer;
};
constexpr LevelTypes kLevelTypes[] = {{btMasterHeader, btMasterData, btMasterFooter},
                                      {btDetailHeader, btDetailData, btDetailFooter},
                                      {btSubDetailHeader, btSubDetailData, btSubDetailFooter}};

bool SameName(const std::string& a, const std::string& b) {
    return rtl::CompareText(rtl::Trim(a), rtl::Trim(b)) == 0;
}

TfrBandView* AsBandObject(TfrView* view) {
    return view && view->TypeCode == gtBand ? dynamic_cast<TfrBandView*>(view) : nullptr;
}

// The name the report component has among its form's components.
std::string ReportComponentName(TfrReport& report) {
    const TfrComponentObject self{&report};
    if (const TfrComponentContainer* owner = OwnerOf(self))
        for (const TfrComponent& c : owner->Components())
            if (ComponentPointer(c.Object) == &report) return c.Name;
    return {};
}

} // namespace

// ---------------------------------------------------------------------------
// The page while it is formed.

TfrPageRuntime::TfrPageRuntime(TfrPage& page, TfrReportBuild& build) : Page(page), Build(build) {}

TfrPageRuntime::~TfrPageRuntime() {
    if (frGlobals().CurrentRunPage == this) frGlobals().CurrentRunPage = nullptr;
}

void TfrPageRuntime::MakeCurrent() {
    frEngine().CurrentPage = &Page;
    frGlobals().CurrentRunPage = this;
    frGlobals().PageNo = frEngine().PageNo;
}

int TfrPageRuntime::ColumnFooterHeight() const {
    if (IgnoreColumnFooter) return 0;
    const TfrBand* footer = RunBand(btColumnFooter);
    return footer && footer->IsBandPresent() ? footer->BandHeight : 0;
}

TfrBand* TfrPageRuntime::FindBand(const std::string& name) const {
    for (const auto& first : RunBands)
        for (TfrBand* b = first.get(); b; b = b->Next.get())
            if (b->BandObject && SameName(b->BandObject->Name, name)) return b;
    return nullptr;
}

void TfrPageRuntime::ResetForPass() {
    Records = 1;
    CrossColumn = 1;
    CurY = 0;
    MaxY = 0;
    ColumnIndex = 0;
    ColumnTopY = 0;
    OffsetX = 0;
    Recording.clear();
    ReplayIndex = 0;
    SuspendedBand = nullptr;
    LastDrawnBand = nullptr;
    NoRepeatHeaders = false;
    IgnoreColumnFooter = false;
    BreakNesting = 0;
    FreshSheet = false;
    SubReportActive = false;
    ForcePrint = false;
    CrossDepth = 0;
    CrossFirstOnSheet = true;
    pending_.clear();
    for (const auto& first : RunBands) {
        for (TfrBand* b = first.get(); b; b = b->Next.get()) {
            b->LineNo = 1;
            b->LineThroughNo = 1;
            b->GroupValue = rtl::TVariant();
            b->BandColumn = 1;
            b->MaxCrossColumns = 0;
            b->KeepAggregates = false;
            b->SkipScriptOnce = false;
            b->AggregatedRows = 0;
            b->ClearLastPrinted();
        }
    }
}

void TfrPageRuntime::InitPage() {
    TfrReport& report = Build.Report;
    const bool finalOfTwo = Build.TwoPass && report.FinalPass;
    MakeCurrent();
    if (Page.PageType == ptDialog) {
        // Dialog pages ask once per build, before the first pass.
        if (!finalOfTwo) {
            const auto& show = frGuiHooks().ShowDialogPage;
            if (show && Page.ObjectCount() > 0 && Page.Visible) {
                int result = mrOk;
                ModalResult = 0;
                try {
                    result = show(Page);
                } catch (const std::exception& e) {
                    Build.ReportBuildError(e.what());
                }
                if (result == mrCancel) Build.DialogCancelled = true;
            } else {
                // Without a form the script alone decides (MODALRESULT := 2).
                ModalResult = 0;
                Page.RunPageScript();
                if (ModalResult == mrCancel) Build.DialogCancelled = true;
            }
        }
        Initialised = true;
        return;
    }
    if (finalOfTwo && Initialised) {
        // The bands made for the first pass serve the final one.
        for (const auto& first : RunBands)
            for (TfrBand* b = first.get(); b; b = b->Next.get()) b->RestartDataSets();
        for (int i = 0; i < Page.ObjectCount(); ++i)
            if (auto* memo = dynamic_cast<TfrMemoView*>(Page.ObjectAt(i)))
                memo->LastPrintedText.clear();
        ResetForPass();
        return;
    }
    for (int type = 0; type < frBandTypeCount; ++type)
        RunBands[static_cast<size_t>(type)] = std::make_unique<TfrBand>(type, *this);
    // The page-footer room while building is what its run-time band is now.
    Page.PageFooterHeight = [this] {
        const TfrBand* footer = RunBand(btPageFooter);
        return footer && footer->BandObject ? footer->BandHeight : 0;
    };
    CreateRunBands();
    ResetForPass();
    Initialised = true;
}

void TfrPageRuntime::FillBand(TfrBand& band, TfrBandView& object) {
    band.Memo.Assign(object.Memo);
    band.Code.Assign(object.BeforePrintScript);
    band.BandLeft = object.Left;
    band.BandTop = object.Top;
    band.BandWidth = object.Width;
    band.BandHeight = object.Height;
    band.BandObject = &object;
    band.Flags = object.Flags;
    band.IsVisible = object.Visible;
    band.Name = object.Name;
    band.BandColumn = 1;
    object.OwnerBand = &band;
    band.BindDataSource(object.FormatText);
    band.Stretched = (band.Flags & flStretched) != 0;
    band.PrintIfSubsetEmpty = (band.Flags & flBandPrintIfSubsetEmpty) != 0;
    band.PrintChildIfInvisible = (band.Flags & flBandPrintChildIfInvisible) != 0;
    band.NewPageAfter = (band.Flags & flBandNewPageAfter) != 0 && !IsSubReportPage;
    band.CanBreak = (band.Flags & flBandBreaked) != 0 && !IsSubReportPage;
}

void TfrPageRuntime::CreateRunBands() {
    const int count = Page.ObjectCount();
    std::vector<char> assigned(static_cast<size_t>(count), 0);
    std::vector<char> placedInRow(static_cast<size_t>(count), 0);
    const auto& compile = frEngineHooks().CompileScript;

    // 1. Every object in prepared mode, unplaced, its script compiled once.
    for (int i = 0; i < count; ++i) {
        TfrView* v = Page.ObjectAt(i);
        v->PreparedMode = true;
        assigned[static_cast<size_t>(i)] = v->TypeCode == gtBand;
        v->OwnerBand = nullptr;
        if (compile && v->BeforePrintScript.Count() > 0) compile(v->BeforePrintScript);
        if (auto* sub = dynamic_cast<TfrSubReportView*>(v))
            if (TfrPageRuntime* subPage = Build.PageRuntime(sub->SubPage);
                subPage && subPage != this)
                subPage->IsSubReportPage = true;
    }

    // 2. Cross-tab bands: vertical strips owning the objects across them.
    for (int i = 0; i < count; ++i) {
        TfrBandView* b = AsBandObject(Page.ObjectAt(i));
        if (!b || !frIsCrossBand(b->BandType())) continue;
        TfrBand& band = *RunBand(b->BandType());
        band.ReleaseDataSets();
        band.Memo.Assign(b->Memo);
        band.Code.Assign(b->BeforePrintScript);
        band.BandLeft = b->Left;
        band.BandWidth = b->Width;
        band.BandObject = b;
        band.Flags = b->Flags;
        band.IsVisible = b->Visible;
        band.Name = b->Name;
        b->OwnerBand = &band;
        band.BindDataSource(b->FormatText);
        for (int j = 0; j < count; ++j) {
            TfrView* o = Page.ObjectAt(j);
            if (assigned[static_cast<size_t>(j)] || o->OwnerBand) continue;
            if (o->Left >= b->Left && o->Left + o->Width <= b->Left + b->Width) {
                o->OwnerBand = &band;
                o->Left -= b->Left;
            }
        }
    }

    // 3. Row bands, type by type, each taking the objects on it.
    for (int type = 0; type < btNone; ++type) {
        if (frIsCrossBand(type)) continue;
        std::vector<std::unique_ptr<TfrBand>> chain;
        for (int i = 0; i < count; ++i) {
            TfrBandView* b = AsBandObject(Page.ObjectAt(i));
            if (!b || b->BandType() != type) continue;
            std::unique_ptr<TfrBand> band = chain.empty()
                                                ? std::move(RunBands[static_cast<size_t>(type)])
                                                : std::make_unique<TfrBand>(type, *this);
            FillBand(*band, *b);
            const auto within = [b](const TfrView* o) {
                return o->Top >= b->Top && o->Top <= b->Top + b->Height;
            };
            for (int j = 0; j < count; ++j) {
                TfrView* o = Page.ObjectAt(j);
                const size_t at = static_cast<size_t>(j);
                if (assigned[at] || o->OwnerBand || o->TypeCode == gtSubReport || !within(o))
                    continue;
                band->Objects.push_back(o);
                o->Top -= b->Top;
                o->OwnerBand = band.get();
                assigned[at] = 1;
            }
            for (int j = 0; j < count; ++j) {
                TfrView* o = Page.ObjectAt(j);
                const size_t at = static_cast<size_t>(j);
                if (assigned[at] || placedInRow[at] || !o->OwnerBand || !within(o)) continue;
                band->Objects.push_back(o); // a cross-tab cell of this row
                o->Top -= b->Top;
                placedInRow[at] = 1;
            }
            for (int j = 0; j < count; ++j) {
                TfrView* o = Page.ObjectAt(j);
                const size_t at = static_cast<size_t>(j);
                if (assigned[at] || o->OwnerBand || o->TypeCode != gtSubReport || !within(o))
                    continue;
                band->Objects.push_back(o);
                o->Top -= b->Top;
                o->OwnerBand = band.get();
                assigned[at] = 1;
            }
            chain.push_back(std::move(band));
        }
        if (chain.empty()) continue;
        std::stable_sort(chain.begin(), chain.end(),
                         [](const auto& a, const auto& c) { return a->BandTop < c->BandTop; });
        std::vector<TfrBand*> order;
        for (const auto& b : chain) order.push_back(b.get());
        for (size_t k = chain.size() - 1; k > 0; --k) {
            order[k]->PrevBand = order[k - 1];
            order[k - 1]->Next = std::move(chain[k]);
        }
        order.front()->PrevBand = nullptr;
        order.front()->LastOfType = order.back();
        RunBands[static_cast<size_t>(type)] = std::move(chain.front());
    }

    // 4. Whatever lies in no band prints at its place on the page.
    TfrBand& loose = *RunBand(btNone);
    for (int j = 0; j < count; ++j) {
        TfrView* o = Page.ObjectAt(j);
        if (assigned[static_cast<size_t>(j)] || o->OwnerBand) continue;
        loose.Objects.push_back(o);
        o->OwnerBand = &loose;
        assigned[static_cast<size_t>(j)] = 1;
    }

    LinkBands();

    // 10. The page's columns.
    const int columns = std::max(Page.Columns, 1);
    ColumnWidth =
        ((Page.RightLimit() - Page.LeftLimit()) - (columns - 1) * Page.ColumnGap) / columns;
}

void TfrPageRuntime::LinkBands() {
    // 5. Headers and footers with the data bands of their level.
    for (const LevelTypes& level : kLevelTypes) {
        for (TfrBand* h = RunBand(level.Header); h; h = h->Next.get()) {
            if (!h->BandObject) continue;
            for (TfrBand* d = RunBand(level.Data); d; d = d->Next.get()) {
                if (!d->BandObject || d->BandTop < h->BandTop + h->BandHeight) continue;
                if (!d->HeaderLink) {
                    d->HeaderLink = h;
                    h->DataLink = d;
                }
                break;
            }
        }
        for (TfrBand* f = RunBand(level.Footer); f; f = f->Next.get()) {
            if (!f->BandObject) continue;
            TfrBand* last = nullptr;
            for (TfrBand* d = RunBand(level.Data); d; d = d->Next.get())
                if (d->BandObject && d->BandTop + d->BandHeight <= f->BandTop) last = d;
            if (last && !last->FooterLink) {
                last->FooterLink = f;
                f->DataLink = last;
            }
        }
    }

    // 6. Group headers, innermost first, with group footers, innermost first.
    std::vector<TfrBand*> headers, footers;
    for (TfrBand* b = RunBand(btGroupHeader); b; b = b->Next.get())
        if (b->BandObject) headers.push_back(b);
    for (TfrBand* b = RunBand(btGroupFooter); b; b = b->Next.get())
        if (b->BandObject) footers.push_back(b);
    std::reverse(headers.begin(), headers.end());
    for (size_t i = 0; i < headers.size() && i < footers.size(); ++i) {
        headers[i]->FooterLink = footers[i];
        footers[i]->DataLink = headers[i];
    }

    // 7. Cross-tab column data sets named per row band: "band=dataset;...".
    if (TfrBand* cross = RunBand(btCrossData); cross && cross->BandObject) {
        const std::string& list = cross->BandObject->FormatText;
        if (list.find(';') != std::string::npos) {
            size_t start = 0;
            while (start < list.size()) {
                size_t end = list.find(';', start);
                if (end == std::string::npos) end = list.size();
                const std::string entry = list.substr(start, end - start);
                start = end + 1;
                const size_t eq = entry.find('=');
                if (eq == std::string::npos) continue;
                const std::string bandName = entry.substr(0, eq);
                const std::string dataSetName = rtl::Trim(entry.substr(eq + 1));
                for (int type = btMasterHeader; type <= btChild; ++type) {
                    for (TfrBand* b = RunBand(type); b; b = b->Next.get()) {
                        if (!b->BandObject || !SameName(b->BandObject->Name, bandName)) continue;
                        TfrFoundDataSet found = FindDataSetByName(dataSetName);
                        b->CrossDataSet = found.DataSet;
                        b->OwnedCrossDataSet = std::move(found.Owned);
                    }
                }
            }
        }
    }

    // 8. Child bands.
    for (const auto& first : RunBands)
        for (TfrBand* b = first.get(); b; b = b->Next.get())
            if (b->BandObject && !rtl::Trim(b->BandObject->ChildBand).empty())
                b->Child = FindBand(b->BandObject->ChildBand);

    // 9. Group headers join the group list of the data band they group.
    for (TfrBand* g = RunBand(btGroupHeader); g; g = g->Next.get()) {
        if (!g->BandObject) continue;
        TfrBand* data = nullptr;
        if (rtl::Trim(g->BandObject->Master).empty()) {
            TfrBand* master = RunBand(btMasterData);
            data = master && master->BandObject ? master : nullptr;
        } else {
            data = FindBand(g->BandObject->Master);
            if (data && !frIsDataBand(data->Type)) data = nullptr;
        }
        if (!data) continue;
        g->PrevGroupHeader = data->LastGroupHeader;
        if (data->LastGroupHeader)
            data->LastGroupHeader->NextGroupHeader = g;
        else
            data->FirstGroupHeader = g;
        data->LastGroupHeader = g;
    }
}

void TfrPageRuntime::PrepareAggregatesAndFields() {
    if (Page.PageType != ptReport) return;
    TfrReport& report = Build.Report;
    const TfrDictionaryHooks& lookups = frDictionaryHooks();
    MakeCurrent();

    // 1. Objects showing a single field are bound to it (pictures load binary fields).
    for (int i = 0; i < Page.ObjectCount(); ++i) {
        TfrView* v = Page.ObjectAt(i);
        if (v->TypeCode == gtBand) continue;
        v->BoundDataSet = nullptr;
        v->BoundFieldName.clear();
        const std::string text = v->Memo.Text();
        if (text.size() <= 2 || text[0] != '[') continue;
        if (v->TypeCode == gtMemo && (v->Flags & flTextOnly)) continue;
        const size_t close = text.rfind(']');
        if (close == std::string::npos || close < 1) continue;
        const std::string name = text.substr(1, close - 1);
        if (auto* band = dynamic_cast<TfrBand*>(v->OwnerBand)) band->MakeCurrent();
        try {
            if (report.Dictionary->IsVariable(name)) {
                const auto cached = report.Dictionary->Cache.find(name);
                if (cached != report.Dictionary->Cache.end() && cached->second.DataSet &&
                    !cached->second.DataField.empty()) {
                    v->BoundDataSet = cached->second.DataSet;
                    v->BoundFieldName = cached->second.DataField;
                    continue;
                }
            }
            if (lookups.FindDataField) {
                db::TADOQuery* dataSet =
                    lookups.DefaultDataSet ? lookups.DefaultDataSet() : nullptr;
                std::string field;
                if (lookups.FindDataField(name, dataSet, field) && dataSet) {
                    v->BoundDataSet = dataSet;
                    v->BoundFieldName = field;
                }
            }
        } catch (const std::exception&) {
            // Not a field: the object evaluates its text when it prints.
        }
    }
    frEngine().CurrentBand = nullptr;

    // 2. Totals live in the data bands.
    try {
        RegisterBandAggregates(*this);
    } catch (const std::exception& e) {
        Build.ReportBuildError(e.what());
    }
}

bool TfrPageRuntime::ReplayRecording() {
    MakeCurrent();
    while (ReplayIndex < static_cast<int>(Recording.size())) {
        if (Build.Terminated()) return false;
        const TfrRecordEntry entry = Recording[static_cast<size_t>(ReplayIndex)];
        TfrBand* band = entry.Band;
        switch (entry.Kind) {
        case TfrRecordKind::PrintBand:
            if (!SuspendedBand) {
                if (band->DrawBand()) return true; // again on the next sheet
            } else {
                SuspendedBand->DoSubReports();
                if (SuspendedBand) return true;
            }
            break;
        case TfrRecordKind::FirstRecord:
            if (band->Data) band->Data->First();
            band->LineNo = 1;
            band->ClearLastPrinted();
            break;
        case TfrRecordKind::NextRecord:
            if (band->Data) band->Data->Next();
            Records += 1;
            band->LineThroughNo += 1;
            band->LineNo += 1;
            break;
        }
        MakeCurrent();
        ++ReplayIndex;
    }
    return false;
}

void TfrPageRuntime::FreeRecording() {
    Recording.clear();
    ReplayIndex = 0;
}

void TfrPageRuntime::AddPending(TfrBand* band) {
    if (band) pending_.push_back(band);
}

void TfrPageRuntime::PrintPending() {
    std::vector<TfrBand*> bands;
    bands.swap(pending_);
    for (TfrBand* b : bands)
        if (b->IsBandPresent()) ShowBand(b);
}

void TfrPageRuntime::ShowBand(TfrBand* band) {
    if (!band) return;
    if (RecordingMode == 1) {
        Recording.push_back({band, TfrRecordKind::PrintBand});
        return;
    }
    band->DrawBand();
}

void TfrPageRuntime::ShowBandByName(const std::string& name) {
    ShowBand(FindBand(name));
}

void TfrPageRuntime::BuildPage() {
    TfrReport& report = Build.Report;
    TfrEngineState& engine = frEngine();
    TfrEMFPages& sheets = *report.PreparedPages;
    MakeCurrent();
    TfrBand* master = RunBand(btMasterData);

    // 1.-2. A page without records prints nothing.
    if (!report.PrintIfEmpty) {
        bool empty = !master->Data;
        if (!empty) {
            try {
                master->Data->First();
                empty = master->Data->Eof();
            } catch (const std::exception&) {
                empty = true;
            }
        }
        if (empty) {
            // A sub-report recording its page has no sheet to skip.
            if (Build.AppendToPrevious && RecordingMode == 0) engine.PageNo += 1;
            return;
        }
    }

    NoRepeatHeaders = false;
    pending_.clear();
    bool appendedSheetHasFooter = false;
    if (RecordingMode == 0) {
        Page.RunPageScript();
        MakeCurrent();
        if (Build.AppendToPrevious && Build.PrevY >= Build.PrevBottomY) {
            Build.AppendToPrevious = false;
            Build.FooterPrinted = false;
            engine.PageNo = sheets.Count();
        }
        MaxY =
            Build.AppendToPrevious && Build.FooterPrinted ? Build.PrevBottomY : Page.BottomLimit();
        ColumnIndex = 0;
        OffsetX = LeftLimit();
        FreshSheet = false;
        if (Build.AppendToPrevious) {
            CurY = Build.PrevY;
            Build.AppendedSheet = engine.PageNo;
            appendedSheetHasFooter = Build.FooterPrinted;
        } else {
            Build.AppendedSheet = -1;
            sheets.AppendPage(Page);
            CurY = TopLimit();
            ShowBand(RunBand(btOverlay));
            ShowBand(RunBand(btNone));
        }
        Build.AppendedSheetHasFooter = appendedSheetHasFooter;
        const int sheetCount = sheets.Count();
        if (!report.OnManualBuild) ShowBand(RunBand(btReportTitle));
        if (sheets.Count() == sheetCount) {
            TfrBand* header = RunBand(btPageHeader);
            if (header->IsBandPresent() && (header->Flags & flBandOnFirstPage)) ShowBand(header);
            ShowBand(RunBand(btColumnHeader));
        }
    }

    if (!report.OnManualBuild) {
        deepestLevel_ = 0;
        for (int level = 1; level <= kLevels; ++level)
            if (RunBand(kDataTypeOfLevel[level])->IsBandPresent()) deepestLevel_ = level;
        RunDataLevel(1);
    }

    if (RecordingMode == 0) {
        if (report.OnManualBuild) {
            report.OnManualBuild(&Page);
        } else {
            rtl::ScopedRestore<bool> noRepeat(NoRepeatHeaders, true);
            ShowBand(RunBand(btColumnFooter));
            rtl::ScopedRestore<bool> noColumnFooter(IgnoreColumnFooter, true);
            ShowBand(RunBand(btReportSummary));
        }
        // Where a following page continues (PrintToPrevPage).
        Build.PrevY = ColumnIndex > 0 ? Page.BottomLimit() : CurY;
        Build.PrevBottomY = MaxY;
        ColumnIndex = 0;
        OffsetX = LeftLimit();

        const int lastSheet = engine.PageNo;
        Build.FooterPrinted = false;
        bool endPageRaised = false;
        if (!report.OnManualBuild) {
            TfrBand* footer = RunBand(btPageFooter);
            if ((lastSheet == 0 && (footer->Flags & flBandOnFirstPage)) ||
                (footer->Flags & flBandOnLastPage)) {
                rtl::ScopedRestore<uint16_t> keptFlags(footer->Flags);
                footer->Flags |= flBandOnFirstPage;
                Build.FooterPrinted = footer->IsBandPresent();
                if (Build.FooterPrinted) {
                    FinishPages(); // raises OnEndPage for the sheets it finishes
                    endPageRaised = true;
                }
            }
        }
        if (!endPageRaised) Build.RaiseEndPage(engine.PageNo);
        engine.PageNo = lastSheet + 1;
    }
    LastDrawnBand = nullptr;
}

void TfrPageRuntime::RunDataLevel(int level) {
    if (level < 1 || level > kLevels) return;
    for (TfrBand* band = RunBand(kDataTypeOfLevel[level]); band && !Build.Terminated();
         band = band->Next.get()) {
        TfrDataset* data = band->Data;
        if (!data) continue;
        data->First();
        if (RecordingMode == 1) {
            Recording.push_back({band, TfrRecordKind::FirstRecord});
        } else {
            band->LineNo = 1;
            band->ClearLastPrinted();
            band->LineThroughNo = 1;
        }
        for (TfrBand* g = band->FirstGroupHeader; g; g = g->NextGroupHeader) {
            g->LineNo = 0;
            g->ClearLastPrinted();
            g->LineThroughNo = 0;
        }
        if (data->Eof()) continue;

        AddPending(band->HeaderLink);
        for (TfrBand* g = band->FirstGroupHeader; g; g = g->NextGroupHeader) {
            g->LineNo += 1;
            g->LineThroughNo += 1;
            AddPending(g);
        }
        if (band->FooterLink) ResetAggregates(*band->FooterLink);

        while (!Build.Terminated() && !data->Eof()) {
            AddPending(band);
            if (band->PrintIfSubsetEmpty) PrintPending();
            bool printed = true;
            if (level < deepestLevel_) {
                RunDataLevel(level + 1);
                if (!pending_.empty()) {
                    // The level below printed nothing for this record.
                    if (band->PrintIfSubsetEmpty) {
                        PrintPending();
                    } else {
                        pending_.pop_back();
                        printed = false;
                    }
                }
            } else {
                PrintPending();
            }
            data->Next();

            // A group whose condition changed closes its footers and opens
            // its headers again for the next record.
            for (TfrBand* g = band->FirstGroupHeader; g; g = g->NextGroupHeader) {
                const bool atEnd = data->Eof();
                bool changed = atEnd || g->GroupValue.IsUnassigned();
                if (!changed) {
                    g->MakeCurrent();
                    const rtl::TVariant now = g->EvaluateGroupCondition();
                    try {
                        changed = now != g->GroupValue;
                    } catch (const std::exception&) {
                        changed = true; // values that no longer compare
                    }
                }
                if (!changed) continue;
                bool steppedBack = false;
                if (!atEnd) {
                    try {
                        data->Prior(); // the footers show the group's last record
                        steppedBack = true;
                    } catch (const std::exception&) {
                    }
                }
                for (TfrBand* h = band->LastGroupHeader; h && h != g; h = h->PrevGroupHeader) {
                    h->LineNo = 0;
                    if (h->FooterLink) h->FooterLink->LineNo = 0;
                    AddPending(h->FooterLink);
                }
                AddPending(g->FooterLink);
                PrintPending();
                if (atEnd) break;
                if (steppedBack) data->Next();
                if (g->NewPageAfter && g->IsVisible) NewPage();
                for (TfrBand* h = g; h; h = h->NextGroupHeader) {
                    h->LineNo += 1;
                    h->LineThroughNo += 1;
                    AddPending(h);
                }
                band->LineNo = 0;
                break;
            }

            if (RecordingMode == 1) {
                Recording.push_back({band, TfrRecordKind::NextRecord});
            } else if (printed) {
                Records += 1;
                band->LineThroughNo += 1;
                band->LineNo += 1;
                if (!data->Eof() && band->NewPageAfter && band->IsVisible) NewPage();
            }
        }
        if (!pending_.empty())
            pending_.pop_back();
        else
            ShowBand(band->FooterLink);
    }
}

void TfrPageRuntime::NewPage() {
    TfrEngineState& engine = frEngine();
    ++BreakNesting;
    struct Done {
        TfrPageRuntime& page;
        ~Done() {
            --page.BreakNesting;
            page.FreshSheet = true;
        }
    } done{*this};
    Build.Progress(engine.PageNo + 1);
    if (!NoRepeatHeaders) ShowBand(RunBand(btColumnFooter));
    FinishPages();
    MaxY = Page.BottomLimit();
    Build.Report.PreparedPages->AppendPage(Page);
    Build.AppendToPrevious = false;
    ShowBand(RunBand(btOverlay));
    CurY = TopLimit();
    ShowBand(RunBand(btPageHeader));
    ShowBand(RunBand(btColumnHeader));
}

void TfrPageRuntime::NewColumn(TfrBand* band) {
    ++BreakNesting;
    struct Done {
        TfrPageRuntime& page;
        ~Done() {
            --page.BreakNesting;
            page.FreshSheet = true;
        }
    } done{*this};
    if (ColumnIndex < std::max(Page.Columns, 1) - 1) {
        ShowBand(RunBand(btColumnFooter));
        ColumnIndex += 1;
        OffsetX += ColumnWidth + Page.ColumnGap;
        CurY = ColumnTopY;
        ShowBand(RunBand(btColumnHeader));
    } else {
        NewPage();
    }
    // Headers marked to repeat come again above the band that broke.
    if (!NoRepeatHeaders) {
        for (TfrBand* g = RunBand(btGroupHeader); g && g != band; g = g->Next.get()) {
            if (!g->BandObject || !(g->Flags & flBandRepeatHeader)) continue;
            rtl::ScopedRestore<bool> keep(g->KeepAggregates, true);
            ShowBand(g);
        }
    }
    if (band && frIsDataBand(band->Type) && band->HeaderLink &&
        (band->HeaderLink->Flags & flBandRepeatHeader)) {
        rtl::ScopedRestore<bool> keep(band->HeaderLink->KeepAggregates, true);
        ShowBand(band->HeaderLink);
    }
}

void TfrPageRuntime::FinishPages() {
    TfrEngineState& engine = frEngine();
    ++BreakNesting;
    struct Done {
        int& nesting;
        ~Done() { --nesting; }
    } done{BreakNesting};
    ColumnIndex = 0;
    OffsetX = LeftLimit();
    TfrEMFPages& sheets = *Build.Report.PreparedPages;
    TfrBand* footer = RunBand(btPageFooter);
    if (engine.PageNo > 0 || (footer->Flags & flBandOnFirstPage)) {
        for (; engine.PageNo < sheets.Count(); ++engine.PageNo) {
            if (Build.AppendToPrevious && Build.AppendedSheetHasFooter &&
                engine.PageNo == Build.AppendedSheet)
                continue; // its footer is there from the page it continues
            Build.RaiseEndPage(engine.PageNo);
            ShowBand(footer);
        }
    }
    engine.PageNo = sheets.Count();
}

void TfrPageRuntime::ReleasePage() {
    if (!Initialised) return;
    TfrEngineState& engine = frEngine();
    if (frGlobals().CurrentRunPage == this) frGlobals().CurrentRunPage = nullptr;
    if (auto* band = dynamic_cast<TfrBand*>(engine.CurrentBand); band && band->Runtime == this)
        engine.CurrentBand = nullptr;
    // Objects must not point at bands that are going.
    for (int i = 0; i < Page.ObjectCount(); ++i) Page.ObjectAt(i)->OwnerBand = nullptr;
    for (auto& band : RunBands) band.reset();
    Page.PageFooterHeight = nullptr;
    Recording.clear();
    pending_.clear();
    LastDrawnBand = nullptr;
    SuspendedBand = nullptr;
    Initialised = false;
}

// ---------------------------------------------------------------------------
// The build.

TfrReportBuild::TfrReportBuild(TfrReport& report) : Report(report) {}

TfrReportBuild::~TfrReportBuild() {
    ReleaseAll();
}

TfrPageRuntime* TfrReportBuild::PageRuntime(int index) const {
    if (index < 0 || index >= static_cast<int>(Pages.size())) return nullptr;
    return Pages[static_cast<size_t>(index)].get();
}

bool TfrReportBuild::Terminated() const {
    return Report.CancelRequested;
}

void TfrReportBuild::Progress(int n) {
    Report.ReportProgress(n);
}

void TfrReportBuild::RaiseEndPage(int pageNo) {
    if (Report.OnEndPage) Report.OnEndPage(pageNo);
    TfrReport* master = frEngine().MasterReport;
    if (master && master != &Report && master->OnEndPage) master->OnEndPage(pageNo);
}

std::string TfrReportBuild::ErrorText(const std::string& message, TfrView* object) const {
    std::string text = LoadResourceString(frsBuildError);
    if (object)
        for (int i = 0; i < object->Memo.Count(); ++i) text += "\r" + object->Memo[i];
    text +=
        "\r\r" + LoadResourceString(frsBuildErrorReport) + " " + ReportComponentName(Report) + "\r";
    if (object) text += LoadResourceString(frsBuildErrorObject) + " " + object->Name + "\r";
    text += "\r" + message;
    return text;
}

void TfrReportBuild::ReportBuildError(const std::string& message) {
    // The first error is the one worth reading; the build stops at it.
    if (!BuildError) {
        BuildError = true;
        BuildErrorMessage = ErrorText(message, dynamic_cast<TfrView*>(frEngine().CurrentObject));
    }
    Report.StopRequested = false;
    Report.CancelRequested = true;
}

void TfrReportBuild::ReportOutputProblem(TfrView& view, const std::string& message) {
    if (OutputProblemMessage.empty()) OutputProblemMessage = ErrorText(message, &view);
}

void TfrReportBuild::ReleaseAll() {
    for (auto& page : Pages)
        if (page) page->ReleasePage();
}

void TfrReportBuild::SetFinalPass(bool finalPass) {
    Report.FinalPass = finalPass;
}

void TfrReportBuild::SetPassText(const std::string& text) {
    Report.ProgressBaseText = text;
    if (!Report.OnProgress && Report.ShowProgress && frGuiHooks().SetProgressText)
        frGuiHooks().SetProgressText(text + " 1");
}

bool TfrReportBuild::Run() {
    TfrReport& report = Report;
    TfrEngineState& engine = frEngine();
    if (!report.StoredPrinterName.empty()) report.SelectReportPrinter(report.StoredPrinterName);
    engine.OutputMode = true;
    frStartBuildClock();
    engine.CurrentPage = nullptr;
    engine.CurrentBand = nullptr;
    engine.CurrentObject = nullptr;
    frGlobals().CurrentRunPage = nullptr;
    SetCurReport(&report);
    rtl::ScopedRestore<TfrReport*> master(engine.MasterReport,
                                          engine.MasterReport ? engine.MasterReport : &report);
    TwoPass = report.DoublePass;

    // What objects report while they print comes here for this build.
    TfrEngineHooks& hooks = frEngineHooks();
    rtl::ScopedRestore<std::function<void(TfrView&, const std::string&)>> problems(
        hooks.ReportOutputProblem,
        [this](TfrView& view, const std::string& message) { ReportOutputProblem(view, message); });
    rtl::ScopedRestore<std::function<bool(TfrView&, TfrBlobData&)>> blobs(
        hooks.ReadBoundBlob, [](TfrView& view, TfrBlobData& blob) {
            if (!view.BoundDataSet || view.BoundFieldName.empty()) return false;
            const db::TField* field = view.BoundDataSet->FindField(view.BoundFieldName);
            if (!field || !IsBlobField(field)) return false;
            blob.IsNull = field->IsNull();
            blob.Bytes = blob.IsNull ? std::string() : field->AsBytes();
            return true;
        });

    // The build compiles conditions and scripts and moves objects in the
    // template; the template comes back from this copy afterwards.
    rtl::TMemoryStream saved;
    const double changed = report.InfoChanged;
    report.SaveTemplateStream(saved);
    report.InfoChanged = changed;
    engine.OutputMode = true;
    const auto reload = [&] {
        ReleaseAll();
        Pages.clear();
        saved.SetPosition(0);
        report.LoadTemplateStream(saved);
        report.InfoChanged = changed;
        SetFinalPass(false);
        engine.ScriptPass = false;
        engine.CurrentBand = nullptr;
        engine.CurrentObject = nullptr;
        engine.CurrentPage = nullptr;
        frGlobals().CurrentRunPage = nullptr;
    };

    try {
        if (report.OnBeginDoc) report.OnBeginDoc();
        RunPasses();
        if (report.OnEndDoc) report.OnEndDoc();
    } catch (...) {
        report.PreparedPages->Clear();
        reload();
        throw;
    }
    reload();

    const auto showError = [](const std::string& text) {
        if (frGuiHooks().ShowError)
            frGuiHooks().ShowError(text, LoadResourceString(frsErrorBoxCaption));
    };
    if (BuildError) {
        showError(BuildErrorMessage);
        report.PreparedPages->Clear();
        return false;
    }
    if (DialogCancelled || Cancelled) {
        report.PreparedPages->Clear();
        return false;
    }
    if (!OutputProblemMessage.empty()) showError(OutputProblemMessage);
    return true;
}

void TfrReportBuild::RunPasses() {
    TfrReport& report = Report;
    TfrEngineState& engine = frEngine();
    report.CancelRequested = false;
    report.StopRequested = false;
    AppendToPrevious = false;
    engine.ScriptPass = false;
    SetFinalPass(true);
    engine.PageNo = 0;
    report.PreparedPages->Clear();
    report.TotalPages = 0;
    std::string caption = LoadResourceString(frsPreparingReport);
    if (!report.Title.empty()) caption += " - " + report.Title;

    const auto startPass = [this, &engine, &report](bool scriptPass) {
        report.CancelRequested = false;
        report.StopRequested = false;
        engine.ScriptPass = scriptPass;
        SetFinalPass(!scriptPass);
        engine.PageNo = 0;
        report.PreparedPages->Clear();
        AppendToPrevious = false;
        PrevY = PrevBottomY = 0;
        FooterPrinted = false;
        AppendedSheet = -1;
        AppendedSheetHasFooter = false;
    };
    const auto passes = [&] {
        if (TwoPass) {
            startPass(true);
            SetPassText(LoadResourceString(frsFirstPass));
            RunPass();
            report.TotalPages = report.PreparedPages->Count();
            // The operator's Cancel or an error ends the build; STOPREPORT
            // only ends this pass, and the final pass stops where it did.
            if (Terminated() && !report.StopRequested) {
                report.PreparedPages->Clear();
                return;
            }
            startPass(false);
        }
        SetPassText(LoadResourceString(frsProcessingPage));
        RunPass();
    };
    if (report.ShowProgress && !report.OnProgress && frGuiHooks().RunWithProgress)
        frGuiHooks().RunWithProgress(report, caption, passes);
    else
        passes();
    Cancelled = Terminated() && !report.StopRequested && !BuildError;
}

void TfrReportBuild::RunPass() {
    TfrReport& report = Report;
    TfrEngineState& engine = frEngine();
    if (frGuiHooks().ProcessMessages) frGuiHooks().ProcessMessages();
    report.RebuildAllowed = true;
    engine.OutputMode = true;
    SetCurReport(&report);
    report.Dictionary->ClearCache();
    BuildError = false;
    BuildErrorMessage.clear();

    const bool multiple = report.ReportType == TfrReportType::rtMultiple && report.Dataset;
    if (multiple) {
        report.Dataset->BeginWalk();
        report.Dataset->First();
    }
    const bool finalOfTwo = TwoPass && report.FinalPass;
    const int pageCount = report.Pages->Count();
    if (static_cast<int>(Pages.size()) != pageCount) {
        ReleaseAll();
        Pages.clear();
        for (int i = 0; i < pageCount; ++i)
            Pages.push_back(std::make_unique<TfrPageRuntime>(report.Pages->Items(i), *this));
    }
    if (!finalOfTwo) {
        DialogCancelled = false;
        // Pages printed through sub-report objects are known before any page
        // makes its bands (they do not break pages themselves).
        for (auto& page : Pages) page->IsSubReportPage = false;
        for (auto& page : Pages)
            for (int i = 0; i < page->Page.ObjectCount(); ++i)
                if (auto* sub = dynamic_cast<TfrSubReportView*>(page->Page.ObjectAt(i)))
                    if (TfrPageRuntime* target = PageRuntime(sub->SubPage);
                        target && target != page.get())
                        target->IsSubReportPage = true;
    }

    for (auto& page : Pages) {
        if (page->Page.PageType != ptDialog) continue;
        page->InitPage();
        if (DialogCancelled) break;
    }
    if (!DialogCancelled && !Terminated()) {
        for (auto& page : Pages)
            if (page->Page.PageType == ptReport) page->InitPage();
        // Every pass registers its totals afresh, so none carries over.
        for (auto& page : Pages)
            if (page->Page.PageType == ptReport) page->PrepareAggregatesAndFields();
        do {
            Progress(engine.PageNo + 1);
            for (int j = 0; j < pageCount && !Terminated(); ++j) {
                TfrPageRuntime& page = *Pages[static_cast<size_t>(j)];
                page.MakeCurrent();
                page.PageIndex = j + 1;
                if (!page.Page.Visible) {
                    page.Page.RunPageScript();
                } else if (page.Page.PageType == ptReport && !page.IsSubReportPage) {
                    page.RecordingMode = 0;
                    page.BuildPage();
                }
                AppendToPrevious = false;
                if (j + 1 < pageCount && report.Pages->Items(j + 1).PrintToPrevPage &&
                    report.PreparedPages->Count() > 0 && engine.PageNo > 0) {
                    // The next page continues on this page's last sheet.
                    AppendToPrevious = true;
                    engine.PageNo -= 1;
                } else {
                    engine.PageNo = report.PreparedPages->Count();
                    Progress(engine.PageNo);
                }
            }
            Progress(engine.PageNo);
            if (multiple) report.Dataset->Next();
        } while (!Terminated() && multiple && !report.Dataset->Eof());
    }

    // The first pass of two leaves its bands to the final one.
    if (!(TwoPass && !report.FinalPass)) {
        for (auto& page : Pages)
            if (page->Page.PageType == ptReport) page->ReleasePage();
        for (auto& page : Pages)
            if (page->Page.PageType == ptDialog) page->ReleasePage();
    }
    if (multiple) report.Dataset->EndWalk();
}

// ---------------------------------------------------------------------------
// The report component's build entry points.

bool TfrReport::BuildPreparedReport() {
    TfrReportBuild build(*this);
    return build.Run();
}

void TfrReport::BuildAndPreview() {
    if (BuildPreparedReport()) PreviewPreparedReport();
}

void TfrReport::StopReport() {
    StopRequested = true;
    CancelRequested = true;
}
