#pragma once
// .accdb files saved with "Encrypt with Password": every page after page 0
// is encrypted with a key made from the password, by one of the Office
// schemes (RC4 CryptoAPI, AES inside the CryptoAPI header, agile AES) that
// page 0's provider blob names. libmdb cannot read such a file; it is
// decrypted into memory here and libmdb reads the plain image.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace db::jet {

// Thrown by ReadAccdbEncryption: the header is cut short or damaged
// (Damaged) or names a scheme this program does not read (Unsupported).
// The layer turns it into an EDatabaseError naming the file.
struct EncryptionHeaderError {
    enum Kind { Damaged, Unsupported } kind;
    std::string detail;
};

class AccdbDecryptor {
public:
    virtual ~AccdbDecryptor() = default;
    // Derives the keys from the password (CP936, as the connection string
    // has it); false when the password is not the file's.
    virtual bool Unlock(std::string_view passwordCp936) = 0;
    // Decrypts one whole page in place; `page` is its number in the file.
    // Only after a successful Unlock.
    virtual void DecryptPage(std::uint32_t page, unsigned char* bytes, std::size_t size) const = 0;
    // The scheme's name, for tests and messages.
    virtual const char* Scheme() const = 0;
};

// The page size of every file that can carry Office encryption.
constexpr std::size_t kAccdbPageSize = 4096;

// Reads the provider blob of page 0 (as stored: the masked header is
// unmasked here). `encodingKey` is the page key of the unmasked header.
// Throws EncryptionHeaderError.
std::unique_ptr<AccdbDecryptor> ReadAccdbEncryption(std::string_view page0,
                                                    std::uint32_t encodingKey);

// Decrypts a whole file image in place with an unlocked decryptor: pages 1
// and up, and page 0's page key cleared (libmdb would otherwise decode the
// pages once more with Jet's own RC4). The size must be whole pages.
void DecryptAccdbImage(const AccdbDecryptor& decryptor, unsigned char* image, std::size_t size);

// A decrypted file image: it stays in memory (never in a file) and is wiped
// when freed.
class PlainImage {
public:
    explicit PlainImage(std::size_t size) : bytes_(size) {}
    ~PlainImage();
    PlainImage(const PlainImage&) = delete;
    PlainImage& operator=(const PlainImage&) = delete;
    unsigned char* data() { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }

private:
    std::vector<unsigned char> bytes_;
};

// The password as the Office schemes hash it: UTF-16LE code units, at most
// 255, no terminator.
std::string OfficePasswordBytes(std::string_view passwordCp936);

} // namespace db::jet
