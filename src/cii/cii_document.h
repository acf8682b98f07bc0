#pragma once
// The Cross Industry Invoice (UN/CEFACT CII D16B, ZUGFeRD 2 / Factur-X profile
// EN 16931) of one calculated invoice.
#include <string>
#include <string_view>

#include "invoice/invoice.h"

namespace velkaro {

// The complete document, UTF-8 without byte-order mark, LF line ends. Reads the
// groups and totals left by Calculate and does not recompute them (the rules give the
// line categories and exemption reasons, as for Calculate); never fails on missing data
// (required elements are written empty, optional ones left out).
std::string BuildCiiXml(const TInvoice& invoice, const TSeller& seller, const TTaxRules& rules);

// The context of an XRechnung 3.0 document (BT-24 and BT-23).
constexpr std::string_view kXRechnungGuideline =
    "urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0";
constexpr std::string_view kXRechnungProcess = "urn:fdc:peppol.eu:2017:poacc:billing:01:1.0";

// The machine-readable cash discount of the XRechnung guideline,
// "#SKONTO#TAGE=14#PROZENT=2.00#", days counted from the document date; empty without
// a discount.
std::string XRechnungDiscountLine(const TInvoice& invoice);

// a and b trimmed, joined by one blank, trimmed again: no stray blank for an empty side.
std::string JoinWithSpace(std::string_view a, std::string_view b);

// Payment terms text with the cash-discount sentence, the percent in the user's number
// format ("14 Tage netto - bei Zahlung bis 01.12.2026 2,5 % Skonto").
std::string CiiPaymentTermsText(const TInvoice& invoice);

} // namespace velkaro
