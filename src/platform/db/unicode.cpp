#include "platform/db/unicode.h"

namespace db {
namespace {

void PutUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | c >> 18));
        out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

template <class Unit> std::string Convert(std::size_t count, Unit unit) {
    std::string out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            const char16_t low = unit(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                PutUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF)
            out.push_back('?');
        else
            PutUtf8(out, u);
    }
    return out;
}

} // namespace

std::string Utf16ToUtf8(std::u16string_view s) {
    return Convert(s.size(), [&](std::size_t i) { return s[i]; });
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    return Convert(bytes.size() / 2,
                   [&](std::size_t i) { return char16_t(p[2 * i] | p[2 * i + 1] << 8); });
}

} // namespace db
