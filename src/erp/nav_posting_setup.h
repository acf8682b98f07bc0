#pragma once
// What NAV keeps for electronic documents beyond the posted document itself, read where
// the database has it and left alone where it has not (older NAV versions, trimmed
// copies): the "Tax Category" and VAT clause of each line's "VAT Posting Setup" row with
// the clause's translation, the card of a card payment, and the seller's creditor
// identifier for direct debit.
#include <string>

#include "invoice/invoice.h"

namespace velkaro {

class TNavData;

// Fills TaxCategory and VatClauseText of the invoice's lines from "VAT Posting Setup",
// "VAT Clause" and "VAT Clause Translation" (in `languageCode`, the customer's language,
// where NAV has a translation). The line's posted "VAT Clause Code" wins over the setup's.
void ReadNavTaxSetup(TNavData& data, const std::string& company, const std::string& languageCode, TInvoice& invoice);

// The card of a card payment: NAV's "DO Payment Credit Card" row named by the header's
// "Credit Card No." (`cardCode`): the last four digits of its number and the name on it.
void ReadNavCard(TNavData& data, const std::string& company, const std::string& cardCode, TInvoice& invoice);

// The creditor identifier of the company's bank accounts ("Bank Account", field
// "Creditor No."), the first one set in account order; empty when NAV keeps none.
std::string ReadNavCreditorId(TNavData& data, const std::string& company);

} // namespace velkaro
