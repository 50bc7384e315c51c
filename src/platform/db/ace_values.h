#pragma once
// Values of the newer Access formats that libmdb leaves as raw bytes:
// calculated columns (Access 2010 and later) and Date/Time Extended
// (Access 2019), and the column properties that give a calculated column's
// result kind. Pure functions over bytes read from the file: each says
// when the bytes are damaged instead of reading past them.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace db::ace {

// A calculated value is wrapped: 16 bytes, the length of the data as a
// 32-bit integer, then the data. Nothing when the length points past the
// value.
std::optional<std::string_view> UnwrapCalculated(std::string_view value);

// A calculated decimal (precision, reserved, scale, sign byte, then a 96-bit
// magnitude as a high 32-bit and a low 64-bit word) as decimal text such as
// "-36.2222". Nothing when it is cut short or its scale is impossible.
std::optional<std::string> CalculatedDecimalText(std::string_view data);

// Date/Time Extended: "DDDDDDDDDDDDDDDDDDD:SSSSSSSSSSSSFFFFFFF:7", days since
// 0001-01-01, seconds of the day and 100-ns units. A value a date-time holds
// becomes one (days since 1899-12-30); any other reads as its text.
struct ExtendedDateTime {
    bool IsDateTime = false;
    double DateTime = 0;
    std::string Text;
};
// Nothing when the value is cut short or not of that form.
std::optional<ExtendedDateTime> ReadExtendedDateTime(std::string_view value);

// The "ResultType" property of each column (by its UTF-8 name) in a table's
// property blob (MSysObjects.LvProp). False when the blob is damaged.
bool ReadResultTypes(std::string_view blob, std::map<std::string, int>& types);

} // namespace db::ace
