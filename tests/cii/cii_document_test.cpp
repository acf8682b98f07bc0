// The Cross Industry Invoice document of small calculated invoices.
#include <gtest/gtest.h>

#include "cii/cii_document.h"
#include "cii_fixtures.h"
#include "invoice/vat.h"
#include "platform/files.h"
#include "platform/number_format.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::CountElements;
using test::ElementText;

class CiiDocumentTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparatorOverride(","); }
    void TearDown() override { ResetDecimalSeparatorOverride(); }

    std::string Build(TInvoice inv, const TSeller& seller = test::FullSeller()) {
        inv.Calculate(FRules);
        return BuildCiiXml(inv, seller, FRules);
    }

    TTaxRules FRules = test::DefaultTaxRules();
};

std::string ReadExpected(const std::string& name) {
    std::string bytes = ReadFileBytes(test::TestDataPath("cii/" + name));
    return bytes;
}

TEST(JoinWithSpaceTest, NoStrayBlanks) {
    EXPECT_EQ(JoinWithSpace(" a ", " b "), "a b");
    EXPECT_EQ(JoinWithSpace("", " b"), "b");
    EXPECT_EQ(JoinWithSpace("a\t", ""), "a");
    EXPECT_EQ(JoinWithSpace(" ", "\r\n"), "");
}

TEST_F(CiiDocumentTest, DomesticInvoiceIsWrittenExactly) {
    std::string xml = Build(test::DomesticInvoice());
    EXPECT_EQ(xml, ReadExpected("domestic.xml"));
    EXPECT_EQ(xml.find('\r'), std::string::npos);
    EXPECT_NE(xml.substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(CiiDocumentTest, NoteTakesOnlyTheLeadingTextLines) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.Lines.insert(inv.Lines.begin(), test::TextLine(1, " Erste "));
    inv.Lines.insert(inv.Lines.begin() + 1, test::TextLine(2, ""));  // empty: no double blank
    inv.Lines.insert(inv.Lines.begin() + 2, test::ItemLine(3, "", "Zweite", 0, "0", 19));  // no item
    inv.Lines.push_back(test::TextLine(20, "nach der ersten Position"));
    std::string xml = Build(inv);
    EXPECT_EQ(ElementText(xml, "ram:IncludedNote"),
              "<ram:IncludedNote>\n  <ram:Content>Erste Zweite</ram:Content>\n</ram:IncludedNote>\n");
    EXPECT_EQ(CountElements(xml, "ram:IncludedSupplyChainTradeLineItem"), 1);

    TInvoice none = test::SimpleInvoice("DE", 19);
    none.Lines.insert(none.Lines.begin(), test::TextLine(1, " \t "));
    EXPECT_EQ(CountElements(Build(none), "ram:IncludedNote"), 0);
}

TEST_F(CiiDocumentTest, LineSignRuleAndQuantityZero) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.Lines = {test::ItemLine(10, "A", "Gutschrift", 2, "-20.00", 19, "C62"),
                 test::ItemLine(20, "B", "Pauschale", 0, "12.50", 19, "LS"),
                 test::ItemLine(30, "C", "Rücknahme", -3, "-30.00", 19, "C62"),
                 test::ItemLine(40, "D", "Rabatt", -1, "5.00", 19, "C62")};
    std::string xml = Build(inv);
    auto priceAndQuantity = [&](int k) {
        std::string item = ElementText(xml, "ram:IncludedSupplyChainTradeLineItem", k);
        return ElementText(item, "ram:ChargeAmount") + ElementText(item, "ram:BilledQuantity") +
               ElementText(item, "ram:LineTotalAmount");
    };
    // price, quantity with unit, line total
    const char* expected[][3] = {{"10.0000", "C62\">-2.0000", "-20.00"},
                                 {"12.5000", "LS\">1.0000", "12.50"},
                                 {"10.0000", "C62\">-3.0000", "-30.00"},
                                 {"5.0000", "C62\">1.0000", "5.00"}};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(priceAndQuantity(k), std::string("<ram:ChargeAmount>") + expected[k][0] + "</ram:ChargeAmount>\n" +
                                           "<ram:BilledQuantity unitCode=\"" + expected[k][1] +
                                           "</ram:BilledQuantity>\n<ram:LineTotalAmount>" + expected[k][2] +
                                           "</ram:LineTotalAmount>\n")
            << k;
    }
}

TEST_F(CiiDocumentTest, ProductNameFallsBackToItemNoAndDescriptionRunEndsAtTheNextItem) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.Lines = {test::ItemLine(10, "X-1", "", 1, "1.00", 19), test::TextLine(20, "a"), test::TextLine(30, "b"),
                 test::ItemLine(40, "", "Zweite", 1, "1.00", 19), test::TextLine(50, " ")};
    std::string xml = Build(inv);
    EXPECT_EQ(ElementText(xml, "ram:SpecifiedTradeProduct", 0),
              "<ram:SpecifiedTradeProduct>\n"
              "  <ram:SellerAssignedID>X-1</ram:SellerAssignedID>\n"
              "  <ram:Name>X-1</ram:Name>\n"
              "  <ram:Description>a b</ram:Description>\n"
              "</ram:SpecifiedTradeProduct>\n");
    EXPECT_EQ(ElementText(xml, "ram:SpecifiedTradeProduct", 1),
              "<ram:SpecifiedTradeProduct>\n  <ram:Name>Zweite</ram:Name>\n</ram:SpecifiedTradeProduct>\n");
    EXPECT_EQ(ElementText(xml, "ram:LineID", 1), "<ram:LineID>2</ram:LineID>\n");
}

TEST_F(CiiDocumentTest, DeliveryPartyCondition) {
    struct Case {
        const char* name;
        void (*change)(TInvoice&);
        bool written;
        const char* partyName;
    } cases[] = {
        {"same address", [](TInvoice&) {}, false, ""},
        {"ship-to code", [](TInvoice& i) { i.ShipToCode = "L1"; }, true, "Müller &amp; Söhne &lt;GmbH&gt; Einkauf"},
        {"other name", [](TInvoice& i) { i.ShipTo = i.BillTo; i.ShipTo.Name = "Lager"; i.ShipTo.Name2 = ""; },
         true, "Lager"},
        {"street differs in case only",
         [](TInvoice& i) { i.ShipTo = i.BillTo; i.ShipTo.Street = "BAHNHOFSTR. 5"; }, true,
         "Müller &amp; Söhne &lt;GmbH&gt; Einkauf"},
        {"same ship-to", [](TInvoice& i) { i.ShipTo = i.BillTo; i.ShipTo.City = "Bonn"; }, false, ""},
        {"intra-community", [](TInvoice& i) { i.BillTo.Country = "AT"; i.BuyerVatID = "ATU12345678";
                                              i.Lines[0].VatPct = 0; }, true,
         "Müller &amp; Söhne &lt;GmbH&gt; Einkauf"},
    };
    for (const Case& c : cases) {
        TInvoice inv = test::SimpleInvoice("DE", 19);
        c.change(inv);
        std::string xml = Build(inv);
        std::string party = ElementText(xml, "ram:ShipToTradeParty");
        EXPECT_EQ(!party.empty(), c.written) << c.name;
        if (c.written) {
            EXPECT_EQ(ElementText(party, "ram:Name"), std::string("<ram:Name>") + c.partyName + "</ram:Name>\n")
                << c.name;
        }
        EXPECT_EQ(ElementText(xml, "ram:OccurrenceDateTime"),
                  "<ram:OccurrenceDateTime>\n"
                  "  <udt:DateTimeString format=\"102\">20260302</udt:DateTimeString>\n"
                  "</ram:OccurrenceDateTime>\n")
            << c.name;
    }
}

TEST_F(CiiDocumentTest, ShipToTradePartyUsesTheShipToAddress) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.ShipToCode = "LAGER";
    inv.ShipTo.Name = "Lager";
    inv.ShipTo.Name2 = "Tor 3";
    inv.ShipTo.Street = "Hafenweg 1";
    inv.ShipTo.PostCode = "20457";
    inv.ShipTo.City = "Hamburg";
    inv.ShipTo.Country = "de";
    inv.ShipmentDate = EncodeDate(2026, 2, 27);
    EXPECT_EQ(ElementText(Build(inv), "ram:ApplicableHeaderTradeDelivery"),
              "<ram:ApplicableHeaderTradeDelivery>\n"
              "  <ram:ShipToTradeParty>\n"
              "    <ram:Name>Lager Tor 3</ram:Name>\n"
              "    <ram:PostalTradeAddress>\n"
              "      <ram:PostcodeCode>20457</ram:PostcodeCode>\n"
              "      <ram:LineOne>Hafenweg 1</ram:LineOne>\n"
              "      <ram:CityName>Hamburg</ram:CityName>\n"
              "      <ram:CountryID>DE</ram:CountryID>\n"
              "    </ram:PostalTradeAddress>\n"
              "  </ram:ShipToTradeParty>\n"
              "  <ram:ActualDeliverySupplyChainEvent>\n"
              "    <ram:OccurrenceDateTime>\n"
              "      <udt:DateTimeString format=\"102\">20260227</udt:DateTimeString>\n"
              "    </ram:OccurrenceDateTime>\n"
              "  </ram:ActualDeliverySupplyChainEvent>\n"
              "</ram:ApplicableHeaderTradeDelivery>\n");
}

constexpr const char* kSellerAccount =
    "  <ram:PayeePartyCreditorFinancialAccount>\n"
    "    <ram:IBANID>DE02120300000000202051</ram:IBANID>\n"
    "    <ram:AccountName>Velkaro Muster GmbH</ram:AccountName>\n"
    "  </ram:PayeePartyCreditorFinancialAccount>\n"
    "  <ram:PayeeSpecifiedCreditorFinancialInstitution>\n"
    "    <ram:BICID>BYLADEM1001</ram:BICID>\n"
    "  </ram:PayeeSpecifiedCreditorFinancialInstitution>\n";

// Replaces the element `tag` (from its opening line to its closing line) in `xml`.
void ReplaceElement(std::string& xml, const std::string& tag, const std::string& replacement) {
    const size_t open = xml.rfind('\n', xml.find("<" + tag + ">")) + 1;
    const std::string close = "</" + tag + ">\n";
    const size_t end = xml.find(close, open) + close.size();
    xml.replace(open, end - open, replacement);
}

// A credit note is the invoice's document with type 381, the refund as payment
// instructions and, when it corrects an invoice, BT-25/BT-26 after the totals; amounts,
// signs, VAT breakdown and rounding are written exactly as for the invoice.
TEST_F(CiiDocumentTest, CreditNoteDiffersOnlyInTypeRefundAndReference) {
    const std::string invoiceXml = Build(test::DomesticInvoice());
    const std::string summationEnd = "</ram:SpecifiedTradeSettlementHeaderMonetarySummation>\n";
    const std::string reference =
        "      <ram:InvoiceReferencedDocument>\n"
        "        <ram:IssuerAssignedID>RE-2026-0815</ram:IssuerAssignedID>\n";
    const std::string dated = reference +
                              "        <ram:FormattedIssueDateTime>\n"
                              "          <qdt:DateTimeString format=\"102\">20261030</qdt:DateTimeString>\n"
                              "        </ram:FormattedIssueDateTime>\n";
    struct Case {
        const char* Name;
        TDocumentKind Kind;
        std::string Corrected;
        TDateTime Date;
        std::string Inserted;  // after the totals
    } cases[] = {
        {"referenced", bkCreditMemo, "RE-2026-0815", EncodeDate(2026, 10, 30),
         dated + "      </ram:InvoiceReferencedDocument>\n"},
        {"invoice date unknown", bkCreditMemo, "RE-2026-0815", 0, reference + "      </ram:InvoiceReferencedDocument>\n"},
        {"without reference", bkCreditMemo, "", EncodeDate(2026, 10, 30), ""},
        {"blank reference", bkCreditMemo, " \t", 0, ""},
        {"an invoice never refers", bkInvoice, "RE-2026-0815", EncodeDate(2026, 10, 30), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TInvoice inv = test::DomesticInvoice();
        inv.Kind = c.Kind;
        inv.CorrectedInvoiceNo = c.Corrected;
        inv.CorrectedInvoiceDate = c.Date;
        std::string expected = invoiceXml;
        if (c.Kind == bkCreditMemo) {
            const size_t type = expected.find("<ram:TypeCode>380</ram:TypeCode>");
            ASSERT_NE(type, std::string::npos);
            expected.replace(type, 32, "<ram:TypeCode>381</ram:TypeCode>");
            // The refund: no account to pay to, no discount, no due date.
            ReplaceElement(expected, "ram:SpecifiedTradeSettlementPaymentMeans",
                           "      <ram:SpecifiedTradeSettlementPaymentMeans>\n"
                           "        <ram:TypeCode>1</ram:TypeCode>\n"
                           "        <ram:Information>Erstattung oder Verrechnung mit offenen Posten</ram:Information>\n"
                           "      </ram:SpecifiedTradeSettlementPaymentMeans>\n");
            ReplaceElement(expected, "ram:SpecifiedTradePaymentTerms",
                           "      <ram:SpecifiedTradePaymentTerms>\n"
                           "        <ram:Description>Den Betrag von 53,09 EUR erstatten wir Ihnen oder verrechnen ihn "
                           "mit offenen Posten.</ram:Description>\n"
                           "      </ram:SpecifiedTradePaymentTerms>\n");
        }
        const size_t end = expected.find(summationEnd);
        ASSERT_NE(end, std::string::npos);
        expected.insert(end + summationEnd.size(), c.Inserted);
        EXPECT_EQ(Build(inv), expected);
    }
}

TEST_F(CiiDocumentTest, PaymentMeansByMethodCode) {
    struct Case {
        const char* code;
        bool sellerIban;
        const char* expected;
    } cases[] = {
        {"paypal", true, "68"}, {"BAR", true, "10"}, {"kk", false, "54"},
        {"UEB", true, "58"},    {"UEB", false, "1"},  {"", false, "1"},
    };
    for (const Case& c : cases) {
        TInvoice inv = test::SimpleInvoice("DE", 19);
        inv.PayMethodCode = c.code;
        inv.PayMethodText = "Zahlart <" + std::string(c.code) + ">";
        TSeller seller = test::FullSeller();
        if (!c.sellerIban) seller.IBAN.clear();
        std::string expected = std::string("<ram:SpecifiedTradeSettlementPaymentMeans>\n") +
                               "  <ram:TypeCode>" + c.expected + "</ram:TypeCode>\n" +
                               "  <ram:Information>Zahlart &lt;" + c.code + "&gt;</ram:Information>\n" +
                               (c.sellerIban ? kSellerAccount : "") +
                               "</ram:SpecifiedTradeSettlementPaymentMeans>\n";
        EXPECT_EQ(ElementText(Build(inv, seller), "ram:SpecifiedTradeSettlementPaymentMeans"), expected) << c.code;
    }
}

TEST_F(CiiDocumentTest, SellerAccountWithoutBicAndWithoutInformation) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    TSeller seller = test::FullSeller();
    seller.BIC.clear();
    seller.AccountHolder.clear();
    EXPECT_EQ(ElementText(Build(inv, seller), "ram:SpecifiedTradeSettlementPaymentMeans"),
              "<ram:SpecifiedTradeSettlementPaymentMeans>\n"
              "  <ram:TypeCode>58</ram:TypeCode>\n"
              "  <ram:PayeePartyCreditorFinancialAccount>\n"
              "    <ram:IBANID>DE02120300000000202051</ram:IBANID>\n"
              "  </ram:PayeePartyCreditorFinancialAccount>\n"
              "</ram:SpecifiedTradeSettlementPaymentMeans>\n");
}

TEST_F(CiiDocumentTest, DirectDebitWithMandateOnly) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.DirectDebit = true;
    inv.PayMethodText = "Lastschrift (wird nicht gezeigt)";
    inv.MandateID = "M-7";
    inv.BuyerIBAN = "DE89370400440532013000";
    inv.DueDate = 0;
    std::string xml = Build(inv);
    std::string settlement = ElementText(xml, "ram:ApplicableHeaderTradeSettlement");
    EXPECT_EQ(settlement.substr(0, settlement.find("<ram:ApplicableTradeTax>")),
              "<ram:ApplicableHeaderTradeSettlement>\n"
              "  <ram:CreditorReferenceID>DE98ZZZ09999999999</ram:CreditorReferenceID>\n"
              "  <ram:PaymentReference>RE-1</ram:PaymentReference>\n"
              "  <ram:InvoiceCurrencyCode>EUR</ram:InvoiceCurrencyCode>\n"
              "  <ram:SpecifiedTradeSettlementPaymentMeans>\n"
              "    <ram:TypeCode>59</ram:TypeCode>\n"
              "    <ram:Information>SEPA-Lastschrift</ram:Information>\n"
              "    <ram:PayerPartyDebtorFinancialAccount>\n"
              "      <ram:IBANID>DE89370400440532013000</ram:IBANID>\n"
              "    </ram:PayerPartyDebtorFinancialAccount>\n"
              "  </ram:SpecifiedTradeSettlementPaymentMeans>\n  ");
    EXPECT_EQ(ElementText(xml, "ram:SpecifiedTradePaymentTerms"),
              "<ram:SpecifiedTradePaymentTerms>\n"
              "  <ram:DirectDebitMandateID>M-7</ram:DirectDebitMandateID>\n"
              "</ram:SpecifiedTradePaymentTerms>\n");

    // Without direct debit neither creditor reference nor mandate appear.
    inv.DirectDebit = false;
    xml = Build(inv);
    EXPECT_EQ(CountElements(xml, "ram:CreditorReferenceID"), 0);
    EXPECT_EQ(CountElements(xml, "ram:SpecifiedTradePaymentTerms"), 0);
    EXPECT_EQ(CountElements(xml, "ram:PayerPartyDebtorFinancialAccount"), 0);
}

TEST_F(CiiDocumentTest, PaymentTermsWithCashDiscount) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.PayTermsText = "14 Tage netto";
    inv.PmtDiscPct = 2.5;
    inv.PmtDiscDate = EncodeDate(2026, 12, 1);
    EXPECT_EQ(ElementText(Build(inv), "ram:SpecifiedTradePaymentTerms"),
              "<ram:SpecifiedTradePaymentTerms>\n"
              "  <ram:Description>14 Tage netto - bei Zahlung bis 01.12.2026 2,5 % Skonto</ram:Description>\n"
              "  <ram:DueDateDateTime>\n"
              "    <udt:DateTimeString format=\"102\">20260316</udt:DateTimeString>\n"
              "  </ram:DueDateDateTime>\n"
              "</ram:SpecifiedTradePaymentTerms>\n");

    struct Case {
        const char* terms;
        double pct;
        TDateTime date;
        const char* separator;
        const char* expected;
    } cases[] = {
        {"14 Tage netto", 2, EncodeDate(2026, 12, 1), ",", "14 Tage netto - bei Zahlung bis 01.12.2026 2 % Skonto"},
        {"", 3, EncodeDate(2027, 1, 9), ",", "- bei Zahlung bis 09.01.2027 3 % Skonto"},
        {"netto", 1.255, EncodeDate(2027, 1, 9), ".", "netto - bei Zahlung bis 09.01.2027 1.26 % Skonto"},
        {"netto", 2, EncodeDate(1753, 1, 1), ",", "netto"},  // discount date not set
        {"netto", 0, EncodeDate(2027, 1, 9), ",", "netto"},
    };
    for (const Case& c : cases) {
        SetDecimalSeparatorOverride(c.separator);
        TInvoice t;
        t.PayTermsText = c.terms;
        t.PmtDiscPct = c.pct;
        t.PmtDiscDate = c.date;
        EXPECT_EQ(CiiPaymentTermsText(t), c.expected);
    }
}

TEST_F(CiiDocumentTest, NoPaymentTermsWithoutTextDueDateOrMandate) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.DueDate = EncodeDate(1753, 1, 1);
    EXPECT_EQ(CountElements(Build(inv), "ram:SpecifiedTradePaymentTerms"), 0);
}

TEST_F(CiiDocumentTest, TaxBreakdownPerCategory) {
    struct Case {
        const char* country;
        const char* buyerVatId;
        int calcType;
        const char* expected;
    } cases[] = {
        {"DE", "", 0,
         "  <ram:ExemptionReason>Steuerfreie Leistung</ram:ExemptionReason>\n"
         "  <ram:BasisAmount>100.00</ram:BasisAmount>\n"
         "  <ram:CategoryCode>E</ram:CategoryCode>\n"},
        {"AT", "ATU12345678", 0,
         "  <ram:ExemptionReason>Steuerfreie innergemeinschaftliche Lieferung</ram:ExemptionReason>\n"
         "  <ram:BasisAmount>100.00</ram:BasisAmount>\n"
         "  <ram:CategoryCode>K</ram:CategoryCode>\n"
         "  <ram:ExemptionReasonCode>VATEX-EU-IC</ram:ExemptionReasonCode>\n"},
        {"CH", "", 0,
         "  <ram:ExemptionReason>Steuerfreie Ausfuhrlieferung</ram:ExemptionReason>\n"
         "  <ram:BasisAmount>100.00</ram:BasisAmount>\n"
         "  <ram:CategoryCode>G</ram:CategoryCode>\n"
         "  <ram:ExemptionReasonCode>VATEX-EU-G</ram:ExemptionReasonCode>\n"},
        {"DE", "DE987654321", 1,
         "  <ram:ExemptionReason>Steuerschuldnerschaft des Leistungsempfängers (Reverse Charge)</ram:ExemptionReason>\n"
         "  <ram:BasisAmount>100.00</ram:BasisAmount>\n"
         "  <ram:CategoryCode>AE</ram:CategoryCode>\n"
         "  <ram:ExemptionReasonCode>VATEX-EU-AE</ram:ExemptionReasonCode>\n"},
    };
    for (const Case& c : cases) {
        TInvoice inv = test::SimpleInvoice(c.country, 0, c.buyerVatId);
        inv.Lines[0].VatCalcType = c.calcType;
        std::string xml = Build(inv);
        std::string header = ElementText(xml, "ram:ApplicableHeaderTradeSettlement");
        EXPECT_EQ(ElementText(header, "ram:ApplicableTradeTax"),
                  std::string("<ram:ApplicableTradeTax>\n"
                              "  <ram:CalculatedAmount>0.00</ram:CalculatedAmount>\n"
                              "  <ram:TypeCode>VAT</ram:TypeCode>\n") +
                      c.expected +
                      "  <ram:RateApplicablePercent>0.00</ram:RateApplicablePercent>\n"
                      "</ram:ApplicableTradeTax>\n")
            << c.country << c.calcType;
        // The line carries the same category.
        std::string lineTax = ElementText(ElementText(xml, "ram:SpecifiedLineTradeSettlement"), "ram:CategoryCode");
        EXPECT_EQ(lineTax, ElementText(ElementText(header, "ram:ApplicableTradeTax"), "ram:CategoryCode"));
    }
}

TEST_F(CiiDocumentTest, ExemptionReasonComesFromTheSettingsAndIsLeftOutWhenEmpty) {
    FRules.ExemptReasonE = "Befreit nach § 4 Nr. 11 UStG";
    std::string xml = Build(test::SimpleInvoice("DE", 0));
    EXPECT_EQ(ElementText(xml, "ram:ExemptionReason"),
              "<ram:ExemptionReason>Befreit nach § 4 Nr. 11 UStG</ram:ExemptionReason>\n");
    FRules.ExemptReasonE = "";
    EXPECT_EQ(CountElements(Build(test::SimpleInvoice("DE", 0)), "ram:ExemptionReason"), 0);
}

TEST_F(CiiDocumentTest, MonetarySummationWithoutRoundingAndCurrency) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.CurrencyCode = " chf ";
    std::string xml = Build(inv);
    EXPECT_EQ(ElementText(xml, "ram:InvoiceCurrencyCode"), "<ram:InvoiceCurrencyCode>CHF</ram:InvoiceCurrencyCode>\n");
    EXPECT_EQ(ElementText(xml, "ram:SpecifiedTradeSettlementHeaderMonetarySummation"),
              "<ram:SpecifiedTradeSettlementHeaderMonetarySummation>\n"
              "  <ram:LineTotalAmount>100.00</ram:LineTotalAmount>\n"
              "  <ram:TaxBasisTotalAmount>100.00</ram:TaxBasisTotalAmount>\n"
              "  <ram:TaxTotalAmount currencyID=\"CHF\">19.00</ram:TaxTotalAmount>\n"
              "  <ram:GrandTotalAmount>119.00</ram:GrandTotalAmount>\n"
              "  <ram:DuePayableAmount>119.00</ram:DuePayableAmount>\n"
              "</ram:SpecifiedTradeSettlementHeaderMonetarySummation>\n");
}

TEST_F(CiiDocumentTest, NegativeRoundingAmount) {
    TInvoice inv = test::SimpleInvoice("DE", 19);
    inv.Lines = {test::ItemLine(10, "A", "a", 1, "0.13", 19, "C62", "0.02"),
                 test::ItemLine(20, "B", "b", 1, "0.13", 19, "C62", "0.02")};
    EXPECT_EQ(ElementText(Build(inv), "ram:SpecifiedTradeSettlementHeaderMonetarySummation"),
              "<ram:SpecifiedTradeSettlementHeaderMonetarySummation>\n"
              "  <ram:LineTotalAmount>0.26</ram:LineTotalAmount>\n"
              "  <ram:TaxBasisTotalAmount>0.26</ram:TaxBasisTotalAmount>\n"
              "  <ram:TaxTotalAmount currencyID=\"EUR\">0.05</ram:TaxTotalAmount>\n"
              "  <ram:RoundingAmount>-0.01</ram:RoundingAmount>\n"
              "  <ram:GrandTotalAmount>0.31</ram:GrandTotalAmount>\n"
              "  <ram:DuePayableAmount>0.30</ram:DuePayableAmount>\n"
              "</ram:SpecifiedTradeSettlementHeaderMonetarySummation>\n");
}

TEST_F(CiiDocumentTest, EmptyInvoiceKeepsTheRequiredElements) {
    TInvoice inv;
    TSeller seller;
    std::string xml = Build(inv, seller);
    EXPECT_EQ(ReadExpected("empty.xml"), xml);
}

} // namespace
} // namespace velkaro
