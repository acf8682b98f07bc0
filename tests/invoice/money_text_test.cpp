#include "invoice/money_text.h"

#include <gtest/gtest.h>

#include "platform/number_format.h"

namespace velkaro {
namespace {

Currency Money(const char* text) { return Currency::Parse(text); }

TEST(MoneyText, GermanFormWithRoundingHalfAwayFromZero) {
    struct Case { const char* amount; const char* expected; };
    const Case cases[] = {
        {"0", "0,00"},
        {"1190", "1.190,00"},
        {"-0.01", "-0,01"},
        {"12345.5", "12.345,50"},
        {"100", "100,00"},
        {"999.99", "999,99"},
        {"1000000", "1.000.000,00"},
        {"-1234567.891", "-1.234.567,89"},
        {"0.005", "0,01"},
        {"-0.005", "-0,01"},
        {"999.995", "1.000,00"},
        {"-0.0049", "0,00"},  // rounds to zero: no minus sign
    };
    for (const auto& c : cases) EXPECT_EQ(FormatGermanMoney(Money(c.amount)), c.expected) << c.amount;
    EXPECT_EQ(FormatGermanMoney(Currency::FromRaw(INT64_MAX)), "922.337.203.685.477,58");
    EXPECT_EQ(FormatGermanMoney(Currency::FromRaw(INT64_MIN)), "-922.337.203.685.477,58");
}


TEST(MoneyText, UserFormsFollowTheUsersSeparatorsButRoundTheSame) {
    // The printed form stays German while the user's forms follow the locale.
    struct Case { const char* amount; const char* german; const char* user; const char* userGrouped; };
    const Case cases[] = {
        {"1190", "1.190,00", "1190.00", "1'190.00"},
        {"-1234567.891", "-1.234.567,89", "-1234567.89", "-1'234'567.89"},
        {"999.995", "1.000,00", "1000.00", "1'000.00"},
        {"-0.0049", "0,00", "0.00", "0.00"},
        {"12.5", "12,50", "12.50", "12.50"},
    };
    SetDecimalSeparatorOverride(".");
    SetThousandsSeparatorOverride("'");
    for (const auto& c : cases) {
        EXPECT_EQ(FormatGermanMoney(Money(c.amount)), c.german) << c.amount;
        EXPECT_EQ(FormatUserMoney(Money(c.amount)), c.user) << c.amount;
        EXPECT_EQ(FormatUserMoneyGrouped(Money(c.amount)), c.userGrouped) << c.amount;
    }
    ResetDecimalSeparatorOverride();
    ResetThousandsSeparatorOverride();
}

} // namespace
} // namespace velkaro
