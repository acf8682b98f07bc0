#include "cii/en16931_check.h"

#include <algorithm>

#include "cii/cii_document.h"
#include "cii/cii_fields.h"

namespace velkaro {

namespace {

constexpr const char* kNavCompany = "NAV Firmendaten (Company Information)";

void Require(bool present, std::string_view rule, const std::string& missing, const std::string& fixAt,
             TCheckFindings& findings) {
    if (!present) findings.Add(rule, missing + " fehlt (XRechnung)", fixAt);
}

void CheckSeller(const TSeller& seller, TCheckFindings& findings) {
    const std::string company = kNavCompany;
    Require(HasXmlText(seller.Addr.City), "BR-DE-3", "Ort des Verkäufers", company + ", Feld „Ort“", findings);
    Require(HasXmlText(seller.Addr.PostCode), "BR-DE-4", "Postleitzahl des Verkäufers", company + ", Feld „PLZ-Code“",
            findings);
    const std::string phoneAt = "INI [Verkaeufer] Telefon oder " + company + ", Feld „Telefonnr.“";
    const std::string emailAt = "INI [Verkaeufer] EMail oder " + company + ", Feld „E-Mail“";
    // Without any part the contact group itself is missing, and the rule names only that.
    if (!HasXmlText(seller.ContactName) && !HasXmlText(seller.Phone) && !HasXmlText(seller.Email)) {
        Require(false, "BR-DE-2", "Kontakt des Verkäufers (Ansprechpartner, Telefon, E-Mail)",
                "INI [Verkaeufer] Ansprechpartner, " + phoneAt + ", " + emailAt, findings);
    } else {
        Require(HasXmlText(seller.ContactName), "BR-DE-5", "Ansprechpartner des Verkäufers",
                "INI [Verkaeufer] Ansprechpartner", findings);
        Require(HasXmlText(seller.Phone), "BR-DE-6", "Telefonnummer des Verkäufers", phoneAt, findings);
        Require(HasXmlText(seller.Email), "BR-DE-7", "E-Mail-Adresse des Verkäufers", emailAt, findings);
    }
    Require(HasXmlText(seller.Email), "PEPPOL-EN16931-R020", "Elektronische Adresse des Verkäufers (seine E-Mail)",
            emailAt, findings);
}

void CheckBuyer(const TInvoice& inv, TCheckFindings& findings) {
    const std::string header = NavHeaderPlace(inv);
    Require(HasXmlText(inv.BillTo.City), "BR-DE-8", "Ort des Käufers", header + ", Feld „Rech. an Ort“", findings);
    Require(HasXmlText(inv.BillTo.PostCode), "BR-DE-9", "Postleitzahl des Käufers",
            header + ", Feld „Rech. an PLZ-Code“", findings);
    Require(HasXmlText(inv.BuyerReference), "BR-DE-15", "Käuferreferenz (Leitweg-ID oder Ihre Referenz)",
            "INI [Leitweg] " + inv.CustomerNo + "= oder " + header + ", Feld „Ihre Referenz“", findings);
    Require(HasXmlText(inv.LeitwegID) || HasXmlText(inv.BuyerEmail), "PEPPOL-EN16931-R010",
            "Elektronische Adresse des Käufers (Leitweg-ID oder Rechnungs-E-Mail)",
            "INI [Leitweg] " + inv.CustomerNo + "= oder NAV Debitor, Feld „E-Mail“", findings);
}

// Payment terms that start with "#" read as a malformed discount line; after the
// discount line, a "#…#" in them hides the line break the discount line must end with.
// A "#" elsewhere is fine.
void CheckPaymentTerms(const TInvoice& inv, TCheckFindings& findings) {
    if (inv.RefundsBuyer()) return;  // a refund's terms are the program's own sentence
    const std::string terms = CiiPaymentTermsText(inv);
    const bool afterDiscount = !XRechnungDiscountLine(inv).empty();
    if (!terms.starts_with('#') && !(afterDiscount && std::count(terms.begin(), terms.end(), '#') >= 2)) return;
    findings.Add("BR-DE-18", "Zahlungsbedingung „" + inv.PayTermsText + "“ enthält „#“, das XRechnung für Skonto-Angaben reserviert",
                 "NAV Zahlungsbedingungen (Payment Terms), Feld „Beschreibung“");
}

// The payment means: a card payment names the card, a direct debit its mandate, the
// seller's creditor identifier and the debited account.
void CheckPaymentMeans(const TInvoice& inv, const TSeller& seller, TCheckFindings& findings) {
    const std::string header = NavHeaderPlace(inv);
    if (CiiCardPayment(inv, seller) && !HasXmlText(inv.CardNumberTail))
        findings.Add("BR-DE-24-a", "Kartenzahlung ohne Kartenangaben (letzte Ziffern der Kartennummer)",
                     header + ", Feld „Kreditkartennr.“ (Credit Card No.) mit der Karte in „DO Payment Credit Card“, "
                              "oder eine andere Zahlungsform");
    if (!CiiDirectDebit(inv)) return;
    const bool mandate = HasXmlText(inv.MandateID);
    const bool creditor = HasXmlText(seller.CreditorID);
    const bool debited = HasXmlText(inv.BuyerIBAN);
    const std::string mandateAt = header + ", Feld „Mandat-ID“ (Direct Debit Mandate ID)";
    if (!mandate)
        findings.Add("PEPPOL-EN16931-R061", "Mandatsreferenz der SEPA-Lastschrift fehlt", mandateAt);
    if (!mandate && !creditor && !debited) {
        findings.Add("BR-DE-25-a", "Lastschrift ohne Mandat, Gläubiger-ID und belastetes Konto", mandateAt);
        return;
    }
    if (!creditor)
        findings.Add("BR-DE-30", "Gläubiger-Identifikationsnummer des Verkäufers fehlt",
                     "NAV Bankkonto (Bank Account), Feld „Gläubiger-Nr.“ (Creditor No.), oder INI [Verkaeufer] GlaeubigerID");
    if (!debited) {
        const std::string accountAt =
            inv.MandateAccountCode.empty()
                ? "NAV Lastschriftmandat (SEPA Direct Debit Mandate) " + inv.MandateID +
                      ", Feld „Debitor-Bankkontocode“, und das Debitor-Bankkonto, Feld „IBAN“"
                : "NAV Debitor-Bankkonto (Customer Bank Account) " + inv.CustomerNo + " " + inv.MandateAccountCode +
                      ", Feld „IBAN“";
        findings.Add("BR-DE-31", "IBAN des belasteten Kontos (Debitor-Bankkonto des Mandats) fehlt",
                     mandate ? accountAt : mandateAt);
    }
}

void CheckXRechnung(const TCheckSubject& subject, TCheckFindings& findings) {
    CheckSeller(subject.Seller, findings);
    CheckBuyer(subject.Invoice, findings);
    CheckPaymentTerms(subject.Invoice, findings);
    CheckPaymentMeans(subject.Invoice, subject.Seller, findings);
}

} // namespace

const TRuleSet kXRechnungRules{"XRechnung", &CheckXRechnung};

} // namespace velkaro
