// Amounts and sentences of the printed invoice that follow from the invoice data alone.
#include <cmath>

#include "invoice/money_text.h"
#include "invoice/vat.h"
#include "layout/renderer.h"
#include "platform/error.h"

namespace velkaro {

std::string ZugferdNote(TDocumentKind kind) {
    return "Diese " + DocumentKindName(kind) +
           " enthält die strukturierten Rechnungsdaten nach ZUGFeRD 2 / Factur-X (Profil EN 16931) "
           "als eingebettete XML-Datei.";
}

std::string GrandTotalLabel(TDocumentKind kind) {
    return kind == bkCreditMemo ? "Korrekturbetrag" : "Rechnungsbetrag";
}

namespace {
// Money from a value in units of `scale` (10,000 for raw, 100 for cents), halves to even.
Currency RoundHalfEven(long double value, int64_t scale) {
    long double units = std::nearbyint(value);
    if (!std::isfinite(units) || std::fabs(units) * static_cast<long double>(Currency::kScale / scale) > 9.2e18L)
        throw Exception("Betrag außerhalb des darstellbaren Bereichs.");
    return Currency::FromRaw(static_cast<int64_t>(units) * (Currency::kScale / scale));
}
} // namespace

double ShownUnitPrice(const TInvLine& line, bool pricesInclVat) {
    if (!pricesInclVat && line.InvDiscAmount.IsZero() && line.Quantity != 0) return line.UnitPrice;
    return line.Quantity == 0 ? line.Amount.ToDouble() : line.Amount.ToDouble() / line.Quantity;
}

Currency LineDiscountAmount(const TInvLine& line) {
    long double gross = static_cast<long double>(line.UnitPrice) * line.Quantity;
    long double raw = gross * Currency::kScale - static_cast<long double>(line.Amount.Raw());
    return RoundHalfEven(raw, Currency::kScale);
}

std::vector<std::string> ExemptionNotes(const TInvoice& invoice, const TTaxRules& rules) {
    std::vector<std::string> notes;
    for (const TVatGroup& g : invoice.VatGroups) {
        if (!TakesExemptionReason(g.Category)) continue;
        std::string note = GroupExemptionText(g, rules);
        if (g.Category == vcAE || g.Category == vcK)
            note += " – USt-IdNr. Leistungsempfänger: " + invoice.BuyerVatID;
        notes.push_back(note);
    }
    return notes;
}

std::string PaymentSentence(const TInvoice& inv, const TSeller& seller) {
    // A credit is paid back or set off, never asked for: no terms, discount or transfer request.
    if (inv.RefundsBuyer()) return RefundSentence(inv);
    std::string p = inv.PayTermsText.empty() ? "" : "Zahlungsbedingungen: " + inv.PayTermsText + ".";
    if (inv.DirectDebit) {
        std::string m = inv.MandateID.empty() ? "" : " (Mandatsreferenz " + inv.MandateID + ")";
        std::string a = inv.BuyerIBAN.empty()
                            ? ""
                            : " " + Utf8Left(inv.BuyerIBAN, 4) + " **** " + Utf8Right(inv.BuyerIBAN, 4);
        p = JoinNonEmpty({p, "Der Rechnungsbetrag wird per SEPA-Lastschrift" + m + " von Ihrem Konto" + a +
                                 " eingezogen."},
                         " ");
        if (!seller.CreditorID.empty()) p += " Gläubiger-ID: " + seller.CreditorID + ".";
    } else if (IsNavDate(inv.DueDate)) {
        p = JoinNonEmpty({p, "Bitte überweisen Sie den Betrag bis zum " + FormatDate(inv.DueDate) +
                                 " unter Angabe der Rechnungsnummer " + inv.No + "."},
                         " ");
    }
    if (inv.PmtDiscPct > 0 && IsNavDate(inv.PmtDiscDate)) {
        long double cents = static_cast<long double>(inv.DuePayable.Raw()) * inv.PmtDiscPct / 10000.0L;
        Currency discount = RoundHalfEven(cents, 100);
        p = JoinNonEmpty({p, "Bei Zahlung bis " + FormatDate(inv.PmtDiscDate) + " gewähren wir " +
                                 FormatPercent(inv.PmtDiscPct) + " % Skonto (" + FormatGermanMoney(discount) + " " +
                                 inv.InvCurrency() + ")."},
                         " ");
    }
    return p;
}

} // namespace velkaro
