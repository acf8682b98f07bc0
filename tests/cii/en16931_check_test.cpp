// The EN 16931 check against the official validator: for invoices each built to break one
// input (and a few breaking several), the rule ids of the check must equal the fatal rule
// ids validate-cii reports for the XML of the same invoice, both ways.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cii/cii_document.h"
#include "cii/en16931_check.h"
#include "platform/number_format.h"
#include "cii_fixtures.h"
#include "invoice/vat.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "validator_rules.h"

namespace velkaro {
namespace {

using test::ItemLine;

struct BrokenCase {
    std::string Name;
    std::function<void(TInvoice&, TSeller&, TTaxRules&)> Break;
    std::set<std::string> Expected;  // what the check should find; the validator decides
};

TInvoice Base() { return test::SimpleInvoice("DE", 19); }

std::vector<BrokenCase> BrokenCases() {
    auto seller = [](std::function<void(TSeller&)> f) {
        return [f](TInvoice&, TSeller& s, TTaxRules&) { f(s); };
    };
    auto invoice = [](std::function<void(TInvoice&)> f) {
        return [f](TInvoice& i, TSeller&, TTaxRules&) { f(i); };
    };
    auto onlyTaxNo = [](TSeller& s) {
        s.VatID.clear();
        s.GLN.clear();
    };
    return {
        {"valid", invoice([](TInvoice&) {}), {}},
        {"buyer-country-UK", invoice([](TInvoice& i) { i.BillTo.Country = i.BillTo.CountryNav = "UK"; }), {"BR-CL-14"}},
        {"seller-country-D", seller([](TSeller& s) { s.Addr.Country = s.Addr.CountryNav = "D"; }), {"BR-CL-14"}},
        {"buyer-country-empty", invoice([](TInvoice& i) { i.BillTo.Country.clear(); }), {"BR-11", "BR-CL-14"}},
        {"seller-country-empty", seller([](TSeller& s) { s.Addr.Country.clear(); }), {"BR-09", "BR-CL-14"}},
        {"shipto-country-D",
         invoice([](TInvoice& i) {
             i.ShipToCode = "LAGER";
             i.ShipTo = i.BillTo;
             i.ShipTo.Name = "Lager";
             i.ShipTo.Country = "D";
         }),
         {"BR-CL-14"}},
        {"shipto-country-empty",
         invoice([](TInvoice& i) {
             i.ShipToCode = "LAGER";
             i.ShipTo = i.BillTo;
             i.ShipTo.Name = "Lager";
             i.ShipTo.Country.clear();
         }),
         {"BR-57", "BR-CL-14"}},
        {"currency-SFR", invoice([](TInvoice& i) { i.CurrencyCode = "SFR"; }), {"BR-CL-03", "BR-CL-04"}},
        {"unit-FAS", invoice([](TInvoice& i) { i.Lines[0].UnitIso = "FAS"; }), {"BR-CL-23"}},
        {"unit-empty", invoice([](TInvoice& i) { i.Lines[0].UnitIso.clear(); }), {"BR-CL-23"}},
        {"buyer-vat-without-prefix",
         invoice([](TInvoice& i) {
             i = test::SimpleInvoice("AT", 0, "U12345678");
         }),
         {"BR-CO-09"}},
        {"seller-vat-without-prefix", seller([](TSeller& s) { s.VatID = "123 456 789"; }), {"BR-CO-09"}},
        {"reverse-charge-without-buyer-vat",
         invoice([](TInvoice& i) {
             i = test::SimpleInvoice("DE", 0);
             i.Lines[0].VatCalcType = 1;
         }),
         {"BR-AE-02"}},
        {"seller-only-tax-number", seller(onlyTaxNo), {"BR-CO-26"}},
        {"export-seller-only-tax-number",
         [&](TInvoice& i, TSeller& s, TTaxRules&) {
             i = test::SimpleInvoice("CH", 0);
             onlyTaxNo(s);
         },
         {"BR-CO-26", "BR-G-02"}},
        {"intra-eu-seller-only-tax-number",
         [&](TInvoice& i, TSeller& s, TTaxRules&) {
             i = test::SimpleInvoice("AT", 0, "ATU12345678");
             onlyTaxNo(s);
         },
         {"BR-CO-26", "BR-IC-02"}},
        {"export-seller-gln-only",
         [](TInvoice& i, TSeller& s, TTaxRules&) {
             i = test::SimpleInvoice("CH", 0);
             s.VatID.clear();
             s.TaxNo.clear();
         },
         {"BR-G-02"}},
        {"seller-without-any-tax-id",
         seller([](TSeller& s) {
             s.VatID.clear();
             s.TaxNo.clear();
             s.GLN.clear();
         }),
         {"BR-CO-26", "BR-S-02"}},
        {"exempt-seller-without-any-tax-id",
         [](TInvoice& i, TSeller& s, TTaxRules&) {
             i = test::SimpleInvoice("DE", 0);
             s.VatID.clear();
             s.TaxNo.clear();
         },
         {"BR-E-02"}},
        {"exemption-without-reason",
         [](TInvoice& i, TSeller&, TTaxRules& r) {
             i = test::SimpleInvoice("DE", 0);
             r.ExemptReasonE.clear();
         },
         {"BR-E-10"}},
        {"tiny-standard-rate", invoice([](TInvoice& i) { i.Lines[0] = ItemLine(10, "1", "Ware", 1, "100.00", 0.001); }),
         {"BR-S-05"}},
        {"rates-equal-at-two-decimals",
         invoice([](TInvoice& i) {
             i.Lines = {ItemLine(10, "1", "Ware", 1, "100.00", 19.001), ItemLine(20, "2", "Ware", 1, "50.00", 19.004)};
         }),
         {"BR-S-08"}},
        {"only-text-lines", invoice([](TInvoice& i) { i.Lines = {test::TextLine(10, "Nur Text")}; }), {"BR-16"}},
        {"negative-rate-exempt", invoice([](TInvoice& i) { i.Lines[0] = ItemLine(10, "1", "Ware", 1, "100.00", -5); }),
         {"BR-E-05", "BR-E-09", "BR-CO-17"}},
        {"negative-rate-beside-zero-exempt",
         invoice([](TInvoice& i) {
             i.Lines = {ItemLine(10, "1", "Ware", 1, "100.00", 0), ItemLine(20, "2", "Ware", 1, "100.00", -1)};
         }),
         {"BR-E-01", "BR-E-05", "BR-E-08", "BR-E-09", "BR-CO-17"}},
        {"negative-rate-reverse-charge",
         invoice([](TInvoice& i) {
             i = test::SimpleInvoice("DE", 0, "DE987654321");
             i.Lines[0] = ItemLine(10, "1", "Ware", 1, "100.00", -2);
             i.Lines[0].VatCalcType = 1;
         }),
         {"BR-AE-05", "BR-AE-09", "BR-CO-17"}},
        {"seller-gln-only",
         seller([](TSeller& s) {
             s.VatID.clear();
             s.TaxNo.clear();
         }),
         {"BR-S-02"}},
        {"negative-rate-export", invoice([](TInvoice& i) {
             i = test::SimpleInvoice("CH", 0);
             i.Lines[0] = ItemLine(10, "1", "Ware", 1, "100.00", -3);
         }),
         {"BR-G-05", "BR-G-09", "BR-CO-17"}},
        {"negative-rate-intra-eu", invoice([](TInvoice& i) {
             i = test::SimpleInvoice("AT", 0, "ATU12345678");
             i.Lines[0] = ItemLine(10, "1", "Ware", 1, "100.00", -0.5);
         }),
         {"BR-IC-05", "BR-IC-09"}},
        {"unit-lower-case", invoice([](TInvoice& i) { i.Lines[0].UnitIso = "h87"; }), {"BR-CL-23"}},
        {"greek-buyer-vat-EL", invoice([](TInvoice& i) { i = test::SimpleInvoice("GR", 0, "EL123456789"); }), {}},
        {"seller-country-EL", seller([](TSeller& s) { s.Addr.Country = "EL"; }), {"BR-CL-14"}},
        {"rate-rounding-up-at-two-decimals",
         invoice([](TInvoice& i) { i.Lines[0] = ItemLine(10, "1", "Ware", 1, "1000.00", 19.005); }), {}},
        {"blank-customer-name",
         invoice([](TInvoice& i) {
             i.BillTo.Name = " ";
             i.BillTo.Name2.clear();
         }),
         {"BR-07"}},
        {"seller-name-empty", seller([](TSeller& s) { s.Addr.Name.clear(); }), {"BR-06"}},
        {"line-without-text-or-number",
         invoice([](TInvoice& i) { i.Lines[0] = ItemLine(10, "", "", 1, "100.00", 19); }), {"BR-25"}},
        {"invoice-number-empty", invoice([](TInvoice& i) { i.No.clear(); }), {"BR-02"}},
        {"three-decimal-currency",
         invoice([](TInvoice& i) {
             i.CurrencyCode = "KWD";
             i.Lines = {ItemLine(10, "1", "Ware", 1, "10.125", 19, "H87", "1.924"),
                        ItemLine(20, "2", "Ware", 1, "10.125", 19, "H87", "1.924"),
                        ItemLine(30, "3", "Ware", 3, "0.333", 7, "H87", "0.023")};
         }),
         {}},
        {"direct-debit-without-mandate-and-iban",
         [](TInvoice& i, TSeller& s, TTaxRules&) {
             i.DirectDebit = true;
             i.PayMethodCode = "EINZUG";
             i.DueDate = 0;
             s.CreditorID.clear();
         },
         {}},
        {"no-due-date-no-terms", invoice([](TInvoice& i) { i.DueDate = 0; }), {}},
        // NAV's posted data: a Full VAT line, NAV's own tax categories and clauses
        {"full-vat-line-in-its-group",
         invoice([](TInvoice& i) {
             TInvLine full = ItemLine(20, "1776", "Einfuhrumsatzsteuer", 1, "0.00", 19, "C62", "38.00");
             full.VatCalcType = kVatCalcFullVat;
             i.Lines.push_back(full);
         }),
         {"BR-CO-17", "BR-S-09"}},
        {"full-vat-line-at-100-percent",
         invoice([](TInvoice& i) {
             TInvLine full = ItemLine(20, "1776", "Einfuhrumsatzsteuer", 1, "0.00", 100, "C62", "38.00");
             full.VatCalcType = kVatCalcFullVat;
             i.Lines.push_back(full);
         }),
         {"BR-CO-17", "BR-S-09"}},
        {"nav-category-z", invoice([](TInvoice& i) {
             i = test::SimpleInvoice("DE", 0);
             i.Lines[0].TaxCategory = "z";
         }),
         {}},
        {"nav-category-e-with-clause", invoice([](TInvoice& i) {
             i = test::SimpleInvoice("AT", 0, "ATU12345678");
             i.Lines[0].TaxCategory = "E";
             i.Lines[0].VatClauseText = "Steuerfrei nach § 4 Nr. 14 UStG";
         }),
         {}},
        {"nav-category-e-without-any-reason", [](TInvoice& i, TSeller&, TTaxRules& r) {
             i = test::SimpleInvoice("DE", 0);
             i.Lines[0].TaxCategory = "E";
             r.ExemptReasonE.clear();
         },
         {"BR-E-10"}},
        {"nav-category-o-with-vat-ids", invoice([](TInvoice& i) {
             i = test::SimpleInvoice("DE", 0, "DE987654321");
             i.Lines[0].TaxCategory = "O";
         }),
         {"BR-O-02"}},
        {"nav-category-o-without-vat-ids", [](TInvoice& i, TSeller& s, TTaxRules&) {
             i = test::SimpleInvoice("DE", 0);
             i.Lines[0].TaxCategory = "O";
             s.VatID.clear();
         },
         {}},
        {"nav-category-o-beside-standard", [](TInvoice& i, TSeller& s, TTaxRules&) {
             i.Lines.push_back(ItemLine(20, "2", "Spende", 1, "10.00", 0));
             i.Lines.back().TaxCategory = "O";
             s.VatID.clear();
         },
         {"BR-O-11", "BR-O-12"}},
        {"canary-islands-export", invoice([](TInvoice& i) {
             i = test::SimpleInvoice("ES", 0, "ESB35123456");
             i.BillTo.PostCode = "35007";
         }),
         {}},
        {"triangular-trade", invoice([](TInvoice& i) {
             i = test::SimpleInvoice("NL", 0, "NL854712345B01");
             i.EU3Party = true;
         }),
         {}},
        {"posted-vat-far-off", invoice([](TInvoice& i) { i.Lines[0] = ItemLine(10, "1", "Ware", 1, "100.00", 19, "H87", "5.00"); }),
         {}},
        {"several-at-once",
         invoice([](TInvoice& i) {
             i.BillTo.Country = i.BillTo.CountryNav = "UK";
             i.CurrencyCode = "SFR";
             i.Lines[0].UnitIso = "FAS";
             i.Lines.push_back(ItemLine(20, "", "", 1, "5.00", 19));
         }),
         {"BR-CL-14", "BR-CL-03", "BR-CL-04", "BR-CL-23", "BR-25"}},
        {"several-parties",
         [](TInvoice& i, TSeller& s, TTaxRules&) {
             i = test::SimpleInvoice("AT", 0);
             i.Lines[0].VatCalcType = 1;
             i.BillTo.Name.clear();
             i.BillTo.Name2.clear();
             s.VatID = "12345";
             s.Addr.Country = "D";
         },
         {"BR-07", "BR-CL-14", "BR-CO-09", "BR-AE-02"}},
    };
}

using test::Joined;
using test::RuleIds;
using test::ValidatorRuleIds;

TEST(En16931Check, FindsExactlyTheRulesTheValidatorRejects) {
    if (!test::CommandExists("java"))
        VELKARO_SKIP_UNLESS_CI() << "java fehlt: EN 16931-Prüfung (validate-cii) übersprungen";
    test::TempFolder folder;
    std::vector<BrokenCase> cases = BrokenCases();
    std::vector<std::string> files;
    std::vector<std::set<std::string>> found;
    for (const BrokenCase& c : cases) {
        TInvoice inv = Base();
        TSeller seller = test::FullSeller();
        TTaxRules rules = test::DefaultTaxRules();
        c.Break(inv, seller, rules);
        inv.Calculate(rules);
        found.push_back(RuleIds(CheckInvoice(inv, seller, rules)));
        files.push_back(folder.File(c.Name + ".xml"));
        WriteFileBytes(files.back(), BuildCiiXml(inv, seller, rules));
    }
    std::string output;
    const auto validator = ValidatorRuleIds(files, output);
    for (size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(cases[k].Name);
        const auto it = validator.find(files[k]);
        ASSERT_NE(it, validator.end()) << output;
        std::set<std::string> rejected = it->second;
        // A schema error has no rule id; it only comes along with a broken rule (an
        // invoice without items also lacks the elements the schema requires).
        if (rejected.erase("XSD") > 0) {
            EXPECT_FALSE(found[k].empty()) << output;
        }
        EXPECT_EQ(Joined(found[k]), Joined(rejected)) << "Prüfung gegen validate-cii";
        EXPECT_EQ(Joined(found[k]), Joined(cases[k].Expected)) << "Prüfung gegen die erwarteten Regeln";
    }
}

TEST(En16931Check, FindingsNameWhereToMendTheData) {
    struct Case {
        std::string Name;
        std::function<void(TInvoice&, TSeller&)> Break;
        std::string Rule, InText, InFix;
    } cases[] = {
        {"unmapped buyer country",
         [](TInvoice& i, TSeller&) {
             i.BillTo.CountryNav = "UK";
             i.BillTo.Country = "UK";
         },
         "BR-CL-14", "„UK“ des Käufers", "INI [Laender] UK=<ISO-Code>"},
        {"currency", [](TInvoice& i, TSeller&) { i.CurrencyCode = "sfr"; }, "BR-CL-04", "„SFR“",
         "INI [Waehrungen] SFR=<ISO-Code>"},
        {"unit",
         [](TInvoice& i, TSeller&) {
             i.Lines[0].UnitCode = "Fass";
             i.Lines[0].UnitIso = "FAS";
         },
         "BR-CL-23", "Zeile 10: Einheit „FAS“", "INI [Einheiten] FASS=<Rec.-20-Code>"},
        {"reverse charge", [](TInvoice& i, TSeller&) { i = test::SimpleInvoice("DE", 0), i.Lines[0].VatCalcType = 1; },
         "BR-AE-02", "Reverse Charge ohne USt-IdNr. des Käufers", "Feld „USt-IdNr.“ (aus dem Debitor)"},
        {"seller tax number only",
         [](TInvoice&, TSeller& s) {
             s.VatID.clear();
             s.GLN.clear();
         },
         "BR-CO-26", "weder USt-IdNr. noch GLN", "NAV Firmendaten (Company Information)"},
        // A credit memo is mended in NAV's posted credit memo, not in an invoice.
        {"credit memo without buyer name",
         [](TInvoice& i, TSeller&) {
             i.Kind = bkCreditMemo;
             i.BillTo.Name.clear();
             i.BillTo.Name2.clear();
         },
         "BR-07", "Name des Käufers", "NAV Verkaufsgutschrift (Sales Cr.Memo Header), Feld „Rech. an Name“"},
        {"credit memo line without unit code",
         [](TInvoice& i, TSeller&) {
             i.Kind = bkCreditMemo;
             i.Lines[0].UnitCode = "Fass";
             i.Lines[0].UnitIso = "FAS";
         },
         "BR-CL-23", "Zeile 10", "NAV Einheit (Unit of Measure) „Fass“"},
        {"credit memo of text lines only",
         [](TInvoice& i, TSeller&) {
             i.Kind = bkCreditMemo;
             i.Lines = {test::TextLine(10, "Nur Text")};
         },
         "BR-16", "Rechnungskorrektur hat keine Artikelzeile", "NAV Verkaufsgutschriftzeilen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TInvoice inv = Base();
        TSeller seller = test::FullSeller();
        c.Break(inv, seller);
        const TTaxRules rules = test::DefaultTaxRules();
        inv.Calculate(rules);
        const TCheckFindings findings = CheckInvoice(inv, seller, rules);
        const TCheckFinding* hit = test::FindingOf(findings, c.Rule);
        ASSERT_NE(hit, nullptr) << findings.RuleList();
        EXPECT_NE(hit->Text.find(c.InText), std::string::npos) << hit->Text;
        EXPECT_NE(hit->FixAt.find(c.InFix), std::string::npos) << hit->FixAt;
        EXPECT_NE(FindingSentence(*hit).find("(zu korrigieren: " + hit->FixAt + ")"), std::string::npos);
    }
}

TEST(En16931Check, OneFindingPerRuleWithEveryCause) {
    TInvoice inv = Base();
    TSeller seller = test::FullSeller();
    inv.BillTo.Country = inv.BillTo.CountryNav = "UK";
    seller.Addr.Country = seller.Addr.CountryNav = "D";
    const TTaxRules rules = test::DefaultTaxRules();
    inv.Calculate(rules);
    const TCheckFindings findings = CheckInvoice(inv, seller, rules);
    ASSERT_EQ(findings.Size(), 1u) << findings.RuleList();
    EXPECT_EQ(findings.RuleList(), "BR-CL-14");
    const std::string& text = findings.Items()[0].Text;
    EXPECT_NE(text.find("„D“ des Verkäufers"), std::string::npos) << text;
    EXPECT_NE(text.find("„UK“ des Käufers"), std::string::npos) << text;
    EXPECT_NE(findings.Items()[0].FixAt.find("[Laender] D=<ISO-Code>"), std::string::npos);
}

TEST(En16931Check, SecondRuleSetJoinsTheSameFindings) {
    // A stricter rule set (XRechnung) plugs in beside EN 16931.
    static const TRuleSet strict{"streng", [](const TCheckSubject& s, TCheckFindings& f) {
                                     if (s.Invoice.BuyerReference.empty())
                                         f.Add("BR-DE-15", "Leitweg-ID fehlt", "INI [Leitweg]");
                                 }};
    TInvoice inv = Base();
    inv.BuyerReference.clear();
    inv.BillTo.Country = "UK";
    const TTaxRules rules = test::DefaultTaxRules();
    inv.Calculate(rules);
    EXPECT_EQ(CheckInvoice(inv, test::FullSeller(), rules, {&kEn16931Rules, &strict}).RuleList(),
              "BR-CL-14, BR-DE-15");
    EXPECT_EQ(CheckInvoice(inv, test::FullSeller(), rules).RuleList(), "BR-CL-14");
}

// What NAV posted beyond cents of rounding is a finding of its own, and a Full VAT line
// that EN 16931 cannot express is named with its line.
TEST(En16931Check, PostedAmountsTheDocumentCannotExplain) {
    const TTaxRules rules = test::DefaultTaxRules();
    struct Case {
        std::string Name;
        const char* PostedVat;  // of the one line, net 100.00 at 19 %
        std::string Rules;
        std::string Text;
    };
    const std::vector<Case> cases = {
        {"cents", "19.02", "", ""},
        {"just below a unit", "19.99", "", ""},
        // The amount in the user's number format, as the log lines.
        {"one unit", "20.00", "NAV-RUNDUNG",
         "Rundungsbetrag " + LocalizeDecimalPoint("1.00") + " EUR \u2013 Beträge in NAV prüfen"},
        {"less than posted", "17.50", "NAV-RUNDUNG",
         "Rundungsbetrag " + LocalizeDecimalPoint("-1.50") + " EUR \u2013 Beträge in NAV prüfen"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TInvoice inv = Base();
        inv.Lines = {ItemLine(10, "1", "Ware", 1, "100.00", 19, "H87", c.PostedVat)};
        inv.Calculate(rules);
        const TCheckFindings findings = CheckInvoice(inv, test::FullSeller(), rules, {&kNavPostingRules});
        EXPECT_EQ(findings.RuleList(), c.Rules);
        if (!c.Text.empty()) {
            EXPECT_EQ(findings.Items()[0].Text, c.Text);
            EXPECT_NE(findings.Items()[0].FixAt.find("Sales Invoice Line"), std::string::npos);
        }
    }

    TInvoice full = Base();
    TInvLine line = ItemLine(20, "1776", "Einfuhrumsatzsteuer", 1, "0.00", 19, "C62", "38.00");
    line.VatCalcType = kVatCalcFullVat;
    full.Lines.push_back(line);
    full.Calculate(rules);
    EXPECT_TRUE(full.Rounding.IsZero());
    EXPECT_EQ(CheckInvoice(full, test::FullSeller(), rules, {&kNavPostingRules}).RuleList(), "");
    const TCheckFindings en = CheckInvoice(full, test::FullSeller(), rules);
    const TCheckFinding* hit = test::FindingOf(en, "BR-S-09");
    ASSERT_NE(hit, nullptr) << en.RuleList();
    EXPECT_NE(hit->Text.find("Full-VAT-Zeile 20"), std::string::npos) << hit->Text;
    EXPECT_NE(hit->Text.find("nicht ausdrücken"), std::string::npos) << hit->Text;
    EXPECT_NE(hit->FixAt.find("Full VAT"), std::string::npos) << hit->FixAt;
}

} // namespace
} // namespace velkaro
