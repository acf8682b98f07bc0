#include "invoice/vat.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "invoice/money_text.h"
#include "invoice/tax_rules.h"
#include "platform/error.h"
#include "platform/number_format.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr std::string_view kEuCountries = ",AT,BE,BG,CY,CZ,DE,DK,EE,ES,FI,FR,GR,HR,HU,IE,IT,LT,LU,LV,MT,NL,PL,PT,RO,SE,SI,SK,XI,";

// Sums of money must not wrap silently: a wrong amount on an invoice is worse than none.
Currency AddMoney(Currency a, Currency b) {
    int64_t sum = 0;
    if (__builtin_add_overflow(a.Raw(), b.Raw(), &sum))
        throw Exception("Rechnungsbeträge überschreiten den darstellbaren Bereich");
    return Currency::FromRaw(sum);
}

Currency SubtractMoney(Currency a, Currency b) {
    int64_t difference = 0;
    if (__builtin_sub_overflow(a.Raw(), b.Raw(), &difference))
        throw Exception("Rechnungsbeträge überschreiten den darstellbaren Bereich");
    return Currency::FromRaw(difference);
}

} // namespace

std::string CategoryCode(TVatCategory category) {
    switch (category) {
    case vcS: return "S";
    case vcZ: return "Z";
    case vcE: return "E";
    case vcAE: return "AE";
    case vcK: return "K";
    case vcG: return "G";
    case vcO: return "O";
    case vcL: return "L";
    case vcM: return "M";
    }
    return {};
}

std::optional<TVatCategory> CategoryOfCode(std::string_view code) {
    const std::string upper = UpperAscii(Trim(std::string(code)));
    for (TVatCategory c : {vcS, vcZ, vcE, vcAE, vcK, vcG, vcO, vcL, vcM})
        if (CategoryCode(c) == upper) return c;
    return std::nullopt;
}

bool TakesExemptionReason(TVatCategory category) {
    return category == vcE || category == vcAE || category == vcK || category == vcG || category == vcO;
}

std::string GroupExemptionText(const TVatGroup& group, const TTaxRules& rules) {
    if (!TakesExemptionReason(group.Category)) return {};
    return group.ExemptionReason.empty() ? TInvoice::ExemptionText(group.Category, rules) : group.ExemptionReason;
}

const char* const kThreePartyTradeText =
    "Innergemeinschaftliches Dreiecksgeschäft nach § 25b UStG: Steuerschuldner ist der letzte Abnehmer";

bool OutsideEuVatArea(const TAddress& address) {
    const std::string country = UpperAscii(Trim(address.Country));
    const std::string code = ReplaceAll(Trim(address.PostCode), " ", "");
    const std::string town = UpperAscii(Trim(address.City));
    auto startsWith = [&](std::initializer_list<std::string_view> prefixes) {
        for (std::string_view p : prefixes)
            if (code.starts_with(p)) return true;
        return false;
    };
    if (country == "ES") return startsWith({"35", "38", "51", "52"});  // Canaries, Ceuta, Melilla
    if (country == "FR") return startsWith({"97", "986", "987", "988"});  // overseas, not Monaco (980)
    if (country == "FI") return startsWith({"22"});                      // Åland
    if (country == "GR") return startsWith({"63086", "63087"});          // Mount Athos
    if (country == "DE") return startsWith({"27498", "78266"});          // Heligoland, Büsingen
    if (country == "IT")
        return startsWith({"23041", "22061"}) || town.starts_with("LIVIGNO") || town.starts_with("TREPALLE") ||
               town.starts_with("CAMPIONE");
    return false;
}

std::string VatexCode(TVatCategory category) {
    switch (category) {
    case vcAE: return "VATEX-EU-AE";
    case vcK: return "VATEX-EU-IC";
    case vcG: return "VATEX-EU-G";
    case vcO: return "VATEX-EU-O";
    default: return {};
    }
}

bool IsEuVatCountry(std::string_view isoCode) {
    // A code with a comma would otherwise match a run of several list entries.
    if (isoCode.empty() || isoCode.find(',') != std::string_view::npos) return false;
    // Appended rather than "," + code + ",": GCC 12 warns falsely (-Wrestrict) on that at -O3.
    std::string entry = ",";
    entry += UpperAscii(isoCode);
    entry += ',';
    return kEuCountries.find(entry) != std::string_view::npos;
}

std::optional<Currency> TryRoundCents(long double x) {
    if (!std::isfinite(x)) return std::nullopt;
    const long double cents = x >= 0 ? std::floor(x * 100.0L + 0.5L + 0.000000001L)
                                     : -std::floor(-x * 100.0L + 0.5L + 0.000000001L);
    // Currency holds 1/100 cent; the largest whole-cent count it can hold:
    constexpr int64_t kMaxCents = std::numeric_limits<int64_t>::max() / 100;
    if (!(std::fabs(cents) <= static_cast<long double>(kMaxCents))) return std::nullopt;
    return Currency::FromRaw(static_cast<int64_t>(cents) * 100);
}

Currency RoundCents(long double x) {
    if (auto cents = TryRoundCents(x)) return *cents;
    throw Exception("Betrag kann nicht auf Cent gerundet werden (außerhalb des darstellbaren Bereichs)");
}

Currency CentsAsWritten(Currency amount) {
    // Cannot overflow: the largest magnitudes end in 807 and 808, so rounding stays in range.
    constexpr int64_t kRawPerCent = Currency::kScale / 100;
    int64_t cents = amount.Raw() / kRawPerCent;
    const int64_t rest = amount.Raw() % kRawPerCent;
    if (rest >= kRawPerCent / 2) ++cents;
    else if (rest <= -kRawPerCent / 2) --cents;
    return Currency::FromRaw(cents * kRawPerCent);
}

std::optional<Currency> ComputedTax(Currency basis, double ratePct) {
    const long double amount = static_cast<long double>(basis.Raw()) / Currency::kScale;
    return TryRoundCents(amount * static_cast<long double>(ratePct) / 100.0L);
}

bool SameVatRate(double a, double b) {
    const double tolerance = std::fmax(1e-12, 1e-12 * std::fmin(std::fabs(a), std::fabs(b)));
    return std::fabs(a - b) <= tolerance;
}

namespace {

// Where the supply takes place for the category rule: the delivery address where the
// goods go abroad (another country, or a territory outside the EU VAT area), else the
// bill-to address.
TAddress PlaceOfSupply(const TInvoice& inv, const TTaxRules& rules) {
    TAddress delivery = inv.DeliveryAddress();
    const bool abroad = !delivery.Country.empty() &&
                        (!SameText(delivery.Country, rules.DefaultCountry) || OutsideEuVatArea(delivery));
    return abroad ? delivery : inv.BillTo;
}

// The exemption reason of a line: NAV's VAT clause, the statement of a triangular trade,
// or the category's text.
std::string LineExemptionReason(const TInvoice& inv, const TInvLine& line, TVatCategory category,
                                const TTaxRules& rules) {
    if (!TakesExemptionReason(category)) return {};
    if (!Trim(line.VatClauseText).empty()) return Trim(line.VatClauseText);
    if (category == vcAE && inv.EU3Party) return kThreePartyTradeText;
    return TInvoice::ExemptionText(category, rules);
}

} // namespace

TVatCategory TInvoice::LineCategory(const TInvLine& line, const TTaxRules& rules) const {
    // NAV's setup for electronic documents wins over the rule below.
    if (std::optional<TVatCategory> nav = CategoryOfCode(line.TaxCategory)) return *nav;
    if (line.VatPct > 0) return vcS;
    if (line.VatCalcType == kVatCalcReverseCharge) return vcAE;
    const TAddress place = PlaceOfSupply(*this, rules);
    if (OutsideEuVatArea(place)) return vcG;
    if (SameText(place.Country, rules.DefaultCountry)) return vcE;
    if (IsEuVatCountry(place.Country)) {
        if (BuyerVatID.empty()) return vcE;
        // In a triangular trade the last customer owes the tax (§ 25b UStG).
        return EU3Party ? vcAE : vcK;
    }
    return vcG;
}

std::string TInvoice::ExemptionText(TVatCategory category, const TTaxRules& rules) {
    switch (category) {
    case vcE: return rules.ExemptReasonE;
    case vcAE: return "Steuerschuldnerschaft des Leistungsempfängers (Reverse Charge)";
    case vcK: return "Steuerfreie innergemeinschaftliche Lieferung";
    case vcG: return "Steuerfreie Ausfuhrlieferung";
    case vcO: return "Nicht steuerbar";
    default: return {};
    }
}

void TInvoice::Calculate(const TTaxRules& rules) {
    VatGroups.clear();
    LineTotal = Currency();
    TaxTotal = Currency();

    for (const TInvLine& line : Lines) {
        if (IsTextLine(line)) continue;
        const TVatCategory category = LineCategory(line, rules);
        // Sum what is written: a currency with three decimals would otherwise give totals
        // that differ from the sum of the printed lines.
        const Currency net = CentsAsWritten(line.Amount);
        const Currency postedTax = SubtractMoney(CentsAsWritten(line.AmountInclVat), net);
        TVatGroup* group = nullptr;
        for (TVatGroup& g : VatGroups)
            if (g.Category == category && SameVatRate(g.Rate, line.VatPct)) {
                group = &g;
                break;
            }
        if (!group) {
            VatGroups.push_back(TVatGroup{category, line.VatPct, {}, {}, LineExemptionReason(*this, line, category, rules), {}});
            group = &VatGroups.back();
        }
        group->Basis = AddMoney(group->Basis, net);
        group->Tax = AddMoney(group->Tax, postedTax);
        if (line.VatCalcType == kVatCalcFullVat) {
            group->FullVat = AddMoney(group->FullVat, postedTax);
            Warnings.push_back("Zeile " + std::to_string(line.LineNo) + ": Full VAT " + FormatUserMoney(postedTax) +
                               " als gebuchte USt übernommen (ohne Bemessungsgrundlage)");
        }
        LineTotal = AddMoney(LineTotal, net);
    }

    Rounding = Currency();
    for (TVatGroup& group : VatGroups) {
        // A Full VAT amount stays as posted; only the rest is held to basis x rate.
        group.Tax = SubtractMoney(group.Tax, group.FullVat);
        const std::optional<Currency> computed = ComputedTax(group.Basis, group.Rate);
        if (!computed) {
            // A rate that cannot be computed with (not a number, absurdly large): keep
            // what NAV posted rather than invent an amount, and say so.
            Warnings.push_back("USt " + FormatUserFloat(group.Rate, 2) + "%: Basis x Satz nicht berechenbar, in NAV gebucht " +
                               FormatUserMoney(group.Tax) + " übernommen");
        } else if (*computed != group.Tax) {
            Warnings.push_back("USt " + FormatUserFloat(group.Rate, 2) + "%: in NAV gebucht " + FormatUserMoney(group.Tax) +
                               ", Basis x Satz = " + FormatUserMoney(*computed) + " -> Differenz als Rundungsbetrag");
            Rounding = AddMoney(Rounding, SubtractMoney(group.Tax, *computed));
            group.Tax = *computed;
        }
        group.Tax = AddMoney(group.Tax, group.FullVat);
        TaxTotal = AddMoney(TaxTotal, group.Tax);
        if ((group.Category == vcAE || group.Category == vcK) && BuyerVatID.empty())
            Warnings.push_back("Kategorie " + CategoryCode(group.Category) + " ohne USt-IdNr. des Käufers");
    }

    GrandTotal = AddMoney(LineTotal, TaxTotal);
    DuePayable = AddMoney(GrandTotal, Rounding);
}

} // namespace velkaro
