#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "invoice/invoice.h"
#include "platform/datetime.h"

using namespace velkaro;

TEST(InvoiceModel, InvCurrencyIsTrimmedUpperCaseOrEur) {
    struct Case { const char* code; const char* expected; };
    const Case cases[] = {
        {"", "EUR"}, {"   ", "EUR"}, {"\t\r\n", "EUR"}, {" usd ", "USD"}, {"chf", "CHF"}, {"GBP", "GBP"},
    };
    for (const auto& c : cases) {
        TInvoice inv;
        inv.CurrencyCode = c.code;
        EXPECT_EQ(inv.InvCurrency(), c.expected) << "'" << c.code << "'";
    }
}

TEST(InvoiceModel, NewInvoiceIsEmpty) {
    TInvoice inv;
    EXPECT_TRUE(inv.Lines.empty());
    EXPECT_TRUE(inv.VatGroups.empty());
    EXPECT_TRUE(inv.Warnings.empty());
    EXPECT_TRUE(inv.DuePayable.IsZero());
    EXPECT_EQ(inv.PostingDate, 0);
    EXPECT_FALSE(inv.PricesInclVat);
}

TEST(InvoiceModel, NavDateIsSetOnlyAfterFirstJanuary1754) {
    const TDateTime day1754 = EncodeDate(1754, 1, 1);
    EXPECT_FALSE(IsNavDate(0));
    EXPECT_FALSE(IsNavDate(EncodeDate(1753, 1, 1)));
    EXPECT_FALSE(IsNavDate(day1754));
    EXPECT_TRUE(IsNavDate(day1754 + 0.5));  // a time on that day is already later
    EXPECT_TRUE(IsNavDate(EncodeDate(1754, 1, 2)));
    EXPECT_TRUE(IsNavDate(EncodeDate(2024, 2, 29)));
    EXPECT_FALSE(IsNavDate(std::numeric_limits<double>::quiet_NaN()));
}

TEST(InvoiceModel, TextLineRule) {
    struct Case { int type; double quantity; int64_t amountRaw; bool text; };
    const Case cases[] = {
        {0, 5, 0, true},          // type 0 is a text line whatever it carries
        {0, 1, 100000, true},
        {2, 0, 0, true},          // no quantity, no amount
        {2, 0, 50000, false},     // an amount without quantity is an item
        {2, 1, 0, false},         // a free item
        {2, -1, -100000, false},  // credit-like line
        {2, std::numeric_limits<double>::quiet_NaN(), 0, false},
    };
    for (const auto& c : cases) {
        TInvLine line;
        line.LineType = c.type;
        line.Quantity = c.quantity;
        line.Amount = Currency::FromRaw(c.amountRaw);
        EXPECT_EQ(IsTextLine(line), c.text) << c.type << " " << c.quantity << " " << c.amountRaw;
    }
}

TEST(InvoiceModel, LineTextJoinsTrimmedDescriptions) {
    struct Case { const char* d1; const char* d2; const char* expected; };
    const Case cases[] = {
        {"Schraube ", "", "Schraube"},
        {"Schraube", "M8 x 40", "Schraube M8 x 40"},
        {"Schraube  ", "  M8", "Schraube M8"},
        {"", "nur zweite Zeile", "nur zweite Zeile"},
        {"  ", " zweite ", "zweite"},
        {"", "", ""},
        {"Ä\xE2\x80\x8B", "  ", "Ä\xE2\x80\x8B"},  // a zero-width space is no blank
    };
    for (const auto& c : cases) {
        TInvLine line;
        line.Description = c.d1;
        line.Description2 = c.d2;
        EXPECT_EQ(LineText(line), c.expected) << "'" << c.d1 << "' '" << c.d2 << "'";
    }
}

TEST(InvoiceModel, NormalizeAddressMovesAdditionIntoEmptyStreet) {
    TAddress a;
    a.Street2 = "Hinterhaus";
    NormalizeAddress(a);
    EXPECT_EQ(a.Street, "Hinterhaus");
    EXPECT_EQ(a.Street2, "");

    TAddress b;
    b.Street = "Hauptstr. 1";
    b.Street2 = "Hinterhaus";
    NormalizeAddress(b);
    EXPECT_EQ(b.Street, "Hauptstr. 1");
    EXPECT_EQ(b.Street2, "Hinterhaus");

    TAddress c;
    NormalizeAddress(c);
    EXPECT_EQ(c.Street, "");
    EXPECT_EQ(c.Street2, "");
}
