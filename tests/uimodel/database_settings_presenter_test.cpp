// The database dialog's logic: its fields from the settings, the connection test, and
// saving [Datenbank] in place with the password protected.
#include <gtest/gtest.h>

#include "app/demo_mail_setup.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "support/test_support.h"
#include "uimodel/database_settings_presenter.h"
#include "uimodel/mail_settings_presenter.h"

using namespace velkaro;

namespace {

using Strings = std::vector<std::string>;

class FakeProbe : public TDatabaseProbe {
public:
    Strings OdbcDrivers() override { return Drivers; }
    TDatabaseTestResult Test(const std::string& settingsFile, const TDatabaseSettings& values) override {
        File = settingsFile;
        Tested.push_back(values);
        if (!Error.empty()) throw Exception(Error);
        return Result;
    }

    Strings Drivers{"ODBC Driver 18 for SQL Server", "FreeTDS"};
    TDatabaseTestResult Result;
    std::string Error;
    std::string File;
    std::vector<TDatabaseSettings> Tested;
};

constexpr const char* kSqlServerIni =
    "; Verbindung zur NAV-Datenbank\r\n"
    "[Datenbank]\r\n"
    "; der Server im Keller\r\n"
    "Server=sql01\r\n"
    "Datenbank=NAV2018\r\n"
    "Benutzer=nav\r\n"
    "Passwort=alt\r\n"
    "Provider=SQLOLEDB.1\r\n"
    "Mandant=Muster GmbH\r\n"
    "[Ausgabe]\r\n"
    "; bleibt\r\n"
    "Ordner=Ausgabe\r\n";

class DatabaseSettingsTest : public ::testing::Test {
protected:
    void Open(const std::string& text) {
        WriteTextFile(Ini, text);
        Settings = std::make_unique<TSettings>(Ini);
        Presenter = std::make_unique<TDatabaseSettingsPresenter>(*Settings, Probe);
    }

    TDatabaseDialogValues SqlServer() const {
        TDatabaseDialogValues v;
        v.Server = "sql02,1433";
        v.Database = "NAV2018";
        v.Driver = "FreeTDS";
        v.SqlLogin = true;
        v.User = "velkaro";
        v.Password = "Neu;Geheim";
        v.Encryption = "streng";
        v.TrustCertificate = "1";
        return v;
    }

    test::TempFolder Folder;
    test::ScopedEnv Key{"VELKARO_SCHLUESSEL", Folder.File("schluessel.key").c_str()};
    std::string Ini = Folder.File("velkaro.ini");
    FakeProbe Probe;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TDatabaseSettingsPresenter> Presenter;
};

TEST_F(DatabaseSettingsTest, FieldsShowTheSettings) {
    Open(kSqlServerIni);
    TDatabaseDialogValues v = Presenter->InitialValues();
    EXPECT_FALSE(v.Sqlite);
    EXPECT_EQ(v.Server, "sql01");
    EXPECT_EQ(v.Database, "NAV2018");
    EXPECT_TRUE(v.SqlLogin) << "a user without Anmeldung= means a SQL login";
    EXPECT_EQ(v.User, "nav");
    EXPECT_EQ(v.Password, kSecretBullets) << "the stored password is never shown";
    EXPECT_EQ(v.Driver, "");

    Open("[Datenbank]\nProvider=SQLite\nDatenbank=daten/nav.db\nBenutzer=\nAnmeldung=windows\n");
    v = Presenter->InitialValues();
    EXPECT_TRUE(v.Sqlite);
    EXPECT_EQ(v.File, "daten/nav.db");
    EXPECT_EQ(v.Database, "");
    EXPECT_FALSE(v.SqlLogin);
    EXPECT_EQ(v.Password, "");

    // The driver list: automatic first, the installed ones, and the one of the file.
    EXPECT_EQ(Presenter->DriverChoices("FreeTDS"), (Strings{"", "ODBC Driver 18 for SQL Server", "FreeTDS"}));
    EXPECT_EQ(Presenter->DriverChoices("/opt/tds/libtdsodbc.so"),
              (Strings{"", "ODBC Driver 18 for SQL Server", "FreeTDS", "/opt/tds/libtdsodbc.so"}));
}

TEST_F(DatabaseSettingsTest, TestConnectionUsesTheTypedValuesAndNamesCompaniesAndVersion) {
    Open(kSqlServerIni);
    Probe.Result = {{"CRONUS AG", "Muster GmbH"}, {"NAV-Version   : Dynamics NAV 2018 (11.0)"}};
    TDatabaseDialogValues v = SqlServer();
    v.Password = kSecretBullets;  // unchanged: the stored one is used
    EXPECT_EQ(Presenter->TestConnection(v),
              "Verbindung hergestellt.\nMandanten (2): CRONUS AG, Muster GmbH\nNAV-Version   : Dynamics NAV 2018 (11.0)");
    ASSERT_EQ(Probe.Tested.size(), 1u);
    EXPECT_EQ(Probe.File, Ini);
    const TDatabaseSettings& tested = Probe.Tested[0];
    EXPECT_EQ(tested.Server, "sql02,1433");
    EXPECT_EQ(tested.Password, "alt");
    EXPECT_EQ(tested.OdbcDriver, "FreeTDS");
    EXPECT_EQ(tested.Login, "SQL");
    EXPECT_EQ(tested.Encryption, "streng");
    EXPECT_EQ(tested.TrustServerCertificate, "1");
    EXPECT_EQ(Settings->Server, "sql01") << "a test changes no setting";

    Probe.Result = {};
    EXPECT_EQ(Presenter->TestConnection(v),
              "Verbindung hergestellt, aber die Datenbank enthält keine NAV-Mandanten (keine Tabelle "
              "„<Mandant>$Sales Invoice Header“).");

    Probe.Error = "Der Server sql02 antwortet nicht.";
    EXPECT_EQ(test::ErrorOf([&] { Presenter->TestConnection(v); }), "Der Server sql02 antwortet nicht.");
}

TEST_F(DatabaseSettingsTest, MissingFieldsAreNamedBeforeAnythingHappens) {
    Open(kSqlServerIni);
    struct Case { std::function<void(TDatabaseDialogValues&)> change; const char* error; };
    const Case cases[] = {
        {[](TDatabaseDialogValues& v) { v.Server = " "; }, "Bitte den SQL-Server angeben."},
        {[](TDatabaseDialogValues& v) { v.Database = ""; }, "Bitte den Namen der NAV-Datenbank angeben."},
        {[](TDatabaseDialogValues& v) { v.User = ""; }, "Bitte den Benutzer der SQL-Anmeldung angeben."},
        {[](TDatabaseDialogValues& v) { v.Sqlite = true; }, "Bitte die Datenbankdatei angeben."},
    };
    for (const Case& c : cases) {
        TDatabaseDialogValues v = SqlServer();
        c.change(v);
        EXPECT_EQ(test::ErrorOf([&] { Presenter->TestConnection(v); }), c.error);
        EXPECT_EQ(test::ErrorOf([&] { Presenter->Save(v); }), c.error);
    }
    EXPECT_TRUE(Probe.Tested.empty());
    EXPECT_EQ(ReadTextFile(Ini), kSqlServerIni);
}

TEST_F(DatabaseSettingsTest, SaveWritesTheSectionInPlaceWithTheProtectedPassword) {
    Open(kSqlServerIni);
    Presenter->Save(SqlServer());

    const std::string text = ReadTextFile(Ini);
    for (const char* kept : {"; der Server im Keller\r\n", "; bleibt\r\n", "Mandant=Muster GmbH\r\n", "Ordner=Ausgabe"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept;
    EXPECT_EQ(text.find("Neu;Geheim"), std::string::npos) << "never in plain text";
    const TIniFile ini = TIniFile::FromText(text);
    EXPECT_EQ(ini.ReadString("Datenbank", "Passwort", "(fehlt)"), "(fehlt)");
    EXPECT_FALSE(ini.ReadString("Datenbank", "PasswortGeschuetzt", "").empty());
    EXPECT_EQ(ini.ReadString("Datenbank", "Server", ""), "sql02,1433");
    EXPECT_EQ(ini.ReadString("Datenbank", "Treiber", ""), "FreeTDS");
    EXPECT_EQ(ini.ReadString("Datenbank", "Anmeldung", ""), "SQL");
    EXPECT_EQ(ini.ReadString("Datenbank", "Verschluesselung", ""), "streng");
    EXPECT_EQ(ini.ReadString("Datenbank", "ServerZertifikatVertrauen", ""), "1");
    EXPECT_EQ(Settings->Server, "sql02,1433") << "the window works with the new values at once";
    EXPECT_EQ(Settings->Password, "Neu;Geheim");

    // Read back by the next start, the password unprotected.
    TSettings again(Ini);
    EXPECT_EQ(again.Password, "Neu;Geheim");
    EXPECT_EQ(again.PasswordProblem, "");
    EXPECT_EQ(again.Login, "SQL");

    // SQLite: the file, no server; the stored password stays as it was.
    Presenter = std::make_unique<TDatabaseSettingsPresenter>(again, Probe);
    TDatabaseDialogValues v = Presenter->InitialValues();
    v.Sqlite = true;
    v.File = "nav.db";
    Presenter->Save(v);
    TSettings sqlite(Ini);
    EXPECT_EQ(sqlite.Provider, "SQLite");
    EXPECT_EQ(sqlite.Server, "");
    EXPECT_EQ(sqlite.Database, "nav.db");
    EXPECT_EQ(sqlite.Password, "Neu;Geheim");
}

TEST_F(DatabaseSettingsTest, AFailingSaveLeavesFileAndSettingsAsTheyWere) {
    Open(kSqlServerIni);
    // Its folder is a file now: nothing can be written there.
    Settings->FFileName = Folder.File("velkaro.ini/velkaro.ini");
    const std::string error = test::ErrorOf([&] { Presenter->Save(SqlServer()); });
    EXPECT_TRUE(error.starts_with("Speichern nicht möglich: ")) << error;
    EXPECT_EQ(Settings->Server, "sql01");
    EXPECT_EQ(Settings->Password, "alt");
    EXPECT_EQ(ReadTextFile(Ini), kSqlServerIni);
}

TEST_F(DatabaseSettingsTest, APasswordOfAnotherAccountReadsAsEmptyWithTheRemedy) {
    Open(kSqlServerIni);
    Presenter->Save(SqlServer());
    test::ScopedEnv otherKey("VELKARO_SCHLUESSEL", Folder.File("anderer.key").c_str());
    TSettings other(Ini);
    EXPECT_EQ(other.Password, "");
    EXPECT_TRUE(other.PasswordProblem.starts_with("Das gespeicherte Passwort ([Datenbank] PasswortGeschuetzt) kann"))
        << other.PasswordProblem;
    EXPECT_NE(other.PasswordProblem.find("Einstellungen › Datenbankverbindung…"), std::string::npos);

    // A connection that fails names the unreadable password as well.
    other.Provider = "SQLite";
    other.Database = Folder.File("fehlt/nav.db");
    TNavData data(other);
    const std::string error = test::ErrorOf([&] { data.Companies(); });
    EXPECT_NE(error.find(other.PasswordProblem), std::string::npos) << error;
}

TEST_F(DatabaseSettingsTest, TheRealProbeReadsTheDemoDatabase) {
    if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
    Open("[Datenbank]\nProvider=SQLite\nDatenbank=gibt-es-nicht.db\n");
    std::unique_ptr<TDatabaseProbe> probe = NavDatabaseProbe();
    TDatabaseSettingsPresenter presenter(*Settings, *probe);
    TDatabaseDialogValues v = presenter.InitialValues();
    EXPECT_FALSE(test::ErrorOf([&] { presenter.TestConnection(v); }).empty());
    v.File = test::DemoDatabase();
    const std::string text = presenter.TestConnection(v);
    EXPECT_TRUE(text.starts_with("Verbindung hergestellt.\nMandanten (")) << text;
    EXPECT_NE(text.find("Muster GmbH"), std::string::npos) << text;
}

} // namespace
