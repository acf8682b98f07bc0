#include "erp/db_value.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/error.h"
#include "platform/number_parse.h"
#include "platform/text.h"

namespace velkaro {

namespace {

Exception ConversionError(const TDbValue& v, std::string_view column, const char* what) {
    return Exception("Der Wert „" + DbValueText(v) + "“ der Spalte „" + std::string(column) + "“ ist " + what + ".");
}

} // namespace

bool TryParseDbDateTime(std::string_view text, TDateTime& value) {
    std::string_view s = TrimView(text);
    if (!s.empty() && (s.back() == 'Z' || s.back() == 'z')) s.remove_suffix(1);
    DateTimeParts p;
    size_t pos = 0;
    if (!ReadFixedDigits(s, pos, 4, p.year) || pos >= s.size() || s[pos++] != '-' ||
        !ReadFixedDigits(s, pos, 2, p.month) || pos >= s.size() || s[pos++] != '-' ||
        !ReadFixedDigits(s, pos, 2, p.day))
        return false;
    if (!IsValidDate(p.year, p.month, p.day)) return false;
    p.hour = p.minute = p.second = p.millisecond = 0;
    if (pos < s.size()) {
        if (s[pos] != ' ' && s[pos] != 'T' && s[pos] != 't') return false;
        ++pos;
        if (!ReadFixedDigits(s, pos, 2, p.hour) || pos >= s.size() || s[pos++] != ':' ||
            !ReadFixedDigits(s, pos, 2, p.minute))
            return false;
        if (pos < s.size() && s[pos] == ':') {
            ++pos;
            if (!ReadFixedDigits(s, pos, 2, p.second)) return false;
            if (pos < s.size() && s[pos] == '.') {
                ++pos;
                if (!ReadSecondFraction(s, pos, p.millisecond)) return false;
            }
        }
        if (pos != s.size() || p.hour > 23 || p.minute > 59 || p.second > 59) return false;
    }
    value = EncodeDateTime(p);
    return true;
}

std::string FormatShortDateTime(TDateTime value) {
    DateTimeParts p = DecodeDateTime(value);
    if (p.hour == 0 && p.minute == 0 && p.second == 0 && p.millisecond == 0) return FormatDisplayDate(value);
    return FormatDisplayDate(value) + " " + FormatClockTime(value);
}

std::string DbValueText(const TDbValue& v) {
    switch (v.Kind) {
    case TDbValue::vkNull: return {};
    case TDbValue::vkInteger: return std::to_string(v.Integer);
    case TDbValue::vkFloat: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.15g", v.Float);
        return buf;
    }
    case TDbValue::vkText: return v.Text;
    case TDbValue::vkDateTime: return FormatShortDateTime(v.Date);
    }
    return {};
}

TDateTime DbValueDate(const TDbValue& v, std::string_view column) {
    switch (v.Kind) {
    case TDbValue::vkNull: return 0;
    case TDbValue::vkDateTime: return v.Date;
    case TDbValue::vkInteger: return static_cast<TDateTime>(v.Integer);
    case TDbValue::vkFloat: return v.Float;
    case TDbValue::vkText: {
        if (Trim(v.Text).empty()) return 0;
        TDateTime d = 0;
        if (TryParseDbDateTime(v.Text, d)) return d;
        throw ConversionError(v, column, "kein Datum");
    }
    }
    return 0;
}

double DbValueDouble(const TDbValue& v, std::string_view column) {
    switch (v.Kind) {
    case TDbValue::vkNull: return 0;
    case TDbValue::vkInteger: return static_cast<double>(v.Integer);
    case TDbValue::vkFloat: return v.Float;
    case TDbValue::vkDateTime: return v.Date;
    case TDbValue::vkText: {
        if (Trim(v.Text).empty()) return 0;
        if (auto d = ParseDecimalPoint(v.Text, dsWithExponent)) return *d;
        throw ConversionError(v, column, "keine Zahl");
    }
    }
    return 0;
}

int32_t DbValueInt32(const TDbValue& v, std::string_view column) {
    int64_t i = 0;
    switch (v.Kind) {
    case TDbValue::vkNull: return 0;
    case TDbValue::vkInteger: i = v.Integer; break;
    case TDbValue::vkText:
    case TDbValue::vkFloat:
    case TDbValue::vkDateTime: {
        double d = DbValueDouble(v, column);
        if (!(std::fabs(d) < 9.2e18)) throw ConversionError(v, column, "keine ganze Zahl im gültigen Bereich");
        i = std::llround(d);
        break;
    }
    }
    if (i < std::numeric_limits<int32_t>::min() || i > std::numeric_limits<int32_t>::max())
        throw ConversionError(v, column, "keine ganze Zahl im gültigen Bereich");
    return static_cast<int32_t>(i);
}

Currency DbValueCurrency(const TDbValue& v, std::string_view column) {
    switch (v.Kind) {
    case TDbValue::vkNull: return {};
    case TDbValue::vkInteger:
        if (v.Integer > INT64_MAX / Currency::kScale || v.Integer < INT64_MIN / Currency::kScale)
            throw ConversionError(v, column, "als Geldbetrag zu groß");
        return Currency::FromUnits(v.Integer);
    case TDbValue::vkFloat: return Currency::FromDouble(v.Float);
    case TDbValue::vkDateTime: throw ConversionError(v, column, "kein Geldbetrag");
    case TDbValue::vkText: {
        std::string t = Trim(v.Text);
        if (t.empty()) return {};
        if (auto c = Currency::TryParse(t)) return *c;
        // Exponent forms ("1.5e-05") that some drivers print for small doubles.
        if (auto d = ParseDecimalPoint(t, dsWithExponent)) return Currency::FromDouble(*d);
        throw ConversionError(v, column, "kein Geldbetrag");
    }
    }
    return {};
}

} // namespace velkaro
