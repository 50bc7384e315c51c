// SQLite 3 files, read-only. Column kinds come from the declared types, so
// a file made for this program reads like the Access table it stands for.

#include "platform/db/backend.h"
#include "platform/db/database_error.h"
#include "platform/rtl/sysutils.h"
#include "platform/text/cp936.h"

#include <sqlite3.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace db {
namespace {

struct StatementDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

bool Contains(const std::string& upper, const char* word) {
    return upper.find(word) != std::string::npos;
}

// Declared type to field kind, after SQLite's own affinity rules, with the
// Access type names a converted file may carry.
TFieldType KindOfDeclared(const char* declared) {
    if (declared == nullptr || *declared == '\0') return ftUnknown;
    const std::string t = rtl::UpperCase(declared);
    if (Contains(t, "BOOL") || Contains(t, "YESNO") || Contains(t, "BIT")) return ftBoolean;
    if (Contains(t, "DATE") || Contains(t, "TIME")) return ftDateTime;
    if (Contains(t, "MONEY") || Contains(t, "CURRENCY")) return ftCurrency;
    if (Contains(t, "BIGINT") || Contains(t, "INT8")) return ftLargeint;
    if (Contains(t, "SMALLINT") || Contains(t, "INT2")) return ftSmallint;
    if (Contains(t, "TINYINT") || t == "BYTE") return ftWord;
    if (Contains(t, "INT")) return ftInteger;
    if (Contains(t, "MEMO") || Contains(t, "CLOB") || Contains(t, "LONGTEXT")) return ftMemo;
    if (Contains(t, "CHAR") || Contains(t, "TEXT")) return ftString;
    if (Contains(t, "BLOB") || Contains(t, "BINARY") || Contains(t, "OLE") || Contains(t, "IMAGE"))
        return ftBlob;
    if (Contains(t, "REAL") || Contains(t, "FLOA") || Contains(t, "DOUB")) return ftFloat;
    if (Contains(t, "DEC") || Contains(t, "NUMERIC")) return ftBCD;
    return ftUnknown;
}

// The size in brackets of "VARCHAR(50)".
int DeclaredSize(const char* declared) {
    if (declared == nullptr) return 0;
    const char* open = std::strchr(declared, '(');
    return open ? std::atoi(open + 1) : 0;
}

bool IsBinaryKind(TFieldType t) {
    return t == ftBlob || t == ftBytes || t == ftVarBytes;
}

// "yyyy-mm-dd[ hh:mm[:ss[.fff]]]" (also with 'T') to a date-time.
bool ParseIsoDateTime(std::string_view s, double& out) {
    int y, mo, d, h = 0, mi = 0, sec = 0, ms = 0, used = 0;
    const std::string str(s);
    if (std::sscanf(str.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3 || used != 10)
        return false;
    std::size_t pos = 10;
    if (pos < str.size()) {
        if (str[pos] != ' ' && str[pos] != 'T') return false;
        int n = 0;
        if (std::sscanf(str.c_str() + pos + 1, "%2d:%2d%n", &h, &mi, &n) != 2 || n != 5)
            return false;
        pos += 1 + n;
        if (pos < str.size() && str[pos] == ':') {
            if (std::sscanf(str.c_str() + pos + 1, "%2d%n", &sec, &n) != 1 || n != 2) return false;
            pos += 1 + n;
            if (pos < str.size() && str[pos] == '.') {
                std::size_t digits = 0;
                ++pos;
                while (pos < str.size() && std::isdigit(static_cast<unsigned char>(str[pos]))) {
                    if (digits < 3) ms = ms * 10 + (str[pos] - '0');
                    ++digits;
                    ++pos;
                }
                for (; digits < 3; ++digits) ms *= 10;
            }
        }
        if (pos != str.size()) return false;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59) return false;
    if (d > 28) {
        static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        if (d > days[mo - 1] + (mo == 2 && rtl::IsLeapYear(y) ? 1 : 0)) return false;
    }
    const double date = rtl::EncodeDate(y, mo, d);
    const double time = rtl::EncodeTime(h, mi, sec, ms);
    out = date >= 0 ? date + time : date - time;
    return true;
}

std::string ToCp936(const unsigned char* p, int n) {
    return text::Utf8ToCp936(std::string_view(reinterpret_cast<const char*>(p), n > 0 ? n : 0));
}

class SqliteBackend : public Backend {
public:
    SqliteBackend(sqlite3* db, std::string displayName)
        : db_(db), display_(std::move(displayName)) {
        Statement st = Prepare("SELECT name FROM sqlite_master WHERE type IN ('table','view') "
                               "AND name NOT LIKE 'sqlite\\_%' ESCAPE '\\' ORDER BY rowid");
        if (!st) Fail("its list of tables cannot be read");
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            const auto* name = sqlite3_column_text(st.get(), 0);
            const int len = sqlite3_column_bytes(st.get(), 0);
            if (name == nullptr) continue;
            utf8Names_.emplace_back(reinterpret_cast<const char*>(name), len);
            names_.push_back(ToCp936(name, len));
        }
        if (rc != SQLITE_DONE) Fail("its list of tables cannot be read");
    }
    ~SqliteBackend() override { sqlite3_close(db_); }

    const std::vector<std::string>& TableNames() const override { return names_; }

    std::vector<TColumnInfo> Columns(std::size_t table) override {
        Statement st = SelectAll(table);
        return ColumnsOf(st.get());
    }

    void ReadRows(std::size_t table, const std::vector<std::size_t>& wanted,
                  const RowSink& onRow) override {
        Statement st = SelectAll(table);
        const std::vector<TColumnInfo> cols = ColumnsOf(st.get());
        for (std::size_t w : wanted)
            if (w >= cols.size()) throw EDatabaseError("column index out of range");
        std::vector<Value> row(wanted.size());
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            for (std::size_t k = 0; k < wanted.size(); ++k)
                row[k] = Cell(st.get(), static_cast<int>(wanted[k]), cols[wanted[k]].DataType);
            onRow(row);
        }
        if (rc != SQLITE_DONE) Fail("table '" + names_[table] + "' cannot be read");
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw EDatabaseError("The database '" + display_ + "' is damaged or unreadable: " + what +
                             " (" + text::Utf8ToCp936(sqlite3_errmsg(db_)) + ")");
    }

    // Null when SQLite refuses the statement.
    Statement Prepare(const std::string& sql) const {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(raw);
            return nullptr;
        }
        return Statement(raw);
    }

    Statement SelectAll(std::size_t table) const {
        if (table >= utf8Names_.size()) throw EDatabaseError("table index out of range");
        std::string quoted;
        for (char c : utf8Names_[table]) {
            if (c == '"') quoted += '"';
            quoted += c;
        }
        Statement st = Prepare("SELECT * FROM \"" + quoted + "\"");
        // A view can name a table that is gone; say which one.
        if (!st)
            throw EDatabaseError("Cannot read '" + names_[table] + "' of the database '" +
                                 display_ + "' (" + text::Utf8ToCp936(sqlite3_errmsg(db_)) + ")");
        return st;
    }

    static std::vector<TColumnInfo> ColumnsOf(sqlite3_stmt* st) {
        std::vector<TColumnInfo> cols;
        const int n = sqlite3_column_count(st);
        for (int i = 0; i < n; ++i) {
            TColumnInfo info;
            const char* name = sqlite3_column_name(st, i);
            info.Name = text::Utf8ToCp936(name ? name : "");
            const char* declared = sqlite3_column_decltype(st, i);
            info.DataType = KindOfDeclared(declared);
            if (info.DataType == ftString) info.Size = DeclaredSize(declared);
            cols.push_back(std::move(info));
        }
        return cols;
    }

    // SQLite lets any column hold any kind of value: keep what is stored,
    // except that dates written as ISO text and 0/1 flags read as the
    // column's kind.
    static Value Cell(sqlite3_stmt* st, int i, TFieldType kind) {
        switch (sqlite3_column_type(st, i)) {
        case SQLITE_NULL:
            return {};
        case SQLITE_INTEGER: {
            const sqlite3_int64 v = sqlite3_column_int64(st, i);
            if (kind == ftBoolean) return Value::FromBoolean(v != 0);
            if (kind == ftDateTime) return Value::FromDateTime(static_cast<double>(v));
            if (kind == ftFloat || kind == ftCurrency || kind == ftBCD)
                return Value::FromFloat(static_cast<double>(v));
            return Value::FromInteger(v);
        }
        case SQLITE_FLOAT: {
            const double v = sqlite3_column_double(st, i);
            return kind == ftDateTime ? Value::FromDateTime(v) : Value::FromFloat(v);
        }
        case SQLITE_TEXT: {
            const auto* p = sqlite3_column_text(st, i);
            const int n = sqlite3_column_bytes(st, i);
            if (kind == ftDateTime) {
                double dt;
                if (ParseIsoDateTime(
                        std::string_view(reinterpret_cast<const char*>(p), n > 0 ? n : 0), dt))
                    return Value::FromDateTime(dt);
            }
            return Value::FromString(ToCp936(p, n));
        }
        default: {
            const void* p = sqlite3_column_blob(st, i);
            const int n = sqlite3_column_bytes(st, i);
            std::string bytes(static_cast<const char*>(p), p && n > 0 ? n : 0);
            return IsBinaryKind(kind) || kind == ftUnknown ? Value::FromBytes(std::move(bytes))
                                                           : Value::FromString(std::move(bytes));
        }
        }
    }

    sqlite3* db_;
    std::string display_;
    std::vector<std::string> utf8Names_;
    std::vector<std::string> names_;
};

} // namespace

std::unique_ptr<Backend> OpenSqliteFile(const std::string& utf8Path,
                                        const std::string& displayName) {
    sqlite3* db = nullptr;
    // A connection is used by one thread at a time, so SQLite's own locking
    // per call is not needed.
    const int rc =
        sqlite3_open_v2(utf8Path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        throw EDatabaseError("Could not open database '" + displayName + "' (" +
                             text::Utf8ToCp936(why) + ")");
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_extended_result_codes(db, 1);
    // Reading through a mapping saves copying every page of a large table.
    sqlite3_exec(db, "PRAGMA mmap_size=268435456", nullptr, nullptr, nullptr);
    try {
        return std::make_unique<SqliteBackend>(db, displayName);
    } catch (...) {
        // The backend owns the handle only once it is constructed.
        sqlite3_close(db);
        throw;
    }
}

} // namespace db
