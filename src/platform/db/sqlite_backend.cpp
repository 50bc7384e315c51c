// SQLite 3 files, read-only. Column kinds come from the declared types, so
// a file made for this program reads like the Access table it stands for.

#include "platform/db/backend.h"
#include "platform/db/database_error.h"
#include "platform/db/unicode.h"
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
    return Utf8ToCp936(std::string_view(reinterpret_cast<const char*>(p),
                                        n > 0 ? static_cast<std::size_t>(n) : 0));
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
        Statement all = SelectAll(table);
        const std::vector<TColumnInfo> cols = ColumnsOf(all.get());
        for (std::size_t w : wanted)
            if (w >= cols.size()) throw EDatabaseError("column index out of range");
        // SQLite hands over every column a statement names: name only those
        // wanted when that can be done safely.
        Statement some = SelectColumns(table, all.get(), wanted);
        sqlite3_stmt* st = some ? some.get() : all.get();
        std::vector<int> at(wanted.size());
        std::vector<TFieldType> kind(wanted.size());
        for (std::size_t k = 0; k < wanted.size(); ++k) {
            at[k] = static_cast<int>(some ? k : wanted[k]);
            kind[k] = cols[wanted[k]].DataType;
        }
        // The row's values are filled in place, text into the buffers they
        // already have, so a row costs no allocation once the first is read.
        std::vector<Value> row(wanted.size());
        std::string scratch;
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            for (std::size_t k = 0; k < wanted.size(); ++k)
                ReadCell(st, at[k], kind[k], row[k], scratch);
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
        Statement st = Prepare("SELECT * FROM " + Quoted(utf8Names_[table]));
        // A view can name a table that is gone; say which one.
        if (!st)
            throw EDatabaseError("Cannot read '" + names_[table] + "' of the database '" +
                                 display_ + "' (" + text::Utf8ToCp936(sqlite3_errmsg(db_)) + ")");
        return st;
    }

    static std::string Quoted(std::string_view utf8Name) {
        std::string quoted = "\"";
        for (char c : utf8Name) {
            if (c == '"') quoted += '"';
            quoted += c;
        }
        return quoted + '"';
    }

    // The statement reading only the wanted columns of `all` (a "SELECT *"
    // of the table); null when it cannot be made, or when its columns are
    // not exactly those (a view's odd column names, say).
    Statement SelectColumns(std::size_t table, sqlite3_stmt* all,
                            const std::vector<std::size_t>& wanted) const {
        if (wanted.empty()) return nullptr;
        std::string sql = "SELECT ";
        for (std::size_t k = 0; k < wanted.size(); ++k) {
            const char* name = sqlite3_column_name(all, static_cast<int>(wanted[k]));
            if (name == nullptr) return nullptr;
            sql += (k ? "," : "") + Quoted(name);
        }
        Statement st = Prepare(sql + " FROM " + Quoted(utf8Names_[table]));
        if (!st || sqlite3_column_count(st.get()) != static_cast<int>(wanted.size()))
            return nullptr;
        auto same = [](const char* a, const char* b) {
            return a == b || (a != nullptr && b != nullptr && std::strcmp(a, b) == 0);
        };
        for (std::size_t k = 0; k < wanted.size(); ++k) {
            const int i = static_cast<int>(wanted[k]);
            const int j = static_cast<int>(k);
            if (!same(sqlite3_column_name(st.get(), j), sqlite3_column_name(all, i)) ||
                !same(sqlite3_column_decltype(st.get(), j), sqlite3_column_decltype(all, i)))
                return nullptr;
        }
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
    static void ReadCell(sqlite3_stmt* st, int i, TFieldType kind, Value& out,
                         std::string& scratch) {
        switch (sqlite3_column_type(st, i)) {
        case SQLITE_NULL:
            out = Value();
            return;
        case SQLITE_INTEGER: {
            const sqlite3_int64 v = sqlite3_column_int64(st, i);
            if (kind == ftBoolean)
                out = Value::FromBoolean(v != 0);
            else if (kind == ftDateTime)
                out = Value::FromDateTime(static_cast<double>(v));
            else if (kind == ftFloat || kind == ftCurrency || kind == ftBCD)
                out = Value::FromFloat(static_cast<double>(v));
            else
                out = Value::FromInteger(v);
            return;
        }
        case SQLITE_FLOAT: {
            const double v = sqlite3_column_double(st, i);
            out = kind == ftDateTime ? Value::FromDateTime(v) : Value::FromFloat(v);
            return;
        }
        case SQLITE_TEXT: {
            const auto* p = sqlite3_column_text(st, i);
            const int n = sqlite3_column_bytes(st, i);
            const std::string_view utf8(reinterpret_cast<const char*>(p),
                                        n > 0 ? static_cast<std::size_t>(n) : 0);
            double dt;
            if (kind == ftDateTime && ParseIsoDateTime(utf8, dt)) {
                out = Value::FromDateTime(dt);
                return;
            }
            Utf8ToCp936(utf8, scratch);
            out.AssignText(Value::Kind::String, scratch);
            return;
        }
        default: {
            const void* p = sqlite3_column_blob(st, i);
            const int n = sqlite3_column_bytes(st, i);
            const std::string_view bytes(static_cast<const char*>(p),
                                         p && n > 0 ? static_cast<std::size_t>(n) : 0);
            out.AssignText(IsBinaryKind(kind) || kind == ftUnknown ? Value::Kind::Bytes
                                                                   : Value::Kind::String,
                           bytes);
            return;
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
