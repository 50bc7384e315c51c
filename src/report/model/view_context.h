#pragma once
// What a view reaches of its surroundings while it is laid out and output:
// the page that holds it and the run-time band that outputs it. The report
// page and the band engine implement these; views only call through them.

#include <string>

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
