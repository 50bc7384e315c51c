// Access 2007-2019 files: the Access 2010 header, calculated columns,
// Date/Time Extended and files encrypted with a password, as Access wrote
// them; and what damage in each of those gives.

#include "db_test_util.h"

#include "platform/db/accdb_encryption.h"
#include "platform/db/backend.h"
#include "platform/db/database_error.h"
#include "platform/db/jet_header.h"
#include "platform/rtl/dateutils.h"

#include <openssl/evp.h>

#include <cstring>
#include <numeric>

using namespace db;
using namespace dbtest;

namespace {

// Every value of every row of every table, as text, and the table names.
std::vector<std::string> Dump(Backend& b) {
    std::vector<std::string> out;
    for (std::size_t t = 0; t < b.TableNames().size(); ++t) {
        out.push_back("table " + b.TableName(t));
        std::vector<std::size_t> wanted(b.Columns(t).size());
        std::iota(wanted.begin(), wanted.end(), std::size_t(0));
        b.ReadRows(t, wanted, [&](std::vector<Value>& row) {
            std::string line;
            for (const Value& v : row) line += v.ToString() + '|';
            out.push_back(line);
        });
    }
    return out;
}

std::string OpenMessage(const std::string& path, const char* password) {
    return MessageOf(
        [&] { OpenDatabaseFile(path, "the file", password != nullptr, password ? password : ""); });
}

class AccdbTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir_.path().toStdString() + "/" + name;
        WriteFile(path, bytes);
        return path;
    }
    QTemporaryDir dir_;
};

constexpr std::size_t kPage = 4096;

} // namespace

// The version is the byte at 0x14 alone: Access 2010 writes 03 01 there.
TEST_F(AccdbTest, Access2010HeadersOpenWhateverFollowsTheVersionByte) {
    for (const char* fixture : {"ace-longtext.accdb", "calc-fields.accdb", "ext-date.accdb"}) {
        SCOPED_TRACE(fixture);
        std::string bytes = ReadFile(AccessFixture(fixture));
        const auto original = OpenDatabaseFile(AccessFixture(fixture), fixture, false, "");
        const std::vector<std::string> expected = Dump(*original);
        bytes[0x15] = 1;
        const jet::JetHeader h = jet::ReadJetHeader(bytes.substr(0, kPage), bytes.size());
        EXPECT_EQ(h.Version, static_cast<unsigned char>(bytes[0x14]));
        const auto copy = OpenDatabaseFile(Write("v2010.accdb", bytes), fixture, false, "");
        EXPECT_EQ(Dump(*copy), expected);
    }
}

// Calculated columns read as the values Access computed, of their result
// kinds; Date/Time Extended as date-times down to the fraction of a second.
TEST_F(AccdbTest, CalculatedAndExtendedDateColumnsHaveTheirResultKinds) {
    TADOConnection conn;
    TADOQuery q(&conn);
    conn.SetConnectionString(JetConnectionString(AccessFixture("calc-fields.accdb")));
    conn.Open();
    q.SetSQL("select * from [Table1]");
    q.Open();
    struct Kind {
        const char* field;
        TFieldType type;
    } kinds[] = {{"LastFirst", ftString},       {"LastFirstLen", ftInteger},
                 {"MonthlySalary", ftCurrency}, {"IsRich", ftBoolean},
                 {"AllNames", ftMemo},          {"WeeklySalary", ftBCD},
                 {"FloatTest", ftFloat},        {"DecimalTest", ftBCD}};
    for (const Kind& k : kinds) EXPECT_EQ(q.FieldByName(k.field).DataType(), k.type) << k.field;

    TADOConnection conn2;
    TADOQuery q2(&conn2);
    conn2.SetConnectionString(JetConnectionString(AccessFixture("ext-date.accdb")));
    conn2.Open();
    q2.SetSQL("select [DateExt],[DateExtStr] from [Table1] where [Field1] like \"row6\"");
    q2.Open();
    ASSERT_EQ(q2.RecordCount(), 1);
    EXPECT_EQ(q2.Fields(0)->DataType(), ftDateTime);
    const double v = q2.Fields(0)->AsValue().AsFloat();
    EXPECT_EQ(rtl::FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v), "2021-06-14 22:45:12.346");
    EXPECT_EQ(q2.Fields(1)->AsString(), "6/14/2021 10:45:12.3456789 PM");
}

TEST_F(AccdbTest, EncryptedFilesOpenWithTheirPasswordOnly) {
    struct Case {
        const char* file;
        const char* password; // nullptr: none given
        const char* scheme;
        bool opens;
    } cases[] = {
        {"enc-agile.accdb", "password", "agile AES", true},
        {"enc-rc4.accdb", "password", "RC4 CryptoAPI", true},
        {"enc-agile.accdb", "Password", "agile AES", false},
        {"enc-rc4.accdb", "passwor", "RC4 CryptoAPI", false},
        {"enc-agile.accdb", nullptr, "agile AES", false},
        {"enc-rc4.accdb", "", "RC4 CryptoAPI", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " / " + (c.password ? c.password : "-"));
        const std::string bytes = ReadFile(AccessFixture(c.file));
        const jet::JetHeader h = jet::ReadJetHeader(bytes.substr(0, kPage), bytes.size());
        ASSERT_TRUE(h.OfficeEncrypted());
        EXPECT_STREQ(jet::ReadAccdbEncryption(bytes.substr(0, kPage), h.EncodingKey)->Scheme(),
                     c.scheme);

        TADOConnection conn;
        std::string cs = JetConnectionString(AccessFixture(c.file));
        if (c.password) cs += std::string(";Jet OLEDB:Database Password=\"") + c.password + "\"";
        conn.SetConnectionString(cs);
        const std::string msg = MessageOf([&] { conn.Open(); });
        if (c.opens) {
            ASSERT_EQ(msg, "(no error)");
            EXPECT_EQ(conn.GetTableNames(), std::vector<std::string>{"Table1"});
            TADOQuery q(&conn);
            q.SetSQL("select * from [Table1]");
            q.Open();
            EXPECT_EQ(Rows(q), (std::vector<std::string>{"1|One", "2|Two", "3|Three"}));
        } else {
            EXPECT_EQ(msg, "Not a valid password.");
            EXPECT_FALSE(conn.Connected());
            EXPECT_THROW(conn.GetTableNames(), EDatabaseError);
        }
    }
}

// Damage in the new parts of the format gives the damaged-file message
// naming the file or the table: never a crash, a hang, or a null read as
// if it were the value.
TEST_F(AccdbTest, DamageInWrappersExtendedDatesAndEncryptionHeadersIsReported) {
    const std::string calc = ReadFile(AccessFixture("calc-fields.accdb"));
    const std::string ext = ReadFile(AccessFixture("ext-date.accdb"));
    const std::string agile = ReadFile(AccessFixture("enc-agile.accdb"));
    const std::string rc4 = ReadFile(AccessFixture("enc-rc4.accdb"));
    const std::string table = "is damaged: table 'Table1' cannot be read";

    // The first row's LastFirst wrapper says 14 bytes; make it say more than
    // the value holds.
    const std::string wrapped =
        std::string(16, '\0') + std::string("\x0E\0\0\0", 4) + "\xFF\xFEWayne";
    const std::size_t at = calc.find(wrapped);
    ASSERT_NE(at, std::string::npos);
    std::string longWrapper = calc;
    longWrapper[at + 16] = '\x7F';

    const std::size_t date = ext.find("0000000000000737954:0000000819123456789:7");
    ASSERT_NE(date, std::string::npos);
    std::string letters = ext;
    letters[date + 10] = 'x';
    std::string noColon = ext;
    noColon[date + 19] = '-';

    auto provider = [](std::string bytes, std::size_t offset, const std::string& with) {
        bytes.replace(0x29B + offset, with.size(), with);
        return bytes;
    };
    std::string shortBlob = agile;
    shortBlob[0x299] = '\x40'; // the XML cut after 56 bytes
    shortBlob[0x29A] = '\0';
    std::string blobPastPage = rc4;
    blobPastPage[0x29A] = '\x10';

    struct Case {
        const char* what;
        std::string bytes;
        const char* password;
        std::string message;
    } cases[] = {
        {"a wrapper longer than its value", longWrapper, nullptr, table},
        {"an extended date with a letter", letters, nullptr, table},
        {"an extended date without its colon", noColon, nullptr, table},
        {"an encryption header cut short", shortBlob, "password",
         "The database 'the file' is damaged: the encryption header is cut short"},
        {"an encryption header past the page", blobPastPage, "password",
         "The database 'the file' is damaged: the encryption header is cut short"},
        {"an unknown encryption version", provider(agile, 0, std::string("\x03\0\x03\0", 4)),
         "password",
         "The database 'the file' is encrypted in a way this program cannot read (encryption "
         "version 3.3)"},
        {"an unknown cipher", provider(rc4, 12 + 8, std::string("\x01\x66\0\0", 4)), "password",
         "The database 'the file' is encrypted in a way this program cannot read (cipher "
         "algorithm 26113)"},
        {"a file cut after its header", agile.substr(0, 3 * kPage), "password", "is damaged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = Write("damaged.accdb", c.bytes);
        std::string msg;
        try {
            const auto b = OpenDatabaseFile(path, "the file", c.password != nullptr,
                                            c.password ? c.password : "");
            Dump(*b);
            msg = "(no error)";
        } catch (const EDatabaseError& e) {
            msg = e.what();
        }
        EXPECT_NE(msg.find(c.message), std::string::npos) << msg;
    }
    // Agile's cipher attribute named otherwise.
    std::string blowfish = agile;
    const std::size_t aes = blowfish.find("cipherAlgorithm=\"AES\"");
    ASSERT_NE(aes, std::string::npos);
    blowfish.replace(aes + 17, 3, "DES");
    EXPECT_EQ(OpenMessage(Write("des.accdb", blowfish), "password"),
              "The database 'the file' is encrypted in a way this program cannot read (cipher "
              "DES)");
}

// An encrypted file cut at any page boundary, or with any byte of its
// encryption header changed, opens, refuses the password or says it is
// damaged.
TEST_F(AccdbTest, GarbledEncryptionHeadersNeverCrash) {
    for (const char* fixture : {"enc-agile.accdb", "enc-rc4.accdb"}) {
        const std::string bytes = ReadFile(AccessFixture(fixture));
        const std::size_t length = static_cast<unsigned char>(bytes[0x299]) |
                                   static_cast<unsigned char>(bytes[0x29A]) << 8;
        // Each agile trial spins its key 100,000 times: fewer of those.
        const std::size_t step = std::strcmp(fixture, "enc-agile.accdb") == 0 ? 29 : 3;
        for (std::size_t i = 0; i < length + 2; i += step) {
            std::string garbled = bytes;
            garbled[0x299 + i] = static_cast<char>(garbled[0x299 + i] ^ 0x5A);
            const std::string msg = OpenMessage(Write("garbled.accdb", garbled), "password");
            EXPECT_TRUE(msg == "(no error)" || msg == "Not a valid password." ||
                        msg.find("The database 'the file' is") == 0)
                << fixture << " byte " << i << ": " << msg;
        }
    }
}

namespace {

using Bytes = std::string;

Bytes Sha1(const Bytes& a, const Bytes& b = "") {
    unsigned char out[20];
    EVP_MD_CTX* c = EVP_MD_CTX_new();
    EVP_DigestInit_ex(c, EVP_sha1(), nullptr);
    EVP_DigestUpdate(c, a.data(), a.size());
    EVP_DigestUpdate(c, b.data(), b.size());
    unsigned n = 0;
    EVP_DigestFinal_ex(c, out, &n);
    EVP_MD_CTX_free(c);
    return Bytes(reinterpret_cast<char*>(out), n);
}

Bytes Le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

void AesEcbEncrypt(const Bytes& key, char* data, std::size_t size) {
    EVP_CIPHER_CTX* c = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(c, EVP_aes_128_ecb(), nullptr,
                       reinterpret_cast<const unsigned char*>(key.data()), nullptr);
    EVP_CIPHER_CTX_set_padding(c, 0);
    int n = 0;
    auto* p = reinterpret_cast<unsigned char*>(data);
    EVP_EncryptUpdate(c, p, &n, p, static_cast<int>(size));
    EVP_CIPHER_CTX_free(c);
}

// Encrypts a plain ACE file as Access does with AES-128 in the CryptoAPI
// header, written from the published key derivation: the file then opens
// only with `password`.
Bytes EncryptWithCryptoApiAes(Bytes file, const Bytes& password, bool standard) {
    const Bytes pw = jet::OfficePasswordBytes(password);
    const Bytes salt = "0123456789abcdef";
    Bytes h = Sha1(salt, pw);
    if (standard)
        for (std::uint32_t i = 0; i < 50000; ++i) h = Sha1(Le32(i), h);
    auto key = [&](const Bytes& block) {
        const Bytes f = Sha1(h, block);
        Bytes x(64, '\x36'), y(64, '\x5C');
        for (std::size_t i = 0; i < f.size(); ++i) x[i] ^= f[i], y[i] ^= f[i];
        return (Sha1(x) + Sha1(y)).substr(0, 16);
    };
    const std::uint32_t pageKey = 0x5A17C3E9;
    for (std::size_t at = kPage; at < file.size(); at += kPage)
        AesEcbEncrypt(key(Le32(static_cast<std::uint32_t>(at / kPage) ^ pageKey)), &file[at],
                      kPage);
    // The page key in the masked header.
    static const unsigned char mask[] = {0xC7, 0xDA, 0x39, 0x6B};
    auto* page0 = reinterpret_cast<unsigned char*>(file.data());
    jet::Rc4(mask, 4, page0 + 0x18, 128);
    std::memcpy(page0 + 0x3E, Le32(pageKey).data(), 4);
    jet::Rc4(mask, 4, page0 + 0x18, 128);
    // The provider blob: version 4.2, the header, the verifier.
    const std::u16string csp = u"Microsoft Enhanced RSA and AES Cryptographic Provider";
    Bytes name;
    for (char16_t u : csp) name += Bytes{static_cast<char>(u), static_cast<char>(u >> 8)};
    name += Bytes(2, '\0');
    const std::uint32_t flags = standard ? 0x24 : 0x04;
    Bytes header = Le32(flags) + Le32(0) + Le32(0x660E) + Le32(0x8004) + Le32(128) + Le32(0x18) +
                   Le32(0) + Le32(0) + name;
    const Bytes verifier = "verifier-bytes!!";
    Bytes encryptedVerifier = verifier, hash = Sha1(verifier) + Bytes(12, '\0');
    AesEcbEncrypt(key(Bytes(4, '\0')), encryptedVerifier.data(), 16);
    AesEcbEncrypt(key(Bytes(4, '\0')), hash.data(), 32);
    const Bytes blob = Bytes("\x04\x00\x02\x00", 4) + Le32(flags) +
                       Le32(static_cast<std::uint32_t>(header.size())) + header + Le32(16) + salt +
                       encryptedVerifier + Le32(20) + hash;
    file.replace(0x299, 2, Le32(static_cast<std::uint32_t>(blob.size())).substr(0, 2));
    file.replace(0x29B, blob.size(), blob);
    return file;
}

} // namespace

// AES inside the CryptoAPI header, with and without the iterated key: no
// such file is among the fixtures, so one is made from a plain one.
TEST_F(AccdbTest, CryptoApiAesFilesOpenWithTheirPassword) {
    const std::string plain = ReadFile(AccessFixture("calc-fields.accdb"));
    const auto original = OpenDatabaseFile(AccessFixture("calc-fields.accdb"), "plain", false, "");
    const std::vector<std::string> expected = Dump(*original);
    for (bool standard : {false, true}) {
        SCOPED_TRACE(standard ? "standard" : "non-standard");
        const std::string path =
            Write("aes.accdb", EncryptWithCryptoApiAes(plain, G("密码"), standard));
        const std::string bytes = ReadFile(path);
        const jet::JetHeader h = jet::ReadJetHeader(bytes.substr(0, kPage), bytes.size());
        EXPECT_STREQ(jet::ReadAccdbEncryption(bytes.substr(0, kPage), h.EncodingKey)->Scheme(),
                     standard ? "AES standard" : "AES CryptoAPI");
        EXPECT_EQ(OpenMessage(path, "wrong"), "Not a valid password.");
        const auto opened = OpenDatabaseFile(path, "aes", true, G("密码"));
        EXPECT_EQ(Dump(*opened), expected);
    }
}
