#include "report/model/report_services.h"

#include "report/model/designer_hooks.h"

TfrEngineState& frEngine() {
    static TfrEngineState state;
    return state;
}

TfrReportServices& frServices() {
    static TfrReportServices services;
    return services;
}

TfrDesignerEditorHooks& DesignerEditorHooks() {
    static TfrDesignerEditorHooks hooks;
    return hooks;
}

rtl::TVariant frCalculate(const std::string& expression) {
    if (!frServices().Calculate) throw EfrNoEvaluator();
    return frServices().Calculate(expression);
}
