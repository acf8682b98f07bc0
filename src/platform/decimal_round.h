#pragma once
// Decimal rounding of doubles as people read them: on the 15 significant digits of the
// value, halves away from zero, so that 1.0005 rounds to 1.001 and 0.125 to 0.13 although
// their binary values lie just below. The number forms of print and PDF build on it.
#include <string>

namespace velkaro {

struct TDecimalDigits {
    std::string Whole;    // without leading zeros; "0" when the value is below one
    std::string Fraction; // exactly the number of decimals asked for
};

// The digits of |value| (finite) rounded to `decimals` places (0 or more); the sign is
// the caller's.
TDecimalDigits RoundDecimalDigits(double value, int decimals);

} // namespace velkaro
