#pragma once
// Which table of the database holds each per-company table the program reads. NAV and
// Business Central up to version 14 name them "<Company>$<Table>"; from version 15 on
// tables belong to apps: "<Company>$<Table>$<app id>", the Base Application's tables
// under its id, other apps' under theirs. Fields that an extension adds to a table live
// in companion tables: "<Company>$<Table>$<extension app id>" (up to version 22) or one
// "<Company>$<Table>$<app id of the table>$ext" (from version 23 on).
//
// Everything here works on names only; TNavData reads the names once per connection
// and company (nav_data.cpp).
#include <map>
#include <string>
#include <vector>

namespace velkaro {

// The app id of Microsoft's Base Application (Business Central 15 and later).
inline constexpr const char* kBaseApplicationId = "437dbf0e-84ff-417a-965d-ed2bb9650972";

// "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" with hexadecimal digits, either letter case.
bool IsAppId(std::string_view text);

// The tables every company needs before anything of it is read, in the order an error
// lists the missing ones.
const std::vector<std::string>& NavRequiredTables();

class TNavCompanyTables {
public:
    enum TNaming { nnNone, nnNav, nnBusinessCentral };

    // From the names of the database's tables that begin with "<company>$", that prefix
    // removed (e.g. "Customer", "Customer$437dbf0e-…", "Customer$437dbf0e-…$ext").
    // With both namings for the invoice table (a half-migrated copy), only the Business
    // Central tables count.
    static TNavCompanyTables FromNames(const std::string& company, const std::vector<std::string>& rests);

    // The database's full name ("<company>$<table>[$<app id>]") of the table, letter
    // case ignored; empty when the company has none.
    std::string Find(const std::string& table) const;
    // The companion tables of the table (full names), in the order of their names.
    std::vector<std::string> Companions(const std::string& table) const;
    // The full name the table would have under the company's naming (for a statement
    // on a table that is not there, so that the database's error names it).
    std::string ExpectedName(const std::string& table) const;

    TNaming Naming() const { return FNaming; }
    // Both namings were found for the company; the Business Central tables are read.
    bool Mixed() const { return FMixed; }
    // The tables of NavRequiredTables the company lacks.
    std::vector<std::string> Missing() const;
    // A line for the log and the check when the naming needs saying (mixed namings);
    // empty otherwise.
    std::string Hint() const;
    // The German error for a company whose tables are incomplete; empty when complete.
    std::string IncompleteError() const;

private:
    struct TTable {
        std::string Main;                     // full name
        std::vector<std::string> Companions;  // full names
    };
    std::string FCompany;
    TNaming FNaming = nnNone;
    bool FMixed = false;
    std::map<std::string, TTable> FTables;  // by upper-case table name
};

// The companies of the database from the names of its invoice tables ("<company>$Sales
// Invoice Header", with or without app id), each once, in ascending order.
std::vector<std::string> NavCompaniesFromTableNames(const std::vector<std::string>& names);

} // namespace velkaro
