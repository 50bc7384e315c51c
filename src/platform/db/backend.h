#pragma once
// What a connection needs of a database file format: the tables it shows,
// their columns, and their rows. Names are CP936 on this side.

#include "platform/db/field_type.h"
#include "platform/db/value.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace db {

struct TColumnInfo {
    std::string Name; // CP936
    TFieldType DataType = ftUnknown;
    int Size = 0; // characters of a text column, bytes of a binary one; 0 otherwise
};

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// The index of a table or column name: an exact match wins over one that
// differs in ASCII letter case only. kNotFound when there is none.
std::size_t FindName(const std::vector<std::string>& names, std::string_view name);

class Backend {
public:
    virtual ~Backend() = default;

    // User tables and views in the file's order; never system tables.
    virtual const std::vector<std::string>& TableNames() const = 0;
    // System tables a statement may still name, as Jet lets it read
    // MSysObjects. Table indexes go on after those of TableNames().
    virtual const std::vector<std::string>& SystemTableNames() const {
        static const std::vector<std::string> none;
        return none;
    }
    // The name of a table by its index (user tables, then system ones).
    const std::string& TableName(std::size_t table) const;
    // The index of the named table, a user table before a system one;
    // kNotFound when there is none.
    std::size_t FindTable(std::string_view name) const;

    // The columns of a table in the table's order.
    virtual std::vector<TColumnInfo> Columns(std::size_t table) = 0;
    // Calls onRow once per row with the values of the wanted columns (indexes
    // into Columns()), in the order of `wanted`; onRow may move them out.
    // Raises EDatabaseError when the file cannot be read.
    using RowSink = std::function<void(std::vector<Value>& row)>;
    virtual void ReadRows(std::size_t table, const std::vector<std::size_t>& wanted,
                          const RowSink& onRow) = 0;
};

// Opens the database file (a UTF-8 file name) by its content: an Access
// file (checking its database password) or a SQLite 3 file. `displayName`
// is the name quoted in messages. Raises EDatabaseError.
std::unique_ptr<Backend> OpenDatabaseFile(const std::string& utf8Path,
                                          const std::string& displayName, bool hasPassword,
                                          const std::string& password);

std::unique_ptr<Backend> OpenAccessFile(const std::string& utf8Path, const std::string& displayName,
                                        bool hasPassword, const std::string& password);
std::unique_ptr<Backend> OpenSqliteFile(const std::string& utf8Path,
                                        const std::string& displayName);

} // namespace db
