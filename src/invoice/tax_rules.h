#pragma once
// The configured part of the VAT rules: which buyer country is domestic and the
// exemption reason of category E. A plain value, so that calculating, writing and
// printing an invoice need no settings object (and its tests no settings file). It is
// filled from the settings in one place only, TaxRulesOf (erp/nav_data.h), next to the
// loading where settings and NAV data meet.
#include <string>

namespace velkaro {

struct TTaxRules {
    // ISO code of the home country; a buyer there is exempt domestically (category E)
    // rather than an EU or export case. Compared without regard to letter case.
    std::string DefaultCountry;
    // Exemption reason printed and written for category E; may be empty.
    std::string ExemptReasonE;
};

} // namespace velkaro
