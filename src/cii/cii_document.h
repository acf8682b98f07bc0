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

// a and b trimmed, joined by one blank, trimmed again: no stray blank for an empty side.
std::string JoinWithSpace(std::string_view a, std::string_view b);

// Payment terms text with the cash-discount sentence, the percent in the user's number
// format ("14 Tage netto - bei Zahlung bis 01.12.2026 2,5 % Skonto").
std::string CiiPaymentTermsText(const TInvoice& invoice);

} // namespace velkaro
