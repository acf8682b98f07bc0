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

const TAddress& CiiDeliveryAddress(const TInvoice& invoice) {
    return invoice.ShipTo.Name.empty() ? invoice.BillTo : invoice.ShipTo;
}

bool CiiWritesShipTo(const TInvoice& invoice) {
    const TAddress& shipTo = CiiDeliveryAddress(invoice);
    if (!invoice.ShipToCode.empty() || shipTo.Name != invoice.BillTo.Name || shipTo.Street != invoice.BillTo.Street)
        return true;
    for (const TVatGroup& g : invoice.VatGroups)
        if (g.Category == vcK) return true;
    return false;
}

} // namespace velkaro
