#pragma once
// The database as the main window uses it: the companies and the invoice search. The
// window's presenter sees only this, so tests can hand it a fake database.
#include <memory>
#include <string>
#include <vector>

#include "invoice/invoice.h"

namespace velkaro {

class TNavData;

class TInvoiceSource {
public:
    virtual ~TInvoiceSource() = default;
    // The next call connects again with the then current settings.
    virtual void Disconnect() = 0;
    // Company names, ascending; connects when needed. Errors raise.
    virtual std::vector<std::string> Companies() = 0;
    // Posted invoices of `company` from `dateFrom` to `dateTo` (whole days, inclusive),
    // filtered by `text` when not blank; newest first, at most MaxRows. Errors raise.
    virtual std::vector<TInvoiceListItem> Search(const std::string& company, const std::string& text,
                                                 TDateTime dateFrom, TDateTime dateTo) = 0;
};

// The real NAV database; `data` must outlive the source.
std::unique_ptr<TInvoiceSource> NavInvoiceSource(TNavData& data);

} // namespace velkaro
