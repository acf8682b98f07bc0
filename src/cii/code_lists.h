#pragma once
// The code lists an EN 16931 invoice must draw from. Codes compare exactly (the rules
// take them as written: "eur" is no currency).
#include <string_view>

namespace velkaro {

// ISO 4217 currency code.
bool IsIsoCurrency(std::string_view code);
// ISO 3166-1 alpha-2 country code (with "XI" for Northern Ireland and "1A" for Kosovo).
bool IsIsoCountry(std::string_view code);
// The first two letters a VAT identifier may start with: a country code or "EL".
bool IsVatPrefix(std::string_view prefix);
// Unit of measure of UN/ECE Recommendation 20 or 21.
bool IsRec20Unit(std::string_view code);

} // namespace velkaro
