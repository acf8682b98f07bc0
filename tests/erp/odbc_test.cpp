// ODBC: connection strings for SQL Server and other drivers, and the behaviour
// against a server that does not answer.
#include <gtest/gtest.h>

#include <chrono>

#include "erp/db_query.h"
#include "erp/odbc_backend.h"
#include "erp/odbc_connect.h"
#include "nav_test_db.h"
#include "platform/error.h"
#include "support/test_support.h"

using namespace velkaro;

namespace {
TDbConnectParams Params(const std::string& provider, const std::string& server, const std::string& user = "sa") {
    TDbConnectParams p;
    p.Provider = provider;
    p.Server = server;
    p.Database = "Cronus";
    p.User = user;
    p.Password = "pw";
    return p;
}
} // namespace

TEST(OdbcConnect, OleDbProvidersMeanSqlServer) {
    for (const char* p : {"SQLOLEDB", "SQLOLEDB.1", "sqloledb.1", "MSOLEDBSQL", "MSOLEDBSQL19", "SQLNCLI11", " SQLNCLI ", ""})
        EXPECT_TRUE(IsSqlServerProvider(p)) << p;
    for (const char* p : {"SQLite3", "PostgreSQL Unicode", "/usr/lib/odbc/libx.so"}) EXPECT_FALSE(IsSqlServerProvider(p)) << p;
}

TEST(OdbcConnect, FreeTdsWhenMicrosoftsDriverIsMissing) {
    const std::vector<std::string> installed = {"FreeTDS", "SQLite3"};
    EXPECT_EQ(BuildOdbcConnectString(Params("SQLOLEDB.1", "navsql"), installed),
              "Driver={FreeTDS};Server=navsql;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;UID=sa;PWD=pw");
    EXPECT_EQ(BuildOdbcConnectString(Params("SQLOLEDB.1", "navsql, 1433"), installed),
              "Driver={FreeTDS};Server=navsql;Port=1433;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;UID=sa;PWD=pw");
    EXPECT_EQ(BuildOdbcConnectString(Params("MSOLEDBSQL", "navsql\\NAV2016", ""), installed),
              "Driver={FreeTDS};Server=navsql\\NAV2016;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;"
              "Trusted_Connection=Yes")
        << "no user: integrated authentication, no password";
}

TEST(OdbcConnect, NewestMicrosoftDriverWins) {
    const std::vector<std::string> installed = {"ODBC Driver 17 for SQL Server", "FreeTDS", "ODBC Driver 18 for SQL Server"};
    EXPECT_EQ(BuildOdbcConnectString(Params("SQLNCLI11", "navsql,1433"), installed),
              "Driver={ODBC Driver 18 for SQL Server};Server=navsql,1433;Database=Cronus;UID=sa;PWD=pw");
}

TEST(OdbcConnect, OnlyWholeMicrosoftDriverNamesCount) {
    // The name is compared whole and without regard to case; a version too long for a
    // number is no driver of ours and no reason to fail.
    struct Case {
        std::vector<std::string> installed;
        std::string driver;
    } cases[] = {
        {{"odbc driver 13 for sql server"}, "odbc driver 13 for sql server"},
        {{"ODBC Driver 17 for SQL Server", "ODBC Driver 99999999999999999999 for SQL Server"},
         "ODBC Driver 17 for SQL Server"},
        {{"ODBC Driver 18 for SQL Server\n", "ODBC Driver 18 for SQL Server (alt)", "x ODBC Driver 18 for SQL Server"},
         "FreeTDS"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> installed = c.installed;
        installed.push_back("FreeTDS");
        const std::string text = BuildOdbcConnectString(Params("SQLNCLI11", "navsql"), installed);
        EXPECT_EQ(text.substr(0, text.find('}') + 1), "Driver={" + c.driver + "}") << c.installed[0];
    }
}

TEST(OdbcConnect, ValuesThatNeedBraces) {
    auto p = Params("SQLOLEDB", "navsql");
    p.Password = "a;b}c";
    p.Database = " NAV DB";
    EXPECT_EQ(BuildOdbcConnectString(p, {}),
              "Driver={FreeTDS};Server=navsql;Database={ NAV DB};TDS_Version=7.4;ClientCharset=UTF-8;UID=sa;"
              "PWD={a;b}}c}");
    EXPECT_EQ(OdbcAttribute("PWD", "x=y"), "PWD={x=y}");
    EXPECT_EQ(OdbcAttribute("PWD", "plain"), "PWD=plain");
}

TEST(OdbcConnect, OtherProvidersAreDriverNames) {
    TDbConnectParams p;
    p.Provider = "SQLite3";
    p.Database = "/srv/nav.db";
    EXPECT_EQ(BuildOdbcConnectString(p, {"SQLite3"}), "Driver={SQLite3};Database=/srv/nav.db");
    p.Provider = "PostgreSQL Unicode";
    p.Server = "db";
    p.User = "nav";
    p.Password = "geheim";
    EXPECT_EQ(BuildOdbcConnectString(p, {}), "Driver={PostgreSQL Unicode};Server=db;Database=/srv/nav.db;UID=nav;PWD=geheim");
}

TEST(OdbcBackend, UnreachableServerFailsWithTheDriverMessage) {
    bool freeTds = false;
    for (const auto& d : InstalledOdbcDrivers()) freeTds = freeTds || d == "FreeTDS";
    if (!freeTds) VELKARO_SKIP_UNLESS_CI() << "FreeTDS-ODBC-Treiber nicht installiert (Debian-Paket tdsodbc)";
    // Port 1 on the local machine refuses at once; a silent host would wait for the
    // login time-out (also given here, a few seconds).
    auto start = std::chrono::steady_clock::now();
    try {
        OpenOdbcBackend(BuildOdbcConnectString(Params("SQLOLEDB.1", "127.0.0.1,1"), {"FreeTDS"}), 3);
        FAIL() << "connected to a closed port";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("[FreeTDS]"), std::string::npos) << e.what();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(OdbcBackend, UnknownDriverNameIsReported) {
    try {
        OpenOdbcBackend("Driver={Kein Treiber};Database=x", 3);
        FAIL();
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("Kein Treiber"), std::string::npos) << e.what();
    }
}

// The driver's English text stays, in parentheses behind a German sentence saying what
// failed; several diagnostic records stay on one line.
TEST(OdbcBackend, DriverMessagesComeWithAGermanSentence) {
    const std::string unknown = velkaro::test::ErrorOf([] { OpenOdbcBackend("Driver={Kein Treiber};Database=x", 3); });
    EXPECT_EQ(unknown.rfind("Verbindung zur Datenbank fehlgeschlagen (", 0), 0u) << unknown;
    EXPECT_TRUE(unknown.ends_with(")")) << unknown;
    EXPECT_EQ(unknown.find('\n'), std::string::npos) << unknown;

    const std::string driver = velkaro::test::SqliteOdbcDriver();
    if (driver.empty())
        VELKARO_SKIP_UNLESS_CI() << "SQLite-ODBC-Treiber nicht installiert (Debian-Paket libsqliteodbc)";
    velkaro::test::TempFolder folder;
    velkaro::test::ExecSqlite(folder.File("a.db"), "CREATE TABLE t (x);");
    auto backend = OpenOdbcBackend("Driver={" + driver + "};Database=" + folder.File("a.db"), 3);
    TDbQuery q(backend, "SELECT * FROM fehlt");
    const std::string query = velkaro::test::ErrorOf([&] { q.Open(); });
    EXPECT_EQ(query.rfind("Datenbankabfrage fehlgeschlagen (", 0), 0u) << query;
    EXPECT_NE(query.find("no such table: fehlt"), std::string::npos) << query;
    EXPECT_TRUE(query.ends_with(")")) << query;
}
