// Amounts and sentences of the printed invoice that follow from the data alone.
#include <gtest/gtest.h>

#include "invoice/vat.h"
#include "layout/renderer.h"
#include "render_fixtures.h"

namespace velkaro {
namespace {

Currency Money(const char* text) { return Currency::Parse(text); }

TEST(ShownUnitPrice, PostedPriceUnlessItWouldNotMultiplyToTheAmount) {
    struct Case {
        const char* name;
        double quantity, unitPrice;
        const char* amount;
        const char* invDisc;
        bool inclVat;
        double expected;
    } cases[] = {
        {"plain", 2, 100, "180", "0", false, 100},
        {"prices with VAT", 2, 50, "84.03", "0", true, 42.015},
        {"invoice discount share", 12, 14.9, "173.44", "5.36", false, 173.44 / 12},
        {"quantity 0", 0, 0, "15", "0", false, 15},
        {"quantity 0 with VAT", 0, 10, "15", "0", true, 15},
        {"credit line", -1, 22.5, "-22.5", "0", false, 22.5},
    };
    for (const auto& c : cases) {
        TInvLine l;
        l.Quantity = c.quantity;
        l.UnitPrice = c.unitPrice;
        l.Amount = Money(c.amount);
        l.InvDiscAmount = Money(c.invDisc);
        EXPECT_DOUBLE_EQ(ShownUnitPrice(l, c.inclVat), c.expected) << c.name;
    }
}

TEST(LineDiscountAmount, GrossLessNetRoundedToFourDecimalsHalvesToEven) {
    struct Case {
        double quantity, unitPrice;
        const char* amount;
        const char* expected;
    } cases[] = {
        {2, 100, "180", "20"},
        {5, 6.15, "27.68", "3.07"},
        {1, 0.03125, "0", "0.0312"},  // 312.5 of the last place: to even (312)
        {1, 0.09375, "0", "0.0938"},  // 937.5 of the last place: to even (938)
        {-1, 10, "-9", "-1"},
    };
    for (const auto& c : cases) {
        TInvLine l;
        l.Quantity = c.quantity;
        l.UnitPrice = c.unitPrice;
        l.Amount = Money(c.amount);
        EXPECT_EQ(LineDiscountAmount(l), Money(c.expected)) << c.unitPrice << " x " << c.quantity;
    }
}

TEST(PaymentSentence, TermsDirectDebitTransferAndCashDiscount) {
    struct Case {
        const char* name;
        void (*setup)(TInvoice&, TSeller&);
        const char* expected;
    } cases[] = {
        {"direct debit with mandate and IBAN",
         [](TInvoice& i, TSeller&) {
             i.DirectDebit = true;
             i.MandateID = "ABC";
             i.BuyerIBAN = "DE89370400440532013000";
         },
         "Der Rechnungsbetrag wird per SEPA-Lastschrift (Mandatsreferenz ABC) von Ihrem Konto DE89 **** 3000 "
         "eingezogen."},
        {"direct debit with terms and creditor id, no mandate, no IBAN",
         [](TInvoice& i, TSeller& s) {
             i.DirectDebit = true;
             i.PayTermsText = "Einzug 10 Tage";
             i.DueDate = EncodeDate(2026, 12, 4);  // not mentioned: the amount is collected
             s.CreditorID = "DE98ZZZ09999999999";
         },
         "Zahlungsbedingungen: Einzug 10 Tage. Der Rechnungsbetrag wird per SEPA-Lastschrift von Ihrem Konto "
         "eingezogen. Gläubiger-ID: DE98ZZZ09999999999."},
        {"transfer with due date",
         [](TInvoice& i, TSeller&) {
             i.PayTermsText = "14 Tage netto";
             i.DueDate = EncodeDate(2026, 12, 8);
         },
         "Zahlungsbedingungen: 14 Tage netto. Bitte überweisen Sie den Betrag bis zum 08.12.2026 unter Angabe der "
         "Rechnungsnummer 1001."},
        {"no terms, no due date", [](TInvoice&, TSeller&) {}, ""},
        {"blank due date of NAV", [](TInvoice& i, TSeller&) { i.DueDate = EncodeDate(1753, 1, 1); }, ""},
        {"cash discount alone",
         [](TInvoice& i, TSeller&) {
             i.DuePayable = Money("1190");
             i.PmtDiscPct = 2;
             i.PmtDiscDate = EncodeDate(2026, 12, 1);
             i.CurrencyCode = "chf";
         },
         "Bei Zahlung bis 01.12.2026 gewähren wir 2 % Skonto (23,80 CHF)."},
        {"cash discount half cent to even (down)",
         [](TInvoice& i, TSeller&) {
             i.DuePayable = Money("100.25");
             i.PmtDiscPct = 2;
             i.PmtDiscDate = EncodeDate(2026, 12, 1);
         },
         "Bei Zahlung bis 01.12.2026 gewähren wir 2 % Skonto (2,00 EUR)."},
        {"cash discount half cent to even (up), after the transfer sentence",
         [](TInvoice& i, TSeller&) {
             i.DuePayable = Money("100.75");
             i.PmtDiscPct = 2;
             i.PmtDiscDate = EncodeDate(2026, 12, 1);
             i.DueDate = EncodeDate(2026, 12, 8);
         },
         "Bitte überweisen Sie den Betrag bis zum 08.12.2026 unter Angabe der Rechnungsnummer 1001. Bei Zahlung "
         "bis 01.12.2026 gewähren wir 2 % Skonto (2,02 EUR)."},
        {"cash discount without date is left out",
         [](TInvoice& i, TSeller&) {
             i.DuePayable = Money("100");
             i.PmtDiscPct = 2.5;
         },
         ""},
        // A credit memo asks for nothing: no terms, transfer, discount or collection.
        {"credit memo with terms, due date and discount",
         [](TInvoice& i, TSeller&) {
             i.Kind = bkCreditMemo;
             i.DuePayable = Money("1234.5");
             i.PayTermsText = "14 Tage netto";
             i.DueDate = EncodeDate(2026, 12, 8);
             i.PmtDiscPct = 2;
             i.PmtDiscDate = EncodeDate(2026, 12, 1);
         },
         "Den Betrag von 1.234,50 EUR erstatten wir Ihnen oder verrechnen ihn mit offenen Posten."},
        {"credit memo of a direct-debit customer in francs",
         [](TInvoice& i, TSeller& s) {
             i.Kind = bkCreditMemo;
             i.DuePayable = Money("85.8");
             i.CurrencyCode = "chf";
             i.DirectDebit = true;
             i.MandateID = "ABC";
             s.CreditorID = "DE98ZZZ09999999999";
         },
         "Den Betrag von 85,80 CHF erstatten wir Ihnen oder verrechnen ihn mit offenen Posten."},
    };
    for (const auto& c : cases) {
        TInvoice inv;
        inv.No = "1001";
        TSeller seller;
        c.setup(inv, seller);
        EXPECT_EQ(PaymentSentence(inv, seller), c.expected) << c.name;
    }
}

TEST(DocumentTexts, NoteAndTotalNameTheKind) {
    EXPECT_EQ(ZugferdNote(bkInvoice),
              "Diese Rechnung enthält die strukturierten Rechnungsdaten nach ZUGFeRD 2 / Factur-X (Profil EN 16931) "
              "als eingebettete XML-Datei.");
    EXPECT_EQ(ZugferdNote(bkCreditMemo).rfind("Diese Rechnungskorrektur enthält die strukturierten Rechnungsdaten", 0), 0u);
    EXPECT_EQ(GrandTotalLabel(bkInvoice), "Rechnungsbetrag");
    EXPECT_EQ(GrandTotalLabel(bkCreditMemo), "Korrekturbetrag");
}

TEST(ExemptionNotes, OnePerGroupOutsideStandardRateWithBuyerVatIdForAeAndK) {
    const TTaxRules rules{.DefaultCountry = "DE", .ExemptReasonE = "Steuerfrei nach § 4 Nr. 21 UStG"};
    TInvoice inv;
    inv.BuyerVatID = "DE298765432";
    inv.VatGroups = {{vcS, 19, {}, {}}, {vcAE, 0, {}, {}}, {vcE, 0, {}, {}}, {vcK, 0, {}, {}}, {vcG, 0, {}, {}}};
    std::vector<std::string> expected = {
        "Steuerschuldnerschaft des Leistungsempfängers (Reverse Charge) – USt-IdNr. Leistungsempfänger: DE298765432",
        "Steuerfrei nach § 4 Nr. 21 UStG",
        "Steuerfreie innergemeinschaftliche Lieferung – USt-IdNr. Leistungsempfänger: DE298765432",
        "Steuerfreie Ausfuhrlieferung",
    };
    EXPECT_EQ(ExemptionNotes(inv, rules), expected);
}

} // namespace
} // namespace velkaro
