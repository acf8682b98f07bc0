// The generated documents against the Factur-X EN 16931 schema and the CEN EN 16931
// rules (one JVM for all files), and well-formedness of documents from bad input.
#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cii/cii_document.h"
#include "cii/en16931_check.h"
#include "cii_fixtures.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "validator_rules.h"

namespace velkaro {
namespace {

// Demo documents whose NAV data carry posted-data features; their XML differs on purpose:
// the credit memos refund (payment instructions of the refund instead of the invoice's),
// the others are the documents of those features.
const std::vector<std::string> kDemoDocumentsWithNewData = {
    "GS24-0001", "GS24-0002", "GS24-0003", "GS24-0004", "GS24-0005", "GS24-0101", "RE24-0101", "RE24-0102",
    "RE24-0103", "RE24-0104", "RE24-0105", "RE24-0106", "RE24-0107", "RE24-0108", "RE24-0109", "RE24-0110"};

// Empty when libxml2 parses the text as well-formed XML, else its first error.
std::string WellFormednessError(const std::string& xml) {
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "factur-x.xml", "UTF-8",
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (doc) {
        xmlFreeDoc(doc);
        return "";
    }
    const xmlError* err = xmlGetLastError();
    return err && err->message ? err->message : "nicht wohlgeformt";
}

using test::CommandExists;
using test::RunCommand;

// Every invoice of the demo database (built from demo/*.sql into `folder`), loaded and
// calculated by the database layer as the workflow does. Invoices that the loader
// refuses (the product writes no XML for them) are listed in `refused`.
std::vector<test::NamedInvoice> DemoInvoices(const test::TempFolder& folder, std::vector<std::string>& refused) {
    std::string output;
    std::string db = folder.File("velkaro-demo.db");
    if (RunCommand("bash '" + test::SourceDir() + "/demo/make-demo-db.sh' '" + db + "'", output) != 0) {
        ADD_FAILURE() << "Demo-Datenbank nicht erstellt: " << output;
        return {};
    }
    std::string demoIni = test::SourceDir() + "/demo/velkaro.ini";
    std::string ini = folder.File("velkaro.ini");
    if (FileExists(demoIni)) WriteFileBytes(ini, ReadFileBytes(demoIni));
    TSettings settings(ini);
    settings.Provider = "SQLite";
    settings.Database = "velkaro-demo.db";
    settings.MaxRows = 100000;
    TNavData nav(settings);
    std::vector<test::NamedInvoice> all;
    for (const std::string& company : nav.Companies()) {
        TSeller seller = nav.LoadSeller(company);
        for (const TInvoiceListItem& row : nav.Search(company, "", EncodeDate(1900, 1, 1), EncodeDate(2199, 12, 31))) {
            std::string name = "demo " + company + " " + row.No;
            try {
                std::unique_ptr<TInvoice> inv = nav.LoadInvoice(company, row.No, row.Kind);
                all.push_back({name, std::move(*inv), seller});
            } catch (const Exception& e) {
                refused.push_back(name + ": " + e.what());
            }
        }
    }
    return all;
}

// Demo documents that carry a finding on purpose, with its rule ids.
const std::map<std::string, std::string> kDemoFindings = {
    {"RE24-0017", "BR-DE-9"},                       // Leitweg customer without postcode
    {"RE24-0102", "PEPPOL-EN16931-R061"},           // direct debit without mandate
    {"RE24-0103", "BR-DE-31"},                      // mandate account without IBAN
    {"RE24-0107", "BR-CO-17 BR-S-09"},              // Full VAT line: VAT without basis
};

// The fixtures and every demo document against the validator (EN 16931, and XRechnung
// for the documents that follow it): what the check finds is exactly what the validator
// rejects, and the demo documents carry no finding but the intended ones.
TEST(CiiValidationTest, FixturesAndDemoInvoicesPassSchemaAndEn16931Rules) {
    if (!CommandExists("java"))
        VELKARO_SKIP_UNLESS_CI() << "java fehlt: EN 16931-Prüfung (validate-cii) übersprungen; "
                                    "scripts/install-deps.sh installiert default-jre-headless";
    const TTaxRules rules = test::DefaultTaxRules();
    std::vector<test::NamedInvoice> invoices = test::ValidFixtures(rules);
    test::TempFolder folder;
    std::vector<std::string> refused;
    std::vector<test::NamedInvoice> demo = DemoInvoices(folder, refused);
    EXPECT_GE(demo.size(), 10u) << "zu wenige Demo-Rechnungen geladen";
    EXPECT_EQ(std::count_if(demo.begin(), demo.end(),
                            [](const test::NamedInvoice& d) { return d.Invoice.Kind == bkCreditMemo; }),
              6) << "die Rechnungskorrekturen der Demo";
    for (const std::string& r : refused) std::cout << "  vom Laden abgewiesen: " << r << "\n";
    for (auto& d : demo) invoices.push_back(std::move(d));

    std::vector<std::string> plainFiles, xrechnungFiles;
    std::map<std::string, std::string> found, expected;  // file -> rule ids
    for (const auto& item : invoices) {
        std::string xml = BuildCiiXml(item.Invoice, item.Seller, rules);
        ASSERT_EQ(WellFormednessError(xml), "") << item.Name;
        const std::string path = folder.File(ReplaceAll(item.Name, " ", "_") + ".xml");
        WriteFileBytes(path, xml);
        const bool xr = item.Invoice.XRechnung;
        (xr ? xrechnungFiles : plainFiles).push_back(path);
        found[path] = test::Joined(test::RuleIds(
            xr ? CheckInvoice(item.Invoice, item.Seller, rules, {&kEn16931Rules, &kXRechnungRules})
               : CheckInvoice(item.Invoice, item.Seller, rules)));
        const bool isDemo = item.Name.rfind("demo ", 0) == 0;
        auto intended = kDemoFindings.find(item.Invoice.No);
        expected[path] = isDemo && intended != kDemoFindings.end() ? intended->second : "";
    }
    std::string plainOutput, xrechnungOutput;
    auto rejected = test::ValidatorRuleIds(plainFiles, plainOutput);
    for (auto& [file, ids] : test::ValidatorRuleIds(xrechnungFiles, xrechnungOutput, "--xrechnung"))
        rejected[file] = ids;
    std::cout << "  validate-cii: " << plainFiles.size() << " EN-16931- und " << xrechnungFiles.size()
              << " XRechnung-Dateien (" << demo.size() << " Demo-Dokumente)\n";
    for (const auto& [file, rules] : found) {
        SCOPED_TRACE(file);
        ASSERT_EQ(rejected.count(file), 1u) << plainOutput << xrechnungOutput;
        EXPECT_EQ(rules, test::Joined(rejected[file])) << "Prüfung gegen Validator";
        EXPECT_EQ(rules, expected[file]) << "Prüfung gegen beabsichtigte Befunde";
    }
}

// The demo documents whose NAV data use none of the posted-data features (NAV's tax
// setup, Full VAT lines, card or direct-debit payment, refunds, ship-to without name)
// keep their XML byte for byte; tests/data/cii/demo-xml holds the XML they had before
// these features. VELKARO_WRITE_DEMO_XML=1 writes the files instead of comparing.
TEST(CiiValidationTest, DemoDocumentsWithoutNewDataKeepTheirXml) {
    test::TempFolder folder;
    std::vector<std::string> refused;
    std::vector<test::NamedInvoice> demo = DemoInvoices(folder, refused);
    ASSERT_GE(demo.size(), 10u);
    const TTaxRules rules = TaxRulesOf(TSettings(folder.File("velkaro.ini")));
    const std::string dir = test::SourceDir() + "/tests/data/cii/demo-xml/";
    const bool write = std::getenv("VELKARO_WRITE_DEMO_XML") != nullptr;
    // Documents whose data carry one of the features, and why their XML changes.
    const std::vector<std::string> changed = kDemoDocumentsWithNewData;
    int compared = 0;
    for (const test::NamedInvoice& d : demo) {
        const std::string file = dir + ReplaceAll(d.Name.substr(5), " ", "_") + ".xml";
        const std::string xml = BuildCiiXml(d.Invoice, d.Seller, rules);
        if (write) {
            if (!FileExists(file)) {
                WriteFileBytes(file, xml);
            }
            continue;
        }
        if (std::find(changed.begin(), changed.end(), d.Invoice.No) != changed.end()) continue;
        SCOPED_TRACE(d.Name);
        if (!FileExists(file)) {
            ADD_FAILURE() << "neues Demo-Dokument ohne frühere XML: in kDemoDocumentsWithNewData eintragen";
            continue;
        }
        EXPECT_EQ(xml, ReadFileBytes(file));
        ++compared;
    }
    if (!write) {
        EXPECT_GE(compared, 15);
    }
}

// The demo documents of NAV's setup and the posted-data cases write what NAV posted:
// category and exemption reason of the VAT breakdown, payment means, delivery party.
TEST(CiiValidationTest, DemoDocumentsWriteWhatNavPosted) {
    test::TempFolder folder;
    std::vector<std::string> refused;
    std::vector<test::NamedInvoice> demo = DemoInvoices(folder, refused);
    const TTaxRules rules = TaxRulesOf(TSettings(folder.File("velkaro.ini")));
    struct Case {
        std::string No;
        std::string Element;   // ElementText of this tag ...
        std::string Contains;  // ... holds this text (empty: the element is missing)
    };
    const std::vector<Case> cases = {
        // card payment: code 54 with the card's last digits, no seller account
        {"RE24-0101", "ram:SpecifiedTradeSettlementPaymentMeans", "<ram:TypeCode>54</ram:TypeCode>"},
        {"RE24-0101", "ram:ApplicableTradeSettlementFinancialCard", "<ram:ID>4242</ram:ID>"},
        {"RE24-0101", "ram:PayeePartyCreditorFinancialAccount", ""},
        // direct debit: the mandate's account only (the old one has no IBAN)
        {"RE24-0103", "ram:SpecifiedTradePaymentTerms", "<ram:DirectDebitMandateID>MANDAT-D70000-00"},
        {"RE24-0103", "ram:PayerPartyDebtorFinancialAccount", ""},
        {"RE24-0102", "ram:DirectDebitMandateID", ""},
        {"RE24-0008", "ram:CreditorReferenceID", "DE98ZZZ09999999999"},
        // credit memo of a direct-debit customer: the refund, no debit, no due date
        {"GS24-0101", "ram:SpecifiedTradeSettlementPaymentMeans", "<ram:TypeCode>1</ram:TypeCode>"},
        {"GS24-0101", "ram:SpecifiedTradePaymentTerms", "Den Betrag von 16,54 EUR erstatten wir Ihnen"},
        {"GS24-0101", "ram:DueDateDateTime", ""},
        {"GS24-0101", "ram:CreditorReferenceID", ""},
        {"GS24-0101", "ram:DirectDebitMandateID", ""},
        {"GS24-0101", "ram:PayerPartyDebtorFinancialAccount", ""},
        {"GS24-0001", "ram:PayeePartyCreditorFinancialAccount", ""},
        // billed in Germany, delivered to France for a French VAT id: intra-community supply
        {"RE24-0104", "ram:ApplicableHeaderTradeSettlement", "<ram:CategoryCode>K</ram:CategoryCode>"},
        {"RE24-0104", "ram:ShipToTradeParty", "<ram:CountryID>FR</ram:CountryID>"},
        // Canary Islands: outside the EU VAT area, an export
        {"RE24-0105", "ram:ApplicableHeaderTradeSettlement", "<ram:ExemptionReasonCode>VATEX-EU-G</ram:ExemptionReasonCode>"},
        // EU triangular trade: reverse charge of the last customer with the statement of § 25b UStG
        {"RE24-0106", "ram:ApplicableHeaderTradeSettlement", "<ram:CategoryCode>AE</ram:CategoryCode>"},
        {"RE24-0106", "ram:ApplicableHeaderTradeSettlement", "Dreiecksgeschäft nach § 25b UStG"},
        // Full VAT: the VAT as posted, no rounding amount
        {"RE24-0107", "ram:ApplicableHeaderTradeSettlement", "<ram:CalculatedAmount>76.00</ram:CalculatedAmount>"},
        {"RE24-0107", "ram:RoundingAmount", ""},
        {"RE24-0107", "ram:SpecifiedTradeSettlementHeaderMonetarySummation", "<ram:DuePayableAmount>276.00"},
        // ship-to without name: the customer's name at the ship-to address
        {"RE24-0108", "ram:ShipToTradeParty", "<ram:Name>Krause Bau GmbH</ram:Name>"},
        {"RE24-0108", "ram:ShipToTradeParty", "<ram:LineOne>Baustelle Lützner Straße 90</ram:LineOne>"},
        // NAV's tax category E with the text of its VAT clause
        {"RE24-0109", "ram:ApplicableTradeTax", "<ram:CategoryCode>S</ram:CategoryCode>"},
        {"RE24-0109", "ram:ApplicableHeaderTradeSettlement",
         "<ram:ExemptionReason>Steuerfreie Bildungsleistung nach § 4 Nr. 21 Buchst. a UStG</ram:ExemptionReason>"},
        // the clause in the customer's language
        {"RE24-0110", "ram:ApplicableHeaderTradeSettlement",
         "<ram:ExemptionReason>Wewnątrzwspólnotowa dostawa towarów zwolniona z podatku art. 138"},
        {"RE24-0110", "ram:ApplicableHeaderTradeSettlement", "<ram:CategoryCode>K</ram:CategoryCode>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.No + " " + c.Element + " " + c.Contains);
        auto doc = std::find_if(demo.begin(), demo.end(), [&](const test::NamedInvoice& d) { return d.Invoice.No == c.No; });
        ASSERT_NE(doc, demo.end());
        const std::string element = test::ElementText(BuildCiiXml(doc->Invoice, doc->Seller, rules), c.Element);
        if (c.Contains.empty()) EXPECT_EQ(element, "");
        else EXPECT_NE(element.find(c.Contains), std::string::npos) << element;
    }
}

// Every text field of seller and invoice, with `text` in it.
void FillAllTexts(TInvoice& inv, TSeller& seller, const std::string& text) {
    for (TAddress* a : {&inv.BillTo, &inv.ShipTo, &seller.Addr})
        for (std::string* f : {&a->Name, &a->Name2, &a->Street, &a->Street2, &a->PostCode, &a->City, &a->County,
                               &a->Country, &a->Contact})
            *f = text;
    for (std::string* f : {&inv.No, &inv.CustomerNo, &inv.ShipToCode, &inv.ExternalDocNo, &inv.OrderNo,
                           &inv.BuyerReference, &inv.CurrencyCode, &inv.PayTermsText, &inv.PayMethodCode,
                           &inv.PayMethodText, &inv.BuyerVatID, &inv.BuyerEmail, &inv.BuyerGLN, &inv.MandateID,
                           &inv.BuyerIBAN, &seller.VatID, &seller.TaxNo, &seller.GLN, &seller.Phone, &seller.Email,
                           &seller.ContactName, &seller.IBAN, &seller.BIC, &seller.AccountHolder,
                           &seller.CreditorID})
        *f = text;
    for (TInvLine& l : inv.Lines) {
        l.ItemNo = text;
        l.Description = text;
        l.Description2 = text;
        l.UnitIso = text;
    }
}

TEST(CiiValidationTest, BadTextsGiveWellFormedDocuments) {
    const TTaxRules rules = test::DefaultTaxRules();
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string text, escaped;
    } cases[] = {
        {std::string("A\x01\x02\x1F\x7F" "B\0C\x0B\x0C", 11), "A\x7F" "BC"},  // control characters, NUL
        {"\xED\xA0\x80 hoch \xED\xB0\x80 tief",                              // surrogates encoded in UTF-8
         fffd + fffd + fffd + " hoch " + fffd + fffd + fffd + " tief"},
        {"\xFF\xFE kaputt \xC3 \xE2\x82 \xF4\x90\x80\x80",                  // invalid, truncated, > U+10FFFF
         fffd + fffd + " kaputt " + fffd + " " + fffd + fffd + " " + fffd + fffd + fffd + fffd},
        {"\"'<>&]]>&amp; <!-- -->",                                              // markup
         "&quot;&apos;&lt;&gt;&amp;]]&gt;&amp;amp; &lt;!-- --&gt;"},
        {"\xEF\xBF\xBE\xEF\xBF\xBF", ""},                                      // non-characters U+FFFE/U+FFFF
        {"\r\n\t", ""},                                                          // only white space
    };
    for (bool directDebit : {false, true}) {
        for (const Case& c : cases) {
            TInvoice inv = test::DomesticInvoice();
            TSeller seller = test::FullSeller();
            inv.DirectDebit = directDebit;
            FillAllTexts(inv, seller, c.text);
            inv.Calculate(rules);
            std::string xml = BuildCiiXml(inv, seller, rules);
            EXPECT_EQ(WellFormednessError(xml), "") << c.text;
            EXPECT_TRUE(IsValidUtf8(xml));
            std::string name = JoinWithSpace(c.escaped, c.escaped);
            EXPECT_EQ(test::ElementText(test::ElementText(xml, "ram:BuyerTradeParty"), "ram:Name"),
                      "<ram:Name>" + name + "</ram:Name>\n")
                << c.text;
        }
    }
}

TEST(CiiValidationTest, FiveThousandLines) {
    const TTaxRules rules = test::DefaultTaxRules();
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.Lines.clear();
    for (int k = 1; k <= 5000; ++k)
        inv.Lines.push_back(test::ItemLine(k, "A", "Artikel " + std::to_string(k), 1, "0.01", 19, "C62", "0.00"));
    inv.Calculate(rules);
    std::string xml = BuildCiiXml(inv, test::FullSeller(), rules);
    EXPECT_EQ(WellFormednessError(xml), "");
    EXPECT_EQ(test::CountElements(xml, "ram:IncludedSupplyChainTradeLineItem"), 5000);
    EXPECT_NE(xml.find("<ram:LineID>5000</ram:LineID>"), std::string::npos);
    EXPECT_NE(xml.find("  <ram:LineTotalAmount>50.00</ram:LineTotalAmount>\n"), std::string::npos);
    EXPECT_NE(xml.find("<ram:CalculatedAmount>9.50</ram:CalculatedAmount>"), std::string::npos);
    EXPECT_NE(xml.find("<ram:RoundingAmount>-9.50</ram:RoundingAmount>"), std::string::npos);
    EXPECT_NE(xml.find("<ram:DuePayableAmount>50.00</ram:DuePayableAmount>"), std::string::npos);
}

TEST(CiiValidationTest, ExtremeAmountsAndRatesStayExact) {
    const TTaxRules rules = test::DefaultTaxRules();
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.Lines = {test::ItemLine(10, "A", "plus", 1, "1000000000000", 19),
                 test::ItemLine(20, "B", "minus", 1, "-1000000000000", 19),
                 test::ItemLine(30, "C", "winzig", 3, "999999999999.99", 0.0000001, "C62", "0.00")};
    inv.Calculate(rules);
    std::string xml = BuildCiiXml(inv, test::FullSeller(), rules);
    EXPECT_EQ(WellFormednessError(xml), "");
    std::string line1 = test::ElementText(xml, "ram:IncludedSupplyChainTradeLineItem", 0);
    std::string line2 = test::ElementText(xml, "ram:IncludedSupplyChainTradeLineItem", 1);
    std::string line3 = test::ElementText(xml, "ram:IncludedSupplyChainTradeLineItem", 2);
    EXPECT_EQ(test::ElementText(line1, "ram:ChargeAmount"), "<ram:ChargeAmount>1000000000000.0000</ram:ChargeAmount>\n");
    EXPECT_EQ(test::ElementText(line2, "ram:ChargeAmount") + test::ElementText(line2, "ram:BilledQuantity") +
                  test::ElementText(line2, "ram:LineTotalAmount"),
              "<ram:ChargeAmount>1000000000000.0000</ram:ChargeAmount>\n"
              "<ram:BilledQuantity unitCode=\"H87\">-1.0000</ram:BilledQuantity>\n"
              "<ram:LineTotalAmount>-1000000000000.00</ram:LineTotalAmount>\n");
    EXPECT_EQ(test::ElementText(line3, "ram:ChargeAmount") + test::ElementText(line3, "ram:RateApplicablePercent"),
              "<ram:ChargeAmount>333333333333.3300</ram:ChargeAmount>\n"
              "<ram:RateApplicablePercent>0.00</ram:RateApplicablePercent>\n");
    std::string sums = test::ElementText(xml, "ram:SpecifiedTradeSettlementHeaderMonetarySummation");
    EXPECT_NE(sums.find("<ram:LineTotalAmount>999999999999.99</ram:LineTotalAmount>"), std::string::npos) << sums;
    // Basis × 0.0000001 % is 1000.00 while NAV posted 0.00: the difference is the rounding amount.
    EXPECT_NE(sums.find("<ram:TaxTotalAmount currencyID=\"EUR\">1000.00</ram:TaxTotalAmount>"), std::string::npos)
        << sums;
    EXPECT_NE(sums.find("<ram:RoundingAmount>-1000.00</ram:RoundingAmount>"), std::string::npos) << sums;
    EXPECT_NE(sums.find("<ram:GrandTotalAmount>1000000000999.99</ram:GrandTotalAmount>"), std::string::npos) << sums;
    EXPECT_NE(sums.find("<ram:DuePayableAmount>999999999999.99</ram:DuePayableAmount>"), std::string::npos) << sums;
}

} // namespace
} // namespace velkaro
