#pragma once
// The message of a failed SQL Server connection, in German sentences: that it failed,
// for the answers FreeTDS and Microsoft's driver commonly give what they mean and what to
// check, what was tried (driver, server, port or instance, database, login), and last
// the driver's own (English) text.
#include <string>

#include "erp/db_backend.h"
#include "erp/odbc_connect.h"

namespace velkaro {

// `driverText`: what the driver said of the failed connection; may be empty.
std::string ConnectFailureText(const std::string& driverText, const TDbConnectParams& params,
                               const TOdbcDriver& driver);

} // namespace velkaro
