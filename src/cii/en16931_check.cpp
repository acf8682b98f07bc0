#include "cii/en16931_check.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "cii/cii_document.h"
#include "cii/cii_fields.h"
#include "cii/code_lists.h"
#include "cii/xml_out.h"
#include "cii/xml_values.h"
#include "invoice/vat.h"
#include "platform/number_format.h"
#include "platform/text.h"

namespace velkaro {

void TCheckFindings::Add(std::string_view rule, const std::string& text, const std::string& fixAt) {
    for (TCheckFinding& f : FItems) {
        if (f.Rule != rule) continue;
        if (f.Text.find(text) == std::string::npos) f.Text += "; " + text;
        if (f.FixAt.find(fixAt) == std::string::npos) f.FixAt += "; " + fixAt;
        return;
    }
    FItems.push_back(TCheckFinding{std::string(rule), text, fixAt, {}});
}

std::string TCheckFindings::RuleList() const {
    std::string list;
    for (const TCheckFinding& f : FItems) list += (list.empty() ? "" : ", ") + f.Rule;
    return list;
}

void TCheckFindings::NameRuleSet(std::string_view ruleSet) {
    for (TCheckFinding& f : FItems)
        if (f.RuleSet.empty()) f.RuleSet = ruleSet;
}

std::string TCheckFindings::Violations() const {
    std::vector<std::string_view> sets;
    for (const TCheckFinding& f : FItems)
        if (std::find(sets.begin(), sets.end(), f.RuleSet) == sets.end()) sets.push_back(f.RuleSet);
    std::string text;
    for (std::string_view set : sets) {
        std::string rules;
        for (const TCheckFinding& f : FItems)
            if (f.RuleSet == set) rules += (rules.empty() ? "" : ", ") + f.Rule;
        text += (text.empty() ? "" : ", ") + std::string(set) + " (" + rules + ")";
    }
    return text;
}

std::string TCheckFindings::Sentences() const {
    std::string text;
    for (const TCheckFinding& f : FItems) text += (text.empty() ? "" : "; ") + FindingSentence(f);
    return text;
}

std::string NavHeaderPlace(const TInvoice& invoice) {
    return invoice.Kind == bkCreditMemo ? "NAV Verkaufsgutschrift (Sales Cr.Memo Header)"
                                        : "NAV Verkaufsrechnung (Sales Invoice Header)";
}

std::string NavLinePlace(const TInvoice& invoice) {
    return invoice.Kind == bkCreditMemo ? "NAV Verkaufsgutschriftzeile (Sales Cr.Memo Line)"
                                        : "NAV Verkaufsrechnungszeile (Sales Invoice Line)";
}

std::string FindingSentence(const TCheckFinding& finding) {
    return finding.Text + " (zu korrigieren: " + finding.FixAt + ")";
}

TCheckFindings CheckInvoice(const TInvoice& invoice, const TSeller& seller, const TTaxRules& rules,
                            const std::vector<const TRuleSet*>& ruleSets) {
    TCheckFindings findings;
    const TCheckSubject subject{invoice, seller, rules};
    for (const TRuleSet* set : ruleSets) {
        set->Check(subject, findings);
        findings.NameRuleSet(set->Name);
    }
    return findings;
}

namespace {

// Where the data lives in NAV; the settings keys are written as in the settings file.
constexpr const char* kNavCompany = "NAV Firmendaten (Company Information)";
constexpr const char* kVatSetup = "NAV MwSt.-Buchungsmatrix (VAT Posting Setup), Feld „MwSt. %“";

std::string Quoted(const std::string& text) { return "„" + text + "“"; }

// Amounts and rates compare as the XML writes them: cents, and hundredths of a percent.
int64_t WrittenCents(Currency amount) { return CentsAsWritten(amount).Raw() / (Currency::kScale / 100); }

std::optional<int64_t> WrittenRate(double rate) {
    if (!std::isfinite(rate)) return std::nullopt;
    const std::optional<Currency> written = Currency::TryParse(XmlPercent(rate));
    if (!written) return std::nullopt;
    return written->Raw() / (Currency::kScale / 100);
}

std::string RateText(double rate) { return LocalizeDecimalPoint(XmlPercent(rate)) + " %"; }

// Basis in cents times a rate in hundredths of a percent overflows 64 bits for the
// largest amounts.
__extension__ typedef __int128 TWide;

// XPath's round: half towards positive infinity, of n / d with d > 0.
int64_t RoundDiv(TWide n, TWide d) {
    TWide q = (2 * n + d) / (2 * d);
    if ((2 * n + d) % (2 * d) != 0 && (2 * n + d) < 0) --q;  // floor for negatives
    return static_cast<int64_t>(q);
}

std::string CategoryName(TVatCategory category) {
    switch (category) {
    case vcS: return "Normalsatz (S)";
    case vcZ: return "Nullsatz (Z)";
    case vcE: return "steuerbefreit (E)";
    case vcAE: return "Reverse Charge (AE)";
    case vcK: return "innergemeinschaftliche Lieferung (K)";
    case vcG: return "Ausfuhr (G)";
    case vcO: return "nicht steuerbar (O)";
    case vcL: return "IGIC Kanarische Inseln (L)";
    case vcM: return "IPSI Ceuta/Melilla (M)";
    }
    return {};
}

// The rule ids of one category in the EN 16931 numbering; S has no exemption rules.
std::string CategoryRule(TVatCategory category, int number) {
    std::string prefix;
    switch (category) {
    case vcS: prefix = "BR-S-"; break;
    case vcZ: prefix = "BR-Z-"; break;
    case vcE: prefix = "BR-E-"; break;
    case vcAE: prefix = "BR-AE-"; break;
    case vcK: prefix = "BR-IC-"; break;
    case vcG: prefix = "BR-G-"; break;
    case vcO: prefix = "BR-O-"; break;
    case vcL: prefix = "BR-AF-"; break;
    case vcM: prefix = "BR-AG-"; break;
    }
    return prefix + (number < 10 ? "0" : "") + std::to_string(number);
}

// ---- parties -------------------------------------------------------------------

void CheckCountry(const TAddress& address, const std::string& whose, const std::string& navField,
                  std::string_view emptyRule, TCheckFindings& findings) {
    const std::string written = Trim(XmlEscape(UpperAscii(address.Country)));
    if (written.empty()) {
        if (!emptyRule.empty())
            findings.Add(emptyRule, "Ländercode " + whose + " fehlt", navField);
        findings.Add("BR-CL-14", "Ländercode " + whose + " fehlt", navField);
        return;
    }
    if (IsIsoCountry(written)) return;
    const std::string nav = address.CountryNav.empty() ? written : address.CountryNav;
    findings.Add("BR-CL-14",
                 "Ländercode " + Quoted(nav) + " " + whose + " ist kein ISO-3166-Code",
                 navField + " oder INI [Laender] " + UpperAscii(nav) + "=<ISO-Code>");
}

void CheckVatIdPrefix(const std::string& written, const std::string& whose, const std::string& navField,
                      TCheckFindings& findings) {
    if (!HasXmlText(written)) return;
    const std::string id = Trim(written);
    if (id.size() >= 2 && IsVatPrefix(id.substr(0, 2))) return;
    findings.Add("BR-CO-09",
                 "USt-IdNr. " + Quoted(id) + " " + whose + " beginnt nicht mit dem Ländercode (etwa DE123456789)",
                 navField);
}

void CheckParties(const TCheckSubject& s, TCheckFindings& findings) {
    const TInvoice& inv = s.Invoice;
    const std::string companyField = std::string(kNavCompany);
    if (!HasXmlText(JoinWithSpace(s.Seller.Addr.Name, s.Seller.Addr.Name2)))
        findings.Add("BR-06", "Name des Verkäufers fehlt", companyField + ", Feld „Name“");
    CheckCountry(s.Seller.Addr, "des Verkäufers", companyField + ", Feld „Länder-/Regionscode“", "BR-09", findings);
    CheckVatIdPrefix(CiiSellerVatId(s.Seller), "des Verkäufers", companyField + ", Feld „USt-IdNr.“", findings);

    const std::string headerField = NavHeaderPlace(inv);
    if (!HasXmlText(JoinWithSpace(inv.BillTo.Name, inv.BillTo.Name2)))
        findings.Add("BR-07", "Name des Käufers (Rechnung an) fehlt", headerField + ", Feld „Rech. an Name“");
    CheckCountry(inv.BillTo, "des Käufers", headerField + ", Feld „Rech. an Länder-/Regionscode“", "BR-11", findings);
    CheckVatIdPrefix(inv.BuyerVatID, "des Käufers", headerField + ", Feld „USt-IdNr.“ (aus dem Debitor)", findings);
    if (CiiWritesShipTo(inv))
        CheckCountry(CiiDeliveryAddress(inv), "der Lieferadresse",
                     headerField + ", Feld „Lief. an Länder-/Regionscode“", "BR-57", findings);

    // The seller must be identified by a VAT id or a global number; a tax number alone
    // does not do.
    const bool sellerVat = HasXmlText(CiiSellerVatId(s.Seller));
    if (!sellerVat && !HasXmlText(s.Seller.GLN))
        findings.Add("BR-CO-26", "Verkäufer hat weder USt-IdNr. noch GLN (die Steuernummer allein genügt nicht)",
                     companyField + ", Feld „USt-IdNr.“ oder „GLN“");
}

// ---- document and lines ---------------------------------------------------------

void CheckDocument(const TCheckSubject& s, TCheckFindings& findings) {
    const TInvoice& inv = s.Invoice;
    if (!HasXmlText(inv.No)) findings.Add("BR-02", "Rechnungsnummer fehlt", NavHeaderPlace(inv) + ", Feld „Nr.“");
    const std::string currency = inv.InvCurrency();
    if (!IsIsoCurrency(currency)) {
        const std::string text = "Währungscode " + Quoted(currency) + " ist kein ISO-4217-Code";
        const std::string fix = NavHeaderPlace(inv) + ", Feld „Währungscode“, oder INI [Waehrungen] " + currency +
                                "=<ISO-Code>";
        findings.Add("BR-CL-03", text, fix);
        findings.Add("BR-CL-04", text, fix);
    }
}

void CheckLines(const TCheckSubject& s, TCheckFindings& findings) {
    const TInvoice& inv = s.Invoice;
    bool anyItem = false;
    int64_t lineSum = 0;
    for (const TInvLine& line : inv.Lines) {
        if (IsTextLine(line)) continue;
        anyItem = true;
        lineSum += WrittenCents(line.Amount);
        const std::string where = "Zeile " + std::to_string(line.LineNo);
        const std::string lineField = NavLinePlace(inv) + " " + std::to_string(line.LineNo);
        if (!HasXmlText(CiiItemName(line)))
            findings.Add("BR-25", where + " hat weder Beschreibung noch Nummer",
                         lineField + ", Feld „Beschreibung“ oder „Nr.“");
        const std::string unit = Trim(XmlEscape(line.UnitIso));
        if (!IsRec20Unit(unit)) {
            const std::string nav = line.UnitCode.empty() ? unit : line.UnitCode;
            findings.Add("BR-CL-23", where + ": Einheit " + Quoted(unit) + " ist kein Code nach UN/ECE Rec. 20",
                         // The international code of NAV's unit wins over the settings' table.
                         "NAV Einheit (Unit of Measure) " + Quoted(nav) +
                             ", Feld „Internationaler Standardcode“ berichtigen, oder ihn leeren und INI [Einheiten] " +
                             UpperAscii(nav) + "=<Rec.-20-Code> eintragen");
        }
        const TVatCategory category = inv.LineCategory(line, s.Rules);
        const std::optional<int64_t> rate = WrittenRate(line.VatPct);
        if (!rate) continue;
        if (category == vcS && *rate <= 0)
            findings.Add("BR-S-05", where + ": MwSt.-Satz " + RateText(line.VatPct) + " ergibt auf zwei Stellen 0 %",
                         kVatSetup);
        // IGIC and IPSI have rates of their own; "not subject" has none written.
        else if (category != vcS && category != vcL && category != vcM && category != vcO && *rate != 0)
            findings.Add(CategoryRule(category, 5),
                         where + ": " + CategoryName(category) + " verlangt 0 %, gebucht " + RateText(line.VatPct),
                         kVatSetup);
    }
    if (!anyItem) {
        findings.Add("BR-16", DocumentKindName(inv.Kind) + " hat keine Artikelzeile (nur Textzeilen)",
                     std::string(inv.Kind == bkCreditMemo ? "NAV Verkaufsgutschriftzeilen" : "NAV Verkaufsrechnungszeilen") +
                         ": mindestens eine Zeile mit Menge oder Betrag");
        return;
    }
    if (lineSum != WrittenCents(inv.LineTotal))
        findings.Add("BR-CO-10", "Summe der Zeilenbeträge weicht von der Nettosumme ab", "Programmfehler melden");
}

// ---- VAT breakdown ----------------------------------------------------------------

// The numbers of the Full VAT lines of a group, joined by ", ".
std::string FullVatLines(const TCheckSubject& s, const TVatGroup& g) {
    std::string lines;
    for (const TInvLine& line : s.Invoice.Lines)
        if (!IsTextLine(line) && line.VatCalcType == kVatCalcFullVat && SameVatRate(line.VatPct, g.Rate) &&
            s.Invoice.LineCategory(line, s.Rules) == g.Category)
            lines += (lines.empty() ? "" : ", ") + std::to_string(line.LineNo);
    return lines;
}

void CheckBreakdown(const TCheckSubject& s, TCheckFindings& findings) {
    const TInvoice& inv = s.Invoice;
    int groupsOf[vcM + 1] = {};
    for (const TVatGroup& g : inv.VatGroups) ++groupsOf[g.Category];

    for (const TVatGroup& g : inv.VatGroups) {
        const std::optional<int64_t> rate = WrittenRate(g.Rate);
        if (!rate) continue;
        const int64_t basis = WrittenCents(g.Basis);
        const int64_t tax = WrittenCents(g.Tax);
        const std::string group = CategoryName(g.Category) + " " + RateText(g.Rate);

        // Lines of the group as the receiver finds them: by category and written rate (S),
        // by category alone (the others).
        int64_t lineSum = 0;
        for (const TInvLine& line : inv.Lines) {
            if (IsTextLine(line) || inv.LineCategory(line, s.Rules) != g.Category) continue;
            if (g.Category == vcS && WrittenRate(line.VatPct) != rate) continue;
            lineSum += WrittenCents(line.Amount);
        }
        if (g.Category == vcS) {
            if (basis != lineSum)
                findings.Add("BR-S-08",
                             "MwSt.-Sätze, die sich erst ab der dritten Nachkommastelle unterscheiden (" + group +
                                 "), fallen in der E-Rechnung zusammen",
                             kVatSetup);
        } else if (std::llabs(basis - lineSum) >= 100) {
            findings.Add(CategoryRule(g.Category, 8), "Mehrere Sätze in der Kategorie " + CategoryName(g.Category),
                         kVatSetup);
        }

        if (g.Category != vcS && g.Category != vcL && g.Category != vcM) {
            if (groupsOf[g.Category] > 1)
                findings.Add(CategoryRule(g.Category, 1),
                             "Kategorie " + CategoryName(g.Category) + " mit mehreren MwSt.-Sätzen", kVatSetup);
            if (tax != 0)
                findings.Add(CategoryRule(g.Category, 9),
                             group + ": MwSt.-Betrag muss 0 sein, ist " + LocalizeDecimalPoint(g.Tax.ToString(2)),
                             kVatSetup);
            if (TakesExemptionReason(g.Category) && !HasXmlText(GroupExemptionText(g, s.Rules)))
                findings.Add(CategoryRule(g.Category, 10), "Befreiungsgrund für " + group + " fehlt",
                             "INI [Steuer] BefreiungsgrundE oder NAV MwSt.-Klausel (VAT Clause)");
        }

        // Tax = basis x rate, within one currency unit (the receiver's tolerance).
        const TWide product = static_cast<TWide>(std::llabs(basis)) * *rate;
        const int64_t expected = RoundDiv(product, 10000);
        const int64_t absTax = std::llabs(tax);
        const bool rateRoundsToZero = RoundDiv(*rate, 100) == 0;
        const bool co17 = rateRoundsToZero ? RoundDiv(tax, 100) == 0
                                           : absTax - 100 <= expected && expected <= absTax + 100;
        std::string mismatch = group + ": MwSt.-Betrag passt nicht zu Basis x Satz";
        std::string fix = kVatSetup;
        if (!g.FullVat.IsZero()) {
            // The posted VAT of a Full VAT line has no basis: EN 16931 cannot express it.
            const std::string lines = FullVatLines(s, g);
            mismatch = group + ": enthält MwSt. ohne Bemessungsgrundlage aus Full-VAT-Zeile " + lines +
                       ", die EN 16931 nicht ausdrücken kann";
            fix = NavLinePlace(inv) + " " + lines + ", MwSt.-Berechnungsart „Voller Betrag“ (Full VAT)";
        }
        if (!co17) findings.Add("BR-CO-17", mismatch, fix);
        if (g.Category == vcS && !(absTax - 100 < expected && expected < absTax + 100))
            findings.Add("BR-S-09", mismatch, fix);
    }
}

// ---- identification the categories need -------------------------------------------

void CheckVatIdentifiers(const TCheckSubject& s, TCheckFindings& findings) {
    const TInvoice& inv = s.Invoice;
    const bool sellerVat = HasXmlText(CiiSellerVatId(s.Seller));
    const bool sellerTaxNo = HasXmlText(s.Seller.TaxNo);
    const bool buyerVat = HasXmlText(inv.BuyerVatID);
    const std::string sellerFix = std::string(kNavCompany) + ", Feld „USt-IdNr.“";
    const std::string buyerFix = NavHeaderPlace(inv) + ", Feld „USt-IdNr.“ (aus dem Debitor)";
    bool seen[vcM + 1] = {};
    for (const TVatGroup& g : inv.VatGroups) seen[g.Category] = true;

    if ((seen[vcS] || seen[vcE]) && !sellerVat && !sellerTaxNo) {
        for (TVatCategory c : {vcS, vcE})
            if (seen[c])
                findings.Add(CategoryRule(c, 2), "Verkäufer hat weder USt-IdNr. noch Steuernummer",
                             sellerFix + " oder „Steuernummer“");
    }
    if (seen[vcAE] && ((!sellerVat && !sellerTaxNo) || !buyerVat))
        findings.Add("BR-AE-02",
                     !buyerVat ? "Reverse Charge ohne USt-IdNr. des Käufers"
                               : "Reverse Charge: Verkäufer hat weder USt-IdNr. noch Steuernummer",
                     !buyerVat ? buyerFix : sellerFix);
    if (seen[vcK] && (!sellerVat || !buyerVat))
        findings.Add("BR-IC-02",
                     !sellerVat ? "Innergemeinschaftliche Lieferung ohne USt-IdNr. des Verkäufers"
                                : "Innergemeinschaftliche Lieferung ohne USt-IdNr. des Käufers",
                     !sellerVat ? sellerFix : buyerFix);
    if (seen[vcG] && !sellerVat)
        findings.Add("BR-G-02", "Ausfuhrlieferung ohne USt-IdNr. des Verkäufers", sellerFix);
    if (seen[vcO]) {
        // "Not subject to VAT" stands alone and names no VAT identifier.
        if (sellerVat || buyerVat)
            findings.Add("BR-O-02", "Nicht steuerbare Leistung (O) mit USt-IdNr. von Verkäufer oder Käufer",
                         "NAV MwSt.-Buchungsmatrix (VAT Posting Setup), Feld „Steuerkategorie“ (Tax Category)");
        for (const TVatGroup& g : inv.VatGroups)
            if (g.Category != vcO) {
                for (std::string_view rule : {"BR-O-11", "BR-O-12"})
                    findings.Add(rule, "Nicht steuerbare Leistung (O) zusammen mit anderen MwSt.-Kategorien",
                                 "NAV MwSt.-Buchungsmatrix (VAT Posting Setup), Feld „Steuerkategorie“ (Tax Category)");
                break;
            }
    }
}

void CheckEn16931(const TCheckSubject& subject, TCheckFindings& findings) {
    CheckDocument(subject, findings);
    CheckParties(subject, findings);
    CheckLines(subject, findings);
    CheckBreakdown(subject, findings);
    CheckVatIdentifiers(subject, findings);
}

} // namespace

const TRuleSet kEn16931Rules{"EN 16931", &CheckEn16931};

} // namespace velkaro
