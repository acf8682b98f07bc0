#include "cii/cii_fields.h"

#include "cii/xml_out.h"
#include "platform/text.h"

namespace velkaro {

bool HasXmlText(std::string_view value) { return !XmlEscape(value).empty(); }

std::string CiiSellerVatId(const TSeller& seller) { return ReplaceAll(seller.VatID, " ", ""); }

std::string CiiItemName(const TInvLine& line) {
    std::string name = LineText(line);
    return HasXmlText(name) ? name : line.ItemNo;
}

TAddress CiiDeliveryAddress(const TInvoice& invoice) { return invoice.DeliveryAddress(); }

bool CiiWritesShipTo(const TInvoice& invoice) {
    if (invoice.HasOtherDeliveryAddress()) return true;
    for (const TVatGroup& g : invoice.VatGroups)
        if (g.Category == vcK) return true;
    return false;
}

std::string CiiPaymentMeansCode(const TInvoice& inv, const TSeller& seller) {
    if (inv.RefundsBuyer()) return "1";
    if (inv.DirectDebit) return "59";
    if (SameText(inv.PayMethodCode, "BAR")) return "10";
    if (SameText(inv.PayMethodCode, "KK")) return "54";
    if (SameText(inv.PayMethodCode, "PAYPAL")) return "68";
    return HasXmlText(seller.IBAN) ? "58" : "1";
}

bool CiiCardPayment(const TInvoice& invoice, const TSeller& seller) {
    return CiiPaymentMeansCode(invoice, seller) == "54";
}

bool CiiDirectDebit(const TInvoice& invoice) { return invoice.DirectDebit && !invoice.RefundsBuyer(); }

bool CiiWritesSellerAccount(const TInvoice& invoice, const TSeller& seller) {
    const std::string code = CiiPaymentMeansCode(invoice, seller);
    // A card payment is settled through the card, a refund goes the other way.
    return HasXmlText(seller.IBAN) && code != "59" && code != "54" && !invoice.RefundsBuyer();
}

} // namespace velkaro
