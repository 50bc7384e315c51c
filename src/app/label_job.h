#pragma once
// What the main window and the batch mode share to print labels: the
// connection string for a database file, the binding of the query to the
// report through frDBDataSet1, and the rule that fills the barcode object B
// with each record's barcode. Kept in one place so both print the same.

#include <QString>
#include <optional>
#include <string>

class TfrComponentContainer;
class TfrDBDataSet;
class TfrReport;
class TfrView;
namespace db {
class TADOQuery;
}
namespace rtl {
class TStringList;
}

// The connection string for a database file and its password (trimmed by
// the caller); no password part for an empty one.
QString LabelConnectionString(const QString& path, const QString& password);

// frDBDataSet1 walks `query`, the report prints from frDBDataSet1, and the
// form's container lists them under the names templates use (ADOQuery1,
// frDBDataSet1, frReport1).
void BindLabelReport(TfrComponentContainer& form, db::TADOQuery& query, TfrDBDataSet& dataSet,
                     TfrReport& report);

// The current record's barcode as B prints it (blanks trimmed); none for a
// null value.
std::optional<std::string> LabelBarcodeValue(const db::TADOQuery& query);

// The report's before-print rule: only the object named exactly "B"
// (surrounding blanks aside) gets the record's barcode as its working text,
// which must be a barcode object (EInvalidCast otherwise); a null value
// leaves the template text, which reads the same field and prints no bars.
void FillLabelBarcode(const db::TADOQuery& query, rtl::TStringList& memo, TfrView& view);

// True for the object FillLabelBarcode fills.
bool IsLabelBarcodeObject(const TfrView& view);
