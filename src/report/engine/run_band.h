#pragma once
// What values, report functions and aggregates read and change of the page
// being formed and of its run-time bands. The band engine's run-time band
// derives from TfrRunBand (so frEngine().CurrentBand is one while a build
// runs) and its page state implements TfrRunPage, made current through
// frGlobals().CurrentRunPage together with frEngine().CurrentPage.
//
// The counters, request counts and accumulators are plain fields here
// because the value side writes them (LINE#, NEWPAGE, aggregates) and the
// band engine reads them; everything the band engine decides stays behind
// the virtual operations.

#include "report/model/band_view.h"
#include "report/model/variables.h"
#include "report/model/view_context.h"

#include <string>
#include <vector>

namespace rtl {
class TStringList;
}
class TfrDataset;
class TfrView;

class TfrRunBand : public TfrBandRuntime {
public:
    // The band object's name ("" for a type without one).
    std::string Name;
    // LINE# and LINETHROUGH#.
    int LineNo = 1;
    int LineThroughNo = 1;
    // NEWPAGE and NEWCOLUMN calls made while the band prints; the band
    // engine clears them when an occurrence starts and acts on them after
    // the band's script.
    int NewPageRequests = 0;
    int NewColumnRequests = 0;
    // A script assigned CURY while a page or column break was pending.
    bool CurYSetByScript = false;
    // Aggregates: a data band keeps the accumulators of the footers that
    // total it; a footer-like band reads them from AggregateSource.
    TfrVariables Accumulators;
    TfrRunBand* AggregateSource = nullptr; // not owned
    // Every data band this band's aggregates registered in, in order
    // (AggregateSource is the last), so a footer totalling two data bands
    // reads each total from its own band.
    std::vector<TfrRunBand*> AggregateSources; // not owned
    int AggregatedRows = 0;

    // A band object stands behind the band (the type-22 band: it holds objects).
    virtual bool IsPresent() const = 0;
    // The next band of the same type on the page (top to bottom), the child
    // band printed after this one, and the first band of this one's chain.
    virtual TfrRunBand* NextBand() const = 0;
    virtual TfrRunBand* ChildLink() const = 0;
    virtual TfrRunBand* FirstBand() const = 0;
    // The band's data set (data bands), when it has one.
    virtual TfrDataset* DataSet() const = 0;
    // Some object of the band belongs to a cross-tab band as well.
    virtual bool HasCrossObjects() const = 0;
    // The band's compiled script and the objects it prints.
    virtual const rtl::TStringList& Script() const = 0;
    virtual int ObjectCount() const = 0;
    virtual TfrView* ObjectAt(int index) const = 0;
};

class TfrRunPage {
public:
    virtual ~TfrRunPage() = default;
    // The first run-time band of a type (the head of its chain); null when
    // the page makes none of that type.
    virtual TfrRunBand* RunBand(int bandType) const = 0;
    // Output position and lowest usable position on the sheet, report units.
    virtual int CurrentY() const = 0;
    virtual void SetCurrentY(int y) = 0;
    virtual int BottomY() const = 0;
    virtual int PageWidth() const = 0;
    // COLUMN# (the cross-tab column) and CURRENT# (records printed).
    virtual int CrossColumnNo() const = 0;
    virtual int RecordNo() const = 0;
    // Prints the first band, over all types in order, whose object has that
    // name (letter case ignored).
    virtual void ShowBandByName(const std::string& name) = 0;
    // A dialog page and the modal result of its form (MODALRESULT).
    virtual bool IsDialogPage() const { return false; }
    virtual void SetModalResult(int result) { (void)result; }
    // What a script set it to (0: nothing yet).
    virtual int ScriptModalResult() const { return 0; }
};

// The run-time band: what a band object of a template page becomes while the
// page is formed. The page's formation (report_build.h) decides which band
// prints when; a band prints one occurrence at a time: its events and
// script, the page and column breaks its script asks for, the check whether
// the occurrence fits on the sheet, the measuring of stretched content, band
// columns and the output of its objects into the current prepared page. It
// also carries the band's line counters, group value and the accumulators
// the aggregate functions keep in it.
//
// An occurrence that may split (or is taller than an empty sheet) is printed
// across sheets by DrawSplit: objects that fit print, memos print the lines
// that fit and continue on the next sheet, other objects move whole. A
// sub-report object prints its page beside the band, replaying what the
// page's data loops recorded, over as many sheets as it needs. Cross-tab
// cells print once per record of the column data set, spilling onto the
// following sheets at the row's height.
//
// Rules of our own where the old behaviour could loop or overflow:
// - only memos print in parts (pictures, lines and other kinds move whole),
//   and a memo whose text has run out does not go on to a further sheet;
// - on a sheet that holds nothing of the split yet, an object that cannot
//   fit on any sheet (or a memo line taller than the sheet) prints clipped
//   instead of moving on for ever; no room at all prints the rest clipped;
//   such a sheet that shows nothing is not followed by blank ones: the next
//   sheet starts at the topmost object left;
// - a band taller than the room a new sheet gives below its page header
//   splits where it comes instead of starting a sheet first;
// - a band split while a break is being made, or on a sub-report page,
//   prints clipped where it is;
// - a sub-report band that does not fit on a sheet its break just started
//   (below a tall page header) prints there, clipped;
// - a page is replayed by one sub-report object at a time: a second object
//   naming a page in use (or its own page) prints nothing;
// - any number of sub-report objects per band;
// - a cross-tab column wider than the room of an empty sheet prints clipped
//   where the sheet starts instead of spilling onto a sheet of its own.

#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"

#include <memory>

class TfrPage;
class TfrPageRuntime;

// Band types of the three data levels.
constexpr bool frIsDataBand(int bandType) {
    return bandType == btMasterData || bandType == btDetailData || bandType == btSubDetailData;
}

class TfrBand final : public TfrRunBand {
public:
    TfrBand(int bandType, TfrPageRuntime& runtime);
    // Destroys the rest of the chain with it and ends walking its data sets.
    ~TfrBand() override;
    TfrBand(const TfrBand&) = delete;
    TfrBand& operator=(const TfrBand&) = delete;

    // --- What band objects and scripts reach (TfrBandRuntime) -----------
    int BandType() const override { return Type; }
    int Left() const override { return BandLeft; }
    int Top() const override { return BandTop; }
    int Width() const override { return BandWidth; }
    int Height() const override { return BandHeight; }
    bool Visible() const override { return IsVisible; }
    void SetLeft(int value) override { BandLeft = value; }
    void SetTop(int value) override { BandTop = value; }
    void SetWidth(int value) override { BandWidth = value; }
    void SetHeight(int value) override { BandHeight = value; }
    void SetVisible(bool value) override { IsVisible = value; }
    void SetChildBand(const std::string& bandName) override;
    bool PageBreak() const override { return CanBreak; }
    void SetPageBreak(bool value) override { CanBreak = value; }
    void SetGroupCondition(const std::string& condition) override;
    // Detaches the band from its data set and binds it to the named one.
    void SetDataSource(const std::string& dataSetName) override;
    bool HasDataSet() const override { return Data != nullptr; }
    bool DataSetEof() override;
    void DataSetFirst() override;
    void DataSetNext() override;
    void DataSetPrior() override;

    // --- What values and aggregates read (TfrRunBand) -------------------
    bool IsPresent() const override { return IsBandPresent(); }
    TfrRunBand* NextBand() const override { return Next.get(); }
    TfrRunBand* ChildLink() const override { return Child; }
    TfrRunBand* FirstBand() const override;
    TfrDataset* DataSet() const override { return Data; }
    const rtl::TStringList& Script() const override { return Code; }
    int ObjectCount() const override { return static_cast<int>(Objects.size()); }
    TfrView* ObjectAt(int index) const override { return Objects.at(static_cast<size_t>(index)); }

    // --- Binding to data -------------------------------------------------
    // The band object's source text: a group header's condition, a data set
    // name or record count; text with ";" is a cross-tab list, bound when
    // the bands are linked. A master data band left without a data set takes
    // the report's Dataset in a simple report.
    void BindDataSource(const std::string& text);
    // Ends walking the data sets and frees those made for the band.
    void ReleaseDataSets();
    // Ends and starts walking again, as a new pass begins.
    void RestartDataSets();
    // The group condition's value now; "" for a blank condition.
    rtl::TVariant EvaluateGroupCondition();
    // Forgets what its memos printed last (suppressing repeated values).
    void ClearLastPrinted();

    // --- One occurrence --------------------------------------------------
    // Prints one occurrence; true when it was interrupted (it forced a new
    // column or page, or its sub-reports have not finished).
    bool DrawBand();
    void DrawBandBody();
    // The height the occurrence needs (measured for stretched bands).
    int CalcBandHeight();
    int MeasureBand();
    int MeasureObjects(bool crossMode);
    bool HasCrossObjects() const override;
    void StretchObjects(int height);
    void UnStretch();
    // True when the space from y down does not hold `height` (and the page's
    // column footer); unless `testOnly`, the band then breaks to the next
    // column or sheet first. A height of kForceBreak always breaks.
    bool CheckFit(int y, int height, bool testOnly);
    static constexpr int kForceBreak = 10000;
    // True when sub-reports took over the rest of the occurrence.
    bool OutputObjects();
    void OutputObject(TfrView& object);
    // An occurrence that may break across sheets.
    void DrawSplit();
    // Moves the objects below `object` (and overlapping it horizontally)
    // down by `amount`.
    void ShiftObjects(TfrView& object, int amount);
    // Sub-report objects from FirstSubReport on: record their pages, then
    // replay them beside the band until all have finished.
    void PrepareSubReports();
    void DoSubReports();
    // The row's cross-tab cells, column by column.
    void DrawCrossColumns();
    void DrawCrossCell(TfrBand& cross, int x);
    // Before a cross-tab column of width `width` at x: continues on the next
    // sheet when it runs past the right limit.
    void CheckNextColumn(int& x, int width, int keptPageNo);
    // A band object, or the catch-all band holding objects outside bands.
    bool IsBandPresent() const;

    // Makes this band the current band for expressions and scripts, with the
    // line counters and data set the system variables show.
    void MakeCurrent();

    // --- Fields ----------------------------------------------------------
    TfrPage* Page;                     // not owned
    TfrPageRuntime* Runtime;           // the page's formation state; not owned
    TfrBandView* BandObject = nullptr; // not owned; none for an absent type
    uint16_t Flags = 0;
    std::unique_ptr<TfrBand> Next; // the chain of same-type bands goes with its first
    TfrBand* PrevBand = nullptr;
    TfrBand* NextGroupHeader = nullptr;
    TfrBand* PrevGroupHeader = nullptr;
    TfrBand* FirstGroupHeader = nullptr;
    TfrBand* LastGroupHeader = nullptr;
    TfrBand* Child = nullptr;
    int FirstSubReport = 0;
    int SubReportMaxY = 0;
    bool SubReportsDone = true;
    std::vector<bool> SubReportFinished; // grows with the objects; no fixed 63 entries
    rtl::TVariant GroupValue;            // unassigned until first stored
    TfrBand* HeaderLink = nullptr;
    TfrBand* FooterLink = nullptr;
    TfrBand* DataLink = nullptr;
    TfrBand* LastOfType = nullptr; // on the first band of a chain
    bool KeepAggregates = false;   // the print in progress keeps its totals (a repeated header)
    int CalcedHeight = 0;
    int BandColumn = 1;
    int BandColumnStartX = 0;
    int MaxCrossColumns = 0;
    bool SkipScriptOnce = false;
    int BandLeft = 0, BandTop = 0, BandWidth = 0, BandHeight = 0;
    int DrawnHeight = 0;
    int Type;
    bool PrintIfSubsetEmpty = false;
    bool NewPageAfter = false;
    bool Stretched = false;
    bool CanBreak = false;
    bool PrintChildIfInvisible = false;
    bool IsVisible = true;
    std::vector<TfrView*> Objects; // not owned; in page order, sub-reports last
    rtl::TStringList Memo;
    rtl::TStringList Code;
    TfrDataset* Data = nullptr;
    std::unique_ptr<TfrDataset> OwnedDataSet; // a data set made for the band
    TfrDataset* CrossDataSet = nullptr;
    std::unique_ptr<TfrDataset> OwnedCrossDataSet;
    std::string GroupCondition; // evaluated through the parser, which compiles it once

private:
    // The sub-report pages of the occurrence, parallel to Objects from
    // FirstSubReport on (none for an object that prints nothing).
    std::vector<TfrPageRuntime*> subPages_;
    // The objects' heights kept while stretched, parallel to Objects.
    std::vector<int> keptHeights_;
    // Whether the data set was started by BindDataSource (and is ended here).
    bool walking_ = false;
    // Guards against a child chain that leads back to a band being drawn.
    bool drawing_ = false;
};
