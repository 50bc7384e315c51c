#include "app/data_source_model.h"

#include "app/text_util.h"
#include "platform/db/ado_query.h"

TDataSourceModel::TDataSourceModel(db::TADOQuery* dataSet, QObject* parent)
    : QAbstractTableModel(parent),
      dataSet_(dataSet), columns_{{"NUM", QStringLiteral("条码"), -1},
                                  {"Title", QStringLiteral("标签名"), -1}} {
    dataSet_->OnStateChange = [this] { DataSetChanged(); };
    DataSetChanged();
}

TDataSourceModel::~TDataSourceModel() {
    dataSet_->OnStateChange = nullptr;
}

void TDataSourceModel::DataSetChanged() {
    beginResetModel();
    rows_ = dataSet_->Active() ? dataSet_->RecordCount() : 0;
    for (Column& c : columns_) {
        const db::TField* f = dataSet_->Active() ? dataSet_->FindField(c.fieldName) : nullptr;
        c.fieldIndex = f ? f->Index() : -1;
    }
    endResetModel();
}

int TDataSourceModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TDataSourceModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TDataSourceModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rows_) return {};
    const Column& c = columns_[index.column()];
    if (c.fieldIndex < 0) return {};
    return FromCp936(dataSet_->CellAt(index.row(), c.fieldIndex).ToString());
}

QVariant TDataSourceModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal && section >= 0 && section < columnCount())
        return columns_[section].title;
    return {};
}
