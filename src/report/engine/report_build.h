#pragma once
// The report build: a template and its data sets become prepared pages. One
// TfrReportBuild lives from BuildPreparedReport to its return and runs one or
// two passes; each template page gets a TfrPageRuntime that makes run-time
// bands from its band objects, links them, and forms the page: title,
// headers, the nested record loops of master, detail and sub-detail data with
// their group headers and footers, summary and footers, new pages and
// columns, continuation on the previous sheet, and the report's events in
// their order.
//
// Rules of our own where the old behaviour could run away or lose work:
// - a break requested while a break is being made (a header or footer shown
//   by it that does not fit, or calls NEWPAGE, or has form-new-page) is not
//   made again, and a band that does not fit on a sheet freshly started by a
//   break prints there, clipped, instead of starting sheet after sheet;
// - a child band that leads back to a band being printed is not printed again;
// - the pending bands and recorded entries are growable lists;
// - every pass starts its counters, group values, totals and positions
//   afresh, and the final pass of a two-pass build runs also when the first
//   one was stopped by STOPREPORT (whose pages are kept), while the
//   operator's Cancel ends the build with no pages;
// - OnEndPage is raised once per finished sheet, never for a sheet that does
//   not exist.

#include "report/core/process_state.h"
#include "report/engine/run_band.h"
#include "report/model/page.h"

#include <array>
#include <exception>
#include <memory>
#include <string>
#include <vector>

class TfrReport;
class TfrReportBuild;

// Number of band types, 0 report title ... 22 none.
constexpr int frBandTypeCount = 23;

// What a sub-report page records instead of printing (replayed beside the
// band that holds the sub-report object).
enum class TfrRecordKind : uint8_t { PrintBand = 0, FirstRecord = 1, NextRecord = 2 };
struct TfrRecordEntry {
    TfrBand* Band = nullptr;
    TfrRecordKind Kind = TfrRecordKind::PrintBand;
};

// A template page while it is formed: its run-time bands and position.
class TfrPageRuntime final : public TfrRunPage {
public:
    TfrPageRuntime(TfrPage& page, TfrReportBuild& build);
    ~TfrPageRuntime() override;
    TfrPageRuntime(const TfrPageRuntime&) = delete;
    TfrPageRuntime& operator=(const TfrPageRuntime&) = delete;

    void InitPage();
    void CreateRunBands();
    void PrepareAggregatesAndFields();
    void BuildPage();
    void RunDataLevel(int level);
    void ShowBand(TfrBand* band);
    void ShowBandByName(const std::string& name) override;
    void NewPage();
    void NewColumn(TfrBand* band);
    void FinishPages();
    void ReleasePage();

    // --- What values and report functions read (TfrRunPage) ------------
    // The first band of a type's chain (always there while initialised).
    TfrBand* RunBand(int bandType) const override {
        return bandType >= 0 && bandType < frBandTypeCount
                   ? RunBands[static_cast<size_t>(bandType)].get()
                   : nullptr;
    }
    int CurrentY() const override { return CurY; }
    void SetCurrentY(int y) override { CurY = y; }
    int BottomY() const override { return MaxY; }
    int PageWidth() const override { return Page.PageWidth(); }
    int CrossColumnNo() const override { return CrossColumn; }
    int RecordNo() const override { return Records; }
    bool IsDialogPage() const override { return Page.PageType == ptDialog; }
    void SetModalResult(int result) override { ModalResult = result; }
    int ScriptModalResult() const override { return ModalResult; }

    // The run-time band of the band object of that name (letter case
    // ignored), over all types in order; none when there is none.
    TfrBand* FindBand(const std::string& name) const;
    // Makes this the page being formed: the current page for expressions,
    // and the position the system variables show.
    void MakeCurrent();
    int TopLimit() const { return Page.TopLimit(); }
    int LeftLimit() const { return Page.LeftLimit(); }
    // Height of the column footer where the fit checks count it.
    int ColumnFooterHeight() const;
    // Restarts the counters, group values and positions for a pass.
    void ResetForPass();
    // A sub-report page: prints what it recorded from ReplayIndex on; true
    // when it stopped at a band that did not fit.
    bool ReplayRecording();
    void FreeRecording();

    TfrPage& Page;
    TfrReportBuild& Build;
    int CurY = 0;        // CURY: where the next band prints
    int MaxY = 0;        // the lowest usable position on the current sheet
    int Records = 1;     // CURRENT#: records printed, from 1
    int CrossColumn = 1; // COLUMN#: the cross-tab column being printed
    int ModalResult = 0; // a dialog page's result set by its script
    std::array<std::unique_ptr<TfrBand>, frBandTypeCount> RunBands;
    bool IsSubReportPage = false;
    bool Initialised = false;
    int ColumnIndex = 0;
    int ColumnTopY = 0;
    int OffsetX = 0;
    int ColumnWidth = 0; // of the page's columns, computed with the bands
    std::vector<TfrRecordEntry> Recording;
    uint8_t RecordingMode = 0; // 0 print, 1 record
    int ReplayIndex = 0;
    TfrBand* SuspendedBand = nullptr;
    TfrBand* LastDrawnBand = nullptr;
    bool NoRepeatHeaders = false;
    int PageIndex = 0; // 1-based place in the template while formed
    // The report summary prints as if the page had no column footer.
    bool IgnoreColumnFooter = false;
    // Breaks being made right now (new page, new column, finishing sheets):
    // bands they show do not break again.
    int BreakNesting = 0;
    // The sheet or column was just started by a break and holds only what the
    // break printed: a band that does not fit prints here all the same.
    bool FreshSheet = false;
    // A sub-report object is printing this page now (it is not started again).
    bool SubReportActive = false;
    // Every band prints where it comes, clipped: a sub-report printed where
    // no sheet can be started.
    bool ForcePrint = false;
    // Cross-tab cells being printed (a page header shown on a spill sheet
    // prints its own cells nested), and whether the current sheet holds no
    // column of the row yet.
    int CrossDepth = 0;
    bool CrossFirstOnSheet = true;

private:
    // Bands waiting until a record below them proves non-empty; shared by
    // the nested RunDataLevel calls of one BuildPage.
    std::vector<TfrBand*> pending_;
    int deepestLevel_ = 0;
    void AddPending(TfrBand* band);
    void PrintPending();
    void FillBand(TfrBand& band, TfrBandView& object);
    void LinkBands();
};

// One build of a report, from BuildPreparedReport to its return.
class TfrReportBuild {
public:
    explicit TfrReportBuild(TfrReport& report);
    ~TfrReportBuild();
    TfrReportBuild(const TfrReportBuild&) = delete;
    TfrReportBuild& operator=(const TfrReportBuild&) = delete;

    // The whole build (BuildPreparedReport): true when pages were built.
    bool Run();
    void RunPasses();
    void RunPass();
    // The build's one error path: the first error's message is kept, the
    // build is stopped and leaves no pages.
    void ReportBuildError(const std::string& message);
    // An object that printed no value: noted once, shown after the build;
    // the pages are kept.
    void ReportOutputProblem(TfrView& view, const std::string& message);
    // Progress with page number n; window messages are processed.
    void Progress(int n);
    // The build was stopped (Cancel, STOPREPORT or an error).
    bool Terminated() const;
    // The run-time page of template page `index`; none outside the template.
    TfrPageRuntime* PageRuntime(int index) const;
    // Raises OnEndPage on the report and, when it is another, the master report.
    void RaiseEndPage(int pageNo);

    TfrReport& Report;
    std::vector<std::unique_ptr<TfrPageRuntime>> Pages; // per template page
    // Engine globals of the build.
    bool AppendToPrevious = false;
    int PrevY = 0; // where the previous page ended, for PrintToPrevPage
    int PrevBottomY = 0;
    bool FooterPrinted = false; // the previous sheet printed its page footer
    int AppendedSheet = -1;     // the sheet continued by PrintToPrevPage
    bool DialogCancelled = false;
    bool BuildError = false;
    std::string BuildErrorMessage;
    std::string OutputProblemMessage;
    bool AppendedSheetHasFooter = false; // ... and it printed its page footer
    bool Cancelled = false;              // the operator's Cancel
    bool TwoPass = false;

private:
    std::string ErrorText(const std::string& message, TfrView* object) const;
    void ReleaseAll();
    void SetFinalPass(bool finalPass);
    // The progress window's text for a pass, before its page numbers.
    void SetPassText(const std::string& text);
};
