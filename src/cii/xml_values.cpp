#include "cii/xml_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "platform/error.h"

namespace velkaro {

std::string FixedDecimalText(double value, int decimals, TRoundTies ties) {
    if (!std::isfinite(value)) throw Exception("Ungültiger Zahlenwert für die XML-Rechnung (nicht endlich)");
    char buf[400];  // the longest fixed form of a double has 309 integer digits
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
    bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    size_t dot = text.find('.');
    std::string_view frac = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    size_t keep = static_cast<size_t>(std::max(decimals, 0));
    size_t taken = std::min(keep, frac.size());
    // Integer digits followed by the kept decimals, padded with zeros.
    std::string digits(text.substr(0, dot));
    digits.append(frac.substr(0, taken));
    digits.append(keep - taken, '0');

    bool up = false;
    if (frac.size() > keep) {
        char first = frac[keep];
        bool restNonZero = frac.find_first_not_of('0', keep + 1) != std::string_view::npos;
        if (first > '5' || (first == '5' && restNonZero)) up = true;
        else if (first == '5') up = ties == TRoundTies::AwayFromZero || (digits.back() - '0') % 2 == 1;
    }
    if (up) {
        size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
        if (i == 0) digits.insert(digits.begin(), '1');
        else ++digits[i - 1];
    }
    std::string out;
    out.reserve(digits.size() + 2);
    if (negative && digits.find_first_not_of('0') != std::string::npos) out.push_back('-');
    out.append(digits, 0, digits.size() - keep);
    if (keep > 0) {
        out.push_back('.');
        out.append(digits, digits.size() - keep, keep);
    }
    return out;
}

std::string XmlAmount(Currency value) { return value.ToString(2); }

std::string XmlDecimal4(double value) { return FixedDecimalText(value, 4, TRoundTies::Even); }

std::string XmlPercent(double value) { return FixedDecimalText(value, 2, TRoundTies::AwayFromZero); }

namespace {
std::string DateString(TDateTime date, const char* prefix) {
    DateTimeParts p = DecodeDateTime(date);
    char buf[96];
    std::snprintf(buf, sizeof buf, "<%s:DateTimeString format=\"102\">%04d%02d%02d</%s:DateTimeString>", prefix,
                  p.year, p.month, p.day, prefix);
    return buf;
}
} // namespace

std::string XmlDate(TDateTime date) { return DateString(date, "udt"); }

std::string XmlFormattedDate(TDateTime date) { return DateString(date, "qdt"); }

} // namespace velkaro
