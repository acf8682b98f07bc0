#pragma once
// The program's door to the NAV database: one connection, opened by the first query and
// kept; company and version discovery, invoice search, loading of seller and invoice,
// and the resolution of invoice e-mail recipients. The database is only read.
//
// What NAV holds per company and what does not change from one document to the next
// (TNavCompanyData, nav_company.h) is read again by every search and every load, so that
// changes in NAV show at once; within a run (TNavData::TRun, e.g. one batch run) it is
// read at its first use and kept until the run ends or another company is asked for.
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "erp/db_query.h"
#include "erp/nav_company.h"
#include "erp/nav_tables.h"
#include "invoice/invoice.h"
#include "invoice/tax_rules.h"

namespace velkaro {

class TSettings;

class TNavData {
public:
    // Keeps the settings (not owned; read again at every connect). Does not connect.
    explicit TNavData(const TSettings& settings);
    ~TNavData();
    TNavData(const TNavData&) = delete;
    TNavData& operator=(const TNavData&) = delete;

    // A run: while one is open, the per-company data is kept between documents. Runs
    // may nest; the data is dropped when the outermost ends.
    class TRun {
    public:
        explicit TRun(TNavData& data) : FData(data) { ++FData.FRunDepth; }
        ~TRun() {
            if (--FData.FRunDepth == 0) FData.FCompany.reset();
        }
        TRun(const TRun&) = delete;
        TRun& operator=(const TRun&) = delete;

    private:
        TNavData& FData;
    };

    // --- connection and discovery (nav_data.cpp)
    // Does nothing when connected; errors of the driver propagate unchanged.
    void Connect();
    // The next query connects again with the then current settings.
    void Disconnect();
    bool Connected() const { return FConn != nullptr; }
    // The SQL dialect of the database (connects when needed).
    TSqlDialect Dialect();
    // A query on the connection (connecting first), command time-out 120 seconds.
    std::unique_ptr<TDbQuery> NewQuery(const std::string& sql);
    // First column of the first row, trimmed, with ":p" = value; empty without a row.
    // An empty value gives empty text without running the query.
    std::string LookupText(const std::string& sql, const std::string& value);
    // Every column of the first row as trimmed text; empty without a row.
    std::vector<std::string> QueryFirstRow(const std::string& sql);
    // The tables of the company as the database names them (NAV's "<company>$<table>"
    // or Business Central's with app ids, nav_tables.h); read once per company and
    // connection.
    const TNavCompanyTables& CompanyTables(const std::string& company);
    // Raises the German error naming the company and the tables it lacks.
    void RequireCompleteTables(const std::string& company);
    // The quoted name of the company's table in the database's dialect (SQL Server:
    // "[" + name, "]" doubled, + "]"), found with or without app id.
    std::string TableName(const std::string& company, const std::string& table);
    // The table for a statement that reads whole rows: the table with the alias "m" and
    // its companion tables joined by the primary key columns `keys`.
    std::string TableSource(const std::string& company, const std::string& table, const std::vector<std::string>& keys);
    bool TableExists(const std::string& company, const std::string& table);
    // The company has the credit-memo tables (older installations and trimmed copies
    // lack them).
    bool HasCreditMemos(const std::string& company);
    // Companies with a sales invoice header table (with or without app id), ascending.
    std::vector<std::string> Companies();
    // The hint lines of the companies whose tables were looked at on this connection
    // (both namings for one company); empty when there is nothing to say.
    std::vector<std::string> TableHints() const;
    // "Microsoft Dynamics NAV 2016 (9.00, Build 47256)", "Business Central 23.1 (Build
    // 12345)", from the database's own records; errors of the database propagate.
    std::string ProductVersion();
    // Lines for the about dialog and the check; never fails.
    std::vector<std::string> NavVersionInfo();
    static std::string ParseNavVersion(const std::string& versionList);

    // --- invoice search (nav_search.cpp)
    // Posted invoices and credit memos of the company from `dateFrom` to `dateTo` (whole
    // days, both inclusive), filtered by `text` when it is not blank; newest first, at
    // most MaxRows (the window's list) or all of them (a batch selection). Invoices only
    // where the company has no credit-memo tables.
    enum TRowLimit { rlMaxRows, rlNone };
    std::vector<TInvoiceListItem> Search(const std::string& company, const std::string& text, TDateTime dateFrom,
                                         TDateTime dateTo, TRowLimit limit = rlMaxRows);

    // --- seller and invoice (nav_load.cpp)
    TSeller LoadSeller(const std::string& company);
    // Fully loaded and calculated; errors leave nothing behind. A credit memo loads into
    // the same model, with the invoice it corrects.
    std::unique_ptr<TInvoice> LoadInvoice(const std::string& company, const std::string& invoiceNo,
                                          TDocumentKind kind = bkInvoice);
    // The address columns with `prefix` ("Bill-to ", "Ship-to ", "") of the current row.
    TAddress ReadAddress(const TDbQuery& query, const std::string& prefix, bool withContact) const;

    // --- invoice e-mail recipients (nav_recipients.cpp)
    // Reloads the CMNM recipients and the document-layout addresses of the company (also
    // within a run).
    void LoadRecipientMaps(const std::string& company);
    // Recipients joined by "; " (empty when none) and, in `source`, where they came from.
    std::string ResolveInvoiceEmail(const std::string& customerNo, const std::string& customerEmail,
                                    std::string& source) const;
    // Invoice mailboxes (rechnung@, buchhaltung.nord@, re-eingang@ …) first; stable.
    static std::vector<std::string> PreferInvoiceMailboxes(const std::vector<std::string>& addresses);

private:
    // --- per-company data (nav_company.cpp)
    // The data of the company: kept within a run for the same company, else new and empty.
    TNavCompanyData& CompanyData(const std::string& company);
    // Each part is read at its first use.
    const TSeller& CompanySeller(TNavCompanyData& data);
    const std::string& LcyCode(TNavCompanyData& data);
    const TNavCodeTexts& PaymentTerms(TNavCompanyData& data);
    const TNavCodeTexts& PaymentMethods(TNavCompanyData& data);
    const TNavCodeTexts& Countries(TNavCompanyData& data);
    const std::map<std::string, TNavUnit>& Units(TNavCompanyData& data);
    const TNavRecipients& Recipients(TNavCompanyData& data);
    void ReadRecipients(TNavCompanyData& data);
    TNavCodeTexts ReadCodeTexts(const std::string& sql);

    const TSettings& FSettings;
    std::shared_ptr<TDbBackend> FConn;
    int FRunDepth = 0;
    std::unique_ptr<TNavCompanyData> FCompany;  // the company last asked for
    std::map<std::string, TNavCompanyTables> FTables;  // upper-case company -> its tables (this connection)
};

// The VAT rules of the settings (nav_load.cpp). The one place that fills TTaxRules from
// TSettings: LoadInvoice calculates with it, and the workflows write and print with it.
TTaxRules TaxRulesOf(const TSettings& settings);

} // namespace velkaro
