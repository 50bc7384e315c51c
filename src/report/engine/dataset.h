#pragma once
// Report data sets: the first / next / end-of-data protocol the band engine
// walks records with. TfrDataset counts records and raises events; a
// TfrUserDataset is driven by the application's handlers (or just counts);
// TfrDBDataSet (db_dataset.h) walks a database query.

#include "report/engine/component_registry.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

// A component of another kind than the one asked for.
class EInvalidCast : public std::runtime_error {
public:
    EInvalidCast() : std::runtime_error("Invalid class typecast") {}
};

enum TRangeBegin { rbFirst, rbCurrent };
enum TRangeEnd { reLast, reCurrent, reCount };

class TfrDataset;
using TNotifyEvent = std::function<void(TfrDataset* Sender)>;
using TCheckEOFEvent = std::function<void(TfrDataset* Sender, bool& Eof)>;

class TfrDataset {
public:
    explicit TfrDataset(std::string name = {});
    // Leaves the container that lists it.
    virtual ~TfrDataset();
    TfrDataset(const TfrDataset&) = delete;
    TfrDataset& operator=(const TfrDataset&) = delete;

    virtual std::string ClassName() const { return "TfrDataset"; }

    virtual void BeginWalk() {}
    virtual void EndWalk() {}
    virtual void First();
    virtual void Next();
    virtual void Prior();
    virtual bool Eof();

    // A component is leaving its container; references to it are cleared.
    virtual void Notification(const TfrComponentObject& removed) { (void)removed; }

    std::string Name;
    TRangeBegin RangeBegin = rbFirst;
    TRangeEnd RangeEnd = reLast;
    int RangeEndCount = 0;
    TNotifyEvent OnFirst;
    TNotifyEvent OnNext;
    TNotifyEvent OnPrior;
    TCheckEOFEvent OnCheckEOF;
    // Number of the current record, from 0.
    int RecordNumber = 0;
};

class TfrUserDataset : public TfrDataset {
public:
    using TfrDataset::TfrDataset;
    std::string ClassName() const override { return "TfrUserDataset"; }
};

// What a band's data-source name became. A "virtual" data set made from a
// number belongs to the holder, who frees it when the band is done.
struct TfrFoundDataSet {
    TfrDataset* DataSet = nullptr;
    std::unique_ptr<TfrDataset> Owned;
};

// A name starting with a digit 1..9 makes a TfrUserDataset of that many
// records (EConvertError when it is no whole number); any other name is a
// component of `owner` (by default the current report's owner) found with
// FindComponentByPath, which must be a report data set (EInvalidCast
// otherwise). A data set found or made has been started with BeginWalk; an
// unknown name gives none.
TfrFoundDataSet FindDataSetByName(const std::string& name);
TfrFoundDataSet FindDataSetByName(const std::string& name, const TfrComponentContainer* owner);
