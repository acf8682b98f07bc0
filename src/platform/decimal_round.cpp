#include "platform/decimal_round.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace velkaro {

TDecimalDigits RoundDecimalDigits(double value, int decimals) {
    // 15 significant digits as "d.dddddddddddddde+XX"; to_chars ignores the process
    // locale, which a window toolkit may have set to one with a decimal comma.
    char buf[40];
    const auto written = std::to_chars(buf, buf + sizeof buf - 1, std::fabs(value), std::chars_format::scientific, 14);
    *written.ptr = '\0';
    std::string digits;
    for (const char* p = buf; *p && *p != 'e'; ++p)
        if (*p != '.') digits += *p;
    int point = std::atoi(std::strchr(buf, 'e') + 1) + 1; // digits before the decimal point
    if (point < 0) {
        digits.insert(0, static_cast<size_t>(-point), '0');
        point = 0;
    }
    size_t keep = static_cast<size_t>(point + decimals);
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
    TDecimalDigits r;
    r.Whole = digits.substr(0, static_cast<size_t>(point));
    r.Fraction = digits.substr(static_cast<size_t>(point));
    size_t firstNonZero = r.Whole.find_first_not_of('0');
    r.Whole = firstNonZero == std::string::npos ? "0" : r.Whole.substr(firstNonZero);
    return r;
}

} // namespace velkaro
