#include "report/engine/dataset.h"

#include "platform/rtl/sysutils.h"

TfrDataset::TfrDataset(std::string name) : Name(std::move(name)) {}

TfrDataset::~TfrDataset() {
    frForgetComponent(this);
}

void TfrDataset::First() {
    RecordNumber = 0;
    if (OnFirst) OnFirst(this);
}

void TfrDataset::Next() {
    ++RecordNumber;
    if (!(RangeEnd == reCount && RecordNumber >= RangeEndCount) && OnNext) OnNext(this);
}

void TfrDataset::Prior() {
    --RecordNumber;
    if (OnPrior) OnPrior(this);
}

bool TfrDataset::Eof() {
    bool eof = RangeEnd == reCount && RecordNumber >= RangeEndCount;
    if (OnCheckEOF) OnCheckEOF(this, eof);
    return eof;
}

TfrFoundDataSet FindDataSetByName(const std::string& name) {
    return FindDataSetByName(name, ReportOwner());
}

TfrFoundDataSet FindDataSetByName(const std::string& name, const TfrComponentContainer* owner) {
    TfrFoundDataSet found;
    if (!name.empty() && name[0] >= '1' && name[0] <= '9') {
        auto counted = std::make_unique<TfrUserDataset>();
        counted->RangeEnd = reCount;
        counted->RangeEndCount = rtl::StrToInt(name);
        found.DataSet = counted.get();
        found.Owned = std::move(counted);
    } else if (const TfrComponent* c = FindComponentByPath(owner, name)) {
        TfrDataset* const* ds = std::get_if<TfrDataset*>(&c->Object);
        if (!ds) throw EInvalidCast();
        found.DataSet = *ds;
    }
    if (found.DataSet) found.DataSet->BeginWalk();
    return found;
}
