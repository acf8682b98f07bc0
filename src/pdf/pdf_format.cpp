#include "pdf/pdf_format.h"

#include <cmath>
#include <cstdio>

#include "platform/decimal_round.h"
#include "platform/error.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// Thousandths as "12.5", "-0.25", "3": the integer part, then the fraction without
// trailing zeros; "0" for zero whatever the sign.
std::string FormatThousandths(bool negative, long long thousandths) {
    if (thousandths == 0) return "0";
    char buf[32];
    char* end = buf + sizeof buf;
    char* p = end;
    long long whole = thousandths / 1000;
    int fraction = static_cast<int>(thousandths % 1000);
    if (fraction != 0) {
        int digits = 3;
        while (fraction % 10 == 0) fraction /= 10, --digits;
        for (int k = 0; k < digits; ++k, fraction /= 10) *--p = static_cast<char>('0' + fraction % 10);
        *--p = '.';
    }
    do {
        *--p = static_cast<char>('0' + whole % 10);
        whole /= 10;
    } while (whole != 0);
    if (negative) *--p = '-';
    return std::string(p, end);
}

} // namespace

std::string FormatPdfNumber(double value) {
    if (!std::isfinite(value)) return "0";
    // Page coordinates and sizes: scaled and rounded in binary, which gives the decimal
    // rounding's result unless the value lies next to a half thousandth; only those
    // take the exact decimal road.
    const double magnitude = std::fabs(value);
    if (magnitude < 1e9) {
        const double scaled = magnitude * 1000.0;
        const double below = std::floor(scaled);
        const double part = scaled - below;
        if (std::fabs(part - 0.5) > 0.001)
            return FormatThousandths(value < 0, static_cast<long long>(part > 0.5 ? below + 1 : below));
    }
    TDecimalDigits digits = RoundDecimalDigits(value, 3);
    const std::string& intPart = digits.Whole;
    std::string fracPart = digits.Fraction;
    while (!fracPart.empty() && fracPart.back() == '0') fracPart.pop_back();
    if (intPart == "0" && fracPart.empty()) return "0";
    std::string r = value < 0 ? "-" : "";
    r += intPart;
    if (!fracPart.empty()) r += "." + fracPart;
    return r;
}

std::string PdfGlyphString(const std::vector<uint16_t>& glyphs) {
    std::string r = "<";
    r.reserve(glyphs.size() * 4 + 2);
    for (uint16_t g : glyphs) AppendHex16(r, g);
    r.push_back('>');
    return r;
}

std::string PdfMetadataText(std::string_view utf8) {
    std::string r;
    r.reserve(utf8.size());
    for (char32_t cp : Utf8ToUtf32(utf8)) {
        if (cp == '\t' || cp == '\n' || cp == '\r') r.push_back(' ');
        else if (cp >= 0x20 && cp != 0xFFFE && cp != 0xFFFF) AppendUtf8(r, cp);
    }
    return r;
}

std::string PdfHexString(std::string_view utf8) {
    std::string r = "<FEFF";
    for (char16_t unit : Utf8ToUtf16(PdfMetadataText(utf8))) AppendHex16(r, unit);
    r.push_back('>');
    return r;
}

std::string PdfLiteralString(std::string_view utf8) {
    std::string r = "(";
    for (char32_t cp : Utf8ToUtf32(utf8)) {
        if (cp == '(' || cp == ')' || cp == '\\') {
            r.push_back('\\');
            r.push_back(static_cast<char>(cp));
        } else if (cp < 0x20 || cp > 0x7E) {
            r.push_back('_');
        } else {
            r.push_back(static_cast<char>(cp));
        }
    }
    r.push_back(')');
    return r;
}

std::string XmpEscape(std::string_view text) {
    return ReplaceAll(ReplaceAll(ReplaceAll(PdfMetadataText(text), "&", "&amp;"), "<", "&lt;"), ">", "&gt;");
}

TPdfDates MakePdfDates(TDateTime local, int utcOffsetMinutes) {
    DateTimeParts p = DecodeDateTime(local);
    char sign = utcOffsetMinutes < 0 ? '-' : '+';
    int offset = std::abs(utcOffsetMinutes);
    char buf[64];
    TPdfDates d;
    std::snprintf(buf, sizeof buf, "D:%04d%02d%02d%02d%02d%02d%c%.2d'%.2d'", p.year, p.month, p.day, p.hour,
                  p.minute, p.second, sign, offset / 60, offset % 60);
    d.Pdf = buf;
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%.2d:%.2d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second, sign, offset / 60, offset % 60);
    d.Xmp = buf;
    return d;
}

} // namespace velkaro
