#pragma once
// Money: a signed 64-bit integer holding the amount times 10,000. Sums and
// differences are exact; conversions round half away from zero at four decimals.
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkaro {

class Currency {
public:
    static constexpr int64_t kScale = 10000;

    constexpr Currency() = default;
    static constexpr Currency FromRaw(int64_t raw) { Currency c; c.FRaw = raw; return c; }
    static constexpr Currency FromUnits(int64_t units) { return FromRaw(units * kScale); }
    // Rounds to four decimals, half away from zero. Not finite or out of range: throws.
    static Currency FromDouble(double value);
    // Decimal text with "." ("-1234.56789", "+.5", "12"); rounds beyond four decimals
    // half away from zero. Returns nullopt for anything else, including overflow.
    static std::optional<Currency> TryParse(std::string_view text);
    // As TryParse, but throws velkaro::Exception with a German message.
    static Currency Parse(std::string_view text);

    constexpr int64_t Raw() const { return FRaw; }
    double ToDouble() const { return static_cast<double>(FRaw) / kScale; }
    // Plain decimal text with "." and exactly `decimals` places (0..4), rounded half
    // away from zero when fewer than four: "-1234.50".
    std::string ToString(int decimals = 4) const;

    constexpr Currency operator-() const { return FromRaw(-FRaw); }
    constexpr Currency operator+(Currency o) const { return FromRaw(FRaw + o.FRaw); }
    constexpr Currency operator-(Currency o) const { return FromRaw(FRaw - o.FRaw); }
    constexpr Currency& operator+=(Currency o) { FRaw += o.FRaw; return *this; }
    constexpr Currency& operator-=(Currency o) { FRaw -= o.FRaw; return *this; }
    constexpr auto operator<=>(const Currency&) const = default;
    constexpr bool IsZero() const { return FRaw == 0; }

private:
    int64_t FRaw = 0;
};

} // namespace velkaro
