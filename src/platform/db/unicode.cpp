#include "platform/db/unicode.h"

#include "platform/text/cp936.h"

#include <atomic>
#include <cstdint>
#include <cstring>

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

namespace {

// The CP936 bytes of each character of the Basic Multilingual Plane, as the
// text module converts it alone (CP936 keeps no state between characters,
// so a text converts as its characters do). 0: not looked up yet; below
// 0x100 one byte; else the lead byte, then the trail byte. kUnusual marks a
// character whose conversion is neither, left to the text module whole.
constexpr std::uint16_t kUnusual = 0xFFFF;
std::atomic<std::uint16_t> gCp936Of[0x10000];

// The first meeting with a character: ask the text module.
[[gnu::noinline]] std::uint16_t LookUpFirst(char32_t c, const char* utf8, std::size_t length) {
    const std::string out = text::Utf8ToCp936(std::string_view(utf8, length));
    const auto byte = [&](std::size_t i) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(out[i]));
    };
    std::uint16_t v = kUnusual;
    if (out.size() == 1 && byte(0) != 0)
        v = byte(0);
    else if (out.size() == 2 && byte(0) >= 0x81 && byte(0) != 0xFF)
        v = static_cast<std::uint16_t>(byte(0) << 8 | byte(1));
    gCp936Of[c].store(v, std::memory_order_relaxed);
    return v;
}

std::uint16_t LookUp(char32_t c, const char* utf8, std::size_t length) {
    const std::uint16_t v = gCp936Of[c].load(std::memory_order_relaxed);
    return v != 0 ? v : LookUpFirst(c, utf8, length);
}

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

} // namespace

void Utf8ToCp936(std::string_view utf8, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    // ASCII stays as it is; most values are ASCII or start so.
    std::size_t i = 0;
    for (std::uint64_t word; i + 8 <= n; i += 8) {
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080u) break;
    }
    while (i < n && p[i] < 0x80) ++i;
    if (i == n) {
        out.assign(utf8.data(), n);
        return;
    }
    // A CP936 character never takes more bytes than its UTF-8 form.
    out.resize(n);
    std::memcpy(out.data(), p, i);
    char* to = out.data() + i;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            *to++ = static_cast<char>(c);
            ++i;
            continue;
        }
        // Two- and three-byte forms of the plane, strictly: anything else
        // (four-byte forms, overlong forms, surrogates, broken sequences)
        // goes to the text module, which knows how to replace it.
        char32_t code = 0;
        std::size_t length = 0;
        if (c >= 0xC2 && c <= 0xDF && i + 1 < n && IsContinuation(p[i + 1])) {
            code = char32_t(c & 0x1F) << 6 | (p[i + 1] & 0x3F);
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF && i + 2 < n && IsContinuation(p[i + 1]) &&
                   IsContinuation(p[i + 2])) {
            code = char32_t(c & 0x0F) << 12 | char32_t(p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F);
            if (code >= 0x800 && (code < 0xD800 || code > 0xDFFF)) length = 3;
        }
        const std::uint16_t v = length ? LookUp(code, utf8.data() + i, length) : kUnusual;
        if (v == kUnusual) {
            out = text::Utf8ToCp936(utf8);
            return;
        }
        if (v >= 0x100) *to++ = static_cast<char>(v >> 8);
        *to++ = static_cast<char>(v & 0xFF);
        i += length;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

std::string Utf8ToCp936(std::string_view utf8) {
    std::string out;
    Utf8ToCp936(utf8, out);
    return out;
}

} // namespace db
