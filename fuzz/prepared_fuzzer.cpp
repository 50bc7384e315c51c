// Feeds arbitrary bytes to the prepared-report reader. Besides not crashing,
// a file that loads must paint, and must save to bytes that load and save
// again the same.

#include "gauge_view.h"
#include "platform/gdi/recording_canvas.h"
#include "platform/rtl/stream.h"
#include "report/engine/prepared_pages.h"
#include "report/model/object_registry.h"
#include "report/model/report.h"
#include "report/printer/printer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

void FreshState() {
    // Pages take the printer's paper when it is the same as the one they
    // ask for: every load starts from a fresh printer, so a failed round
    // trip reproduces from its input alone.
    frResetProcessState();
    frGuiHooks().Now = [] { return 45000.5; };
}

std::string Save(TfrReport& report) {
    rtl::TMemoryStream out;
    report.PreparedPages->WritePreparedFile(out);
    return out.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        RegisterObject(TfrViewClass::Of<TfrTestGaugeView>(), QImage(), "gauge");
        InitReportPrinter(nullptr);
        return true;
    }();
    (void)ready;
    FreshState();

    rtl::TMemoryStream in;
    in.WriteBuffer(data, static_cast<int64_t>(size));
    in.SetPosition(0);
    TfrReport report;
    try {
        report.PreparedPages->ReadPreparedFile(in);
    } catch (const EPreparedFileError&) {
        return 0;
    }

    // The first pages paint and answer the mouse.
    gdi::RecordingCanvas canvas(gdi::TextMetricsSource::Fixed, 96, 96, gdi::TSize{2000, 2000});
    for (int i = 0; i < std::min(report.PreparedPages->Count(), 4); ++i) {
        report.PreparedPages->PageAt(i).Visible = true;
        report.PreparedPages->DrawPage(i, canvas, gdi::TRect{0, 0, 800, 1000});
        canvas.Clear();
        std::string link;
        int cursor = crDefault;
        report.PreparedPages->HitTest(i, gdi::TPoint{100, 100}, false, link, cursor);
        report.PreparedPages->PageAt(i).Visible = false;
        report.PreparedPages->DrawPage(i, canvas, gdi::TRect{});
    }

    const std::string first = Save(report);
    FreshState();
    rtl::TMemoryStream again;
    again.WriteBytes(first);
    again.SetPosition(0);
    TfrReport copy;
    try {
        copy.PreparedPages->ReadPreparedFile(again);
    } catch (const EPreparedFileError&) {
        std::abort(); // what we wrote must read back
    }
    if (Save(copy) != first) std::abort();
    return 0;
}
