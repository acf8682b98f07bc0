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

// "S", "Z", "E", "AE", "K", "G".
std::string CategoryCode(TVatCategory category);
// "VATEX-EU-AE", "VATEX-EU-IC", "VATEX-EU-G"; empty for S, Z and E.
std::string VatexCode(TVatCategory category);

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
