// ODBC: connection strings for SQL Server and other drivers, and the behaviour
// against a server that does not answer.
#include <gtest/gtest.h>

#include <chrono>

#include "erp/db_query.h"
#include "erp/odbc_backend.h"
#include "erp/odbc_connect.h"
#include "erp/odbc_drivers.h"
#include "platform/text.h"
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

namespace {
const TOdbcDriverEntry kFreeTds{"FreeTDS", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"};
const TOdbcDriverEntry kMs17{"ODBC Driver 17 for SQL Server", "/opt/microsoft/msodbcsql17/lib64/libmsodbcsql-17.10.so.6.1"};
const TOdbcDriverEntry kMs18{"ODBC Driver 18 for SQL Server", "/opt/microsoft/msodbcsql18/lib64/libmsodbcsql-18.3.so.3.1"};
const TOdbcDriverEntry kSqlite{"SQLite3", "libsqlite3odbc.so"};
} // namespace

TEST(OdbcConnect, FreeTdsWhenMicrosoftsDriverIsMissing) {
    // Without its library known, the entry name "FreeTDS" still counts (older driver
    // managers list names only).
    const std::vector<TOdbcDriverEntry> installed = {{"FreeTDS", ""}, kSqlite};
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
    const std::vector<TOdbcDriverEntry> installed = {kMs17, kFreeTds, kMs18};
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
        std::vector<TOdbcDriverEntry> installed;
        for (const auto& name : c.installed) installed.push_back({name, ""});
        installed.push_back(kFreeTds);
        const std::string text = BuildOdbcConnectString(Params("SQLNCLI11", "navsql"), installed);
        EXPECT_EQ(text.substr(0, text.find('}') + 1), "Driver={" + c.driver + "}") << c.installed[0];
    }
}

// The driver is chosen by what is installed, FreeTDS by its library under any entry
// name, or by [Datenbank] Treiber=.
TEST(OdbcConnect, DriverChoice) {
    struct Case {
        const char* what;
        std::vector<TOdbcDriverEntry> installed;
        std::string named;  // Treiber=
        std::string driver;
        TOdbcDriverKind kind;
    } cases[] = {
        {"FreeTDS under another name", {kSqlite, {"SQL Server (TDS)", "libtdsodbc.so"}}, "", "SQL Server (TDS)", odFreeTds},
        {"Microsoft before FreeTDS", {kFreeTds, kMs17}, "", kMs17.Name, odMicrosoft},
        {"Microsoft under another name", {kFreeTds, {"MSSQL", kMs18.Library}}, "", "MSSQL", odMicrosoft},
        {"named FreeTDS although Microsoft's is there", {kMs18, {"tds", kFreeTds.Library}}, "TDS", "TDS", odFreeTds},
        {"named Microsoft driver", {kMs17, kMs18, kFreeTds}, "ODBC Driver 17 for SQL Server", kMs17.Name, odMicrosoft},
        {"named library path", {}, "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so",
         "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so", odFreeTds},
        {"named Microsoft driver not listed", {kFreeTds}, "ODBC Driver 18 for SQL Server", kMs18.Name, odMicrosoft},
    };
    for (const auto& c : cases) {
        auto p = Params("SQLOLEDB.1", "navsql");
        p.Driver = c.named;
        TOdbcDriver d = ChooseOdbcDriver(p, c.installed);
        EXPECT_EQ(d.Name, c.driver) << c.what;
        EXPECT_EQ(d.Kind, c.kind) << c.what;
    }
}

TEST(OdbcConnect, NoSqlServerDriverIsAGermanErrorNamingThePackages) {
    const std::string none = velkaro::test::ErrorOf([] { ChooseOdbcDriver(Params("SQLOLEDB.1", "navsql"), {kSqlite}); });
    EXPECT_NE(none.find("Kein ODBC-Treiber für SQL Server installiert"), std::string::npos) << none;
    EXPECT_NE(none.find("tdsodbc"), std::string::npos) << none;
    EXPECT_NE(none.find("msodbcsql18"), std::string::npos) << none;

    auto p = Params("SQLOLEDB.1", "navsql");
    p.Driver = "SQLite3";
    const std::string wrong = velkaro::test::ErrorOf([&] { ChooseOdbcDriver(p, {kSqlite, kFreeTds}); });
    EXPECT_NE(wrong.find("\"SQLite3\" aus [Datenbank] Treiber= ist kein Treiber für SQL Server"), std::string::npos)
        << wrong;
    p.Driver = "Gibtsnicht";
    const std::string missing = velkaro::test::ErrorOf([&] { ChooseOdbcDriver(p, {kFreeTds}); });
    EXPECT_NE(missing.find("\"Gibtsnicht\" aus [Datenbank] Treiber= ist nicht installiert"), std::string::npos)
        << missing;
}

// Every option in the driver's own words, as golden strings.
TEST(OdbcConnect, OptionsPerDriver) {
    struct Case {
        const char* what;
        std::string server, user, login, encryption, trust, options;
        std::string freeTds, microsoft;
    } cases[] = {
        {"SQL login", "navsql,1433", "nav", "", "", "", "",
         "Server=navsql;Port=1433;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;UID=nav;PWD=pw",
         "Server=navsql,1433;Database=Cronus;UID=nav;PWD=pw"},
        {"empty user: Windows", "navsql\\NAV", "", "", "", "", "",
         "Server=navsql\\NAV;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;Trusted_Connection=Yes",
         "Server=navsql\\NAV;Database=Cronus;Trusted_Connection=yes"},
        {"Windows although a user is set", "navsql", "sa", "windows", "", "", "",
         "Server=navsql;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;Trusted_Connection=Yes",
         "Server=navsql;Database=Cronus;Trusted_Connection=yes"},
        {"SQL login with the user empty", "navsql", "", "SQL", "", "", "",
         "Server=navsql;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;UID=;PWD=pw",
         "Server=navsql;Database=Cronus;UID=;PWD=pw"},
        {"encryption off", "navsql", "sa", "", "aus", "", "",
         "Server=navsql;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;UID=sa;PWD=pw;Encryption=off",
         "Server=navsql;Database=Cronus;UID=sa;PWD=pw;Encrypt=no"},
        {"encryption requested, certificate trusted", "navsql", "sa", "", "ja", "1", "",
         "Server=navsql;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;UID=sa;PWD=pw;Encryption=request",
         "Server=navsql;Database=Cronus;UID=sa;PWD=pw;Encrypt=yes;TrustServerCertificate=yes"},
        {"strict, certificate checked", "navsql", "sa", "", "Streng", "0", "",
         "Server=navsql;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;UID=sa;PWD=pw;Encryption=require",
         "Server=navsql;Database=Cronus;UID=sa;PWD=pw;Encrypt=strict;TrustServerCertificate=no"},
        {"further options verbatim", "navsql , 1500", "sa", "", "", "", "ApplicationIntent=ReadOnly;LoginTimeout=5",
         "Server=navsql;Port=1500;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;UID=sa;PWD=pw;"
         "ApplicationIntent=ReadOnly;LoginTimeout=5",
         "Server=navsql,1500;Database=Cronus;UID=sa;PWD=pw;ApplicationIntent=ReadOnly;LoginTimeout=5"},
        {"options with their own semicolon", "navsql", "", "Windows", "ja", "1", ";ServerSPN=MSSQLSvc/navsql:1433",
         "Server=navsql;Database=Cronus;TDS_Version=7.4;ClientCharset=UTF-8;Trusted_Connection=Yes;Encryption=request;"
         "ServerSPN=MSSQLSvc/navsql:1433",
         "Server=navsql;Database=Cronus;Trusted_Connection=yes;Encrypt=yes;TrustServerCertificate=yes;"
         "ServerSPN=MSSQLSvc/navsql:1433"},
    };
    for (const auto& c : cases) {
        auto p = Params("SQLOLEDB.1", c.server, c.user);
        p.Login = c.login;
        p.Encryption = c.encryption;
        p.TrustServerCertificate = c.trust;
        p.ConnectOptions = c.options;
        EXPECT_EQ(BuildOdbcConnectString(p, TOdbcDriver{"TDS", odFreeTds}), "Driver={TDS};" + c.freeTds) << c.what;
        EXPECT_EQ(BuildOdbcConnectString(p, TOdbcDriver{kMs18.Name, odMicrosoft}), "Driver={" + kMs18.Name + "};" + c.microsoft)
            << c.what;
    }
}

TEST(OdbcConnect, InvalidOptionValuesAreNamed) {
    struct Case {
        std::string login, encryption, trust, message;
    } cases[] = {
        {"Kerberos", "", "", "[Datenbank] Anmeldung=Kerberos ist kein gültiger Wert; erlaubt: Windows oder SQL."},
        {"", "immer", "", "[Datenbank] Verschluesselung=immer ist kein gültiger Wert; erlaubt: aus, ja oder streng."},
        {"", "", "ja", "[Datenbank] ServerZertifikatVertrauen=ja ist kein gültiger Wert; erlaubt: 0 oder 1."},
    };
    for (const auto& c : cases) {
        auto p = Params("SQLOLEDB.1", "navsql");
        p.Login = c.login;
        p.Encryption = c.encryption;
        p.TrustServerCertificate = c.trust;
        for (TOdbcDriverKind kind : {odFreeTds, odMicrosoft}) {
            EXPECT_EQ(velkaro::test::ErrorOf([&] { BuildOdbcConnectString(p, TOdbcDriver{"X", kind}); }), c.message);
        }
    }
}

TEST(OdbcConnect, ValuesThatNeedBraces) {
    auto p = Params("SQLOLEDB", "navsql");
    p.Password = "a;b}c";
    p.Database = " NAV DB";
    EXPECT_EQ(BuildOdbcConnectString(p, {kFreeTds}),
              "Driver={FreeTDS};Server=navsql;Database={ NAV DB};TDS_Version=7.4;ClientCharset=UTF-8;UID=sa;"
              "PWD={a;b}}c}");
    EXPECT_EQ(BuildOdbcConnectString(p, TOdbcDriver{"Treiber {neu}", odMicrosoft}),
              "Driver={Treiber {neu}}};Server=navsql;Database={ NAV DB};UID=sa;PWD={a;b}}c}");
    EXPECT_EQ(OdbcAttribute("PWD", "x=y"), "PWD={x=y}");
    EXPECT_EQ(OdbcAttribute("PWD", "plain"), "PWD=plain");
}

TEST(OdbcConnect, OtherProvidersAreDriverNames) {
    TDbConnectParams p;
    p.Provider = "SQLite3";
    p.Database = "/srv/nav.db";
    EXPECT_EQ(BuildOdbcConnectString(p, {kSqlite}), "Driver={SQLite3};Database=/srv/nav.db");
    p.Provider = "PostgreSQL Unicode";
    p.Server = "db";
    p.User = "nav";
    p.Password = "geheim";
    EXPECT_EQ(BuildOdbcConnectString(p, std::vector<TOdbcDriverEntry>{}),
              "Driver={PostgreSQL Unicode};Server=db;Database=/srv/nav.db;UID=nav;PWD=geheim");
}

// Samples of what odbcinst prints (unixODBC 2.3).
TEST(OdbcDrivers, OdbcinstOutput) {
    EXPECT_EQ(ParseOdbcinstDriverNames("[FreeTDS]\n[ODBC Driver 18 for SQL Server]\n[SQLite3]\n"),
              (std::vector<std::string>{"FreeTDS", "ODBC Driver 18 for SQL Server", "SQLite3"}));
    EXPECT_EQ(ParseOdbcinstDriverNames(""), std::vector<std::string>{});
    EXPECT_EQ(ParseOdbcinstDriverNames("[]\nodbcinst: nothing\r\n[SQL Server (TDS)]\r\n"),
              std::vector<std::string>{"SQL Server (TDS)"});

    struct Case {
        std::string output, library;
    } cases[] = {
        {"[FreeTDS]\nDescription=TDS driver (Sybase/MS SQL)\nDriver=libtdsodbc.so\nSetup=libtdsS.so\nCPTimeout=\n"
         "UsageCount=1\n",
         "libtdsodbc.so"},
        {"[ODBC Driver 18 for SQL Server]\nDescription=Microsoft ODBC Driver 18 for SQL Server\n"
         "Driver = /opt/microsoft/msodbcsql18/lib64/libmsodbcsql-18.3.so.3.1\nUsageCount=1\n",
         "/opt/microsoft/msodbcsql18/lib64/libmsodbcsql-18.3.so.3.1"},
        {"[X]\nDriver64=/usr/lib/x.so\nDescription=Driver=none\n", ""},
        {"[X]\r\ndriver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\r\n", "/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so"},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseOdbcinstDriverLibrary(c.output), c.library) << c.output;
}

// On this machine: what the driver manager knows, with libraries, as a connection
// would see it.
TEST(OdbcDrivers, InstalledEntriesCarryTheirLibraries) {
    bool freeTds = false;
    for (const auto& e : InstalledOdbcDriverEntries())
        if (SameText(e.Name, "FreeTDS")) {
            freeTds = true;
            EXPECT_EQ(OdbcDriverKind(e.Name, e.Library), odFreeTds) << e.Library;
            EXPECT_NE(e.Library.find("libtdsodbc"), std::string::npos) << e.Library;
        }
    if (!freeTds) VELKARO_SKIP_UNLESS_CI() << "FreeTDS-ODBC-Treiber nicht installiert (Debian-Paket tdsodbc)";
}

TEST(OdbcBackend, UnreachableServerFailsWithTheDriverMessage) {
    bool freeTds = false;
    for (const auto& d : InstalledOdbcDrivers()) freeTds = freeTds || d == "FreeTDS";
    if (!freeTds) VELKARO_SKIP_UNLESS_CI() << "FreeTDS-ODBC-Treiber nicht installiert (Debian-Paket tdsodbc)";
    // Port 1 on the local machine refuses at once; a silent host would wait for the
    // login time-out (also given here, a few seconds).
    auto start = std::chrono::steady_clock::now();
    try {
        OpenOdbcBackend(BuildOdbcConnectString(Params("SQLOLEDB.1", "127.0.0.1,1"), {kFreeTds}), 3);
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
