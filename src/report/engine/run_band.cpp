#include "report/engine/run_band.h"

#include "platform/rtl/sysutils.h"
#include "report/engine/aggregates.h"
#include "report/engine/dataset.h"
#include "report/engine/globals.h"
#include "report/engine/prepared_pages.h"
#include "report/engine/report_build.h"
#include "report/model/memo_view.h"
#include "report/model/report.h"

#include <algorithm>

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
    if (page.BreakNesting == 0) {
        for (int i = 0; i < NewPageRequests && !page.Build.Terminated(); ++i) {
            page.ColumnIndex = std::max(page.Page.Columns, 1) - 1;
            page.NewColumn(this);
        }
        for (int i = 0; i < NewColumnRequests && !page.Build.Terminated(); ++i)
            page.NewColumn(this);
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
                    const int top = page.TopLimit();
                    if (page.FreshSheet || page.BreakNesting > 0) {
                        // The sheet holds only what its break printed: another
                        // break would bring the same again, so it prints here.
                        CanBreak = true;
                    } else if (h <= page.MaxY - top || page.CurY != top) {
                        result = true;
                        if (page.IsSubReportPage) {
                            CanBreak = keptCanBreak;
                            return true; // replayed on the next sheet
                        }
                        CheckFit(0, kForceBreak, false);
                    } else {
                        CanBreak = true; // taller than an empty sheet
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
    // Cross-tab cells are measured column by column with the cross-tab
    // columns; here the band's own objects are.
    const int result = std::max(BandHeight, MeasureObjects(false));
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
    if (!testOnly && !page.FreshSheet && page.BreakNesting == 0) page.NewColumn(this);
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
        if (CanBreak)
            DrawSplit();
        else
            handled = OutputObjects();
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
    for (size_t i = 0; i < Objects.size(); ++i) {
        TfrView* v = Objects[i];
        if (v->TypeCode == gtSubReport) {
            // Sub-report pages are printed beside the band by the sub-report
            // run; the object itself leaves nothing on the sheet.
            if (v->Visible) FirstSubReport = static_cast<int>(i);
            continue;
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
    // Objects are not cut across sheets here: an occurrence that does not fit
    // moves whole to the next column or sheet, and one that cannot fit on
    // any sheet prints where it is, clipped by the sheet's edge.
    if (CheckFit(BandTop, DrawnHeight, true) && page.CurY != page.TopLimit() && !page.FreshSheet &&
        page.BreakNesting == 0) {
        CheckFit(BandTop, kForceBreak, false);
        BandTop = page.CurY;
    }
    OutputObjects();
    page.CurY += DrawnHeight;
}
