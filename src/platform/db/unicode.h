#pragma once
// UTF-16 from Access files to UTF-8 (then CP936 through the text module).

#include <string>
#include <string_view>

namespace db {

// Unpaired surrogates become '?'.
std::string Utf16ToUtf8(std::u16string_view s);
// The same from little-endian bytes; an odd last byte is dropped.
std::string Utf16LeToUtf8(std::string_view bytes);

} // namespace db
