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

// The delivery address: the ship-to address, or the bill-to address when the ship-to
// name is empty.
const TAddress& CiiDeliveryAddress(const TInvoice& invoice);
// Whether the document carries a delivery party: a ship-to code, a delivery address
// other than the bill-to one, or an intra-community supply (which needs the country of
// delivery even at the buyer's address).
bool CiiWritesShipTo(const TInvoice& invoice);

} // namespace velkaro
