#pragma once
// The logic of the database connection dialog, free of any GUI toolkit: SQLite (a
// database file) or SQL Server through ODBC (server, database, driver of the installed
// ones, SQL or Windows sign-in, encryption and trust in the server's certificate as the
// [Datenbank] keys take them), the connection test, and saving [Datenbank] in place with
// the password protected.
#include <memory>
#include <string>
#include <vector>

#include "config/settings.h"

namespace velkaro {

// What the dialog's fields hold.
struct TDatabaseDialogValues {
    bool Sqlite = false;
    std::string File;  // SQLite: the database file (relative: beside the settings file)
    std::string Server, Database;
    std::string Driver;  // "": the installed one is chosen at connecting
    bool SqlLogin = true;
    std::string User;
    std::string Password;          // the stored one shows as kSecretBullets
    std::string Encryption;        // "", "aus", "ja", "streng"
    std::string TrustCertificate;  // "", "0" (check it), "1" (trust it)
};

// What a connection test found.
struct TDatabaseTestResult {
    std::vector<std::string> Companies;
    std::vector<std::string> VersionLines;  // NAV and SQL Server versions, as the about dialog shows them
};

// The database as the dialog needs it; tests hand in a fake.
class TDatabaseProbe {
public:
    virtual ~TDatabaseProbe() = default;
    // The names of the installed ODBC drivers.
    virtual std::vector<std::string> OdbcDrivers() = 0;
    // Connects with the settings file's values changed by `values`; raises the German error.
    virtual TDatabaseTestResult Test(const std::string& settingsFile, const TDatabaseSettings& values) = 0;
};

// The real drivers (odbcinst) and the real database (TNavData).
std::unique_ptr<TDatabaseProbe> NavDatabaseProbe();

class TDatabaseSettingsPresenter {
public:
    // Both must outlive the presenter.
    TDatabaseSettingsPresenter(TSettings& settings, TDatabaseProbe& probe);

    TDatabaseDialogValues InitialValues() const;
    // The driver list: "" (chosen automatically) first, then the installed drivers, and
    // `current` when it is none of them.
    std::vector<std::string> DriverChoices(const std::string& current) const;
    // The [Datenbank] values the fields stand for. Raises a German error naming the
    // field that is missing (file; server or database; user of a SQL sign-in).
    TDatabaseSettings SettingsOf(const TDatabaseDialogValues& values) const;
    // "Verbindung testen" with the values as typed: the text for the user (companies and
    // NAV version). Raises the German error of the connection.
    std::string TestConnection(const TDatabaseDialogValues& values) const;
    // Saves [Datenbank] and takes the values into the settings. Raises "Speichern nicht
    // möglich: …"; the file and the settings are then unchanged.
    void Save(const TDatabaseDialogValues& values);

private:
    TSettings& FSettings;
    TDatabaseProbe& FProbe;
};

} // namespace velkaro
