#include "erp/nav_sql.h"

#include <vector>

#include "platform/text.h"

namespace velkaro {

std::string NavQuotedName(TSqlDialect d, const std::string& name) {
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "x" + std::string.
    std::string quoted(1, d == sdSqlite ? '"' : '[');
    quoted += d == sdSqlite ? ReplaceAll(name, "\"", "\"\"") : ReplaceAll(name, "]", "]]");
    quoted += d == sdSqlite ? '"' : ']';
    return quoted;
}

std::string NavTableName(TSqlDialect d, const std::string& company, const std::string& table) {
    return NavQuotedName(d, company + "$" + table);
}

std::string NavTableSource(TSqlDialect d, const std::string& main, const std::vector<std::string>& companions,
                           const std::vector<std::string>& keys) {
    std::string source = NavQuotedName(d, main) + " m";
    for (size_t i = 0; i < companions.size(); ++i) {
        const std::string alias = "c" + std::to_string(i + 1);
        source += " LEFT JOIN " + NavQuotedName(d, companions[i]) + " " + alias;
        for (size_t k = 0; k < keys.size(); ++k)
            source += (k == 0 ? " ON " : " AND ") + alias + ".[" + keys[k] + "] = m.[" + keys[k] + "]";
    }
    return source;
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

// The prefix ends with "$": LEN's ignoring of trailing blanks cannot shorten it.
std::string CompanyTables(TSqlDialect d) {
    return Pick(d, "SELECT name FROM sys.tables WHERE LEFT(name, LEN(:p)) = :p",
                "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND "
                "substr(name, 1, length(:p)) = :p COLLATE NOCASE");
}

// With and without app id; NavCompaniesFromTableNames picks the companies out.
std::string InvoiceTables(TSqlDialect d) {
    return Pick(d, "SELECT name FROM sys.tables WHERE name LIKE '%$Sales Invoice Header%'",
                "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE '%$Sales Invoice Header%'");
}

std::string BaseAppVersion(TSqlDialect) {
    return "SELECT [Version Major], [Version Minor], [Version Build], [Version Revision] FROM [NAV App Installed App] "
           "WHERE [App ID] = :id";
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

// One document kind of the search.
struct TSearchKind {
    const std::string& Lines;
    const std::string& Headers;
};

// The header rows of one kind that pass the filter, with the sort keys and the kind
// ("Art") as columns; with a row limit only the newest maxRows of them, as no more of
// them can be among the newest maxRows of all kinds.
std::string SearchKeys(TSqlDialect d, int maxRows, const std::string& headers, bool withText, int kind) {
    const std::string filter = withText ? " AND (h.[No_] LIKE :s1 OR h.[Bill-to Name] LIKE :s2 OR "
                                          "h.[Bill-to Customer No_] LIKE :s3 OR h.[Bill-to City] LIKE :s4)"
                                        : "";
    // SQLite stores dates as text: whole days from the first to the last, whatever time
    // or separator a row carries.
    const std::string dates = d == sdSqlServer
                                  ? " h WHERE h.[Posting Date] BETWEEN :dvon AND :dbis"
                                  : " h WHERE h.[Posting Date] >= date(:dvon) AND h.[Posting Date] < date(:dbis, '+1 day')";
    const std::string select = "SELECT " + Top(d, maxRows) +
                               "h.[No_], h.[Posting Date], h.[Bill-to Customer No_], h.[Bill-to Name], h.[Bill-to City], "
                               "h.[Currency Code], " + (d == sdSqlServer ? "LEN(" : "length(") + "h.[No_]) AS NoLen, " +
                               std::to_string(kind) + " AS Art FROM " + headers + dates + filter;
    if (maxRows <= 0) return select;
    return "SELECT * FROM (" + select + SearchOrder(d, "h") + Limit(d, maxRows) + ") i" + std::to_string(kind);
}

// The kinds' rows together, sorted and limited; the gross amount and the customer's
// e-mail are computed only for the rows that stay. Columns: number, posting date,
// customer number, name, city, currency, "Brutto", "Mail", "Art".
std::string SearchOver(TSqlDialect d, int maxRows, const std::string& customers, bool withText,
                       const std::vector<TSearchKind>& kinds) {
    std::string keys, gross;
    for (size_t i = 0; i < kinds.size(); ++i) {
        if (i > 0) keys += " UNION ALL ";
        keys += SearchKeys(d, maxRows, kinds[i].Headers, withText, static_cast<int>(i));
        const std::string sum = "(SELECT SUM(l.[Amount Including VAT]) FROM " + kinds[i].Lines +
                                " l WHERE l.[Document No_] = k.[No_])";
        gross += kinds.size() == 1 ? sum : (i + 1 < kinds.size() ? " WHEN " + std::to_string(i) + " THEN " : " ELSE ") + sum;
    }
    if (kinds.size() > 1) gross = "CASE k.Art" + gross + " END";
    const std::string mail = d == sdSqlServer ? "(SELECT TOP 1 c.[E-Mail] FROM " + customers +
                                                    " c WHERE c.[No_] = k.[Bill-to Customer No_])"
                                              : "(SELECT c.[E-Mail] FROM " + customers +
                                                    " c WHERE c.[No_] = k.[Bill-to Customer No_] LIMIT 1)";
    return "SELECT " + Top(d, maxRows) +
           "k.[No_], k.[Posting Date], k.[Bill-to Customer No_], k.[Bill-to Name], k.[Bill-to City], k.[Currency Code], " +
           gross + " AS Brutto, " + mail + " AS Mail, k.Art FROM (" + keys +
           ") k ORDER BY k.[Posting Date] DESC, k.NoLen DESC, k.[No_] DESC, k.Art" + Limit(d, maxRows);
}
} // namespace

std::string Search(TSqlDialect d, int maxRows, const std::string& lines, const std::string& customers,
                   const std::string& headers, bool withText) {
    return SearchOver(d, maxRows, customers, withText, {{lines, headers}});
}

std::string SearchWithCreditMemos(TSqlDialect d, int maxRows, const std::string& lines, const std::string& customers,
                                  const std::string& headers, const std::string& creditLines,
                                  const std::string& creditHeaders, bool withText) {
    return SearchOver(d, maxRows, customers, withText, {{lines, headers}, {creditLines, creditHeaders}});
}

std::string CompanyInformation(TSqlDialect d, const std::string& table) {
    return Pick(d, "SELECT TOP 1 * FROM " + table, "SELECT * FROM " + table + " LIMIT 1");
}

std::string InvoiceHeader(TSqlDialect, const std::string& table) {
    return "SELECT * FROM " + table + " WHERE m.[No_] = :no";
}

std::string PostingDate(TSqlDialect, const std::string& table) {
    return "SELECT [Posting Date] FROM " + table + " WHERE [No_] = :p";
}

std::string LcyCode(TSqlDialect d, const std::string& table) {
    return Pick(d, "SELECT TOP 1 [LCY Code] FROM " + table, "SELECT [LCY Code] FROM " + table + " LIMIT 1");
}

std::string CodeDescriptions(TSqlDialect, const std::string& table) {
    return "SELECT [Code], [Description] FROM " + table;
}

std::string CountryNames(TSqlDialect, const std::string& table) {
    return "SELECT [Code], [Name] FROM " + table;
}

std::string CustomerMailAndGln(TSqlDialect, const std::string& table) {
    return "SELECT [E-Mail], [GLN] FROM " + table + " WHERE [No_] = :p";
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
    return "SELECT * FROM " + table + " WHERE m.[Document No_] = :no ORDER BY m.[Line No_]";
}

std::string AllRows(TSqlDialect, const std::string& table) { return "SELECT * FROM " + table; }

std::string AllRowsByNo(TSqlDialect, const std::string& table) { return "SELECT * FROM " + table + " ORDER BY m.[No_]"; }

std::string RowByNo(TSqlDialect, const std::string& table) {
    return "SELECT * FROM " + table + " WHERE m.[No_] = :p";
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
