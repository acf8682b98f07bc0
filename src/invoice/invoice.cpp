#include "invoice/invoice.h"

#include "invoice/money_text.h"
#include "platform/text.h"

namespace velkaro {

std::string DocumentKindName(TDocumentKind kind) {
    return kind == bkCreditMemo ? "Rechnungskorrektur" : "Rechnung";
}

std::string TInvoice::InvCurrency() const {
    std::string code = Trim(CurrencyCode);
    return code.empty() ? std::string("EUR") : UpperAscii(code);
}

bool IsNavDate(TDateTime date) {
    static const TDateTime kFirstSetDay = EncodeDate(1754, 1, 1);
    // Day 0 (30.12.1899) lies after 1754 but is what an unfilled date holds.
    return date > kFirstSetDay && date != 0;
}

bool IsTextLine(const TInvLine& line) {
    // A Full VAT line posts VAT with a net amount 0: it is an item even without quantity.
    return line.LineType == 0 || (line.Quantity == 0.0 && line.Amount.IsZero() && line.AmountInclVat.IsZero());
}

TAddress TInvoice::DeliveryAddress() const {
    const bool hasShipTo = !ShipTo.Name.empty() || !ShipTo.Street.empty() || !ShipTo.City.empty() ||
                           !ShipTo.PostCode.empty();
    if (!hasShipTo) return BillTo;
    TAddress address = ShipTo;
    if (address.Name.empty()) {
        // NAV leaves the name blank when the goods go to the customer at another place.
        address.Name = BillTo.Name;
        address.Name2 = BillTo.Name2;
    }
    return address;
}

bool TInvoice::HasOtherDeliveryAddress() const {
    const TAddress delivery = DeliveryAddress();
    return !ShipToCode.empty() || delivery.Name != BillTo.Name || delivery.Street != BillTo.Street;
}

std::string RefundSentence(const TInvoice& invoice) {
    return "Den Betrag von " + FormatGermanMoney(invoice.DuePayable) + " " + invoice.InvCurrency() +
           " erstatten wir Ihnen oder verrechnen ihn mit offenen Posten.";
}

bool TInvoice::RefundsBuyer() const { return Kind == bkCreditMemo && DuePayable.Raw() >= 0; }

std::string LineText(const TInvLine& line) {
    std::string first = Trim(line.Description);
    std::string second = Trim(line.Description2);
    if (second.empty()) return first;
    return Trim(first + " " + second);
}

void NormalizeAddress(TAddress& address) {
    if (address.Street.empty() && !address.Street2.empty()) {
        address.Street = address.Street2;
        address.Street2.clear();
    }
}

} // namespace velkaro
