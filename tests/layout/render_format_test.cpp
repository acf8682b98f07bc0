#include "layout/render_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/number_format.h"

namespace velkaro {
namespace {

struct NumberCase {
    double value;
    const char* expected;
};

TEST(RenderFormat, QuantityUpToThreeDecimalsWithGrouping) {
    const NumberCase cases[] = {
        {1, "1"},          {2.5, "2,5"},         {1234.125, "1.234,125"}, {0, "0"},
        {-1, "-1"},        {0.0005, "0,001"},    {0.0004, "0"},           {-0.0004, "0"},
        {1000000, "1.000.000"}, {999.9996, "1.000"}, {12.3456, "12,346"}, {6.5, "6,5"},
        {0.1 + 0.2, "0,3"},  // binary noise does not show
    };
    for (const NumberCase& c : cases) EXPECT_EQ(FormatQuantity(c.value), c.expected) << c.value;
}

TEST(RenderFormat, PriceShowsFourDecimalsOnlyBeyondTheCents) {
    const NumberCase cases[] = {
        {12.5, "12,50"},     {0.125, "0,125"},     {3.14159, "3,1416"},   {42.015, "42,015"},
        {14.9, "14,90"},     {1234.5, "1.234,50"}, {0, "0,00"},           {-22.5, "-22,50"},
        {0.045, "0,045"},    {19.99999, "20,00"},  {0.00005, "0,0001"},   {1190, "1.190,00"},
        {14.453333333333333, "14,4533"},
    };
    for (const NumberCase& c : cases) EXPECT_EQ(FormatPrice(c.value), c.expected) << c.value;
}

TEST(RenderFormat, PercentWithoutGroupingUpToTwoDecimals) {
    const NumberCase cases[] = {
        {19, "19"}, {5.5, "5,5"}, {7, "7"}, {0, "0"}, {2.25, "2,25"}, {1.005, "1,01"}, {1234, "1234"}, {-3, "-3"},
    };
    for (const NumberCase& c : cases) EXPECT_EQ(FormatPercent(c.value), c.expected) << c.value;
}

TEST(RenderFormat, IndependentOfTheUserDecimalSeparatorAndSafeForOddValues) {
    SetDecimalSeparatorOverride(".");
    EXPECT_EQ(FormatQuantity(1234.5), "1.234,5");
    EXPECT_EQ(FormatPrice(0.125), "0,125");
    ResetDecimalSeparatorOverride();
    EXPECT_EQ(FormatQuantity(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FormatPrice(-std::numeric_limits<double>::infinity()), "-INF");
    EXPECT_EQ(FormatQuantity(1e20), "100.000.000.000.000.000.000");
    EXPECT_EQ(FormatGermanNumber(1e-300, 0, 3, true), "0");
}

TEST(RenderFormat, FirstBaselineIsFourFifthsOfTheSizeBelowTheTop) {
    EXPECT_DOUBLE_EQ(FirstBaseline(10, 52), 52 + 10 * 25.4 / 72 * 0.8);
    EXPECT_DOUBLE_EQ(FirstBaseline(0, 7), 7);
}

} // namespace
} // namespace velkaro
