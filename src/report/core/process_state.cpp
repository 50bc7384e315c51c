#include "report/core/process_state.h"

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
    CurrentReportPointer() = nullptr;
    frObjectIdCounter() = 0;
    // Picture numbers are left alone: live pictures keep theirs, and a
    // number is never handed out twice.
    for (const auto& reset : Resets()) reset();
}

rtl::TVariant frCalculate(const std::string& expression) {
    if (!frEngineHooks().Calculate) throw EfrNoEvaluator();
    return frEngineHooks().Calculate(expression);
}

double frNow() {
    return frGuiHooks().Now ? frGuiHooks().Now() : SystemNow();
}
