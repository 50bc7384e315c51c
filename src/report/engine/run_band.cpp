#include "report/engine/run_band.h"

#include "platform/rtl/sysutils.h"
#include "report/engine/aggregates.h"
#include "report/engine/dataset.h"
#include "report/engine/globals.h"
#include "report/engine/prepared_pages.h"
#include "report/engine/report_build.h"
#include "report/model/memo_view.h"
#include "report/model/report.h"
#include "report/model/sub_report_view.h"

#include <algorithm>
#include <limits>

namespace {

// Band types that keep their own place instead of printing at CurY.
bool KeepsOwnTop(int bandType) {
    return bandType == btPageFooter || bandType == btOverlay || bandType == btNone;
}

// Band types printed without asking whether they fit.
bool SkipsFitCheck(int bandType) {
    return KeepsOwnTop(bandType) || bandType == btColumnFooter;
}

// The geometry an object has before it is placed on the sheet, put back
// after its output whatever the output did to it.
class KeptGeometry {
public:
    explicit KeptGeometry(TfrView& view)
        : view_(view), left_(view.Left), top_(view.Top), width_(view.Width), height_(view.Height) {}
    ~KeptGeometry() {
        view_.Left = left_;
        view_.Top = top_;
        view_.Width = width_;
        view_.Height = height_;
    }
    KeptGeometry(const KeptGeometry&) = delete;
    KeptGeometry& operator=(const KeptGeometry&) = delete;

private:
    TfrView& view_;
    int left_, top_, width_, height_;
};

} // namespace

TfrBand::TfrBand(int bandType, TfrPageRuntime& runtime)
    : Page(&runtime.Page), Runtime(&runtime), Type(bandType) {}

TfrBand::~TfrBand() {
    // The chain is taken down one band at a time, however long it is.
    std::unique_ptr<TfrBand> next = std::move(Next);
    while (next) next = std::move(next->Next);
    if (frEngine().CurrentBand == this) frEngine().CurrentBand = nullptr;
    ReleaseDataSets();
}

void TfrBand::SetChildBand(const std::string& bandName) {
    Child = rtl::Trim(bandName).empty() ? nullptr : Runtime->FindBand(bandName);
}

void TfrBand::SetGroupCondition(const std::string& condition) {
    GroupCondition = condition;
}

void TfrBand::SetDataSource(const std::string& dataSetName) {
    ReleaseDataSets();
    BindDataSource(dataSetName);
}

bool TfrBand::DataSetEof() {
    return Data ? Data->Eof() : true;
}

void TfrBand::DataSetFirst() {
    if (Data) Data->First();
}

void TfrBand::DataSetNext() {
    if (Data) Data->Next();
}

void TfrBand::DataSetPrior() {
    if (Data) Data->Prior();
}

void TfrBand::BindDataSource(const std::string& text) {
    if (Type == btGroupHeader) {
        SetGroupCondition(text);
        return;
    }
    if (text.find(';') != std::string::npos) return; // a cross-tab list, bound with the links
    TfrReport& report = Runtime->Build.Report;
    const std::string name = report.Dictionary->RealBandDataSourceName(rtl::Trim(text));
    if (!name.empty()) {
        TfrFoundDataSet found = FindDataSetByName(name);
        Data = found.DataSet;
        OwnedDataSet = std::move(found.Owned);
        walking_ = Data != nullptr;
    }
    if (!Data && Type == btMasterData && report.ReportType == TfrReportType::rtSimple &&
        report.Dataset) {
        Data = report.Dataset;
        Data->BeginWalk();
        walking_ = true;
    }
}

void TfrBand::ReleaseDataSets() {
    if (Data && walking_) {
        try {
            Data->EndWalk();
        } catch (const std::exception&) {
            // A data set whose rows went away has nothing left to give back.
        }
    }
    walking_ = false;
    Data = nullptr;
    OwnedDataSet.reset();
    if (CrossDataSet) {
        try {
            CrossDataSet->EndWalk();
        } catch (const std::exception&) {
        }
    }
    CrossDataSet = nullptr;
    OwnedCrossDataSet.reset();
}

void TfrBand::RestartDataSets() {
    if (Data && walking_) {
        Data->EndWalk();
        Data->BeginWalk();
    }
}

rtl::TVariant TfrBand::EvaluateGroupCondition() {
    if (rtl::Trim(GroupCondition).empty()) return rtl::TVariant(std::string());
    return frCalculate(GroupCondition);
}

void TfrBand::ClearLastPrinted() {
    for (TfrView* v : Objects)
        if (auto* memo = dynamic_cast<TfrMemoView*>(v)) memo->LastPrintedText.clear();
}

bool TfrBand::IsBandPresent() const {
    return BandObject != nullptr || (Type == btNone && !Objects.empty());
}

TfrRunBand* TfrBand::FirstBand() const {
    return Runtime->RunBand(Type);
}

void TfrBand::MakeCurrent() {
    frEngine().CurrentBand = this;
    // PAGE# reads the value side's copy of the sheet being filled.
    frGlobals().PageNo = frEngine().PageNo;
}

bool TfrBand::DrawBand() {
    // A child chain that leads back to a band being printed stops here.
    if (drawing_) return false;
    struct Drawing {
        bool& flag;
        ~Drawing() { flag = false; }
    } drawing{drawing_};
    drawing_ = true;

    TfrPageRuntime& page = *Runtime;
    TfrReport& report = page.Build.Report;
    TfrEngineState& engine = frEngine();
    bool result = false;
    const bool keptCanBreak = CanBreak;
    engine.CurrentObject = BandObject;
    MakeCurrent();
    CalcedHeight = -1;
    NewPageRequests = 0;
    NewColumnRequests = 0;
    if (report.OnBeginBand) report.OnBeginBand(this);

    // A row of band columns left unfinished: this band goes below it, at its left edge.
    if (TfrBand* last = page.LastDrawnBand;
        last && last != this && last->IsBandPresent() && last->BandColumn > 1) {
        page.OffsetX = last->BandColumnStartX;
        page.CurY += last->BandHeight;
        last->BandColumn = 1; // the row is closed once, whatever prints next
    }

    CurYSetByScript = false;
    if (!SkipScriptOnce) {
        const auto& run = frEngineHooks().RunScript;
        if (run && BandObject && Code.Count() > 0) run(*BandObject, Code);
    }
    SkipScriptOnce = false;
    const int y0 = page.CurY;
    if (page.Build.Terminated()) {
        CanBreak = keptCanBreak;
        return false;
    }

    // Breaks the script asked for, before the band prints; not while a break
    // is being made, which would start it again without end.
    if (page.IsSubReportPage) {
        // A sub-report page has no sheets of its own: the band comes again
        // on the sheet the sub-report continues on (not asked again there).
        if ((NewPageRequests > 0 || NewColumnRequests > 0) && !page.FreshSheet &&
            !page.ForcePrint) {
            CanBreak = keptCanBreak;
            return true;
        }
    } else if (page.BreakNesting == 0) {
        // The requests made by this print's script; the band's script run
        // again by the breaks (a cross-tab band's, shown with the headers)
        // does not add to them.
        const int pages = NewPageRequests;
        const int columns = NewColumnRequests;
        for (int i = 0; i < pages && !page.Build.Terminated(); ++i) {
            page.ColumnIndex = std::max(page.Page.Columns, 1) - 1;
            page.NewColumn(this);
        }
        for (int i = 0; i < columns && !page.Build.Terminated(); ++i) page.NewColumn(this);
    }
    if (CurYSetByScript) page.CurY = y0;

    if (IsVisible) {
        if (Type == btColumnHeader) page.ColumnTopY = page.CurY;
        if (Type == btPageFooter) BandTop = page.MaxY;
        if (IsBandPresent()) {
            CalcedHeight = std::max(CalcedHeight, BandHeight);
            if (!SkipsFitCheck(Type)) {
                const int h = CalcBandHeight();
                if (page.CurY + h > page.MaxY && !CanBreak) {
                    // The room a sheet started by a break gives, below its header.
                    int room = page.MaxY - page.TopLimit();
                    if (TfrBand* header = page.RunBand(btPageHeader);
                        header && header->IsBandPresent() && header->IsVisible && header != this)
                        room -= header->BandHeight;
                    if (page.FreshSheet || page.BreakNesting > 0 || page.ForcePrint) {
                        // The sheet holds only what its break printed: another
                        // break would bring the same again, so it prints here.
                        CanBreak = true;
                    } else if (page.IsSubReportPage) {
                        CanBreak = keptCanBreak;
                        return true; // replayed on the next sheet
                    } else if (h <= room) {
                        result = true;
                        CheckFit(0, kForceBreak, false);
                        // Taller than the sheet it broke to: it splits there.
                        if (page.CurY + h > page.MaxY) CanBreak = true;
                    } else {
                        CanBreak = true; // taller than any sheet: it splits from here
                    }
                }
            }
            SubReportsDone = true;
            if (frIsDataBand(Type) && Data && Next && !Next->Data) {
                // A row of bands printed per record.
                DrawBandBody();
                for (TfrBand* b = Next.get(); b; b = b->Next.get())
                    if (b->IsVisible) b->DrawBandBody();
            } else {
                DrawBandBody();
                if (Child) Child->DrawBand();
                if (!frIsDataBand(Type) && Type != btGroupHeader && NewPageAfter && IsVisible &&
                    page.BreakNesting == 0)
                    page.NewPage();
            }
            if (!SubReportsDone) result = true;
        }
    } else {
        if (Child && PrintChildIfInvisible) Child->DrawBand();
        if (frIsDataBand(Type)) AccumulateRow(*this);
    }

    if (!KeepAggregates) {
        if (Type == btGroupHeader) {
            for (TfrBand* g = this; g; g = g->Next.get())
                g->GroupValue = g->EvaluateGroupCondition();
        } else if (Type != btPageFooter || report.PreparedPages->Count() == engine.PageNo + 1) {
            ResetAggregates(*this);
        }
    }
    if (report.OnEndBand) report.OnEndBand(this);
    CanBreak = keptCanBreak;
    return result;
}

int TfrBand::CalcBandHeight() {
    int result;
    if (frIsDataBand(Type) && Next && !Next->Data) {
        result = 0;
        for (TfrBand* b = this; b; b = b->Next.get()) {
            if (b != this) b->CalcedHeight = -1; // measured afresh for this record
            result += b->MeasureBand();
        }
    } else {
        result = Stretched ? MeasureBand() : BandHeight;
    }
    CalcedHeight = std::max(CalcedHeight, result);
    return result;
}

int TfrBand::MeasureBand() {
    TfrPageRuntime& page = *Runtime;
    TfrReport& report = page.Build.Report;
    int result = BandHeight;
    TfrBand* cross = page.RunBand(btCrossData);
    TfrDataset* columns =
        cross && cross->IsBandPresent() ? (cross->Data ? cross->Data : CrossDataSet) : nullptr;
    if (HasCrossObjects() && Type != btPageFooter && columns) {
        // Every column's cells, as each record of the column data set fills them.
        page.CrossColumn = 1;
        if (report.OnBeginColumn) report.OnBeginColumn(this);
        columns->First();
        while (!columns->Eof() && !page.Build.Terminated()) {
            int width = 0;
            if (report.OnPrintColumn) report.OnPrintColumn(page.CrossColumn, width);
            result = std::max(result, MeasureObjects(true));
            page.CrossColumn += 1;
            columns->Next();
        }
    } else {
        result = std::max(result, MeasureObjects(false));
    }
    CalcedHeight = std::max(CalcedHeight, result);
    return result;
}

int TfrBand::MeasureObjects(bool crossMode) {
    MakeCurrent();
    int result = BandHeight;
    for (TfrView* v : Objects) {
        auto* stretcheable = dynamic_cast<TfrStretcheable*>(v);
        if (!stretcheable || !(crossMode || v->OwnerBand == this)) continue;
        result = std::max(result, v->Top + stretcheable->CalcHeight());
        if (crossMode) stretcheable->PaintPart = 0;
    }
    return result;
}

bool TfrBand::HasCrossObjects() const {
    return std::any_of(Objects.begin(), Objects.end(),
                       [this](const TfrView* v) { return v->OwnerBand && v->OwnerBand != this; });
}

void TfrBand::StretchObjects(int height) {
    keptHeights_.resize(Objects.size());
    for (size_t i = 0; i < Objects.size(); ++i) {
        TfrView* v = Objects[i];
        keptHeights_[i] = v->Height;
        if ((v->Flags & flStretched) && v->Height > 0 && dynamic_cast<TfrStretcheable*>(v))
            v->Height = height - v->Top;
    }
}

void TfrBand::UnStretch() {
    for (size_t i = 0; i < Objects.size() && i < keptHeights_.size(); ++i)
        Objects[i]->Height = keptHeights_[i];
}

bool TfrBand::CheckFit(int y, int height, bool testOnly) {
    if (Type == btColumnFooter) return false;
    TfrPageRuntime& page = *Runtime;
    if (static_cast<long long>(page.MaxY) >=
        static_cast<long long>(y) + height + page.ColumnFooterHeight())
        return false;
    // A sheet just started by a break, or a break under way, is not left again.
    if (!testOnly && !page.FreshSheet && page.BreakNesting == 0 && !page.IsSubReportPage)
        page.NewColumn(this);
    return true;
}

void TfrBand::DrawBandBody() {
    if (!IsBandPresent()) return;
    TfrPageRuntime& page = *Runtime;
    const int keptTop = BandTop;
    const bool ownTop = KeepsOwnTop(Type);
    if (!ownTop) BandTop = page.CurY;
    const int occurrence = std::max(CalcedHeight, BandHeight);

    if (Stretched) {
        const int h = occurrence;
        StretchObjects(h);
        DrawnHeight = h;
        if (!CanBreak && !ownTop) CheckFit(BandTop, h, false);
        if (!ownTop) BandTop = page.CurY;
        bool handled = false;
        if (CanBreak) {
            DrawSplit();
        } else {
            handled = OutputObjects();
            if (HasCrossObjects()) DrawCrossColumns();
        }
        UnStretch();
        if (!CanBreak && !handled && !ownTop) page.CurY += h;
    } else {
        if (!ownTop) {
            if (!CanBreak) CheckFit(BandTop, BandHeight, false);
            BandTop = page.CurY;
        }
        if (CanBreak) {
            DrawnHeight = occurrence;
            DrawSplit();
        } else {
            const bool handled = OutputObjects();
            if (HasCrossObjects()) DrawCrossColumns();
            if (!ownTop && !handled) page.CurY += BandHeight;
        }
    }
    if (page.BreakNesting == 0) page.FreshSheet = false;

    // Band columns: occurrences side by side until the row is full.
    if (page.LastDrawnBand != this) BandColumn = 1;
    page.LastDrawnBand = this;
    if (BandObject && BandObject->Columns > 1 && BandObject->NewColumnAfter == 1) {
        if (BandColumn == 1) BandColumnStartX = page.OffsetX;
        const int k = BandColumn;
        BandColumn = k + 1;
        if (k + 1 > BandObject->Columns) {
            page.OffsetX = BandColumnStartX;
            BandColumn = 1;
        } else {
            page.OffsetX = BandColumnStartX + k * (BandObject->ColumnWidth + BandObject->ColumnGap);
            page.CurY -= occurrence;
        }
    }

    BandTop = keptTop;
    if (frIsDataBand(Type)) AccumulateRow(*this);
}

bool TfrBand::OutputObjects() {
    TfrPageRuntime& page = *Runtime;
    TfrEngineState& engine = frEngine();
    for (size_t i = 0; i < Objects.size(); ++i) {
        TfrView* v = Objects[i];
        if (v->TypeCode == gtSubReport) {
            if (!v->Visible) continue;
            // The sub-reports print beside the band and take over its end.
            FirstSubReport = static_cast<int>(i);
            int limit = page.CurY + BandHeight;
            if (limit < 1) limit = 0;
            const int pageNo = engine.PageNo;
            PrepareSubReports();
            DoSubReports();
            if (engine.PageNo == pageNo && page.CurY < limit) page.CurY = limit;
            page.MakeCurrent();
            return true;
        }
        OutputObject(*v);
        if (page.Build.Terminated()) break;
    }
    return false;
}

void TfrBand::OutputObject(TfrView& object) {
    TfrPageRuntime& page = *Runtime;
    page.MakeCurrent();
    MakeCurrent();
    // A cross-tab cell prints with its column.
    if (object.OwnerBand && object.OwnerBand != this) return;
    TfrEngineState& engine = frEngine();
    try {
        if (CanBreak || !engine.ScriptPass) {
            TfrEMFPages& pages = *page.Build.Report.PreparedPages;
            // Nothing to print on before the page's first sheet is there (a
            // page script showing a band).
            if (engine.PageNo < 0 || engine.PageNo >= pages.Count()) return;
            rtl::TMemoryStream& stream = *pages.PageAt(engine.PageNo).Stream;
            stream.SetPosition(stream.Size());
            KeptGeometry kept(object);
            object.Left += page.OffsetX - page.LeftLimit();
            object.Top += BandTop;
            object.OutputToPage(stream);
        } else {
            engine.CurrentObject = &object;
            if (auto* stretcheable = dynamic_cast<TfrStretcheable*>(&object);
                stretcheable && stretcheable->PaintPart != 0) {
                stretcheable->PaintPart = 0; // its script ran while it was measured
                return;
            }
            const auto& run = frEngineHooks().RunScript;
            if (run && object.BeforePrintScript.Count() > 0) run(object, object.BeforePrintScript);
        }
    } catch (const std::exception& e) {
        page.Build.ReportBuildError(e.what());
    }
}

void TfrBand::DrawSplit() {
    TfrPageRuntime& page = *Runtime;
    TfrEngineState& engine = frEngine();
    const bool hasSubReports = std::any_of(Objects.begin(), Objects.end(), [](const TfrView* v) {
        return v->TypeCode == gtSubReport && v->Visible;
    });
    // Where no sheet may be started (a break under way, a sub-report page,
    // bands that keep their own place) the occurrence prints whole, clipped;
    // sub-reports run over sheets of their own accord.
    if (page.BreakNesting > 0 || page.IsSubReportPage || KeepsOwnTop(Type) ||
        Type == btColumnFooter || hasSubReports) {
        const bool handled = OutputObjects();
        if (!KeepsOwnTop(Type) && !handled) page.CurY += DrawnHeight;
        return;
    }

    struct Kept {
        int Left, Top, Width, Height;
        bool Deferred;
        bool Prepared; // its text is laid out for this occurrence
    };
    std::vector<Kept> kept;
    kept.reserve(Objects.size());
    for (TfrView* v : Objects) {
        auto* st = dynamic_cast<TfrStretcheable*>(v);
        kept.push_back({v->Left, v->Top, v->Width, v->Height, false, st && st->PaintPart == 1});
        v->Selected = true;
        if (v->BandAlign == baBottom) v->Top = CalcedHeight - v->Height;
    }
    // A stretchable object about to print a part has its text laid out first.
    const auto prepare = [&](size_t i, TfrStretcheable& st) {
        if (kept[i].Prepared) return;
        engine.CurrentObject = &st;
        MakeCurrent();
        const int height = st.Height;
        st.CalcHeight();
        st.Height = height;
        kept[i].Prepared = true;
    };
    int a = 0;          // height used on the current sheet
    int b = 0;          // room on the current sheet
    bool shown = false; // something printed on the current sheet
    const auto output = [&](TfrView& v) {
        auto* memo = dynamic_cast<TfrMemoView*>(&v);
        const bool part = memo && memo->PaintPart == 2;
        engine.CurrentObject = &v;
        OutputObject(v);
        shown = true;
        if (part && memo->WorkMemo.Count() == 0) {
            // No text left: the memo does not go on to a further sheet.
            v.Selected = false;
            a = std::max(a, std::clamp(v.Top + v.Height, 0, std::max(b, 0)));
        }
    };

    if (!CheckFit(BandTop, DrawnHeight, true)) {
        OutputObjects();
    } else {
        // On a sheet that holds nothing else, moving on does not help.
        bool fresh = page.FreshSheet || BandTop <= page.TopLimit();
        while (!page.Build.Terminated()) {
            // The room on this sheet, relative to the band's top.
            b = page.MaxY - page.ColumnFooterHeight() - BandTop - 2;
            a = 0;
            shown = false;
            for (size_t i = 0; i < Objects.size(); ++i) {
                TfrView* v = Objects[i];
                if (!v->Selected) continue;
                // Memos print in parts; pictures, lines and the rest move whole.
                TfrStretcheable* st = dynamic_cast<TfrMemoView*>(v);
                const int y = v->Top;
                if (fresh && b <= 0) {
                    // No room even on a fresh sheet: the rest prints here, clipped.
                    if (y < 0 && st) {
                        prepare(i, *st);
                        v->Height = std::max(y + v->Height, 0);
                        st->PaintPart = 2;
                    }
                    v->Top = std::max(y, 0);
                    output(*v);
                    v->Selected = false;
                    continue;
                }
                if (y >= 0 && y < b) {
                    if (y + v->Height < b) {
                        output(*v);
                        v->Selected = false;
                        a = std::max(a, y + v->Height);
                    } else if (st) {
                        const int height = v->Height;
                        v->Height = b - y + 1;
                        const int d = st->MeasureRemainder();
                        if (st->MeasureMinHeight() < v->Height) {
                            prepare(i, *st);
                            v->Height = b - y + 1;
                            st->PaintPart = 2;
                            output(*v);
                        } else if (fresh && y == 0) {
                            // Not one line fits on an empty sheet: it prints clipped.
                            prepare(i, *st);
                            v->Height = height;
                            st->PaintPart = 2;
                            output(*v);
                            v->Selected = false;
                            a = std::max(a, b);
                            continue;
                        }
                        v->Height = height;
                        ShiftObjects(*v, d);
                        v->Height += d;
                    } else if (fresh && y == 0) {
                        // Taller than an empty sheet: moving on would not help.
                        output(*v);
                        v->Selected = false;
                        a = std::max(a, std::min(v->Height, b));
                    } else {
                        v->Top = b; // it moves whole to the next sheet
                    }
                } else if (y < 0 && st && y + v->Height >= 0) {
                    // The rest of an object that began on an earlier sheet.
                    const int r = y + v->Height;
                    if (r < b || st->MeasureMinHeight() > b) {
                        prepare(i, *st);
                        v->Height = r;
                        v->Top = 0;
                        st->PaintPart = 2;
                        v->Selected = false;
                        a = std::max(a, std::min(r, std::max(b, 0)));
                        if (v->Flags & flStretched)
                            kept[i].Deferred = true;
                        else
                            output(*v);
                    } else {
                        prepare(i, *st);
                        v->Top = 0;
                        v->Height = b;
                        const int e = st->MeasureRemainder();
                        st->PaintPart = 2;
                        output(*v);
                        v->Top = y;
                        v->Height = r - y;
                        ShiftObjects(*v, e);
                        v->Height += e;
                    }
                } else if (y < 0) {
                    // Began above the sheet and has no rest to continue: it
                    // prints at the top rather than not at all.
                    v->Top = 0;
                    output(*v);
                    v->Selected = false;
                }
            }
            // A fresh sheet that showed nothing would be followed by more of
            // the same: the next sheet starts at the topmost object left.
            int step = b;
            if (fresh && !shown) {
                int topmost = std::numeric_limits<int>::max();
                for (const TfrView* v : Objects)
                    if (v->Selected) topmost = std::min(topmost, v->Top);
                if (topmost != std::numeric_limits<int>::max() && topmost > b) step = topmost;
            }
            bool left = false;
            for (TfrView* v : Objects) {
                if (!v->Selected) continue;
                v->Top -= step;
                left = true;
            }
            if (!left) break;
            page.NewColumn(this);
            BandTop = page.CurY;
            fresh = true;
        }
        DrawnHeight = a;
    }

    for (size_t i = 0; i < Objects.size(); ++i) {
        if (!kept[i].Deferred) continue;
        TfrView* v = Objects[i];
        v->Height = DrawnHeight;
        output(*v);
    }
    for (size_t i = 0; i < Objects.size(); ++i) {
        TfrView* v = Objects[i];
        v->Selected = false;
        v->Top = kept[i].Top;
        v->Height = kept[i].Height;
        if (auto* st = dynamic_cast<TfrStretcheable*>(v)) st->PaintPart = 0;
    }
    page.CurY += DrawnHeight;
}

void TfrBand::ShiftObjects(TfrView& object, int amount) {
    const int bottom = object.Top + object.Height;
    for (TfrView* v : Objects) {
        if (v == &object) continue;
        if (v->Top >= bottom && v->Left >= object.Left && v->Left <= object.Left + object.Width)
            v->Top += amount;
    }
}

// ---------------------------------------------------------------------------
// Sub-reports.

void TfrBand::PrepareSubReports() {
    TfrPageRuntime& page = *Runtime;
    const size_t first = static_cast<size_t>(std::max(FirstSubReport, 0));
    subPages_.assign(Objects.size(), nullptr);
    SubReportFinished.assign(Objects.size(), true);
    for (size_t i = first; i < Objects.size(); ++i) {
        auto* sub = dynamic_cast<TfrSubReportView*>(Objects[i]);
        if (!sub || !sub->Visible) continue;
        TfrPageRuntime* p = page.Build.PageRuntime(sub->SubPage);
        // Its own page, a page another sub-report prints now, or no report
        // page: nothing to print.
        if (!p || p == &page || !p->Initialised || p->SubReportActive ||
            p->Page.PageType != ptReport)
            continue;
        p->SubReportActive = true;
        subPages_[i] = p;
        SubReportFinished[i] = false;
        p->Recording.clear();
        p->RecordingMode = 1;
        p->BuildPage();
        // Bands the replay shows by name print at once.
        p->RecordingMode = 0;
        p->CurY = sub->Top + BandTop;
        p->MaxY = page.MaxY;
        p->OffsetX = page.OffsetX + sub->Left;
        p->Page.UseMargins = page.Page.UseMargins;
        p->Page.Margins = page.Page.Margins;
        p->Page.Columns = 1;
        p->ReplayIndex = 0;
        p->FreshSheet = false;
        p->ForcePrint = false;
        p->SuspendedBand = nullptr;
    }
    page.SuspendedBand = nullptr;
    page.MakeCurrent();
    MakeCurrent();
}

void TfrBand::DoSubReports() {
    TfrPageRuntime& page = *Runtime;
    TfrEngineState& engine = frEngine();
    const size_t first = static_cast<size_t>(std::max(FirstSubReport, 0));
    subPages_.resize(Objects.size(), nullptr);
    SubReportFinished.resize(Objects.size(), true);
    for (;;) {
        if (!SubReportsDone) {
            // A sheet break came in between: the sub-reports go on below its header.
            for (size_t i = first; i < Objects.size(); ++i) {
                if (TfrPageRuntime* p = subPages_[i]) {
                    p->CurY = page.CurY;
                    p->MaxY = page.MaxY;
                    p->FreshSheet = true;
                }
            }
        }
        SubReportsDone = true;
        SubReportMaxY = page.CurY;
        for (size_t i = first; i < Objects.size(); ++i) {
            TfrPageRuntime* p = subPages_[i];
            if (!p || SubReportFinished[i]) continue;
            if (p->ReplayRecording()) {
                SubReportsDone = false;
            } else {
                SubReportFinished[i] = true;
                SubReportMaxY = std::max(SubReportMaxY, p->CurY);
            }
        }
        page.MakeCurrent();
        if (SubReportsDone || page.Build.Terminated()) break;
        if (page.IsSubReportPage) {
            // Nested: the outer replay resumes this band on the next sheet.
            page.SuspendedBand = this;
            return;
        }
        if (page.BreakNesting > 0) {
            // No sheet can be started now (a header or footer holds the
            // sub-report): the rest prints here.
            for (size_t i = first; i < Objects.size(); ++i)
                if (TfrPageRuntime* p = subPages_[i]; p && !SubReportFinished[i])
                    p->ForcePrint = true;
            continue;
        }
        if (auto* current = dynamic_cast<TfrBand*>(engine.CurrentBand))
            current->SkipScriptOnce = true; // its script ran before it did not fit
        page.NewPage();
    }
    for (size_t i = first; i < Objects.size(); ++i) {
        if (TfrPageRuntime* p = subPages_[i]) {
            p->FreeRecording();
            p->SubReportActive = false;
            p->ForcePrint = false;
            p->FreshSheet = false;
            p->SuspendedBand = nullptr;
        }
    }
    subPages_.clear();
    page.CurY += std::max(CalcedHeight, SubReportMaxY - page.CurY);
    page.SuspendedBand = nullptr;
}

// ---------------------------------------------------------------------------
// Cross-tab cells.

namespace {

void RunBandScript(TfrBand& band) {
    frEngine().CurrentObject = band.BandObject;
    band.MakeCurrent();
    const auto& run = frEngineHooks().RunScript;
    if (run && band.BandObject && band.Code.Count() > 0) run(*band.BandObject, band.Code);
}

} // namespace

void TfrBand::DrawCrossColumns() {
    if (Type == btPageFooter) return;
    TfrPageRuntime& page = *Runtime;
    TfrReport& report = page.Build.Report;
    TfrEngineState& engine = frEngine();
    ++page.CrossDepth;
    struct Depth {
        int& depth;
        ~Depth() { --depth; }
    } depth{page.CrossDepth};
    page.CrossColumn = 1;
    const int keptPageNo = engine.PageNo;
    int x = 0;
    page.CrossFirstOnSheet = true;
    if (report.OnBeginColumn) report.OnBeginColumn(this);

    TfrBand* header = page.RunBand(btCrossHeader);
    TfrBand* data = page.RunBand(btCrossData);
    TfrBand* footer = page.RunBand(btCrossFooter);
    if (header && header->IsBandPresent()) {
        RunBandScript(*header);
        DrawCrossCell(*header, header->BandLeft);
        x = header->BandLeft + header->BandWidth;
    }
    if (data && data->IsBandPresent() && !page.Build.Terminated()) {
        if (x == 0) x = data->BandLeft;
        TfrDataset* columns = data->Data ? data->Data : CrossDataSet;
        TfrFoundDataSet made;
        if (columns) {
            columns->First();
            if (Type == btMasterFooter && columns->Eof() && MaxCrossColumns > 0) {
                // The totals row gets as many columns as the widest row.
                made = FindDataSetByName(std::to_string(MaxCrossColumns));
                columns = made.DataSet;
                if (columns) columns->First();
            }
        }
        while (columns && !columns->Eof() && !page.Build.Terminated()) {
            engine.CurrentObject = data->BandObject;
            int width = data->BandWidth;
            if (report.OnPrintColumn) report.OnPrintColumn(page.CrossColumn, width);
            RunBandScript(*data);
            CheckNextColumn(x, width, keptPageNo);
            DrawCrossCell(*data, x);
            AccumulateRow(*data);
            if (frIsDataBand(Type)) AccumulateRow(*this);
            x += width;
            page.CrossColumn += 1;
            columns->Next();
        }
        if (columns) MaxCrossColumns = std::max(MaxCrossColumns, columns->RecordNumber);
        if (made.Owned) made.Owned->EndWalk();
    }
    if (footer && footer->IsBandPresent() && !page.Build.Terminated()) {
        if (x == 0) x = footer->BandLeft;
        RunBandScript(*footer);
        CheckNextColumn(x, footer->BandWidth, keptPageNo);
        DrawCrossCell(*footer, x);
        ResetAggregates(*footer);
    }
    engine.PageNo = keptPageNo;
    page.MakeCurrent();
    MakeCurrent();
}

void TfrBand::CheckNextColumn(int& x, int width, int keptPageNo) {
    TfrPageRuntime& page = *Runtime;
    TfrEngineState& engine = frEngine();
    const bool fits = static_cast<long long>(x) + width <= page.Page.RightLimit();
    // A column that starts its sheet's columns and still does not fit
    // prints clipped: the next sheet has no more room. A page header
    // holding cells, printed on a spill sheet, does not spill again.
    if (fits || page.CrossFirstOnSheet || page.CrossDepth > 1) {
        page.CrossFirstOnSheet = false;
        return;
    }
    TfrEMFPages& sheets = *page.Build.Report.PreparedPages;
    const int left = page.LeftLimit();
    x = left;
    engine.PageNo += 1;
    if (engine.PageNo >= sheets.Count()) {
        const int y = page.CurY;
        ++page.BreakNesting;
        struct Done {
            int& nesting;
            ~Done() { --nesting; }
        } done{page.BreakNesting};
        sheets.AppendPage(page.Page);
        page.ShowBand(page.RunBand(btOverlay));
        page.CurY = page.TopLimit();
        TfrBand* pageHeader = page.RunBand(btPageHeader);
        if (keptPageNo != 0 || (pageHeader->Flags & flBandOnFirstPage)) page.ShowBand(pageHeader);
        page.CurY = y;
        page.Build.Progress(engine.PageNo);
        page.MakeCurrent();
    }
    TfrBand* header = page.RunBand(btCrossHeader);
    if (header && header->IsBandPresent() && (header->Flags & flBandRepeatHeader)) {
        DrawCrossCell(*header, left);
        x = left + header->BandWidth;
    }
    page.CrossFirstOnSheet = false;
}

void TfrBand::DrawCrossCell(TfrBand& cross, int x) {
    TfrPageRuntime& page = *Runtime;
    TfrEngineState& engine = frEngine();
    page.MakeCurrent();
    cross.MakeCurrent();
    cross.LineThroughNo = LineThroughNo;
    cross.LineNo = LineNo;
    if (cross.Type == btCrossData) cross.AggregateSource = this;
    for (TfrView* v : Objects) {
        if (v->OwnerBand != &cross) continue;
        try {
            if (engine.ScriptPass && !CanBreak) {
                engine.CurrentObject = v;
                const auto& run = frEngineHooks().RunScript;
                if (run && v->BeforePrintScript.Count() > 0) run(*v, v->BeforePrintScript);
                continue;
            }
            TfrEMFPages& pages = *page.Build.Report.PreparedPages;
            if (engine.PageNo < 0 || engine.PageNo >= pages.Count()) return;
            rtl::TMemoryStream& stream = *pages.PageAt(engine.PageNo).Stream;
            stream.SetPosition(stream.Size());
            KeptGeometry keptGeometry(*v);
            v->Left += x;
            v->Top += BandTop;
            v->OutputToPage(stream);
        } catch (const std::exception& e) {
            page.Build.ReportBuildError(e.what());
            return;
        }
        if (page.Build.Terminated()) return;
    }
}
