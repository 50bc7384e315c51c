#pragma once
// Conversion between the engine's single-byte code page (CP936, GBK) and the
// Unicode forms used at the edges (Qt widgets, database values, file names).

#include <QString>
#include <string>
#include <string_view>

namespace text {

// A CP936 lead byte starts a double-byte character.
inline bool IsLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

// Characters CP936 cannot hold, and malformed UTF-8, become '?'.
std::string Utf8ToCp936(std::string_view utf8);
// Byte sequences that are not valid CP936 become '?'.
std::string Cp936ToUtf8(std::string_view cp936);

QString Cp936ToQString(std::string_view cp936);
std::string QStringToCp936(const QString& s);

// Source files are UTF-8; engine literals are converted once with this.
inline std::string L(std::string_view utf8) {
    return Utf8ToCp936(utf8);
}

} // namespace text
