// Access files through mdbtools' libmdb. libmdb reads the table definitions
// and cracks each row into its columns; the pages a table owns are walked
// here, and the values decoded here from the row bytes, so numbers keep
// their full precision and a null text is told apart from an empty one.
//
// libmdb trusts the file: a page it cannot read, or one of the wrong kind,
// makes it print a line on standard error and go on as if the table ended
// there. Every page is therefore checked before libmdb is given it (inside
// the file, of the kind and owner expected), and every failure raises the
// "damaged" error naming the table, so a cut or damaged file never reads as
// fewer rows.

#include "platform/db/accdb_encryption.h"
#include "platform/db/ace_values.h"
#include "platform/db/backend.h"
#include "platform/db/database_error.h"
#include "platform/db/jet_header.h"
#include "platform/db/unicode.h"
#include "platform/text/cp936.h"

#include <mdbtools.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <system_error>

namespace db {
namespace {

// The kind of a page is its first byte.
constexpr unsigned char kDataPage = 0x01;
constexpr unsigned char kTableDefinitionPage = 0x02;
constexpr unsigned char kUsageMapPage = 0x05;
// Data pages name their table's definition page at this offset; long-value
// pages carry this tag there instead.
constexpr int kPageOwnerOffset = 4;
constexpr char kLongValueTag[] = {'L', 'V', 'A', 'L'};
// A table definition continues on the page named at this offset (0: none),
// after the header of that page.
constexpr int kNextDefinitionOffset = 4;
constexpr std::size_t kDefinitionHeader = 8;

// A row offset on a data page: the offset in the low bits, two flags above.
constexpr unsigned kOffsetMask = 0x1FFF;
constexpr unsigned kRowFlags = 0xC000;
constexpr unsigned kDeletedRow = 0xC000;
// The row grew and moved: it holds a pointer to where it lives now.
constexpr unsigned kMovedRow = 0x4000;
// Where a moved row lives now; read through its pointer only.
constexpr unsigned kMovedRowTarget = 0x8000;

// A pointer to a row: the row number in the low byte, the page above it.
constexpr std::uint32_t RowOfPointer(std::uint32_t p) {
    return p & 0xFF;
}
constexpr std::uint32_t PageOfPointer(std::uint32_t p) {
    return p >> 8;
}

// The 12-byte header of a long value (memo, OLE): the length in the low 30
// bits of the first word, and where the bytes are in its top bits.
constexpr std::size_t kLongValueHeader = 12;
constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFF;
constexpr std::uint32_t kLongValueInline = 0x80000000;    // after the header
constexpr std::uint32_t kLongValueSingleRow = 0x40000000; // one row of a long-value page
// Neither flag: a chain of rows, each starting with the pointer to the next.
// Long values larger than this are refused rather than allocated.
constexpr std::uint32_t kMaxLongValue = 256u << 20;

// MSysObjects: the low bits of Type give the kind of object, the low bits
// of Id its definition page; either flag marks a system object.
constexpr std::int64_t kObjectTypeMask = 0x7F;
constexpr std::int64_t kObjectPageMask = 0x00FFFFFF;
constexpr std::int64_t kSystemObjectFlags = 0x80000002;
// The catalogue's own definition is always on this page.
constexpr unsigned long kCatalogDefinitionPage = 2;

// A column kind libmdb does not name: Date/Time Extended (Access 2019).
constexpr int kExtendedDateTime = 0x14;

// A calculated column (Access 2010 and later) is flagged in the extended
// flags of its descriptor.
constexpr std::size_t kExtendedFlagsOffset = 16;
constexpr unsigned char kCalculatedFlags = 0xC0;

std::int64_t GetInt(const unsigned char* p, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    const int shift = 64 - 8 * bytes; // sign-extend
    return static_cast<std::int64_t>(v << shift) >> shift;
}

std::uint32_t GetU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(GetInt(p, 4));
}

unsigned GetU16(const unsigned char* p) {
    return static_cast<unsigned>(p[0] | p[1] << 8);
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

TFieldType KindOf(int type, const MdbColumn& col) {
    switch (type) {
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
    case kExtendedDateTime:
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

// What a column's descriptor says beyond libmdb's column: a calculated
// column's values are wrapped and decode as its result type.
struct ColumnStorage {
    int Type = 0; // the kind values decode as
    bool Calculated = false;
};

struct OpenTable {
    TableDefPtr Def;
    std::vector<ColumnStorage> Storage; // by column index
};

// The bytes of one row on a page.
struct RowSpan {
    std::size_t Start = 0;
    std::size_t End = 0;
    unsigned Flags = 0;
};

class MdbBackend : public Backend {
public:
    // `image` is the decrypted file libmdb reads from memory, if any.
    MdbBackend(MdbHandle* mdb, std::string displayName, std::uint64_t pageCount,
               std::unique_ptr<jet::PlainImage> image = nullptr)
        : image_(std::move(image)), handle_(mdb), mdb_(mdb), displayName_(std::move(displayName)),
          pageCount_(pageCount) {
        ReadCatalog();
    }

    const std::vector<std::string>& TableNames() const override { return names_; }
    const std::vector<std::string>& SystemTableNames() const override { return systemNames_; }

    std::vector<TColumnInfo> Columns(std::size_t table) override {
        const std::string what = TableWhat(table);
        const OpenTable t = ReadTable(Entry(table), what);
        const MdbTableDef* def = t.Def.get();
        std::vector<TColumnInfo> cols;
        for (unsigned i = 0; i < def->num_cols; ++i) {
            const MdbColumn& col = Column(*def, i);
            TColumnInfo info;
            info.Name =
                text::Utf8ToCp936(std::string(col.name, strnlen(col.name, MDB_MAX_OBJ_NAME)));
            info.DataType = KindOf(t.Storage[i].Type, col);
            if (col.col_type == MDB_TEXT)
                info.Size = mdb_->f->jet_version == MDB_VER_JET3 ? col.col_size : col.col_size / 2;
            else if (col.col_type == MDB_BINARY)
                info.Size = col.col_size;
            cols.push_back(std::move(info));
        }
        return cols;
    }

    void ReadRows(std::size_t table, const std::vector<std::size_t>& wanted,
                  const RowSink& onRow) override {
        Scan(Entry(table), TableWhat(table), wanted, onRow);
    }

private:
    // What cannot be read, for the "damaged" message: "table 'T'" or the
    // catalogue.
    std::string TableWhat(std::size_t table) const { return "table '" + TableName(table) + "'"; }
    static constexpr const char* kCatalogWhat = "its list of tables";

    [[noreturn]] void Damaged(const std::string& what) const {
        throw EDatabaseError("The database '" + displayName_ + "' is damaged: " + what +
                             " cannot be read");
    }

    MdbCatalogEntry* Entry(std::size_t table) const {
        if (table >= entries_.size()) throw EDatabaseError("table index out of range");
        return entries_[table].get();
    }

    static const MdbColumn& Column(const MdbTableDef& def, unsigned i) {
        return *static_cast<const MdbColumn*>(g_ptr_array_index(def.columns, i));
    }

    std::size_t PageSize() const { return static_cast<std::size_t>(mdb_->fmt->pg_size); }

    // A page of the file into libmdb's second buffer; null when the page
    // lies outside the file (libmdb would print and read nothing).
    const unsigned char* ReadAltPage(std::uint64_t page) {
        if (page >= pageCount_) return nullptr;
        if (mdb_read_alt_pg(mdb_, static_cast<unsigned long>(page)) !=
            static_cast<ssize_t>(PageSize()))
            return nullptr;
        return mdb_->alt_pg_buf;
    }

    // A data page of the table into libmdb's page buffer, where
    // mdb_crack_row reads rows.
    const unsigned char* ReadDataPage(std::uint64_t page, unsigned long owner) {
        if (page >= pageCount_ ||
            mdb_read_pg(mdb_, static_cast<unsigned long>(page)) != static_cast<ssize_t>(PageSize()))
            return nullptr;
        const unsigned char* buf = mdb_->pg_buf;
        if (buf[0] != kDataPage || GetU32(buf + kPageOwnerOffset) != owner) return nullptr;
        return buf;
    }

    // Where row `row` of a data page lies. Rows are stored from the end of
    // the page backwards: each ends where the one before it starts.
    bool FindRow(const unsigned char* page, std::uint32_t row, RowSpan& span) const {
        const std::size_t rco = mdb_->fmt->row_count_offset;
        const std::size_t rows = GetU16(page + rco);
        const std::size_t tableEnd = rco + 2 + 2 * rows;
        if (row >= rows || tableEnd > PageSize()) return false;
        const unsigned raw = GetU16(page + rco + 2 + 2 * row);
        span.Flags = raw & kRowFlags;
        span.Start = raw & kOffsetMask;
        span.End = row == 0 ? PageSize() : GetU16(page + rco + 2 * row) & kOffsetMask;
        return span.Start >= tableEnd && span.Start <= span.End && span.End <= PageSize();
    }

    // Checks what mdb_read_table and mdb_read_columns read before they read
    // it: the chain of definition pages, the rows holding the table's two
    // page maps, and that the column entries and names end inside the chain
    // (libmdb would read on into whatever page the last one points at).
    std::vector<unsigned char> CheckDefinition(unsigned long firstPage, const std::string& what) {
        const MdbFormatConstants& fmt = *mdb_->fmt;
        // The definition as libmdb reads it: the first page whole, then each
        // further page after its header.
        std::vector<unsigned char> def;
        std::uint64_t page = firstPage;
        for (std::uint64_t hops = 0; page != 0; ++hops) {
            const unsigned char* buf = ReadAltPage(page);
            if (buf == nullptr || hops >= pageCount_ || buf[0] != kTableDefinitionPage)
                Damaged(what);
            def.insert(def.end(), buf + (hops == 0 ? 0 : kDefinitionHeader), buf + PageSize());
            page = GetU32(buf + kNextDefinitionOffset);
        }
        for (std::uint32_t map :
             {GetU32(&def[fmt.tab_usage_map_offset]), GetU32(&def[fmt.tab_free_map_offset])}) {
            const unsigned char* buf = ReadAltPage(PageOfPointer(map));
            RowSpan span;
            if (buf == nullptr || buf[0] != kDataPage || !FindRow(buf, RowOfPointer(map), span))
                Damaged(what);
        }
        const std::uint64_t columns = GetU16(&def[fmt.tab_num_cols_offset]);
        std::uint64_t at =
            fmt.tab_cols_start_offset +
            std::uint64_t(GetU32(&def[fmt.tab_num_ridxs_offset])) * fmt.tab_ridx_entry_size +
            columns * fmt.tab_col_entry_size;
        const bool jet3 = mdb_->f->jet_version == MDB_VER_JET3;
        const std::uint64_t lengthBytes = jet3 ? 1 : 2;
        for (std::uint64_t i = 0; i < columns; ++i) {
            if (at + lengthBytes > def.size()) Damaged(what);
            at += lengthBytes + (jet3 ? def[at] : GetU16(&def[at]));
        }
        if (at > def.size()) Damaged(what);
        return def;
    }

    OpenTable ReadTable(MdbCatalogEntry* entry, const std::string& what) {
        const std::vector<unsigned char> bytes = CheckDefinition(entry->table_pg, what);
        OpenTable t;
        t.Def.reset(mdb_read_table(entry));
        MdbTableDef* def = t.Def.get();
        if (!def || !mdb_read_columns(def) || def->num_cols > MDB_MAX_COLS ||
            def->columns == nullptr || def->columns->len != def->num_cols)
            Damaged(what);
        t.Storage = Storage(*entry, *def, bytes, what);
        return t;
    }

    // The kinds a table's values decode as, calculated columns by their
    // result type. Kept per table: a calculated one costs a catalogue read.
    std::vector<ColumnStorage> Storage(const MdbCatalogEntry& entry, const MdbTableDef& def,
                                       const std::vector<unsigned char>& bytes,
                                       const std::string& what) {
        const auto cached = storage_.find(entry.table_pg);
        if (cached != storage_.end() && cached->second.size() == def.num_cols)
            return cached->second;
        const MdbFormatConstants& fmt = *mdb_->fmt;
        std::vector<ColumnStorage> storage(def.num_cols);
        // Jet 3 descriptors are too short to carry the extended flags.
        const bool extended =
            mdb_->f->jet_version != MDB_VER_JET3 && fmt.tab_col_entry_size > kExtendedFlagsOffset;
        std::map<int, bool> calculatedByNumber;
        if (extended) {
            const std::size_t first =
                fmt.tab_cols_start_offset +
                std::size_t(GetU32(&bytes[fmt.tab_num_ridxs_offset])) * fmt.tab_ridx_entry_size;
            if (first + std::size_t(def.num_cols) * fmt.tab_col_entry_size > bytes.size())
                Damaged(what);
            for (unsigned i = 0; i < def.num_cols; ++i) {
                const unsigned char* e = &bytes[first + std::size_t(i) * fmt.tab_col_entry_size];
                calculatedByNumber[static_cast<int>(GetU16(e + fmt.col_num_offset))] =
                    (e[kExtendedFlagsOffset] & kCalculatedFlags) != 0;
            }
        }
        bool anyCalculated = false;
        for (unsigned i = 0; i < def.num_cols; ++i) {
            const MdbColumn& col = Column(def, i);
            storage[i].Type = col.col_type;
            const auto found = calculatedByNumber.find(col.col_num);
            storage[i].Calculated = found != calculatedByNumber.end() && found->second;
            anyCalculated |= storage[i].Calculated;
        }
        if (anyCalculated && entry.table_pg != kCatalogDefinitionPage) {
            const std::map<std::string, int> types = ResultTypes(entry.table_pg, what);
            for (unsigned i = 0; i < def.num_cols; ++i) {
                const MdbColumn& col = Column(def, i);
                const auto type =
                    types.find(std::string(col.name, strnlen(col.name, MDB_MAX_OBJ_NAME)));
                if (storage[i].Calculated && type != types.end() && type->second != 0)
                    storage[i].Type = type->second;
            }
        }
        storage_[entry.table_pg] = storage;
        return storage;
    }

    // The result types of a table's calculated columns, from its row of
    // MSysObjects.
    std::map<std::string, int> ResultTypes(unsigned long tablePage, const std::string& what) {
        std::map<std::string, int> types;
        if (catalogProperties_ == kNotFound) return types;
        MdbCatalogEntry system = CatalogEntry();
        bool found = false;
        Scan(&system, kCatalogWhat, {catalogId_, catalogProperties_}, [&](std::vector<Value>& row) {
            if (found ||
                static_cast<unsigned long>(row[0].AsInteger() & kObjectPageMask) != tablePage)
                return;
            found = true;
            if (row[1].GetKind() == Value::Kind::Bytes &&
                !ace::ReadResultTypes(row[1].Text(), types))
                Damaged(what);
        });
        return types;
    }

    MdbCatalogEntry CatalogEntry() {
        MdbCatalogEntry system{};
        system.mdb = mdb_;
        std::strcpy(system.object_name, "MSysObjects");
        system.object_type = MDB_TABLE;
        system.table_pg = kCatalogDefinitionPage;
        return system;
    }

    // The pages a table's usage map gives it, in file order. Each must lie
    // inside the file, and the map's own pages (a map too large to keep in
    // the definition lists them) must be map pages.
    std::vector<std::uint32_t> DataPages(const MdbTableDef& def, const std::string& what) {
        const unsigned char* map = def.usage_map;
        const std::size_t size = def.map_sz;
        if (map == nullptr || size < 1 || size > PageSize()) Damaged(what);
        std::vector<std::uint32_t> pages;
        auto addBits = [&](const unsigned char* bits, std::size_t bytes, std::uint64_t first) {
            for (std::size_t i = 0; i < bytes * 8; ++i) {
                if (!(bits[i / 8] >> (i % 8) & 1)) continue;
                if (first + i >= pageCount_) Damaged(what);
                pages.push_back(static_cast<std::uint32_t>(first + i));
            }
        };
        switch (map[0]) {
        case 0: // a start page, then one bit per page
            if (size < 5) Damaged(what);
            addBits(map + 5, size - 5, GetU32(map + 1));
            break;
        case 1: { // the pages that hold the bits, each covering a run of pages
            const std::size_t perPage = (PageSize() - 4) * 8;
            std::vector<unsigned char> bits(PageSize() - 4);
            for (std::size_t at = 1, k = 0; at + 4 <= size; at += 4, ++k) {
                const std::uint32_t mapPage = GetU32(map + at);
                if (mapPage == 0) continue;
                const unsigned char* buf = ReadAltPage(mapPage);
                if (buf == nullptr || buf[0] != kUsageMapPage) Damaged(what);
                std::memcpy(bits.data(), buf + 4, bits.size());
                addBits(bits.data(), bits.size(), std::uint64_t(k) * perPage);
            }
            break;
        }
        default:
            Damaged(what);
        }
        return pages;
    }

    void Scan(MdbCatalogEntry* entry, const std::string& what,
              const std::vector<std::size_t>& wanted, const RowSink& onRow) {
        const OpenTable t = ReadTable(entry, what);
        const TableDefPtr& def = t.Def;
        const unsigned numCols = def->num_cols;
        for (std::size_t w : wanted)
            if (w >= numCols) throw EDatabaseError("column index out of range");
        const unsigned long owner = entry->table_pg;
        const std::vector<std::uint32_t> pages = DataPages(*def, what);
        std::vector<MdbField> fields(MDB_MAX_COLS);
        std::vector<Value> row(wanted.size());

        // Cracks the row at `span` of the page in libmdb's buffer and hands
        // its values on.
        auto deliver = [&](const RowSpan& span) {
            const int n = mdb_crack_row(def.get(), static_cast<int>(span.Start),
                                        span.End - span.Start, fields.data());
            if (n < 0) Damaged(what);
            // libmdb fills one entry per column of the table, in order. A row
            // written before columns were deleted stores more entries than
            // that; they come after, blank, and are not ours to map.
            const unsigned char* page = mdb_->pg_buf;
            for (std::size_t k = 0; k < wanted.size(); ++k) {
                const MdbField& f = fields[wanted[k]];
                if (f.colnum != static_cast<int>(wanted[k])) Damaged(what);
                if (!f.is_null && f.siz != 0) {
                    const auto* p = static_cast<const unsigned char*>(f.value);
                    if (f.siz < 0 || p == nullptr || p < page + span.Start ||
                        p + f.siz > page + span.End)
                        Damaged(what);
                }
                row[k] = Decode(Column(*def, static_cast<unsigned>(wanted[k])),
                                t.Storage[wanted[k]], f, what);
            }
            onRow(row);
        };

        for (std::uint32_t pageNo : pages) {
            const unsigned char* page = ReadDataPage(pageNo, owner);
            if (page == nullptr) Damaged(what);
            const unsigned rows = GetU16(page + mdb_->fmt->row_count_offset);
            for (std::uint32_t r = 0; r < rows; ++r) {
                RowSpan span;
                if (!FindRow(mdb_->pg_buf, r, span)) Damaged(what);
                if (span.Flags == kDeletedRow || span.Flags == kMovedRowTarget) continue;
                if (span.Flags != kMovedRow) {
                    if (span.Start == span.End) Damaged(what);
                    deliver(span);
                    continue;
                }
                // A moved row: follow its pointer, then come back to this page.
                std::uint32_t pointer = 0;
                for (std::uint64_t hops = 0;; ++hops) {
                    if (span.End - span.Start < 4 || hops >= pageCount_) Damaged(what);
                    pointer = GetU32(mdb_->pg_buf + span.Start);
                    const unsigned char* target = ReadDataPage(PageOfPointer(pointer), owner);
                    if (target == nullptr || !FindRow(target, RowOfPointer(pointer), span))
                        Damaged(what);
                    if (span.Flags != kMovedRow) break;
                }
                if (span.Flags != kMovedRowTarget || span.Start == span.End) Damaged(what);
                deliver(span);
                if (ReadDataPage(pageNo, owner) == nullptr) Damaged(what);
            }
        }
    }

    // The objects of the file, from the system table MSysObjects (its
    // definition is always on page 2). libmdb's own catalogue reader also
    // parses every object's property blob, and loops without end on some
    // damaged files; the names, kinds and flags are all that is needed here.
    void ReadCatalog() {
        MdbCatalogEntry system = CatalogEntry();
        std::vector<std::size_t> wanted;
        {
            const OpenTable t = ReadTable(&system, kCatalogWhat);
            const MdbTableDef& def = *t.Def;
            auto find = [&](const char* column) {
                for (unsigned i = 0; i < def.num_cols; ++i)
                    if (g_ascii_strcasecmp(Column(def, i).name, column) == 0) return std::size_t(i);
                return kNotFound;
            };
            for (const char* column : {"Id", "Name", "Type", "Flags"}) {
                wanted.push_back(find(column));
                if (wanted.back() == kNotFound) Damaged(kCatalogWhat);
            }
            catalogId_ = wanted[0];
            // Only calculated columns need the properties; a catalogue
            // without them leaves those columns as their descriptors say.
            const std::size_t properties = find("LvProp");
            if (properties != kNotFound &&
                Column(def, static_cast<unsigned>(properties)).col_type == MDB_OLE)
                catalogProperties_ = properties;
        }
        std::vector<std::unique_ptr<MdbCatalogEntry>> systemEntries;
        Scan(&system, kCatalogWhat, wanted, [&](std::vector<Value>& row) {
            const std::int64_t type = row[2].AsInteger();
            const std::int64_t flags = row[3].AsInteger();
            if ((type & kObjectTypeMask) != MDB_TABLE) return; // local tables only
            if (row[1].GetKind() != Value::Kind::String || row[1].Text().empty()) return;
            const std::string& name = row[1].Text();
            auto entry = std::make_unique<MdbCatalogEntry>();
            *entry = MdbCatalogEntry{};
            entry->mdb = mdb_;
            entry->object_type = MDB_TABLE;
            entry->table_pg = static_cast<unsigned long>(row[0].AsInteger() & kObjectPageMask);
            entry->flags = static_cast<int>(flags);
            // libmdb wants the UTF-8 name; the text above is already CP936.
            const std::string utf8 = text::Cp936ToUtf8(name);
            std::strncpy(entry->object_name, utf8.c_str(), MDB_MAX_OBJ_NAME);
            if ((flags & kSystemObjectFlags) != 0 ||
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
        return Utf8ToCp936(std::string_view(buffer_.data(), static_cast<std::size_t>(len)));
    }

    // The bytes of row `pointer` on a long-value page.
    std::string_view LongValueRow(std::uint32_t pointer, const std::string& what) {
        const unsigned char* page = ReadAltPage(PageOfPointer(pointer));
        RowSpan span;
        if (page == nullptr || page[0] != kDataPage ||
            std::memcmp(page + kPageOwnerOffset, kLongValueTag, sizeof kLongValueTag) != 0 ||
            !FindRow(page, RowOfPointer(pointer), span))
            Damaged(what);
        return {reinterpret_cast<const char*>(page + span.Start), span.End - span.Start};
    }

    // The bytes of a memo or OLE value: inline, on one long-value page, or
    // in a chain of them. Chains are followed only as far as the length the
    // header gives, so a damaged chain cannot loop.
    std::string ReadLongValue(const unsigned char* header, std::size_t size,
                              const std::string& what) {
        if (size < kLongValueHeader) Damaged(what);
        const std::uint32_t word = GetU32(header);
        const std::uint32_t length = word & kLongValueLengthMask;
        if (length > kMaxLongValue || length > pageCount_ * PageSize()) Damaged(what);
        if (word & kLongValueInline) {
            if (length > size - kLongValueHeader) Damaged(what);
            return std::string(reinterpret_cast<const char*>(header + kLongValueHeader), length);
        }
        std::uint32_t pointer = GetU32(header + 4);
        if (word & kLongValueSingleRow) {
            const std::string_view bytes = LongValueRow(pointer, what);
            if (bytes.size() < length) Damaged(what);
            return std::string(bytes.substr(0, length));
        }
        std::string out;
        out.reserve(length);
        // A chain cannot visit more rows than the file holds.
        for (std::uint64_t hops = 0; out.size() < length; ++hops) {
            if (pointer == 0 || hops > pageCount_ * 256) Damaged(what);
            const std::string_view bytes = LongValueRow(pointer, what);
            if (bytes.size() < 4) Damaged(what);
            pointer = GetU32(reinterpret_cast<const unsigned char*>(bytes.data()));
            out.append(bytes.substr(4, length - out.size()));
        }
        return out;
    }

    // The value of a column in a row: libmdb found its bytes.
    Value Decode(const MdbColumn& col, const ColumnStorage& storage, const MdbField& field,
                 const std::string& what) {
        // A Yes/No column keeps its value in the null mask: "null" is false.
        if (col.col_type == MDB_BOOL && !storage.Calculated)
            return Value::FromBoolean(!field.is_null);
        if (field.is_null) return {};
        const auto* p = static_cast<const unsigned char*>(field.value);
        const std::size_t n = static_cast<std::size_t>(field.siz);
        if (!storage.Calculated) return DecodeBytes(storage.Type, col, p, n, what);
        if (storage.Type == MDB_MEMO) {
            // The long value holds the wrapped text.
            const std::string bytes = ReadLongValue(p, n, what);
            const std::string_view data = Unwrap(bytes, what);
            return Value::FromString(
                DecodeText(reinterpret_cast<const unsigned char*>(data.data()), data.size()));
        }
        const std::string_view data =
            Unwrap(std::string_view(reinterpret_cast<const char*>(p), n), what);
        const auto* d = reinterpret_cast<const unsigned char*>(data.data());
        if (storage.Type == MDB_TEXT) return Value::FromString(DecodeText(d, data.size()));
        // No data: the expression gave nothing.
        if (data.empty()) return {};
        if (storage.Type == MDB_NUMERIC) {
            const std::optional<std::string> text = ace::CalculatedDecimalText(data);
            if (!text) Damaged(what);
            return Value::FromFloat(std::strtod(text->c_str(), nullptr));
        }
        return DecodeBytes(storage.Type, col, d, data.size(), what);
    }

    std::string_view Unwrap(std::string_view value, const std::string& what) const {
        const std::optional<std::string_view> data = ace::UnwrapCalculated(value);
        if (!data) Damaged(what);
        return *data;
    }

    Value DecodeBytes(int type, const MdbColumn& col, const unsigned char* p, std::size_t n,
                      const std::string& what) {
        // A fixed-size value shorter than its kind is a damaged definition.
        auto need = [&](std::size_t bytes) {
            if (n < bytes) Damaged(what);
        };
        switch (type) {
        case MDB_BOOL:
            need(1);
            return Value::FromBoolean(p[0] != 0);
        case MDB_BYTE:
            need(1);
            return Value::FromInteger(p[0]);
        case MDB_INT:
            need(2);
            return Value::FromInteger(GetInt(p, 2));
        case MDB_LONGINT:
        case MDB_COMPLEX:
            need(4);
            return Value::FromInteger(GetInt(p, 4));
        case MDB_MONEY:
            need(8);
            return Value::FromFloat(static_cast<double>(GetInt(p, 8)) / 10000.0);
        case MDB_FLOAT: {
            need(4);
            float f;
            std::memcpy(&f, p, 4);
            return Value::FromFloat(f);
        }
        case MDB_DOUBLE:
        case MDB_DATETIME: {
            need(8);
            double d;
            std::memcpy(&d, p, 8);
            return type == MDB_DATETIME ? Value::FromDateTime(d) : Value::FromFloat(d);
        }
        case kExtendedDateTime: {
            const auto v =
                ace::ReadExtendedDateTime(std::string_view(reinterpret_cast<const char*>(p), n));
            if (!v) Damaged(what);
            return v->IsDateTime ? Value::FromDateTime(v->DateTime) : Value::FromString(v->Text);
        }
        case MDB_REPID:
            need(16);
            return Value::FromString(GuidText(p));
        case MDB_NUMERIC: {
            need(17);
            const auto* page = static_cast<const unsigned char*>(mdb_->pg_buf);
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
            std::string bytes = ReadLongValue(p, n, what);
            if (type == MDB_OLE) return Value::FromBytes(std::move(bytes));
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
    // Declared first, freed last: libmdb reads it until it is closed.
    std::unique_ptr<jet::PlainImage> image_;
    std::unique_ptr<MdbHandle, HandleCloser> handle_;
    MdbHandle* mdb_;
    std::string displayName_;
    std::vector<std::string> names_;
    std::vector<std::string> systemNames_;
    std::vector<std::unique_ptr<MdbCatalogEntry>> entries_; // user tables, then system ones
    std::uint64_t pageCount_;
    std::vector<char> buffer_;
    // Catalogue columns, found once: Id and the property blobs.
    std::size_t catalogId_ = 0;
    std::size_t catalogProperties_ = kNotFound;
    std::map<unsigned long, std::vector<ColumnStorage>> storage_; // by definition page
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
    const std::string given = hasPassword ? password : std::string();
    const std::uint64_t pages = fileSize / header.PageSize;
    if (!header.OfficeEncrypted()) {
        if (!header.PasswordMatches(given)) throw EDatabaseError("Not a valid password.");
        MdbHandle* mdb = mdb_open(utf8Path.c_str(), MDB_NOFLAGS);
        if (mdb == nullptr)
            throw EDatabaseError("Unrecognized database format '" + displayName + "'");
        return std::make_unique<MdbBackend>(mdb, displayName, pages);
    }

    // Encrypted with a password: the page-0 password field means nothing,
    // the key derived from the password is checked against the header's
    // verifier, and the plain pages exist only in memory.
    std::unique_ptr<jet::AccdbDecryptor> decryptor;
    try {
        decryptor = jet::ReadAccdbEncryption(page0, header.EncodingKey);
    } catch (const jet::EncryptionHeaderError& e) {
        if (e.kind == jet::EncryptionHeaderError::Damaged)
            throw EDatabaseError("The database '" + displayName + "' is damaged: " + e.detail);
        throw EDatabaseError("The database '" + displayName +
                             "' is encrypted in a way this program cannot read (" + e.detail + ")");
    }
    if (!decryptor->Unlock(given)) throw EDatabaseError("Not a valid password.");
    auto image = std::make_unique<jet::PlainImage>(static_cast<std::size_t>(fileSize));
    in.clear();
    in.seekg(0);
    in.read(reinterpret_cast<char*>(image->data()), static_cast<std::streamsize>(image->size()));
    if (static_cast<std::uint64_t>(in.gcount()) != fileSize)
        throw EDatabaseError("Could not open file '" + displayName + "'");
    jet::DecryptAccdbImage(*decryptor, image->data(), image->size());
    MdbHandle* mdb = mdb_open_buffer(image->data(), image->size(), MDB_NOFLAGS);
    if (mdb == nullptr) throw EDatabaseError("Unrecognized database format '" + displayName + "'");
    return std::make_unique<MdbBackend>(mdb, displayName, pages, std::move(image));
}

} // namespace db
