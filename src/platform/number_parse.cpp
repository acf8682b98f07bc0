#include "platform/number_parse.h"

#include <charconv>
#include <cmath>

#include "platform/text.h"

namespace velkaro {

std::optional<double> ParseDecimalPoint(std::string_view text, TDecimalSyntax syntax) {
    text = TrimView(text);
    const bool hasSign = !text.empty() && (text.front() == '-' || text.front() == '+');
    const std::string_view body = hasSign ? text.substr(1) : text;
    if (!body.empty() && (body.front() == '-' || body.front() == '+')) return std::nullopt;  // one sign only
    if (syntax == dsPointOnly) {
        // Only digits and at most one point, with at least one digit: no exponent, no
        // "inf"/"nan", no grouping, no comma.
        bool digit = false;
        int points = 0;
        for (char c : body) {
            if (c >= '0' && c <= '9')
                digit = true;
            else if (c == '.')
                ++points;
            else
                return std::nullopt;
        }
        if (!digit || points > 1) return std::nullopt;
    }
    // from_chars rejects a leading "+".
    const std::string_view number = (hasSign && text.front() == '+') ? body : text;
    double value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

} // namespace velkaro
