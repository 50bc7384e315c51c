// Feeds arbitrary bytes to the template reader. Besides not crashing, a
// template that loads must save to bytes that load and save again the same.

#include "gauge_view.h"
#include "platform/rtl/stream.h"
#include "report/model/object_registry.h"
#include "report/model/report.h"
#include "report/printer/printer.h"

#include <cstdint>
#include <cstdlib>

namespace {

std::string Save(TfrReport& report) {
    rtl::TMemoryStream out;
    report.SaveTemplateStream(out);
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
    // Pages take the printer's paper when it is the same as the one they ask
    // for, so every load starts from a clean state with a fresh printer: the
    // comparison is of the format, not of what the previous input left.
    frResetProcessState();
    frGuiHooks().Now = [] { return 45000.5; };

    rtl::TMemoryStream in;
    in.WriteBuffer(data, static_cast<int64_t>(size));
    in.SetPosition(0);
    TfrReport report;
    if (report.LoadTemplateStream(in) != TfrLoadResult::Loaded) return 0;

    const std::string first = Save(report);
    frResetProcessState();
    frGuiHooks().Now = [] { return 45000.5; };
    rtl::TMemoryStream again;
    again.WriteBytes(first);
    again.SetPosition(0);
    TfrReport copy;
    if (copy.LoadTemplateStream(again) != TfrLoadResult::Loaded) std::abort();
    if (Save(copy) != first) std::abort();
    return 0;
}
