#include "invoice/placeholders.h"

#include <gtest/gtest.h>

#include <set>

#include "support/test_support.h"

namespace velkaro {
namespace {

Currency Money(const char* text) { return Currency::Parse(text); }

TEST(FormatDate, DayMonthYearOnlyForSetDates) {
    struct Case { TDateTime date; const char* expected; };
    const Case cases[] = {
        {EncodeDate(2026, 11, 24), "24.11.2026"},
        {EncodeDate(2026, 3, 5) + 0.75, "05.03.2026"},
        {EncodeDate(1754, 1, 2), "02.01.1754"},
        {EncodeDate(1754, 1, 1), ""},
        {EncodeDate(1753, 1, 1), ""},
        {0, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDate(c.date), c.expected) << c.date;
}

TEST(JoinNonEmpty, TrimsAndSkipsEmptyTexts) {
    EXPECT_EQ(JoinNonEmpty({" Lager Süd ", "", "  ", "Hafenweg 3", "12345 Musterstadt"}, ", "),
              "Lager Süd, Hafenweg 3, 12345 Musterstadt");
    EXPECT_EQ(JoinNonEmpty({"", " "}, ", "), "");
    EXPECT_EQ(JoinNonEmpty({}, ", "), "");
    EXPECT_EQ(JoinNonEmpty({"", "12345", "", "Ort"}, " "), "12345 Ort");
}

TEST(SplitCells, SplitsAtEveryBarAndKeepsEmptyCells) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCells("a|b||c"), (V{"a", "b", "", "c"}));
    EXPECT_EQ(SplitCells("Rechnungs-Nr.|{Nr}"), (V{"Rechnungs-Nr.", "{Nr}"}));
    EXPECT_EQ(SplitCells("|"), (V{"", ""}));
    EXPECT_EQ(SplitCells("ohne"), (V{"ohne"}));
    EXPECT_EQ(SplitCells(""), (V{""}));
}

TPlaceholderContext SmallContext() {
    TPlaceholderContext c = NewPlaceholderContext();
    c["Nr"] = "RG1";
    c["Datum"] = "";
    c["Telefon"] = "";
    c["K.Name2"] = "";
    c["Leer"] = " \t ";
    c["Verweis"] = "{Nr}";
    c["K.Name"] = "Müller & Söhne";
    return c;
}

TEST(ExpandPlaceholders, Table) {
    struct Case { const char* line; const char* text; bool allEmpty; };
    const Case cases[] = {
        {"{Nr}", "RG1", false},
        {"{nr}", "RG1", false},
        {"{NR}", "RG1", false},
        {"Rechnung {Nr} vom {Datum}", "Rechnung RG1 vom ", false},
        {"{K.Name2}", "", true},
        {"Tel. {Telefon}", "", true},
        {"x{Leer}y", "", true},
        {"{Datum}{Telefon}", "", true},
        {"{Unbekannt} {Datum}", "", true},
        {"{Unbekannt}", "{Unbekannt}", false},
        {"{ Nr}", "{ Nr}", false},
        {"{}", "{}", false},
        {"a { b", "a { b", false},
        {"a } b", "a } b", false},
        {"{", "{", false},
        {"}{Nr}{", "}RG1{", false},
        {"{a{Nr}", "{aRG1", false},
        {"{{Nr}}", "{RG1}", false},
        {"{{{", "{{{", false},
        {"{x}{Nr}{y}{{", "{x}RG1{y}{{", false},
        {"{Nr}-{K.Name}: {Nr}", "RG1-Müller & Söhne: RG1", false},
        {"{Verweis}", "{Nr}", false},
        {"ohne Platzhalter", "ohne Platzhalter", false},
        {"", "", false},
    };
    TPlaceholderContext ctx = SmallContext();
    for (const auto& c : cases) {
        TExpandedLine r = ExpandPlaceholders(c.line, ctx);
        EXPECT_EQ(r.Text, c.text) << c.line;
        EXPECT_EQ(r.AllEmpty, c.allEmpty) << c.line;
    }
}

// Lines of lone or unclosed braces cost time linear in their length: each "}" is looked
// for once, and a key is compared only as far as the context's keys go.
TEST(ExpandPlaceholders, PathologicalBracesTakeLinearTime) {
    const TPlaceholderContext ctx = SmallContext();
    std::string keysWithoutEnd;
    for (int k = 0; k < 5000; ++k) keysWithoutEnd += "{K.Name";
    struct Case { std::string line; std::string text; } cases[] = {
        {std::string(20000, '{'), std::string(20000, '{')},
        {std::string(20000, '{') + "Nr}", std::string(19999, '{') + "RG1"},
        {keysWithoutEnd + "}", keysWithoutEnd.substr(0, keysWithoutEnd.size() - 7) + "Müller & Söhne"},
        {std::string(20000, '}') + std::string(20000, '{'), std::string(20000, '}') + std::string(20000, '{')},
    };
    for (const Case& c : cases) {
        TExpandedLine r;
        EXPECT_LT(test::CpuSecondsOf([&] { r = ExpandPlaceholders(c.line, ctx); }), 1.0 * test::kCpuBoundFactor) << c.line.substr(0, 20);
        EXPECT_EQ(r.Text, c.text) << c.line.substr(0, 20);
    }
}

TEST(ExpandTextBlock, DropsAllEmptyLinesAndKeepsEmptyOnes) {
    using V = std::vector<std::string>;
    TPlaceholderContext ctx = SmallContext();
    struct Case { const char* text; V lines; };
    const Case cases[] = {
        {"{K.Name}\r\n{K.Name2}\r\nTel. {Telefon}\r\nNr. {Nr}", {"Müller & Söhne", "Nr. RG1"}},
        {"Absatz 1\n\nAbsatz 2", {"Absatz 1", "", "Absatz 2"}},
        {"Zeile\r\n", {"Zeile", ""}},
        {"{K.Name2}", {}},
        {"", {}},
        {"\r", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandTextBlock(c.text, ctx), c.lines) << c.text;
}

TEST(PlaceholderList, KeysInOrderWithGermanDescriptions) {
    const auto& list = PlaceholderList();
    ASSERT_EQ(list.size(), 57u);
    EXPECT_EQ(list.front().Key, "Nr");
    EXPECT_EQ(list.front().Description, "Rechnungsnummer");
    EXPECT_EQ(list[3].Key, "Faellig");
    EXPECT_EQ(list[3].Description, "Fälligkeitsdatum");
    EXPECT_EQ(list[16].Key, "Belegart");
    EXPECT_EQ(list[18].Key, "BezugDatum");
    EXPECT_EQ(list[19].Key, "Bezug");
    EXPECT_EQ(list[20].Key, "K.Name");
    EXPECT_EQ(list[32].Key, "L.Adresse");
    EXPECT_EQ(list[37].Key, "Firma");
    EXPECT_EQ(list[52].Description, "Eigene Firma: Gläubiger-ID");
    EXPECT_EQ(list.back().Key, "Seiten");
    std::set<std::string, CaseInsensitiveLess> keys;
    for (const auto& info : list) {
        EXPECT_TRUE(keys.insert(info.Key).second) << "doppelt: " << info.Key;
        EXPECT_FALSE(info.Description.empty()) << info.Key;
    }
    EXPECT_EQ(keys.count("Name"), 0u);
    EXPECT_EQ(keys.count("Land"), 0u);
}

TEST(SampleContext, EveryKeyPresentWithSampleValues) {
    TPlaceholderContext c = SampleContext(SampleSeller());
    for (const auto& info : PlaceholderList()) EXPECT_EQ(c.count(info.Key), 1u) << info.Key;
    EXPECT_EQ(c.size(), PlaceholderList().size() + 2);  // plus Name and Land
    struct Case { const char* key; const char* value; };
    const Case cases[] = {
        {"Nr", "RG100000"}, {"Datum", "24.11.2026"}, {"Brutto", "1.190,00"}, {"Referenz", ""},
        {"Name", "Musterkunde GmbH"}, {"K.Kontakt", "z. Hd. Frau Muster"}, {"Land", ""},
        {"Firma", "FIRMENNAME"}, {"Strasse", "Firmenstraße 1"}, {"IBAN", "DE00 0000 0000 0000 0000 00"},
        {"Kontoinhaber", ""}, {"Seite", "1"}, {"Seiten", "2"}, {"Belegart", "Rechnung"}, {"BezugRechnung", ""},
        {"BezugDatum", ""}, {"Bezug", ""},
    };
    for (const auto& k : cases) EXPECT_EQ(c[k.key], k.value) << k.key;
    EXPECT_NE(c["K.EMail"].find('@'), std::string::npos);
    EXPECT_NE(c["EMail"].find('@'), std::string::npos);
    EXPECT_FALSE(c["Web"].empty());

    TSeller real;
    real.Addr.Name = "Echte Firma AG";
    real.Addr.Country = "AT";
    TPlaceholderContext withReal = SampleContext(real);
    EXPECT_EQ(withReal["Firma"], "Echte Firma AG");
    EXPECT_EQ(withReal["Land"], "AT");
    EXPECT_EQ(withReal["Telefon"], "");
    EXPECT_EQ(withReal["Nr"], "RG100000");
}

class InvoiceContextTest : public ::testing::Test {
protected:
    TTaxRules Rules;
    TInvoice Inv;
    TSeller Seller;

    void SetUp() override {
        Rules.DefaultCountry = "DE";
        Inv.No = "RE-2026-17";
        Inv.CustomerNo = "K100";
        Inv.DocumentDate = EncodeDate(2026, 11, 24);
        Inv.PostingDate = EncodeDate(2026, 11, 23);
        Inv.ShipmentDate = EncodeDate(1753, 1, 1);
        Inv.DueDate = EncodeDate(2026, 12, 8);
        Inv.LineTotal = Money("1000");
        Inv.TaxTotal = Money("190");
        Inv.GrandTotal = Money("1190");
        Inv.DuePayable = Money("1190.01");
        Inv.CurrencyCode = " chf ";
        Inv.BillTo.Name = "Kunde GmbH";
        Inv.BillTo.Country = "de";
        Inv.BillTo.CountryName = "Deutschland";
        Inv.CustomerEmail = "Zentrale: <Info@Kunde.de>, buchhaltung@kunde.de";
        Inv.InvoiceEmail = "re@kunde.de; buchhaltung@kunde.de";
        Inv.ShipTo.Name = "Lager Süd";
        Inv.ShipTo.Street = "Hafenweg 3";
        Inv.ShipTo.PostCode = "12345";
        Inv.ShipTo.City = "Musterstadt";
        Seller.Addr.Name = "Velkaro Test GmbH";
        Seller.Addr.Country = "DE";
        Seller.Phone = "0711 1234";
    }
};

TEST_F(InvoiceContextTest, FillsEveryKeyFromInvoiceAndSeller) {
    TPlaceholderContext c = InvoiceContext(Inv, Seller, Rules);
    for (const auto& info : PlaceholderList()) EXPECT_EQ(c.count(info.Key), 1u) << info.Key;
    EXPECT_EQ(c.size(), PlaceholderList().size() + 2);
    struct Case { const char* key; const char* value; };
    const Case cases[] = {
        {"Nr", "RE-2026-17"}, {"Datum", "24.11.2026"}, {"Lieferdatum", "23.11.2026"}, {"Faellig", "08.12.2026"},
        {"Kunde", "K100"}, {"Netto", "1.000,00"}, {"Steuer", "190,00"}, {"Brutto", "1.190,00"},
        {"Betrag", "1.190,01"}, {"Waehrung", "CHF"}, {"Name", "Kunde GmbH"}, {"K.Name", "Kunde GmbH"},
        {"K.Land", "Deutschland"}, {"K.LandAusland", ""}, {"K.EMail", "Info@Kunde.de"},
        {"K.RechnungsEMail", "re@kunde.de; buchhaltung@kunde.de"}, {"Firma", "Velkaro Test GmbH"},
        {"Land", "DE"}, {"Telefon", "0711 1234"}, {"Fax", ""}, {"Seite", "1"}, {"Seiten", "1"},
        // No ship-to code: the ship-to address NAV holds is not printed.
        {"L.Adresse", ""}, {"L.Name", ""}, {"L.Strasse", ""}, {"L.PLZ", ""}, {"L.Ort", ""},
        {"Belegart", "Rechnung"}, {"BezugRechnung", ""}, {"BezugDatum", ""}, {"Bezug", ""},
    };
    for (const auto& k : cases) EXPECT_EQ(c[k.key], k.value) << k.key;
}

// The kind and the corrected invoice: the texts of one layout serve both kinds, and a
// line about the reference disappears where there is none.
TEST_F(InvoiceContextTest, DocumentKindAndReference) {
    struct Case {
        const char* Name;
        TDocumentKind Kind;
        const char* Corrected;
        TDateTime Date;
        const char* Belegart;
        const char* BezugDatum;
        std::vector<std::string> Title;
    } cases[] = {
        {"invoice", bkInvoice, "", 0, "Rechnung", "", {"Rechnung RE-2026-17"}},
        {"credit memo with reference", bkCreditMemo, "RE-2026-9", EncodeDate(2026, 10, 2), "Rechnungskorrektur",
         "02.10.2026", {"Rechnungskorrektur RE-2026-17", "zu Rechnung RE-2026-9 vom 02.10.2026"}},
        {"credit memo without reference", bkCreditMemo, "", EncodeDate(2026, 10, 2), "Rechnungskorrektur", "",
         {"Rechnungskorrektur RE-2026-17"}},
        {"reference with blank NAV date", bkCreditMemo, "RE-1", EncodeDate(1753, 1, 1), "Rechnungskorrektur", "",
         {"Rechnungskorrektur RE-2026-17", "zu Rechnung RE-1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Inv.Kind = c.Kind;
        Inv.CorrectedInvoiceNo = c.Corrected;
        Inv.CorrectedInvoiceDate = c.Date;
        TPlaceholderContext ctx = InvoiceContext(Inv, Seller, Rules);
        EXPECT_EQ(ctx["Belegart"], c.Belegart);
        EXPECT_EQ(ctx["BezugRechnung"], c.Corrected);
        EXPECT_EQ(ctx["BezugDatum"], c.BezugDatum);
        EXPECT_EQ(ExpandTextBlock("{Belegart} {Nr}\r\n{Bezug}", ctx), c.Title);
    }
}

TEST_F(InvoiceContextTest, ShipmentDateWinsWhenSet) {
    Inv.ShipmentDate = EncodeDate(2026, 11, 20);
    EXPECT_EQ(InvoiceContext(Inv, Seller, Rules)["Lieferdatum"], "20.11.2026");
    Inv.ShipmentDate = 0;
    Inv.PostingDate = 0;
    EXPECT_EQ(InvoiceContext(Inv, Seller, Rules)["Lieferdatum"], "");
}

// The delivery address shown is the one the XML names as ship-to party.
TEST_F(InvoiceContextTest, ShipToAddressAsTheXmlNamesIt) {
    Inv.ShipToCode = "SUED";
    TPlaceholderContext c = InvoiceContext(Inv, Seller, Rules);
    EXPECT_EQ(c["L.Adresse"], "Lager Süd, Hafenweg 3, 12345 Musterstadt");
    EXPECT_EQ(c["L.Name"], "Lager Süd");
    EXPECT_EQ(c["L.Ort"], "Musterstadt");
    Inv.ShipTo.Street = "";
    Inv.ShipTo.PostCode = "";
    EXPECT_EQ(InvoiceContext(Inv, Seller, Rules)["L.Adresse"], "Lager Süd, Musterstadt");
    // A blank ship-to name: the customer's name at the ship-to address.
    Inv.ShipTo.Name = "";
    Inv.ShipTo.Street = "Baustelle Lützner Str. 90";
    EXPECT_EQ(InvoiceContext(Inv, Seller, Rules)["L.Adresse"], "Kunde GmbH, Baustelle Lützner Str. 90, Musterstadt");
    EXPECT_EQ(Inv.DeliveryAddress().Name, "Kunde GmbH");
    EXPECT_EQ(Inv.DeliveryAddress().Street, "Baustelle Lützner Str. 90");
    // NAV's copy of the bill-to address without a code is no other delivery address.
    Inv.ShipToCode = "";
    Inv.ShipTo = Inv.BillTo;
    EXPECT_FALSE(Inv.HasOtherDeliveryAddress());
    EXPECT_EQ(InvoiceContext(Inv, Seller, Rules)["L.Adresse"], "");
}

TEST_F(InvoiceContextTest, CountryAbroadAndFallbacks) {
    Inv.BillTo.Country = "AT";
    Inv.BillTo.CountryName = "";
    Inv.CustomerEmail = "keine Adresse";
    TPlaceholderContext c = InvoiceContext(Inv, Seller, Rules);
    EXPECT_EQ(c["K.Land"], "AT");
    EXPECT_EQ(c["K.LandAusland"], "AT");
    EXPECT_EQ(c["K.EMail"], "");
    Inv.BillTo.CountryName = "Österreich";
    EXPECT_EQ(InvoiceContext(Inv, Seller, Rules)["K.LandAusland"], "Österreich");
    Inv.CurrencyCode = "";
    EXPECT_EQ(InvoiceContext(Inv, Seller, Rules)["Waehrung"], "EUR");
}

TEST_F(InvoiceContextTest, AddressBlockLosesExactlyTheEmptyLines) {
    Inv.BillTo.Contact = "z. Hd. Herrn Beispiel";
    Inv.BillTo.Street = "Hauptstr. 1";
    Inv.BillTo.PostCode = "70173";
    Inv.BillTo.City = "Stuttgart";
    TPlaceholderContext c = InvoiceContext(Inv, Seller, Rules);
    EXPECT_EQ(ExpandTextBlock("{K.Name}\n{K.Name2}\n{K.Kontakt}\n{K.Strasse}\n{K.Strasse2}\n{K.PLZ} {K.Ort}\n"
                              "{K.LandAusland}\nIhre USt-IdNr.: {K.UStId}",
                              c),
              (std::vector<std::string>{"Kunde GmbH", "z. Hd. Herrn Beispiel", "Hauptstr. 1", "70173 Stuttgart"}));
}

} // namespace
} // namespace velkaro
