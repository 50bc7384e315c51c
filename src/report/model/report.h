#pragma once
// The report component: owns the template (pages, dictionary, document
// information), its settings and events; loads and saves templates; and is
// the call point for building, previewing, printing and designing.

#include "platform/rtl/stream.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"
#include "report/core/process_state.h"
#include "report/model/data_dictionary.h"
#include "report/model/page.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TfrBand;
class TfrDataset;
class TfrEMFPages;
class TfrPreview;
class TfrView;

// The built pages live in the engine (engine/prepared_pages.h), above this
// folder: the report holds them through a deleter and a maker defined there.
struct TfrEMFPagesDeleter {
    void operator()(TfrEMFPages* pages) const;
};
using TfrEMFPagesPtr = std::unique_ptr<TfrEMFPages, TfrEMFPagesDeleter>;
TfrEMFPagesPtr frNewPreparedPages(TfrReport& report);

enum class TfrReportType { rtSimple, rtMultiple };

enum TfrPreviewButton : uint32_t {
    pbZoom = 1,
    pbLoad = 2,
    pbSave = 4,
    pbPrint = 8,
    pbFind = 16,
    pbHelp = 32,
    pbExit = 64,
    pbPageSetup = 128,
};
using TfrPreviewButtons = uint32_t; // a set of TfrPreviewButton

enum class TfrPreviewZoom { pzDefault, pzPageWidth, pzOnePage, pzTwoPages };

// What became of a template stream. Messages for the failures have been
// shown through frGuiHooks().ShowError by then.
enum class TfrLoadResult {
    Loaded,
    Empty,             // nothing to read; nothing changed
    Unsupported,       // version above 25; nothing changed
    MissingComponents, // unknown object classes; everything else kept
    FormatError,       // unreadable; one empty page
    PasswordRejected,  // one empty page
};

// The file name of a template that has no file (new, or not read from one).
inline constexpr const char* kUntitledFileName = "Untitled";

class TfrReport {
public:
    TfrReport();
    ~TfrReport();
    TfrReport(const TfrReport&) = delete;
    TfrReport& operator=(const TfrReport&) = delete;

    // False, with nothing changed, when the file does not exist or cannot be
    // opened for reading. A file that is read but refused is reported through
    // frGuiHooks().ShowError and still gives true.
    bool LoadTemplateFile(const std::string& fileName);
    // rtl::EStreamError when the file cannot be created or written.
    void SaveTemplateFile(const std::string& fileName);
    // Writes "<name>.fr3"; rtl::EStreamError on a write failure,
    // std::runtime_error when no XML writer is installed.
    void ExportXmlTemplateFile(const std::string& fileName);
    // Never throws for what the stream holds: the result says what became of
    // it. Failures that are not the stream's (no memory, a missing engine
    // part) propagate.
    TfrLoadResult LoadTemplateStream(rtl::TStream& stream);
    // rtl::EStreamError when the stream refuses the bytes or a limit of the
    // format is exceeded (more than 256 pages with objects, 2 GB).
    void SaveTemplateStream(rtl::TStream& stream);
    void ClearTemplate();
    void ClearInfo();

    // An unknown printer name keeps the current printer.
    void SelectReportPrinter(const std::string& printerName);
    // False, after the error box, when the new printer cannot be selected:
    // the old one (or the virtual printer) is current again.
    bool ChangePrinter(int oldIndex, int newIndex);
    TfrView* FindObject(const std::string& name) const;
    void FireBeforePrint(rtl::TStringList& memo, TfrView& view);
    void ReportProgress(int n);

    // The owning form's stored property "ReportForm".
    void WriteReportForm(rtl::TStream& stream);
    void ReadReportForm(rtl::TStream& stream);
    // The owning form has finished loading: the stored template is read.
    void Loaded();

    // Without an installed designer: 2 (cancel), nothing shown.
    int OpenDesigner();

    // Shows the built pages in the preview window (or the attached Preview
    // panel): modal with ModalPreview, and the window takes the pages over.
    // Nothing is shown without pages or without an installed preview
    // (frGuiHooks().ShowPreparedReport).
    void PreviewPreparedReport();

    // Prepared-report files (".frp"; engine/prepared_pages.cpp). Loading
    // raises rtl::EStreamError (EPreparedFileError for a damaged, packed or
    // unknown-kind file) and then changes nothing; a loaded report cannot be
    // rebuilt. Saving writes a temporary file beside the target and renames
    // it over the target, so a failure leaves the old file as it was.
    void LoadPreparedFile(const std::string& fileName);
    void SavePreparedFile(const std::string& fileName);
    // A built page in the designer; nothing without an installed one. The
    // template is kept aside meanwhile and restored afterwards.
    void EditPreparedPage(int pageIndex);

    // Building (engine/report_build.cpp). BuildPreparedReport forms the
    // template into PreparedPages in one or two passes and reloads the
    // template afterwards, also when the build fails; false, with no pages,
    // after a build error (shown in one message box), a cancelled dialog page
    // or the operator's Cancel. Exceptions from event handlers and from
    // band and page scripts end the build and reach the caller.
    bool BuildPreparedReport();
    // BuildPreparedReport, then PreviewPreparedReport when pages were built.
    void BuildAndPreview();
    // What the script function STOPREPORT does: the build stops after the
    // band being printed and keeps the pages built so far (the operator's
    // Cancel keeps none).
    void StopReport();

    std::unique_ptr<TfrPages> Pages;
    TfrEMFPagesPtr PreparedPages;
    std::unique_ptr<TfrDataDictionary> Dictionary;
    TfrDataset* Dataset = nullptr; // not owned
    bool GrayedButtons = false;
    TfrReportType ReportType = TfrReportType::rtSimple;
    std::string Title;
    bool ShowProgress = true;
    bool ModalPreview = true;
    bool ModifyPrepared = true;
    bool StoreInDFM = false;
    TfrPreview* Preview = nullptr; // not owned
    TfrPreviewButtons PreviewButtons =
        pbZoom | pbLoad | pbSave | pbPrint | pbFind | pbHelp | pbExit;
    TfrPreviewZoom InitialZoom = TfrPreviewZoom::pzDefault;

    std::function<void()> OnBeginDoc;
    std::function<void()> OnEndDoc;
    std::function<void(int pgNo)> OnBeginPage;
    std::function<void(int pgNo)> OnEndPage;
    std::function<void(TfrBand* Band)> OnBeginBand;
    std::function<void(TfrBand* Band)> OnEndBand;
    std::function<void(const std::string& ParName, rtl::TVariant& ParValue)> OnGetValue;
    std::function<void(rtl::TStringList& Memo, TfrView& View)> OnBeforePrint;
    std::function<void(const std::string& Name, const rtl::TVariant& p1, const rtl::TVariant& p2,
                       const rtl::TVariant& p3, rtl::TVariant& Val)>
        OnUserFunction;
    std::function<void(int n)> OnProgress;
    std::function<void(TfrBand* Band)> OnBeginColumn;
    std::function<void(int ColNo, int& Width)> OnPrintColumn;
    std::function<void(TfrPage* Page)> OnManualBuild;
    std::function<void(TfrView* View)> OnObjectClick;
    std::function<void(TfrView* View, int& Cursor)> OnMouseOverObject;
    std::function<void()> OnPrintReport;
    std::function<void(void* Sender)> OnCustomizeObject;

    // The print request and build state the engine keeps here.
    std::string PrintPageList;
    int PrintCopies = 1;
    bool PrintCollate = true;
    int PrintParity = 0;
    bool FinalPass = false;
    int TotalPages = 0;
    bool ExportFilterActive = false;

    bool MDIPreview = false;
    int DefaultCopies = 1;
    bool DefaultCollate = true;
    std::string StoredPrinterName;
    bool PrintIfEmpty = true;
    bool ShowPrintDialog = true;
    bool RebuildPrinter = false;
    bool UseDefaultDataSetName = false;
    bool RebuildAllowed = false;
    bool CancelRequested = false;
    // CancelRequested came from StopReport: the build's pages are kept.
    bool StopRequested = false;
    bool KeepCurrentPrinter = false;
    bool DoublePass = false;
    std::string FileName = kUntitledFileName;
    bool XmlExport = false;
    std::string InfoComment, InfoName, InfoAuthor;
    double InfoCreated = 0, InfoChanged = 0;
    std::string InfoVersionMajor, InfoVersionMinor, InfoVersionRelease, InfoVersionBuild;
    uint8_t InfoProtected = 0;
    std::string InfoPassword;
    uint8_t GeneratorVersion = 88;

    // The progress window's base text (before the page number).
    std::string ProgressBaseText;

    // Reads the pages part (and with `withInfo` the information block)
    // at the engine's current version, showing the message of a failure.
    // `header`, when given, reads what a container puts in front first.
    TfrLoadResult ReadTemplateBody(rtl::TStream& stream, bool withInfo,
                                   const std::function<void(rtl::TStream&)>& header = {});

private:
    // ReadTemplateBody without the message for unknown classes: their names
    // come back in `missing` (each followed by a CR).
    TfrLoadResult ReadTemplateParts(rtl::TStream& stream, bool withInfo,
                                    const std::function<void(rtl::TStream&)>& header,
                                    std::string& missing);
    void ReadInfo(rtl::TStream& stream);
    void WriteInfo(rtl::TStream& stream);
    void ResetToEmptyPage();
    void ShowError(const std::string& text);

    std::unique_ptr<rtl::TMemoryStream> formStream_;
};

// Document-information password as stored: two upper-case hexadecimal
// digits per byte, high half first. The reader takes either case and raises
// rtl::EReadError on anything else.
std::string frPasswordToHex(const std::string& password);
std::string frPasswordFromHex(const std::string& hex);
