#pragma once
// What report objects need from the layers that hold and drive them: the page
// they sit on, the run-time band that outputs them, the report's expression
// evaluator and script runner, and the process-wide engine state. The page,
// band engine, parser and interpreter implement or install these; the objects
// only call through them, so the model builds and tests on its own.

#include "platform/gdi/geometry.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"

#include <functional>
#include <stdexcept>
#include <string>

class TfrObject;
class TfrView;

// What a view asks of the page that holds it. The report page implements it.
class TfrViewPage {
public:
    virtual ~TfrViewPage() = default;
    virtual int ObjectCount() const = 0;
    virtual TfrView* ObjectAt(int index) const = 0;
    // Horizontal limits in report units: margins, or the printer's offsets
    // when a margin is 0, or the bare sheet when margins are off.
    virtual int LeftLimit() const = 0;
    virtual int RightLimit() const = 0;
    // Sheet size in report units.
    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
};

// What a band object and its neighbours reach of the run-time band while a
// report is built. The band engine's run-time band implements it.
class TfrBandRuntime {
public:
    virtual ~TfrBandRuntime() = default;
    virtual int BandType() const = 0;
    virtual int Left() const = 0;
    virtual int Top() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Visible() const = 0;
    virtual void SetLeft(int value) = 0;
    virtual void SetTop(int value) = 0;
    virtual void SetWidth(int value) = 0;
    virtual void SetHeight(int value) = 0;
    virtual void SetVisible(bool value) = 0;
    // Links the child band to the run-time band of the band object of that
    // name on the current page; an unknown or empty name unlinks it.
    virtual void SetChildBand(const std::string& bandName) = 0;
    virtual bool PageBreak() const = 0;
    virtual void SetPageBreak(bool value) = 0;
    virtual void SetGroupCondition(const std::string& condition) = 0;
    // Detaches the band from its data set and binds it to the named one.
    virtual void SetDataSource(const std::string& dataSetName) = 0;
    // The band's data set, when it has one.
    virtual bool HasDataSet() const = 0;
    virtual bool DataSetEof() = 0;
    virtual void DataSetFirst() = 0;
    virtual void DataSetNext() = 0;
    virtual void DataSetPrior() = 0;
};

// The engine state every object reads: one per process, as only one report
// is loaded, built, previewed or designed at a time.
struct TfrEngineState {
    // Format version of the stream being read or written (template version byte).
    int Version = 25;
    // Set while a report is built, previewed, printed or exported; objects
    // then paint their output form instead of the designer form.
    bool OutputMode = false;
    // First pass of a two-pass build: nothing is painted.
    bool ScriptPass = false;
    TfrObject* CurrentObject = nullptr;
    TfrViewPage* CurrentPage = nullptr;
    TfrBandRuntime* CurrentBand = nullptr;
    // Unknown object classes met while loading, each followed by a CR.
    bool LoadError = false;
    std::string LoadErrorMessage;
    // Character set of new and old-format text objects: the program speaks GB2312.
    int DefaultCharset = 134;
};

TfrEngineState& frEngine();

// Hooks the report, parser, interpreter and output layers install. An unset
// hook means that layer is absent (no report loaded, no filter running).
struct TfrReportServices {
    // Evaluates expression text through the current report (names, functions).
    std::function<rtl::TVariant(const std::string& expression)> Calculate;
    // Runs a view's before-print script.
    std::function<void(TfrView& view, const rtl::TStringList& script)> RunScript;
    // The report's before-print step (blob loading, then OnBeforePrint).
    std::function<void(rtl::TStringList& memo, TfrView& view)> FireBeforePrint;
    // An object of the current report by name (all pages, letter case ignored).
    std::function<TfrView*(const std::string& name)> FindObject;
    // A page of the current report by number from 1.
    std::function<TfrObject*(int pageNumber)> FindPage;
    // The page the designer shows.
    std::function<TfrViewPage*()> DesignerPage;
    // The running export filter, when there is one: receives the view and its place.
    std::function<void(TfrView& view, int left, int top)> ExportToFilter;
    // Defines a named constant of the expression language.
    std::function<void(const std::string& name, const rtl::TVariant& value)> DefineConstant;
    // True when a dialog page's form already has a control of that name.
    std::function<bool(const std::string& name)> DialogControlExists;
};

TfrReportServices& frServices();

// Raised when an expression must be evaluated and no evaluator is installed.
class EfrNoEvaluator : public std::logic_error {
public:
    EfrNoEvaluator() : std::logic_error("No expression evaluator is installed") {}
};

// Evaluates through frServices().Calculate.
rtl::TVariant frCalculate(const std::string& expression);
