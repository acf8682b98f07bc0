#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#if !defined(_WIN32)
#include <locale.h>
#endif

#include "platform/number_format.h"
#include "support/test_support.h"

using namespace velkaro;

namespace {

bool LocaleInstalled(const char* name) {
#if defined(_WIN32)
    (void)name;
    return false;
#else
    locale_t loc = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr));
    if (loc == static_cast<locale_t>(nullptr)) return false;
    freelocale(loc);
    return true;
#endif
}

struct OverrideGuard {
    explicit OverrideGuard(const char* separator) { SetDecimalSeparatorOverride(separator); }
    ~OverrideGuard() { ResetDecimalSeparatorOverride(); }
};

} // namespace

TEST(NumberFormat, SeparatorOfNamedLocales) {
    EXPECT_EQ(LocaleDecimalSeparator("C"), ".");
    EXPECT_EQ(LocaleDecimalSeparator("C.UTF-8"), ".");
    EXPECT_EQ(LocaleDecimalSeparator("xx_NOWHERE.UTF-8"), ".");
    if (!LocaleInstalled("de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
    EXPECT_EQ(LocaleDecimalSeparator("de_DE.UTF-8"), ",");
}

TEST(NumberFormat, EnvironmentDecidesTheUserSeparator) {
    if (!LocaleInstalled("de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
    {
        test::ScopedEnv all("LC_ALL", "de_DE.UTF-8");
        EXPECT_EQ(LocaleDecimalSeparator(""), ",");
    }
    test::ScopedEnv all("LC_ALL", nullptr);
    test::ScopedEnv numeric("LC_NUMERIC", "C.UTF-8");
    test::ScopedEnv lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(LocaleDecimalSeparator(""), ".");  // LC_NUMERIC wins over LANG
}

TEST(NumberFormat, FormatsWithTheUserSeparator) {
    {
        OverrideGuard german(",");
        EXPECT_EQ(UserDecimalSeparator(), ",");
        struct Case { double value; int decimals; const char* text; };
        const Case cases[] = {
            {19, 2, "19,00"},   {7.5, 2, "7,50"},   {-0.04, 2, "-0,04"}, {0.005, 2, "0,01"},  // 0.005 lies above the half
            {1234567.891, 2, "1234567,89"},         {1e20, 2, "100000000000000000000,00"},
            {2.5, 0, "2"},      {0.1, 20, "0,100000000000000"},              // decimals capped at 15
        };
        for (const auto& c : cases) EXPECT_EQ(FormatUserFloat(c.value, c.decimals), c.text) << c.value;
        EXPECT_EQ(FormatUserFloat(std::nan(""), 2), "NAN");
        EXPECT_EQ(FormatUserFloat(std::numeric_limits<double>::infinity(), 2), "INF");
        EXPECT_EQ(FormatUserFloat(-std::numeric_limits<double>::infinity(), 2), "-INF");
        EXPECT_EQ(FormatUserFloat(std::numeric_limits<double>::max(), 2).size(), 312u);
        EXPECT_EQ(LocalizeDecimalPoint("-1234.50"), "-1234,50");
        EXPECT_EQ(LocalizeDecimalPoint("12"), "12");
    }
    OverrideGuard point(".");
    EXPECT_EQ(FormatUserFloat(19, 2), "19.00");
    EXPECT_EQ(LocalizeDecimalPoint("-0.04"), "-0.04");
}

TEST(NumberFormat, ResetReturnsToTheEnvironment) {
    const std::string fromEnvironment = UserDecimalSeparator();
    SetDecimalSeparatorOverride("#");
    EXPECT_EQ(FormatUserFloat(1, 1), "1#0");
    ResetDecimalSeparatorOverride();
    EXPECT_EQ(UserDecimalSeparator(), fromEnvironment);
}

TEST(NumberFormat, ThousandsSeparatorOfNamedLocales) {
    EXPECT_EQ(LocaleThousandsSeparator("C.UTF-8"), "");
    EXPECT_EQ(LocaleThousandsSeparator("xx_NOWHERE.UTF-8"), "");
    if (!LocaleInstalled("de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 not installed";
    EXPECT_EQ(LocaleThousandsSeparator("de_DE.UTF-8"), ".");
}

TEST(NumberFormat, GroupsWholeDigitsWithTheUserSeparators) {
    struct Case { const char* decimal; const char* thousands; const char* plain; const char* text; };
    const Case cases[] = {
        {",", ".", "1190.00", "1.190,00"},
        {",", ".", "-1234567.50", "-1.234.567,50"},
        {",", ".", "999.99", "999,99"},
        {",", ".", "100000.00", "100.000,00"},
        {",", ".", "-100.00", "-100,00"},  // no separator between sign and digits
        {",", ".", "0.00", "0,00"},
        {",", ".", "1234", "1.234"},
        {".", ",", "1234567.89", "1,234,567.89"},
        {".", "", "1234567.89", "1234567.89"},     // a locale without grouping
        {",", "\u00A0", "12345.00", "12\u00A0345,00"},  // separators of more than one byte
    };
    for (const Case& c : cases) {
        SetDecimalSeparatorOverride(c.decimal);
        SetThousandsSeparatorOverride(c.thousands);
        EXPECT_EQ(LocalizeGroupedDecimal(c.plain), c.text) << c.plain << " " << c.thousands;
    }
    ResetDecimalSeparatorOverride();
    ResetThousandsSeparatorOverride();
}

TEST(NumberFormat, ThousandsOverrideResetReturnsToTheEnvironment) {
    const std::string fromEnvironment = UserThousandsSeparator();
    SetThousandsSeparatorOverride("'");
    EXPECT_EQ(UserThousandsSeparator(), "'");
    ResetThousandsSeparatorOverride();
    EXPECT_EQ(UserThousandsSeparator(), fromEnvironment);
}
