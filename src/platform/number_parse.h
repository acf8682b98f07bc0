#pragma once
// Numbers read from settings and database texts: always "." as decimal separator,
// whatever the user's locale.
#include <optional>
#include <string_view>

namespace velkaro {

enum TDecimalSyntax {
    dsPointOnly,    // digits with at most one point: what settings files hold
    dsWithExponent, // also "1.5e-05", as database drivers print small doubles
};

// The whole text (blank bytes around it ignored) as a finite number with an optional
// sign and "." as separator: "42.5", "-3", ".5", "+1.25". nullopt for anything else,
// among it "42,5", "nan", "inf", "1 000", "0x10", and "1e3" unless dsWithExponent.
std::optional<double> ParseDecimalPoint(std::string_view text, TDecimalSyntax syntax = dsPointOnly);

} // namespace velkaro
