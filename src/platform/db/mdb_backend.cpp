// Access files through mdbtools' libmdb. libmdb finds the rows and their
// columns; the values are decoded here from the row bytes, so numbers keep
// their full precision and a null text is told apart from an empty one.

#include "platform/db/backend.h"
#include "platform/db/database_error.h"
#include "platform/db/jet_header.h"
#include "platform/text/cp936.h"

#include <mdbtools.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace db {
namespace {

constexpr int kOffsetMask = 0x1FFF;
constexpr std::size_t kMemoHeader = 12;
// Long values larger than this are refused rather than allocated.
constexpr std::uint32_t kMaxLongValue = 256u << 20;

std::int64_t GetInt(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    const int shift = 64 - 8 * bytes; // sign-extend
    return static_cast<std::int64_t>(v << shift) >> shift;
}

std::uint32_t GetU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(GetInt(p, 4));
}

std::string Hex2(unsigned v) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[v >> 4 & 0xF], digits[v & 0xF]};
}

std::string GuidText(const unsigned char* p) {
    std::string s = "{";
    for (int i : {3, 2, 1, 0}) s += Hex2(p[i]);
    s += '-';
    for (int i : {5, 4}) s += Hex2(p[i]);
    s += '-';
    for (int i : {7, 6}) s += Hex2(p[i]);
    s += '-';
    for (int i : {8, 9}) s += Hex2(p[i]);
    s += '-';
    for (int i = 10; i < 16; ++i) s += Hex2(p[i]);
    return s + "}";
}

TFieldType KindOf(const MdbColumn& col) {
    switch (col.col_type) {
    case MDB_BOOL:
        return ftBoolean;
    case MDB_BYTE:
        return ftWord;
    case MDB_INT:
        return ftSmallint;
    case MDB_LONGINT:
        return col.is_long_auto ? ftAutoInc : ftInteger;
    case MDB_MONEY:
        return ftCurrency;
    case MDB_FLOAT:
    case MDB_DOUBLE:
        return ftFloat;
    case MDB_DATETIME:
        return ftDateTime;
    case MDB_BINARY:
        return ftVarBytes;
    case MDB_TEXT:
        return ftString;
    case MDB_OLE:
        return ftBlob;
    case MDB_MEMO:
        return ftMemo;
    case MDB_REPID:
        return ftGuid;
    case MDB_NUMERIC:
        return ftBCD;
    default:
        return ftUnknown;
    }
}

struct TableDefDeleter {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
};
using TableDefPtr = std::unique_ptr<MdbTableDef, TableDefDeleter>;

class MdbBackend : public Backend {
public:
    MdbBackend(MdbHandle* mdb, std::string displayName, std::uint64_t pageCount)
        : handle_(mdb), mdb_(mdb), displayName_(std::move(displayName)), pageCount_(pageCount) {
        ReadCatalog();
    }

    const std::vector<std::string>& TableNames() const override { return names_; }
    const std::vector<std::string>& SystemTableNames() const override { return systemNames_; }

    std::vector<TColumnInfo> Columns(std::size_t table) override {
        TableDefPtr def = ReadTable(Entry(table), Name(table));
        std::vector<TColumnInfo> cols;
        for (unsigned i = 0; i < def->num_cols; ++i) {
            const auto* col = static_cast<const MdbColumn*>(g_ptr_array_index(def->columns, i));
            TColumnInfo info;
            info.Name =
                text::Utf8ToCp936(std::string(col->name, strnlen(col->name, MDB_MAX_OBJ_NAME)));
            info.DataType = KindOf(*col);
            if (col->col_type == MDB_TEXT)
                info.Size =
                    mdb_->f->jet_version == MDB_VER_JET3 ? col->col_size : col->col_size / 2;
            else if (col->col_type == MDB_BINARY)
                info.Size = col->col_size;
            cols.push_back(std::move(info));
        }
        return cols;
    }

    void ReadRows(std::size_t table, const std::vector<std::size_t>& wanted,
                  const RowSink& onRow) override {
        Scan(Entry(table), Name(table), wanted, onRow);
    }

private:
    EDatabaseError Damaged() const {
        return EDatabaseError("The database '" + displayName_ +
                              "' is damaged: a table cannot be read");
    }

    MdbCatalogEntry* Entry(std::size_t table) const {
        if (table >= entries_.size()) throw EDatabaseError("table index out of range");
        return entries_[table].get();
    }

    const std::string& Name(std::size_t table) const {
        return table < names_.size() ? names_[table] : systemNames_[table - names_.size()];
    }

    TableDefPtr ReadTable(MdbCatalogEntry* entry, const std::string& name) {
        TableDefPtr def(mdb_read_table(entry));
        if (!def || !UsageMapSane(*def) || !mdb_read_columns(def.get()) ||
            def->num_cols > MDB_MAX_COLS || def->columns == nullptr ||
            def->columns->len != def->num_cols)
            throw EDatabaseError("The database '" + displayName_ + "' is damaged: table '" + name +
                                 "' cannot be read");
        return def;
    }

    // libmdb walks a table's pages through its usage map and trusts it: a
    // short map or one naming pages past the end of the file makes it read
    // out of bounds.
    bool UsageMapSane(const MdbTableDef& t) const {
        if (t.usage_map == nullptr || t.map_sz < 1 || t.map_sz > pageSize()) return false;
        switch (t.usage_map[0]) {
        case 0:
            return t.map_sz >= 5 && GetU32(t.usage_map + 1) < pageCount_;
        case 1:
            for (std::size_t at = 1; at + 4 <= t.map_sz; at += 4) {
                const std::uint32_t page = GetU32(t.usage_map + at);
                if (page != 0 && page >= pageCount_) return false;
            }
            return true;
        default:
            return false;
        }
    }

    std::size_t pageSize() const { return static_cast<std::size_t>(mdb_->fmt->pg_size); }

    void Scan(MdbCatalogEntry* entry, const std::string& name,
              const std::vector<std::size_t>& wanted, const RowSink& onRow) {
        TableDefPtr def = ReadTable(entry, name);
        const unsigned numCols = def->num_cols;
        for (std::size_t w : wanted)
            if (w >= numCols) throw EDatabaseError("column index out of range");
        std::vector<MdbField> fields(MDB_MAX_COLS);
        std::vector<int> fieldOfColumn(numCols, -1);
        std::vector<Value> row(wanted.size());
        mdb_rewind_table(def.get());
        while (mdb_fetch_row(def.get())) {
            // Crack the row libmdb has just read once more, for the raw bytes.
            if (def->cur_row == 0) throw Damaged();
            int start = 0;
            size_t size = 0;
            if (mdb_find_row(mdb_, static_cast<int>(def->cur_row) - 1, &start, &size) != 0)
                throw Damaged();
            start &= kOffsetMask;
            if (size > static_cast<size_t>(mdb_->fmt->pg_size) ||
                start + size > static_cast<size_t>(mdb_->fmt->pg_size))
                throw Damaged();
            const int n = mdb_crack_row(def.get(), start, size, fields.data());
            if (n < 0 || static_cast<unsigned>(n) > MDB_MAX_COLS) throw Damaged();
            std::fill(fieldOfColumn.begin(), fieldOfColumn.end(), -1);
            for (int i = 0; i < n; ++i)
                if (fields[i].colnum >= 0 && static_cast<unsigned>(fields[i].colnum) < numCols)
                    fieldOfColumn[fields[i].colnum] = i;
            for (std::size_t k = 0; k < wanted.size(); ++k) {
                const int f = fieldOfColumn[wanted[k]];
                const auto* col =
                    static_cast<const MdbColumn*>(g_ptr_array_index(def->columns, wanted[k]));
                row[k] = f < 0 ? Value() : Decode(*col, fields[f]);
            }
            onRow(row);
        }
    }

    // The objects of the file, from the system table MSysObjects (its
    // definition is always on page 2). libmdb's own catalogue reader also
    // parses every object's property blob, and loops without end on some
    // damaged files; the names, kinds and flags are all that is needed here.
    void ReadCatalog() {
        MdbCatalogEntry system{};
        system.mdb = mdb_;
        std::strcpy(system.object_name, "MSysObjects");
        system.object_type = MDB_TABLE;
        system.table_pg = 2;
        const std::string systemName = "MSysObjects";
        std::vector<std::size_t> wanted;
        {
            TableDefPtr def = ReadTable(&system, systemName);
            for (const char* column : {"Id", "Name", "Type", "Flags"}) {
                std::size_t found = def->num_cols;
                for (unsigned i = 0; i < def->num_cols; ++i) {
                    const auto* col =
                        static_cast<const MdbColumn*>(g_ptr_array_index(def->columns, i));
                    if (g_ascii_strcasecmp(col->name, column) == 0) found = i;
                }
                if (found == def->num_cols)
                    throw EDatabaseError("The database '" + displayName_ +
                                         "' is damaged: its list of tables cannot be read");
                wanted.push_back(found);
            }
        }
        std::vector<std::unique_ptr<MdbCatalogEntry>> systemEntries;
        Scan(&system, systemName, wanted, [&](std::vector<Value>& row) {
            const std::int64_t type = row[2].AsInteger();
            const std::int64_t flags = row[3].AsInteger();
            if ((type & 0x7F) != MDB_TABLE) return; // local tables only
            if (row[1].GetKind() != Value::Kind::String || row[1].Text().empty()) return;
            const std::string& name = row[1].Text();
            auto entry = std::make_unique<MdbCatalogEntry>();
            *entry = MdbCatalogEntry{};
            entry->mdb = mdb_;
            entry->object_type = MDB_TABLE;
            entry->table_pg = static_cast<unsigned long>(row[0].AsInteger() & 0x00FFFFFF);
            entry->flags = static_cast<int>(flags);
            // libmdb wants the UTF-8 name; the text above is already CP936.
            const std::string utf8 = text::Cp936ToUtf8(name);
            std::strncpy(entry->object_name, utf8.c_str(), MDB_MAX_OBJ_NAME);
            // System objects carry 0x80000000 or 0x2 in their flags.
            if ((flags & 0x80000002) != 0 ||
                (name.size() >= 4 && g_ascii_strncasecmp(name.c_str(), "MSys", 4) == 0)) {
                systemNames_.push_back(name);
                systemEntries.push_back(std::move(entry));
            } else {
                names_.push_back(name);
                entries_.push_back(std::move(entry));
            }
        });
        for (auto& e : systemEntries) entries_.push_back(std::move(e));
    }

    // Text as the file stores it (UCS-2, maybe compressed, or the code page
    // of a Jet 3 file) to CP936.
    std::string DecodeText(const unsigned char* p, std::size_t n) {
        if (n == 0) return {};
        buffer_.resize(n * 3 + 16);
        const int len = mdb_unicode2ascii(mdb_, reinterpret_cast<const char*>(p), n, buffer_.data(),
                                          buffer_.size() - 1);
        if (len <= 0) return {};
        return text::Utf8ToCp936(std::string_view(buffer_.data(), static_cast<std::size_t>(len)));
    }

    // The bytes of a memo or OLE value: inline, on one long-value page, or
    // in a chain of them. Chains are followed only as far as the length the
    // header gives, so a damaged chain cannot loop.
    bool ReadLongValue(const unsigned char* header, std::size_t size, std::string& out) {
        if (size < kMemoHeader) return false;
        const std::uint32_t word = GetU32(header);
        const std::uint32_t length = word & 0x3FFFFFFF;
        out.clear();
        if (length > kMaxLongValue || length > pageCount_ * pageSize()) return false;
        if (word & 0x80000000) {
            if (length > size - kMemoHeader) return false;
            out.assign(reinterpret_cast<const char*>(header + kMemoHeader), length);
            return true;
        }
        std::uint32_t pointer = GetU32(header + 4);
        const bool single = word & 0x40000000;
        const std::size_t pageSize = static_cast<std::size_t>(mdb_->fmt->pg_size);
        for (std::uint64_t hops = 0; out.size() < length; ++hops) {
            // A chain cannot visit more rows than the file holds.
            if (pointer == 0 || hops > pageCount_ * 256) return false;
            void* buf = nullptr;
            int start = 0;
            size_t len = 0;
            if (mdb_find_pg_row(mdb_, static_cast<int>(pointer), &buf, &start, &len) != 0)
                return false;
            start &= kOffsetMask;
            if (buf == nullptr || len > pageSize || start + len > pageSize) return false;
            const auto* row = static_cast<const unsigned char*>(buf) + start;
            if (single) {
                out.assign(reinterpret_cast<const char*>(row), std::min<std::size_t>(len, length));
                return true;
            }
            if (len < 4) return false;
            pointer = GetU32(row);
            out.append(reinterpret_cast<const char*>(row + 4),
                       std::min<std::size_t>(len - 4, length - out.size()));
        }
        return true;
    }

    Value Decode(const MdbColumn& col, const MdbField& field) {
        // A Yes/No column keeps its value in the null mask: "null" is false.
        if (col.col_type == MDB_BOOL) return Value::FromBoolean(!field.is_null);
        if (field.is_null) return {};
        const auto* p = static_cast<const unsigned char*>(field.value);
        const std::size_t n = field.siz < 0 ? 0 : static_cast<std::size_t>(field.siz);
        const auto* page = static_cast<const unsigned char*>(mdb_->pg_buf);
        if (p == nullptr || p < page || p + n > page + mdb_->fmt->pg_size) return {};
        auto need = [&](std::size_t bytes) { return n >= bytes; };
        switch (col.col_type) {
        case MDB_BYTE:
            return need(1) ? Value::FromInteger(p[0]) : Value();
        case MDB_INT:
            return need(2) ? Value::FromInteger(GetInt(p, 2)) : Value();
        case MDB_LONGINT:
        case MDB_COMPLEX:
            return need(4) ? Value::FromInteger(GetInt(p, 4)) : Value();
        case MDB_MONEY:
            return need(8) ? Value::FromFloat(static_cast<double>(GetInt(p, 8)) / 10000.0) : Value();
        case MDB_FLOAT: {
            if (!need(4)) return {};
            float f;
            std::memcpy(&f, p, 4);
            return Value::FromFloat(f);
        }
        case MDB_DOUBLE:
        case MDB_DATETIME: {
            if (!need(8)) return {};
            double d;
            std::memcpy(&d, p, 8);
            return col.col_type == MDB_DATETIME ? Value::FromDateTime(d) : Value::FromFloat(d);
        }
        case MDB_REPID:
            return need(16) ? Value::FromString(GuidText(p)) : Value();
        case MDB_NUMERIC: {
            if (!need(17)) return {};
            char* s = mdb_numeric_to_string(mdb_, static_cast<int>(p - page), col.col_scale,
                                            col.col_prec);
            if (s == nullptr) return {};
            const double d = std::strtod(s, nullptr);
            g_free(s);
            return Value::FromFloat(d);
        }
        case MDB_TEXT:
            return Value::FromString(DecodeText(p, n));
        case MDB_BINARY:
            return Value::FromBytes(std::string(reinterpret_cast<const char*>(p), n));
        case MDB_MEMO:
        case MDB_OLE: {
            std::string bytes;
            if (!ReadLongValue(p, n, bytes)) return {};
            if (col.col_type == MDB_OLE) return Value::FromBytes(std::move(bytes));
            return Value::FromString(
                DecodeText(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()));
        }
        default:
            return {};
        }
    }

    struct HandleCloser {
        void operator()(MdbHandle* h) const { mdb_close(h); }
    };
    std::unique_ptr<MdbHandle, HandleCloser> handle_;
    MdbHandle* mdb_;
    std::string displayName_;
    std::vector<std::string> names_;
    std::vector<std::string> systemNames_;
    std::vector<std::unique_ptr<MdbCatalogEntry>> entries_; // user tables, then system ones
    std::uint64_t pageCount_;
    std::vector<char> buffer_;
};

} // namespace

std::unique_ptr<Backend> OpenAccessFile(const std::string& utf8Path, const std::string& displayName,
                                        bool hasPassword, const std::string& password) {
    std::ifstream in(utf8Path, std::ios::binary);
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(utf8Path, ec);
    if (!in || ec) throw EDatabaseError("Could not open file '" + displayName + "'");
    std::string page0(4096, '\0');
    in.read(page0.data(), static_cast<std::streamsize>(page0.size()));
    page0.resize(static_cast<std::size_t>(in.gcount()));

    jet::JetHeader header;
    try {
        header = jet::ReadJetHeader(page0, fileSize);
    } catch (const EDatabaseError& e) {
        throw EDatabaseError("Unrecognized database format '" + displayName + "': " + e.what());
    }
    if (!header.PasswordMatches(hasPassword ? password : std::string()))
        throw EDatabaseError("Not a valid password.");

    MdbHandle* mdb = mdb_open(utf8Path.c_str(), MDB_NOFLAGS);
    if (mdb == nullptr) throw EDatabaseError("Unrecognized database format '" + displayName + "'");
    return std::make_unique<MdbBackend>(mdb, displayName, fileSize / header.PageSize);
}

} // namespace db
