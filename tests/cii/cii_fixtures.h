#pragma once
// Small invoices for the CII tests: built in code, calculated with the real VAT rules.
#include <memory>
#include <string>
#include <vector>

#include "invoice/invoice.h"

namespace velkaro::test {

// The VAT rules of the settings' defaults: DE, "Steuerfreie Leistung".
TTaxRules DefaultTaxRules();

TInvLine TextLine(int lineNo, const std::string& description, const std::string& description2 = "");
// An item line; the VAT amount is net × rate rounded to cents unless `vat` is given.
TInvLine ItemLine(int lineNo, const std::string& itemNo, const std::string& description, double quantity,
                  const std::string& amount, double vatPct, const std::string& unitIso = "H87",
                  const char* vat = nullptr);

// The seller with every field the XML uses.
TSeller FullSeller();
// A domestic invoice: note lines, descriptions, two rates, a credit line, a line
// without quantity, a rounding amount, cash discount, credit transfer.
TInvoice DomesticInvoice();
// A plain one-line invoice to a buyer in `country` at `vatPct`.
TInvoice SimpleInvoice(const std::string& country, double vatPct, const std::string& buyerVatId = "");

struct NamedInvoice {
    std::string Name;
    TInvoice Invoice;
    TSeller Seller;
};
// Calculated invoices whose XML must pass the EN 16931 rules.
std::vector<NamedInvoice> ValidFixtures(const TTaxRules& rules);

// Element `tag` (its n-th occurrence) with everything inside, as whole lines,
// dedented so that the element's own line starts at column 0. Empty when missing.
std::string ElementText(const std::string& document, const std::string& tag, int occurrence = 0);
// Number of start tags of `tag`.
int CountElements(const std::string& document, const std::string& tag);

} // namespace velkaro::test
