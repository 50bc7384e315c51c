#include "db_test_util.h"

#include "platform/db/connection_string.h"
#include "platform/db/database_error.h"

using namespace db;
using dbtest::G;

TEST(ConnectionString, ParsesTheMainWindowsStrings) {
    struct Case {
        std::string text;
        std::string path;
        bool hasPassword;
        std::string password;
    } cases[] = {
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/data/labels.mdb;Persist Security "
         "Info=False",
         "/data/labels.mdb", false, ""},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/my docs/条码 数据.mdb;Persist Security "
         "Info=False;Jet OLEDB:Database Password=s3cr=t",
         "/my docs/条码 数据.mdb", true, "s3cr=t"},
        {"provider=MICROSOFT.JET.OLEDB.4.0 ; data source = /x.mdb ;JET OLEDB:DATABASE PASSWORD=pw",
         "/x.mdb", true, "pw"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/a;b.mdb\";Jet OLEDB:Database "
         "Password='it''s'",
         "/a;b.mdb", true, "it's"},
        {"Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/x.accdb;", "/x.accdb", false, ""},
    };
    for (const Case& c : cases) {
        const TConnectionParams p = ParseConnectionString(G(c.text));
        EXPECT_EQ(p.DataSource, G(c.path)) << c.text;
        EXPECT_EQ(p.HasPassword, c.hasPassword) << c.text;
        EXPECT_EQ(p.Password, c.password) << c.text;
    }
}

TEST(ConnectionString, RefusesWhatNoProviderWouldTake) {
    struct Case {
        const char* text;
        const char* messagePart;
    } cases[] = {
        {"Provider=SQLOLEDB;Data Source=/x.mdb", "Provider 'SQLOLEDB' is not supported"},
        {"Data Source=/x.mdb", "no provider"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False", "no database file"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=", "no database file"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/x.mdb;garbage", "near 'garbage'"},
        {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"/x.mdb", "unclosed quote"},
        {"", "no provider"},
    };
    for (const Case& c : cases) {
        const std::string msg = dbtest::MessageOf([&] { ParseConnectionString(c.text); });
        EXPECT_NE(msg.find(c.messagePart), std::string::npos) << c.text << " -> " << msg;
    }
}
