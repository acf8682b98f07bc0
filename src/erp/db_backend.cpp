#include "erp/db_backend.h"

#include "erp/connect_failure.h"
#include "erp/odbc_backend.h"
#include "erp/odbc_connect.h"
#include "erp/odbc_drivers.h"
#include "erp/sqlite_backend.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

EDbLibraryError::EDbLibraryError(const std::string& whatFailed, const std::string& libraryText)
    : Exception(Trim(libraryText).empty() ? whatFailed : whatFailed + " (" + Trim(libraryText) + ")"),
      LibraryText(Trim(libraryText)) {}

EDbLibraryError DbLibraryError(const std::string& whatFailed, const std::string& libraryText) {
    return EDbLibraryError(whatFailed, libraryText);
}

bool IsSqliteProvider(const std::string& provider) { return SameText(Trim(provider), "SQLite"); }

std::shared_ptr<TDbBackend> OpenDbBackend(const TDbConnectParams& params) {
    if (IsSqliteProvider(params.Provider)) {
        std::string file = params.Database;
        if (!file.empty()) file = CombinePath(params.BaseDir, file);
        return OpenSqliteBackend(file);
    }
    // Only SQL Server needs to know which drivers are there.
    const std::vector<TOdbcDriverEntry> installed =
        IsSqlServerProvider(params.Provider) ? InstalledOdbcDriverEntries() : std::vector<TOdbcDriverEntry>();
    const TOdbcDriver driver = ChooseOdbcDriver(params, installed);
    const std::string connectString = BuildOdbcConnectString(params, driver);
    if (!IsSqlServerProvider(params.Provider)) return OpenOdbcBackend(connectString);
    try {
        return OpenOdbcBackend(connectString);
    } catch (const EDbLibraryError& e) {
        // The driver's own text rarely says which server it tried, nor what to do.
        throw Exception(ConnectFailureText(e.LibraryText, params, driver));
    }
}

} // namespace velkaro
