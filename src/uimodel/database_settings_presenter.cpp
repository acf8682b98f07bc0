// The database connection dialog's logic and its real probe.
#include "uimodel/database_settings_presenter.h"

#include <algorithm>

#include "erp/db_backend.h"
#include "erp/nav_data.h"
#include "erp/odbc_connect.h"
#include "erp/odbc_drivers.h"
#include "platform/error.h"
#include "platform/text.h"
#include "uimodel/mail_settings_presenter.h"  // kSecretBullets

namespace velkaro {

namespace {

constexpr const char* kSqlServerProvider = "SQLOLEDB.1";

class TNavDatabaseProbe : public TDatabaseProbe {
public:
    std::vector<std::string> OdbcDrivers() override {
        std::vector<std::string> names;
        for (const TOdbcDriverEntry& entry : InstalledOdbcDriverEntries()) names.push_back(entry.Name);
        return names;
    }

    TDatabaseTestResult Test(const std::string& settingsFile, const TDatabaseSettings& values) override {
        TSettings settings(settingsFile, TSettingsAccess::saReadOnly);
        ApplyDatabaseSettings(settings, values);
        TNavData data(settings);
        TDatabaseTestResult result;
        result.Companies = data.Companies();
        result.VersionLines = data.NavVersionInfo();
        return result;
    }
};

} // namespace

std::unique_ptr<TDatabaseProbe> NavDatabaseProbe() { return std::make_unique<TNavDatabaseProbe>(); }

TDatabaseSettingsPresenter::TDatabaseSettingsPresenter(TSettings& settings, TDatabaseProbe& probe)
    : FSettings(settings), FProbe(probe) {}

TDatabaseDialogValues TDatabaseSettingsPresenter::InitialValues() const {
    const TSettings& s = FSettings;
    TDatabaseDialogValues v;
    v.Sqlite = IsSqliteProvider(s.Provider);
    (v.Sqlite ? v.File : v.Database) = s.Database;
    v.Server = s.Server;
    // An older file names the ODBC driver as its provider.
    v.Driver = s.OdbcDriver.empty() && !v.Sqlite && !IsSqlServerProvider(s.Provider) ? s.Provider : s.OdbcDriver;
    v.SqlLogin = SameText(Trim(s.Login), "SQL") || (Trim(s.Login).empty() && !s.User.empty());
    v.User = s.User;
    v.Password = s.Password.empty() ? "" : kSecretBullets;
    v.Encryption = LowerAscii(Trim(s.Encryption));
    v.TrustCertificate = Trim(s.TrustServerCertificate);
    return v;
}

std::vector<std::string> TDatabaseSettingsPresenter::DriverChoices(const std::string& current) const {
    std::vector<std::string> choices{""};
    for (const std::string& name : FProbe.OdbcDrivers())
        if (std::find(choices.begin(), choices.end(), name) == choices.end()) choices.push_back(name);
    if (std::find(choices.begin(), choices.end(), current) == choices.end()) choices.push_back(current);
    return choices;
}

TDatabaseSettings TDatabaseSettingsPresenter::SettingsOf(const TDatabaseDialogValues& v) const {
    TDatabaseSettings s = DatabaseSettingsOf(FSettings);
    s.Password = v.Password == kSecretBullets ? FSettings.Password : v.Password;
    if (v.Sqlite) {
        if (Trim(v.File).empty()) throw Exception("Bitte die Datenbankdatei angeben.");
        s.Provider = "SQLite";
        s.Server.clear();
        s.Database = Trim(v.File);
        return s;
    }
    if (Trim(v.Server).empty()) throw Exception("Bitte den SQL-Server angeben.");
    if (Trim(v.Database).empty()) throw Exception("Bitte den Namen der NAV-Datenbank angeben.");
    if (v.SqlLogin && Trim(v.User).empty()) throw Exception("Bitte den Benutzer der SQL-Anmeldung angeben.");
    if (IsSqliteProvider(s.Provider) || !IsSqlServerProvider(s.Provider)) s.Provider = kSqlServerProvider;
    s.Server = Trim(v.Server);
    s.Database = Trim(v.Database);
    s.OdbcDriver = Trim(v.Driver);
    s.Login = v.SqlLogin ? "SQL" : "Windows";
    s.User = Trim(v.User);
    s.Encryption = v.Encryption;
    s.TrustServerCertificate = v.TrustCertificate;
    return s;
}

std::string TDatabaseSettingsPresenter::TestConnection(const TDatabaseDialogValues& values) const {
    const TDatabaseTestResult found = FProbe.Test(FSettings.FFileName, SettingsOf(values));
    std::string text;
    if (found.Companies.empty()) {
        text = "Verbindung hergestellt, aber die Datenbank enthält keine NAV-Mandanten (keine Tabelle "
               "„<Mandant>$Sales Invoice Header“).";
    } else {
        text = "Verbindung hergestellt.\nMandanten (" + std::to_string(found.Companies.size()) + "): ";
        for (size_t i = 0; i < found.Companies.size(); ++i) text += (i ? ", " : "") + found.Companies[i];
    }
    for (const std::string& line : found.VersionLines) text += "\n" + line;
    return text;
}

void TDatabaseSettingsPresenter::Save(const TDatabaseDialogValues& values) {
    const TDatabaseSettings settings = SettingsOf(values);
    try {
        StoreDatabaseSettings(FSettings, settings);
    } catch (const std::exception& e) {
        throw Exception(std::string("Speichern nicht möglich: ") + e.what());
    }
}

} // namespace velkaro
