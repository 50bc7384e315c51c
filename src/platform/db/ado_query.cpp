#include "platform/db/ado_query.h"

#include "platform/db/ado_connection.h"
#include "platform/db/backend.h"
#include "platform/db/database_error.h"
#include "platform/db/sql_statement.h"
#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <limits>

namespace db {
namespace {

bool Matches(const Value& v, const std::string& pattern) {
    if (v.IsNull()) return false;
    if (v.GetKind() == Value::Kind::String || v.GetKind() == Value::Kind::Bytes)
        return LikeMatch(v.Text(), pattern);
    return LikeMatch(v.ToString(), pattern);
}

// Columns whose kind the file does not declare take the kind of their values.
TFieldType KindOfValues(const std::vector<std::vector<Value>>& chunks, std::size_t columns,
                        std::size_t column) {
    TFieldType kind = ftUnknown;
    for (const std::vector<Value>& chunk : chunks) {
        for (std::size_t i = column; i < chunk.size(); i += columns) {
            const Value& v = chunk[i];
            TFieldType k = ftUnknown;
            switch (v.GetKind()) {
            case Value::Kind::Null:
                continue;
            case Value::Kind::Boolean:
                k = ftBoolean;
                break;
            case Value::Kind::Integer:
                k = v.AsInteger() < std::numeric_limits<std::int32_t>::min() ||
                            v.AsInteger() > std::numeric_limits<std::int32_t>::max()
                        ? ftLargeint
                        : ftInteger;
                break;
            case Value::Kind::Float:
                k = ftFloat;
                break;
            case Value::Kind::DateTime:
                k = ftDateTime;
                break;
            case Value::Kind::String:
                k = ftString;
                break;
            case Value::Kind::Bytes:
                k = ftBlob;
                break;
            }
            if (kind == ftUnknown || (kind == ftInteger && k == ftLargeint))
                kind = k;
            else if (kind != k && !(kind == ftLargeint && k == ftInteger))
                return kind == ftString || k == ftString ? ftString : kind;
        }
    }
    return kind;
}

} // namespace

TField::TField(TADOQuery* dataSet, int index, std::string name, TFieldType type, int size)
    : dataSet_(dataSet), index_(index), name_(std::move(name)), dataType_(type), size_(size) {}

const Value& TField::AsValue() const {
    return dataSet_->Cell(index_);
}

TADOQuery::TADOQuery(TADOConnection* connection) {
    SetConnection(connection);
}

TADOQuery::~TADOQuery() {
    Close();
    if (connection_) connection_->Detach(this);
}

void TADOQuery::SetConnection(TADOConnection* connection) {
    if (connection == connection_) return;
    Close();
    if (connection_) connection_->Detach(this);
    connection_ = connection;
    if (connection_) connection_->Attach(this);
}

void TADOQuery::SetSQL(std::string sql) {
    Close();
    sql_ = std::move(sql);
}

void TADOQuery::Open() {
    if (active_) return;
    if (!connection_) throw EDatabaseError("The query has no connection");
    const TSelectStatement st = ParseSelect(sql_);
    if (!connection_->Connected()) connection_->Open();
    Backend& backend = connection_->GetBackend();

    const std::size_t table = backend.FindTable(st.Table);
    if (table == kNotFound)
        throw EDatabaseError("Cannot find the input table or query '" + st.Table +
                             "'. Make sure it exists and that its name is spelled correctly.");
    const std::string& tableName = backend.TableName(table);
    const std::vector<TColumnInfo> columns = backend.Columns(table);
    std::vector<std::string> columnNames;
    for (const TColumnInfo& c : columns) columnNames.push_back(c.Name);
    auto column = [&](const std::string& name, const char* where) {
        const std::size_t i = FindName(columnNames, name);
        if (i == kNotFound)
            throw EDatabaseError("Unknown column '" + name + "'" + where + " in table '" +
                                 tableName + "'");
        return i;
    };

    // Output columns, each from one table column; the table columns read.
    std::vector<std::size_t> source;
    std::vector<TColumnInfo> output;
    if (st.AllColumns) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            source.push_back(i);
            output.push_back(columns[i]);
        }
    } else {
        for (const TSelectItem& item : st.Items) {
            const std::size_t i = column(item.Column, "");
            source.push_back(i);
            output.push_back(columns[i]);
            if (!item.Alias.empty()) output.back().Name = item.Alias;
        }
    }
    std::vector<std::size_t> conditionColumn;
    for (const TLikeCondition& c : st.Where)
        conditionColumn.push_back(column(c.Column, " in WHERE"));

    std::vector<std::size_t> wanted;
    auto slot = [&](std::size_t col) {
        for (std::size_t k = 0; k < wanted.size(); ++k)
            if (wanted[k] == col) return k;
        wanted.push_back(col);
        return wanted.size() - 1;
    };
    std::vector<std::size_t> outputSlot, conditionSlot;
    for (std::size_t c : source) outputSlot.push_back(slot(c));
    for (std::size_t c : conditionColumn) conditionSlot.push_back(slot(c));
    // A value read once may be moved into its last output column.
    std::vector<bool> lastUse(outputSlot.size(), true);
    for (std::size_t k = 0; k < outputSlot.size(); ++k)
        for (std::size_t j = k + 1; j < outputSlot.size(); ++j)
            if (outputSlot[j] == outputSlot[k]) lastUse[k] = false;

    // Rows go into chunks of about the same size: no copying of what is read
    // as a large table grows, and no large block for a small one.
    std::vector<std::vector<Value>> cells;
    const std::size_t chunkRows =
        std::max<std::size_t>(1, kChunkValues / std::max<std::size_t>(1, outputSlot.size()));
    std::size_t rows = 0;
    try {
        backend.ReadRows(table, wanted, [&](std::vector<Value>& row) {
            for (std::size_t i = 0; i < conditionSlot.size(); ++i)
                if (!Matches(row[conditionSlot[i]], st.Where[i].Pattern)) return;
            if (rows % chunkRows == 0) {
                cells.emplace_back();
                if (cells.size() > 1) cells.back().reserve(chunkRows * outputSlot.size());
            }
            std::vector<Value>& chunk = cells.back();
            for (std::size_t k = 0; k < outputSlot.size(); ++k) {
                if (lastUse[k])
                    chunk.push_back(std::move(row[outputSlot[k]]));
                else
                    chunk.push_back(row[outputSlot[k]]);
            }
            ++rows;
        });
    } catch (const EDatabaseError&) {
        throw;
    } catch (const std::exception& e) {
        throw EDatabaseError(std::string("The table cannot be read: ") + e.what());
    }

    fields_.clear();
    for (std::size_t k = 0; k < output.size(); ++k) {
        TFieldType type = output[k].DataType;
        if (type == ftUnknown) type = KindOfValues(cells, output.size(), k);
        fields_.push_back(std::make_unique<TField>(this, static_cast<int>(k), output[k].Name, type,
                                                   output[k].Size));
    }
    cells_ = std::move(cells);
    chunkRows_ = chunkRows;
    rowCount_ = rows;
    ++generation_;
    active_ = true;
    First();
    if (OnStateChange) OnStateChange();
}

void TADOQuery::Close() {
    if (!active_) return;
    active_ = false;
    fields_.clear();
    cells_.clear();
    rowCount_ = 0;
    current_ = 0;
    bof_ = eof_ = true;
    if (OnStateChange) OnStateChange();
}

TField* TADOQuery::Fields(int index) const {
    if (index < 0 || index >= FieldCount())
        throw EDatabaseError("Field index out of range: " + rtl::IntToStr(index));
    return fields_[static_cast<std::size_t>(index)].get();
}

std::vector<std::string> TADOQuery::GetFieldNames() const {
    std::vector<std::string> names;
    for (const auto& f : fields_) names.push_back(f->FieldName());
    return names;
}

TField* TADOQuery::FindField(std::string_view name) const {
    for (const auto& f : fields_)
        if (rtl::SameText(f->FieldName(), name)) return f.get();
    return nullptr;
}

TField& TADOQuery::FieldByName(std::string_view name) const {
    TField* f = FindField(name);
    if (!f) throw EDatabaseError("Field '" + std::string(name) + "' not found");
    return *f;
}

void TADOQuery::RequireActive() const {
    if (!active_) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

void TADOQuery::First() {
    RequireActive();
    current_ = 0;
    bof_ = true;
    eof_ = rowCount_ == 0;
}

void TADOQuery::Last() {
    RequireActive();
    current_ = rowCount_ == 0 ? 0 : rowCount_ - 1;
    eof_ = true;
    bof_ = rowCount_ == 0;
}

void TADOQuery::Next() {
    RequireActive();
    if (eof_) return;
    bof_ = false;
    if (current_ + 1 < rowCount_)
        ++current_;
    else
        eof_ = true;
}

void TADOQuery::Prior() {
    RequireActive();
    if (bof_) return;
    eof_ = false;
    if (current_ > 0)
        --current_;
    else
        bof_ = true;
}

const Value& TADOQuery::Cell(int column) const {
    return CellAt(static_cast<int>(current_), column);
}

const Value& TADOQuery::CellAt(int row, int column) const {
    static const Value null;
    if (!active_ || row < 0 || static_cast<std::size_t>(row) >= rowCount_ || column < 0 ||
        column >= FieldCount())
        return null;
    const std::size_t r = static_cast<std::size_t>(row);
    return cells_[r / chunkRows_]
                 [r % chunkRows_ * fields_.size() + static_cast<std::size_t>(column)];
}

TBookmark TADOQuery::GetBookmark() const {
    TBookmark b;
    if (!active_ || rowCount_ == 0) return b;
    b.owner_ = this;
    b.generation_ = generation_;
    b.row_ = static_cast<std::int64_t>(current_);
    return b;
}

bool TADOQuery::BookmarkValid(const TBookmark& b) const {
    return active_ && !b.Empty() && b.owner_ == this && b.generation_ == generation_ &&
           static_cast<std::size_t>(b.row_) < rowCount_;
}

void TADOQuery::GotoBookmark(const TBookmark& b) {
    RequireActive();
    if (!BookmarkValid(b)) throw EDatabaseError("Record not found (invalid bookmark)");
    current_ = static_cast<std::size_t>(b.row_);
    bof_ = eof_ = false;
}

int TADOQuery::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    if (a.row_ == b.row_) return 0;
    return a.row_ < b.row_ ? -1 : 1;
}

} // namespace db
