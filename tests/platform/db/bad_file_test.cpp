// Files that are not databases, and Access files that are cut short or
// damaged: opening and reading them fails with a message, never a crash.

#include "db_test_util.h"

#include "platform/db/database_error.h"

#include <cstdlib>
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
    static std::string OpenAndReadAll(const std::string& path) {
        TADOConnection conn;
        TADOQuery query(&conn);
        conn.SetConnectionString(JetConnectionString(G(path)));
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
    for (const char* fixture : {"jet3-types.mdb", "jet4-plain.mdb", "jet4-encoded.mdb",
                                "jet4-unicode.mdb", "jet4-empty.mdb"}) {
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
            OpenAndReadAll(Path("garbled.mdb"));
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
