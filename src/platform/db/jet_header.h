#pragma once
// Page 0 of an Access (Jet 3, Jet 4, ACE) database file: the checks made
// before the file is handed to libmdb, and the database password.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace db::jet {

// True when the first bytes carry the Jet or ACE signature.
bool HasJetSignature(std::string_view head);

struct JetHeader {
    int Version = 0;  // 0 Jet 3, 1 Jet 4, 2 and up ACE
    int PageSize = 0; // 2048 for Jet 3, else 4096
    int CodePage = 0;
    bool PagesEncoded = false; // every page after page 0 is encoded or encrypted
    std::uint32_t EncodingKey = 0;
    // An .accdb whose pages are encrypted with a password-derived key
    // (Access 2007 and later); a Jet file's encoded pages libmdb decodes.
    bool OfficeEncrypted() const { return Version >= 2 && PagesEncoded; }
    // The stored database password: UTF-16 code units for Jet 4 and ACE,
    // single bytes of the file's code page for Jet 3. Empty: none.
    std::u16string Password16;
    std::string Password8;

    bool HasPassword() const { return !Password16.empty() || !Password8.empty(); }
    // Whether the given password (CP936, as the connection string had it)
    // is the stored one. A file without a password accepts any.
    bool PasswordMatches(std::string_view cp936) const;
};

// Validates page 0 (magic, version, page size) against the file size and
// decodes it. Raises EDatabaseError naming what is wrong.
JetHeader ReadJetHeader(std::string_view page0, std::uint64_t fileSize);

// RC4 in place; the same call encrypts and decrypts.
void Rc4(const unsigned char* key, std::size_t keyLength, unsigned char* data, std::size_t length);

} // namespace db::jet
