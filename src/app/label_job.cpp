#include "app/label_job.h"

#include "platform/db/ado_query.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/barcode/barcode_view.h"
#include "report/engine/component_registry.h"
#include "report/engine/db_dataset.h"
#include "report/model/report.h"
#include "report/model/view.h"

QString LabelConnectionString(const QString& path, const QString& password) {
    QString cs = QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path +
                 QStringLiteral(";Persist Security Info=False");
    if (!password.isEmpty()) cs += QStringLiteral(";Jet OLEDB:Database Password=") + password;
    return cs;
}

void BindLabelReport(TfrComponentContainer& form, db::TADOQuery& query, TfrDBDataSet& dataSet,
                     TfrReport& report) {
    dataSet.SetDataSet(&query);
    form.AddComponent("ADOQuery1", &query);
    form.AddComponent("frDBDataSet1", &dataSet);
    form.AddComponent("frReport1", &report);
    report.Dataset = &dataSet;
}

std::optional<std::string> LabelBarcodeValue(const db::TADOQuery& query) {
    const db::TField& num = query.FieldByName("Num");
    if (num.IsNull()) return std::nullopt;
    return rtl::Trim(num.AsString());
}

bool IsLabelBarcodeObject(const TfrView& view) {
    return rtl::Trim(view.Name) == "B";
}

void FillLabelBarcode(const db::TADOQuery& query, rtl::TStringList& memo, TfrView& view) {
    if (!IsLabelBarcodeObject(view)) return;
    const std::optional<std::string> value = LabelBarcodeValue(query);
    if (!value) return;
    if (!dynamic_cast<TfrBarCodeView*>(&view)) throw EInvalidCast();
    // The working text for this output only; the template text stays.
    memo.SetText(*value);
}
