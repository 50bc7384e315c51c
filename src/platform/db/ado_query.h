#pragma once
// A query on a TADOConnection, with the vocabulary of the ADO component the
// program was written against. The cursor is static: the rows are read when
// the query opens, so moving, bookmarks and field values never touch the
// file again.
//
// Statements: "select * from [T]" and "select [B] as [NUM],[L] as [Title]
// from [T]", optionally with " where [C] like "%x%"" conditions joined by
// " and " (see sql_statement.h). Names compare ignoring ASCII case.

#include "platform/db/field_type.h"
#include "platform/db/value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class TADOConnection;
class TADOQuery;

// A field of an open query; it lives until the query closes.
class TField {
public:
    TField(TADOQuery* dataSet, int index, std::string name, TFieldType type, int size);

    TADOQuery* DataSet() const { return dataSet_; }
    int Index() const { return index_; }
    const std::string& FieldName() const { return name_; }
    TFieldType DataType() const { return dataType_; }
    int Size() const { return size_; }

    // The value at the current record; null when there is none. Like the
    // field itself it follows the cursor: the reference shows this field's
    // value until the query moves to another record or closes.
    const Value& AsValue() const;
    bool IsNull() const;
    // As AsValue().ToString(), without going through the value.
    std::string AsString() const;
    // The bytes of a binary field, the text of a memo or text field.
    const std::string& AsBytes() const { return AsValue().Text(); }

private:
    friend class TADOQuery;
    TADOQuery* dataSet_;
    int index_;
    std::string name_;
    TFieldType dataType_;
    int size_;
    // AsValue's value, made from the stored one at the query's position
    // `madeAt_` (never 0), so its text buffer is reused record by record.
    mutable Value value_;
    mutable std::uint64_t madeAt_ = 0;
};

// Marks a record of one open query; empty when default-made or freed.
class TBookmark {
public:
    bool Empty() const { return row_ < 0; }

private:
    friend class TADOQuery;
    const TADOQuery* owner_ = nullptr;
    std::uint64_t generation_ = 0;
    std::int64_t row_ = -1;
};

class TADOQuery {
public:
    explicit TADOQuery(TADOConnection* connection = nullptr);
    ~TADOQuery();
    TADOQuery(const TADOQuery&) = delete;
    TADOQuery& operator=(const TADOQuery&) = delete;

    void SetConnection(TADOConnection* connection);
    TADOConnection* Connection() const { return connection_; }

    // Setting the text closes an open query.
    void SetSQL(std::string sql);
    const std::string& SQL() const { return sql_; }

    // Runs the statement and reads its rows (opening the connection when it
    // is closed); nothing when already open. Raises EDatabaseError naming
    // the problem (syntax, unknown table or column, unreadable file) and
    // stays closed.
    void Open();
    void Close();
    bool Active() const { return active_; }

    int FieldCount() const { return static_cast<int>(fields_.size()); }
    TField* Fields(int index) const;
    // Field names in column order; empty when closed.
    std::vector<std::string> GetFieldNames() const;
    // Ignoring ASCII case; null when there is no such field (or closed).
    TField* FindField(std::string_view name) const;
    // As FindField, but raises EDatabaseError when there is none.
    TField& FieldByName(std::string_view name) const;

    void First();
    void Last();
    void Next();  // at the last record sets Eof and stays there
    void Prior(); // at the first record sets Bof and stays there
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    int RecordCount() const { return static_cast<int>(rowCount_); }
    // 1-based number of the current record; 0 when there is none.
    int RecNo() const { return rowCount_ == 0 ? 0 : static_cast<int>(current_) + 1; }

    // Empty when there is no current record.
    TBookmark GetBookmark() const;
    // Raises EDatabaseError for an empty bookmark or one of an earlier opening.
    void GotoBookmark(const TBookmark& bookmark);
    void FreeBookmark(TBookmark& bookmark) const { bookmark = TBookmark(); }
    bool BookmarkValid(const TBookmark& bookmark) const;
    // -1, 0 or 1 by record order; 0 means the same record. Empty bookmarks
    // come first.
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) const;

    // The value at any record (0-based row) without moving to it, for views
    // such as a grid; null outside the rows or when closed. The reference
    // holds until the next CellAt of the same column or until the query
    // closes.
    const Value& CellAt(int row, int column) const;

    // Raised after the query opens or closes (the grid's data source).
    std::function<void()> OnStateChange;

    // A value as the query keeps it: numbers in place, text in the query's
    // text blocks, so reading a table allocates nothing per value.
    struct StoredCell {
        Value::Kind kind = Value::Kind::Null;
        std::uint32_t length = 0; // of the text
        union {
            std::int64_t i;
            double d;
            const char* text;
        } u{0};
    };

private:
    friend class TField;
    // The stored value of a column at the current record; null when none.
    const StoredCell* CurrentCell(int column) const;
    const StoredCell* RowAt(std::size_t row) const;
    static void Load(const StoredCell& cell, Value& into);
    // Moves to a record; the current row's values are then at hand.
    void SetCurrent(std::size_t row);
    void RequireActive() const;

    TADOConnection* connection_ = nullptr; // reference, not owned
    std::string sql_;
    bool active_ = false;
    std::vector<std::unique_ptr<TField>> fields_;
    static constexpr std::size_t kChunkValues = 16384;
    std::vector<std::vector<StoredCell>> cells_; // row after row, 2^chunkShift_ rows a chunk
    std::vector<std::unique_ptr<char[]>> texts_; // the blocks holding the cells' text
    unsigned chunkShift_ = 0;
    std::size_t rowCount_ = 0;
    std::size_t current_ = 0;
    const StoredCell* currentRow_ = nullptr; // the current record's values, if any
    std::uint64_t position_ = 1;             // changes with every move, open and close
    mutable std::vector<Value> cellAt_;      // CellAt's value of each column
    bool bof_ = true;
    bool eof_ = true;
    std::uint64_t generation_ = 0;
};

} // namespace db
