#pragma once
// Which ODBC drivers the driver manager knows, as "odbcinst" reports them. Reading the
// output is kept apart from running the tool, so that it can be checked on samples.
#include <string>
#include <vector>

#include "erp/odbc_connect.h"

namespace velkaro {

// The entry names of "odbcinst -q -d": one "[name]" per line.
std::vector<std::string> ParseOdbcinstDriverNames(const std::string& output);
// The library of "odbcinst -q -d -n NAME": the value of its "Driver=" line; empty when
// there is none.
std::string ParseOdbcinstDriverLibrary(const std::string& output);

// The installed drivers with their libraries. Without the odbcinst tool, the names the
// driver manager lists, libraries unknown.
std::vector<TOdbcDriverEntry> InstalledOdbcDriverEntries();

} // namespace velkaro
