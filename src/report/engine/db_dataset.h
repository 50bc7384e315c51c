#pragma once
// The report data set over a database query, and the small database
// routines report objects and the dictionary use: binary fields, field
// names, field values and the resolving of "dataset.field" texts.

#include "platform/db/ado_query.h"
#include "platform/rtl/variant.h"
#include "report/engine/dataset.h"

#include <string>

class TfrPicture;
namespace rtl {
class TStream;
class TStringList;
} // namespace rtl

// A data source component: names the database data set that controls
// showing or walking it take their rows from.
struct TDataSource {
    std::string Name;
    db::TADOQuery* DataSet = nullptr; // reference, not owned
};

class TfrDBDataSet : public TfrDataset {
public:
    using TfrDataset::TfrDataset;
    std::string ClassName() const override { return "TfrDBDataSet"; }

    db::TADOQuery* DataSet() const { return dataSet_; }
    // Clears DataSource.
    void SetDataSet(db::TADOQuery* dataSet);
    TDataSource* DataSource() const { return dataSource_; }
    // A data source clears DataSet.
    void SetDataSource(TDataSource* dataSource);

    // The rows walked: the data source's data set when there is one, else
    // DataSet; db::EDatabaseError "Unable to open dataset " + Name when
    // neither is there.
    db::TADOQuery& GetDataSet() const;
    // As GetDataSet, but null instead of the error.
    db::TADOQuery* FindDataSet() const;

    void BeginWalk() override;
    void EndWalk() override;
    void First() override;
    void Next() override;
    void Prior() override;
    bool Eof() override;

    void Notification(const TfrComponentObject& removed) override;

    bool OpenDataSource = true;
    bool CloseDataSource = false;
    TNotifyEvent OnOpen;
    TNotifyEvent OnClose;
    // The record current when the walk began; kept only for rbCurrent or
    // reCurrent.
    db::TBookmark StartBookmark;
    // The end was reached by the reCurrent rule.
    bool AtEnd = false;

private:
    bool AtStartRecord(const db::TADOQuery& query) const;

    db::TADOQuery* dataSet_ = nullptr;  // reference, not owned
    TDataSource* dataSource_ = nullptr; // reference, not owned
};

// Fields holding binary data or long text; false for no field.
bool IsBlobField(const db::TField* field);

// Loads the field's bytes into a picture (its kind told by the bytes; a
// null field clears it), a string list (as its text) or a stream (written,
// then rewound to its start).
void AssignBlobTo(const db::TField& field, TfrPicture& picture);
void AssignBlobTo(const db::TField& field, rtl::TStringList& list);
void AssignBlobTo(const db::TField& field, rtl::TStream& stream);

// The field names of a database data set, or of the rows a report data set
// walks, in column order. A closed query is opened for the look-up and
// closed again. Any failure leaves the list as it was.
void GetFieldNames(db::TADOQuery* dataSet, rtl::TStringList& list);
void GetFieldNames(const TfrComponent& component, rtl::TStringList& list);

// The value a report shows for a field: text for 64-bit integers, and a
// null replaced by "" (text fields), false (boolean fields) or 0 (others).
rtl::TVariant GetFieldValue(const db::TField& field);

// The database data set a component stands for: a query itself, the rows
// of a report data set or of a data source; null for anything else.
db::TADOQuery* DataSetOfComponent(const TfrComponent& component);

// The data set a field name without a data-set part refers to. While a
// report page is formed with a current band: the data set of the page's
// master data band for title, summary, page, master and group bands, of the
// detail, sub-detail or cross-tab data band for their data and footer bands.
// Otherwise, and for the other band types, the current report's own data
// set. Only data sets over a query count; anything else gives none.
db::TADOQuery* DefaultDataSet();

// Resolves "Field", "DataSet.Field", "Container.DataSet.Field" or
// "Container.Frame.DataSet.Field" (the field part may be in double quotes,
// and may hold periods there). A bare field is looked up in `dataSet` as
// given. The component path is looked up among the current report owner's
// components (or globally with a container part); when it names nothing,
// EClassNotFound "Missing " + path is raised. On return `dataSet` is the
// data set found (null when the component is none) and `field` the field
// name as the data set spells it, or "" when the data set has no such
// field. True when both were found.
bool FindDataField(const std::string& text, db::TADOQuery*& dataSet, std::string& field);
