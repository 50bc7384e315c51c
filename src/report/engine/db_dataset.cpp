#include "report/engine/db_dataset.h"

#include "platform/db/database_error.h"
#include "platform/rtl/stream.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/core/process_state.h"
#include "report/engine/globals.h"
#include "report/engine/run_band.h"
#include "report/model/object_registry.h"
#include "report/model/picture.h"
#include "report/model/report.h"

#include <vector>

void TfrDBDataSet::SetDataSet(db::TADOQuery* dataSet) {
    dataSet_ = dataSet;
    dataSource_ = nullptr;
}

void TfrDBDataSet::SetDataSource(TDataSource* dataSource) {
    dataSource_ = dataSource;
    if (dataSource_) dataSet_ = nullptr;
}

db::TADOQuery* TfrDBDataSet::FindDataSet() const {
    if (dataSource_ && dataSource_->DataSet) return dataSource_->DataSet;
    return dataSet_;
}

db::TADOQuery& TfrDBDataSet::GetDataSet() const {
    db::TADOQuery* q = FindDataSet();
    if (!q) throw db::EDatabaseError("Unable to open dataset " + Name);
    return *q;
}

bool TfrDBDataSet::AtStartRecord(const db::TADOQuery& query) const {
    return query.BookmarkValid(StartBookmark) &&
           query.CompareBookmarks(query.GetBookmark(), StartBookmark) == 0;
}

void TfrDBDataSet::BeginWalk() {
    db::TADOQuery& q = GetDataSet();
    if (OpenDataSource) q.Open();
    if (OnOpen) OnOpen(this);
    StartBookmark =
        RangeBegin == rbCurrent || RangeEnd == reCurrent ? q.GetBookmark() : db::TBookmark();
    AtEnd = false;
}

void TfrDBDataSet::EndWalk() {
    // Also the clean-up after a failed build: a query that went away or was
    // reopened meanwhile is left alone rather than raising again.
    db::TADOQuery* q = FindDataSet();
    if (!StartBookmark.Empty()) {
        if (q && q->BookmarkValid(StartBookmark)) q->GotoBookmark(StartBookmark);
        StartBookmark = db::TBookmark();
    }
    if (OnClose) OnClose(this);
    if (CloseDataSource && q) q->Close();
}

void TfrDBDataSet::First() {
    db::TADOQuery& q = GetDataSet();
    AtEnd = false;
    if (RangeBegin == rbFirst) {
        q.First();
    } else if (q.BookmarkValid(StartBookmark)) {
        q.GotoBookmark(StartBookmark);
    } else {
        // No record was current at the start (or it is gone): nothing to walk.
        AtEnd = true;
    }
    TfrDataset::First();
}

void TfrDBDataSet::Next() {
    db::TADOQuery& q = GetDataSet();
    AtEnd = false;
    if (RangeEnd == reCurrent) {
        if (AtStartRecord(q)) {
            AtEnd = true;
            return;
        }
        // Walking from the first record: go on until the start record.
    }
    q.Next();
    TfrDataset::Next();
}

void TfrDBDataSet::Prior() {
    GetDataSet().Prior();
    TfrDataset::Prior();
}

bool TfrDBDataSet::Eof() {
    return TfrDataset::Eof() || GetDataSet().Eof() || AtEnd;
}

void TfrDBDataSet::Notification(const TfrComponentObject& removed) {
    if (const auto* q = std::get_if<db::TADOQuery*>(&removed); q && *q == dataSet_)
        dataSet_ = nullptr;
    if (const auto* s = std::get_if<TDataSource*>(&removed); s && *s == dataSource_)
        dataSource_ = nullptr;
}

bool IsBlobField(const db::TField* field) {
    if (!field) return false;
    switch (field->DataType()) {
    case db::ftBlob:
    case db::ftMemo:
    case db::ftGraphic:
    case db::ftFmtMemo:
    case db::ftParadoxOle:
    case db::ftDBaseOle:
    case db::ftTypedBinary:
    case db::ftOraBlob:
        return true;
    default:
        return false;
    }
}

namespace {

// Binary and text values as stored, anything else in its text form.
std::string FieldBytes(const db::TField& field) {
    const db::Value& v = field.AsValue();
    if (v.GetKind() == db::Value::Kind::String || v.GetKind() == db::Value::Kind::Bytes)
        return v.Text();
    return v.ToString();
}

} // namespace

void AssignBlobTo(const db::TField& field, TfrPicture& picture) {
    if (field.IsNull()) {
        picture.Clear();
        return;
    }
    std::string bytes = FieldBytes(field);
    if (bytes.empty()) {
        picture.Clear();
        return;
    }
    const TfrPictureKind kind = TfrPicture::DetectKind(bytes);
    if (kind == TfrPictureKind::None)
        throw EfrPictureError("Field '" + field.FieldName() + "' holds no known picture format");
    picture.LoadFromBytes(kind, std::move(bytes));
}

void AssignBlobTo(const db::TField& field, rtl::TStringList& list) {
    list.SetText(field.IsNull() ? std::string() : FieldBytes(field));
}

void AssignBlobTo(const db::TField& field, rtl::TStream& stream) {
    if (!field.IsNull()) {
        const std::string bytes = FieldBytes(field);
        stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    }
    stream.SetPosition(0);
}

void GetFieldNames(db::TADOQuery* dataSet, rtl::TStringList& list) {
    if (!dataSet) return;
    std::vector<std::string> names;
    try {
        if (dataSet->Active()) {
            names = dataSet->GetFieldNames();
        } else {
            dataSet->Open();
            names = dataSet->GetFieldNames();
            dataSet->Close();
        }
    } catch (const std::exception&) {
        return;
    }
    list.Clear();
    for (const std::string& n : names) list.Add(n);
}

void GetFieldNames(const TfrComponent& component, rtl::TStringList& list) {
    GetFieldNames(DataSetOfComponent(component), list);
}

rtl::TVariant GetFieldValue(const db::TField& field) {
    const db::Value& v = field.AsValue();
    if (v.IsNull()) {
        switch (field.DataType()) {
        case db::ftString:
        case db::ftWideString:
        case db::ftMemo:
        case db::ftFmtMemo:
        case db::ftGuid:
            return rtl::TVariant(std::string());
        case db::ftBoolean:
            return rtl::TVariant(false);
        default:
            return rtl::TVariant(0);
        }
    }
    if (field.DataType() == db::ftLargeint) return rtl::TVariant(v.ToString());
    return v.ToVariant();
}

db::TADOQuery* DataSetOfComponent(const TfrComponent& component) {
    if (const auto* q = std::get_if<db::TADOQuery*>(&component.Object)) return *q;
    if (const auto* s = std::get_if<TDataSource*>(&component.Object)) return (*s)->DataSet;
    if (const auto* ds = std::get_if<TfrDataset*>(&component.Object))
        if (const auto* walker = dynamic_cast<const TfrDBDataSet*>(*ds))
            return walker->FindDataSet();
    return nullptr;
}

namespace {

// The data band whose data set a band of this type reads bare field names
// from; -1 for the types that use the report's own data set.
int DataBandTypeFor(int bandType) {
    switch (bandType) {
    case btReportTitle:
    case btReportSummary:
    case btPageHeader:
    case btPageFooter:
    case btMasterHeader:
    case btMasterData:
    case btMasterFooter:
    case btGroupHeader:
    case btGroupFooter:
        return btMasterData;
    case btDetailData:
    case btDetailFooter:
        return btDetailData;
    case btSubDetailData:
    case btSubDetailFooter:
        return btSubDetailData;
    case btCrossData:
    case btCrossFooter:
        return btCrossData;
    default:
        return -1;
    }
}

db::TADOQuery* QueryOf(const TfrDataset* dataSet) {
    const auto* walker = dynamic_cast<const TfrDBDataSet*>(dataSet);
    return walker ? walker->FindDataSet() : nullptr;
}

} // namespace

db::TADOQuery* DefaultDataSet() {
    const TfrReport* report = CurReport();
    if (!report) return nullptr;
    // While a report page is formed, the band being printed decides.
    const TfrRunPage* page = frGlobals().CurrentRunPage;
    const auto* band = dynamic_cast<const TfrRunBand*>(frEngine().CurrentBand);
    if (page && !page->IsDialogPage() && band) {
        const int dataType = DataBandTypeFor(band->BandType());
        if (dataType >= 0) {
            const TfrRunBand* dataBand = page->RunBand(dataType);
            return dataBand ? QueryOf(dataBand->DataSet()) : nullptr;
        }
    }
    return QueryOf(report->Dataset);
}

bool FindDataField(const std::string& text, db::TADOQuery*& dataSet, std::string& field) {
    field.clear();
    // Periods split the text up to its first double quote; the rest belongs
    // to the last part, so a quoted field name may hold periods.
    const std::size_t quote = text.find('"');
    const std::string head = text.substr(0, quote);
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t dot = head.find('.'); dot != std::string::npos; dot = head.find('.', from)) {
        parts.push_back(head.substr(from, dot - from));
        from = dot + 1;
    }
    parts.push_back(head.substr(from) + (quote == std::string::npos ? "" : text.substr(quote)));

    std::string fieldPart = parts.back();
    if (parts.size() > 1) {
        std::string path = parts[0];
        for (std::size_t k = 1; k + 1 < parts.size(); ++k) path += "." + parts[k];
        const TfrComponent* component = FindComponentByPath(ReportOwner(), path);
        if (!component) throw EClassNotFound("Missing " + path);
        dataSet = DataSetOfComponent(*component);
    }
    if (fieldPart.size() >= 2 && fieldPart.front() == '"' && fieldPart.back() == '"')
        fieldPart = fieldPart.substr(1, fieldPart.size() - 2);
    if (!dataSet) return false;

    rtl::TStringList names;
    GetFieldNames(dataSet, names);
    const int at = names.IndexOf(fieldPart);
    if (at >= 0) field = names[at];
    return !field.empty();
}
