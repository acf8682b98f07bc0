#pragma once
// Code mappings (units, countries, Leitweg-IDs, payment methods) and identifier checks.
// The lookups themselves are members of TSettings (MapUnit, MapCountry, LeitwegFor,
// IsDirectDebit); the checks on free text live in invoice/leitweg.h and
// invoice/email_extract.h.
#include <string>
#include <string_view>
#include <vector>

#include "config/name_value_list.h"

namespace velkaro {

// Empty the list and fill it with the built-in NAV unit -> UN/ECE Rec. 20 table.
void FillBuiltInUnits(TNameValueList& units);
// Empty the list and fill it with the built-in NAV country -> ISO 3166-1 alpha-2 table.
void FillBuiltInCountries(TNameValueList& countries);

// Splits a comma text: items are separated by commas and by blanks (codes up to
// U+0020); an item holding blanks or commas is enclosed in double quotes, a doubled
// quote inside stands for one quote. `a, "b c",d` gives a | b c | d.
std::vector<std::string> SplitCommaText(std::string_view text);

} // namespace velkaro
