#pragma once
// The ODBC backend through unixODBC: SQL Server (FreeTDS or Microsoft's driver) or any
// other ODBC driver. Text travels as wide characters, dates as timestamps, decimals as
// their exact decimal text.
#include <memory>
#include <string>
#include <vector>

#include "erp/db_backend.h"

namespace velkaro {

// Connects with the given connection string (login time-out in seconds). The dialect
// follows the database the driver reports: SQLite for SQLite's driver, else SQL Server.
std::shared_ptr<TDbBackend> OpenOdbcBackend(const std::string& connectString, int loginTimeoutSeconds = 15);

// The driver names the driver manager knows.
std::vector<std::string> InstalledOdbcDrivers();

} // namespace velkaro
