#include "invoice/invoice.h"

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
    return line.LineType == 0 || (line.Quantity == 0.0 && line.Amount.IsZero());
}

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
