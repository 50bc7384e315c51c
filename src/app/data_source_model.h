#pragma once
// The grid's view of the query: the persistent columns NUM ("条码") and
// Title ("标签名"), filled while the query is open and empty otherwise.

#include <QAbstractTableModel>
#include <QString>
#include <vector>

namespace db {
class TADOQuery;
}

class TDataSourceModel : public QAbstractTableModel {
    Q_OBJECT
public:
    TDataSourceModel(db::TADOQuery* dataSet, QObject* parent = nullptr);
    ~TDataSourceModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void DataSetChanged();

    struct Column {
        const char* fieldName;
        QString title;
        int fieldIndex; // in the open query; -1 when it has no such field
    };
    db::TADOQuery* dataSet_; // reference, not owned
    std::vector<Column> columns_;
    int rows_ = 0;
};
