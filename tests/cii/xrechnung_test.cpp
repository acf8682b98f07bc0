// XRechnung 3.0: the elements its rules require in the XML, the cash-discount line, and
// the rule set of the check against the KoSIT validator (validate-cii --xrechnung).
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cii/cii_document.h"
#include "cii/en16931_check.h"
#include "cii_fixtures.h"
#include "platform/datetime.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "validator_rules.h"

namespace velkaro {
namespace {

constexpr const char* kLeitweg = "04011000-1234512345-06";

// A domestic invoice to a public buyer with a Leitweg-ID, following XRechnung.
TInvoice LeitwegInvoice() {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.LeitwegID = kLeitweg;
    inv.BuyerReference = kLeitweg;
    inv.BuyerEmail = "rechnung@amt.example";
    inv.XRechnung = true;
    return inv;
}

using TChange = std::function<void(TInvoice&, TSeller&)>;

struct XmlCase {
    std::string Name;
    TChange Change;
    std::string Element;  // ElementText of this tag ...
    std::string Contains; // ... holds this text (empty: the element must be missing)
};

TEST(XRechnungXml, WritesWhatTheRulesRequire) {
    auto none = [](TInvoice&, TSeller&) {};
    const std::vector<XmlCase> cases = {
        // BT-24 and BT-23: specification identifier and business process
        {"guideline", none, "ram:GuidelineSpecifiedDocumentContextParameter",
         "<ram:ID>urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0</ram:ID>"},
        {"business process", none, "ram:BusinessProcessSpecifiedDocumentContextParameter",
         "<ram:ID>urn:fdc:peppol.eu:2017:poacc:billing:01:1.0</ram:ID>"},
        {"plain EN 16931 without process", [](TInvoice& i, TSeller&) { i.XRechnung = false; },
         "ram:BusinessProcessSpecifiedDocumentContextParameter", ""},
        {"plain EN 16931 guideline", [](TInvoice& i, TSeller&) { i.XRechnung = false; },
         "ram:GuidelineSpecifiedDocumentContextParameter", "<ram:ID>urn:cen.eu:en16931:2017</ram:ID>"},
        // BR-DE-15
        {"buyer reference", none, "ram:BuyerReference", kLeitweg},
        // BR-DE-2, BR-DE-5, BR-DE-6, BR-DE-7: the seller's contact
        {"contact name", none, "ram:DefinedTradeContact", "<ram:PersonName>Max Mustermann</ram:PersonName>"},
        {"contact phone", none, "ram:DefinedTradeContact", "<ram:CompleteNumber>+49 30 123456</ram:CompleteNumber>"},
        {"contact e-mail", none, "ram:EmailURIUniversalCommunication",
         "<ram:URIID>rechnung@velkaro.example</ram:URIID>"},
        // No empty elements for a missing part (PEPPOL-EN16931-R008); the check names it.
        {"contact without e-mail", [](TInvoice&, TSeller& s) { s.Email.clear(); }, "ram:EmailURIUniversalCommunication",
         ""},
        {"contact without phone", [](TInvoice&, TSeller& s) { s.Phone.clear(); }, "ram:TelephoneUniversalCommunication",
         ""},
        // PEPPOL-EN16931-R020 and R010: electronic addresses
        {"seller address EM", none, "ram:URIUniversalCommunication",
         "<ram:URIID schemeID=\"EM\">rechnung@velkaro.example</ram:URIID>"},
        {"buyer address from Leitweg-ID", none, "ram:BuyerTradeParty",
         std::string("<ram:URIID schemeID=\"0204\">") + kLeitweg + "</ram:URIID>"},
        {"buyer address from e-mail without Leitweg-ID",
         [](TInvoice& i, TSeller&) {
             i.LeitwegID.clear();
             i.BuyerReference = "Bestellung 4711";
         },
         "ram:BuyerTradeParty", "<ram:URIID schemeID=\"EM\">rechnung@amt.example</ram:URIID>"},
        // BR-DE-1: payment instructions, also for a direct debit
        {"direct debit",
         [](TInvoice& i, TSeller&) {
             i.DirectDebit = true;
             i.PayMethodCode = "EINZUG";
             i.MandateID = "M-1";
             i.BuyerIBAN = "DE75512108001245126199";
         },
         "ram:SpecifiedTradeSettlementPaymentMeans", "<ram:TypeCode>59</ram:TypeCode>"},
        // BR-DE-24-b: a card payment names no account to transfer to
        {"card without seller account", [](TInvoice& i, TSeller&) { i.PayMethodCode = "KK"; },
         "ram:PayeePartyCreditorFinancialAccount", ""},
        // a credit note refunds: no account to pay to, no discount line, no due date
        {"refund without seller account", [](TInvoice& i, TSeller&) { i.Kind = bkCreditMemo; },
         "ram:PayeePartyCreditorFinancialAccount", ""},
        {"refund without discount line",
         [](TInvoice& i, TSeller&) {
             i.Kind = bkCreditMemo;
             i.PmtDiscPct = 2;
             i.PmtDiscDate = EncodeDate(2026, 3, 12);
             i.DueDate = EncodeDate(2026, 3, 30);
         },
         "ram:SpecifiedTradePaymentTerms", "<ram:Description>Den Betrag von 119,00 EUR erstatten wir Ihnen"},
        {"refund without due date",
         [](TInvoice& i, TSeller&) {
             i.Kind = bkCreditMemo;
             i.DueDate = EncodeDate(2026, 3, 30);
         },
         "ram:DueDateDateTime", ""},
        // BR-DE-18: the discount line, then a real line break, then the free text
        {"cash discount",
         [](TInvoice& i, TSeller&) {
             i.PayTermsText = "30 Tage netto";
             i.PmtDiscPct = 2;
             i.PmtDiscDate = EncodeDate(2026, 3, 12);
         },
         "ram:SpecifiedTradePaymentTerms", "<ram:Description>#SKONTO#TAGE=10#PROZENT=2.00#\n30 Tage netto"},
        {"no discount line in plain EN 16931",
         [](TInvoice& i, TSeller&) {
             i.XRechnung = false;
             i.PmtDiscPct = 2;
             i.PmtDiscDate = EncodeDate(2026, 3, 12);
         },
         "ram:SpecifiedTradePaymentTerms", "<ram:Description>- bei Zahlung bis 12.03.2026 2 % Skonto"},
    };
    const TTaxRules rules = test::DefaultTaxRules();
    for (const XmlCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TInvoice inv = LeitwegInvoice();
        TSeller seller = test::FullSeller();
        c.Change(inv, seller);
        inv.Calculate(rules);
        const std::string xml = BuildCiiXml(inv, seller, rules);
        const std::string element = test::ElementText(xml, c.Element);
        if (c.Contains.empty()) EXPECT_EQ(element, "");
        else EXPECT_NE(element.find(c.Contains), std::string::npos) << element;
    }
}

TEST(XRechnungXml, DiscountLine) {
    struct Case {
        double Percent;
        TDateTime DiscountDate;
        std::string Expected;
    };
    const TDateTime issued = EncodeDate(2026, 3, 2);
    const std::vector<Case> cases = {
        {2, EncodeDate(2026, 3, 16), "#SKONTO#TAGE=14#PROZENT=2.00#"},
        {2.5, EncodeDate(2026, 3, 2) + 0.75, "#SKONTO#TAGE=0#PROZENT=2.50#"}, // time of day ignored
        {3.125, EncodeDate(2026, 4, 1), "#SKONTO#TAGE=30#PROZENT=3.13#"},     // two decimals, as the rule demands
        {0, EncodeDate(2026, 3, 16), ""},                                     // no discount
        {2, 0, ""},                                                           // no discount date
        {2, EncodeDate(2026, 3, 1), ""},                                      // date before the invoice
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Expected);
        TInvoice inv = LeitwegInvoice();
        inv.DocumentDate = issued;
        inv.PmtDiscPct = c.Percent;
        inv.PmtDiscDate = c.DiscountDate;
        EXPECT_EQ(XRechnungDiscountLine(inv), c.Expected);
    }
}

struct BrokenCase {
    std::string Name;
    TChange Break;
    std::set<std::string> Expected; // what the check should find; the validator decides
};

std::vector<BrokenCase> BrokenCases() {
    return {
        {"valid", [](TInvoice&, TSeller&) {}, {}},
        {"valid without Leitweg-ID",
         [](TInvoice& i, TSeller&) {
             i.LeitwegID.clear();
             i.BuyerReference = "Bestellung 4711";
         },
         {}},
        {"valid with cash discount",
         [](TInvoice& i, TSeller&) {
             i.PayTermsText = "30 Tage netto";
             i.PmtDiscPct = 2.5;
             i.PmtDiscDate = EncodeDate(2026, 3, 12);
         },
         {}},
        {"valid with cash discount without terms text",
         [](TInvoice& i, TSeller&) {
             i.PmtDiscPct = 3;
             i.PmtDiscDate = EncodeDate(2026, 3, 9);
         },
         {}},
        {"valid direct debit",
         [](TInvoice& i, TSeller&) {
             i.DirectDebit = true;
             i.PayMethodCode = "EINZUG";
             i.MandateID = "M-1";
             i.BuyerIBAN = "DE75512108001245126199";
         },
         {}},
        {"hash in the terms with cash discount",
         [](TInvoice& i, TSeller&) {
             i.PayTermsText = "Skonto #2# laut Vertrag";
             i.PmtDiscPct = 2;
             i.PmtDiscDate = EncodeDate(2026, 3, 12);
         },
         {"BR-DE-18"}},
        {"one hash in the terms", [](TInvoice& i, TSeller&) { i.PayTermsText = "Zahlbar bis Rechnung #5"; }, {}},
        {"two hashes in the terms without cash discount", [](TInvoice& i, TSeller&) { i.PayTermsText = "Netto #30# Tage"; }, {}},
        {"hash in the terms without cash discount",
         [](TInvoice& i, TSeller&) { i.PayTermsText = "#30 Tage netto#"; }, {"BR-DE-18"}},
        {"no contact name", [](TInvoice&, TSeller& s) { s.ContactName.clear(); }, {"BR-DE-5"}},
        {"no seller phone", [](TInvoice&, TSeller& s) { s.Phone.clear(); }, {"BR-DE-6"}},
        {"no seller e-mail", [](TInvoice&, TSeller& s) { s.Email.clear(); }, {"BR-DE-7", "PEPPOL-EN16931-R020"}},
        {"no seller city", [](TInvoice&, TSeller& s) { s.Addr.City.clear(); }, {"BR-DE-3"}},
        {"no seller postcode", [](TInvoice&, TSeller& s) { s.Addr.PostCode.clear(); }, {"BR-DE-4"}},
        {"no buyer city", [](TInvoice& i, TSeller&) { i.BillTo.City.clear(); }, {"BR-DE-8"}},
        {"no buyer postcode", [](TInvoice& i, TSeller&) { i.BillTo.PostCode.clear(); }, {"BR-DE-9"}},
        {"no buyer reference",
         [](TInvoice& i, TSeller&) {
             i.LeitwegID.clear();
             i.BuyerReference.clear();
         },
         {"BR-DE-15"}},
        {"no buyer electronic address",
         [](TInvoice& i, TSeller&) {
             i.LeitwegID.clear();
             i.BuyerReference = "Bestellung 4711";
             i.BuyerEmail.clear();
         },
         {"PEPPOL-EN16931-R010"}},
        {"seller without contact data",
         [](TInvoice&, TSeller& s) {
             s.ContactName.clear();
             s.Phone.clear();
             s.Email.clear();
         },
         {"BR-DE-2", "PEPPOL-EN16931-R020"}},
        // payment instructions
        {"valid card payment with the card's last digits",
         [](TInvoice& i, TSeller&) {
             i.PayMethodCode = "KK";
             i.CardNumberTail = "4242";
             i.CardHolder = "Amt Musterstadt";
         },
         {}},
        {"card payment without card data", [](TInvoice& i, TSeller&) { i.PayMethodCode = "KK"; }, {"BR-DE-24-a"}},
        {"direct debit without mandate",
         [](TInvoice& i, TSeller&) {
             i.DirectDebit = true;
             i.BuyerIBAN = "DE75512108001245126199";
         },
         {"PEPPOL-EN16931-R061"}},
        {"direct debit without creditor id",
         [](TInvoice& i, TSeller& s) {
             i.DirectDebit = true;
             i.MandateID = "M-1";
             i.BuyerIBAN = "DE75512108001245126199";
             s.CreditorID.clear();
         },
         {"BR-DE-30"}},
        {"direct debit of an account without IBAN",
         [](TInvoice& i, TSeller&) {
             i.DirectDebit = true;
             i.MandateID = "M-1";
             i.MandateAccountCode = "ALT";
         },
         {"BR-DE-31"}},
        {"direct debit without any of its data",
         [](TInvoice& i, TSeller& s) {
             i.DirectDebit = true;
             s.CreditorID.clear();
         },
         {"BR-DE-25-a", "PEPPOL-EN16931-R061"}},
        {"credit memo of a direct-debit customer refunds",
         [](TInvoice& i, TSeller&) {
             i.Kind = bkCreditMemo;
             i.DirectDebit = true;
             i.MandateID = "M-1";
             i.BuyerIBAN = "DE75512108001245126199";
         },
         {}},
        {"credit memo with cash discount and due date refunds without them",
         [](TInvoice& i, TSeller&) {
             i.Kind = bkCreditMemo;
             i.PayTermsText = "#SKONTO# 14 Tage";
             i.PmtDiscPct = 2;
             i.PmtDiscDate = EncodeDate(2026, 3, 12);
             i.DueDate = EncodeDate(2026, 3, 30);
         },
         {}},
        {"credit memo with a negative total asks for payment",
         [](TInvoice& i, TSeller&) {
             i.Kind = bkCreditMemo;
             for (TInvLine& l : i.Lines) {
                 l.Amount = Currency::FromRaw(-l.Amount.Raw());
                 l.AmountInclVat = Currency::FromRaw(-l.AmountInclVat.Raw());
                 l.Quantity = -l.Quantity;
             }
         },
         {}},
        {"seller with e-mail only",
         [](TInvoice&, TSeller& s) {
             s.ContactName.clear();
             s.Phone.clear();
         },
         {"BR-DE-5", "BR-DE-6"}},
    };
}

using test::Joined;
using test::RuleIds;

TEST(XRechnungCheck, FindsExactlyTheRulesTheValidatorRejects) {
    if (!test::CommandExists("java"))
        VELKARO_SKIP_UNLESS_CI() << "java fehlt: XRechnung-Prüfung (validate-cii --xrechnung) übersprungen";
    test::TempFolder folder;
    const std::vector<BrokenCase> cases = BrokenCases();
    const TTaxRules rules = test::DefaultTaxRules();
    std::vector<std::string> files;
    std::vector<std::set<std::string>> found;
    for (size_t k = 0; k < cases.size(); ++k) {
        TInvoice inv = LeitwegInvoice();
        TSeller seller = test::FullSeller();
        cases[k].Break(inv, seller);
        inv.Calculate(rules);
        found.push_back(RuleIds(CheckInvoice(inv, seller, rules, {&kEn16931Rules, &kXRechnungRules})));
        const std::string file = folder.File("case" + std::to_string(k) + ".xml");
        WriteFileBytes(file, BuildCiiXml(inv, seller, rules));
        files.push_back(file);
    }
    std::string output;
    std::map<std::string, std::set<std::string>> rejected = test::ValidatorRuleIds(files, output, "--xrechnung");
    for (size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(cases[k].Name);
        const std::string file = folder.File("case" + std::to_string(k) + ".xml");
        ASSERT_EQ(rejected.count(file), 1u) << output;
        EXPECT_EQ(Joined(found[k]), Joined(rejected[file])) << "Prüfung gegen Validator";
        EXPECT_EQ(Joined(found[k]), Joined(cases[k].Expected)) << "Prüfung gegen erwartete Regeln";
    }
}

TEST(XRechnungCheck, FindingsNameTheMissingItemAndWhereToEnterIt) {
    struct Case {
        std::string Name;
        TChange Break;
        std::string Rule;
        std::string InText;
        std::string InFix;
    };
    const std::vector<Case> cases = {
        {"contact name", [](TInvoice&, TSeller& s) { s.ContactName.clear(); }, "BR-DE-5",
         "Ansprechpartner des Verkäufers fehlt", "INI [Verkaeufer] Ansprechpartner"},
        {"phone", [](TInvoice&, TSeller& s) { s.Phone.clear(); }, "BR-DE-6", "Telefonnummer des Verkäufers fehlt",
         "INI [Verkaeufer] Telefon oder NAV Firmendaten"},
        {"e-mail", [](TInvoice&, TSeller& s) { s.Email.clear(); }, "BR-DE-7", "E-Mail-Adresse des Verkäufers fehlt",
         "INI [Verkaeufer] EMail"},
        {"hash in the terms", [](TInvoice& i, TSeller&) { i.PayTermsText = "#30 Tage netto"; }, "BR-DE-18",
         "Zahlungsbedingung „#30 Tage netto“ enthält „#“", "NAV Zahlungsbedingungen (Payment Terms)"},
        {"buyer postcode", [](TInvoice& i, TSeller&) { i.BillTo.PostCode.clear(); }, "BR-DE-9",
         "Postleitzahl des Käufers fehlt", "Feld „Rech. an PLZ-Code“"},
        {"buyer reference",
         [](TInvoice& i, TSeller&) {
             i.LeitwegID.clear();
             i.BuyerReference.clear();
         },
         "BR-DE-15", "Käuferreferenz", "INI [Leitweg] K1= oder NAV Verkaufsrechnung"},
        {"buyer address",
         [](TInvoice& i, TSeller&) {
             i.LeitwegID.clear();
             i.BuyerEmail.clear();
         },
         "PEPPOL-EN16931-R010", "Elektronische Adresse des Käufers", "Feld „E-Mail“"},
        {"card data", [](TInvoice& i, TSeller&) { i.PayMethodCode = "kk"; }, "BR-DE-24-a", "Kartenzahlung ohne Kartenangaben",
         "Feld „Kreditkartennr.“"},
        {"mandate",
         [](TInvoice& i, TSeller&) {
             i.DirectDebit = true;
             i.BuyerIBAN = "DE75512108001245126199";
         },
         "PEPPOL-EN16931-R061", "Mandatsreferenz", "Feld „Mandat-ID“ (Direct Debit Mandate ID)"},
        {"creditor id",
         [](TInvoice& i, TSeller& s) {
             i.DirectDebit = true;
             i.MandateID = "M-1";
             i.BuyerIBAN = "DE75512108001245126199";
             s.CreditorID.clear();
         },
         "BR-DE-30", "Gläubiger-Identifikationsnummer", "INI [Verkaeufer] GlaeubigerID"},
        {"debited account",
         [](TInvoice& i, TSeller&) {
             i.DirectDebit = true;
             i.MandateID = "M-1";
             i.MandateAccountCode = "ALT";
         },
         "BR-DE-31", "IBAN des belasteten Kontos", "Debitor-Bankkonto (Customer Bank Account) K1 ALT, Feld „IBAN“"},
    };
    const TTaxRules rules = test::DefaultTaxRules();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TInvoice inv = LeitwegInvoice();
        TSeller seller = test::FullSeller();
        c.Break(inv, seller);
        inv.Calculate(rules);
        const TCheckFindings findings = CheckInvoice(inv, seller, rules, {&kEn16931Rules, &kXRechnungRules});
        const TCheckFinding* hit = test::FindingOf(findings, c.Rule);
        ASSERT_NE(hit, nullptr) << findings.RuleList();
        EXPECT_NE(hit->Text.find(c.InText), std::string::npos) << hit->Text;
        EXPECT_NE(hit->FixAt.find(c.InFix), std::string::npos) << hit->FixAt;
        // Plain EN 16931 does not ask for any of it.
        EXPECT_EQ(CheckInvoice(inv, seller, rules).RuleList(), "");
    }
}

TEST(XRechnungCheck, ViolationsNameEachRuleSetWithItsRules) {
    TInvoice inv = LeitwegInvoice();
    inv.BillTo.Country = "UK";
    TSeller seller = test::FullSeller();
    seller.ContactName.clear();
    const TTaxRules rules = test::DefaultTaxRules();
    inv.Calculate(rules);
    EXPECT_EQ(CheckInvoice(inv, seller, rules, {&kEn16931Rules, &kXRechnungRules}).Violations(),
              "EN 16931 (BR-CL-14), XRechnung (BR-DE-5)");
    EXPECT_EQ(CheckInvoice(inv, seller, rules).Violations(), "EN 16931 (BR-CL-14)");
    inv.BillTo.Country = "DE";
    inv.Calculate(rules);
    EXPECT_EQ(CheckInvoice(inv, seller, rules, {&kEn16931Rules, &kXRechnungRules}).Violations(), "XRechnung (BR-DE-5)");
}

} // namespace
} // namespace velkaro
