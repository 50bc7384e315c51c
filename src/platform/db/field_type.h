#pragma once
// Kinds of database fields, with the data-access framework's names.

namespace db {

enum TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftWideString,
    ftLargeint,
    ftGuid,
    ftOraBlob,
};

// The name of the kind as the framework spells it ("ftInteger").
const char* FieldTypeName(TFieldType type);

} // namespace db
