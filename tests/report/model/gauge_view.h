#pragma once
// A registered kind (code 10) with a field of its own, for template tests
// and the template fuzzer.

#include "report/model/view.h"

class TfrTestGaugeView : public TfrView {
public:
    std::string ClassName() const override { return "TfrTestGaugeView"; }
    void Paint(gdi::Canvas&) override {}
    void ReadRecord(rtl::TStream& stream, int version) override {
        TfrView::ReadRecord(stream, version);
        Level = stream.ReadInt32();
    }
    void WriteToStream(rtl::TStream& stream) override {
        TfrView::WriteToStream(stream);
        stream.WriteInt32(Level);
    }
    int32_t Level = 0;
};
