#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "invoice/currency.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "support/test_support.h"

using namespace velkaro;

TEST(Currency, ParsesDecimalTextAndRoundsHalfAwayFromZero) {
    struct Case { const char* text; int64_t raw; };
    const Case cases[] = {
        {"0", 0}, {"12", 120000}, {"-1234.5", -12345000}, {"+.5", 5000},
        {"1.00005", 10001}, {"1.00004999", 10000}, {"-1.00005", -10001},
        {"123.45000000000000000000", 1234500}, {"0.99995", 10000},
    };
    for (const auto& c : cases) {
        auto v = Currency::TryParse(c.text);
        ASSERT_TRUE(v) << c.text;
        EXPECT_EQ(v->Raw(), c.raw) << c.text;
    }
    for (const char* bad : {"", "-", ".", "1,5", "1.2.3", "abc", "1e5", "99999999999999999999"})
        EXPECT_FALSE(Currency::TryParse(bad)) << bad;
    EXPECT_THROW(Currency::Parse("x"), Exception);
}

// Ties are judged on the number's decimal form, which must not depend on a decimal
// comma of the process locale (the desktop's toolkit sets the user's locale).
TEST(Currency, FromDoubleJudgesTiesAlikeInAGermanProcessLocale) {
    test::GermanLocale german;
    if (!german.Installed()) VELKARO_SKIP_UNLESS_CI() << "Gebietsschema de_DE.UTF-8 fehlt (scripts/install-deps.sh)";
    EXPECT_EQ(Currency::FromDouble(1.00005).Raw(), 10001);
    EXPECT_EQ(Currency::FromDouble(-2.50005).Raw(), -25001);
    EXPECT_EQ(Currency::FromDouble(0.00015).Raw(), 2);
}

TEST(Currency, FromDoubleRoundsAtFourDecimals) {
    EXPECT_EQ(Currency::FromDouble(0.1 + 0.2).Raw(), 3000);
    EXPECT_EQ(Currency::FromDouble(1.00005).Raw(), 10001);  // stored as 1.0000499999...
    EXPECT_EQ(Currency::FromDouble(-2.50005).Raw(), -25001);
    EXPECT_EQ(Currency::FromDouble(19.99).Raw(), 199900);
    EXPECT_EQ(Currency::FromDouble(1e12).Raw(), 10000000000000000LL);
    EXPECT_THROW(Currency::FromDouble(std::nan("")), Exception);
    EXPECT_THROW(Currency::FromDouble(1e300), Exception);
}

TEST(Currency, SumsAreExactAndTextIsPlain) {
    Currency sum;
    for (int i = 0; i < 1000; ++i) sum += Currency::Parse("0.01");
    EXPECT_EQ(sum, Currency::FromUnits(10));
    EXPECT_EQ(Currency::Parse("-1234.5").ToString(2), "-1234.50");
    EXPECT_EQ(Currency::Parse("0.005").ToString(2), "0.01");
    EXPECT_EQ(Currency::Parse("-0.004").ToString(2), "0.00");
    EXPECT_EQ(Currency::FromRaw(std::numeric_limits<int64_t>::min()).ToString(), "-922337203685477.5808");
}

