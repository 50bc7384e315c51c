#include "platform/db/ado_query.h"

#include "platform/db/ado_connection.h"
#include "platform/db/backend.h"
#include "platform/db/database_error.h"
#include "platform/db/sql_statement.h"
#include "platform/rtl/sysutils.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace db {
namespace {

bool Matches(const Value& v, const std::string& pattern) {
    if (v.IsNull()) return false;
    if (v.GetKind() == Value::Kind::String || v.GetKind() == Value::Kind::Bytes)
        return LikeMatch(v.Text(), pattern);
    return LikeMatch(v.ToString(), pattern);
}

using StoredCell = TADOQuery::StoredCell;

// Columns whose kind the file does not declare take the kind of their values.
TFieldType KindOfValues(const std::vector<std::vector<StoredCell>>& chunks, std::size_t columns,
                        std::size_t column) {
    TFieldType kind = ftUnknown;
    for (const std::vector<StoredCell>& chunk : chunks) {
        for (std::size_t i = column; i < chunk.size(); i += columns) {
            const StoredCell& v = chunk[i];
            TFieldType k = ftUnknown;
            switch (v.kind) {
            case Value::Kind::Null:
                continue;
            case Value::Kind::Boolean:
                k = ftBoolean;
                break;
            case Value::Kind::Integer:
                k = v.u.i < std::numeric_limits<std::int32_t>::min() ||
                            v.u.i > std::numeric_limits<std::int32_t>::max()
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

// What a statement reads from its table: each table column it needs is read
// once, into a slot; output columns and conditions name their slot.
struct QueryPlan {
    std::vector<TColumnInfo> output;
    std::vector<std::size_t> wanted; // the table column of each slot
    std::vector<std::size_t> outputSlot;
    std::vector<std::size_t> conditionSlot;
    std::vector<std::string> patterns; // of the conditions
};

std::size_t FindTable(const Backend& backend, const std::string& name) {
    const std::size_t table = backend.FindTable(name);
    if (table == kNotFound)
        throw EDatabaseError("Cannot find the input table or query '" + name +
                             "'. Make sure it exists and that its name is spelled correctly.");
    return table;
}

QueryPlan PlanQuery(const TSelectStatement& st, const std::string& tableName,
                    const std::vector<TColumnInfo>& columns) {
    std::vector<std::string> columnNames;
    for (const TColumnInfo& c : columns) columnNames.push_back(c.Name);
    auto column = [&](const std::string& name, const char* where) {
        const std::size_t i = FindName(columnNames, name);
        if (i == kNotFound)
            throw EDatabaseError("Unknown column '" + name + "'" + where + " in table '" +
                                 tableName + "'");
        return i;
    };
    QueryPlan plan;
    auto slot = [&](std::size_t col) {
        for (std::size_t k = 0; k < plan.wanted.size(); ++k)
            if (plan.wanted[k] == col) return k;
        plan.wanted.push_back(col);
        return plan.wanted.size() - 1;
    };
    if (st.AllColumns) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            plan.outputSlot.push_back(slot(i));
            plan.output.push_back(columns[i]);
        }
    } else {
        for (const TSelectItem& item : st.Items) {
            const std::size_t i = column(item.Column, "");
            plan.outputSlot.push_back(slot(i));
            plan.output.push_back(columns[i]);
            if (!item.Alias.empty()) plan.output.back().Name = item.Alias;
        }
    }
    for (const TLikeCondition& c : st.Where) {
        plan.conditionSlot.push_back(slot(column(c.Column, " in WHERE")));
        plan.patterns.push_back(c.Pattern);
    }
    return plan;
}

// Text kept in large blocks, so that storing a value allocates nothing.
class TextBlocks {
public:
    const char* Add(std::string_view text) {
        if (text.empty()) return nullptr;
        if (text.size() > kBlock / 4) return Copy(blocks_.emplace_back(Block(text.size())), text);
        if (text.size() > left_) {
            at_ = blocks_.emplace_back(Block(kBlock)).get();
            left_ = kBlock;
        }
        const char* p = at_;
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
        left_ -= text.size();
        return p;
    }
    std::vector<std::unique_ptr<char[]>> Take() { return std::move(blocks_); }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    static std::unique_ptr<char[]> Block(std::size_t size) {
        return std::unique_ptr<char[]>(new char[size]);
    }
    static const char* Copy(const std::unique_ptr<char[]>& block, std::string_view text) {
        std::memcpy(block.get(), text.data(), text.size());
        return block.get();
    }
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* at_ = nullptr;
    std::size_t left_ = 0;
};

StoredCell Store(const Value& v, TextBlocks& texts) {
    StoredCell c;
    c.kind = v.GetKind();
    switch (c.kind) {
    case Value::Kind::Null:
        break;
    case Value::Kind::Boolean:
        c.u.i = v.AsBoolean() ? 1 : 0;
        break;
    case Value::Kind::Integer:
        c.u.i = v.AsInteger();
        break;
    case Value::Kind::Float:
    case Value::Kind::DateTime:
        c.u.d = v.AsFloat();
        break;
    case Value::Kind::String:
    case Value::Kind::Bytes:
        if (v.Text().size() > std::numeric_limits<std::uint32_t>::max())
            throw EDatabaseError("A value is too long to be read");
        c.length = static_cast<std::uint32_t>(v.Text().size());
        c.u.text = texts.Add(v.Text());
        break;
    }
    return c;
}

// The rows of a query, in chunks of about the same size: no copying of what
// is read as a large table grows, and no large block for a small one. A
// chunk holds a power of two rows, so finding a row takes no division.
struct RowStore {
    std::vector<std::vector<StoredCell>> chunks; // row after row
    TextBlocks texts;
    std::size_t rows = 0;
    unsigned chunkShift = 0;
};

RowStore ReadMatchingRows(Backend& backend, std::size_t table, const QueryPlan& plan,
                          std::size_t chunkValues) {
    RowStore store;
    const std::size_t width = std::max<std::size_t>(1, plan.outputSlot.size());
    while ((std::size_t(2) << store.chunkShift) * width <= chunkValues) ++store.chunkShift;
    const std::size_t chunkRows = std::size_t(1) << store.chunkShift;
    try {
        backend.ReadRows(table, plan.wanted, [&](std::vector<Value>& row) {
            for (std::size_t i = 0; i < plan.conditionSlot.size(); ++i)
                if (!Matches(row[plan.conditionSlot[i]], plan.patterns[i])) return;
            if ((store.rows & (chunkRows - 1)) == 0) {
                store.chunks.emplace_back();
                if (store.chunks.size() > 1) store.chunks.back().reserve(chunkRows * width);
            }
            std::vector<StoredCell>& chunk = store.chunks.back();
            for (std::size_t slot : plan.outputSlot) chunk.push_back(Store(row[slot], store.texts));
            ++store.rows;
        });
    } catch (const EDatabaseError&) {
        throw;
    } catch (const std::exception& e) {
        throw EDatabaseError(std::string("The table cannot be read: ") + e.what());
    }
    return store;
}

std::vector<std::unique_ptr<TField>> MakeFields(TADOQuery* query, const QueryPlan& plan,
                                                const RowStore& store) {
    std::vector<std::unique_ptr<TField>> fields;
    for (std::size_t k = 0; k < plan.output.size(); ++k) {
        TFieldType type = plan.output[k].DataType;
        if (type == ftUnknown) type = KindOfValues(store.chunks, plan.output.size(), k);
        fields.push_back(std::make_unique<TField>(query, static_cast<int>(k), plan.output[k].Name,
                                                  type, plan.output[k].Size));
    }
    return fields;
}

} // namespace

TField::TField(TADOQuery* dataSet, int index, std::string name, TFieldType type, int size)
    : dataSet_(dataSet), index_(index), name_(std::move(name)), dataType_(type), size_(size) {}

const Value& TField::AsValue() const {
    if (madeAt_ != dataSet_->position_) {
        const StoredCell* cell = dataSet_->CurrentCell(index_);
        if (cell)
            TADOQuery::Load(*cell, value_);
        else
            value_ = Value();
        madeAt_ = dataSet_->position_;
    }
    return value_;
}

bool TField::IsNull() const {
    const StoredCell* cell = dataSet_->CurrentCell(index_);
    return cell == nullptr || cell->kind == Value::Kind::Null;
}

std::string TField::AsString() const {
    const StoredCell* cell = dataSet_->CurrentCell(index_);
    if (cell && (cell->kind == Value::Kind::String || cell->kind == Value::Kind::Bytes))
        return cell->length ? std::string(cell->u.text, cell->length) : std::string();
    return AsValue().ToString();
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
    const std::size_t table = FindTable(backend, st.Table);
    const QueryPlan plan = PlanQuery(st, backend.TableName(table), backend.Columns(table));
    RowStore store = ReadMatchingRows(backend, table, plan, kChunkValues);

    fields_ = MakeFields(this, plan, store);
    cells_ = std::move(store.chunks);
    texts_ = store.texts.Take();
    cellAt_.assign(fields_.size(), Value());
    chunkShift_ = store.chunkShift;
    rowCount_ = store.rows;
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
    texts_.clear();
    cellAt_.clear();
    rowCount_ = 0;
    SetCurrent(0);
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
    SetCurrent(0);
    bof_ = true;
    eof_ = rowCount_ == 0;
}

void TADOQuery::Last() {
    RequireActive();
    SetCurrent(rowCount_ == 0 ? 0 : rowCount_ - 1);
    eof_ = true;
    bof_ = rowCount_ == 0;
}

void TADOQuery::Next() {
    RequireActive();
    if (eof_) return;
    bof_ = false;
    if (current_ + 1 < rowCount_)
        SetCurrent(current_ + 1);
    else
        eof_ = true;
}

void TADOQuery::Prior() {
    RequireActive();
    if (bof_) return;
    eof_ = false;
    if (current_ > 0)
        SetCurrent(current_ - 1);
    else
        bof_ = true;
}

const TADOQuery::StoredCell* TADOQuery::CurrentCell(int column) const {
    if (currentRow_ == nullptr || column < 0 || column >= FieldCount()) return nullptr;
    return currentRow_ + column;
}

void TADOQuery::Load(const StoredCell& cell, Value& into) {
    switch (cell.kind) {
    case Value::Kind::Null:
        into = Value();
        break;
    case Value::Kind::Boolean:
        into = Value::FromBoolean(cell.u.i != 0);
        break;
    case Value::Kind::Integer:
        into = Value::FromInteger(cell.u.i);
        break;
    case Value::Kind::Float:
        into = Value::FromFloat(cell.u.d);
        break;
    case Value::Kind::DateTime:
        into = Value::FromDateTime(cell.u.d);
        break;
    case Value::Kind::String:
    case Value::Kind::Bytes:
        into.AssignText(cell.kind, std::string_view(cell.u.text ? cell.u.text : "", cell.length));
        break;
    }
}

const Value& TADOQuery::CellAt(int row, int column) const {
    static const Value null;
    if (!active_ || row < 0 || static_cast<std::size_t>(row) >= rowCount_ || column < 0 ||
        column >= FieldCount())
        return null;
    Value& value = cellAt_[static_cast<std::size_t>(column)];
    Load(RowAt(static_cast<std::size_t>(row))[column], value);
    return value;
}

const TADOQuery::StoredCell* TADOQuery::RowAt(std::size_t row) const {
    const std::size_t inChunk = row & ((std::size_t(1) << chunkShift_) - 1);
    return cells_[row >> chunkShift_].data() + inChunk * fields_.size();
}

void TADOQuery::SetCurrent(std::size_t row) {
    current_ = row;
    currentRow_ = active_ && row < rowCount_ ? RowAt(row) : nullptr;
    ++position_;
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
    SetCurrent(static_cast<std::size_t>(b.row_));
    bof_ = eof_ = false;
}

int TADOQuery::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    if (a.row_ == b.row_) return 0;
    return a.row_ < b.row_ ? -1 : 1;
}

} // namespace db
