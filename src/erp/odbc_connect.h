#pragma once
// Turns the connection settings into an ODBC connection string. For SQL Server the
// driver is the one [Datenbank] Treiber= names, else the one installed: Microsoft's
// "ODBC Driver NN for SQL Server" (newest) when present, else FreeTDS under whatever
// entry name its library is registered. Each kind gets its own attributes. A provider
// that is no SQL Server provider is taken as the ODBC driver's name (or library path).
#include <string>
#include <vector>

#include "erp/db_backend.h"

namespace velkaro {

enum TOdbcDriverKind { odMicrosoft, odFreeTds, odOther };

// One driver entry of the driver manager (odbcinst.ini): its name and its library as
// registered ("Driver="); Library is empty when it is not known.
struct TOdbcDriverEntry {
    std::string Name;
    std::string Library;
};

// The driver a connection string is built for.
struct TOdbcDriver {
    std::string Name;  // as written in "Driver={…}": an entry name or a library path
    TOdbcDriverKind Kind = odOther;
};

// True for the OLE DB providers of SQL Server ("SQLOLEDB", "SQLOLEDB.1", "MSOLEDBSQL",
// "MSOLEDBSQL19", "SQLNCLI11", …) and for an empty provider.
bool IsSqlServerProvider(const std::string& provider);

// The kind of a driver by its library (libtdsodbc…, libmsodbcsql…), else by its name;
// odOther when neither tells.
TOdbcDriverKind OdbcDriverKind(const std::string& name, const std::string& library);

// Chooses the driver for the settings among the installed ones. Raises a German
// velkaro::Exception when no SQL Server driver is installed, or when Treiber= names
// one that is neither installed nor recognisable.
TOdbcDriver ChooseOdbcDriver(const TDbConnectParams& params, const std::vector<TOdbcDriverEntry>& installed);

// The connection string for the chosen driver. Raises a German velkaro::Exception for
// a value of Verschluesselung= or Anmeldung= that is none of the allowed ones.
std::string BuildOdbcConnectString(const TDbConnectParams& params, const TOdbcDriver& driver);
inline std::string BuildOdbcConnectString(const TDbConnectParams& params, const std::vector<TOdbcDriverEntry>& installed) {
    return BuildOdbcConnectString(params, ChooseOdbcDriver(params, installed));
}

// One keyword=value pair; the value is braced when it holds ";", "{", "}", "=" or
// blanks at either end ("}" doubled inside), as the ODBC grammar asks.
std::string OdbcAttribute(const std::string& keyword, const std::string& value);

} // namespace velkaro
