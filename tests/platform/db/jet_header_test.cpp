// The database password of Access files: stored in the RC4-encoded header
// page, masked with the creation date in Jet 4.

#include "db_test_util.h"

#include "platform/db/jet_header.h"

#include <cmath>
#include <cstring>

using namespace db;
using namespace dbtest;

namespace {

const unsigned char kHeaderKey[] = {0xC7, 0xDA, 0x39, 0x6B};

// Rewrites the password of a copy of an Access file's header page.
std::string WithPassword(std::string file, const std::u16string& password) {
    auto* page = reinterpret_cast<unsigned char*>(file.data());
    const bool jet3 = page[0x14] == 0;
    const std::size_t length = jet3 ? 126 : 128;
    jet::Rc4(kHeaderKey, 4, page + 0x18, length);
    if (jet3) {
        std::memset(page + 0x42, 0, 20);
        for (std::size_t i = 0; i < password.size(); ++i)
            page[0x42 + i] = static_cast<unsigned char>(password[i]);
    } else {
        double created;
        std::memcpy(&created, page + 0x72, 8);
        const auto days =
            static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(created)));
        for (std::size_t i = 0; i < 40; ++i) {
            const char16_t unit = i / 2 < password.size() ? password[i / 2] : 0;
            const unsigned char b = static_cast<unsigned char>(i % 2 ? unit >> 8 : unit);
            page[0x42 + i] = b ^ static_cast<unsigned char>(days >> (8 * (i % 4)));
        }
    }
    jet::Rc4(kHeaderKey, 4, page + 0x18, length);
    return file;
}

} // namespace

TEST(JetHeader, Rc4MatchesTheKnownVectors) {
    struct Case {
        std::string key, plain, cipherHex;
    } cases[] = {
        {"Key", "Plaintext", "BBF316E8D940AF0AD3"},
        {"Wiki", "pedia", "1021BF0420"},
        {"Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"},
    };
    for (const Case& c : cases) {
        std::string data = c.plain;
        jet::Rc4(reinterpret_cast<const unsigned char*>(c.key.data()), c.key.size(),
                 reinterpret_cast<unsigned char*>(data.data()), data.size());
        std::string hex;
        for (unsigned char b : data) {
            char two[3];
            std::snprintf(two, sizeof two, "%02X", b);
            hex += two;
        }
        EXPECT_EQ(hex, c.cipherHex) << c.key;
    }
}

TEST(JetHeader, ReadsVersionPageSizeAndStoredPassword) {
    struct Case {
        const char* file;
        int version;
        bool encoded;
        std::u16string password;
    } cases[] = {
        {"jet3-types.mdb", 0, false, u""},
        {"jet4-plain.mdb", 1, false, u""},
        {"jet4-password.mdb", 1, false, u"password"},
        {"jet4-encoded.mdb", 1, true, u""},
    };
    for (const Case& c : cases) {
        const std::string bytes = ReadFile(AccessFixture(c.file));
        const jet::JetHeader h = jet::ReadJetHeader(bytes.substr(0, 4096), bytes.size());
        EXPECT_EQ(h.Version, c.version) << c.file;
        EXPECT_EQ(h.PageSize, c.version == 0 ? 2048 : 4096) << c.file;
        EXPECT_EQ(h.PagesEncoded, c.encoded) << c.file;
        EXPECT_EQ(h.Password16, c.password) << c.file;
        EXPECT_EQ(h.HasPassword(), !c.password.empty()) << c.file;
    }
}

// Files protected here with passwords Access would accept: a Jet 3 one and a
// Jet 4 one in Chinese, which reaches the layer as CP936.
TEST(JetHeader, CraftedPasswordsOpenOnlyWithTheirExactText) {
    QTemporaryDir dir;
    struct Case {
        const char* fixture;
        std::u16string stored;
        std::string given; // UTF-8; "-" for none
        bool opens;
    } cases[] = {
        {"jet3-types.mdb", u"Abc123", "Abc123", true},
        {"jet3-types.mdb", u"Abc123", "abc123", false},
        {"jet3-types.mdb", u"Abc123", "-", false},
        {"jet3-types.mdb", u"twentycharacterslong", "twentycharacterslong", true},
        {"jet3-types.mdb", u"twentycharacterslong", "twentycharacterslongX", false},
        {"jet4-plain.mdb", u"条码pw", "条码pw", true},
        {"jet4-plain.mdb", u"条码pw", "条码", false},
        {"jet4-plain.mdb", u"条码pw", "-", false},
        {"jet4-plain.mdb", u"ä", "?", false}, // what CP936 would make of it
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string path =
            dir.path().toStdString() + "/locked" + std::to_string(n++) + ".mdb";
        WriteFile(path, WithPassword(ReadFile(AccessFixture(c.fixture)), c.stored));
        TADOConnection conn;
        conn.SetConnectionString(
            JetConnectionString(G(path), c.given == "-" ? std::string() : G(c.given)));
        const std::string msg = MessageOf([&] { conn.Open(); });
        EXPECT_EQ(msg, c.opens ? "(no error)" : "Not a valid password.")
            << c.fixture << " " << c.given;
        if (c.opens) {
            EXPECT_FALSE(conn.GetTableNames().empty());
        }
    }
}

TEST(JetHeader, AceHeadersNeedTheirOwnSignature) {
    std::string bytes = ReadFile(AccessFixture("jet4-plain.mdb"));
    bytes[0x14] = 2; // Access 2007 version, but the Jet signature
    EXPECT_NE(MessageOf([&] {
                  jet::ReadJetHeader(bytes.substr(0, 4096), bytes.size());
              }).find("unknown Access file version 2"),
              std::string::npos);
    std::memcpy(bytes.data() + 4, "Standard ACE DB", 15);
    const jet::JetHeader h = jet::ReadJetHeader(bytes.substr(0, 4096), bytes.size());
    EXPECT_EQ(h.Version, 2);
    EXPECT_EQ(h.PageSize, 4096);
}
