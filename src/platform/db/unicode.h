#pragma once
// UTF-16 from Access files to UTF-8, and UTF-8 to the CP936 the program
// works in.

#include <string>
#include <string_view>

namespace db {

// Unpaired surrogates become '?'.
std::string Utf16ToUtf8(std::u16string_view s);
// The same from little-endian bytes; an odd last byte is dropped.
std::string Utf16LeToUtf8(std::string_view bytes);

// As text::Utf8ToCp936, with the same result, for every value a query
// reads: each character's CP936 bytes are looked up once per process and
// kept, instead of running the converter for every value.
std::string Utf8ToCp936(std::string_view utf8);
// The same into `out`, reusing its buffer.
void Utf8ToCp936(std::string_view utf8, std::string& out);

} // namespace db
