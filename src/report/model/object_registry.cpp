#include "report/model/object_registry.h"

#include "report/core/process_state.h"
#include "report/core/resource_strings.h"
#include "report/core/string_ids.h"
#include "report/model/band_view.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/picture_view.h"
#include "report/model/sub_report_view.h"

namespace {

std::vector<TfrAddInObjectInfo>& AddIns() {
    static std::vector<TfrAddInObjectInfo> table;
    return table;
}

int32_t& ObjectIdCounter() {
    static int32_t counter = 0;
    return counter;
}

} // namespace

const std::vector<TfrAddInObjectInfo>& frAddIns() {
    return AddIns();
}

void frClearAddIns() {
    AddIns().clear();
}

int32_t frNextObjectId() {
    return ObjectIdCounter();
}

void RegisterObject(const TfrViewClass& cls, const QImage& buttonBmp, const std::string& hint) {
    for (const TfrAddInObjectInfo& info : AddIns())
        if (info.ClassRef.ClassName == cls.ClassName) return;
    if (!cls.Create) throw std::invalid_argument("No constructor for " + cls.ClassName);
    if (static_cast<int>(AddIns().size()) >= frMaxAddIns)
        throw std::length_error("Too many object kinds registered: " + cls.ClassName);
    // Buttons are small: keep them in the compact 8-bit form.
    QImage bmp =
        buttonBmp.isNull() ? buttonBmp : buttonBmp.convertToFormat(QImage::Format_Indexed8);
    AddIns().push_back(TfrAddInObjectInfo{cls, std::move(bmp), hint, 0});
}

std::unique_ptr<TfrView> CreateObject(int typ, const std::string& className) {
    std::unique_ptr<TfrView> view;
    switch (typ) {
    case gtMemo:
        view = std::make_unique<TfrMemoView>();
        break;
    case gtPicture:
        view = std::make_unique<TfrPictureView>();
        break;
    case gtBand:
        view = std::make_unique<TfrBandView>();
        break;
    case gtSubReport:
        view = std::make_unique<TfrSubReportView>();
        break;
    case gtLine:
        view = std::make_unique<TfrLineView>();
        break;
    case gtAddIn: {
        for (const TfrAddInObjectInfo& info : AddIns()) {
            if (info.ClassRef.ClassName == className) {
                view = info.ClassRef.Create();
                view->TypeCode = gtAddIn;
                break;
            }
        }
        if (!view) {
            TfrEngineState& st = frEngine();
            st.LoadError = true;
            st.LoadErrorMessage += className + "\r";
            throw EClassNotFound(st.LoadErrorMessage);
        }
        break;
    }
    default:
        return nullptr;
    }
    view->ObjectId = ObjectIdCounter()++;
    return view;
}

std::string NonPluggedComponentsMessage(const std::string& names) {
    return LoadResourceString(frsNonPluggedHead) + "\r" + names +
           LoadResourceString(frsNonPluggedTail);
}
