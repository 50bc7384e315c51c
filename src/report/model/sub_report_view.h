#pragma once
// Sub-report objects: stand for another page of the template, printed in
// their place.

#include "report/model/view.h"

class TfrSubReportView : public TfrView {
public:
    TfrSubReportView();
    std::string ClassName() const override { return "TfrSubReportView"; }

    void Paint(gdi::Canvas& canvas) override;
    void ReadRecord(rtl::TStream& stream, int version) override;
    void WriteToStream(rtl::TStream& stream) override;
    void AddPopupItems(TfrPopupMenu&) override {}

    int32_t SubPage = 0; // template page number, from 0

protected:
    bool HasFrameProperties() const override { return false; }
};
