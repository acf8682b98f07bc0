#pragma once
// What the Cross Industry Invoice writes for a field whose value the writer derives
// (the seller's VAT id, an item's name, whether a delivery party appears): one home for
// each decision, so the document and the EN 16931 check see the same values.
#include <string>
#include <string_view>

#include "invoice/invoice.h"

namespace velkaro {

// "Non-empty" for the XML: something is left once the text is escaped, so that a
// condition never opens an element whose only child would come out empty.
bool HasXmlText(std::string_view value);

// The seller's VAT identifier as written: every blank removed.
std::string CiiSellerVatId(const TSeller& seller);

// The name of an item line: its text, else its item number.
std::string CiiItemName(const TInvLine& line);

// The delivery address (TInvoice::DeliveryAddress, the one the print shows).
TAddress CiiDeliveryAddress(const TInvoice& invoice);
// Whether the document carries a delivery party: a ship-to code, a delivery address
// other than the bill-to one, or an intra-community supply (which needs the country of
// delivery even at the buyer's address).
bool CiiWritesShipTo(const TInvoice& invoice);

// The payment means code (UNTDID 4461): "59" direct debit, "10" cash, "54" card, "68"
// online payment service, "58" SEPA credit transfer, "1" not defined; a credit memo that
// refunds "1" (refund or set-off, as its print says).
std::string CiiPaymentMeansCode(const TInvoice& invoice, const TSeller& seller);
// The payment means is a card payment (codes 48, 54, 55).
bool CiiCardPayment(const TInvoice& invoice, const TSeller& seller);
// The document carries the direct-debit group (mandate, creditor id, debited account).
bool CiiDirectDebit(const TInvoice& invoice);
// The seller's account is written as the account to pay to.
bool CiiWritesSellerAccount(const TInvoice& invoice, const TSeller& seller);

} // namespace velkaro
