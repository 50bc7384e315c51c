#include "platform/db/field_type.h"

namespace db {

const char* FieldTypeName(TFieldType type) {
    static const char* const names[] = {
        "ftUnknown", "ftString",     "ftSmallint", "ftInteger",     "ftWord",       "ftBoolean",
        "ftFloat",   "ftCurrency",   "ftBCD",      "ftDate",        "ftTime",       "ftDateTime",
        "ftBytes",   "ftVarBytes",   "ftAutoInc",  "ftBlob",        "ftMemo",       "ftGraphic",
        "ftFmtMemo", "ftParadoxOle", "ftDBaseOle", "ftTypedBinary", "ftWideString", "ftLargeint",
        "ftGuid",    "ftOraBlob",
    };
    static_assert(sizeof names / sizeof names[0] == ftOraBlob + 1);
    return type >= ftUnknown && type <= ftOraBlob ? names[type] : "ftUnknown";
}

} // namespace db
