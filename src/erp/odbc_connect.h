#pragma once
// Turns the connection settings into an ODBC connection string. The OLE DB provider
// names of SQL Server select the SQL Server driver that is installed: Microsoft's
// "ODBC Driver NN for SQL Server" (newest) when present, else FreeTDS. Any other
// provider is taken as the ODBC driver's name (or the path of its library).
#include <string>
#include <vector>

#include "erp/db_backend.h"

namespace velkaro {

// True for the OLE DB providers of SQL Server ("SQLOLEDB", "SQLOLEDB.1", "MSOLEDBSQL",
// "MSOLEDBSQL19", "SQLNCLI11", …) and for an empty provider.
bool IsSqlServerProvider(const std::string& provider);

// `installedDrivers`: the names the driver manager lists (odbcinst.ini).
std::string BuildOdbcConnectString(const TDbConnectParams& params, const std::vector<std::string>& installedDrivers);

// One keyword=value pair; the value is braced when it holds ";", "{", "}", "=" or
// blanks at either end ("}" doubled inside), as the ODBC grammar asks.
std::string OdbcAttribute(const std::string& keyword, const std::string& value);

} // namespace velkaro
