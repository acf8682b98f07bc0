#pragma once
// The message of a failed SQL Server connection: the driver's error, what was tried
// (driver, server, port or instance, database, login) and, for the answers FreeTDS and
// Microsoft's driver commonly give, what they mean and what to check, in German.
#include <string>

#include "erp/db_backend.h"
#include "erp/odbc_connect.h"

namespace velkaro {

// `error`: the message of the failed connection as the backend raised it.
std::string ConnectFailureText(const std::string& error, const TDbConnectParams& params, const TOdbcDriver& driver);

} // namespace velkaro
