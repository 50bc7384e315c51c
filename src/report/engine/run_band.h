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
};
