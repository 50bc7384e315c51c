#include "report/core/process_state.h"

#include "platform/gdi/canvas.h"
#include "report/core/resource_strings.h"

#include <QDateTime>

namespace {

TfrReport*& CurrentReportPointer() {
    static TfrReport* report = nullptr;
    return report;
}

std::vector<std::function<void()>>& Resets() {
    static std::vector<std::function<void()>> resets;
    return resets;
}

double SystemNow() {
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 days = QDate(1899, 12, 30).daysTo(now.date());
    return static_cast<double>(days) + now.time().msecsSinceStartOfDay() / 86400000.0;
}

// Measures like every canvas (through the text service at 96 dpi) and
// draws nothing: what is drawn on it while a report is built is only ever
// measured, and nothing drawn may pile up over a long build.
class MeasuringCanvas final : public gdi::Canvas {
public:
    int PixelsPerInchX() const override { return gdi::kMeasureDpi; }
    int PixelsPerInchY() const override { return gdi::kMeasureDpi; }
    gdi::TSize DeviceSize() const override { return gdi::TSize{kSide, kSide}; }

    void LineTo(int x, int y) override { MoveTo(x, y); }
    void Polyline(const std::vector<gdi::TPoint>&) override {}
    void Rectangle(const gdi::TRect&) override {}
    void FillRect(const gdi::TRect&) override {}
    void FrameRect(const gdi::TRect&) override {}
    void Polygon(const std::vector<gdi::TPoint>&) override {}
    void Ellipse(const gdi::TRect&) override {}
    void SetPixel(int, int, gdi::TColor) override {}
    void InvertRect(const gdi::TRect&) override {}
    void ExtTextOut(int, int, unsigned, const gdi::TRect*, std::string_view) override {}
    void StretchDraw(const gdi::TRect&, const QImage&, gdi::TStretchMode) override {}
    using Canvas::StretchDraw;

    // Back to the state of a new canvas.
    void Reset() {
        while (RestoreDC(-1)) {
        }
        SetPen(gdi::TPen{});
        SetBrush(gdi::TBrush{});
        SetFont(gdi::TFont{});
        SetBkMode(gdi::bkOpaque);
        SetBkColor(gdi::clWhite);
        SetTextCharacterExtra(0);
        SetTextJustification(0, 0);
        SetTextAlign(gdi::TA_LEFT | gdi::TA_TOP);
        RemoveClipRegion();
        MoveTo(0, 0);
    }

private:
    static constexpr int kSide = 8; // the old measuring bitmap's size
};

MeasuringCanvas& TheMeasuringCanvas() {
    static MeasuringCanvas canvas;
    return canvas;
}

} // namespace

TfrReportLookups& frReportLookups() {
    static TfrReportLookups lookups;
    return lookups;
}

TfrEngineHooks& frEngineHooks() {
    static TfrEngineHooks hooks;
    return hooks;
}

TfrDictionaryHooks& frDictionaryHooks() {
    static TfrDictionaryHooks hooks;
    return hooks;
}

TfrGuiHooks& frGuiHooks() {
    static TfrGuiHooks hooks;
    return hooks;
}

TfrPreviewZoomState& frPreviewZoom() {
    static TfrPreviewZoomState state;
    return state;
}

TfrDesignerEditorHooks& DesignerEditorHooks() {
    static TfrDesignerEditorHooks hooks;
    return hooks;
}

TfrEngineState& frEngine() {
    static TfrEngineState state;
    return state;
}

TfrReport* CurReport() {
    return CurrentReportPointer();
}

void frSetCurrentReportPointer(TfrReport* report) {
    CurrentReportPointer() = report;
}

int32_t& frObjectIdCounter() {
    static int32_t counter = 0;
    return counter;
}

TfrPictureHandles& frPictureHandles() {
    static TfrPictureHandles handles;
    return handles;
}

void frRegisterReset(std::function<void()> reset) {
    Resets().push_back(std::move(reset));
}

void frResetProcessState() {
    frReportLookups() = TfrReportLookups{};
    frEngineHooks() = TfrEngineHooks{};
    frDictionaryHooks() = TfrDictionaryHooks{};
    frGuiHooks() = TfrGuiHooks{};
    DesignerEditorHooks() = TfrDesignerEditorHooks{};
    frEngine() = TfrEngineState{};
    frPreviewZoom() = TfrPreviewZoomState{};
    CurrentReportPointer() = nullptr;
    frObjectIdCounter() = 0;
    TheMeasuringCanvas().Reset();
    TfrLocale::Instance().OnLocalize = nullptr;
    TfrLocale::Instance().UnloadResourceModule();
    // Picture numbers are left alone: live pictures keep theirs, and a
    // number is never handed out twice.
    for (const auto& reset : Resets()) reset();
}

rtl::TVariant frCalculate(const std::string& expression) {
    if (!frEngineHooks().Calculate) throw EfrNoEvaluator();
    return frEngineHooks().Calculate(expression);
}

std::string frGetFormattedValue(const std::string& expression) {
    if (const auto& formatted = frEngineHooks().GetFormattedValue) return formatted(expression);
    return frCalculate(expression).AsString();
}

gdi::Canvas& frMeasuringCanvas() {
    return TheMeasuringCanvas();
}

double frNow() {
    return frGuiHooks().Now ? frGuiHooks().Now() : SystemNow();
}
