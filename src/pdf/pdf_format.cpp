#include "pdf/pdf_format.h"

#include <cmath>
#include <cstdio>

#include "platform/decimal_round.h"
#include "platform/error.h"
#include "platform/text.h"

namespace velkaro {

std::string FormatPdfNumber(double value) {
    if (!std::isfinite(value)) return "0";
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
