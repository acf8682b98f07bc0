// Seller and invoice loading, field by field against the demo company, and the
// failure cases on small fixtures.
#include <gmock/gmock.h>

#include "nav_backend_fixture.h"

#include <filesystem>

#include "invoice/leitweg.h"
#include "platform/files.h"
#include "platform/error.h"

using namespace velkaro;
using namespace velkaro::test;

namespace {
Currency M(const char* text) { return Currency::Parse(text); }
const char* const kPlainIni = "[Datenbank]\nProvider=\nDatenbank=\n";

} // namespace

class NavLoad : public NavBackendTest {
protected:
    // The demo settings on a database of the test's own.
    void OpenDemoSettingsOn(const std::string& db) { Open(db, ReadTextFile(SourceDir() + "/demo/velkaro.ini")); }
};

TEST_P(NavLoad, SellerWithTheDemoSettingsLaidOver) {
    OpenDemo();
    TSeller s = FNav->LoadSeller("Muster GmbH");
    EXPECT_EQ(s.Addr.Name, "Muster GmbH");
    EXPECT_EQ(s.Addr.Name2, "Büro- und Gastronomiebedarf");
    EXPECT_EQ(s.Addr.Street, "Industriestraße 12") << "moved up from the second address line";
    EXPECT_EQ(s.Addr.Street2, "");
    EXPECT_EQ(s.Addr.PostCode, "70565");
    EXPECT_EQ(s.Addr.City, "Stuttgart");
    EXPECT_EQ(s.Addr.Country, "DE");
    EXPECT_EQ(s.Addr.Contact, "");
    EXPECT_EQ(s.VatID, "DE123456789");
    EXPECT_EQ(s.TaxNo, "99/123/45678");
    EXPECT_EQ(s.GLN, "4012345000009");
    EXPECT_EQ(s.Fax, "+49 711 123456-99");
    EXPECT_EQ(s.Phone, "+49 711 123456-12");
    EXPECT_EQ(s.Email, "rechnung@muster-gmbh.de");
    EXPECT_EQ(s.Web, "www.muster-gmbh.de");
    EXPECT_EQ(s.IBAN, "DE93600501010002034024");
    EXPECT_EQ(s.BIC, "SOLADEST600");
    EXPECT_EQ(s.BankName, "BW-Bank Stuttgart");
    EXPECT_EQ(s.AccountHolder, "Muster GmbH");
    EXPECT_EQ(s.CreditorID, "DE98ZZZ09999999999");
    EXPECT_EQ(s.ContactName, "Claudia Klein");
    EXPECT_EQ(s.Management, "Dr. Hans Muster, Petra Muster");
    EXPECT_EQ(s.CommercialRegister, "Amtsgericht Stuttgart HRB 765432");
}

TEST_P(NavLoad, SellerFromNavAloneAndDefaultCountry) {
    Open(DemoDbPath(), kPlainIni);
    TSeller s = FNav->LoadSeller("Muster GmbH");
    EXPECT_EQ(s.IBAN, "DE89370400440532013000") << "blanks removed";
    EXPECT_EQ(s.BIC, "COBADEFFXXX");
    EXPECT_EQ(s.BankName, "Commerzbank Stuttgart");
    EXPECT_EQ(s.Phone, "+49 711 123456-0");
    EXPECT_EQ(s.Email, "info@muster-gmbh.de");
    EXPECT_EQ(s.AccountHolder, "Muster GmbH");
    EXPECT_EQ(s.CreditorID, "");
    TSeller n = FNav->LoadSeller("Nordwind Handels GmbH");
    EXPECT_EQ(n.Addr.CountryNav, "");
    EXPECT_EQ(n.Addr.Country, "DE") << "empty NAV country: the default country";
    EXPECT_EQ(n.IBAN, "DE29100100100987654321");
}

TEST_P(NavLoad, DomesticInvoiceFieldByField) {
    OpenDemo();
    auto inv = FNav->LoadInvoice("Muster GmbH", "RE24-0001");
    EXPECT_EQ(inv->No, "RE24-0001");
    EXPECT_EQ(inv->CustomerNo, "D10000");
    EXPECT_EQ(inv->SellToCustomerNo, "D10000");
    EXPECT_EQ(inv->BillTo.Name, "Bäckerei Schmidt GmbH & Co. KG");
    EXPECT_EQ(inv->BillTo.Name2, "Filiale Schwabing");
    EXPECT_EQ(inv->BillTo.Street, "Hauptstraße 5");
    EXPECT_EQ(inv->BillTo.PostCode, "80331");
    EXPECT_EQ(inv->BillTo.City, "München");
    EXPECT_EQ(inv->BillTo.Contact, "Frau Schmidt");
    EXPECT_EQ(inv->BillTo.CountryNav, "DE");
    EXPECT_EQ(inv->BillTo.Country, "DE");
    EXPECT_EQ(inv->BillTo.CountryName, "Deutschland");
    EXPECT_EQ(inv->ShipToCode, "");
    EXPECT_EQ(inv->ShipTo.CountryName, "");
    EXPECT_DOUBLE_EQ(inv->PostingDate, EncodeDate(2024, 3, 4));
    EXPECT_DOUBLE_EQ(inv->DocumentDate, EncodeDate(2024, 3, 4));
    EXPECT_DOUBLE_EQ(inv->DueDate, EncodeDate(2024, 4, 3));
    EXPECT_DOUBLE_EQ(inv->ShipmentDate, EncodeDate(2024, 3, 1));
    EXPECT_DOUBLE_EQ(inv->OrderDate, EncodeDate(2024, 2, 26));
    EXPECT_DOUBLE_EQ(inv->PmtDiscDate, EncodeDate(2024, 3, 18));
    EXPECT_DOUBLE_EQ(inv->PmtDiscPct, 2);
    EXPECT_EQ(inv->YourReference, "Bestellung Filiale 3");
    EXPECT_EQ(inv->ExternalDocNo, "BS-2024-0815");
    EXPECT_EQ(inv->OrderNo, "AU24-0117");
    EXPECT_EQ(inv->PostingDescription, "Rechnung RE24-0001");
    EXPECT_EQ(inv->CurrencyCode, "EUR") << "local currency from the general ledger setup";
    EXPECT_FALSE(inv->PricesInclVat);
    EXPECT_FALSE(inv->EU3Party);
    EXPECT_EQ(inv->PayTermsCode, "14T2%");
    EXPECT_EQ(inv->PayTermsText, "14 Tage 2 % Skonto, 30 Tage netto");
    EXPECT_EQ(inv->PayMethodCode, "UEBERW");
    EXPECT_EQ(inv->PayMethodText, "Überweisung");
    EXPECT_EQ(inv->BuyerVatID, "DE811234567");
    EXPECT_EQ(inv->LeitwegID, "");
    EXPECT_EQ(inv->BuyerReference, "Bestellung Filiale 3");
    EXPECT_EQ(inv->CustomerEmail, "info@baeckerei-schmidt.de; rechnung@baeckerei-schmidt.de");
    EXPECT_EQ(inv->InvoiceEmail, "rechnung@baeckerei-schmidt.de; info@baeckerei-schmidt.de");
    EXPECT_EQ(inv->InvoiceEmailSource, "Debitor E-Mail");
    EXPECT_EQ(inv->BuyerEmail, "rechnung@baeckerei-schmidt.de");
    EXPECT_EQ(inv->BuyerGLN, "");
    EXPECT_FALSE(inv->DirectDebit);
    EXPECT_EQ(inv->BuyerIBAN, "") << "bank accounts only for direct debit";

    ASSERT_EQ(inv->Lines.size(), 7u);
    const TInvLine& text = inv->Lines[0];
    EXPECT_EQ(text.LineNo, 10000);
    EXPECT_EQ(text.LineType, 0);
    EXPECT_EQ(text.Description, "Lieferung gemäß Ihrer Bestellung vom 26.02.2024");
    EXPECT_TRUE(IsTextLine(text));
    const TInvLine& l = inv->Lines[1];
    EXPECT_EQ(l.LineNo, 20000);
    EXPECT_EQ(l.LineType, 2);
    EXPECT_EQ(l.ItemNo, "1000");
    EXPECT_EQ(l.Description, "Brotkorb Edelstahl rund");
    EXPECT_EQ(l.Description2, "Ø 28 cm");
    EXPECT_EQ(l.UnitCode, "STK");
    EXPECT_EQ(l.UnitText, "Stück");
    EXPECT_EQ(l.UnitIso, "H87");
    EXPECT_DOUBLE_EQ(l.Quantity, 12);
    EXPECT_DOUBLE_EQ(l.UnitPrice, 14.90);
    EXPECT_DOUBLE_EQ(l.VatPct, 19);
    EXPECT_EQ(l.LineAmount, M("178.80"));
    EXPECT_EQ(l.InvDiscAmount, M("5.36"));
    EXPECT_EQ(l.Amount, M("173.44"));
    EXPECT_EQ(l.AmountInclVat, M("206.39"));
    EXPECT_EQ(l.VatCalcType, 0);
    EXPECT_DOUBLE_EQ(inv->Lines[2].LineDiscPct, 10);
    EXPECT_EQ(inv->Lines[2].LineAmount, M("121.50"));
    EXPECT_EQ(inv->Lines[4].UnitText, "Karton");
    EXPECT_EQ(inv->Lines[4].UnitIso, "XCT") << "no code in the unit table: the settings' unit map";
    EXPECT_TRUE(IsTextLine(inv->Lines[6]));

    EXPECT_EQ(inv->LineTotal, M("713.72"));
    ASSERT_EQ(inv->VatGroups.size(), 2u);
    EXPECT_DOUBLE_EQ(inv->VatGroups[0].Rate, 19);
    EXPECT_DOUBLE_EQ(inv->VatGroups[1].Rate, 7);
    EXPECT_EQ(inv->DuePayable, M("812.68"));
}

TEST_P(NavLoad, PublicSectorLeitwegFromTheCustomerOrTheSellTo) {
    OpenDemo();
    auto own = FNav->LoadInvoice("Muster GmbH", "RE24-0002");
    EXPECT_EQ(own->LeitwegID, "05315000-KREIS01-55");
    EXPECT_EQ(own->BuyerReference, "05315000-KREIS01-55");
    EXPECT_EQ(own->InvoiceEmail, "rechnungseingang@musterkreis.de; kaemmerei@musterkreis.de");
    EXPECT_EQ(own->InvoiceEmailSource, "CMNM-Empfänger VK-RECHNUNG");
    EXPECT_EQ(own->BuyerEmail, "rechnungseingang@musterkreis.de");
    ASSERT_EQ(own->VatGroups.size(), 2u);
    EXPECT_EQ(own->VatGroups[1].Category, vcE) << "the exempt training";

    auto school = FNav->LoadInvoice("Muster GmbH", "RE24-0003");
    EXPECT_EQ(school->CustomerNo, "D20010");
    EXPECT_EQ(school->SellToCustomerNo, "D20000");
    EXPECT_EQ(school->LeitwegID, "05315000-KREIS01-55");
    EXPECT_EQ(school->BuyerReference, "05315000-KREIS01-55");
    EXPECT_EQ(school->InvoiceEmail, "sekretariat@kreisschule-musterkreis.de");
}

// The VAT rules are the settings' ones: with the Netherlands as home country the Dutch
// buyer is a domestic exempt case, not an intra-EU supply.
TEST_P(NavLoad, InvoiceCalculatedWithTheTaxRulesOfTheSettings) {
    Open(DemoDbPath(), std::string(kPlainIni) + "[Steuer]\nStandardLand=nl\nBefreiungsgrundE=Befreit nach Testregel\n");
    const TTaxRules rules = TaxRulesOf(*FSettings);
    EXPECT_EQ(rules.DefaultCountry, "nl");
    EXPECT_EQ(rules.ExemptReasonE, "Befreit nach Testregel");
    auto eu = FNav->LoadInvoice("Muster GmbH", "RE24-0004");
    ASSERT_EQ(eu->VatGroups.size(), 1u);
    EXPECT_EQ(eu->VatGroups[0].Category, vcE);
}

TEST_P(NavLoad, ForeignBuyers) {
    OpenDemo();
    auto eu = FNav->LoadInvoice("Muster GmbH", "RE24-0004");
    EXPECT_EQ(eu->BuyerVatID, "NL854712345B01");
    EXPECT_EQ(eu->BillTo.CountryName, "Niederlande");
    EXPECT_EQ(eu->ShipToCode, "ROTTERDAM");
    EXPECT_EQ(eu->ShipTo.Name, "Van der Berg Horeca B.V. Magazijn");
    EXPECT_EQ(eu->ShipTo.Street, "Waalhaven Oostzijde 85");
    EXPECT_EQ(eu->ShipTo.PostCode, "3087 BM");
    EXPECT_EQ(eu->ShipTo.City, "Rotterdam");
    EXPECT_EQ(eu->ShipTo.Contact, "Dhr. Jansen");
    EXPECT_EQ(eu->ShipTo.Country, "NL");
    EXPECT_EQ(eu->InvoiceEmailSource, "Dokumentlayouts (An E-Mail senden)");
    EXPECT_EQ(eu->BuyerEmail, "facturen@vanderberg.nl");
    EXPECT_EQ(eu->BuyerGLN, "8712345000004");
    ASSERT_EQ(eu->VatGroups.size(), 1u);
    EXPECT_EQ(eu->VatGroups[0].Category, vcK);

    auto rc = FNav->LoadInvoice("Muster GmbH", "RE24-0005");
    ASSERT_EQ(rc->VatGroups.size(), 1u);
    EXPECT_EQ(rc->VatGroups[0].Category, vcAE);
    EXPECT_EQ(rc->Lines[1].VatCalcType, 1);
    EXPECT_EQ(rc->Lines[1].VatClause, "REVERSE");
    EXPECT_DOUBLE_EQ(rc->Lines[2].Quantity, 18.5);

    auto ch = FNav->LoadInvoice("Muster GmbH", "RE24-0006");
    EXPECT_EQ(ch->CurrencyCode, "CHF");
    EXPECT_EQ(ch->BillTo.CountryName, "Schweiz");
    EXPECT_EQ(ch->VatGroups[0].Category, vcG);

    auto us = FNav->LoadInvoice("Muster GmbH", "RE24-0007");
    EXPECT_EQ(us->CurrencyCode, "USD");
    EXPECT_EQ(us->BillTo.CountryNav, "USA");
    EXPECT_EQ(us->BillTo.Country, "US");
    EXPECT_EQ(us->BillTo.CountryName, "Vereinigte Staaten von Amerika") << "looked up by the mapped code";
    EXPECT_EQ(us->BillTo.Street, "400 N Michigan Ave");
    EXPECT_EQ(us->BillTo.Street2, "Suite 1200");
    EXPECT_EQ(us->Lines[0].UnitText, "Paket");
    EXPECT_EQ(us->Lines[0].UnitIso, "XPK") << "from the demo settings' [Einheiten]";
}

TEST_P(NavLoad, DirectDebitTakesTheMandateAccount) {
    OpenDemo();
    auto inv = FNav->LoadInvoice("Muster GmbH", "RE24-0008");
    EXPECT_TRUE(inv->DirectDebit);
    EXPECT_EQ(inv->MandateID, "MANDAT-D70000-02");
    EXPECT_EQ(inv->BuyerIBAN, "DE61760501010012345678");
    EXPECT_EQ(inv->BuyerBIC, "SSKNDE77XXX");
    EXPECT_EQ(inv->PayMethodText, "SEPA-Lastschrift");
    EXPECT_EQ(inv->BillTo.Street, "Lindenallee 23");
}

TEST_P(NavLoad, DirectDebitWithoutMandateTakesTheLowestCodeWithIban) {
    std::string db = FFolder.File("dd.db");
    const std::string c = "\"DD$";
    ExecSqlite(db, NavSchemaSql("DD") + "INSERT INTO " + c + "Sales Invoice Header\" ([No_], [Bill-to Customer No_], "
                   "[Payment Method Code], [Direct Debit Mandate ID]) VALUES ('R1', 'K1', 'einzug', ''), "
                   "('R2', 'K1', 'EINZUG', 'M-UNBEKANNT');"
                   "INSERT INTO " + c + "Customer Bank Account\" ([Customer No_], [Code], [IBAN], [SWIFT Code]) VALUES "
                   "('K1', 'A', '', 'LEER'), ('K1', 'C', 'DE02 1203 0000 0000 2020 51', 'BIC-C'), "
                   "('K1', 'B', 'DE12 5001 0517 0648 4898 90', 'BIC-B'), ('K2', '0', 'DE00', 'X');");
    Open(db, kPlainIni);
    for (const char* no : {"R1", "R2"}) {
        auto inv = FNav->LoadInvoice("DD", no);
        EXPECT_TRUE(inv->DirectDebit) << no;
        EXPECT_EQ(inv->BuyerIBAN, "DE12500105170648489890") << no;
        EXPECT_EQ(inv->BuyerBIC, "BIC-B") << no;
    }
}

// The mandate's account and nothing else: an old account without IBAN leaves the debited
// account empty (the check names the account to mend) rather than taking another one.
// NAV's creditor identifier of its bank accounts wins over the settings'.
TEST_P(NavLoad, DirectDebitOfTheMandateAccountAndNavCreditorId) {
    std::string db = FFolder.File("dd2.db");
    const std::string c = "\"DD$";
    ExecSqlite(db, NavSchemaSql("DD") + "INSERT INTO " + c + "Sales Invoice Header\" ([No_], [Bill-to Customer No_], "
                   "[Payment Method Code], [Direct Debit Mandate ID]) VALUES ('R1', 'K1', 'EINZUG', 'M-ALT');"
                   "INSERT INTO " + c + "SEPA Direct Debit Mandate\" ([ID], [Customer No_], [Customer Bank Account Code]) "
                   "VALUES ('M-ALT', 'K1', 'ALT');"
                   "INSERT INTO " + c + "Customer Bank Account\" ([Customer No_], [Code], [IBAN]) VALUES "
                   "('K1', 'ALT', ''), ('K1', 'NEU', 'DE12 5001 0517 0648 4898 90');"
                   "INSERT INTO " + c + "Company Information\" ([Name]) VALUES ('DD');"
                   "CREATE TABLE " + c + "Bank Account\" ([No_] TEXT PRIMARY KEY, [Creditor No_] TEXT NOT NULL DEFAULT '');"
                   "INSERT INTO " + c + "Bank Account\" ([No_], [Creditor No_]) VALUES ('B1', ''), ('B2', 'DE11ZZZ00000000001');");
    Open(db, "[Datenbank]\nProvider=\nDatenbank=\n[Verkaeufer]\nGlaeubigerID=DE98ZZZ09999999999\n");
    auto inv = FNav->LoadInvoice("DD", "R1");
    EXPECT_EQ(inv->MandateAccountCode, "ALT");
    EXPECT_EQ(inv->BuyerIBAN, "");
    EXPECT_EQ(FNav->LoadSeller("DD").CreditorID, "DE11ZZZ00000000001");
}

TEST_P(NavLoad, PricesIncludingVatWithOneCentDifference) {
    OpenDemo();
    auto inv = FNav->LoadInvoice("Muster GmbH", "RE24-0009");
    EXPECT_TRUE(inv->PricesInclVat);
    EXPECT_EQ(inv->Lines[1].Description2, "Gravur „Vogel“");
    EXPECT_EQ(inv->Rounding, M("0.01"));
    EXPECT_EQ(inv->Warnings.size(), 1u);
    EXPECT_EQ(inv->DuePayable, M("39.87")) << "what NAV posted";
}

TEST_P(NavLoad, ReturnsChargesAndUnitsGivenAsText) {
    OpenDemo();
    auto inv = FNav->LoadInvoice("Muster GmbH", "RE24-0011");
    ASSERT_EQ(inv->Lines.size(), 4u);
    EXPECT_DOUBLE_EQ(inv->Lines[1].Quantity, -1);
    EXPECT_EQ(inv->Lines[1].Amount, M("-22.50"));
    EXPECT_DOUBLE_EQ(inv->Lines[2].Quantity, 0);
    EXPECT_EQ(inv->Lines[2].Amount, M("15.00"));
    EXPECT_FALSE(IsTextLine(inv->Lines[2]));
    EXPECT_EQ(inv->Lines[2].UnitIso, "C62");
    EXPECT_EQ(inv->Lines[3].UnitCode, "Stück");
    EXPECT_EQ(inv->Lines[3].UnitText, "Stück");
    EXPECT_EQ(inv->Lines[3].UnitIso, "H87") << "unit text looked up in the unit map";
    EXPECT_DOUBLE_EQ(inv->Lines[3].UnitPrice, 0.045);
    EXPECT_EQ(inv->LineTotal, M("60.00"));
}

TEST_P(NavLoad, LongInvoiceAndBlankDocumentDate) {
    OpenDemo();
    EXPECT_EQ(FNav->LoadInvoice("Muster GmbH", "RE24-0010")->Lines.size(), 62u);
    auto inv = FNav->LoadInvoice("Muster GmbH", "RE24-0012");
    EXPECT_DOUBLE_EQ(inv->DocumentDate, EncodeDate(2024, 3, 28)) << "blank 1753 date: the posting date";
    EXPECT_DOUBLE_EQ(inv->OrderDate, EncodeDate(1753, 1, 1)) << "other blank dates stay as read";
    EXPECT_EQ(inv->BillTo.Country, "DE");
    EXPECT_EQ(inv->BillTo.CountryName, "Deutschland");
    EXPECT_EQ(inv->InvoiceEmail, "");
    EXPECT_EQ(inv->InvoiceEmailSource, "");
    EXPECT_EQ(inv->BuyerEmail, "");
}

TEST_P(NavLoad, SecondCompanyWithoutOptionalTables) {
    OpenDemo();
    auto inv = FNav->LoadInvoice("Nordwind Handels GmbH", "NW-1003");
    EXPECT_EQ(inv->InvoiceEmail, "info@raeucherei-jensen.de");
    EXPECT_EQ(inv->InvoiceEmailSource, "Debitor E-Mail");
    EXPECT_EQ(inv->LineTotal, M("185.00"));
    EXPECT_EQ(inv->PayMethodText, "") << "no method code: no lookup";
}

TEST_P(NavLoad, Failures) {
    OpenDemo();
    EXPECT_EQ(ErrorOf([&] { FNav->LoadInvoice("Muster GmbH", "RE24-9999"); }), "Rechnung RE24-9999 nicht gefunden");
    for (const char* no : {"RE24-000%", "RE24-000_", "RE'24", "x' OR '1'='1"})
        EXPECT_EQ(ErrorOf([&] { FNav->LoadInvoice("Muster GmbH", no); }), "Rechnung " + std::string(no) + " nicht gefunden");
    const std::string unknown = "Den Mandanten „Gibt es nicht“ gibt es in der Datenbank nicht (keine Tabelle „Gibt es "
                                "nicht$…“).";
    EXPECT_EQ(ErrorOf([&] { FNav->LoadInvoice("Gibt es nicht", "RE24-0001"); }), unknown);
    EXPECT_EQ(ErrorOf([&] { FNav->LoadSeller("Gibt es nicht"); }), unknown);
}

// The demo's credit memos load into the invoice model: positive amounts as NAV stores
// them, the corrected invoice with its posting date when "Applies-to" names an invoice.
TEST_P(NavLoad, CreditMemosOfTheDemo) {
    OpenDemo();
    struct Case {
        const char* No;
        const char* Corrected;
        TDateTime CorrectedDate;
        const char* Currency;
        const char* Net;
        const char* Tax;
        size_t Groups;
        bool XRechnung;
    };
    const Case cases[] = {
        {"GS24-0001", "RE24-0013", EncodeDate(2024, 3, 31), "EUR", "92.00", "6.44", 1, false},  // in full
        {"GS24-0002", "RE24-0001", EncodeDate(2024, 3, 4), "EUR", "85.00", "9.52", 2, false},   // partial, 19 % and 7 %
        {"GS24-0003", "", 0, "EUR", "250.00", "47.50", 1, true},                               // no reference
        {"GS24-0004", "RE24-0006", EncodeDate(2024, 3, 14), "CHF", "85.80", "0.00", 1, false},  // foreign currency
        {"GS24-0005", "RE24-0014", EncodeDate(2024, 4, 2), "EUR", "95.00", "18.05", 1, true},   // Leitweg customer
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.No);
        auto inv = FNav->LoadInvoice("Muster GmbH", c.No, bkCreditMemo);
        EXPECT_EQ(inv->Kind, bkCreditMemo);
        EXPECT_EQ(inv->No, c.No);
        EXPECT_EQ(inv->CorrectedInvoiceNo, c.Corrected);
        EXPECT_DOUBLE_EQ(inv->CorrectedInvoiceDate, c.CorrectedDate);
        EXPECT_EQ(inv->InvCurrency(), c.Currency);
        EXPECT_EQ(inv->LineTotal, M(c.Net));
        EXPECT_EQ(inv->TaxTotal, M(c.Tax));
        EXPECT_EQ(inv->DuePayable, M(c.Net) + M(c.Tax));
        EXPECT_GT(inv->DuePayable, Currency()) << "amounts as the document shows them";
        EXPECT_EQ(inv->VatGroups.size(), c.Groups);
        EXPECT_EQ(inv->XRechnung, c.XRechnung);
        EXPECT_FALSE(IsNavDate(inv->DueDate)) << "NAV holds no due date";
        EXPECT_FALSE(inv->DirectDebit);
        EXPECT_TRUE(inv->Warnings.empty()) << inv->Warnings.front();
    }
    auto partial = FNav->LoadInvoice("Muster GmbH", "GS24-0002", bkCreditMemo);
    EXPECT_EQ(partial->BillTo.Name2, "Filiale Schwabing");
    EXPECT_EQ(partial->ExternalDocNo, "BS-2024-0815");
    EXPECT_EQ(partial->InvoiceEmail, "rechnung@baeckerei-schmidt.de; info@baeckerei-schmidt.de");
    ASSERT_EQ(partial->Lines.size(), 3u);
    EXPECT_TRUE(IsTextLine(partial->Lines[0]));
    EXPECT_EQ(partial->Lines[2].UnitIso, "KGM");
    EXPECT_EQ(partial->Lines[2].Quantity, 3.0);
    auto leitweg = FNav->LoadInvoice("Muster GmbH", "GS24-0005", bkCreditMemo);
    EXPECT_EQ(leitweg->BuyerReference, "05315000-KREIS01-55");
    EXPECT_EQ(leitweg->InvoiceEmailSource, "CMNM-Empfänger VK-RECHNUNG");
    // The same number as an invoice is another document.
    EXPECT_EQ(FNav->LoadInvoice("Muster GmbH", "RE24-0013")->Kind, bkInvoice);
}

TEST_P(NavLoad, CreditMemoFailuresAndReferences) {
    OpenDemo();
    EXPECT_EQ(ErrorOf([&] { FNav->LoadInvoice("Muster GmbH", "GS24-9999", bkCreditMemo); }),
              "Rechnungskorrektur GS24-9999 nicht gefunden");
    EXPECT_EQ(ErrorOf([&] { FNav->LoadInvoice("Muster GmbH", "RE24-0001", bkCreditMemo); }),
              "Rechnungskorrektur RE24-0001 nicht gefunden");
    EXPECT_EQ(ErrorOf([&] { FNav->LoadInvoice("Muster GmbH", "GS24-0001"); }), "Rechnung GS24-0001 nicht gefunden");
    // A company without the credit-memo tables has none, without a database error.
    EXPECT_EQ(ErrorOf([&] { FNav->LoadInvoice("Nordwind Handels GmbH", "NW-1001", bkCreditMemo); }),
              "Rechnungskorrektur NW-1001 nicht gefunden");

    // "Applies-to" a document other than an invoice is no reference; an invoice missing
    // from the posted headers keeps its number without a date.
    std::string db = FFolder.File("applies.db");
    ExecSqlite(db, NavSchemaSql("A") +
                       "INSERT INTO \"A$Sales Cr_Memo Header\" ([No_], [Applies-to Doc_ Type], [Applies-to Doc_ No_]) VALUES "
                       "('G1', 1, 'Z1'), ('G2', 2, ' R9 '), ('G3', 2, ''), ('G4', 0, 'R1');"
                       "INSERT INTO \"A$Sales Invoice Header\" ([No_], [Posting Date]) VALUES ('R1', '2024-01-02 00:00:00');");
    Open(db, kPlainIni);
    struct Case { const char* No; const char* Corrected; };
    for (const Case& c : {Case{"G1", ""}, Case{"G2", "R9"}, Case{"G3", ""}, Case{"G4", ""}}) {
        auto inv = FNav->LoadInvoice("A", c.No, bkCreditMemo);
        EXPECT_EQ(inv->CorrectedInvoiceNo, c.Corrected) << c.No;
        EXPECT_EQ(inv->CorrectedInvoiceDate, 0.0) << c.No;
    }
}

TEST_P(NavLoad, InvalidLeitwegIdInTheSettings) {
    Open(DemoDbPath(), std::string(kPlainIni) + "[Leitweg]\nD10000=0401100012345\n");
    std::string reason;
    ASSERT_FALSE(CheckLeitwegID("0401100012345", reason));
    EXPECT_EQ(ErrorOf([&] { FNav->LoadInvoice("Muster GmbH", "RE24-0001"); }),
              "Die Leitweg-ID „0401100012345“ für Debitor D10000 in der INI (Abschnitt [Leitweg]) ist ungültig: " +
                  reason + ".");
}

TEST_P(NavLoad, EmptyCompanyInformation) {
    std::string db = FFolder.File("nocompany.db");
    ExecSqlite(db, NavSchemaSql("Leer"));
    Open(db, kPlainIni);
    EXPECT_EQ(ErrorOf([&] { FNav->LoadSeller("Leer"); }), "Firmendaten (Company Information) fehlen für Mandant Leer");
}

TEST_P(NavLoad, NullInEveryColumnRead) {
    std::string db = FFolder.File("nulls.db");
    std::string sql = NavSchemaSql("N", true);
    for (const char* table : {"Sales Invoice Header", "Sales Invoice Line", "Company Information", "Customer",
                              "General Ledger Setup", "Unit of Measure", "CMNM Recipient", "Custom Report Selection",
                              "Contact", "Customer Bank Account"})
        sql += std::string("INSERT INTO \"N$") + table + "\" DEFAULT VALUES;";
    sql += "UPDATE \"N$Sales Invoice Header\" SET [No_] = 'R1', [Payment Method Code] = 'EINZUG';"
           "UPDATE \"N$Sales Invoice Line\" SET [Document No_] = 'R1';"
           "UPDATE \"N$Sales Invoice Header\" SET [Posting Date] = NULL;";
    ExecSqlite(db, sql);
    Open(db, kPlainIni);
    TSeller s = FNav->LoadSeller("N");
    EXPECT_EQ(s.Addr.Name, "");
    EXPECT_EQ(s.Addr.Country, "DE");
    auto inv = FNav->LoadInvoice("N", "R1");
    EXPECT_EQ(inv->CustomerNo, "");
    EXPECT_EQ(inv->PostingDate, 0.0);
    EXPECT_EQ(inv->DocumentDate, 0.0);
    EXPECT_EQ(inv->PmtDiscPct, 0.0);
    EXPECT_EQ(inv->CurrencyCode, "");
    EXPECT_EQ(inv->InvCurrency(), "EUR");
    EXPECT_TRUE(inv->DirectDebit);
    EXPECT_EQ(inv->BuyerIBAN, "");
    ASSERT_EQ(inv->Lines.size(), 1u);
    EXPECT_EQ(inv->Lines[0].LineNo, 0);
    EXPECT_EQ(inv->Lines[0].Amount, Currency());
    EXPECT_EQ(inv->Lines[0].UnitIso, "C62");
    EXPECT_TRUE(inv->VatGroups.empty());
    EXPECT_EQ(inv->DuePayable, Currency());
}

// Bytes that are not UTF-8 become U+FFFD, one per byte, and each field is named once
// in a warning; the line's fields name their line. Only the embedded backend hands the
// bytes over as stored; an ODBC driver converts them to its wide characters itself.
TEST_P(NavLoad, InvalidUtf8IsReplacedAndReported) {
    if (GetParam() != TBackendKind::Embedded) return;
    std::string db = FFolder.File("badbytes.db");
    ExecSqlite(db, NavSchemaSql("B") +
                       "INSERT INTO \"B$Sales Invoice Header\" ([No_], [Bill-to Name], [Bill-to City]) VALUES "
                       "('R1', CAST(X'4DFC6C6C6572' AS TEXT), 'Köln');"
                       "INSERT INTO \"B$Sales Invoice Line\" ([Document No_], [Line No_], [Type], [Description], "
                       "[Description 2]) VALUES ('R1', 10000, 2, CAST(X'5465696C20C3' AS TEXT), 'gut'),"
                       "('R1', 20000, 2, 'gut', CAST(X'FFFE' AS TEXT));");
    Open(db, kPlainIni);
    auto inv = FNav->LoadInvoice("B", "R1");
    EXPECT_EQ(inv->BillTo.Name, "M\uFFFDller");
    EXPECT_EQ(inv->BillTo.City, "Köln");
    ASSERT_EQ(inv->Lines.size(), 2u);
    EXPECT_EQ(inv->Lines[0].Description, "Teil \uFFFD");
    EXPECT_EQ(inv->Lines[1].Description2, "\uFFFD\uFFFD");
    EXPECT_THAT(inv->Warnings, ::testing::IsSupersetOf({
                                   "ungültige Zeichen in Bill-to Name ersetzt",
                                   "ungültige Zeichen in Description (Zeile 10000) ersetzt",
                                   "ungültige Zeichen in Description 2 (Zeile 20000) ersetzt",
                               }));
    size_t count = 0;
    for (const std::string& w : inv->Warnings) count += w.starts_with("ungültige Zeichen") ? 1 : 0;
    EXPECT_EQ(count, 3u);
}

TEST_P(NavLoad, InvoiceWithoutLines) {
    std::string db = FFolder.File("nolines.db");
    ExecSqlite(db, NavSchemaSql("L") + "INSERT INTO \"L$Sales Invoice Header\" ([No_]) VALUES ('R0');");
    Open(db, kPlainIni);
    auto inv = FNav->LoadInvoice("L", "R0");
    EXPECT_TRUE(inv->Lines.empty());
    EXPECT_EQ(inv->GrandTotal, Currency());
}

INSTANTIATE_TEST_SUITE_P(Backends, NavLoad, ::testing::Values(TBackendKind::Embedded, TBackendKind::Odbc), BackendName);

// What a company holds for every document (company information, payment terms,
// recipients) is read afresh by every load outside a run; within a run it is read once
// per company and kept until the run ends or another company is asked for. The
// documents themselves are always read afresh.
TEST_P(NavLoad, PerCompanyDataIsKeptWithinARunOnly) {
    const std::string copy = FFolder.File("runs.db");
    std::filesystem::copy_file(DemoDbPath(), copy);
    OpenDemoSettingsOn(copy);
    const std::string inUse = GetParam() == TBackendKind::Embedded ? FFolder.File("nav.db") : copy;
    int change = 0;
    // Each change gives the company, the terms of invoice RE24-0001 and its customer's
    // recipients new texts, and the invoice a new reference.
    const auto changeNav = [&] {
        ++change;
        const std::string n = std::to_string(change);
        ExecSqlite(inUse, "UPDATE \"Muster GmbH$Company Information\" SET [Name] = 'Muster " + n + "';"
                          "UPDATE \"Muster GmbH$Payment Terms\" SET [Description] = 'Skonto " + n + "' WHERE [Code] = '14T2%';"
                          "INSERT INTO \"Muster GmbH$CMNM Recipient\" ([Source Type], [Source Code], [Document Type], "
                          "[Line No_], [Recipient Type], [Custom Address]) VALUES (1, 'D10000', 'VK-RECHNUNG', " + n +
                          ", 0, 'r" + n + "@schmidt.de');"
                          "UPDATE \"Muster GmbH$Sales Invoice Header\" SET [Your Reference] = 'Ref " + n +
                          "' WHERE [No_] = 'RE24-0001';");
    };
    struct TSeen {
        std::string Company, Terms, Recipients, Reference;
        bool operator==(const TSeen&) const = default;
    };
    const auto seen = [&] {
        const TSeller seller = FNav->LoadSeller("Muster GmbH");
        const auto inv = FNav->LoadInvoice("Muster GmbH", "RE24-0001");
        return TSeen{seller.Addr.Name, inv->PayTermsText, inv->InvoiceEmail, inv->YourReference};
    };
    const TSeen original = seen();
    EXPECT_EQ(original.Terms, "14 Tage 2 % Skonto, 30 Tage netto");

    changeNav();
    const TSeen first{"Muster 1", "Skonto 1", "r1@schmidt.de", "Ref 1"};
    EXPECT_EQ(seen(), first) << "outside a run every load reads anew";
    {
        TNavData::TRun run(*FNav);
        EXPECT_EQ(seen(), first);
        changeNav();
        EXPECT_EQ(seen(), (TSeen{"Muster 1", "Skonto 1", "r1@schmidt.de", "Ref 2"}))
            << "within the run only the document is read anew";
        {
            TNavData::TRun nested(*FNav);
        }
        EXPECT_EQ(seen().Company, "Muster 1") << "the end of a nested run keeps the data";
        EXPECT_EQ(FNav->LoadInvoice("Nordwind Handels GmbH", "NW-1003")->InvoiceEmail, "info@raeucherei-jensen.de");
        EXPECT_EQ(seen(), (TSeen{"Muster 2", "Skonto 2", "r1@schmidt.de; r2@schmidt.de", "Ref 2"}))
            << "another company in between: the company's data is read again";
        changeNav();
        EXPECT_EQ(FNav->Search("Muster GmbH", "RE24-0001", EncodeDate(2024, 1, 1), EncodeDate(2024, 12, 31))
                      .at(0)
                      .InvoiceEmail,
                  "r1@schmidt.de; r2@schmidt.de")
            << "a search within the run uses the kept recipients";
        FNav->LoadRecipientMaps("Muster GmbH");
        EXPECT_EQ(seen().Recipients, "r1@schmidt.de; r2@schmidt.de; r3@schmidt.de") << "asked for explicitly";
        EXPECT_EQ(seen().Company, "Muster 2");
        FNav->Disconnect();
        EXPECT_EQ(seen().Company, "Muster 3") << "a new connection reads anew";
    }
    EXPECT_EQ(seen(), (TSeen{"Muster 3", "Skonto 3", "r1@schmidt.de; r2@schmidt.de; r3@schmidt.de", "Ref 3"}))
        << "after the run every load reads anew";
}
