#pragma once
// Every SQL statement that reads the NAV database, in the two dialects side by side:
// SQL Server (the customer's NAV database) and SQLite (the embedded demo and test
// databases). Table arguments are names already quoted by NavTableName.
#include <string>

#include "invoice/invoice.h"

namespace velkaro {

enum TSqlDialect { sdSqlServer, sdSqlite };

// The per-company table: SQL Server "[Company$Table]" with every "]" doubled; SQLite
// "\"Company$Table\"" with every '"' doubled (SQLite's brackets cannot hold a "]").
std::string NavTableName(TSqlDialect d, const std::string& company, const std::string& table);
// The value bound to the parameter of NavSql::TableExists.
std::string NavObjectName(TSqlDialect d, const std::string& company, const std::string& table);

// The posted header and line tables of a document kind ("Sales Invoice Header",
// "Sales Cr_Memo Line" …), unquoted.
const char* NavHeaderTable(TDocumentKind kind);
const char* NavLineTable(TDocumentKind kind);

namespace NavSql {

// Discovery.
std::string TableExists(TSqlDialect d);           // parameter :n
std::string Companies(TSqlDialect d);
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

// Seller and invoice.
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
