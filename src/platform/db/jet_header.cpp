#include "platform/db/jet_header.h"

#include "platform/db/database_error.h"
#include "platform/db/unicode.h"
#include "platform/text/cp936.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace db::jet {
namespace {

constexpr char kJetMagic[] = "\x00\x01\x00\x00Standard Jet DB";
constexpr char kAceMagic[] = "\x00\x01\x00\x00Standard ACE DB";
constexpr std::size_t kMagicLength = 20; // includes the NUL after the name
constexpr std::size_t kEncryptedStart = 0x18;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kCreationDateOffset = 0x72;
constexpr std::uint64_t kMinimumPages = 3; // header, usage map, system catalogue definition
constexpr unsigned kNewestVersion = 6;     // Access 2019

std::uint32_t GetU32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

} // namespace

void Rc4(const unsigned char* key, std::size_t keyLength, unsigned char* data, std::size_t length) {
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLength]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t n = 0, i = 0, j = 0; n < length; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

bool HasJetSignature(std::string_view head) {
    return head.size() >= kMagicLength && (std::memcmp(head.data(), kJetMagic, kMagicLength) == 0 ||
                                           std::memcmp(head.data(), kAceMagic, kMagicLength) == 0);
}

JetHeader ReadJetHeader(std::string_view page0, std::uint64_t fileSize) {
    if (!HasJetSignature(page0)) throw EDatabaseError("it is not an Access database");
    const bool ace = std::memcmp(page0.data(), kAceMagic, kMagicLength) == 0;
    if (page0.size() < kEncryptedStart + 4)
        throw EDatabaseError("the Access database header is cut short");

    JetHeader h;
    const auto* raw = reinterpret_cast<const unsigned char*>(page0.data());
    // One byte: Access 2010 writes 03 01 there, the byte after it is not
    // part of the version.
    const unsigned version = raw[0x14];
    if (version > kNewestVersion || (version >= 2) != ace)
        throw EDatabaseError("unknown Access file version " + std::to_string(version));
    h.Version = static_cast<int>(version);
    h.PageSize = version == 0 ? 2048 : 4096;
    if (page0.size() < static_cast<std::size_t>(h.PageSize) || fileSize < std::uint64_t(h.PageSize))
        throw EDatabaseError("the Access database header is cut short");
    if (fileSize % h.PageSize != 0)
        throw EDatabaseError("the file size is not a whole number of database pages (truncated "
                             "or damaged file)");
    if (fileSize / h.PageSize < kMinimumPages)
        throw EDatabaseError("the file is too short to hold an Access database (truncated file)");

    // The rest of the header is RC4-encrypted with a fixed key.
    unsigned char page[4096];
    std::memcpy(page, raw, h.PageSize);
    static const unsigned char key[] = {0xC7, 0xDA, 0x39, 0x6B};
    Rc4(key, sizeof key, page + kEncryptedStart, version == 0 ? 126 : 128);

    h.CodePage = page[0x3C] | page[0x3D] << 8;
    h.EncodingKey = GetU32(page + 0x3E);
    h.PagesEncoded = h.EncodingKey != 0;
    if (version == 0) {
        for (std::size_t i = 0; i < 20 && page[kPasswordOffset + i] != 0; ++i)
            h.Password8.push_back(static_cast<char>(page[kPasswordOffset + i]));
    } else {
        // Masked with the whole days of the creation date.
        double created;
        std::memcpy(&created, page + kCreationDateOffset, sizeof created);
        unsigned char mask[4] = {0, 0, 0, 0};
        if (std::isfinite(created) && created > -2147483648.0 && created < 2147483648.0) {
            const auto days =
                static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(created)));
            for (int i = 0; i < 4; ++i) mask[i] = static_cast<unsigned char>(days >> (8 * i));
        }
        for (std::size_t i = 0; i < 20; ++i) {
            const unsigned char lo = page[kPasswordOffset + 2 * i] ^ mask[(2 * i) % 4];
            const unsigned char hi = page[kPasswordOffset + 2 * i + 1] ^ mask[(2 * i + 1) % 4];
            const char16_t unit = static_cast<char16_t>(lo | hi << 8);
            if (unit == 0) break;
            h.Password16.push_back(unit);
        }
    }
    return h;
}

bool JetHeader::PasswordMatches(std::string_view cp936) const {
    if (!HasPassword()) return true;
    if (!Password8.empty()) return cp936 == Password8;
    // Compared as Unicode; bytes that are not CP936 text (which would read
    // as '?') match nothing.
    const std::string utf8 = text::Cp936ToUtf8(cp936);
    if (text::Utf8ToCp936(utf8) != cp936) return false;
    return utf8 == Utf16ToUtf8(Password16);
}

} // namespace db::jet
