#include "erp/nav_sql.h"

#include "platform/text.h"

namespace velkaro {

std::string NavTableName(TSqlDialect d, const std::string& company, const std::string& table) {
    const std::string name = company + "$" + table;
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "x" + std::string.
    std::string quoted(1, d == sdSqlite ? '"' : '[');
    quoted += d == sdSqlite ? ReplaceAll(name, "\"", "\"\"") : ReplaceAll(name, "]", "]]");
    quoted += d == sdSqlite ? '"' : ']';
    return quoted;
}

std::string NavObjectName(TSqlDialect d, const std::string& company, const std::string& table) {
    if (d == sdSqlite) return company + "$" + table;
    return "dbo." + company + "$" + table;
}

const char* NavHeaderTable(TDocumentKind kind) {
    return kind == bkCreditMemo ? "Sales Cr_Memo Header" : "Sales Invoice Header";
}

const char* NavLineTable(TDocumentKind kind) {
    return kind == bkCreditMemo ? "Sales Cr_Memo Line" : "Sales Invoice Line";
}

namespace NavSql {

namespace {
// Picks the statement of the dialect; both texts stand next to each other at the caller.
std::string Pick(TSqlDialect d, std::string sqlServer, std::string sqlite) {
    return d == sdSqlite ? std::move(sqlite) : std::move(sqlServer);
}
} // namespace

std::string TableExists(TSqlDialect d) {
    return Pick(d, "SELECT OBJECT_ID(:n)",
                "SELECT (SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND name = :n COLLATE NOCASE)");
}

std::string Companies(TSqlDialect d) {
    return Pick(d,
                "SELECT LEFT(name, LEN(name) - LEN('$Sales Invoice Header')) FROM sys.tables "
                "WHERE name LIKE '%$Sales Invoice Header' ORDER BY name",
                "SELECT substr(name, 1, length(name) - length('$Sales Invoice Header')) FROM sqlite_master "
                "WHERE type = 'table' AND name LIKE '%$Sales Invoice Header' ORDER BY name");
}

// The database-wide tables need no translation: SQLite reads bracketed names as well.
std::string ObjectVersionAndDate(TSqlDialect) {
    return "SELECT [Version List], [Date] FROM [Object] WHERE [Type] = 5 AND [ID] = 1 AND [Company Name] = ''";
}

std::string ObjectVersion(TSqlDialect) {
    return "SELECT [Version List] FROM [Object] WHERE [Type] = 5 AND [ID] = 2 AND [Company Name] = ''";
}

std::string ServerInstance(TSqlDialect d) {
    return Pick(d,
                "SELECT TOP 1 [Server Instance Name], [Server Computer Name] FROM [Server Instance] "
                "ORDER BY [Last Active] DESC",
                "SELECT [Server Instance Name], [Server Computer Name] FROM [Server Instance] "
                "ORDER BY [Last Active] DESC LIMIT 1");
}

std::string DbProperty(TSqlDialect) { return "SELECT [databaseversionno] FROM [$ndo$dbproperty]"; }

std::string ServerVersion(TSqlDialect d) {
    return Pick(d,
                "SELECT CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(50)), "
                "CAST(SERVERPROPERTY('Edition') AS nvarchar(100)), "
                "(SELECT CAST(compatibility_level AS nvarchar(10)) FROM sys.databases WHERE name = DB_NAME())",
                "SELECT sqlite_version(), 'eingebettet', "
                "(SELECT CAST(user_version AS TEXT) FROM pragma_user_version)");
}

std::string ServerVersionLine(TSqlDialect d, const std::string& version, const std::string& edition,
                              const std::string& level) {
    return Pick(d, "SQL Server    : " + version + " " + edition + ", Kompatibilitätsgrad " + level,
                "Datenbank     : SQLite " + version + " (" + edition + "), Schema-Version " + level);
}

namespace {
// The columns and the filter of one kind's headers, as the search reads them.
std::string SearchSelect(TSqlDialect d, const std::string& lines, const std::string& customers,
                         const std::string& headers, bool withText, const std::string& extraColumn) {
    const std::string columns =
        "h.[No_], h.[Posting Date], h.[Bill-to Customer No_], h.[Bill-to Name], h.[Bill-to City], "
        "h.[Currency Code], (SELECT SUM(l.[Amount Including VAT]) FROM " + lines +
        " l WHERE l.[Document No_] = h.[No_]) AS Brutto, ";
    const std::string filter = withText ? " AND (h.[No_] LIKE :s1 OR h.[Bill-to Name] LIKE :s2 OR "
                                          "h.[Bill-to Customer No_] LIKE :s3 OR h.[Bill-to City] LIKE :s4)"
                                        : "";
    if (d == sdSqlServer)
        return columns + "(SELECT TOP 1 c.[E-Mail] FROM " + customers +
               " c WHERE c.[No_] = h.[Bill-to Customer No_]) AS Mail" + extraColumn + " FROM " + headers +
               " h WHERE h.[Posting Date] BETWEEN :dvon AND :dbis" + filter;
    // Dates are text here: whole days from the first to the last, whatever time or
    // separator a row carries.
    return columns + "(SELECT c.[E-Mail] FROM " + customers +
           " c WHERE c.[No_] = h.[Bill-to Customer No_] LIMIT 1) AS Mail" + extraColumn + " FROM " + headers +
           " h WHERE h.[Posting Date] >= date(:dvon) AND h.[Posting Date] < date(:dbis, '+1 day')" + filter;
}

// Newest first; among one day the longer, then the higher number first.
std::string SearchOrder(TSqlDialect d, const std::string& alias) {
    return " ORDER BY " + alias + ".[Posting Date] DESC, " + (d == sdSqlServer ? "LEN(" : "length(") + alias +
           ".[No_]) DESC, " + alias + ".[No_] DESC";
}

std::string Top(TSqlDialect d, int maxRows) {
    return d == sdSqlServer && maxRows > 0 ? "TOP " + std::to_string(maxRows) + " " : std::string();
}

std::string Limit(TSqlDialect d, int maxRows) {
    return d == sdSqlite && maxRows > 0 ? " LIMIT " + std::to_string(maxRows) : std::string();
}
} // namespace

std::string Search(TSqlDialect d, int maxRows, const std::string& lines, const std::string& customers,
                   const std::string& headers, bool withText) {
    return "SELECT " + Top(d, maxRows) + SearchSelect(d, lines, customers, headers, withText, "") +
           SearchOrder(d, "h") + Limit(d, maxRows);
}

std::string SearchWithCreditMemos(TSqlDialect d, int maxRows, const std::string& lines, const std::string& customers,
                                  const std::string& headers, const std::string& creditLines,
                                  const std::string& creditHeaders, bool withText) {
    // Ordered outside the union: SQL Server sorts a union only by its select list.
    return "SELECT " + Top(d, maxRows) + "* FROM (SELECT " +
           SearchSelect(d, lines, customers, headers, withText, ", 0 AS Art") + " UNION ALL SELECT " +
           SearchSelect(d, creditLines, customers, creditHeaders, withText, ", 1 AS Art") + ") b" +
           SearchOrder(d, "b") + Limit(d, maxRows);
}

std::string CompanyInformation(TSqlDialect d, const std::string& table) {
    return Pick(d, "SELECT TOP 1 * FROM " + table, "SELECT * FROM " + table + " LIMIT 1");
}

std::string InvoiceHeader(TSqlDialect, const std::string& table) {
    return "SELECT * FROM " + table + " WHERE [No_] = :no";
}

std::string PostingDate(TSqlDialect, const std::string& table) {
    return "SELECT [Posting Date] FROM " + table + " WHERE [No_] = :p";
}

std::string LcyCode(TSqlDialect d, const std::string& table) {
    return Pick(d, "SELECT TOP 1 [LCY Code] FROM " + table, "SELECT [LCY Code] FROM " + table + " LIMIT 1");
}

std::string DescriptionByCode(TSqlDialect, const std::string& table) {
    return "SELECT Description FROM " + table + " WHERE Code = :p";
}

std::string CountryName(TSqlDialect, const std::string& table) {
    return "SELECT [Name] FROM " + table + " WHERE [Code] = :p";
}

std::string CustomerEmail(TSqlDialect, const std::string& table) {
    return "SELECT [E-Mail] FROM " + table + " WHERE [No_] = :p";
}

std::string CustomerGln(TSqlDialect, const std::string& table) {
    return "SELECT [GLN] FROM " + table + " WHERE [No_] = :p";
}

std::string MandateAccount(TSqlDialect, const std::string& table) {
    return "SELECT [Customer Bank Account Code] FROM " + table + " WHERE [ID] = :p";
}

std::string CustomerBankAccounts(TSqlDialect, const std::string& table) {
    return "SELECT [Code], [IBAN], [SWIFT Code] FROM " + table +
           " WHERE [Customer No_] = :cust AND [IBAN] <> '' ORDER BY [Code]";
}

std::string Units(TSqlDialect, const std::string& table) {
    return "SELECT [Code], [Description], [International Standard Code] FROM " + table;
}

std::string InvoiceLines(TSqlDialect, const std::string& table) {
    return "SELECT * FROM " + table + " WHERE [Document No_] = :no ORDER BY [Line No_]";
}

std::string AllRows(TSqlDialect, const std::string& table) { return "SELECT * FROM " + table; }

std::string AllRowsByNo(TSqlDialect, const std::string& table) { return "SELECT * FROM " + table + " ORDER BY [No_]"; }

std::string RowByNo(TSqlDialect, const std::string& table) {
    return "SELECT * FROM " + table + " WHERE [No_] = :p";
}

std::string CmnmRecipients(TSqlDialect, const std::string& recipients, const std::string& contacts) {
    return "SELECT r.[Source Code], r.[Custom Address], k.[E-Mail] FROM " + recipients + " r LEFT JOIN " + contacts +
           " k ON k.[No_] = r.[Contact No_]" +
           " WHERE r.[Source Type] = :st AND r.[Document Type] = :dt AND r.[Recipient Type] = 0";
}

std::string CustomReportSelection(TSqlDialect, const std::string& table) {
    return "SELECT [Source No_], [Send To Email] FROM " + table +
           " WHERE [Source Type] = 18 AND [Usage] = 2 AND [Send To Email] <> '' ORDER BY [Sequence]";
}

} // namespace NavSql
} // namespace velkaro
