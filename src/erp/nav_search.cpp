#include <cmath>

#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/text.h"

namespace velkaro {

std::vector<TInvoiceListItem> TNavData::Search(const std::string& company, const std::string& text,
                                               TDateTime dateFrom, TDateTime dateTo, TRowLimit limit) {
    const TSqlDialect d = Dialect();
    TDbReadTransaction read(*FConn);
    Recipients(CompanyData(company));
    const std::string t = Trim(text);
    // A row limit below 1 would make the statement invalid (TOP 0 / TOP -1); the
    // default applies instead.
    const int maxRows = limit == rlNone ? 0 : FSettings.MaxRows > 0 ? FSettings.MaxRows : 1000;
    const bool withCredits = HasCreditMemos(company);
    const std::string lines = TableName(company, NavLineTable(bkInvoice));
    const std::string customers = TableName(company, "Customer");
    const std::string headers = TableName(company, NavHeaderTable(bkInvoice));
    auto q = NewQuery(withCredits ? NavSql::SearchWithCreditMemos(d, maxRows, lines, customers, headers,
                                                                  TableName(company, NavLineTable(bkCreditMemo)),
                                                                  TableName(company, NavHeaderTable(bkCreditMemo)),
                                                                  !t.empty())
                                  : NavSql::Search(d, maxRows, lines, customers, headers, !t.empty()));
    q->SetDateTime("dvon", std::trunc(dateFrom));
    q->SetDateTime("dbis", std::trunc(dateTo));
    if (!t.empty()) {
        // Passed unchanged: "%" and "_" typed by the user act as wildcards.
        const std::string pattern = "%" + t + "%";
        for (const char* name : {"s1", "s2", "s3", "s4"}) q->SetText(name, pattern);
    }
    q->Open();
    std::vector<TInvoiceListItem> items;
    for (; !q->Eof(); q->Next()) {
        TInvoiceListItem item;
        if (withCredits && q->Integer(8) == 1) item.Kind = bkCreditMemo;
        item.No = q->Text(0);
        item.PostingDate = q->Date(1);
        item.CustomerNo = q->Text(2);
        item.Name = q->Text(3);
        item.City = q->Text(4);
        item.CurrencyCode = q->Text(5);
        item.Gross = q->Money(6);
        item.InvoiceEmail = ResolveInvoiceEmail(item.CustomerNo, q->Text(7), item.InvoiceEmailSource);
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace velkaro
