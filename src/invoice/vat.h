#pragma once
// VAT categories (UNTDID 5305 as used by EN 16931), their codes and exemption reasons,
// and cent rounding. TInvoice::LineCategory, ExemptionText and Calculate (declared in
// invoice.h) are implemented in vat.cpp.
#include <optional>
#include <string>
#include <string_view>

#include "invoice/currency.h"
#include "invoice/invoice.h"

namespace velkaro {

// "S", "Z", "E", "AE", "K", "G", "O", "L", "M".
std::string CategoryCode(TVatCategory category);
// "VATEX-EU-AE", "VATEX-EU-IC", "VATEX-EU-G", "VATEX-EU-O"; empty for the others.
std::string VatexCode(TVatCategory category);
// The category of a code as NAV's "Tax Category" holds it (letter case ignored, blanks
// trimmed); nullopt for an empty or unknown code.
std::optional<TVatCategory> CategoryOfCode(std::string_view code);
// Categories whose VAT breakdown must carry an exemption reason (E, AE, K, G, O); the
// others (S, Z, L, M) must not.
bool TakesExemptionReason(TVatCategory category);
// The exemption reason written and printed for a group: its own when Calculate set one,
// else the category's text; empty where the category takes none.
std::string GroupExemptionText(const TVatGroup& group, const TTaxRules& rules);

// The statement § 14a Abs. 7 UStG requires on the invoice of an EU triangular trade
// (§ 25b UStG): the last customer owes the tax.
extern const char* const kThreePartyTradeText;

// Territories of member states outside the EU VAT area (Article 6 of the VAT directive
// 2006/112/EC), told by country and postal code (for Italy also by town): Mount Athos,
// the Canary Islands, the French territories of Articles 349 and 355(1) TFEU, the Åland
// Islands, Heligoland, Büsingen, Ceuta, Melilla, Livigno, Campione d'Italia. A supply
// there is an export.
bool OutsideEuVatArea(const TAddress& address);

// Member state of the EU for VAT (Greece as "GR", Northern Ireland as "XI"); the code
// is compared in ASCII upper case.
bool IsEuVatCountry(std::string_view isoCode);

// x rounded to whole cents, half away from zero. A hair (1e-9 cent) is added before
// cutting so that values a representation error below a half cent still round up.
// Not finite, or beyond the range of Currency: nullopt.
std::optional<Currency> TryRoundCents(long double x);
// As TryRoundCents; throws velkaro::Exception when x cannot be held as money.
Currency RoundCents(long double x);

// The amount as the XML and the print write it: rounded to whole cents, half away from
// zero. Sums of an invoice add these, so that a currency NAV keeps with three decimals
// still gives totals equal to the sum of the written lines.
Currency CentsAsWritten(Currency amount);

// The tax of a basis at a rate in percent: RoundCents(basis × rate / 100), computed in
// extended precision; nullopt when the rate is not finite or the result out of range.
std::optional<Currency> ComputedTax(Currency basis, double ratePct);

// Two VAT rates count as equal when they differ by at most the larger of 1e-12 and
// 1e-12 times the smaller magnitude.
bool SameVatRate(double a, double b);

} // namespace velkaro
