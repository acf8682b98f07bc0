#pragma once
// Every SQL statement that reads the NAV database, in the two dialects side by side:
// SQL Server (the customer's NAV database) and SQLite (the embedded demo and test
// databases). Table arguments are names already quoted by NavTableName.
#include <string>
#include <vector>

#include "invoice/invoice.h"

namespace velkaro {

enum TSqlDialect { sdSqlServer, sdSqlite };

// A table name quoted: SQL Server "[name]" with every "]" doubled; SQLite "\"name\""
// with every '"' doubled (SQLite's brackets cannot hold a "]").
std::string NavQuotedName(TSqlDialect d, const std::string& name);
// The per-company table of NAV's naming, quoted: "<company>$<table>".
std::string NavTableName(TSqlDialect d, const std::string& company, const std::string& table);

// "<main> m" and each companion table joined to it by the primary key columns `keys`
// ("LEFT JOIN <companion> c1 ON c1.[key] = m.[key] …"); names unquoted, as the database
// spells them.
std::string NavTableSource(TSqlDialect d, const std::string& main, const std::vector<std::string>& companions,
                           const std::vector<std::string>& keys);

// The posted header and line tables of a document kind ("Sales Invoice Header",
// "Sales Cr_Memo Line" …), unquoted.
const char* NavHeaderTable(TDocumentKind kind);
const char* NavLineTable(TDocumentKind kind);

namespace NavSql {

// Discovery.
std::string CompanyTables(TSqlDialect d);         // names beginning with :p (the company and "$")
std::string InvoiceTables(TSqlDialect d);         // the names of the invoice header tables, any company
std::string BaseAppVersion(TSqlDialect d);        // :id; major, minor, build, revision
std::string ObjectVersionAndDate(TSqlDialect d);  // codeunit 1
std::string ObjectVersion(TSqlDialect d);         // codeunit 2
std::string ServerInstance(TSqlDialect d);
std::string DbProperty(TSqlDialect d);
std::string ServerVersion(TSqlDialect d);
// The about line built from the ServerVersion row (version, edition, level).
std::string ServerVersionLine(TSqlDialect d, const std::string& version, const std::string& edition,
                              const std::string& level);

// Search: parameters :dvon, :dbis and, with a text filter, :s1 to :s4; maxRows 0
// means every matching row. The rows are sorted and limited first; the gross amount
// ("Brutto") and the customer's e-mail ("Mail") are computed for the rows returned only.
std::string Search(TSqlDialect d, int maxRows, const std::string& lines, const std::string& customers,
                   const std::string& headers, bool withText);
// The same over invoices and credit memos together, with the kind (0 invoice, 1 credit
// memo) as the ninth column "Art"; ordered as Search.
std::string SearchWithCreditMemos(TSqlDialect d, int maxRows, const std::string& lines, const std::string& customers,
                                  const std::string& headers, const std::string& creditLines,
                                  const std::string& creditHeaders, bool withText);

// Seller and invoice. The statements that read whole rows take the table as a source
// whose main table has the alias "m" (NavTableSource), with its companion tables joined.
std::string CompanyInformation(TSqlDialect d, const std::string& table);
std::string InvoiceHeader(TSqlDialect d, const std::string& table);      // :no (credit memos too)
std::string PostingDate(TSqlDialect d, const std::string& table);        // :p (the corrected invoice)
std::string LcyCode(TSqlDialect d, const std::string& table);
std::string CodeDescriptions(TSqlDialect d, const std::string& table);  // payment terms, methods: code, text
std::string CountryNames(TSqlDialect d, const std::string& table);      // code, name
std::string CustomerMailAndGln(TSqlDialect d, const std::string& table);  // :p
std::string MandateAccount(TSqlDialect d, const std::string& table);     // :p
std::string CustomerBankAccounts(TSqlDialect d, const std::string& table);  // :cust
std::string Units(TSqlDialect d, const std::string& table);
std::string InvoiceLines(TSqlDialect d, const std::string& table);       // :no
// Every row of a small setup table; AllRowsByNo in the order of [No_].
std::string AllRows(TSqlDialect d, const std::string& table);
std::string AllRowsByNo(TSqlDialect d, const std::string& table);
std::string RowByNo(TSqlDialect d, const std::string& table);           // :p

// Recipients.
std::string CmnmRecipients(TSqlDialect d, const std::string& recipients, const std::string& contacts);  // :st, :dt
std::string CustomReportSelection(TSqlDialect d, const std::string& table);

} // namespace NavSql
} // namespace velkaro
