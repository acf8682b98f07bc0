// Connection and discovery: companies, tables, version lines.
#include "nav_backend_fixture.h"

#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

using namespace velkaro;
using namespace velkaro::test;

namespace {
const char* const kPlainIni = "[Datenbank]\nProvider=\nDatenbank=\n";
}

class NavDiscovery : public NavBackendTest {};

TEST_P(NavDiscovery, DemoCompaniesAndTables) {
    OpenDemo();
    EXPECT_FALSE(FNav->Connected()) << "no connection before the first query";
    EXPECT_EQ(FNav->Companies(), (std::vector<std::string>{"Muster GmbH", "Nordwind Handels GmbH"}));
    EXPECT_TRUE(FNav->Connected());
    EXPECT_EQ(FNav->Dialect(), sdSqlite);
    EXPECT_TRUE(FNav->TableExists("Muster GmbH", "CMNM Recipient"));
    EXPECT_TRUE(FNav->TableExists("muster gmbh", "cmnm recipient")) << "table names ignore letter case";
    EXPECT_FALSE(FNav->TableExists("Nordwind Handels GmbH", "CMNM Recipient"));
    EXPECT_FALSE(FNav->TableExists("Muster GmbH'; --", "Customer"));
    FNav->Disconnect();
    EXPECT_FALSE(FNav->Connected());
    EXPECT_EQ(FNav->Companies().size(), 2u) << "the next query connects again";
}

TEST_P(NavDiscovery, CompaniesInNameOrderWithAwkwardNames) {
    std::string db = FFolder.File("companies.db");
    ExecSqlite(db, NavSchemaSql("B GmbH") + NavSchemaSql("X]'$ Y") + NavSchemaSql("A") +
                       "CREATE TABLE \"C$Customer\" (x);");
    Open(db, kPlainIni);
    EXPECT_EQ(FNav->Companies(), (std::vector<std::string>{"A", "B GmbH", "X]'$ Y"}));
    EXPECT_TRUE(FNav->TableExists("X]'$ Y", "Sales Invoice Line"));
    EXPECT_EQ(FNav->TableName("X]'$ Y", "Customer"), "\"X]'$ Y$Customer\"");
}

TEST_P(NavDiscovery, DatabaseWithoutNavTables) {
    std::string db = FFolder.File("empty.db");
    ExecSqlite(db, "CREATE TABLE other (x);");
    Open(db, kPlainIni);
    EXPECT_TRUE(FNav->Companies().empty());
    std::vector<std::string> lines = FNav->NavVersionInfo();
    ASSERT_EQ(lines.size(), 2u);
    // The driver's own message: "no such table: Object", decorated by the ODBC driver.
    EXPECT_EQ(lines[0].rfind("NAV-Version   : nicht ermittelbar (", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find("no such table: Object"), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1].rfind("Datenbank     : SQLite 3.", 0), 0u) << lines[1];
}

TEST_P(NavDiscovery, VersionLinesOfTheDemo) {
    OpenDemo();
    std::vector<std::string> lines = FNav->NavVersionInfo();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "NAV-Version   : Microsoft Dynamics NAV 2016 (9.00, Build 47256)");
    EXPECT_EQ(lines[1], "Anwendung     : Codeunit 1 = NAVW19.00.00.47256,NAVDE9.00.00.47256  vom 04.10.2016");
    EXPECT_EQ(lines[2], "Objektstände  : NAVW19.00.00.47256,NAVDE9.00.00.47256,VELK1.0");
    EXPECT_EQ(lines[3], "NAV-Dienst    : NAV90 auf NAVSRV01");
    EXPECT_EQ(lines[4], "DB-Version    : 80 (NAV-intern)");
    EXPECT_EQ(lines[5].rfind("Datenbank     : SQLite 3.", 0), 0u) << lines[5];
    EXPECT_NE(lines[5].find(", Schema-Version 1"), std::string::npos) << lines[5];
}

TEST_P(NavDiscovery, VersionLinesWithoutServerInstanceTable) {
    std::string db = FFolder.File("noinstance.db");
    ExecSqlite(db, NavDatabaseSql() + "DROP TABLE [Server Instance];"
                   "INSERT INTO [Object] ([Type], [ID], [Version List]) VALUES (5, 1, 'NAVDE13.00');");
    Open(db, kPlainIni);
    std::vector<std::string> lines = FNav->NavVersionInfo();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "NAV-Version   : NAVDE13.00");
    EXPECT_EQ(lines[1], "Anwendung     : Codeunit 1 = NAVDE13.00  vom 01.01.1753");
    EXPECT_EQ(lines[2].rfind("Datenbank     : SQLite", 0), 0u) << "no NAV-Dienst line, no DB-Version line";
}

TEST_P(NavDiscovery, LookupAndFirstRow) {
    OpenDemo();
    const std::string customers = FNav->TableName("Muster GmbH", "Customer");
    EXPECT_EQ(FNav->LookupText("SELECT [Name] FROM " + customers + " WHERE [No_] = :p", "D20000"),
              "Landratsamt Musterkreis");
    EXPECT_EQ(FNav->LookupText("SELECT [Name] FROM " + customers + " WHERE [No_] = :p", "D99999"), "");
    EXPECT_EQ(FNav->LookupText("SELECT no_such_column FROM nowhere WHERE x = :p", ""), "")
        << "an empty value runs no query";
    EXPECT_THROW(FNav->LookupText("SELECT no_such_column FROM nowhere WHERE x = :p", "1"), Exception);
    EXPECT_EQ(FNav->QueryFirstRow("SELECT '  a  ', 2, NULL"), (std::vector<std::string>{"a", "2", ""}));
    EXPECT_TRUE(FNav->QueryFirstRow("SELECT 1 WHERE 0").empty());
}

TEST(NavConnect, MissingSqliteFileNamedRelativeToTheSettings) {
    TempFolder folder;
    TSettings settings(folder.File("x.ini"));
    settings.Provider = "sqlite";
    settings.Database = "fehlt.db";
    TNavData nav(settings);
    try {
        nav.Companies();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "SQLite-Datenbankdatei „" + folder.File("fehlt.db") + "“ nicht gefunden.");
    }
}

// The SQL Server keys of [Datenbank] reach the connection: each wrong one is named by
// the error of the first query, before anything is sent to a server.
TEST(NavConnect, SqlServerKeysOfTheSettingsReachTheConnection) {
    TempFolder folder;
    struct Case {
        std::string key, value, message;
    } cases[] = {
        {"Treiber", "Gibtsnicht", "Der ODBC-Treiber \"Gibtsnicht\" aus [Datenbank] Treiber= ist nicht installiert."},
        {"Anmeldung", "Kerberos", "[Datenbank] Anmeldung=Kerberos ist kein gültiger Wert; erlaubt: Windows oder SQL."},
        {"Verschluesselung", "immer",
         "[Datenbank] Verschluesselung=immer ist kein gültiger Wert; erlaubt: aus, ja oder streng."},
        {"ServerZertifikatVertrauen", "ja",
         "[Datenbank] ServerZertifikatVertrauen=ja ist kein gültiger Wert; erlaubt: 0 oder 1."},
    };
    for (const auto& c : cases) {
        // A named driver that is not installed is only found out when no other key is wrong.
        const std::string driver = c.key == "Treiber" ? "" : "Treiber=/usr/lib/libtdsodbc.so\n";
        WriteFileBytes(folder.File("x.ini"), "[Datenbank]\nProvider=SQLOLEDB.1\nServer=127.0.0.1,1\n" + driver + c.key +
                                                 "=" + c.value + "\n");
        TSettings settings(folder.File("x.ini"));
        TNavData nav(settings);
        const std::string error = velkaro::test::ErrorOf([&] { nav.Companies(); });
        EXPECT_EQ(error.substr(0, c.message.size()), c.message) << c.key;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, NavDiscovery, ::testing::Values(TBackendKind::Embedded, TBackendKind::Odbc),
                         BackendName);

TEST(ParseNavVersion, ProductNames) {
    struct Case { const char* list; const char* expected; };
    const Case cases[] = {
        {"NAVW17.10.00.37563,NAVDE7.10.00.37563", "Microsoft Dynamics NAV 2013 R2 (7.10, Build 37563)"},
        {"NAVW17.00.00.35345", "Microsoft Dynamics NAV 2013 (7.00, Build 35345)"},
        {"NAVW19.00", "Microsoft Dynamics NAV 2016 (9.00)"},
        {"NAVW16.00.32012", "Microsoft Dynamics NAV 2009 (6.00)"},
        {"NAVW15.00.SP1", "Microsoft Dynamics NAV 5.0 (5.00)"},
        {"NAVW18.00.00.1,X", "Microsoft Dynamics NAV 2015 (8.00, Build 1)"},
        {"NAVW110.00.00.13682", "Microsoft Dynamics NAV 2017 (10.00, Build 13682)"},
        {"NAVW111.00.00.19394", "Microsoft Dynamics NAV 2018 (11.00, Build 19394)"},
        {"NAVW113.00.00.24623", "Business Central 13 (13.00, Build 24623)"},
        {"NAVW114.0.29530.0", "Business Central 14 (14.0, Build 0)"},
        {"NAVW112.00", "Microsoft Dynamics NAV (12.00)"},
        {"ABC,NAVW19.00.00.1", "Microsoft Dynamics NAV 2016 (9.00, Build 1)"},
        {"NAVDE9.00", "NAVDE9.00"},
        {"NAVW1X.00", "NAVW1X.00"},
        {"NAVW19", "NAVW19"},
        {"NAVW19,00.1", "NAVW19,00.1"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(TNavData::ParseNavVersion(c.list), c.expected) << c.list;
}
