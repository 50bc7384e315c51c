#include "platform/db/ace_values.h"

#include "platform/db/unicode.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace db::ace {
namespace {

constexpr std::size_t kCalculatedLengthOffset = 16;
constexpr std::size_t kCalculatedDataOffset = 20;
constexpr std::size_t kDecimalSize = 16;
constexpr unsigned kMaxDecimalScale = 28;
constexpr unsigned char kNegativeDecimal = 0x80;

// The text form: 19 digits, ':', 12 + 7 digits, ':' and the precision digit.
constexpr std::size_t kExtendedDateTimeText = 41;
// Days from 0001-01-01 to 1899-12-30, where date-times count from, and to
// 9999-12-31, the last day a date-time holds.
constexpr std::int64_t kDaysToDateTimeZero = 693593;
constexpr std::uint64_t kLastDay = 3652058;
constexpr std::uint64_t kSecondsPerDay = 86400;

// Property blobs: a signature, then chunks of names and of properties.
constexpr char kPropertySignature[] = "MR2";
constexpr unsigned kNamesChunk = 0x80;
constexpr unsigned kTableProperties = 0x00;
constexpr unsigned kColumnProperties = 0x01;
constexpr std::size_t kChunkHeader = 6;
constexpr std::size_t kEntryHeader = 8;

std::uint32_t U32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint64_t U64(const unsigned char* p) {
    return std::uint64_t(U32(p)) | std::uint64_t(U32(p + 4)) << 32;
}
std::size_t U16(const unsigned char* p) {
    return std::size_t(p[0]) | std::size_t(p[1]) << 8;
}
const unsigned char* Bytes(std::string_view s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

} // namespace

std::optional<std::string_view> UnwrapCalculated(std::string_view value) {
    if (value.size() < kCalculatedDataOffset) return std::nullopt;
    const std::uint32_t length = U32(Bytes(value) + kCalculatedLengthOffset);
    if (length > value.size() - kCalculatedDataOffset) return std::nullopt;
    return value.substr(kCalculatedDataOffset, length);
}

std::optional<std::string> CalculatedDecimalText(std::string_view data) {
    if (data.size() < kDecimalSize) return std::nullopt;
    const unsigned char* d = Bytes(data);
    const unsigned scale = d[2];
    if (scale > kMaxDecimalScale) return std::nullopt;
    unsigned __int128 magnitude = static_cast<unsigned __int128>(U32(d + 4)) << 64 | U64(d + 8);
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude != 0);
    if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
    if (scale) digits.insert(digits.size() - scale, 1, '.');
    if (d[3] & kNegativeDecimal) digits.insert(digits.begin(), '-');
    return digits;
}

std::optional<ExtendedDateTime> ReadExtendedDateTime(std::string_view value) {
    if (value.size() < kExtendedDateTimeText) return std::nullopt;
    const unsigned char* p = Bytes(value);
    bool digitsOnly = true;
    auto number = [&](std::size_t at, std::size_t count) {
        std::uint64_t v = 0;
        for (std::size_t i = at; i < at + count; ++i) {
            if (p[i] < '0' || p[i] > '9') digitsOnly = false;
            v = v * 10 + static_cast<std::uint64_t>(p[i] - '0');
        }
        return v;
    };
    const std::uint64_t days = number(0, 19);
    const std::uint64_t seconds = number(20, 12);
    const std::uint64_t ticks = number(32, 7);
    number(40, 1);
    if (!digitsOnly || p[19] != ':' || p[39] != ':') return std::nullopt;
    ExtendedDateTime out;
    if (days > kLastDay || seconds >= kSecondsPerDay) {
        out.Text.assign(value.data(), strnlen(value.data(), value.size()));
        return out;
    }
    const double day = static_cast<double>(static_cast<std::int64_t>(days) - kDaysToDateTimeZero);
    const double time =
        (static_cast<double>(seconds) + static_cast<double>(ticks) / 1e7) / double(kSecondsPerDay);
    // Before 1899-12-30 the day counts down while the time of day still
    // counts up: -1.25 is 1899-12-29 06:00.
    out.IsDateTime = true;
    out.DateTime = day < 0 ? day - time : day + time;
    return out;
}

bool ReadResultTypes(std::string_view blob, std::map<std::string, int>& types) {
    const unsigned char* b = Bytes(blob);
    const std::size_t size = blob.size();
    if (size < 4 || std::memcmp(b, kPropertySignature, 4) != 0) return false;
    std::vector<std::string> names;
    auto utf16 = [](const unsigned char* p, std::size_t n) {
        return Utf16LeToUtf8(std::string_view(reinterpret_cast<const char*>(p), n));
    };
    for (std::size_t pos = 4; pos < size;) {
        if (size - pos < kChunkHeader) return false;
        const std::size_t chunk = U32(b + pos);
        const std::size_t kind = U16(b + pos + 4);
        if (chunk < kChunkHeader || chunk > size - pos) return false;
        const unsigned char* c = b + pos + kChunkHeader;
        const std::size_t n = chunk - kChunkHeader;
        pos += chunk;
        if (kind == kNamesChunk) {
            names.clear();
            for (std::size_t at = 0; at < n;) {
                if (n - at < 2) return false;
                const std::size_t len = U16(c + at);
                if (len > n - at - 2) return false;
                names.push_back(utf16(c + at + 2, len));
                at += 2 + len;
            }
        } else if (kind == kTableProperties || kind == kColumnProperties) {
            // The owner's name, then entries: length, flags, kind, name
            // index, data length, data.
            if (n < 6) return false;
            const std::size_t header = U32(c);
            const std::size_t nameLength = U16(c + 4);
            if (header < 6 || header > n || nameLength > header - 6) return false;
            const std::string owner = utf16(c + 6, nameLength);
            for (std::size_t at = header; at < n;) {
                if (n - at < kEntryHeader) return false;
                const std::size_t entry = U16(c + at);
                const std::size_t name = U16(c + at + 4);
                const std::size_t dataLength = U16(c + at + 6);
                if (entry < kEntryHeader || entry > n - at || dataLength > entry - kEntryHeader ||
                    name >= names.size())
                    return false;
                if (kind == kColumnProperties && dataLength >= 1 && names[name] == "ResultType")
                    types[owner] = c[at + kEntryHeader];
                at += entry;
            }
        }
    }
    return true;
}

} // namespace db::ace
