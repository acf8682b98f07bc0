#include "layout/render_format.h"

#include <cmath>

#include "platform/decimal_round.h"
#include "platform/number_format.h"

namespace velkaro {

std::string FormatGermanNumber(double value, int minDecimals, int maxDecimals, bool grouping) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    TDecimalDigits digits = RoundDecimalDigits(value, maxDecimals);
    const std::string& whole = digits.Whole;
    std::string frac = digits.Fraction;
    while (frac.size() > static_cast<size_t>(minDecimals) && frac.back() == '0') frac.pop_back();

    std::string out = GroupDecimal(frac.empty() ? whole : whole + "." + frac, grouping ? "." : "", ",");
    // A value that rounds to zero carries no minus sign.
    bool zero = whole == "0" && frac.find_first_not_of('0') == std::string::npos;
    return (value < 0 && !zero ? "-" : "") + out;
}

std::string FormatQuantity(double quantity) { return FormatGermanNumber(quantity, 0, 3, true); }

std::string FormatPrice(double price) {
    double cents = price * 100;
    bool beyondCents = std::fabs(cents - std::trunc(cents)) > 0.0001;
    return FormatGermanNumber(price, 2, beyondCents ? 4 : 2, true);
}

std::string FormatPercent(double percent) { return FormatGermanNumber(percent, 0, 2, false); }

double FirstBaseline(double size, double top) { return top + size * 25.4 / 72 * 0.8; }

} // namespace velkaro
