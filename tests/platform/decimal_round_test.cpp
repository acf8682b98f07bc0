#include <gtest/gtest.h>

#include "platform/decimal_round.h"

namespace velkaro {
namespace {

TEST(DecimalRound, RoundsOnFifteenSignificantDigitsHalvesAwayFromZero) {
    struct Case {
        double value;
        int decimals;
        const char* whole;
        const char* fraction;
    } cases[] = {
        {0, 2, "0", "00"},
        {-0.0, 0, "0", ""},
        {1.0005, 3, "1", "001"},      // binary value just below the half
        {0.125, 2, "0", "13"},
        {-12.345, 2, "12", "35"},     // the sign is the caller's
        {999.9999, 3, "1000", "000"}, // a carry through every digit adds one
        {0.9996, 3, "1", "000"},
        {0.0009, 3, "0", "001"},      // far below one: zeros before the first digit
        {0.0004, 3, "0", "000"},
        {0.00005, 4, "0", "0001"},
        {1e-300, 3, "0", "000"},
        {14.453333333333333, 4, "14", "4533"},
        {1234567.25, 1, "1234567", "3"},
        {1e20, 0, "100000000000000000000", ""},
        {2.5, 5, "2", "50000"},       // short values padded to the decimals asked for
    };
    for (const Case& c : cases) {
        TDecimalDigits d = RoundDecimalDigits(c.value, c.decimals);
        EXPECT_EQ(d.Whole, c.whole) << c.value << " / " << c.decimals;
        EXPECT_EQ(d.Fraction, c.fraction) << c.value << " / " << c.decimals;
    }
}

} // namespace
} // namespace velkaro
