#include "invoice/currency.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/error.h"

namespace velkaro {

Currency Currency::FromDouble(double value) {
    if (!std::isfinite(value)) throw Exception("Ungültiger Geldbetrag (keine Zahl).");
    // Scale in long double so that x.xxxx5 values close to a tie keep their digits.
    long double scaled = static_cast<long double>(value) * kScale;
    long double rounded = std::round(scaled); // half away from zero
    // A double like 0.00015 is stored as 0.000149999...; judge the tie on the
    // shortest decimal form (15 significant digits), as a reader of the number would.
    if (std::fabs(std::fabs(scaled - std::trunc(scaled)) - 0.5L) < 1e-6L) {
        char buf[64];
        // to_chars, unlike printf, writes a point whatever the process locale.
        const auto written = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
        if (auto parsed = TryParse(std::string_view(buf, written.ptr - buf))) return *parsed;
    }
    if (std::fabs(rounded) > static_cast<long double>(std::numeric_limits<int64_t>::max()))
        throw Exception("Geldbetrag außerhalb des darstellbaren Bereichs.");
    return FromRaw(static_cast<int64_t>(rounded));
}

std::optional<Currency> Currency::TryParse(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr int64_t kLimit = std::numeric_limits<int64_t>::max() / 10 - 10;
    int64_t raw = 0;
    int digits = 0, fraction = 0;
    bool point = false, roundUp = false;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c == '.' && !point) { point = true; continue; }
        if (c < '0' || c > '9') return std::nullopt;
        ++digits;
        if (point && fraction >= 4) {
            if (fraction == 4) roundUp = c >= '5';
            ++fraction;
            continue;
        }
        if (raw > kLimit) return std::nullopt;
        raw = raw * 10 + (c - '0');
        if (point) ++fraction;
    }
    if (digits == 0) return std::nullopt;
    for (int k = std::min(fraction, 4); k < 4; ++k) {
        if (raw > kLimit) return std::nullopt;
        raw *= 10;
    }
    if (roundUp) ++raw;
    return FromRaw(negative ? -raw : raw);
}

Currency Currency::Parse(std::string_view text) {
    if (auto c = TryParse(text)) return *c;
    throw Exception("Ungültiger Geldbetrag: \"" + std::string(text) + "\"");
}

std::string Currency::ToString(int decimals) const {
    if (decimals < 0) decimals = 0;
    if (decimals > 4) decimals = 4;
    int64_t divisor = 1;
    for (int k = decimals; k < 4; ++k) divisor *= 10;
    // Work on the magnitude as unsigned so that the most negative value is safe.
    uint64_t magnitude = FRaw < 0 ? static_cast<uint64_t>(-(FRaw + 1)) + 1 : static_cast<uint64_t>(FRaw);
    uint64_t scaled = magnitude / divisor + ((magnitude % divisor) * 2 >= static_cast<uint64_t>(divisor) && divisor > 1 ? 1 : 0);
    uint64_t unit = 1;
    for (int k = 0; k < decimals; ++k) unit *= 10;
    std::string r = std::to_string(scaled / unit);
    if (decimals > 0) {
        std::string frac = std::to_string(scaled % unit);
        r += '.' + std::string(static_cast<size_t>(decimals) - frac.size(), '0') + frac;
    }
    if (FRaw < 0 && scaled != 0) r.insert(r.begin(), '-');
    return r;
}

} // namespace velkaro
