#include <cstdlib>

#include "cii/en16931_check.h"
#include "platform/number_format.h"

namespace velkaro {

namespace {

void CheckPosting(const TCheckSubject& subject, TCheckFindings& findings) {
    const TInvoice& inv = subject.Invoice;
    // Cent differences between posted VAT and basis x rate are ordinary; a whole
    // currency unit is no rounding but an amount the document does not explain.
    if (std::llabs(inv.Rounding.Raw()) < Currency::kScale) return;
    findings.Add("NAV-RUNDUNG",
                 "Rundungsbetrag " + LocalizeDecimalPoint(inv.Rounding.ToString(2)) + " " + inv.InvCurrency() +
                     " \u2013 Beträge in NAV prüfen",
                 NavLinePlace(inv) + ", Felder „Betrag“ und „Betrag inkl. MwSt.“");
}

} // namespace

const TRuleSet kNavPostingRules{"NAV-Buchung", &CheckPosting};

} // namespace velkaro
