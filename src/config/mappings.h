#pragma once
// Code mappings (units, countries, Leitweg-IDs, payment methods) and identifier checks.
#include "config/name_value_list.h"

namespace velkaro {

// Empty the list and fill it with the built-in NAV unit -> UN/ECE Rec. 20 table.
void FillBuiltInUnits(TNameValueList& units);
// Empty the list and fill it with the built-in NAV country -> ISO 3166-1 alpha-2 table.
void FillBuiltInCountries(TNameValueList& countries);

} // namespace velkaro
