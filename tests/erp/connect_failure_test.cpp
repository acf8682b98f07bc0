// A failed SQL Server connection names what was tried and explains the drivers' common
// answers in German.
#include "erp/connect_failure.h"

#include <gtest/gtest.h>

#include "erp/odbc_backend.h"
#include "platform/error.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

TDbConnectParams Params(const std::string& server, const std::string& user = "sa") {
    TDbConnectParams p;
    p.Provider = "SQLOLEDB.1";
    p.Server = server;
    p.Database = "Cronus";
    p.User = user;
    p.Password = "pw";
    return p;
}

const TOdbcDriver kFreeTds{"FreeTDS", odFreeTds};

TEST(ConnectFailure, NamesDriverServerPortOrInstanceDatabaseAndLogin) {
    struct Case {
        std::string Server, User;
        std::string Tried;
    } cases[] = {
        {"sql01,1433", "sa", "Versucht: Treiber \"FreeTDS\" (FreeTDS), Server sql01, Port 1433, Datenbank Cronus, "
                             "SQL-Anmeldung als sa."},
        {"sql01\\NAV", "", "Versucht: Treiber \"FreeTDS\" (FreeTDS), Server sql01, Instanz NAV, Datenbank Cronus, "
                           "Windows-Anmeldung (Kerberos)."},
        {"sql01", "sa", "Versucht: Treiber \"FreeTDS\" (FreeTDS), Server sql01, Port: Vorgabe des Treibers (meist 1433), "
                        "Datenbank Cronus, SQL-Anmeldung als sa."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Server);
        const std::string text = ConnectFailureText("[FreeTDS] x", Params(c.Server, c.User), kFreeTds);
        EXPECT_EQ(text, "Die Verbindung zum SQL Server ist fehlgeschlagen. " + c.Tried +
                            " Meldung des Treibers: [FreeTDS] x.");
        EXPECT_EQ(text.find("pw"), std::string::npos) << "never the password";
    }
}

// FreeTDS's and Microsoft's usual answers, each with what it means and what to check.
TEST(ConnectFailure, CommonAnswersAreExplained) {
    struct Case {
        const char* DriverText;
        const char* Explanation;  // the start of it
    } cases[] = {
        {"[FreeTDS][SQL Server]Login failed for user 'sa'.", "Der Server lehnt die Anmeldung ab"},
        {"[FreeTDS][SQL Server]Cannot open database \"Cronus\" requested by the login.",
         "Der Server ist erreicht, öffnet die Datenbank aber nicht"},
        {"[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not exist",
         "Der Server ist unter diesem Namen und Port nicht erreichbar"},
        {"[FreeTDS][SQL Server]Unable to connect to data source; Server name not found in configuration files",
         "Den Servernamen kann dieser Rechner nicht auflösen"},
        {"[unixODBC][Driver Manager]Login timeout expired", "Der Server hat nicht rechtzeitig geantwortet"},
        {"[FreeTDS][SQL Server]Unable to connect: SSL routines::unsupported protocol",
         "Die verschlüsselte Verbindung kam nicht zustande"},
        {"[FreeTDS] TLS handshake failed", "Die verschlüsselte Verbindung kam nicht zustande"},
        {"[unixODBC][Driver Manager]Can't open lib 'libtdsodbc.so' : file not found",
         "Der ODBC-Treiber lässt sich nicht laden"},
        {"[FreeTDS] GSSAPI: No Kerberos credentials available", "Die Windows-Anmeldung (Kerberos) ist fehlgeschlagen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.DriverText);
        const std::string text = ConnectFailureText(c.DriverText, Params("sql01"), kFreeTds);
        // German sentences first: that it failed, what it means, what was tried; the
        // driver's own (English) text last, named as such.
        EXPECT_EQ(text.rfind(std::string("Die Verbindung zum SQL Server ist fehlgeschlagen. ") + c.Explanation, 0), 0u)
            << text;
        const size_t tried = text.find(" Versucht: ");
        const size_t driver = text.find(std::string(" Meldung des Treibers: ") + c.DriverText);
        EXPECT_NE(tried, std::string::npos) << text;
        EXPECT_NE(driver, std::string::npos) << "the driver's own text stays";
        EXPECT_LT(tried, driver) << text;
        EXPECT_TRUE(text.ends_with(".")) << text;
    }
    // An answer of no known kind: what was tried and the driver's text; no answer at all
    // is said as well.
    const std::string other = ConnectFailureText("etwas Neues", Params("sql01"), kFreeTds);
    EXPECT_TRUE(other.ends_with("SQL-Anmeldung als sa. Meldung des Treibers: etwas Neues.")) << other;
    EXPECT_TRUE(ConnectFailureText("", Params("sql01"), kFreeTds).ends_with("SQL-Anmeldung als sa. Der Treiber nennt keinen Grund."));
}

// The whole way: a closed port on this machine, through the installed FreeTDS.
TEST(ConnectFailure, AClosedPortIsExplainedThroughTheBackend) {
    bool freeTds = false;
    for (const auto& d : InstalledOdbcDrivers()) freeTds = freeTds || d == "FreeTDS";
    if (!freeTds) VELKARO_SKIP_UNLESS_CI() << "FreeTDS-ODBC-Treiber nicht installiert (Debian-Paket tdsodbc)";
    TDbConnectParams p = Params("127.0.0.1,1");
    p.Driver = "FreeTDS";
    const std::string error = test::ErrorOf([&] { OpenDbBackend(p); });
    EXPECT_EQ(error.rfind("Die Verbindung zum SQL Server ist fehlgeschlagen. ", 0), 0u) << error;
    EXPECT_NE(error.find("Meldung des Treibers: [FreeTDS]"), std::string::npos) << error;
    EXPECT_NE(error.find("Versucht: Treiber \"FreeTDS\" (FreeTDS), Server 127.0.0.1, Port 1, Datenbank Cronus"),
              std::string::npos)
        << error;
    EXPECT_NE(error.find("nicht erreichbar"), std::string::npos) << error;
}

} // namespace
} // namespace velkaro
