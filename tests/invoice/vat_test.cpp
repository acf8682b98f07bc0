#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "invoice/invoice.h"
#include "invoice/vat.h"
#include "platform/error.h"
#include "platform/number_format.h"

using namespace velkaro;

namespace {

Currency Money(const char* text) { return Currency::Parse(text); }

// The rules of the settings' defaults.
class VatTest : public ::testing::Test {
protected:
    VatTest() { SetDecimalSeparatorOverride(","); }
    ~VatTest() override { ResetDecimalSeparatorOverride(); }

    static TInvLine Item(const char* net, const char* gross, double rate, int calcType = 0) {
        TInvLine line;
        line.LineType = 2;
        line.Quantity = 1;
        line.Amount = Money(net);
        line.AmountInclVat = Money(gross);
        line.VatPct = rate;
        line.VatCalcType = calcType;
        return line;
    }
    static TInvLine Text(double rate = 0) {
        TInvLine line;
        line.LineType = 0;
        line.Description = "Hinweis";
        line.VatPct = rate;
        return line;
    }

    TTaxRules FRules{.DefaultCountry = "DE", .ExemptReasonE = "Steuerfreie Leistung"};
};

struct ExpectedGroup {
    TVatCategory category;
    double rate;
    const char* basis;
    const char* tax;
};

struct CalcCase {
    const char* name;
    std::vector<TInvLine> lines;
    const char* country;
    const char* buyerVatId;
    std::vector<ExpectedGroup> groups;
    const char* lineTotal;
    const char* taxTotal;
    const char* grandTotal;
    const char* rounding;
    const char* duePayable;
    std::vector<std::string> warnings;
};

} // namespace

TEST(VatCodes, CategoryCodeExemptionAndVatex) {
    const TTaxRules rules{.DefaultCountry = "DE", .ExemptReasonE = "Eigene Befreiung"};
    struct Case { TVatCategory cat; const char* code; const char* exemption; const char* vatex; };
    const Case cases[] = {
        {vcS, "S", "", ""},
        {vcZ, "Z", "", ""},
        {vcE, "E", "Eigene Befreiung", ""},
        {vcAE, "AE", "Steuerschuldnerschaft des Leistungsempfängers (Reverse Charge)", "VATEX-EU-AE"},
        {vcK, "K", "Steuerfreie innergemeinschaftliche Lieferung", "VATEX-EU-IC"},
        {vcG, "G", "Steuerfreie Ausfuhrlieferung", "VATEX-EU-G"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CategoryCode(c.cat), c.code);
        EXPECT_EQ(TInvoice::ExemptionText(c.cat, rules), c.exemption) << c.code;
        EXPECT_EQ(VatexCode(c.cat), c.vatex) << c.code;
    }
}

TEST(VatRounding, RoundCentsHalfAwayFromZeroWithGuard) {
    struct Case { long double x; int64_t raw; };
    const Case cases[] = {
        {0, 0},
        {0.005L, 100},        {-0.005L, -100},
        {0.0049L, 0},         {-0.0049L, 0},
        {0.025L, 300},        {-0.025L, -300},  // 0.50 x 5 %
        {1.005, 10100},       {-1.005, -10100}, // double 1.005 lies below the half cent
        {2.675, 26800},       {-2.675, -26800},
        {0.004999999999L, 100},                 // within the 1e-9 cent guard: up
        {0.00499999L, 0},                       // outside the guard: down
        {0.0494L, 500},       {12345.675L, 123456800},
        {-0.0000001L, 0},
        {99999999999.994L, 999999999999900},
    };
    for (const auto& c : cases) {
        auto r = TryRoundCents(c.x);
        ASSERT_TRUE(r) << static_cast<double>(c.x);
        EXPECT_EQ(r->Raw(), c.raw) << static_cast<double>(c.x);
        EXPECT_EQ(RoundCents(c.x).Raw(), c.raw);
    }
    // The result always has whole cents.
    for (long double x = -3; x < 3; x += 0.0007L) EXPECT_EQ(RoundCents(x).Raw() % 100, 0) << static_cast<double>(x);
}

TEST(VatRounding, ValuesBeyondMoneyHaveNoResult) {
    const long double bad[] = {std::numeric_limits<long double>::quiet_NaN(), std::numeric_limits<long double>::infinity(),
                               -std::numeric_limits<long double>::infinity(), 1e15L, -1e15L, 1e300L};
    for (long double x : bad) {
        EXPECT_FALSE(TryRoundCents(x)) << static_cast<double>(x);
        EXPECT_THROW(RoundCents(x), Exception);
    }
    // The largest whole-cent amount still fits.
    EXPECT_TRUE(TryRoundCents(9.2e14L));
}

TEST(VatRounding, ComputedTaxOfBasisAndRate) {
    struct Case { const char* basis; double rate; const char* tax; };
    const Case cases[] = {
        {"0.26", 19, "0.05"}, {"0.50", 5, "0.03"}, {"-0.50", 5, "-0.03"}, {"30.00", 19, "5.70"},
        {"10.00", 7, "0.70"}, {"0.07", 7, "0.00"}, {"0.08", 7, "0.01"},  {"1234.56", 19, "234.57"},
        {"100.00", 0, "0.00"}, {"0.10", 5.5, "0.01"}, {"-0.10", 5.5, "-0.01"}, {"0.09", 5.5, "0.00"},
    };
    for (const auto& c : cases) {
        auto tax = ComputedTax(Money(c.basis), c.rate);
        ASSERT_TRUE(tax) << c.basis;
        EXPECT_EQ(*tax, Money(c.tax)) << c.basis << " x " << c.rate;
    }
    EXPECT_FALSE(ComputedTax(Money("1.00"), std::nan("")));
    EXPECT_FALSE(ComputedTax(Money("1.00"), 1e300));
    EXPECT_FALSE(ComputedTax(Currency::FromRaw(std::numeric_limits<int64_t>::max()), 200));
}

TEST(VatRounding, CentsAsWrittenHalfAwayFromZero) {
    const struct {
        const char* amount;
        const char* cents;
    } cases[] = {{"10.125", "10.13"}, {"10.1249", "10.12"}, {"-10.125", "-10.13"}, {"-0.0049", "0"},
                 {"0.005", "0.01"},   {"7", "7"}};
    for (const auto& c : cases) EXPECT_EQ(CentsAsWritten(Money(c.amount)), Money(c.cents)) << c.amount;
    for (int64_t raw : {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min()})
        EXPECT_EQ(CentsAsWritten(Currency::FromRaw(raw)).ToString(2), Currency::FromRaw(raw).ToString(2));
}

TEST(VatRounding, RateTolerance) {
    struct Case { double a, b; bool same; };
    const Case cases[] = {
        {19, 19, true},          {19, 19 + 1e-11, true},  {19, 19 + 1e-10, false},
        {0, 1e-12, true},        {0, 2e-12, false},       {0, -0.0, true},
        {1e6, 1e6 + 5e-7, true}, {1e6, 1e6 + 2e-6, false}, {7, 19, false},
        {std::nan(""), std::nan(""), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SameVatRate(c.a, c.b), c.same) << c.a << " " << c.b;
        EXPECT_EQ(SameVatRate(c.b, c.a), c.same) << c.b << " " << c.a;
    }
}

TEST_F(VatTest, LineCategoryRules) {
    struct Case { double rate; int calcType; const char* country; const char* vatId; TVatCategory expected; };
    const Case cases[] = {
        {19, 0, "CH", "", vcS},     {19, 1, "DE", "", vcS},        // a rate wins over everything
        {0, 1, "DE", "", vcAE},     {0, 1, "CH", "", vcAE},
        {0, 0, "DE", "", vcE},      {0, 0, "de", "DE1", vcE},      // default country, any case
        {0, 0, "AT", "ATU1", vcK},  {0, 0, "AT", "", vcE},
        {0, 0, "at", "ATU1", vcK},  {0, 0, "CH", "CHE1", vcG},
        {0, 0, "GB", "GB1", vcG},   {0, 0, "XI", "XI1", vcK},
        {0, 0, "EL", "EL1", vcG},   {0, 0, "GR", "EL1", vcK},      // Greece is listed as GR only
        {0, 0, "", "X", vcG},       {0, 0, "AT,BE", "X", vcG},     // no partial list matches
        {-19, 0, "DE", "", vcE},    {0, 2, "FR", "FR1", vcK},      // other calculation types are not told apart
        {std::nan(""), 0, "DE", "", vcE},
    };
    for (const auto& c : cases) {
        TInvoice inv;
        inv.BillTo.Country = c.country;
        inv.BuyerVatID = c.vatId;
        TInvLine line = Item("1.00", "1.00", c.rate, c.calcType);
        EXPECT_EQ(inv.LineCategory(line, FRules), c.expected)
            << c.rate << " " << c.calcType << " " << c.country << " '" << c.vatId << "'";
    }
}

TEST_F(VatTest, LineCategoryUsesConfiguredDefaultCountry) {
    FRules.DefaultCountry = "AT";
    TInvoice inv;
    inv.BillTo.Country = "AT";
    inv.BuyerVatID = "ATU1";
    EXPECT_EQ(inv.LineCategory(Item("1.00", "1.00", 0), FRules), vcE);
    inv.BillTo.Country = "DE";
    EXPECT_EQ(inv.LineCategory(Item("1.00", "1.00", 0), FRules), vcK);
}

// Where the goods go and what NAV's setup says: the place of supply is the delivery
// address abroad, territories outside the EU VAT area are exports, a triangular trade
// is the last customer's reverse charge, and NAV's "Tax Category" wins over all of it.
TEST_F(VatTest, LineCategoryByPlaceOfSupplyAndNavSetup) {
    struct Case {
        const char* name;
        const char* billCountry;
        const char* billPostCode;
        const char* shipCountry;  // empty: no ship-to address
        const char* shipPostCode;
        const char* shipCity;
        bool threeParty;
        const char* navCategory;
        TVatCategory expected;
    };
    const Case cases[] = {
        {"billed in DE, shipped to FR", "DE", "79098", "FR", "67000", "Strasbourg", false, "", vcK},
        {"billed in FR, shipped within DE", "FR", "75001", "DE", "79098", "Freiburg", false, "", vcK},
        {"billed in DE, shipped within DE", "DE", "79098", "DE", "80331", "München", false, "", vcE},
        {"Canary Islands", "ES", "35007", "", "", "", false, "", vcG},
        {"Tenerife", "ES", "38001", "", "", "", false, "", vcG},
        {"Ceuta", "ES", "51001", "", "", "", false, "", vcG},
        {"Melilla", "ES", "52001", "", "", "", false, "", vcG},
        {"Madrid", "ES", "28001", "", "", "", false, "", vcK},
        {"shipped to the Canaries", "ES", "28001", "ES", "35007", "Las Palmas", false, "", vcG},
        {"Heligoland", "DE", "27498", "", "", "", false, "", vcG},
        {"shipped to Büsingen", "DE", "79098", "DE", "78266", "Büsingen am Hochrhein", false, "", vcG},
        {"Livigno by town", "IT", "23030", "", "", "", false, "", vcG},
        {"Campione d'Italia", "IT", "22061", "", "", "", false, "", vcG},
        {"Milano", "IT", "20121", "", "", "", false, "", vcK},
        {"Réunion", "FR", "97400", "", "", "", false, "", vcG},
        {"Monaco stays inside", "FR", "98000", "", "", "", false, "", vcK},
        {"Åland", "FI", "22100", "", "", "", false, "", vcG},
        {"Mount Athos", "GR", "63086", "", "", "", false, "", vcG},
        {"triangular trade", "NL", "1016", "", "", "", true, "", vcAE},
        {"triangular flag on an export", "CH", "3800", "", "", "", true, "", vcG},
        {"NAV says K for a German address", "DE", "79098", "", "", "", false, "K", vcK},
        {"NAV says E against the rule", "AT", "1010", "", "", "", false, " e ", vcE},
        {"NAV says O", "DE", "79098", "", "", "", false, "O", vcO},
        {"NAV category unknown: the rule", "AT", "1010", "", "", "", false, "X", vcK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TInvoice inv;
        inv.BillTo.Name = "Kunde";
        inv.BillTo.Country = c.billCountry;
        inv.BillTo.PostCode = c.billPostCode;
        inv.BuyerVatID = "XX123";
        inv.EU3Party = c.threeParty;
        if (*c.shipCountry) {
            inv.ShipToCode = "LIEFER";
            inv.ShipTo.Name = "Lager";
            inv.ShipTo.Country = c.shipCountry;
            inv.ShipTo.PostCode = c.shipPostCode;
            inv.ShipTo.City = c.shipCity;
        }
        if (std::string(c.name) == "Livigno by town") inv.BillTo.City = "Livigno";
        TInvLine line = Item("1.00", "1.00", 0);
        line.TaxCategory = c.navCategory;
        EXPECT_EQ(CategoryCode(inv.LineCategory(line, FRules)), CategoryCode(c.expected));
    }
}

// The group's exemption reason: NAV's clause, the triangular trade's statement, or the
// category's text; the VAT of a Full VAT line stays as posted and is no rounding.
TEST_F(VatTest, CalculateKeepsPostedVatAndNavTexts) {
    TInvoice inv;
    inv.BillTo.Country = "NL";
    inv.BuyerVatID = "NL1";
    inv.EU3Party = true;
    inv.Lines = {Item("100.00", "100.00", 0)};
    inv.Calculate(FRules);
    ASSERT_EQ(inv.VatGroups.size(), 1u);
    EXPECT_EQ(inv.VatGroups[0].Category, vcAE);
    EXPECT_EQ(GroupExemptionText(inv.VatGroups[0], FRules), kThreePartyTradeText);

    TInvoice clause;
    clause.BillTo.Country = "DE";
    clause.Lines = {Item("50.00", "50.00", 0), Item("10.00", "11.90", 19)};
    clause.Lines[0].TaxCategory = "E";
    clause.Lines[0].VatClauseText = "Steuerfreie Bildungsleistung";
    clause.Calculate(FRules);
    EXPECT_EQ(GroupExemptionText(clause.VatGroups[0], FRules), "Steuerfreie Bildungsleistung");
    EXPECT_EQ(GroupExemptionText(clause.VatGroups[1], FRules), "");  // S takes none

    TInvoice full;
    full.BillTo.Country = "DE";
    full.Lines = {Item("200.00", "238.00", 19), Item("0.00", "38.00", 19, kVatCalcFullVat)};
    full.Calculate(FRules);
    ASSERT_EQ(full.VatGroups.size(), 1u);
    EXPECT_EQ(full.VatGroups[0].Basis, Money("200.00"));
    EXPECT_EQ(full.VatGroups[0].Tax, Money("76.00"));
    EXPECT_EQ(full.Rounding, Money("0"));
    EXPECT_EQ(full.DuePayable, Money("276.00"));

    // A cent off beside a Full VAT amount is still the ordinary rounding amount.
    TInvoice both;
    both.BillTo.Country = "DE";
    both.Lines = {Item("0.13", "0.15", 19), Item("0.13", "0.15", 19), Item("0.00", "38.00", 19, kVatCalcFullVat)};
    both.Calculate(FRules);
    EXPECT_EQ(both.VatGroups[0].Tax, Money("38.05"));
    EXPECT_EQ(both.Rounding, Money("-0.01"));
    EXPECT_EQ(both.DuePayable, Money("38.30"));

    // A Full VAT line without quantity is no text line: its VAT is not lost.
    TInvLine noQuantity = Item("0.00", "12.00", 19, kVatCalcFullVat);
    noQuantity.Quantity = 0;
    EXPECT_FALSE(IsTextLine(noQuantity));
}

TEST_F(VatTest, CalculateCases) {
    const std::vector<CalcCase> cases = {
        {"two lines, one group, no difference",
         {Item("10.00", "11.90", 19), Item("20.00", "23.80", 19)}, "DE", "",
         {{vcS, 19, "30.00", "5.70"}}, "30.00", "5.70", "35.70", "0", "35.70", {}},
        {"rounding difference becomes the rounding amount",
         {Item("0.13", "0.15", 19), Item("0.13", "0.15", 19)}, "DE", "",
         {{vcS, 19, "0.26", "0.05"}}, "0.26", "0.05", "0.31", "-0.01", "0.30",
         {"USt 19,00%: in NAV gebucht 0,04, Basis x Satz = 0,05 -> Differenz als Rundungsbetrag"}},
        {"three decimals: the written cents are summed",
         {Item("10.125", "12.049", 19), Item("10.125", "12.049", 19), Item("-0.335", "-0.399", 19)}, "DE", "",
         {{vcS, 19, "19.92", "3.78"}}, "19.92", "3.78", "23.70", "0", "23.70", {}},
        {"half cent rounds away from zero",
         {Item("0.50", "0.53", 5)}, "DE", "", {{vcS, 5, "0.50", "0.03"}}, "0.50", "0.03", "0.53", "0", "0.53", {}},
        {"negative half cent rounds away from zero",
         {Item("-0.50", "-0.53", 5)}, "DE", "", {{vcS, 5, "-0.50", "-0.03"}}, "-0.50", "-0.03", "-0.53", "0", "-0.53", {}},
        {"posted more than computed, negative basis",
         {Item("-0.13", "-0.15", 19), Item("-0.13", "-0.15", 19)}, "DE", "",
         {{vcS, 19, "-0.26", "-0.05"}}, "-0.26", "-0.05", "-0.31", "0.01", "-0.30",
         {"USt 19,00%: in NAV gebucht -0,04, Basis x Satz = -0,05 -> Differenz als Rundungsbetrag"}},
        {"two rates in order of their first lines",
         {Item("100.00", "107.00", 7), Item("200.00", "238.00", 19), Item("50.00", "53.50", 7)}, "DE", "",
         {{vcS, 7, "150.00", "10.50"}, {vcS, 19, "200.00", "38.00"}}, "350.00", "48.50", "398.50", "0", "398.50", {}},
        {"text lines do not decide the group order",
         {Text(7), Item("10.00", "11.90", 19), Text(), Item("10.00", "10.70", 7)}, "DE", "",
         {{vcS, 19, "10.00", "1.90"}, {vcS, 7, "10.00", "0.70"}}, "20.00", "2.60", "22.60", "0", "22.60", {}},
        {"credit line inside an invoice",
         {Item("100.00", "119.00", 19), Item("-30.00", "-35.70", 19)}, "DE", "",
         {{vcS, 19, "70.00", "13.30"}}, "70.00", "13.30", "83.30", "0", "83.30", {}},
        {"reverse charge and exempt: equal rate, two groups",
         {Item("100.00", "100.00", 0, 1), Item("40.00", "40.00", 0), Item("10.00", "10.00", 0, 1)}, "DE", "",
         {{vcAE, 0, "110.00", "0.00"}, {vcE, 0, "40.00", "0.00"}}, "150.00", "0.00", "150.00", "0", "150.00",
         {"Kategorie AE ohne USt-IdNr. des Käufers"}},
        {"reverse charge with buyer VAT id: no warning",
         {Item("100.00", "100.00", 0, 1)}, "DE", "DE123456789",
         {{vcAE, 0, "100.00", "0.00"}}, "100.00", "0.00", "100.00", "0", "100.00", {}},
        {"intra-community supply without VAT id is exempt, with it K",
         {Item("100.00", "100.00", 0)}, "AT", "ATU12345678",
         {{vcK, 0, "100.00", "0.00"}}, "100.00", "0.00", "100.00", "0", "100.00", {}},
        {"export with a taxed line",
         {Item("100.00", "100.00", 0), Item("10.00", "11.90", 19)}, "CH", "",
         {{vcG, 0, "100.00", "0.00"}, {vcS, 19, "10.00", "1.90"}}, "110.00", "1.90", "111.90", "0", "111.90", {}},
        {"rates within the tolerance share a group",
         {Item("10.00", "11.90", 19), Item("10.00", "11.90", 19 + 1e-11)}, "DE", "",
         {{vcS, 19, "20.00", "3.80"}}, "20.00", "3.80", "23.80", "0", "23.80", {}},
        {"rates beyond the tolerance do not",
         {Item("10.00", "11.90", 19), Item("10.00", "11.90", 19 + 1e-9)}, "DE", "",
         {{vcS, 19, "10.00", "1.90"}, {vcS, 19 + 1e-9, "10.00", "1.90"}}, "20.00", "3.80", "23.80", "0", "23.80", {}},
        {"two groups with differences add up their rounding",
         {Item("0.13", "0.15", 19), Item("0.13", "0.15", 19), Item("0.07", "0.08", 7)}, "DE", "",
         {{vcS, 19, "0.26", "0.05"}, {vcS, 7, "0.07", "0.00"}}, "0.33", "0.05", "0.38", "0.00", "0.38",
         {"USt 19,00%: in NAV gebucht 0,04, Basis x Satz = 0,05 -> Differenz als Rundungsbetrag",
          "USt 7,00%: in NAV gebucht 0,01, Basis x Satz = 0,00 -> Differenz als Rundungsbetrag"}},
        {"fractional rate in the warning",
         {Item("0.10", "0.12", 5.5)}, "DE", "",
         {{vcS, 5.5, "0.10", "0.01"}}, "0.10", "0.01", "0.11", "0.01", "0.12",
         {"USt 5,50%: in NAV gebucht 0,02, Basis x Satz = 0,01 -> Differenz als Rundungsbetrag"}},
        {"only text lines and empty lines",
         {Text(19), [] { TInvLine l = Item("0", "0", 19); l.Quantity = 0; return l; }()}, "DE", "",
         {}, "0", "0", "0", "0", "0", {}},
        {"no lines at all", {}, "DE", "", {}, "0", "0", "0", "0", "0", {}},
        {"an amount without quantity is an item",
         {[] { TInvLine l = Item("5.00", "5.95", 19); l.Quantity = 0; return l; }()}, "DE", "",
         {{vcS, 19, "5.00", "0.95"}}, "5.00", "0.95", "5.95", "0", "5.95", {}},
    };
    for (const CalcCase& c : cases) {
        SCOPED_TRACE(c.name);
        TInvoice inv;
        inv.Lines = c.lines;
        inv.BillTo.Country = c.country;
        inv.BuyerVatID = c.buyerVatId;
        inv.Calculate(FRules);
        ASSERT_EQ(inv.VatGroups.size(), c.groups.size());
        for (size_t i = 0; i < c.groups.size(); ++i) {
            EXPECT_EQ(inv.VatGroups[i].Category, c.groups[i].category) << i;
            EXPECT_EQ(inv.VatGroups[i].Rate, c.groups[i].rate) << i;
            EXPECT_EQ(inv.VatGroups[i].Basis, Money(c.groups[i].basis)) << i;
            EXPECT_EQ(inv.VatGroups[i].Tax, Money(c.groups[i].tax)) << i;
        }
        EXPECT_EQ(inv.LineTotal, Money(c.lineTotal));
        EXPECT_EQ(inv.TaxTotal, Money(c.taxTotal));
        EXPECT_EQ(inv.GrandTotal, Money(c.grandTotal));
        EXPECT_EQ(inv.Rounding, Money(c.rounding));
        EXPECT_EQ(inv.DuePayable, Money(c.duePayable));
        EXPECT_EQ(inv.Warnings, c.warnings);
    }
}

TEST_F(VatTest, WarningUsesTheUserDecimalSeparator) {
    SetDecimalSeparatorOverride(".");
    TInvoice inv;
    inv.BillTo.Country = "DE";
    inv.Lines = {Item("0.13", "0.15", 19), Item("0.13", "0.15", 19)};
    inv.Calculate(FRules);
    ASSERT_EQ(inv.Warnings.size(), 1u);
    EXPECT_EQ(inv.Warnings[0], "USt 19.00%: in NAV gebucht 0.04, Basis x Satz = 0.05 -> Differenz als Rundungsbetrag");
}

TEST_F(VatTest, SecondRunRecomputesButRepeatsWarnings) {
    TInvoice inv;
    inv.BillTo.Country = "DE";
    inv.Warnings = {"vorher"};
    inv.Lines = {Item("0.13", "0.15", 19), Item("0.13", "0.15", 19)};
    inv.Calculate(FRules);
    inv.Calculate(FRules);
    ASSERT_EQ(inv.VatGroups.size(), 1u);
    EXPECT_EQ(inv.VatGroups[0].Tax, Money("0.05"));
    EXPECT_EQ(inv.Rounding, Money("-0.01"));
    EXPECT_EQ(inv.DuePayable, Money("0.30"));
    ASSERT_EQ(inv.Warnings.size(), 3u);
    EXPECT_EQ(inv.Warnings[0], "vorher");
    EXPECT_EQ(inv.Warnings[1], inv.Warnings[2]);
}

TEST_F(VatTest, UncomputableRateKeepsPostedTaxAndWarns) {
    TInvoice inv;
    inv.BillTo.Country = "DE";
    TInvLine nan = Item("10.00", "11.90", std::nan(""));
    TInvLine huge = Item("10.00", "12.00", 1e300);
    inv.Lines = {nan, nan, huge};
    inv.Calculate(FRules);
    // NaN equals no rate, so each NaN line stands alone.
    ASSERT_EQ(inv.VatGroups.size(), 3u);
    EXPECT_EQ(inv.VatGroups[0].Tax, Money("1.90"));
    EXPECT_EQ(inv.VatGroups[2].Tax, Money("2.00"));
    EXPECT_EQ(inv.TaxTotal, Money("5.80"));
    EXPECT_EQ(inv.GrandTotal, Money("35.80"));
    EXPECT_EQ(inv.DuePayable, inv.GrandTotal);
    ASSERT_EQ(inv.Warnings.size(), 3u);
    EXPECT_EQ(inv.Warnings[0], "USt NAN%: Basis x Satz nicht berechenbar, in NAV gebucht 1,90 übernommen");
    EXPECT_NE(inv.Warnings[2].find("nicht berechenbar, in NAV gebucht 2,00"), std::string::npos);
}

TEST_F(VatTest, HugeQuantitiesDoNotMatterOnlyAmountsDo) {
    TInvoice inv;
    inv.BillTo.Country = "DE";
    TInvLine line = Item("10.00", "11.90", 19);
    line.Quantity = 1e308;
    TInvLine nanQuantity = Item("10.00", "11.90", 19);
    nanQuantity.Quantity = std::nan("");
    inv.Lines = {line, nanQuantity};
    inv.Calculate(FRules);
    ASSERT_EQ(inv.VatGroups.size(), 1u);
    EXPECT_EQ(inv.DuePayable, Money("23.80"));
}

TEST_F(VatTest, SumsBeyondMoneyRangeFailInsteadOfWrapping) {
    TInvoice inv;
    inv.BillTo.Country = "DE";
    TInvLine big = Item("0", "0", 0);
    big.Amount = Currency::FromRaw(std::numeric_limits<int64_t>::max() - 5);
    big.AmountInclVat = big.Amount;
    inv.Lines = {big, big};
    EXPECT_THROW(inv.Calculate(FRules), Exception);

    TInvoice inv2;
    TInvLine negative = Item("0", "0", 19);
    negative.Amount = Currency::FromRaw(std::numeric_limits<int64_t>::min() + 5);
    negative.AmountInclVat = Currency::FromRaw(std::numeric_limits<int64_t>::max() - 5);
    inv2.Lines = {negative};
    EXPECT_THROW(inv2.Calculate(FRules), Exception);
}
