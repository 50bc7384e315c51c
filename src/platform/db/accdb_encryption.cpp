#include "platform/db/accdb_encryption.h"

#include "platform/db/jet_header.h"
#include "platform/text/cp936.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace db::jet {
namespace {

using Bytes = std::vector<unsigned char>;

// Where page 0 keeps the provider blob (outside the masked header).
constexpr std::size_t kProviderLengthOffset = 0x299;
constexpr std::size_t kProviderOffset = 0x29B;
constexpr std::size_t kHeaderMaskStart = 0x18;
constexpr std::size_t kHeaderMaskLength = 128;
constexpr std::size_t kPageKeyOffset = 0x3E;
constexpr unsigned char kHeaderKey[] = {0xC7, 0xDA, 0x39, 0x6B};

// CryptoAPI header flags and algorithm ids.
constexpr std::uint32_t kFlagCryptoApi = 0x04;
constexpr std::uint32_t kFlagAes = 0x20;
constexpr std::uint32_t kAlgRc4 = 0x6801;
constexpr std::uint32_t kAlgAes128 = 0x660E;
constexpr std::uint32_t kAlgAes192 = 0x660F;
constexpr std::uint32_t kAlgAes256 = 0x6610;
constexpr std::uint32_t kAlgSha1 = 0x8004;
constexpr std::uint32_t kAgileFlags = 0x40;
constexpr std::uint32_t kSaltSize = 16;
constexpr int kStandardAesSpins = 50000;
// A spin count far beyond any real file would only make opening hang.
constexpr std::uint64_t kMaxSpinCount = 10'000'000;

[[noreturn]] void Damaged(const std::string& detail) {
    throw EncryptionHeaderError{EncryptionHeaderError::Damaged, detail};
}
[[noreturn]] void Unsupported(const std::string& detail) {
    throw EncryptionHeaderError{EncryptionHeaderError::Unsupported, detail};
}

std::uint32_t U32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
unsigned U16(const unsigned char* p) {
    return static_cast<unsigned>(p[0] | p[1] << 8);
}
std::array<unsigned char, 4> Le32(std::uint32_t v) {
    return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
            static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
}

// The block key of a page: its number XOR-ed with the file's page key.
std::array<unsigned char, 4> PageBlockKey(std::uint32_t page, std::uint32_t encodingKey) {
    return Le32(page ^ encodingKey);
}

struct MdCtx {
    EVP_MD_CTX* ctx = EVP_MD_CTX_new();
    MdCtx() = default;
    ~MdCtx() { EVP_MD_CTX_free(ctx); }
    MdCtx(const MdCtx&) = delete;
    MdCtx& operator=(const MdCtx&) = delete;
};

// H(a + b), reusing the context (the agile spin calls this 100,000 times).
Bytes Hash(const EVP_MD* md, EVP_MD_CTX* ctx, const unsigned char* a, std::size_t na,
           const unsigned char* b = nullptr, std::size_t nb = 0) {
    Bytes out(static_cast<std::size_t>(EVP_MD_get_size(md)));
    unsigned int n = 0;
    if (ctx == nullptr || EVP_DigestInit_ex(ctx, md, nullptr) != 1 ||
        EVP_DigestUpdate(ctx, a, na) != 1 || (nb && EVP_DigestUpdate(ctx, b, nb) != 1) ||
        EVP_DigestFinal_ex(ctx, out.data(), &n) != 1)
        throw std::bad_alloc();
    out.resize(n);
    return out;
}
Bytes Hash(const EVP_MD* md, const Bytes& a, const unsigned char* b = nullptr, std::size_t nb = 0) {
    MdCtx c;
    return Hash(md, c.ctx, a.data(), a.size(), b, nb);
}

// Cut to `size`, or padded with 0x36 (the schemes' rule for keys and IVs).
Bytes Fit(Bytes v, std::size_t size) {
    v.resize(size, 0x36);
    return v;
}

const EVP_CIPHER* AesCipher(std::size_t keyBytes, bool cbc) {
    switch (keyBytes) {
    case 16:
        return cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 24:
        return cbc ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    case 32:
        return cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    default:
        return nullptr;
    }
}

// AES without padding over whole blocks, in place; iv null for ECB.
void AesDecrypt(const Bytes& key, const unsigned char* iv, unsigned char* data, std::size_t size) {
    const EVP_CIPHER* cipher = AesCipher(key.size(), iv != nullptr);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int n = 0, tail = 0;
    const bool ok = cipher && ctx &&
                    EVP_DecryptInit_ex(ctx, cipher, nullptr, key.data(), iv) == 1 &&
                    EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
                    EVP_DecryptUpdate(ctx, data, &n, data, static_cast<int>(size)) == 1 &&
                    EVP_DecryptFinal_ex(ctx, data + n, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok) throw std::bad_alloc();
}

bool SameBytes(const unsigned char* a, const unsigned char* b, std::size_t n) {
    return CRYPTO_memcmp(a, b, n) == 0;
}

// ---- RC4 and AES inside the CryptoAPI header ------------------------------

struct CryptoApiHeader {
    std::uint32_t flags = 0, algId = 0, keyBits = 0;
    Bytes salt, verifier, verifierHash;
};

CryptoApiHeader ReadCryptoApiHeader(const unsigned char* p, std::size_t size) {
    if (size < 12) Damaged("the encryption header is cut short");
    const std::uint64_t headerSize = U32(p + 8);
    constexpr std::size_t kFixedHeader = 32; // flags .. reserved2
    if (headerSize < kFixedHeader || 12 + headerSize + 40 > size)
        Damaged("the encryption header is cut short");
    CryptoApiHeader h;
    const unsigned char* hdr = p + 12;
    h.flags = U32(hdr);
    h.algId = U32(hdr + 8);
    const std::uint32_t hashAlg = U32(hdr + 12);
    h.keyBits = U32(hdr + 16);
    if (hashAlg != 0 && hashAlg != kAlgSha1)
        Unsupported("hash algorithm " + std::to_string(hashAlg));
    const bool aes = h.algId == kAlgAes128 || h.algId == kAlgAes192 || h.algId == kAlgAes256;
    if (!aes && h.algId != kAlgRc4 && h.algId != 0)
        Unsupported("cipher algorithm " + std::to_string(h.algId));
    // The provider's name decides what a key size of 0 means.
    std::u16string csp;
    for (std::size_t at = kFixedHeader; at + 2 <= headerSize; at += 2) {
        const char16_t unit = static_cast<char16_t>(U16(hdr + at));
        if (unit == 0) break;
        csp.push_back(unit);
    }
    if (h.keyBits == 0) {
        QString name = QString::fromStdU16String(csp).toLower();
        h.keyBits = name.isEmpty() || name.contains(QStringLiteral(" base ")) ? 40 : 128;
    }
    const unsigned char* v = p + 12 + headerSize;
    if (U32(v) != kSaltSize) Damaged("the encryption header is damaged");
    h.salt.assign(v + 4, v + 20);
    h.verifier.assign(v + 20, v + 36);
    const std::uint32_t hashSize = U32(v + 36);
    const std::size_t stored = aes ? 32 : 20;
    if (hashSize != 20) Damaged("the encryption header is damaged");
    if (12 + headerSize + 40 + stored > size) Damaged("the encryption header is cut short");
    h.verifierHash.assign(v + 40, v + 40 + stored);
    return h;
}

class Rc4CryptoApi : public AccdbDecryptor {
public:
    Rc4CryptoApi(CryptoApiHeader h, std::uint32_t encodingKey)
        : h_(std::move(h)), encodingKey_(encodingKey) {
        if (h_.keyBits < 40 || h_.keyBits > 128 || h_.keyBits % 8 != 0)
            Unsupported("RC4 key of " + std::to_string(h_.keyBits) + " bits");
    }
    const char* Scheme() const override { return "RC4 CryptoAPI"; }

    bool Unlock(std::string_view password) override {
        const std::string pw = OfficePasswordBytes(password);
        h0_ =
            Hash(EVP_sha1(), h_.salt, reinterpret_cast<const unsigned char*>(pw.data()), pw.size());
        Bytes key = Key({0, 0, 0, 0});
        // One stream over the verifier and then its hash.
        Bytes both = h_.verifier;
        both.insert(both.end(), h_.verifierHash.begin(), h_.verifierHash.end());
        Rc4(key.data(), key.size(), both.data(), both.size());
        const Bytes digest = Hash(EVP_sha1(), Bytes(both.begin(), both.begin() + 16));
        return SameBytes(digest.data(), both.data() + 16, 20);
    }

    void DecryptPage(std::uint32_t page, unsigned char* bytes, std::size_t size) const override {
        const Bytes key = Key(PageBlockKey(page, encodingKey_));
        Rc4(key.data(), key.size(), bytes, size);
    }

private:
    Bytes Key(const std::array<unsigned char, 4>& block) const {
        Bytes key = Hash(EVP_sha1(), h0_, block.data(), block.size());
        key.resize(h_.keyBits / 8);
        // A 40-bit key is used as 128 bits, the rest zero.
        if (h_.keyBits == 40) key.resize(16, 0);
        return key;
    }

    CryptoApiHeader h_;
    std::uint32_t encodingKey_;
    Bytes h0_;
};

class AesCryptoApi : public AccdbDecryptor {
public:
    AesCryptoApi(CryptoApiHeader h, std::uint32_t encodingKey, bool standard)
        : h_(std::move(h)), encodingKey_(encodingKey), standard_(standard) {
        const std::uint32_t expected = h_.algId == kAlgAes128   ? 128
                                       : h_.algId == kAlgAes192 ? 192
                                                                : 256;
        if (h_.keyBits != expected)
            Unsupported("AES key of " + std::to_string(h_.keyBits) + " bits");
    }
    const char* Scheme() const override { return standard_ ? "AES standard" : "AES CryptoAPI"; }

    bool Unlock(std::string_view password) override {
        const std::string pw = OfficePasswordBytes(password);
        MdCtx c;
        h_iter_ = Hash(EVP_sha1(), c.ctx, h_.salt.data(), h_.salt.size(),
                       reinterpret_cast<const unsigned char*>(pw.data()), pw.size());
        if (standard_) {
            for (int i = 0; i < kStandardAesSpins; ++i) {
                const auto n = Le32(static_cast<std::uint32_t>(i));
                h_iter_ =
                    Hash(EVP_sha1(), c.ctx, n.data(), n.size(), h_iter_.data(), h_iter_.size());
            }
        }
        Bytes both = h_.verifier;
        both.insert(both.end(), h_.verifierHash.begin(), h_.verifierHash.end());
        AesDecrypt(Key({0, 0, 0, 0}), nullptr, both.data(), both.size());
        const Bytes digest = Hash(EVP_sha1(), Bytes(both.begin(), both.begin() + 16));
        return SameBytes(digest.data(), both.data() + 16, 20);
    }

    void DecryptPage(std::uint32_t page, unsigned char* bytes, std::size_t size) const override {
        AesDecrypt(Key(PageBlockKey(page, encodingKey_)), nullptr, bytes, size);
    }

private:
    Bytes Key(const std::array<unsigned char, 4>& block) const {
        const Bytes f = Hash(EVP_sha1(), h_iter_, block.data(), block.size());
        Bytes x(64, 0x36), y(64, 0x5C);
        for (std::size_t i = 0; i < f.size(); ++i) x[i] ^= f[i], y[i] ^= f[i];
        Bytes key = Hash(EVP_sha1(), x);
        const Bytes second = Hash(EVP_sha1(), y);
        key.insert(key.end(), second.begin(), second.end());
        key.resize(h_.keyBits / 8);
        return key;
    }

    CryptoApiHeader h_;
    std::uint32_t encodingKey_;
    bool standard_;
    Bytes h_iter_;
};

// ---- Agile -----------------------------------------------------------------

struct AgileParams {
    const EVP_MD* hash = nullptr;
    std::size_t keyBits = 0, blockSize = 0, saltSize = 0, hashSize = 0;
    std::uint64_t spinCount = 0;
    Bytes salt, verifierInput, verifierValue, keyValue;
};

const EVP_MD* HashByName(const QString& name) {
    const QString n = name.toUpper().remove(QLatin1Char('-'));
    if (n == QLatin1String("SHA1")) return EVP_sha1();
    if (n == QLatin1String("SHA256")) return EVP_sha256();
    if (n == QLatin1String("SHA384")) return EVP_sha384();
    if (n == QLatin1String("SHA512")) return EVP_sha512();
    return nullptr;
}

// The attributes both keyData and encryptedKey carry.
void ReadCipherAttributes(const QXmlStreamAttributes& a, AgileParams& p, const char* what) {
    bool ok[4];
    p.keyBits = a.value(QLatin1String("keyBits")).toUInt(&ok[0]);
    p.blockSize = a.value(QLatin1String("blockSize")).toUInt(&ok[1]);
    p.saltSize = a.value(QLatin1String("saltSize")).toUInt(&ok[2]);
    p.hashSize = a.value(QLatin1String("hashSize")).toUInt(&ok[3]);
    if (!(ok[0] && ok[1] && ok[2] && ok[3]))
        Damaged(std::string("the encryption header's ") + what + " is damaged");
    const QString cipher = a.value(QLatin1String("cipherAlgorithm")).toString();
    const QString chaining = a.value(QLatin1String("cipherChaining")).toString();
    if (cipher != QLatin1String("AES")) Unsupported("cipher " + cipher.toStdString());
    if (chaining != QLatin1String("ChainingModeCBC"))
        Unsupported("chaining " + chaining.toStdString());
    if (p.keyBits != 128 && p.keyBits != 192 && p.keyBits != 256)
        Unsupported("AES key of " + std::to_string(p.keyBits) + " bits");
    if (p.blockSize != 16) Damaged(std::string("the encryption header's ") + what + " is damaged");
    const QString hashName = a.value(QLatin1String("hashAlgorithm")).toString();
    p.hash = HashByName(hashName);
    if (p.hash == nullptr) Unsupported("hash algorithm " + hashName.toStdString());
    if (p.hashSize != static_cast<std::size_t>(EVP_MD_get_size(p.hash)))
        Damaged(std::string("the encryption header's ") + what + " is damaged");
    p.salt = Bytes();
    const QByteArray salt = QByteArray::fromBase64(a.value(QLatin1String("saltValue")).toLatin1());
    p.salt.assign(salt.begin(), salt.end());
    if (p.salt.size() != p.saltSize || p.saltSize == 0)
        Damaged(std::string("the encryption header's ") + what + " is damaged");
}

Bytes Base64Attribute(const QXmlStreamAttributes& a, const char* name) {
    const QByteArray v = QByteArray::fromBase64(a.value(QLatin1String(name)).toLatin1());
    return Bytes(v.begin(), v.end());
}

class AgileDecryptor : public AccdbDecryptor {
public:
    AgileDecryptor(std::string_view xml, std::uint32_t encodingKey) : encodingKey_(encodingKey) {
        QXmlStreamReader reader(
            QByteArray::fromRawData(xml.data(), static_cast<qsizetype>(xml.size())));
        bool haveKeyData = false, havePassword = false, inPasswordEncryptor = false;
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement) continue;
            const QStringView name = reader.name();
            const QXmlStreamAttributes a = reader.attributes();
            if (name == QLatin1String("keyData") && !haveKeyData) {
                ReadCipherAttributes(a, data_, "key data");
                haveKeyData = true;
            } else if (name == QLatin1String("keyEncryptor")) {
                inPasswordEncryptor =
                    a.value(QLatin1String("uri")) ==
                    QLatin1String("http://schemas.microsoft.com/office/2006/keyEncryptor/password");
            } else if (name == QLatin1String("encryptedKey") && inPasswordEncryptor &&
                       !havePassword) {
                ReadCipherAttributes(a, key_, "password key");
                bool ok = false;
                key_.spinCount = a.value(QLatin1String("spinCount")).toULongLong(&ok);
                if (!ok) Damaged("the encryption header's spin count is damaged");
                if (key_.spinCount > kMaxSpinCount)
                    Unsupported("spin count " + std::to_string(key_.spinCount));
                key_.verifierInput = Base64Attribute(a, "encryptedVerifierHashInput");
                key_.verifierValue = Base64Attribute(a, "encryptedVerifierHashValue");
                key_.keyValue = Base64Attribute(a, "encryptedKeyValue");
                havePassword = true;
            }
        }
        if (reader.hasError() && !(haveKeyData && havePassword))
            Damaged(reader.error() == QXmlStreamReader::PrematureEndOfDocumentError
                        ? "the encryption header is cut short"
                        : "the encryption header is damaged");
        if (!haveKeyData || !havePassword) Damaged("the encryption header is cut short");
        // Each encrypted value is whole cipher blocks, long enough for what
        // is read from it.
        auto blocks = [&](const Bytes& v, std::size_t need) {
            if (v.empty() || v.size() % key_.blockSize != 0 || v.size() < need)
                Damaged("the encryption header's password key is damaged");
        };
        blocks(key_.verifierInput, key_.saltSize);
        blocks(key_.verifierValue, key_.hashSize);
        blocks(key_.keyValue, data_.keyBits / 8);
    }
    const char* Scheme() const override { return "agile AES"; }

    bool Unlock(std::string_view password) override {
        const std::string pw = OfficePasswordBytes(password);
        MdCtx c;
        Bytes h = Hash(key_.hash, c.ctx, key_.salt.data(), key_.salt.size(),
                       reinterpret_cast<const unsigned char*>(pw.data()), pw.size());
        for (std::uint64_t i = 0; i < key_.spinCount; ++i) {
            const auto n = Le32(static_cast<std::uint32_t>(i));
            h = Hash(key_.hash, c.ctx, n.data(), n.size(), h.data(), h.size());
        }
        static const unsigned char kInputBlock[] = {0xFE, 0xA7, 0xD2, 0x76, 0x3B, 0x4B, 0x9E, 0x79};
        static const unsigned char kValueBlock[] = {0xD7, 0xAA, 0x0F, 0x6D, 0x30, 0x61, 0x34, 0x4E};
        static const unsigned char kKeyBlock[] = {0x14, 0x6E, 0x0B, 0xE7, 0xAB, 0xAC, 0xD0, 0xD6};
        const Bytes iv = Fit(key_.salt, key_.blockSize);
        auto decrypt = [&](const unsigned char* block, Bytes value) {
            const Bytes k =
                Fit(Hash(key_.hash, c.ctx, h.data(), h.size(), block, 8), key_.keyBits / 8);
            AesDecrypt(k, iv.data(), value.data(), value.size());
            return value;
        };
        const Bytes input = decrypt(kInputBlock, key_.verifierInput);
        const Bytes value = decrypt(kValueBlock, key_.verifierValue);
        const Bytes digest = Hash(key_.hash, c.ctx, input.data(), key_.saltSize);
        if (!SameBytes(digest.data(), value.data(), key_.hashSize)) return false;
        Bytes dataKey = decrypt(kKeyBlock, key_.keyValue);
        dataKey.resize(data_.keyBits / 8);
        dataKey_ = std::move(dataKey);
        return true;
    }

    void DecryptPage(std::uint32_t page, unsigned char* bytes, std::size_t size) const override {
        const auto block = PageBlockKey(page, encodingKey_);
        const Bytes iv =
            Fit(Hash(data_.hash, data_.salt, block.data(), block.size()), data_.blockSize);
        AesDecrypt(dataKey_, iv.data(), bytes, size);
    }

private:
    AgileParams data_, key_;
    std::uint32_t encodingKey_;
    Bytes dataKey_;
};

} // namespace

PlainImage::~PlainImage() {
    OPENSSL_cleanse(bytes_.data(), bytes_.size());
}

std::string OfficePasswordBytes(std::string_view passwordCp936) {
    std::u16string units =
        QString::fromStdString(text::Cp936ToUtf8(passwordCp936)).toStdU16String();
    if (units.size() > 255) units.resize(255);
    std::string bytes;
    for (char16_t u : units) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

std::unique_ptr<AccdbDecryptor> ReadAccdbEncryption(std::string_view page0,
                                                    std::uint32_t encodingKey) {
    if (page0.size() < kAccdbPageSize) Damaged("the encryption header is cut short");
    const auto* raw = reinterpret_cast<const unsigned char*>(page0.data());
    const std::size_t length = U16(raw + kProviderLengthOffset);
    if (length < 8 || kProviderOffset + length > kAccdbPageSize)
        Damaged("the encryption header is cut short");
    const unsigned char* p = raw + kProviderOffset;
    const unsigned major = U16(p), minor = U16(p + 2);
    const std::uint32_t flags = U32(p + 4);
    const std::string version = std::to_string(major) + "." + std::to_string(minor);
    if (major == 4 && minor == 4) {
        if (flags != kAgileFlags)
            Unsupported("encryption version 4.4 with flags " + std::to_string(flags));
        return std::make_unique<AgileDecryptor>(
            std::string_view(reinterpret_cast<const char*>(p + 8), length - 8), encodingKey);
    }
    if ((major == 2 || major == 3 || major == 4) && minor == 2) {
        CryptoApiHeader h = ReadCryptoApiHeader(p, length);
        if (!(h.flags & kFlagCryptoApi)) Unsupported("encryption version " + version);
        const bool aesAlg = h.algId == kAlgAes128 || h.algId == kAlgAes192 || h.algId == kAlgAes256;
        if (h.flags & kFlagAes) {
            if (!aesAlg) Unsupported("AES encryption with algorithm " + std::to_string(h.algId));
            return std::make_unique<AesCryptoApi>(std::move(h), encodingKey, true);
        }
        if (h.algId == kAlgRc4 || h.algId == 0)
            return std::make_unique<Rc4CryptoApi>(std::move(h), encodingKey);
        if (aesAlg) return std::make_unique<AesCryptoApi>(std::move(h), encodingKey, false);
        Unsupported("cipher algorithm " + std::to_string(h.algId));
    }
    Unsupported("encryption version " + version);
}

void DecryptAccdbImage(const AccdbDecryptor& decryptor, unsigned char* image, std::size_t size) {
    for (std::size_t at = kAccdbPageSize; at + kAccdbPageSize <= size; at += kAccdbPageSize)
        decryptor.DecryptPage(static_cast<std::uint32_t>(at / kAccdbPageSize), image + at,
                              kAccdbPageSize);
    // The page key lives in the masked part of the header.
    Rc4(kHeaderKey, sizeof kHeaderKey, image + kHeaderMaskStart, kHeaderMaskLength);
    std::memset(image + kPageKeyOffset, 0, 4);
    Rc4(kHeaderKey, sizeof kHeaderKey, image + kHeaderMaskStart, kHeaderMaskLength);
}

} // namespace db::jet
