#include "layout/render_format.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velkaro {

std::string FormatGermanNumber(double value, int minDecimals, int maxDecimals, bool grouping) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    // 15 significant digits as "d.dddddddddddddde+XX".
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    std::string digits;
    for (const char* p = buf; *p && *p != 'e'; ++p)
        if (*p != '.') digits += *p;
    int point = std::atoi(std::strchr(buf, 'e') + 1) + 1; // digits before the decimal point
    if (point < 0) {
        digits.insert(0, static_cast<size_t>(-point), '0');
        point = 0;
    }
    size_t keep = static_cast<size_t>(point + maxDecimals);
    if (digits.size() > keep) {
        bool up = digits[keep] >= '5';
        digits.resize(keep);
        for (size_t i = keep; up && i > 0; --i) {
            if (digits[i - 1] == '9') {
                digits[i - 1] = '0';
            } else {
                ++digits[i - 1];
                up = false;
            }
        }
        if (up) {
            digits.insert(0, 1, '1');
            ++point;
        }
    } else {
        digits.append(keep - digits.size(), '0');
    }
    std::string whole = digits.substr(0, static_cast<size_t>(point));
    std::string frac = digits.substr(static_cast<size_t>(point));
    size_t firstNonZero = whole.find_first_not_of('0');
    whole = firstNonZero == std::string::npos ? "0" : whole.substr(firstNonZero);
    while (frac.size() > static_cast<size_t>(minDecimals) && frac.back() == '0') frac.pop_back();

    std::string out;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (grouping && i > 0 && (whole.size() - i) % 3 == 0) out += '.';
        out += whole[i];
    }
    if (!frac.empty()) out += "," + frac;
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
