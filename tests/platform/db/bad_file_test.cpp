// Files that are not databases, and Access files that are cut short or
// damaged: opening and reading them fails with a message, never a crash.

#include "db_test_util.h"

#include "platform/db/backend.h"
#include "platform/db/database_error.h"

#include <cstdlib>
#include <numeric>
#include <random>

using namespace db;
using namespace dbtest;

namespace {

class BadFileTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const {
        return dir_.path().toStdString() + "/" + name;
    }

    // Opens the file and reads every table; "" when that all worked, else
    // the first error.
    static std::string OpenAndReadAll(const std::string& path, const std::string& password = "") {
        TADOConnection conn;
        TADOQuery query(&conn);
        conn.SetConnectionString(JetConnectionString(G(path), password));
        try {
            conn.Open();
            for (const std::string& table : conn.GetTableNames()) {
                query.Close();
                query.SetSQL("select * from [" + table + "]");
                query.Open();
                for (query.First(); !query.Eof(); query.Next())
                    for (int i = 0; i < query.FieldCount(); ++i) query.Fields(i)->AsString();
            }
        } catch (const EDatabaseError& e) {
            EXPECT_FALSE(query.Active());
            EXPECT_NE(std::string(e.what()), "");
            return e.what();
        }
        return "";
    }

    QTemporaryDir dir_;
};

const char* const kAccessFixtures[] = {
    "jet3-types.mdb",          "jet4-plain.mdb",     "jet4-password.mdb",
    "jet4-encoded.mdb",        "jet4-unicode.mdb",   "jet4-empty.mdb",
    "jet4-deleted-column.mdb", "ace-longtext.accdb", "calc-fields.accdb",
    "ext-date.accdb",          "enc-rc4.accdb"};

// The password a fixture opens with; those without one take any.
const char* PasswordOf(const std::string& fixture) {
    return fixture == "jet4-password.mdb" || fixture.rfind("enc-", 0) == 0 ? "password" : "";
}

std::size_t PageSizeOf(const std::string& bytes) {
    return bytes[0x14] == 0 ? 2048 : 4096;
}

// The tables of a file (the user tables, or all of them), with all their rows.
struct Everything {
    std::vector<std::string> tables;
    std::vector<std::vector<std::string>> rows;
    bool operator==(const Everything&) const = default;
};

// Raises EDatabaseError.
Everything ReadEverything(const std::string& utf8Path, const std::string& fixture,
                          bool systemTablesToo = true) {
    const std::string password = PasswordOf(fixture);
    const auto backend = OpenDatabaseFile(utf8Path, fixture, !password.empty(), password);
    Everything all;
    all.tables = backend->TableNames();
    const std::vector<std::string>& system = backend->SystemTableNames();
    if (systemTablesToo) all.tables.insert(all.tables.end(), system.begin(), system.end());
    for (std::size_t t = 0; t < all.tables.size(); ++t) {
        std::vector<std::size_t> wanted(backend->Columns(t).size());
        std::iota(wanted.begin(), wanted.end(), std::size_t(0));
        std::vector<std::string>& rows = all.rows.emplace_back();
        backend->ReadRows(t, wanted, [&](std::vector<Value>& row) {
            std::string line;
            for (const Value& v : row) line += v.ToString() + '\x1F';
            rows.push_back(std::move(line));
        });
    }
    return all;
}

} // namespace

TEST_F(BadFileTest, NonDatabasesFailToOpenWithAClearMessage) {
    const std::string access = ReadFile(AccessFixture("jet4-plain.mdb"));
    ASSERT_EQ(access.size(), 217088u);
    std::mt19937 random(7);
    std::string noise(8192, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    struct Case {
        const char* name;
        std::string bytes;
        const char* messagePart;
    } cases[] = {
        {"empty.mdb", "", "Unrecognized database format"},
        {"noise.mdb", noise, "neither an Access nor a SQLite database"},
        {"notes.mdb", "Provider=Microsoft.Jet.OLEDB.4.0\r\nthis is text\r\n", "Unrecognized"},
        {"header-only.mdb", access.substr(0, 1000), "header is cut short"},
        {"odd-size.mdb", access.substr(0, 100000), "not a whole number of database pages"},
        {"two-pages.mdb", access.substr(0, 8192), "too short"},
        {"version-9.mdb", access.substr(0, 0x14) + '\x09' + access.substr(0x15),
         "unknown Access file version 9"},
        {"sqlite-head.db", std::string("SQLite format 3\0", 16) + noise, "damaged or unreadable"},
    };
    for (const Case& c : cases) {
        WriteFile(Path(c.name), c.bytes);
        const std::string msg = OpenAndReadAll(Path(c.name));
        EXPECT_NE(msg.find(c.messagePart), std::string::npos) << c.name << " -> " << msg;
    }
    EXPECT_NE(OpenAndReadAll(Path("missing.mdb")).find("Could not find file"), std::string::npos);
    EXPECT_NE(OpenAndReadAll(dir_.path().toStdString()).find("Could not find file"),
              std::string::npos);
}

TEST_F(BadFileTest, TruncatedAccessFilesNeverCrash) {
    for (const char* fixture :
         {"jet3-types.mdb", "jet4-plain.mdb", "jet4-encoded.mdb", "jet4-unicode.mdb"}) {
        const std::string bytes = ReadFile(AccessFixture(fixture));
        const std::size_t page = bytes[0x14] == 0 ? 2048 : 4096;
        for (std::size_t pages = 3; pages * page < bytes.size(); pages += 2) {
            WriteFile(Path("cut.mdb"), bytes.substr(0, pages * page));
            OpenAndReadAll(Path("cut.mdb")); // success or a message, nothing else
        }
    }
}

TEST_F(BadFileTest, GarbledAccessFilesNeverCrash) {
    // DB_FUZZ_ROUNDS and DB_FUZZ_SEED run longer searches by hand.
    const int rounds =
        std::getenv("DB_FUZZ_ROUNDS") ? std::atoi(std::getenv("DB_FUZZ_ROUNDS")) : 60;
    const unsigned seed =
        std::getenv("DB_FUZZ_SEED") ? std::atoi(std::getenv("DB_FUZZ_SEED")) : 1234;
    for (const char* fixture :
         {"jet3-types.mdb", "jet4-plain.mdb", "jet4-encoded.mdb", "jet4-unicode.mdb",
          "jet4-empty.mdb", "jet4-deleted-column.mdb", "ace-longtext.accdb", "calc-fields.accdb",
          "ext-date.accdb", "enc-rc4.accdb"}) {
        const std::string original = ReadFile(AccessFixture(fixture));
        std::mt19937 random(seed);
        for (int round = 0; round < rounds; ++round) {
            std::string bytes = original;
            // Damage a few bytes anywhere after the header, or in the first
            // pages (the system catalogue lives there), or a whole run.
            const std::size_t page = bytes[0x14] == 0 ? 2048 : 4096;
            const std::size_t span = round % 2 ? bytes.size() - page : 4 * page;
            const int hits = 1 + static_cast<int>(random() % 16);
            for (int h = 0; h < hits; ++h) {
                const std::size_t at = page + random() % span;
                bytes[at] = static_cast<char>(random());
            }
            if (round % 5 == 2) {
                // The encoded part of the header: page key, code page, password.
                for (int h = 0; h < 4; ++h)
                    bytes[0x18 + random() % 0x80] = static_cast<char>(random());
            }
            if (round % 4 == 0) {
                const std::size_t at = 2048 + random() % (bytes.size() - 4096);
                for (std::size_t i = 0; i < 512; ++i) bytes[at + i] = static_cast<char>(random());
            }
            WriteFile(Path("garbled.mdb"), bytes);
            SCOPED_TRACE(std::string(fixture) + " round " + std::to_string(round));
            OpenAndReadAll(Path("garbled.mdb"), PasswordOf(fixture));
        }
    }
}

TEST_F(BadFileTest, TruncatedOrDamagedSqliteFilesFailWithAMessage) {
    const std::string path = Path("whole.db");
    std::string script = "CREATE TABLE T (B TEXT, L TEXT); BEGIN;";
    for (int i = 0; i < 3000; ++i)
        script += "INSERT INTO T VALUES ('" + std::to_string(i) + "', 'label text number " +
                  std::to_string(i) + "');";
    MakeSqlite(path, script + "COMMIT;");
    const std::string whole = ReadFile(path);
    ASSERT_GT(whole.size(), 40000u);
    EXPECT_EQ(OpenAndReadAll(path), "");

    WriteFile(Path("half.db"), whole.substr(0, whole.size() / 2));
    EXPECT_NE(OpenAndReadAll(Path("half.db")).find("damaged or unreadable"), std::string::npos);

    std::string garbled = whole;
    for (std::size_t i = 4096; i < garbled.size(); i += 97) garbled[i] = static_cast<char>(i * 7);
    WriteFile(Path("garbled.db"), garbled);
    EXPECT_NE(OpenAndReadAll(Path("garbled.db")).find("damaged or unreadable"), std::string::npos);
}

// A file cut at a page boundary reads whole or says it is damaged: never as
// fewer tables or rows. libmdb alone would read on and print its complaint.
TEST_F(BadFileTest, AccessFilesCutAtEveryPageReadWholeOrSayTheyAreDamaged) {
    StderrCapture stderrText;
    int whole = 0, damaged = 0;
    for (const char* fixture : kAccessFixtures) {
        const std::string bytes = ReadFile(AccessFixture(fixture));
        const Everything expected[] = {ReadEverything(AccessFixture(fixture), fixture, false),
                                       ReadEverything(AccessFixture(fixture), fixture, true)};
        const std::size_t page = PageSizeOf(bytes);
        for (std::size_t pages = 1; pages * page < bytes.size(); ++pages) {
            SCOPED_TRACE(std::string(fixture) + " cut after " + std::to_string(pages) + " pages");
            WriteFile(Path("cut.mdb"), bytes.substr(0, pages * page));
            for (bool systemTablesToo : {false, true}) {
                try {
                    EXPECT_TRUE(ReadEverything(Path("cut.mdb"), fixture, systemTablesToo) ==
                                expected[systemTablesToo]);
                    ++whole;
                } catch (const EDatabaseError& e) {
                    const std::string message = e.what();
                    const bool named =
                        message.find("' is damaged: table '") != std::string::npos ||
                        message.find("' is damaged: its list of tables cannot be read") !=
                            std::string::npos ||
                        (pages < 3 && message.find("too short") != std::string::npos);
                    EXPECT_TRUE(named) << message;
                    ++damaged;
                }
            }
        }
    }
    EXPECT_EQ(stderrText.Text(), "");
    EXPECT_GT(damaged, 300);
    // Cuts that take only pages of system tables leave the user tables whole.
    EXPECT_GT(whole, 100);
}

TEST_F(BadFileTest, PagesOfTheWrongKindOrOwnerAndOffsetsOutOfRangeAreDamage) {
    struct Edit {
        std::size_t at;
        std::string was, becomes;
    };
    const std::string table1 = "is damaged: table 'Table1' cannot be read";
    const std::string catalogue = "is damaged: its list of tables cannot be read";
    // jet4-plain.mdb: Table1 is defined on page 46, its rows are on page 48;
    // the catalogue's rows start on page 17. ace-longtext.accdb: Table1's row
    // moved from page 98 to page 100; its long text starts on page 91.
    constexpr std::size_t P = 4096;
    struct Case {
        const char* what;
        const char* file;
        Edit edit;
        const std::string& message;
    } cases[] = {
        {"a data page of another kind", "jet4-plain.mdb", {48 * P, "\x01", "\x02"}, table1},
        {"a data page of another table", "jet4-plain.mdb", {48 * P + 4, "\x2E", "\x2D"}, table1},
        {"a row inside the page header",
         "jet4-plain.mdb",
         {48 * P + 14, "\xEE\x0F", std::string("\x08\x00", 2)},
         table1},
        {"a row past the page", "jet4-plain.mdb", {48 * P + 14, "\xEE\x0F", "\xEE\x1F"}, table1},
        {"the usage map past the end",
         "jet4-plain.mdb",
         {46 * P + 55, std::string("\x00\x2F\x00\x00", 4), std::string("\x00\xFF\x7F\x00", 4)},
         table1},
        {"the definition continued past the end",
         "jet4-plain.mdb",
         {46 * P + 4, std::string("\x00\x00", 2), "\xFF\x7F"},
         table1},
        {"a catalogue page of another kind", "jet4-plain.mdb", {17 * P, "\x01", "\x04"}, catalogue},
        {"a moved row pointing past the end",
         "ace-longtext.accdb",
         {98 * P + 4055, std::string("\x00\x64\x00", 3), std::string("\x00\xFF\x7F", 3)},
         table1},
        {"a long value on a page of another kind",
         "ace-longtext.accdb",
         {91 * P + 4, "LVAL", "XXXX"},
         table1},
        {"a long value past the end",
         "ace-longtext.accdb",
         {100 * P + 4037, std::string("\x5B\x00", 2), "\xFF\x7F"},
         table1},
        {"a long value longer than its chain",
         "ace-longtext.accdb",
         {100 * P + 4032, "\x10\x27", "\x20\x4E"},
         table1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = ReadFile(AccessFixture(c.file));
        ASSERT_EQ(bytes.substr(c.edit.at, c.edit.was.size()), c.edit.was);
        bytes.replace(c.edit.at, c.edit.becomes.size(), c.edit.becomes);
        WriteFile(Path("edited.mdb"), bytes);
        EXPECT_NE(OpenAndReadAll(Path("edited.mdb")).find(c.message), std::string::npos)
            << OpenAndReadAll(Path("edited.mdb"));
    }
}

// libmdb prints on standard error when it meets a page it cannot use; a
// sound file, opened and read through, prints nothing.
TEST_F(BadFileTest, SoundAccessFilesReadWithoutALineOnStandardError) {
    StderrCapture stderrText;
    for (const char* fixture : kAccessFixtures) {
        const Everything all = ReadEverything(AccessFixture(fixture), fixture);
        EXPECT_GE(all.tables.size(), 5u) << fixture;
    }
    EXPECT_EQ(stderrText.Text(), "");
}
