#pragma once
// Everything the report library keeps per process, in one place: the hooks
// that upper layers install (grouped by who installs them) and the
// process-wide variables, each with the reason it is process-wide.
//
// Only one report is loaded, built, previewed or designed at a time and
// everything runs on the user-interface thread, so this state needs no locks.
// Code below an upper layer reaches it only through these hooks; an unset
// hook means that layer is absent (no evaluator, no window, no designer).
//
// frResetProcessState() gives tests and fuzz targets a clean state.

#include "platform/gdi/geometry.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"

#include <QImage>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace rtl {
class TStream;
}
namespace db {
class TADOQuery;
class TField;
} // namespace db
namespace gdi {
class Canvas;
}

class TfrBandRuntime;
class TfrCompressor;
class TfrMemoView;
class TfrObject;
class TfrPage;
class TfrPicture;
class TfrPrinter;
class TfrReport;
class TfrVariables;
class TfrView;
class TfrViewPage;
struct TfrBlobData;

// ---------------------------------------------------------------------------
// Hooks installed by the report component (model/report.cpp) whenever a
// report becomes current: what objects look up through their report.

struct TfrReportLookups {
    // An object of the current report by name (all pages, letter case ignored).
    std::function<TfrView*(const std::string& name)> FindObject;
    // A page of the current report by number from 1.
    std::function<TfrObject*(int pageNumber)> FindPage;
    // The report's before-print step (blob loading, then OnBeforePrint).
    std::function<void(rtl::TStringList& memo, TfrView& view)> FireBeforePrint;
};

TfrReportLookups& frReportLookups();

// ---------------------------------------------------------------------------
// Hooks the engine installs (engine/: parser, interpreter, memo layout, data
// sets, band engine, export).

struct TfrEngineHooks {
    // Evaluates expression text through the current report (names, functions).
    std::function<rtl::TVariant(const std::string& expression)> Calculate;
    // Runs a view's before-print script (its code lines: the build compiles
    // scripts with CompileScript first).
    std::function<void(TfrView& view, const rtl::TStringList& script)> RunScript;
    // Compiles and runs a page's script.
    std::function<void(TfrPage& page, const rtl::TStringList& script)> RunPageScript;
    // Defines a named constant of the expression language.
    std::function<void(const std::string& name, const rtl::TVariant& value)> DefineConstant;
    // Reads the binary field a view is bound to; false when it has none.
    std::function<bool(TfrView& view, TfrBlobData& field)> ReadBoundBlob;
    // The running export filter, when there is one: receives the view and its place.
    std::function<void(TfrView& view, int left, int top)> ExportToFilter;
    // The engine extension block after marker 253 of a template; none by default.
    std::function<void(rtl::TStream& stream)> ReadExtension;
    std::function<void(rtl::TStream& stream)> WriteExtension;
    std::function<void()> ClearExtension;

    // Memo text layout (engine/memo_layout.cpp, InstallMemoLayout): a memo's
    // painting, its output into a prepared page and the height measurements
    // the band engine asks for all wrap and measure text, which the engine does.
    std::function<void(TfrMemoView& memo, gdi::Canvas& canvas)> PaintMemo;
    std::function<void(TfrMemoView& memo, rtl::TStream& stream)> OutputMemoToPage;
    std::function<int(TfrMemoView& memo)> CalcMemoHeight;
    std::function<int(TfrMemoView& memo)> MeasureMemoMinHeight;
    std::function<int(TfrMemoView& memo)> MeasureMemoRemainder;

    // An object that cannot print its value for this record (a failed
    // expression, an empty value, a value its kind rejects) prints no code;
    // the build routes the reason to its error path, once per build however
    // many labels it spoils, so a run of bad records shows one message.
    std::function<void(TfrView& view, const std::string& message)> ReportOutputProblem;

    // Values and formatting (engine, the report's value side): the display
    // text of one bracketed expression of the current object, with its format
    // suffix, hide-zeros flag and display format applied. Unset, the plain
    // text of frCalculate(expression).
    std::function<std::string(const std::string& expression)> GetFormattedValue;

    // Export: one memo line for the running export filter, with the memo's
    // output rectangle, the line's place and the frame lines it keeps.
    std::function<void(TfrMemoView& memo, const gdi::TRect& outputRect, int x, int y,
                       const std::string& line, uint16_t frameTyp)>
        ExportMemoLine;

    // Scripts (the interpreter): compiles a script in place into the code
    // lines RunScript then runs. The build compiles every object's and band's
    // script once, so each record runs code, not text; syntax faults are
    // dropped with the code made up to them kept, as the build ignores them
    // (the designer's check reports them). Unset, scripts are run as given.
    std::function<void(rtl::TStringList& script)> CompileScript;
};

TfrEngineHooks& frEngineHooks();

// What the dictionary's look-ups (model/data_dictionary) need of the data
// layer above the model; the engine installs them (InstallDictionaryLookups). Unset, names resolve
// to no field, the data-set lists stay empty and older aliases are kept as read.
struct TfrDictionaryHooks {
    // Resolves "dataset.field" text (or a bare field of `dataSet` as given);
    // raises EClassNotFound "Missing ..." when the data-set part names no
    // component. True when the data set and its field were found.
    std::function<bool(const std::string& text, db::TADOQuery*& dataSet, std::string& field)>
        FindDataField;
    // The data set of field names without a data-set part; null when the
    // current report does not use one.
    std::function<db::TADOQuery*()> DefaultDataSet;
    // The value a report shows for a field.
    std::function<rtl::TVariant(const db::TField& field)> GetFieldValue;
    // The script variables; null while there are none.
    std::function<const TfrVariables*()> ScriptVariables;
    // The names of the database data sets (or, with `reportDataSets`, of
    // the report data sets) the application offers.
    std::function<void(bool reportDataSets, rtl::TStringList& names)> EnumerateDataSets;
    // The field names of a data set found by name; false when none is.
    std::function<bool(const std::string& dataSetName, rtl::TStringList& names)> GetFieldNames;
};

TfrDictionaryHooks& frDictionaryHooks();

// ---------------------------------------------------------------------------
// Hooks the graphical user interface installs (report_ui and the
// application): boxes, dialogs and the event loop.

// Results of modal windows as the hooks hand them back.
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

struct TfrGuiHooks {
    // A modal box with the error icon and an OK button.
    std::function<void(const std::string& text, const std::string& caption)> ShowError;
    // The password dialog; true when confirmed, with the typed text.
    std::function<bool(std::string& password)> AskPassword;
    // Lets the window system breathe during long operations. The build calls
    // it once per page, never per record.
    std::function<void()> ProcessMessages;
    // The progress window's label.
    std::function<void(const std::string& text)> SetProgressText;
    // Runs a long operation (building, printing) inside the progress window,
    // so the operator sees where it is and can stop it: Cancel, Esc or
    // closing the window set report.CancelRequested, which the operation
    // polls. Returns mrOk, or mrCancel after a cancel request; an
    // exception from the operation is raised again once the window is down.
    std::function<int(TfrReport& report, const std::string& caption,
                      const std::function<void()>& operation)>
        RunWithProgress;
    // Opens a document, web address or program with the desktop's default
    // action: what a link object on a prepared page points to.
    std::function<void(const std::string& target)> ShellOpen;
    // A modal question with Yes and No buttons; true for Yes.
    std::function<bool(const std::string& text, const std::string& caption)> AskYesNo;

    // The progress window's second line (a script's PROGRESS := value).
    std::function<void(const std::string& text)> SetProgressDetail;
    // INPUT and MESSAGEBOX of expressions. The input box answers the text
    // typed, or `defaultText` when cancelled; the message box takes Windows
    // message-box flags and answers the identifier of the button pressed
    // (1 OK, 2 Cancel, 6 Yes, 7 No...). Unset (tests, batch mode), INPUT
    // gives its default text and MESSAGEBOX its first button.
    std::function<std::string(const std::string& caption, const std::string& prompt,
                              const std::string& defaultText)>
        InputBox;
    std::function<int(const std::string& text, const std::string& caption, int flags)> MessageBox;
    // The clock, as a date-time (days since 1899-12-30); unset, the system
    // clock. Tests install a fixed one.
    std::function<double()> Now;

    // The preview window: shows the report's built pages (BuildAndPreview, PreviewPreparedReport).
    // Unset, the pages stay in the report.
    std::function<void(TfrReport& report)> ShowPreparedReport;
    // The print dialog for the report's built pages; unset, the Print button is hidden.
    std::function<void(TfrReport& report)> PrintPreparedReportDialog;
    // The preview's page-setup command: the system page-setup dialog, the
    // template pages' new paper and margins, and the rebuild; true when the
    // report's pages were rebuilt. The preview lends the report its pages for
    // the call. Unset, the page-setup button is hidden.
    std::function<bool(TfrReport& report)> PreparedPageSetup;
    // A dialog page before the report is built: its form shown modally, the
    // page script run when it activates; mrOk, or mrCancel to give up the
    // build. Unset, dialog pages only run their script.
    std::function<int(TfrPage& page)> ShowDialogPage;
};

TfrGuiHooks& frGuiHooks();

// ---------------------------------------------------------------------------
// Hooks the designer installs when it is shown (designer/): the editor
// procedures objects open from the inspector and their popup menus, the
// designer services their popup commands use, and the designer's look.

using TfrEditorHook = std::function<void(TfrView& view)>;

struct TfrDesignerEditorHooks {
    TfrEditorHook EditTagHook;
    TfrEditorHook EditMemoHook;
    TfrEditorHook EditRestrictionsHook;
    TfrEditorHook EditFontHook;
    TfrEditorHook EditHighlightHook;
    TfrEditorHook EditCrossSourceHook;
    TfrEditorHook EditBandSourceHook;
    TfrEditorHook EditPictureHook;
    TfrEditorHook EditDataFieldHook;
    TfrEditorHook EditBarCodeHook;
    // Shows the display-format dialog for the code and text; true on OK.
    std::function<bool(int& formatCode, std::string& formatText)> EditFormatHook;

    // The expression builder; the expression chosen, or "" when cancelled.
    std::function<std::string()> ChooseExpression;

    // Designer services used by the popup commands.
    std::function<void()> RecordEditUndo;
    std::function<void()> RefreshSelection;
    std::function<std::vector<TfrView*>()> SelectedObjects;
    // The page the designer shows.
    std::function<TfrViewPage*()> DesignerPage;
    // True when a dialog page's form already has a control of that name.
    std::function<bool(const std::string& name)> DialogControlExists;
    // The designer form: shows it modally for the report, returns its result.
    std::function<int(TfrReport& report)> ShowDesigner;
    // Writes the XML form of the template.
    std::function<void(TfrReport& report, rtl::TStream& stream)> WriteXmlTemplate;
    // The designer, not as the main designer, on the report's one page: a
    // prepared page being edited. True when it changed something.
    std::function<bool(TfrReport& report)> EditPreparedPage;

    // Band look: the title tabs option and the hatch the band area is filled with.
    bool ShowBandTitles = true;
    QImage BandHatch;
    // The placeholder picture of an empty picture object.
    QImage EmptyPicture;
};

TfrDesignerEditorHooks& DesignerEditorHooks();

// ---------------------------------------------------------------------------
// Process-wide variables.

struct TfrEngineState {
    // Format version of the stream being read or written (template version
    // byte): object records read it deep inside the template reader.
    int Version = 25;
    // Set while a report is built, previewed, printed or exported; objects
    // then paint their output form instead of the designer form.
    bool OutputMode = false;
    // First pass of a two-pass build: nothing is painted.
    bool ScriptPass = false;
    // What is being worked on now: scripts and expressions name properties
    // relative to them.
    TfrObject* CurrentObject = nullptr;
    TfrViewPage* CurrentPage = nullptr;
    TfrBandRuntime* CurrentBand = nullptr;
    // Unknown object classes met while loading, each followed by a CR.
    bool LoadError = false;
    std::string LoadErrorMessage;
    // Character set of new and old-format text objects: the program speaks GB2312.
    int DefaultCharset = 134;
    // The lines the memo layout wrapped last: a memo split across pages
    // keeps its remaining lines here between its parts.
    rtl::TStringList WrappedLines;

    // The build's prepared page being filled (from 0) and the report that
    // started the build: page events raised deep inside the build go to both.
    int PageNo = 0;
    TfrReport* MasterReport = nullptr;
};

// The engine state every object reads.
TfrEngineState& frEngine();

// The report being loaded, built, previewed or designed; null when none.
// Only one report is worked on at a time, and objects reach their report's
// names through it. SetCurReport (model/report.cpp) also installs the
// report's lookups above.
TfrReport* CurReport();
void SetCurReport(TfrReport* report);
// Sets only the pointer; for SetCurReport.
void frSetCurrentReportPointer(TfrReport* report);

// The zoom the preview was left at: the next preview of the process opens
// with it, whichever report it shows.
struct TfrPreviewZoomState {
    double LastZoom = 1.0; // screen pixels per report unit
    int LastZoomMode = 0;  // 0 fixed, 1 page width, 2 whole page, 3 two pages
};
TfrPreviewZoomState& frPreviewZoom();

// The number the next object made by the registry gets: object numbers are
// unique within a process so prepared pages can refer back to objects.
int32_t& frObjectIdCounter();

// Pictures by the number the "PICTURE" property passes around: a script
// holds a number, never an address.
struct TfrPictureHandles {
    std::unordered_map<int32_t, TfrPicture*> ByNumber;
    int32_t Last = 0;
};
TfrPictureHandles& frPictureHandles();

// The printer every page measures against and prints on: one current
// printer per process, as the system has one printer list. Made and attached
// to the system printer on first use (printer/printer.cpp); without a usable
// printer the virtual printer is current and DefaultPaperSize is -1.
TfrPrinter& ReportPrinter();
// Paper code for new template pages: the current printer's paper at start-up.
extern int DefaultPaperSize;
// Set once the process-wide printer is made (synchronously, on first use).
extern bool PrinterReady;

// The engine's globals (engine/globals.h): the shared expression parser and
// script interpreter, script variables, named constants, the function
// libraries with their descriptions, and the build state the value side
// reads (page number, build date, current value). One set per process, as
// there is one expression language and one report built at a time; made on
// first use, reset with the process state.
class TfrGlobals;
TfrGlobals& frGlobals();

// The surface text is measured on while reports are built: 96 dots per inch
// whatever the output device, so line breaks never depend on the preview zoom
// or the printer. It draws nothing. Its drawing state is reset with the
// process state.
gdi::Canvas& frMeasuringCanvas();

// The compressor prepared-report files are packed and unpacked with
// (engine/prepared_pages.cpp). One per process, as the file format has one
// flag for it; the built-in one is inactive, so files are written unpacked.
TfrCompressor& PageCompressor();
// Replaces it (a reset brings back the built-in one).
void SetPageCompressor(std::unique_ptr<TfrCompressor> compressor);

// The string table's translation hooks (TfrLocale::Instance(): OnLocalize
// and a loaded resource module) are process-wide as the texts are; the
// process-state reset clears them.

// Process-wide objects of the layers above this one (the printer above; the
// engine's shared parser and interpreter with their variables) register how
// to reset themselves when they are first made.
void frRegisterReset(std::function<void()> reset);

// Clears every hook, variable and counter above and runs the registered
// resets. Registered object kinds are kept (they are part of the program,
// registered once at start-up), and so are the numbers of live pictures.
void frResetProcessState();

// ---------------------------------------------------------------------------
// Calls through the hooks that several layers share.

// Raised when an expression must be evaluated and no evaluator is installed.
class EfrNoEvaluator : public std::logic_error {
public:
    EfrNoEvaluator() : std::logic_error("No expression evaluator is installed") {}
};

// Raised when a memo height is asked for and no text layout is installed.
class EfrNoMemoLayout : public std::logic_error {
public:
    EfrNoMemoLayout() : std::logic_error("No memo text layout is installed") {}
};

// Evaluates through frEngineHooks().Calculate.
rtl::TVariant frCalculate(const std::string& expression);

// The display text of a bracketed expression, through
// frEngineHooks().GetFormattedValue (or the plain value when unset).
std::string frGetFormattedValue(const std::string& expression);

// Date-time now, through the installed clock.
double frNow();
